#pragma once

// A monitor over a temporary folder with a store file of its own, a fixed
// frontmost application and a short polling interval.

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <ostream>

// Readable failure messages for paths and lists of them.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class LibraryHarness : public ::testing::Test
{
protected:
    // Holds a serial queue busy until released, so that work behind it waits.
    class QueueBlock
    {
    public:
        explicit QueueBlock(SerialQueue& queue)
        {
            queue.async([gate = m_gate.get_future().share()] { gate.wait(); });
        }
        ~QueueBlock() { release(); }
        void release()
        {
            if (!m_released)
                m_gate.set_value();
            m_released = true;
        }

    private:
        std::promise<void> m_gate;
        bool m_released = false;
    };

    static inline const QString appName = QStringLiteral("Editor");

    LibraryHarness()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(std::make_unique<DatabaseManager>(m_dir.filePath(QStringLiteral("store.sqlite"))))
    {
        m_folder = makeFolder(QStringLiteral("Desktop"));
    }

    QString makeFolder(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    // A file with a little content; its folders are created as needed.
    QString writeFile(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("not really an image");
        return path;
    }

    ScreenshotMonitor& makeMonitor(int pollingMs = 50)
    {
        m_monitor = std::make_unique<ScreenshotMonitor>(m_parts.with(m_settings, m_memory, *m_store));
        m_monitor->setFrontmostApplicationSource([] { return std::optional<QString>(appName); });
        m_monitor->setPollingInterval(pollingMs);
        return *m_monitor;
    }

    // Starts monitoring `folder` and waits for the load to end.
    ScreenshotMonitor& startOn(const QString& folder, int pollingMs = 50)
    {
        ScreenshotMonitor& monitor = m_monitor ? *m_monitor : makeMonitor(pollingMs);
        ScreenshotMonitorTestAccess::chooseFolder(monitor, folder);
        EXPECT_TRUE(waitUntil([&] { return monitor.isPolling(); }));
        return monitor;
    }

    // Lets `checks` change checks end (a check that walks ends once its walk
    // is applied), so that what the start or a change on disk caused is done;
    // while polling is stopped, only the work already posted back.
    void settle(int checks = 3)
    {
        if (m_monitor && m_monitor->isPolling()) {
            const ChangeScanner& scanner = ScreenshotMonitorTestAccess::scanner(*m_monitor);
            const quint64 target = scanner.checksEnded() + quint64(checks);
            waitUntil([&] { return scanner.checksEnded() >= target || !m_monitor->isPolling(); }, 60000);
        }
        drainPostedEvents();
    }

    QStringList listedPaths() const
    {
        QStringList paths;
        for (const Screenshot& screenshot : m_monitor->screenshots())
            paths.append(screenshot.filePath);
        return paths;
    }

    bool isListed(const QString& path) const { return listedPaths().contains(path); }

    // Rows stored for `folder`, as the store holds them before any load.
    void storeRows(const QString& folder, int count, bool analysed = false)
    {
        QList<Screenshot> rows;
        const QDateTime base = QDateTime::currentDateTime();
        for (int i = 0; i < count; ++i) {
            Screenshot row;
            row.id = QUuid::createUuid();
            row.filePath = folder + QStringLiteral("/Shot %1.png").arg(i);
            row.filename = QFileInfo(row.filePath).fileName();
            row.dateCreated = base.addSecs(-i);
            rows.append(row);
        }
        m_store->upsertMany(rows);
        if (analysed) {
            QList<ProcessedFileResult> results;
            for (const Screenshot& row : rows)
                results.append({row.id, QStringLiteral("text"), {}, QList<double>{0.5}, {}});
            m_store->updateMetadataBatch(results);
        }
    }

    // The offsets of the pages the store was asked for, in order.
    QList<int> pageOffsets() const
    {
        QList<int> offsets;
        static const QRegularExpression offset(QStringLiteral("offset=(\\d+)"));
        for (const QString& line : m_log.matching(QStringLiteral("Timer ended"))) {
            if (line.contains(QStringLiteral("id=db_query_screenshots")))
                offsets.append(offset.match(line).captured(1).toInt());
        }
        return offsets;
    }

    QTemporaryDir m_dir;
    ConsoleCapture m_console;
    LogCapture m_log;
    MonitorServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    std::unique_ptr<DatabaseManager> m_store;
    QString m_folder;
    std::unique_ptr<ScreenshotMonitor> m_monitor; // destroyed before the store
};
