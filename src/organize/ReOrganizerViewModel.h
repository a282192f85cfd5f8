#pragma once

#include "ingest/ScreenshotMonitor.h"

#include <QObject>

// The state behind the Re-Organizer screen; it works on the monitor's library.
class ReOrganizerViewModel : public QObject
{
    Q_OBJECT

public:
    explicit ReOrganizerViewModel(ScreenshotMonitor& monitor = ScreenshotMonitor::shared(), QObject* parent = nullptr);

    ScreenshotMonitor& monitor() const { return m_monitor; }

private:
    ScreenshotMonitor& m_monitor;
};
