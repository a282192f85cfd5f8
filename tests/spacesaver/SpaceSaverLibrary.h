#pragma once

// A monitored temporary folder of images with a store of its own, the
// compression service over them and the space saver's view model, which keeps
// what it found not smaller in a data folder of its own.

#include "CompressionFixture.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "core/ToolJobs.h"
#include "ingest/ScreenshotMonitor.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

class SpaceSaverLibrary : public CompressionFixture
{
public:
    SpaceSaverLibrary()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
    {}
    // A plan or run still on the tools' worker reports through the monitor.
    ~SpaceSaverLibrary() override { ToolJobs::waitForAll(); }

    // Starts monitoring the folder and waits until it lists every image added.
    void startMonitoring(std::shared_ptr<FileAnalyzer> analyzer = std::make_shared<NothingAnalyzer>())
    {
        m_monitor =
            std::make_unique<ScreenshotMonitor>(m_parts.with(m_settings, m_memory, m_store, std::move(analyzer)));
        m_monitor->setPollingInterval(50);
        ScreenshotMonitorTestAccess::chooseFolder(*m_monitor, m_folder);
        ASSERT_TRUE(waitUntil([&] {
            return m_monitor->isPolling() && m_monitor->screenshots().size() == m_screenshots.size();
        })) << m_monitor->screenshots().size();
        restart();
    }

    // The screen as the next launch builds it: its memory read again from the
    // data folder, and a new view model over it.
    void restart()
    {
        m_model.reset();
        m_notSmaller.reset(); // waits for its last write
        m_notSmaller = std::make_unique<NotSmallerMemory>(m_dir.filePath(QStringLiteral("data")),
                                                          m_parts.workers.tasks().threads());
        m_model = std::make_unique<SpaceSaverViewModel>(m_service, *m_monitor, *m_notSmaller);
    }

    QStringList listed() const
    {
        QStringList paths;
        for (const Screenshot& screenshot : m_monitor->screenshots())
            paths.append(screenshot.filePath);
        paths.sort();
        return paths;
    }

    // Whether the monitor lists exactly `paths` (in any order).
    bool lists(QStringList paths) const
    {
        paths.sort();
        return listed() == paths;
    }

    Settings m_settings;
    MemoryMonitor m_memory;
    MonitorServices m_parts;
    std::unique_ptr<ScreenshotMonitor> m_monitor;
    std::unique_ptr<NotSmallerMemory> m_notSmaller;
    std::unique_ptr<SpaceSaverViewModel> m_model;
};
