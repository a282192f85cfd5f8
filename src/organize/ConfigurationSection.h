#pragma once

#include "ui/GlassCard.h"

class ReOrganizerViewModel;
class SmartToggle;

// The three layout switches of a run, bound to the view model.
class ConfigurationSection : public GlassCard
{
    Q_OBJECT

public:
    explicit ConfigurationSection(ReOrganizerViewModel& viewModel, QWidget* parent = nullptr);

    SmartToggle* yearToggle() const { return m_year; }
    SmartToggle* monthToggle() const { return m_month; }
    SmartToggle* subfoldersToggle() const { return m_subfolders; }

private:
    void refresh();

    ReOrganizerViewModel& m_viewModel;
    SmartToggle* m_year;
    SmartToggle* m_month;
    SmartToggle* m_subfolders;
};
