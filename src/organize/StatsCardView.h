#pragma once

#include "ui/GlassCard.h"

class ReOrganizerViewModel;
class StatItem;

// The library's screenshots, folders and runs in history, as three cards in
// a glass card; the numbers follow the view model.
class StatsCardView : public GlassCard
{
    Q_OBJECT

public:
    explicit StatsCardView(ReOrganizerViewModel& viewModel, QWidget* parent = nullptr);

    StatItem* item(int index) const { return m_items.at(index); }

private:
    void refresh();

    ReOrganizerViewModel& m_viewModel;
    QList<StatItem*> m_items;
};
