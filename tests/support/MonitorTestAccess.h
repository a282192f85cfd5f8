#pragma once

#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"

// What tests may do to a monitor that nothing else in the program may: write
// its published state directly, as its parts would.
class ScreenshotMonitorTestAccess
{
public:
    static void publishProgress(ScreenshotMonitor& monitor, const ScreenshotMonitor::ProgressUpdate& update)
    {
        monitor.publishProgress(update);
    }
    static void setScreenshots(ScreenshotMonitor& monitor, QList<Screenshot> screenshots)
    {
        monitor.setScreenshots(std::move(screenshots));
    }
    static void setHasFileAccess(ScreenshotMonitor& monitor, bool value) { monitor.setHasFileAccess(value); }
    // The user chose `folder` (its bookmark is stored, as the chooser's answer
    // would store it), and the monitor moves to it.
    static void chooseFolder(ScreenshotMonitor& monitor, const QString& folder)
    {
        monitor.m_settings.setValue(ScreenshotMonitor::folderBookmarkKey, folder.toUtf8());
        monitor.setMonitoredPath(folder);
    }
    static AnalysisPipeline& pipeline(ScreenshotMonitor& monitor) { return monitor.m_pipeline; }
    static ChangeScanner& scanner(ScreenshotMonitor& monitor) { return monitor.m_scanner; }
};
