// The tools hand their changes to the monitor with the store's: after an
// organize run, its undo and a compression run, the monitor lists exactly
// the store's rows at their new paths, the walks that follow find no
// deletion and no new file, nothing is analysed again, and no record takes
// the frontmost application (ourselves, while our window is in front) as
// its source.

#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "organize/OrganizeService.h"
#include "organize/ReOrganizerViewModel.h"
#include "platform/FileOps.h"
#include "spacesaver/CompressionService.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/Wait.h"

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {
class CountingAnalyzer : public NothingAnalyzer
{
public:
    std::atomic<int> files{0};
    std::optional<QString> recognizeText(const QString& path) override
    {
        ++files;
        return u"text of "_s + path.section(u'/', -1);
    }
};

class ToolHandover : public ::testing::Test
{
protected:
    ToolHandover()
        : m_settings(m_dir.filePath(u"settings.conf"_s))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(u"data/Brindlework.sqlite"_s))
        , m_monitor(m_parts.with(m_settings, m_memory, m_store, m_analyzer))
        , m_organizer(m_store, m_monitor, m_fileOps, m_dir.filePath(u"data"_s))
        , m_compression(m_store, m_fileOps)
        , m_folder(m_dir.filePath(u"Shots"_s))
    {
        QDir().mkpath(m_folder);
        for (int i = 0; i < 5; ++i) {
            QImage image(160 + i, 120, QImage::Format_RGB32);
            image.fill(QColor(40 * i, 200 - 30 * i, 90));
            QPainter(&image).drawText(10, 60, u"Screen %1"_s.arg(i));
            EXPECT_TRUE(image.save(m_folder + u"/shot%1.png"_s.arg(i)));
        }
        // Whatever is in front while the tools work is our own window.
        m_monitor.setFrontmostApplicationSource([] { return std::optional<QString>(u"glimmerdeck"_s); });
        m_monitor.setPollingInterval(20);
        auto chooser = std::make_unique<FakeFolderChooser>();
        chooser->answer = m_folder;
        m_monitor.setFolderChooser(std::move(chooser));
        m_monitor.requestFolderAccess();
        EXPECT_TRUE(waitUntil(
            [&] { return m_analyzer->files == 5 && !m_monitor.isProcessing() && m_monitor.isPolling(); }, 20000));
        m_model = std::make_unique<ReOrganizerViewModel>(m_organizer, m_monitor);
        m_console.clear();
    }

    // Two walks of the whole folder after the tool's pause ended.
    void walkTwice()
    {
        for (int walk = 0; walk < 2; ++walk) {
            const QDateTime before = m_monitor.lastScanDate();
            m_monitor.forceChangeCheck();
            ASSERT_TRUE(waitUntil([&] { return m_monitor.lastScanDate() != before; }));
        }
    }

    // The monitor lists the store's rows, path for path, with their
    // analyses, none with a source, and no file was analysed again.
    void expectListMatchesStore(const QString& step)
    {
        SCOPED_TRACE(step.toStdString());
        walkTwice();
        LogTimer timer(u"db_query_screenshots"_s);
        QHash<QUuid, QString> stored;
        for (const Screenshot& row : m_store.fetchPage(m_folder, 100, 0, true, timer)) {
            stored.insert(row.id, row.filePath);
            EXPECT_EQ(row.sourceApp, std::nullopt) << row.filePath.toStdString();
            EXPECT_TRUE(row.ocrText.has_value()) << row.filePath.toStdString();
        }
        QHash<QUuid, QString> listed;
        for (const Screenshot& screenshot : m_monitor.screenshots()) {
            listed.insert(screenshot.id, screenshot.filePath);
            EXPECT_EQ(screenshot.sourceApp, std::nullopt);
            EXPECT_TRUE(QFileInfo::exists(screenshot.filePath)) << screenshot.filePath.toStdString();
        }
        EXPECT_EQ(listed, stored);
        EXPECT_EQ(listed.size(), 5);
        EXPECT_EQ(QSet<QString>(listed.cbegin(), listed.cend()), m_monitor.knownFiles());
        EXPECT_EQ(m_analyzer->files, 5);
        EXPECT_FALSE(m_monitor.isProcessing());
        for (const QString& line : m_console.lines()) {
            EXPECT_FALSE(line.contains(u"Watcher found"_s)) << line.toStdString();
            EXPECT_FALSE(line.contains(u"Detected"_s)) << line.toStdString();
        }
    }

    bool idle()
    {
        return waitUntil([&] { return !m_model->isBusy() && !m_monitor.isPollingPaused(); }, 20000);
    }

    QTemporaryDir m_dir;
    MonitorServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    std::shared_ptr<CountingAnalyzer> m_analyzer = std::make_shared<CountingAnalyzer>();
    ScreenshotMonitor m_monitor;
    SystemFileOps m_fileOps;
    OrganizeService m_organizer;
    CompressionService m_compression;
    std::unique_ptr<ReOrganizerViewModel> m_model;
    QString m_folder;
    ConsoleCapture m_console;
};

TEST_F(ToolHandover, OrganizeItsUndoAndCompressionKeepTheListEqualToTheStore)
{
    ASSERT_TRUE(m_model->analyze());
    ASSERT_TRUE(idle());
    ASSERT_TRUE(m_model->organize());
    ASSERT_TRUE(idle());
    for (const Screenshot& screenshot : m_monitor.screenshots())
        EXPECT_TRUE(screenshot.filePath.startsWith(m_folder + u"/GLIMMERDECK/"_s)) << screenshot.filePath.toStdString();
    expectListMatchesStore(u"organized"_s);

    ASSERT_FALSE(m_model->history().operations.isEmpty());
    ASSERT_TRUE(m_model->undo(m_model->history().operations.first().id));
    ASSERT_TRUE(idle());
    for (const Screenshot& screenshot : m_monitor.screenshots())
        EXPECT_FALSE(screenshot.filePath.contains(u"GLIMMERDECK"_s)) << screenshot.filePath.toStdString();
    expectListMatchesStore(u"undone"_s);

    const auto plan = m_compression.analyzeForCompression(m_monitor.screenshots(), {0.9, 2});
    ASSERT_EQ(plan.files.size(), 5);
    std::optional<CompressionService::CompressionResult> result;
    QFuture<void> run = m_compression.compressInBackground(
        m_monitor, plan.files, {0.9, 2}, [](int, int) {},
        [&](const CompressionService::CompressionResult& done) { result = done; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 60000));
    run.waitForFinished();
    ASSERT_TRUE(result->success);
    ASSERT_FALSE(result->compressedFiles.isEmpty());
    QSet<QString> renditions;
    for (const auto& file : result->compressedFiles)
        renditions.insert(CompressionService::renditionPath(file.originalPath, u"heic"_s));
    for (const Screenshot& screenshot : m_monitor.screenshots()) {
        renditions.remove(screenshot.filePath);
        EXPECT_EQ(screenshot.fileSize, QFileInfo(screenshot.filePath).size());
    }
    EXPECT_TRUE(renditions.isEmpty()) << "every rendition is listed in place of its image";
    expectListMatchesStore(u"compressed"_s);
}
} // namespace
