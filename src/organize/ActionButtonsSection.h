#pragma once

#include <QWidget>

#include "ui/ToolButtons.h"

class PlainButton;
class ReOrganizerViewModel;

// "Analyze Structure" while there is no plan (a spinner and "Analyzing..."
// while it works), otherwise "Cancel" and "Organize Now" side by side.
class ActionButtonsSection : public QWidget
{
    Q_OBJECT

public:
    explicit ActionButtonsSection(ReOrganizerViewModel& viewModel, QWidget* parent = nullptr);

    PlainButton* analyzeButton() const { return m_analyze; }
    PlainButton* cancelButton() const { return m_cancel; }
    PlainButton* organizeButton() const { return m_organize; }
    QString analyzeTitle() const;

private:
    void refresh();

    ReOrganizerViewModel& m_viewModel;
    PlainButton* m_analyze;
    BusyButtonLabel m_analyzeLabel;
    PlainButton* m_cancel;
    PlainButton* m_organize;
};
