#pragma once

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "generators/SampleLibrary.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ScreenshotMonitor.h"
#include "ingest/ServiceAnalyzer.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// A monitor over a real store with the real analyses, their threads its own.
class PipelineWithServices : public ::testing::Test
{
protected:
    // What is read is checked in full here, however busy the machine: no
    // file runs into its time budget.
    PipelineWithServices()
    {
        ScreenshotMonitorTestAccess::pipeline(m_monitor).setTimeBudget(
            {std::chrono::minutes(10), std::chrono::minutes(10), std::chrono::minutes(1)});
    }

    QList<Screenshot> writeSamples(int count, quint32 seed, const QString& subfolder)
    {
        const SampleLibrary::Result samples =
            SampleLibrary::write(SampleLibrary::Options::screenshotsOnly(m_folder + u'/' + subfolder, count, seed));
        EXPECT_TRUE(samples.errors.isEmpty()) << samples.errors.join(u'\n').toStdString();
        m_drawn.clear();
        QList<Screenshot> files;
        for (const SampleLibrary::Entry& entry : samples.entries) {
            files.append(Screenshot(m_folder + u'/' + subfolder + u'/' + entry.relativePath, QUuid::createUuid()));
            m_drawn.append(entry.lines);
        }
        return files;
    }
    // Runs the pipeline over `files` to its end.
    bool analyse(const QList<Screenshot>& files)
    {
        m_store.upsertMany(files);
        ScreenshotMonitorTestAccess::setScreenshots(m_monitor, files);
        m_monitor.startBatchProcessing(files);
        return waitUntil([&] { return !m_monitor.isProcessing(); }, 120000);
    }
    bool modelsReleased()
    {
        return waitUntil([&] { return m_analyzer->engineCount() == 0 && m_analyzer->networkCount() == 0; }, 20000);
    }

    QTemporaryDir m_dir;
    Settings m_settings{m_dir.filePath(QStringLiteral("settings.conf"))};
    MemoryMonitor m_memory{std::make_unique<PlentyOfMemory>(), std::chrono::hours(1)};
    DatabaseManager m_store{m_dir.filePath(QStringLiteral("store.sqlite"))};
    ConsoleCapture m_console;
    LogCapture m_log;
    MonitorServices m_parts;
    EmbeddingService m_embedding;
    std::shared_ptr<ServiceAnalyzer> m_analyzer = std::make_shared<ServiceAnalyzer>(m_embedding, m_parts.workers);
    ScreenshotMonitor m_monitor{m_parts.with(m_settings, m_memory, m_store, m_analyzer)};
    QString m_folder = m_monitor.monitoredPath();
    QList<QStringList> m_drawn; // the lines drawn in each file written last
};
