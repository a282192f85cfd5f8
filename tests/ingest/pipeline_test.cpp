#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "support/Capture.h"
#include "support/ManualScheduler.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QWaitCondition>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

using namespace Qt::StringLiterals;

namespace {
// Plenty of memory until `pressure` is raised.
class SwitchableMemory : public MemoryMonitor::Source
{
public:
    explicit SwitchableMemory(std::shared_ptr<std::atomic<bool>> pressure)
        : m_pressure(std::move(pressure))
    {}
    double residentMB() override { return 100; }
    std::optional<qint64> availableBytes() override { return *m_pressure ? qint64(100) << 20 : qint64(8) << 30; }
    qint64 physicalBytes() override { return qint64(16) << 30; }

private:
    std::shared_ptr<std::atomic<bool>> m_pressure;
};

// Text "Visit example.com in <name>", one label and a two-number embedding;
// files whose name starts with "blank" give nothing. While held, analyses
// wait until released: a test keeps a batch at work for as long as it needs,
// however fast or busy the machine.
class FakeAnalyzer : public ScreenshotMonitor::FileAnalyzer
{
public:
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::atomic<int> embeddingCalls{0};

    void hold()
    {
        QMutexLocker lock(&m_mutex);
        m_held = true;
    }
    void release()
    {
        QMutexLocker lock(&m_mutex);
        m_held = false;
        m_released.wakeAll();
    }

    std::optional<QString> recognizeText(const QString& filePath) override
    {
        const int now = ++running;
        for (int seen = maxRunning; now > seen && !maxRunning.compare_exchange_weak(seen, now);)
            ;
        {
            QMutexLocker lock(&m_mutex);
            while (m_held)
                m_released.wait(&m_mutex);
        }
        --running;
        {
            QMutexLocker lock(&m_mutex);
            ++m_calls[filePath];
            m_onGuiThread |= QThread::currentThread() == qApp->thread();
        }
        if (isBlank(filePath))
            return std::nullopt;
        return u"Visit example.com in "_s + filePath.section(u'/', -1);
    }
    QList<QUrl> extractUrls(const QString& text) override
    {
        return text.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(u"http://example.com"_s)};
    }
    QStringList labels(const QString& filePath) override
    {
        return isBlank(filePath) ? QStringList() : QStringList{u"screen"_s};
    }
    std::optional<QList<double>> embedding(const QString&) override
    {
        ++embeddingCalls;
        return QList<double>{0.5, 0.25};
    }

    QHash<QString, int> calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    int totalCalls() const
    {
        int total = 0;
        for (int count : calls())
            total += count;
        return total;
    }
    bool ranOnGuiThread() const
    {
        QMutexLocker lock(&m_mutex);
        return m_onGuiThread;
    }

private:
    static bool isBlank(const QString& path) { return path.section(u'/', -1).startsWith(u"blank"_s); }

    mutable QMutex m_mutex;
    QWaitCondition m_released;
    bool m_held = false;
    QHash<QString, int> m_calls;
    bool m_onGuiThread = false;
};

class PipelineTest : public ::testing::Test
{
protected:
    PipelineTest()
        : m_settings(m_dir.filePath(u"settings.conf"_s))
        , m_memory(std::make_unique<SwitchableMemory>(m_pressure), std::chrono::hours(1))
        , m_store(m_dir.filePath(u"store.sqlite"_s))
        , m_monitor(
              std::make_unique<ScreenshotMonitor>(m_parts.with(m_settings, m_memory, m_store, m_analyzer, &m_time)))
    {
        m_folder = m_monitor->monitoredPath();
    }
    // A failed assertion must not leave the pool waiting on a hold.
    ~PipelineTest() override { m_analyzer->release(); }

    // Records in the store and in the published list, named "<stem>N.png".
    QList<Screenshot> addFiles(int count, const QString& stem = u"shot"_s, const QString& folder = {})
    {
        QList<Screenshot> files;
        for (int i = 0; i < count; ++i) {
            Screenshot file;
            file.id = QUuid::createUuid();
            file.filePath = (folder.isEmpty() ? m_folder : folder) + u"/%1%2.png"_s.arg(stem).arg(i);
            file.filename = file.filePath.section(u'/', -1);
            file.dateCreated = QDateTime::currentDateTime();
            files.append(file);
        }
        m_store.upsertMany(files);
        ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, m_monitor->screenshots() + files);
        return files;
    }

    // Handles events until `condition` holds; whenever it does not, the
    // pipeline's next pause ends at once, so pauses cost no real time.
    bool runUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
    {
        return waitUntil(
            [&] {
                if (condition())
                    return true;
                m_time.runNext();
                return false;
            },
            timeoutMs);
    }

    bool finishes(int timeoutMs = 10000)
    {
        return runUntil([&] { return !m_monitor->isProcessing(); }, timeoutMs);
    }

    // Lets `span` of the pipeline's time pass, handling events as it goes.
    void letTimePass(std::chrono::milliseconds span)
    {
        const auto end = m_time.now() + span;
        while (m_time.now() < end) {
            QCoreApplication::processEvents();
            m_time.advance(std::chrono::milliseconds(10));
        }
        QCoreApplication::processEvents();
    }

    std::optional<Screenshot> listed(const QUuid& id) const
    {
        for (const Screenshot& screenshot : m_monitor->screenshots())
            if (screenshot.id == id)
                return screenshot;
        return std::nullopt;
    }

    int storedWithText(const QList<Screenshot>& files)
    {
        int count = 0;
        for (const Screenshot& file : files) {
            const auto row = m_store.fetchByPath(file.filePath);
            count += row && row->ocrText && !row->ocrText->isEmpty();
        }
        return count;
    }

    QTemporaryDir m_dir;
    MonitorServices m_parts;
    ManualScheduler m_time;
    Settings m_settings;
    std::shared_ptr<std::atomic<bool>> m_pressure = std::make_shared<std::atomic<bool>>(false);
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    std::shared_ptr<FakeAnalyzer> m_analyzer = std::make_shared<FakeAnalyzer>();
    LogCapture m_log;
    ConsoleCapture m_console;
    std::unique_ptr<ScreenshotMonitor> m_monitor;
    QString m_folder;
};
} // namespace

TEST_F(PipelineTest, FiveFilesRunAsTwoBatchesOfAtMostFourConcurrentAnalyses)
{
    const QList<Screenshot> files = addFiles(5);
    m_analyzer->hold();
    m_monitor->startBatchProcessing(files);

    EXPECT_TRUE(m_log.contains(u"[Processing] [INFO] Starting batch processing pipeline | totalFiles=5, batches=2, "
                               "batchSize=4"_s));
    EXPECT_TRUE(m_monitor->isProcessing());
    EXPECT_EQ(m_monitor->totalBatches(), 2);
    EXPECT_EQ(m_monitor->totalToProcess(), 5);
    // The GUI thread is never held up by the analyses.
    EXPECT_EQ(m_analyzer->totalCalls(), 0);
    ASSERT_TRUE(waitUntil([&] { return m_analyzer->running == 4; }));
    m_analyzer->release();
    ASSERT_TRUE(finishes());

    EXPECT_EQ(m_log.matching(u"Processing batch | batch=1, files=4"_s).size(), 1);
    EXPECT_EQ(m_log.matching(u"Processing batch | batch=2, files=1"_s).size(), 1);
    EXPECT_TRUE(m_log.contains(u"All processing complete! | totalProcessed=5"_s));
    EXPECT_EQ(m_analyzer->maxRunning, 4);
    EXPECT_FALSE(m_analyzer->ranOnGuiThread());

    EXPECT_DOUBLE_EQ(m_monitor->processingProgressValue(), 1.0);
    EXPECT_EQ(m_monitor->processedCount(), 5);
    EXPECT_EQ(m_monitor->processingProgress(), 5);
    EXPECT_EQ(m_monitor->currentBatchNumber(), 0);
    EXPECT_EQ(m_monitor->totalBatches(), 0);
    EXPECT_FALSE(m_monitor->isProcessingBlocking());
    EXPECT_FALSE(m_monitor->hasIncompleteFiles());

    for (const Screenshot& file : files) {
        const auto shown = listed(file.id);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->ocrText, u"Visit example.com in "_s + file.filename);
        EXPECT_EQ(shown->tags, QStringList{u"screen"_s});
        EXPECT_EQ(shown->embedding, (QList<double>{0.5, 0.25}));
        EXPECT_EQ(shown->detectedUrls, QList<QUrl>{QUrl(u"http://example.com"_s)});
    }
    EXPECT_EQ(storedWithText(files), 5);
}

TEST_F(PipelineTest, FlushesWhenMoreThan99ResultsArePendingAndAfterTheLastBatch)
{
    struct Flush
    {
        int batch;
        int analysed;
    };
    QList<Flush> flushes;
    QObject::connect(m_monitor.get(), &ScreenshotMonitor::screenshotsChanged, [&] {
        int analysed = 0;
        for (const Screenshot& screenshot : m_monitor->screenshots())
            analysed += screenshot.ocrText.has_value();
        flushes.append({m_monitor->currentBatchNumber(), analysed});
    });

    // Every file yields a result: 100 pending after batch 25, the last 50 after batch 38.
    const QList<Screenshot> files = addFiles(150);
    flushes.clear();
    m_monitor->startBatchProcessing(files);
    ASSERT_TRUE(finishes());
    ASSERT_EQ(flushes.size(), 2);
    EXPECT_EQ(flushes[0].batch, 25);
    EXPECT_EQ(flushes[0].analysed, 100);
    EXPECT_EQ(flushes[1].batch, 38);
    EXPECT_EQ(flushes[1].analysed, 150);
    EXPECT_EQ(storedWithText(files), 150);

    // One file of a sibling folder yields nothing (it still counts as
    // handled): exactly 99 are pending after batch 25, which is not more
    // than 99, so the first write waits for batch 26.
    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, {});
    QList<Screenshot> mixed = addFiles(1, u"other"_s, m_folder + u"2"_s) + addFiles(149, u"more"_s);
    flushes.clear();
    m_monitor->startBatchProcessing(mixed);
    ASSERT_TRUE(finishes());
    ASSERT_EQ(flushes.size(), 2);
    EXPECT_EQ(flushes[0].batch, 26);
    EXPECT_EQ(flushes[0].analysed, 103);
    EXPECT_EQ(flushes[1].batch, 38);
    EXPECT_EQ(flushes[1].analysed, 149);
    EXPECT_EQ(m_monitor->processedCount(), 150);
}

TEST_F(PipelineTest, FilesOutsideTheFolderCountAsHandledButGetNoResult)
{
    const QList<Screenshot> inside = addFiles(3);
    const QList<Screenshot> outside = addFiles(1, u"sibling"_s, m_folder + u"_x"_s) + addFiles(1, u"far"_s, u"/tmp"_s);
    m_monitor->startBatchProcessing(inside + outside);
    ASSERT_TRUE(finishes());

    EXPECT_EQ(m_monitor->processedCount(), 5);
    EXPECT_DOUBLE_EQ(m_monitor->processingProgressValue(), 1.0);
    for (const Screenshot& file : outside) {
        EXPECT_FALSE(m_analyzer->calls().contains(file.filePath));
        EXPECT_FALSE(listed(file.id)->ocrText.has_value());
        EXPECT_FALSE(m_store.fetchByPath(file.filePath)->ocrText.has_value());
    }
    EXPECT_EQ(storedWithText(inside), 3);
}

TEST_F(PipelineTest, BlankTextAndNoLabelsGiveAnEmptyPresentEmbedding)
{
    const Screenshot file = addFiles(1, u"blank"_s).first();
    m_monitor->startBatchProcessing({file});
    ASSERT_TRUE(finishes());

    const auto shown = listed(file.id);
    EXPECT_EQ(shown->ocrText, QString());
    EXPECT_TRUE(shown->tags.isEmpty());
    EXPECT_EQ(shown->embedding, QList<double>());
    EXPECT_EQ(shown->detectedUrls, QList<QUrl>());
    EXPECT_EQ(m_analyzer->embeddingCalls, 0);

    class TabsOnly : public FakeAnalyzer
    {
        std::optional<QString> recognizeText(const QString&) override { return u"\t  \t"_s; }
        QStringList labels(const QString&) override { return {}; }
    } tabs;
    EXPECT_EQ(AnalysisPipeline::processFile(tabs, file, m_folder)->embedding, QList<double>());
    EXPECT_EQ(tabs.embeddingCalls, 0);
}

TEST_F(PipelineTest, PauseAfterABatchGrowsOnlyAboveOneAndTwoSeconds)
{
    using std::chrono::milliseconds;
    EXPECT_EQ(AnalysisPipeline::pauseAfterBatch(0.2), milliseconds(10));
    EXPECT_EQ(AnalysisPipeline::pauseAfterBatch(1.0), milliseconds(10));
    EXPECT_EQ(AnalysisPipeline::pauseAfterBatch(1.001), milliseconds(100));
    EXPECT_EQ(AnalysisPipeline::pauseAfterBatch(2.0), milliseconds(100));
    EXPECT_FALSE(m_log.contains(u"Thermal throttling"_s));
    EXPECT_EQ(AnalysisPipeline::pauseAfterBatch(2.01), milliseconds(500));
    EXPECT_TRUE(m_log.contains(u"[Processing] [WARNING] Thermal throttling detected - increasing delay | "
                               "duration=2.01"_s));
}

TEST_F(PipelineTest, ASlowBatchIsFollowedByTheLongerPause)
{
    std::chrono::milliseconds batchEnd{-1};
    std::chrono::milliseconds gap{-1};
    QObject::connect(m_monitor.get(), &ScreenshotMonitor::processedCountChanged, [&](int count) {
        if (count == 4)
            batchEnd = m_time.now();
    });
    QObject::connect(m_monitor.get(), &ScreenshotMonitor::currentBatchNumberChanged, [&](int number) {
        if (number == 2)
            gap = m_time.now() - batchEnd;
    });
    m_analyzer->hold();
    m_monitor->startBatchProcessing(addFiles(5));
    ASSERT_TRUE(waitUntil([&] { return m_analyzer->running == 4; }));
    // The first batch takes a little over a second of the pipeline's time.
    m_time.advance(std::chrono::milliseconds(1050));
    m_analyzer->release();
    ASSERT_TRUE(finishes());
    EXPECT_EQ(gap, std::chrono::milliseconds(100));
}

TEST_F(PipelineTest, OnlyTheCurrentRunAppliesResultsToTheList)
{
    const QList<Screenshot> files = addFiles(8);
    m_analyzer->hold();
    m_monitor->startBatchProcessing(files);
    ASSERT_TRUE(waitUntil([&] { return m_analyzer->running > 0; }));

    // The folder changes while batch 1 is analysed; the new folder's list
    // happens to hold the same records.
    m_monitor->setMonitoredPath(m_dir.filePath(u"Elsewhere"_s));
    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, files);
    m_analyzer->release();
    ASSERT_TRUE(runUntil([&] { return m_log.contains(u"Folder changed during processing - stopping"_s); }));
    EXPECT_TRUE(m_log.contains(u"[WARNING] Folder changed during processing - stopping | batchNumber=2"_s));
    EXPECT_FALSE(m_monitor->isProcessing());

    // Batch 1 still reaches the store, but not the list.
    EXPECT_TRUE(waitUntil([&] { return storedWithText(files) == 4; }));
    for (const Screenshot& file : files)
        EXPECT_FALSE(listed(file.id)->ocrText.has_value());

    QList<ProcessedFileResult> stale{{files[0].id, u"old"_s, {}, QList<double>(), {}}};
    QSignalSpy changes(m_monitor.get(), &ScreenshotMonitor::screenshotsChanged);
    ScreenshotMonitorTestAccess::pipeline(*m_monitor).flushProcessedResults(stale, 99, QUuid::createUuid());
    EXPECT_TRUE(stale.isEmpty());
    EXPECT_EQ(changes.count(), 0);
    EXPECT_NE(m_monitor->processedCount(), 99);
}

TEST_F(PipelineTest, AReplacingRunTakesOverTheFilesTheOldOneHadNotStarted)
{
    const QList<Screenshot> first = addFiles(150);
    // The first run is held in its third batch.
    QObject::connect(m_monitor.get(), &ScreenshotMonitor::currentBatchNumberChanged,
                     [&, held = false](int number) mutable {
                         if (number == 3 && !held) {
                             held = true;
                             m_analyzer->hold();
                         }
                     });
    m_monitor->startBatchProcessing(first);
    ASSERT_TRUE(runUntil([&] { return m_monitor->currentBatchNumber() >= 3; }));

    // The poll finds one new file; the list it hands over also repeats one
    // file the first run had not reached.
    const Screenshot found = addFiles(1, u"new"_s).first();
    m_monitor->startBatchProcessing({found, first.last()});
    m_analyzer->release();
    ASSERT_TRUE(finishes(20000));

    // The replaced run's held files may still be waking on a busy machine
    // when the run that replaced it has ended.
    EXPECT_TRUE(waitUntil([&] { return m_analyzer->calls().size() >= 151; })) << m_analyzer->calls().size();
    const QHash<QString, int> calls = m_analyzer->calls();
    EXPECT_EQ(calls.size(), 151);
    for (int count : calls)
        EXPECT_EQ(count, 1);
    // The last results are written, and then listed, after the run has
    // ended; those the replaced run held when it stopped come too.
    const QList<Screenshot> all = first + QList<Screenshot>{found};
    EXPECT_TRUE(waitUntil([&] { return storedWithText(all) == 151; })) << storedWithText(all);
    EXPECT_TRUE(waitUntil([&] {
        return std::all_of(all.begin(), all.end(),
                           [&](const Screenshot& file) { return listed(file.id)->ocrText.has_value(); });
    }));
    EXPECT_EQ(m_monitor->processedCount(), m_monitor->totalToProcess());
    EXPECT_LT(m_monitor->totalToProcess(), 150);
}

TEST_F(PipelineTest, MemoryPressurePausesBeforeTheNextBatchUntilRelieved)
{
    m_analyzer->hold();
    m_monitor->startBatchProcessing(addFiles(8));
    ASSERT_EQ(m_monitor->currentBatchNumber(), 1);
    *m_pressure = true;
    m_analyzer->release();

    ASSERT_TRUE(runUntil([&] { return m_monitor->isUnderMemoryPressure(); }));
    EXPECT_TRUE(m_log.contains(u"[WARNING] Memory pressure detected - pausing | availableMemoryMB=100"_s));
    letTimePass(std::chrono::milliseconds(3500)); // several re-tests under pressure
    EXPECT_EQ(m_analyzer->totalCalls(), 4);
    EXPECT_EQ(m_monitor->currentBatchNumber(), 1);

    const auto relief = m_time.now();
    *m_pressure = false;
    ASSERT_TRUE(runUntil([&] { return m_monitor->currentBatchNumber() == 2; }));
    EXPECT_LE(m_time.now() - relief, std::chrono::milliseconds(1000));
    EXPECT_FALSE(m_monitor->isUnderMemoryPressure());
    EXPECT_TRUE(m_log.contains(u"[INFO] Memory pressure relieved - resuming"_s));
    ASSERT_TRUE(finishes());
    EXPECT_EQ(m_analyzer->totalCalls(), 8);
}

TEST_F(PipelineTest, CancellingDuringAMemoryPauseEndsTheRunAtOnce)
{
    *m_pressure = true;
    m_monitor->startBatchProcessing(addFiles(8));
    ASSERT_TRUE(m_monitor->isUnderMemoryPressure());
    letTimePass(std::chrono::milliseconds(300));

    const auto cancelled = m_time.now();
    m_monitor->cancelProcessing();
    // The pause flag is cleared when the run leaves it.
    ASSERT_TRUE(runUntil([&] { return !m_monitor->isUnderMemoryPressure(); }, 1000));
    EXPECT_LT(m_time.now() - cancelled, std::chrono::milliseconds(1000));
    EXPECT_FALSE(m_monitor->isProcessing());

    *m_pressure = false;
    letTimePass(std::chrono::milliseconds(1200));
    EXPECT_EQ(m_analyzer->totalCalls(), 0);
    EXPECT_FALSE(m_log.contains(u"Processing batch"_s));
}

TEST_F(PipelineTest, ACancelledRunWritesNothingAfterTheCancel)
{
    const QList<Screenshot> files = addFiles(16);
    // Whatever starts after the first batch waits until the cancel.
    QObject::connect(m_monitor.get(), &ScreenshotMonitor::processedCountChanged, [&, held = false](int count) mutable {
        if (count == 4 && !held) {
            held = true;
            m_analyzer->hold();
        }
    });
    m_monitor->startBatchProcessing(files);
    ASSERT_TRUE(runUntil([&] { return m_monitor->processedCount() == 4; }));
    m_monitor->cancelProcessing();
    m_analyzer->release();

    ASSERT_TRUE(runUntil([&] { return m_log.contains(u"[INFO] Batch processing cancelled"_s); }, 1000));
    const int analysed = m_analyzer->totalCalls();
    EXPECT_GE(analysed, 4);
    EXPECT_LT(analysed, 16);
    // The folder was given up: what was analysed and not yet written stays out.
    m_parts.workers.analysis().waitForDone();
    m_parts.workers.storeWrites().waitForDone();
    QCoreApplication::processEvents();
    m_parts.workers.storeWrites().waitForDone();
    EXPECT_EQ(storedWithText(files), 0);
    EXPECT_FALSE(m_monitor->isProcessing());
    EXPECT_TRUE(m_monitor->screenshots().isEmpty());
}

TEST_F(PipelineTest, NothingStartsForAnEmptyListOrAnotherFolder)
{
    const QUuid before = m_monitor->currentProcessingID();
    m_monitor->startBatchProcessing({});
    m_monitor->startBatchProcessing(addFiles(2), u"/somewhere/else"_s);

    EXPECT_EQ(m_monitor->currentProcessingID(), before);
    EXPECT_FALSE(m_monitor->isProcessing());
    EXPECT_FALSE(m_log.contains(u"Starting batch processing pipeline"_s));
    EXPECT_TRUE(m_log.contains(u"[WARNING] Processing aborted - folder changed | expected=/somewhere/else, actual="_s +
                               m_folder));
}

TEST_F(PipelineTest, ProgressStaysWithinBoundsWhenTheTotalIsResetMidRun)
{
    m_analyzer->hold();
    m_monitor->startBatchProcessing(addFiles(8));
    // As a library load that found nothing to do would.
    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.totalToProcess = 0});
    QList<double> values;
    QObject::connect(m_monitor.get(), &ScreenshotMonitor::processingProgressValueChanged,
                     [&](double value) { values.append(value); });
    m_analyzer->release();
    ASSERT_TRUE(finishes());
    for (double value : values) {
        EXPECT_TRUE(std::isfinite(value));
        EXPECT_GE(value, 0.0);
        EXPECT_LE(value, 1.0);
    }
    EXPECT_DOUBLE_EQ(m_monitor->processingProgressValue(), 1.0);
}
