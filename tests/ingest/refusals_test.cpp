// What the pipeline does when the store or a file refuses it: results the
// store cannot take (read-only, full disk) are neither shown as analysed nor
// dropped, and are written once it takes them again; a file gone before it
// was read stays unanalysed, and one that was still being written is read
// again once it settles.

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/ManualScheduler.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <future>

using namespace Qt::StringLiterals;

namespace {
// Long texts (so that storing them needs new pages of the store), except
// for "growing" files: the first look finds one half written (it grows while
// it is read, and does not decode), later looks read it whole; "held" files
// come back only once `released` is ready.
class LongTextAnalyzer : public FileAnalyzer
{
public:
    std::atomic<int> looks{0};
    std::shared_future<void> released;

    std::optional<QString> recognizeText(const QString&) override { return std::nullopt; }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>{0.25, 0.5}; }

    static QString textOf(const QString& path) { return path.section(u'/', -1).repeated(300); }

    Sight look(const QString& path, std::stop_token, const TimeBudget&) override
    {
        ++looks;
        if (path.section(u'/', -1).startsWith(u"held"_s))
            released.wait();
        if (!QFile::exists(path)) {
            Sight unreadable;
            unreadable.unreadable = true;
            return unreadable;
        }
        if (path.section(u'/', -1).startsWith(u"growing"_s) && !m_grown.exchange(true)) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::Append));
            file.write("the rest of the picture");
            Sight unreadable;
            unreadable.unreadable = true;
            return unreadable;
        }
        return {textOf(path), {}, false};
    }

private:
    std::atomic<bool> m_grown{false};
};

class Refusals : public ::testing::Test
{
protected:
    Refusals()
        : m_settings(m_dir.filePath(u"settings.conf"_s))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(u"store.sqlite"_s))
        , m_monitor(m_parts.with(m_settings, m_memory, m_store, m_analyzer, &m_time))
    {
        m_analyzer->released = m_release.get_future().share();
        m_folder = m_monitor.monitoredPath();
        QDir().mkpath(m_folder);
    }
    ~Refusals() override
    {
        if (!m_isReleased)
            m_release.set_value();
        m_parts.workers.analysis().waitForDone();
    }

    void release()
    {
        m_isReleased = true;
        m_release.set_value();
    }

    // Real files, stored and listed; the rows record a size of 1 byte.
    QList<Screenshot> addFiles(const QStringList& names)
    {
        QList<Screenshot> files;
        for (const QString& name : names) {
            QFile file(m_folder + u'/' + name);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("pixels");
            file.close();
            Screenshot record(file.fileName(), QUuid::createUuid());
            record.fileSize = 1;
            files.append(record);
        }
        EXPECT_TRUE(m_store.upsertMany(files));
        ScreenshotMonitorTestAccess::setScreenshots(m_monitor, m_monitor.screenshots() + files);
        return files;
    }

    bool runUntil(const std::function<bool()>& condition)
    {
        return waitUntil(
            [&] {
                if (condition())
                    return true;
                m_time.runNext();
                return false;
            },
            20000);
    }

    int storedTexts(const QList<Screenshot>& files)
    {
        int count = 0;
        for (const Screenshot& file : files)
            count += m_store.fetchByPath(file.filePath)->ocrText == LongTextAnalyzer::textOf(file.filePath);
        return count;
    }
    int shownTexts()
    {
        return int(std::count_if(m_monitor.screenshots().cbegin(), m_monitor.screenshots().cend(),
                                 [](const Screenshot& screenshot) { return screenshot.ocrText.has_value(); }));
    }

    QTemporaryDir m_dir;
    std::promise<void> m_release;
    bool m_isReleased = false;
    MonitorServices m_parts;
    ManualScheduler m_time;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    std::shared_ptr<LongTextAnalyzer> m_analyzer = std::make_shared<LongTextAnalyzer>();
    LogCapture m_log;
    ConsoleCapture m_console;
    ScreenshotMonitor m_monitor;
    QString m_folder;
};
} // namespace

TEST_F(Refusals, ResultsTheStoreRefusesWaitUnshownAndAreWrittenOnceItTakesThem)
{
    for (const auto& [fault, reason] : {std::pair{DatabaseManager::Fault::readOnly, u"read-only"_s},
                                        std::pair{DatabaseManager::Fault::full, u"full"_s}}) {
        SCOPED_TRACE(reason.toStdString());
        m_log.clear();
        const QList<Screenshot> files = addFiles({reason + u"-a.png"_s, reason + u"-b.png"_s, reason + u"-c.png"_s,
                                                  reason + u"-d.png"_s, reason + u"-e.png"_s});
        const int shownBefore = shownTexts();
        m_store.simulateFault(fault);
        m_monitor.startBatchProcessing(files);

        // Analysed, refused, and tried again while the fault lasts.
        ASSERT_TRUE(runUntil([&] { return m_log.matching(u"Results could not be saved"_s).size() >= 3; }));
        EXPECT_TRUE(m_monitor.isProcessing()) << "a run whose results are not stored is not over";
        EXPECT_FALSE(m_log.contains(u"All processing complete!"_s));
        EXPECT_EQ(storedTexts(files), 0);
        EXPECT_EQ(shownTexts(), shownBefore) << "nothing unsaved may look analysed";
        EXPECT_TRUE(m_store.health().state().writeProblem.contains(reason));
        EXPECT_EQ(m_analyzer->looks, 5 * (shownBefore / 5 + 1)) << "files are not analysed twice meanwhile";

        m_store.simulateFault(DatabaseManager::Fault::none);
        ASSERT_TRUE(runUntil([&] { return !m_monitor.isProcessing(); }));
        EXPECT_EQ(storedTexts(files), 5);
        EXPECT_EQ(shownTexts(), shownBefore + 5);
        EXPECT_TRUE(m_store.health().canWrite());
        EXPECT_TRUE(m_log.contains(u"All processing complete!"_s));
        // The size read with the text replaces the one recorded when the file was found.
        EXPECT_EQ(m_store.fetchByPath(files.first().filePath)->fileSize, 6);
    }
}

TEST_F(Refusals, ResultsHandedOnWhileARefusedWriteIsUnderWayAreKeptWithTheRefusedOnes)
{
    // The first run is still at work on its held file when a poll's run
    // replaces it.
    const QList<Screenshot> first = addFiles({u"held.png"_s, u"a.png"_s, u"b.png"_s, u"c.png"_s});
    const QList<Screenshot> found = addFiles({u"found.png"_s});
    m_store.simulateFault(DatabaseManager::Fault::readOnly);
    m_monitor.startBatchProcessing(first);
    ASSERT_TRUE(waitUntil([&] { return m_analyzer->looks == 4; }));
    m_monitor.startBatchProcessing(found);

    // The new run's write waits behind this one while the first run ends
    // and hands its results on; then the store refuses the write.
    std::promise<void> writesGo;
    m_parts.workers.storeWrites().start([go = writesGo.get_future().share()] { go.wait(); });
    ASSERT_TRUE(waitUntil([&] { return m_analyzer->looks == 5; }));
    drainPostedEvents();
    release();
    m_parts.workers.analysis().waitForDone();
    drainPostedEvents();
    writesGo.set_value();
    ASSERT_TRUE(runUntil([&] { return m_log.contains(u"Results could not be saved"_s); }));

    m_store.simulateFault(DatabaseManager::Fault::none);
    ASSERT_TRUE(runUntil([&] { return !m_monitor.isProcessing(); }));
    m_parts.workers.storeWrites().waitForDone();
    EXPECT_EQ(storedTexts(found), 1);
    EXPECT_EQ(storedTexts(first), 4) << "the results handed on during the refused write were lost";
    EXPECT_EQ(m_analyzer->looks, 5) << "nothing is analysed twice";
}

TEST_F(Refusals, AFileStillBeingWrittenIsReadAgainOnceItSettlesOneThatIsGoneIsNot)
{
    const QList<Screenshot> files = addFiles({u"growing.png"_s, u"gone.png"_s, u"plain.png"_s});
    QFile::remove(files[1].filePath);
    m_monitor.startBatchProcessing(files);

    ASSERT_TRUE(runUntil([&] { return m_store.fetchByPath(files[0].filePath)->ocrText.has_value(); }));
    EXPECT_EQ(m_store.fetchByPath(files[0].filePath)->fileSize, QFile(files[0].filePath).size());
    EXPECT_TRUE(m_log.contains(u"File changed while it was read - reading it again later"_s));
    EXPECT_TRUE(m_store.fetchByPath(files[2].filePath)->ocrText.has_value());
    ASSERT_TRUE(runUntil([&] { return !m_monitor.isProcessing() && m_time.pending() == 0; }));
    EXPECT_FALSE(m_store.fetchByPath(files[1].filePath)->ocrText.has_value());
    EXPECT_TRUE(m_log.contains(u"File could not be read - left for the next run | file=gone.png"_s));
    EXPECT_EQ(m_analyzer->looks, 4) << "only the file that was being written is read twice";
}
