#pragma once

#include <QWidget>

class DatabaseManager;
class DuplicateFinderViewModel;
class ScreenshotMonitor;
class Trash;

// The duplicate-finder screen, with a view model of its own over the monitor's library.
class DuplicateFinderView : public QWidget
{
    Q_OBJECT

public:
    DuplicateFinderView(ScreenshotMonitor& monitor, DatabaseManager& database, Trash& trash, QWidget* parent = nullptr);

    DuplicateFinderViewModel& viewModel() const { return *m_viewModel; }

private:
    DuplicateFinderViewModel* m_viewModel;
};
