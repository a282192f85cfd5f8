#pragma once

#include "ingest/ScreenshotMonitor.h"

#include <QObject>

// The state behind the Duplicate Finder screen; it works on the monitor's library.
class DuplicateFinderViewModel : public QObject
{
    Q_OBJECT

public:
    explicit DuplicateFinderViewModel(ScreenshotMonitor& monitor = ScreenshotMonitor::shared(),
                                      QObject* parent = nullptr);

    ScreenshotMonitor& monitor() const { return m_monitor; }

private:
    ScreenshotMonitor& m_monitor;
};
