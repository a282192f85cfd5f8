#pragma once

#include "ingest/ScreenshotMonitor.h"

#include <QWidget>

class SpaceSaverViewModel;

// The space-saver screen, with a view model of its own over the monitor's library.
// So far it names the library it will work on.
class SpaceSaverView : public QWidget
{
    Q_OBJECT

public:
    explicit SpaceSaverView(ScreenshotMonitor& monitor, QWidget* parent = nullptr);

    SpaceSaverViewModel& viewModel() const { return *m_viewModel; }

private:
    SpaceSaverViewModel* m_viewModel;
};
