#pragma once

#include "ingest/ScreenshotMonitor.h"

#include <QObject>

// The state behind the Space Saver screen; it works on the monitor's library.
class SpaceSaverViewModel : public QObject
{
    Q_OBJECT

public:
    explicit SpaceSaverViewModel(ScreenshotMonitor& monitor, QObject* parent = nullptr);

    ScreenshotMonitor& monitor() const { return m_monitor; }

private:
    ScreenshotMonitor& m_monitor;
};
