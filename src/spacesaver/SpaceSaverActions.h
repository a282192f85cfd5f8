#pragma once

#include <QWidget>

#include "ui/ToolButtons.h"

class PlainButton;
class SpaceSaverViewModel;

// The button row: "Create Compression Plan" while there is no plan (reading
// "Analyzing..." beside a spinner while one is made), else "Cancel" and
// "Compress Now", which is quiet and disabled while the plan has no files
// or is being made again.
class SpaceSaverActions : public QWidget
{
    Q_OBJECT

public:
    explicit SpaceSaverActions(SpaceSaverViewModel& viewModel, QWidget* parent = nullptr);

    PlainButton* planButton() const { return m_plan; }
    PlainButton* cancelButton() const { return m_cancel; }
    PlainButton* compressButton() const { return m_compress; }
    QString planTitle() const;
    bool isSpinning() const;

private:
    void refresh();

    SpaceSaverViewModel& m_viewModel;
    PlainButton* m_plan;
    BusyButtonLabel m_planLabel;
    PlainButton* m_cancel;
    PlainButton* m_compress;
    bool m_compressLooksLive = true; // as built
};
