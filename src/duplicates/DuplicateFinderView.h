#pragma once

#include "ingest/ScreenshotMonitor.h"

#include <QWidget>

class DuplicateFinderViewModel;

// The duplicate-finder screen, with a view model of its own over the monitor's library.
// So far it names the library it will work on.
class DuplicateFinderView : public QWidget
{
    Q_OBJECT

public:
    explicit DuplicateFinderView(ScreenshotMonitor& monitor = ScreenshotMonitor::shared(), QWidget* parent = nullptr);

    DuplicateFinderViewModel& viewModel() const { return *m_viewModel; }

private:
    DuplicateFinderViewModel* m_viewModel;
};
