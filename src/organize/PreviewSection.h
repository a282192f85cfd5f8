#pragma once

#include "organize/OrganizeService.h"

#include <QWidget>

class PreviewStateCard;
class ReOrganizerViewModel;

// Once there is a plan: the folder as it is and the layout the plan makes,
// its first year and month folders with their counts.
class PreviewSection : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewSection(ReOrganizerViewModel& viewModel, QWidget* parent = nullptr);

    PreviewStateCard* currentCard() const { return m_current; }
    PreviewStateCard* afterCard() const { return m_after; }

    static QStringList currentItems(const OrganizeService::OrganizationPlan& plan,
                                    const OrganizeService::OrganizationOptions& options);
    // How many of the plan's folders are named before the rest are summed up.
    static constexpr qsizetype maxFoldersShown = 6;

    static QStringList afterItems(const OrganizeService::OrganizationPlan& plan);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    ReOrganizerViewModel& m_viewModel;
    PreviewStateCard* m_current;
    PreviewStateCard* m_after;
};
