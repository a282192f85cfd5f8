// What bounds one file's analysis: an engine that never comes back is left
// at its time budget while the run goes on (kept unfinished when it spent no
// processor time, to be read again at the next start); the budget is processor
// time, so a file that the machine keeps waiting is not cut short, while one
// that spins past it is given up long before the real-time bound; a cancel stops the engines
// and writes nothing of the run afterwards; a result is written only for the
// file as it was read (a file changed meanwhile is analysed again, one that
// was only moved keeps its result).

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "core/Uuid.h"
#include "ingest/ScreenshotMonitor.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/ManualScheduler.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace Qt::StringLiterals;

namespace {
// Text for every file at once, except by name: "stuck" never comes back
// until released, whatever it is asked; "slow" runs until it is stopped (or released);
// "waiting" is kept off the processor a while, as a busy machine keeps a
// thread, and says whether its budget is spent; "spinning" spends processor
// time until it is stopped (or the test ends), whatever its budget;
// "changing" grows on its first reading; "moving" is renamed by a tool
// during its first reading.
class BoundsAnalyzer : public FileAnalyzer
{
public:
    std::function<void(const QString& path)> moveFile;
    std::shared_future<void> released;
    std::atomic<int> looks{0};
    std::atomic<int> stoppedAtOnce{0};
    std::atomic<bool> grown{false};

    std::optional<QString> recognizeText(const QString&) override { return std::nullopt; }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>{0.5}; }

    Sight look(const QString& path, std::stop_token stop, const TimeBudget& budget) override
    {
        const int call = ++looks;
        const QString name = path.section(u'/', -1);
        if (name.startsWith(u"waiting"_s)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return {budget.isSpent() ? u"budget spent"_s : u"budget left"_s, {}, false};
        }
        if (name.startsWith(u"spinning"_s)) {
            // The test's end (or a minute) ends it too: a stop that never
            // comes fails the test instead of hanging it.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
            volatile unsigned sink = 0;
            while (!stop.stop_requested() && !isReleased() && std::chrono::steady_clock::now() < deadline)
                for (int step = 0; step < 10000; ++step)
                    sink = sink + 1;
            return {std::nullopt, {}, true};
        }
        if (name.startsWith(u"stuck"_s))
            released.wait();
        if (name.startsWith(u"slow"_s)) {
            // Released too at the test's end, so that a missed stop fails the test rather than hangs it.
            while (!stop.stop_requested() &&
                   released.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
                std::this_thread::yield();
            if (!stop.stop_requested())
                return {u"slow read to the end"_s, {}, false};
            ++stoppedAtOnce;
            return {std::nullopt, {}, true};
        }
        if (name.startsWith(u"changing"_s) && !grown.exchange(true)) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::Append));
            file.write("more pixels");
        }
        if (name.startsWith(u"moving"_s) && moveFile)
            std::exchange(moveFile, nullptr)(path);
        return {u"%1 read by look %2"_s.arg(name).arg(call), {}, false};
    }

private:
    bool isReleased() const { return released.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }
};

class FileBounds : public ::testing::Test
{
protected:
    FileBounds()
        : m_settings(m_dir.filePath(u"settings.conf"_s))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(u"store.sqlite"_s))
        , m_monitor(m_parts.with(m_settings, m_memory, m_store, m_analyzer, &m_time))
    {
        m_analyzer->released = m_release.get_future().share();
        m_folder = m_monitor.monitoredPath();
        QDir().mkpath(m_folder);
    }
    ~FileBounds() override
    {
        m_release.set_value();
        m_parts.workers.analysis().waitForDone();
    }

    // Real files, stored and listed.
    QList<Screenshot> addFiles(const QStringList& names)
    {
        QList<Screenshot> files;
        for (const QString& name : names) {
            QFile file(m_folder + u'/' + name);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("pixels");
            file.close();
            files.append(Screenshot(file.fileName(), QUuid::createUuid()));
        }
        m_store.upsertMany(files);
        ScreenshotMonitorTestAccess::setScreenshots(m_monitor, m_monitor.screenshots() + files);
        return files;
    }

    std::optional<QString> storedText(const QString& path) { return m_store.fetchByPath(path)->ocrText; }

    // Handles events until `condition` holds, letting the pipeline's pauses
    // end at once when it does not.
    bool runUntil(const std::function<bool()>& condition)
    {
        return waitUntil([&] {
            if (condition())
                return true;
            m_time.runNext();
            return false;
        });
    }

    // The analyses other than `busy` have come back and posted their results.
    bool onlyBusyLeft(int busy)
    {
        return waitUntil([&] { return m_parts.workers.analysis().threads().activeThreadCount() == busy; });
    }

    QTemporaryDir m_dir;
    MonitorServices m_parts;
    ManualScheduler m_time;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    std::promise<void> m_release;
    std::shared_ptr<BoundsAnalyzer> m_analyzer = std::make_shared<BoundsAnalyzer>();
    LogCapture m_log;
    ConsoleCapture m_console;
    ScreenshotMonitor m_monitor;
    QString m_folder;
};

TEST_F(FileBounds, AnEngineThatNeverReturnsIsLeftAtItsBudgetAndTheRunGoesOn)
{
    // A budget that real time reaches quickly; the engine ignores it anyway,
    // waiting without the processor as an engine left without a core does.
    using std::chrono::milliseconds;
    ScreenshotMonitorTestAccess::pipeline(m_monitor).setTimeBudget(
        {milliseconds(40), milliseconds(40), milliseconds(40)});
    const QList<Screenshot> files = addFiles({u"stuck.png"_s, u"a.png"_s, u"b.png"_s, u"c.png"_s});
    m_monitor.startBatchProcessing(files);
    ASSERT_TRUE(runUntil([&] { return !m_monitor.isProcessing(); }));
    for (const Screenshot& file : files.mid(1))
        EXPECT_TRUE(storedText(file.filePath).value_or(QString()).contains(file.filename));
    // Kept unfinished (without text), not tried again in this run: the next
    // start reads it again.
    m_parts.workers.storeWrites().waitForDone();
    EXPECT_EQ(storedText(files[0].filePath), QString());
    EXPECT_EQ(m_store.fetchByPath(files[0].filePath)->analysisFailure, AnalysisFailure::none);
    EXPECT_EQ(m_store.fetchByPath(files[0].filePath)->unfinishedReads, 1);
    EXPECT_EQ(m_analyzer->looks, 4);
    EXPECT_FALSE(m_log.contains(u"Analysis given up at its time budget"_s));
    const QStringList lines = m_log.matching(u"Analysis stopped by real time - unfinished"_s);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().contains(u"stuck.png"_s)) << lines.first().toStdString();
    EXPECT_EQ(m_monitor.processedCount(), 4);

    // The next run is not held up by the thread still stuck.
    const QList<Screenshot> more = addFiles({u"d.png"_s, u"e.png"_s});
    m_monitor.startBatchProcessing(more);
    ASSERT_TRUE(runUntil([&] { return !m_monitor.isProcessing(); }));
    for (const Screenshot& file : more)
        EXPECT_TRUE(storedText(file.filePath).has_value());
}

TEST_F(FileBounds, TheBudgetIsProcessorTimeSoAWaitingFileIsNotCutShortAndASpinningOneIsGivenUp)
{
    using std::chrono::milliseconds;
    // Real time that the test never reaches.
    ScreenshotMonitorTestAccess::pipeline(m_monitor).setTimeBudget(
        {milliseconds(50), std::chrono::minutes(10), milliseconds(50)});
    const QList<Screenshot> files = addFiles({u"waiting.png"_s, u"spinning.png"_s, u"a.png"_s});
    m_monitor.startBatchProcessing(files);
    ASSERT_TRUE(runUntil([&] { return !m_monitor.isProcessing(); }))
        << "the spinning file was not given up once its processor time was spent";
    m_parts.workers.storeWrites().waitForDone();

    EXPECT_EQ(storedText(files[0].filePath), std::optional<QString>(u"budget left"_s));
    EXPECT_EQ(m_store.fetchByPath(files[1].filePath)->analysisFailure, AnalysisFailure::givenUp);
    EXPECT_EQ(m_store.fetchByPath(files[0].filePath)->analysisFailure, AnalysisFailure::none);
    EXPECT_TRUE(storedText(files[2].filePath).has_value());
    const QStringList lines = m_log.matching(u"Analysis given up at its time budget"_s);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().contains(u"spinning.png"_s)) << lines.first().toStdString();
    EXPECT_TRUE(onlyBusyLeft(0)) << "the spinning engine was not told to stop";
}

TEST_F(FileBounds, ACancelStopsTheEnginesAndWritesNothingOfTheRunAfterwards)
{
    const QList<Screenshot> files = addFiles({u"slow.png"_s, u"a.png"_s, u"b.png"_s, u"c.png"_s});
    m_monitor.startBatchProcessing(files);
    // Three files are analysed; their results wait for the batch's end.
    ASSERT_TRUE(onlyBusyLeft(1));
    QCoreApplication::processEvents();

    m_monitor.cancelProcessing();
    ASSERT_TRUE(onlyBusyLeft(0));
    EXPECT_EQ(m_analyzer->stoppedAtOnce, 1);
    m_time.advance(std::chrono::seconds(30));
    m_parts.workers.storeWrites().waitForDone();
    QCoreApplication::processEvents();
    m_parts.workers.storeWrites().waitForDone();
    for (const Screenshot& file : files)
        EXPECT_EQ(storedText(file.filePath), std::nullopt) << file.filename.toStdString();
    EXPECT_FALSE(m_monitor.isProcessing());
}

TEST_F(FileBounds, ACancelAlsoStopsARunThatANewerOneReplacedMidBatch)
{
    // A file found by a poll replaces the run while its batch is still under
    // way; the newer run is itself under way at the cancel (a file it had
    // finished before would rightly be written).
    const QList<Screenshot> first = addFiles({u"slow.png"_s, u"a.png"_s, u"b.png"_s, u"c.png"_s});
    m_monitor.startBatchProcessing(first);
    ASSERT_TRUE(onlyBusyLeft(1));
    QCoreApplication::processEvents();
    const QList<Screenshot> found = addFiles({u"slow-d.png"_s});
    m_monitor.startBatchProcessing(found);
    ASSERT_TRUE(waitUntil([&] { return m_analyzer->looks == 5; }));

    m_monitor.cancelProcessing();
    ASSERT_TRUE(onlyBusyLeft(0)) << "the replaced run's file was not stopped";
    EXPECT_EQ(m_analyzer->stoppedAtOnce, 2);
    m_time.advance(std::chrono::seconds(30));
    QCoreApplication::processEvents();
    m_parts.workers.storeWrites().waitForDone();
    for (const Screenshot& file : first + found)
        EXPECT_EQ(storedText(file.filePath), std::nullopt) << file.filename.toStdString();
    EXPECT_FALSE(m_monitor.isProcessing());
}

TEST_F(FileBounds, AResultForAFileChangedSinceItWasReadIsNotWrittenButTheFileReadAgain)
{
    const QList<Screenshot> files = addFiles({u"changing.png"_s, u"steady.png"_s});
    m_monitor.startBatchProcessing(files);
    ASSERT_TRUE(runUntil([&] { return m_analyzer->looks == 3 && !m_monitor.isProcessing(); }));
    m_parts.workers.storeWrites().waitForDone();
    EXPECT_EQ(storedText(files[0].filePath), std::optional<QString>(u"changing.png read by look 3"_s));
    EXPECT_TRUE(storedText(files[1].filePath).has_value());
    EXPECT_TRUE(m_log.contains(u"File changed while it was analysed"_s));
}

TEST_F(FileBounds, AFileMovedByAToolWhileItWasReadKeepsItsResult)
{
    const QList<Screenshot> files = addFiles({u"moving.png"_s});
    const QString target = m_folder + u"/GLIMMERDECK/moving.png"_s;
    m_analyzer->moveFile = [&](const QString& from) {
        // What the organizer does, from its worker.
        EXPECT_TRUE(QDir().mkpath(m_folder + u"/GLIMMERDECK"_s));
        EXPECT_TRUE(QFile::rename(from, target));
        EXPECT_TRUE(m_store.updateFilePath(target, uuidText(files[0].id)));
        m_monitor.takeFileChanges({{{from, target}}, {}});
    };
    m_monitor.startBatchProcessing(files);
    ASSERT_TRUE(runUntil([&] { return !m_monitor.isProcessing(); }));
    m_parts.workers.storeWrites().waitForDone();
    ASSERT_TRUE(waitUntil([&] { return m_monitor.screenshots().first().ocrText.has_value(); }));
    EXPECT_EQ(storedText(target), std::optional<QString>(u"moving.png read by look 1"_s));
    EXPECT_EQ(m_analyzer->looks, 1);
    EXPECT_EQ(m_monitor.screenshots().first().filePath, target);
    EXPECT_EQ(m_monitor.screenshots().first().ocrText, std::optional<QString>(u"moving.png read by look 1"_s));
}
} // namespace
