#include "ingest/AnalysisPipeline.h"

#include "core/DatabaseManager.h"
#include "core/FileIdentity.h"
#include "core/GuiThread.h"
#include "core/LogTimer.h"
#include "core/Logger.h"
#include "core/MemoryInfo.h"
#include "core/MemoryMonitor.h"
#include "core/PathUtils.h"
#include "core/Scheduler.h"
#include "core/Workers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
const QString processingCategory = u"Processing"_s;
constexpr std::chrono::milliseconds memoryRecheckInterval{1000};

void logProcessing(LogLevel level, const QString& message, const LogMetadata& metadata = {})
{
    Logger::log(level, processingCategory, message, metadata);
}

// Only spaces and tabs count: a line break is text to the embedding.
bool isBlankLine(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == u' ' || c == u'\t'; });
}
} // namespace

// One processing run: batches in sequence, the files of a batch analysed
// concurrently on the analysis pool. Everything here except the pool tasks
// runs on the GUI thread; waits are timers, never blocking sleeps.
class AnalysisPipeline::ProcessingRun : public std::enable_shared_from_this<ProcessingRun>
{
public:
    ProcessingRun(AnalysisPipeline& pipeline, QUuid id, QString folder, QList<Screenshot> files)
        : m_pipeline(pipeline)
        , m_id(id)
        , m_folder(std::move(folder))
        , m_files(std::move(files))
        , m_batchCount(int((m_files.size() + BATCH_SIZE - 1) / BATCH_SIZE))
    {}

    const QString& folder() const { return m_folder; }
    int batchCount() const { return m_batchCount; }
    bool isFinished() const { return m_isFinished; }
    bool isInMemoryPause() const { return m_isInMemoryPause; }

    // The files no batch has started yet: a replacing run takes them over.
    QList<Screenshot> unstartedFiles() const { return m_files.mid(m_nextFile); }

    // What is analysed and not yet written, handed over at shutdown.
    QList<ProcessedFileResult> takePending() { return std::exchange(m_pending, {}); }

    // Results of a replaced run, written and applied with this run's next flush.
    void adoptResults(const QList<ProcessedFileResult>& results) { m_pending.append(results); }

    // Cancelled: nothing of this run is written any more.
    void discardResults()
    {
        *m_discarded = true;
        m_pending.clear();
    }

    void start();
    // Seen at the next check point; a pause in progress ends at once. With
    // `abortFiles`, the analyses under way stop too and give no result (their
    // files stay unanalysed): nobody takes over this run's files.
    void requestStop(bool abortFiles);

private:
    enum class Exit { completed, cancelled, folderChanged };

    bool isCurrent() const { return m_pipeline.m_currentRunId == m_id; }
    // Whether results of this run still belong in the list: not discarded,
    // no cancel, the folder still the one watched.
    bool isStillShown() const;
    bool isStopping() const { return m_isStopRequested || m_pipeline.m_host.isCancelled(); }
    void nextBatch();
    void enterMemoryPause();
    void recheckMemory();
    void leaveMemoryPause();
    void startBatch();
    void fileStarted(int batch, size_t index, const std::optional<FileStamp>& stamp);
    // Gives the file up when it is overdue, else looks again later.
    void checkOverdue(int batch, size_t index);
    void fileAnalysed(int batch, size_t index, std::optional<ProcessedFileResult> result, bool changing);
    // One file of the batch is done with, analysed or given up.
    void settle(size_t index);
    void finishBatch(int batchFiles);
    void flush(std::function<void()> then);
    // The store refused `unsaved`: they wait (in front of what came since)
    // and are tried again before the run goes on.
    void keepUnsaved(QList<ProcessedFileResult> unsaved, std::function<void()> then);
    void endBatch(int batchFiles);
    void finish(Exit exit);
    void releasePending(Exit exit);
    // Gives `results` to the run that replaced this one, when that run works
    // on the same folder; false when there is none.
    bool handOver(QList<ProcessedFileResult>& results);
    void sleep(std::chrono::milliseconds duration, std::function<void()> then);
    void wake(quint64 token);

    // A file of the batch under way: its own stop, and whether its analysis
    // came back or was given up (whichever is first counts).
    struct Slot
    {
        Screenshot file;
        std::stop_source stop;
        // Raised by the worker once its result is on the way.
        std::shared_ptr<std::atomic<bool>> isAnalysed = std::make_shared<std::atomic<bool>>(false);
        // The processor time of the threads at work on the file.
        std::shared_ptr<CpuAccount> account = std::make_shared<CpuAccount>();
        // Real time since its analysis began.
        QElapsedTimer sinceStart;
        // The file as its analysis began; absent when it was no regular file.
        std::optional<FileStamp> source;
        bool isSettled = false;
    };

    AnalysisPipeline& m_pipeline;
    const QUuid m_id;
    const QString m_folder;
    const QList<Screenshot> m_files;
    const int m_batchCount;
    int m_batchIndex = 0; // the batch being checked or analysed
    qsizetype m_nextFile = 0;
    int m_outstanding = 0;
    int m_handled = 0;
    QList<ProcessedFileResult> m_pending;
    // Files that could not be read while they were changing.
    QList<Screenshot> m_changing;
    std::optional<LogTimer> m_batchTimer;
    // The pause after a batch follows its length on the scheduler's clock.
    std::chrono::milliseconds m_batchStart{0};
    bool m_isStopRequested = false;
    std::vector<Slot> m_slots;
    const std::shared_ptr<std::atomic<bool>> m_discarded = std::make_shared<std::atomic<bool>>(false);
    bool m_isInMemoryPause = false;
    bool m_isFinished = false;
    // A pause ends at the first of its timer and an early wake; the token
    // makes the later one do nothing.
    quint64 m_sleepToken = 0;
    std::function<void()> m_afterSleep;
};

void AnalysisPipeline::ProcessingRun::start()
{
    m_pipeline.m_host.publishProgress({.isProcessing = true,
                                       .totalToProcess = int(m_files.size()),
                                       .processedCount = 0,
                                       .processingProgress = 0,
                                       .currentBatchNumber = 0,
                                       .totalBatches = m_batchCount,
                                       .value = 0.0});
    nextBatch();
}

void AnalysisPipeline::ProcessingRun::requestStop(bool abortFiles)
{
    m_isStopRequested = true;
    if (abortFiles) {
        for (Slot& slot : m_slots)
            slot.stop.request_stop();
    }
    if (m_afterSleep)
        m_pipeline.m_scheduler.runAfter(std::chrono::milliseconds(0), m_pipeline.m_host.context(),
                                        [self = shared_from_this(), token = m_sleepToken] { self->wake(token); });
}

void AnalysisPipeline::ProcessingRun::nextBatch()
{
    if (m_batchIndex == m_batchCount) {
        logProcessing(LogLevel::info, u"All processing complete!"_s, {{u"totalProcessed"_s, m_handled}});
        finish(Exit::completed);
        return;
    }
    if (isStopping()) {
        logProcessing(LogLevel::info, u"Batch processing cancelled"_s);
        finish(Exit::cancelled);
        return;
    }
    if (m_pipeline.m_host.monitoredPath() != m_folder) {
        logProcessing(LogLevel::warning, u"Folder changed during processing - stopping"_s,
                      {{u"batchNumber"_s, m_batchIndex + 1}});
        finish(Exit::folderChanged);
        return;
    }
    m_pipeline.m_memoryMonitor.checkMemory();
    if (m_pipeline.m_memoryMonitor.isUnderPressure())
        enterMemoryPause();
    else
        startBatch();
}

void AnalysisPipeline::ProcessingRun::enterMemoryPause()
{
    logProcessing(LogLevel::warning, u"Memory pressure detected - pausing"_s,
                  {{u"availableMemoryMB"_s, m_pipeline.m_memoryMonitor.availableMemoryMB()}});
    m_isInMemoryPause = true;
    m_pipeline.m_host.publishProgress({.isUnderMemoryPressure = true});
    m_pipeline.m_memoryMonitor.checkMemory();
    if (m_pipeline.m_memoryMonitor.isUnderPressure())
        sleep(memoryRecheckInterval, [this] { recheckMemory(); });
    else
        leaveMemoryPause();
}

void AnalysisPipeline::ProcessingRun::recheckMemory()
{
    if (isStopping()) {
        finish(Exit::cancelled);
        return;
    }
    m_pipeline.m_memoryMonitor.checkMemory();
    if (m_pipeline.m_memoryMonitor.isUnderPressure())
        sleep(memoryRecheckInterval, [this] { recheckMemory(); });
    else
        leaveMemoryPause();
}

void AnalysisPipeline::ProcessingRun::leaveMemoryPause()
{
    m_isInMemoryPause = false;
    m_pipeline.m_host.publishProgress({.isUnderMemoryPressure = false});
    logProcessing(LogLevel::info, u"Memory pressure relieved - resuming"_s);
    startBatch();
}

void AnalysisPipeline::ProcessingRun::startBatch()
{
    const int number = m_batchIndex + 1;
    const QList<Screenshot> batch = m_files.mid(qsizetype(m_batchIndex) * BATCH_SIZE, BATCH_SIZE);
    m_batchTimer.emplace(u"batch_"_s + QString::number(number));
    m_batchStart = m_pipeline.m_scheduler.now();
    logProcessing(LogLevel::info, u"Processing batch"_s, {{u"batch"_s, number}, {u"files"_s, int(batch.size())}});
    // A replaced run finishing its last batch must not move the progress of
    // the run that replaced it.
    if (isCurrent())
        m_pipeline.m_host.publishProgress({.currentBatchNumber = number});

    m_nextFile += batch.size();
    m_outstanding = int(batch.size());
    m_slots.clear();
    m_slots.reserve(size_t(batch.size()));
    for (const Screenshot& file : batch)
        m_slots.push_back({file});
    const std::shared_ptr<FileAnalyzer> analyzer = m_pipeline.m_analyzer;
    for (size_t index = 0; index < m_slots.size(); ++index) {
        const Slot& slot = m_slots[index];
        m_pipeline.m_workers.analysis().start([self = shared_from_this(), analyzer, file = slot.file,
                                               stop = slot.stop.get_token(), analysed = slot.isAnalysed,
                                               account = slot.account, budget = m_pipeline.m_budget,
                                               batch = m_batchIndex, index, monitor = m_pipeline.m_host.context()] {
            // What a file given up is remembered with: the file as its reading began.
            QMetaObject::invokeMethod(
                monitor,
                [self, batch, index, stamp = FileStamp::of(file.filePath)] { self->fileStarted(batch, index, stamp); },
                Qt::QueuedConnection);
            bool changing = false;
            std::optional<ProcessedFileResult> result =
                processFile(*analyzer, file, self->m_folder, stop,
                            TimeBudget::startingNow(budget.processor, budget.realTime, account), &changing);
            *analysed = true;
            QMetaObject::invokeMethod(
                monitor,
                [self, batch, index, changing, result = std::move(result)]() mutable {
                    self->fileAnalysed(batch, index, std::move(result), changing);
                },
                Qt::QueuedConnection);
        });
    }
}

// The budget is counted from the start of the file's own work, not from the
// time it waited for a thread.
void AnalysisPipeline::ProcessingRun::fileStarted(int batch, size_t index, const std::optional<FileStamp>& stamp)
{
    if (batch != m_batchIndex || m_slots[index].isSettled)
        return;
    m_slots[index].sinceStart.start();
    m_slots[index].source = stamp;
    const Budget& budget = m_pipeline.m_budget;
    // Processor time runs no faster than real time on the file's own thread.
    QTimer::singleShot(std::min(budget.processor, budget.realTime) + budget.grace, m_pipeline.m_host.context(),
                       [self = shared_from_this(), batch, index] { self->checkOverdue(batch, index); });
}

void AnalysisPipeline::ProcessingRun::checkOverdue(int batch, size_t index)
{
    if (batch != m_batchIndex || m_slots[index].isSettled || *m_slots[index].isAnalysed)
        return;
    Slot& slot = m_slots[index];
    const Budget& budget = m_pipeline.m_budget;
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    const milliseconds processorLeft =
        budget.processor + budget.grace - duration_cast<milliseconds>(slot.account->spent());
    const milliseconds realLeft = budget.realTime + budget.grace - milliseconds(slot.sinceStart.elapsed());
    if (processorLeft > milliseconds(0) && realLeft > milliseconds(0)) {
        // Not before a tenth of a second: a check costs the GUI thread a little.
        QTimer::singleShot(std::max(milliseconds(100), std::min(processorLeft, realLeft)), m_pipeline.m_host.context(),
                           [self = shared_from_this(), batch, index] { self->checkOverdue(batch, index); });
        return;
    }
    slot.stop.request_stop();
    // An engine this far past its processor time ignores it, and would do so
    // again at every launch: the file is kept as given up, and read again
    // only once it changes. One that real time alone left this far behind
    // may only have had no core: it is read again at the next start, a few
    // times at most. A file no longer there is left unanalysed.
    const bool byRealTimeAlone = processorLeft > milliseconds(0);
    logProcessing(LogLevel::warning,
                  byRealTimeAlone ? u"Analysis stopped by real time - unfinished"_s
                                  : u"Analysis given up at its time budget"_s,
                  {{u"file"_s, slot.file.filename},
                   {u"seconds"_s, double(slot.sinceStart.elapsed()) / 1000.0},
                   {u"processorSeconds"_s, std::chrono::duration<double>(slot.account->spent()).count()}});
    if (slot.source) {
        ProcessedFileResult result{slot.file.id, QString(), {}, QList<double>(), {}, slot.source};
        result.endAtBudget(byRealTimeAlone, slot.file);
        m_pending.append(std::move(result));
    }
    settle(index);
}

void AnalysisPipeline::ProcessingRun::fileAnalysed(int batch, size_t index, std::optional<ProcessedFileResult> result,
                                                   bool changing)
{
    if (batch != m_batchIndex || m_slots[index].isSettled)
        return;
    if (result)
        m_pending.append(std::move(*result));
    else if (changing)
        m_changing.append(m_slots[index].file);
    settle(index);
}

void AnalysisPipeline::ProcessingRun::settle(size_t index)
{
    m_slots[index].isSettled = true;
    if (--m_outstanding > 0)
        return;
    finishBatch(int(qMin<qsizetype>(BATCH_SIZE, m_files.size() - qsizetype(m_batchIndex) * BATCH_SIZE)));
}

void AnalysisPipeline::ProcessingRun::finishBatch(int batchFiles)
{
    // Files outside the folder and files without a result count as handled too.
    m_handled += batchFiles;
    if (isCurrent()) {
        m_pipeline.m_host.publishProgress(
            {.processedCount = m_handled,
             .processingProgress = m_handled,
             .value = double(m_handled) / double(m_pipeline.m_host.progress().totalToProcess)});
    }
    const bool isLastBatch = m_batchIndex == m_batchCount - 1;
    // A stopping run leaves its results to its exit, which hands them to the
    // run that replaced it or writes them.
    if (!isStopping() && (m_pending.size() >= flushThreshold || isLastBatch))
        flush([this, batchFiles] { endBatch(batchFiles); });
    else
        endBatch(batchFiles);
}

void AnalysisPipeline::ProcessingRun::flush(std::function<void()> then)
{
    // Taken before the write: results adopted meanwhile wait for the next
    // flush, so nothing is applied before it is in the store.
    QList<ProcessedFileResult> taken = std::exchange(m_pending, {});
    m_pipeline.writeResults(std::move(taken), m_discarded,
                            [self = shared_from_this(), then = std::move(then)](QList<ProcessedFileResult> written,
                                                                                QList<ProcessedFileResult> unsaved) {
                                // Replaced while writing: the run that replaced it shows the
                                // results (writing them once more changes nothing).
                                if (self->isCurrent() || !self->handOver(written))
                                    self->m_pipeline.flushProcessedResults(written, self->m_handled, self->m_id);
                                if (unsaved.isEmpty())
                                    then();
                                else
                                    self->keepUnsaved(std::move(unsaved), then);
                            });
}

void AnalysisPipeline::ProcessingRun::keepUnsaved(QList<ProcessedFileResult> unsaved, std::function<void()> then)
{
    if (*m_discarded) {
        then();
        return;
    }
    m_pending = unsaved + m_pending;
    // A run that stops writes them once more as it goes, or hands them on.
    if (isStopping() || m_isFinished || (!isCurrent() && handOver(m_pending))) {
        then();
        return;
    }
    logProcessing(
        LogLevel::warning, u"Results could not be saved - trying again"_s,
        {{u"count"_s, int(m_pending.size())}, {u"reason"_s, m_pipeline.m_store.health().state().writeProblem}});
    sleep(storeRetryInterval, [this, then = std::move(then)] { flush(then); });
}

void AnalysisPipeline::ProcessingRun::endBatch(int batchFiles)
{
    m_batchTimer->end({{u"filesProcessed"_s, batchFiles},
                       {u"totalProcessed"_s, m_handled},
                       {u"memoryMB"_s, MemoryInfo::current().usedMB}});
    m_batchTimer.reset();
    ++m_batchIndex;
    const std::chrono::duration<double> spent = m_pipeline.m_scheduler.now() - m_batchStart;
    const std::chrono::milliseconds pause = pauseAfterBatch(spent.count());
    if (isStopping())
        nextBatch(); // the pause would end early anyway
    else
        sleep(pause, [this] { nextBatch(); });
}

void AnalysisPipeline::ProcessingRun::finish(Exit exit)
{
    m_isFinished = true;
    m_afterSleep = nullptr;
    if (m_isInMemoryPause) {
        m_isInMemoryPause = false;
        // Left true, the flag would show a pause that no longer exists.
        const auto& successor = m_pipeline.m_run;
        if (!successor || !successor->isInMemoryPause())
            m_pipeline.m_host.publishProgress({.isUnderMemoryPressure = false});
    }
    releasePending(exit);

    const bool current = isCurrent();
    switch (exit) {
    case Exit::completed:
        if (current && !m_changing.isEmpty()) {
            m_pipeline.m_scheduler.runAfter(settleDelay, m_pipeline.m_host.context(),
                                            [pipeline = &m_pipeline, files = m_changing, folder = m_folder] {
                                                if (pipeline->m_host.monitoredPath() == folder)
                                                    pipeline->start(files, folder);
                                            });
        }
        if (current) {
            m_pipeline.m_host.publishProgress({.isProcessing = false,
                                               .isProcessingBlocking = false,
                                               .hasIncompleteFiles = false,
                                               .processedCount = m_handled,
                                               .processingProgress = m_handled,
                                               .currentBatchNumber = 0,
                                               .totalBatches = 0,
                                               .value = 1.0});
        }
        break;
    case Exit::cancelled:
        if (current)
            m_pipeline.m_host.publishProgress({.isProcessing = false});
        break;
    case Exit::folderChanged: {
        // Not while a newer run (for the new folder) is at work.
        const auto& successor = m_pipeline.m_run;
        if (current || !successor || successor->isFinished())
            m_pipeline.m_host.publishProgress({.isProcessing = false});
        break;
    }
    }
    runOnThreadOf(m_pipeline.m_host.context(),
                  [pipeline = &m_pipeline, id = m_id] { pipeline->resetProcessingState(id); });
    const auto& successor = m_pipeline.m_run;
    if (!successor || successor.get() == this || successor->isFinished())
        m_pipeline.releaseModels();
}

void AnalysisPipeline::ProcessingRun::releasePending(Exit exit)
{
    if (m_pending.isEmpty() || *m_discarded)
        return;
    if (!isCurrent() && handOver(m_pending))
        return;
    // A completed run may still hold results adopted after its last flush.
    if (exit == Exit::completed && isCurrent())
        flush([] {});
    else if (!isCurrent() && isStillShown())
        // The run that replaced this one ended first: the list shows these
        // results all the same, once they are in the store.
        m_pipeline.writeResults(
            std::exchange(m_pending, {}), m_discarded,
            [self = shared_from_this()](QList<ProcessedFileResult> written, QList<ProcessedFileResult> /*unsaved*/) {
                if (self->isStillShown())
                    self->m_pipeline.m_host.applyResults(written);
            });
    else
        m_pipeline.writeResults(std::exchange(m_pending, {}), m_discarded, nullptr);
}

bool AnalysisPipeline::ProcessingRun::isStillShown() const
{
    return !*m_discarded && !m_pipeline.m_host.isCancelled() && m_pipeline.m_host.monitoredPath() == m_folder;
}

bool AnalysisPipeline::ProcessingRun::handOver(QList<ProcessedFileResult>& results)
{
    const auto& successor = m_pipeline.m_run;
    if (m_pipeline.m_host.isCancelled() || !successor || successor.get() == this || successor->isFinished() ||
        successor->folder() != m_folder)
        return false;
    successor->adoptResults(std::exchange(results, {}));
    return true;
}

void AnalysisPipeline::ProcessingRun::sleep(std::chrono::milliseconds duration, std::function<void()> then)
{
    m_afterSleep = std::move(then);
    m_pipeline.m_scheduler.runAfter(duration, m_pipeline.m_host.context(),
                                    [self = shared_from_this(), token = m_sleepToken] { self->wake(token); });
}

void AnalysisPipeline::ProcessingRun::wake(quint64 token)
{
    if (token != m_sleepToken || !m_afterSleep)
        return;
    ++m_sleepToken;
    std::exchange(m_afterSleep, nullptr)();
}

AnalysisPipeline::AnalysisPipeline(Host& host, DatabaseManager& store, MemoryMonitor& memoryMonitor, Workers& workers,
                                   std::shared_ptr<FileAnalyzer> analyzer, Scheduler& scheduler)
    : m_host(host)
    , m_store(store)
    , m_memoryMonitor(memoryMonitor)
    , m_workers(workers)
    , m_analyzer(std::move(analyzer))
    , m_scheduler(scheduler)
{}

AnalysisPipeline::~AnalysisPipeline()
{
    stop();
    // Their tasks post back to the host; none may be left when it goes.
    m_workers.analysis().waitForDone();
    m_workers.storeWrites().waitForDone();
}

void AnalysisPipeline::setTimeBudget(const Budget& budget)
{
    m_budget = budget;
}

void AnalysisPipeline::start(const QList<Screenshot>& files, const QString& folder)
{
    assertGuiThread();
    if (files.isEmpty() || m_isShuttingDown)
        return;
    QList<Screenshot> runFiles = files;
    if (const std::shared_ptr<ProcessingRun> previous = m_run; previous && !previous->isFinished()) {
        previous->requestStop(previous->folder() != folder);
        (void)replacedRuns(); // forgets those finished
        m_replaced.push_back(previous);
        // A new file found by the poll must not abandon an import in progress.
        if (previous->folder() == folder) {
            QSet<QUuid> ids;
            for (const Screenshot& file : files)
                ids.insert(file.id);
            for (const Screenshot& file : previous->unstartedFiles()) {
                if (!ids.contains(file.id)) {
                    ids.insert(file.id);
                    runFiles.append(file);
                }
            }
        }
    }

    m_currentRunId = QUuid::createUuid();
    const int fileCount = int(runFiles.size());
    auto run = std::make_shared<ProcessingRun>(*this, m_currentRunId, folder, std::move(runFiles));
    logProcessing(LogLevel::info, u"Starting batch processing pipeline"_s,
                  {{u"totalFiles"_s, fileCount}, {u"batches"_s, run->batchCount()}, {u"batchSize"_s, BATCH_SIZE}});
    m_run = run;
    run->start();
}

void AnalysisPipeline::stop()
{
    assertGuiThread();
    // A replaced run would otherwise finish its batch and, with no run left
    // to take its results, write them into a library the user backed out of.
    std::vector<std::shared_ptr<ProcessingRun>> runs = replacedRuns();
    m_replaced.clear();
    if (m_run)
        runs.push_back(std::exchange(m_run, nullptr));
    for (const std::shared_ptr<ProcessingRun>& run : runs) {
        run->discardResults();
        run->requestStop(true);
    }
}

std::vector<std::shared_ptr<AnalysisPipeline::ProcessingRun>> AnalysisPipeline::replacedRuns()
{
    std::vector<std::shared_ptr<ProcessingRun>> runs;
    for (const std::weak_ptr<ProcessingRun>& replaced : m_replaced) {
        if (std::shared_ptr<ProcessingRun> run = replaced.lock(); run && !run->isFinished())
            runs.push_back(std::move(run));
    }
    m_replaced.assign(runs.begin(), runs.end());
    return runs;
}

void AnalysisPipeline::releaseModels()
{
    if (m_isShuttingDown)
        return;
    // Freeing models takes longer than a frame; a run started meanwhile
    // makes what it needs again. Not on the analysis threads: the next
    // run's files (all of a batch on a small machine) and a quit would wait
    // for it there.
    m_workers.tasks().start([analyzer = m_analyzer] { analyzer->releaseModels(); });
}

bool AnalysisPipeline::shutDown()
{
    assertGuiThread();
    m_isShuttingDown = true;
    std::vector<std::shared_ptr<ProcessingRun>> runs = replacedRuns();
    if (m_run)
        runs.push_back(m_run);
    for (const std::shared_ptr<ProcessingRun>& run : runs)
        run->requestStop(true);
    const bool stopped = m_workers.analysis().waitForDone(quitWait);
    // Analyses that finished meanwhile have posted their results; take them
    // in now, so that the runs write them as they stop.
    QCoreApplication::sendPostedEvents(m_host.context(), QEvent::MetaCall);
    m_workers.storeWrites().waitForDone();
    QList<ProcessedFileResult> rest;
    for (const std::shared_ptr<ProcessingRun>& run : runs)
        rest += run->takePending();
    if (!rest.isEmpty())
        m_store.updateMetadataBatch(rest);
    m_replaced.clear();
    m_run.reset();
    return stopped;
}

std::optional<ProcessedFileResult> AnalysisPipeline::processFile(FileAnalyzer& analyzer, const Screenshot& file,
                                                                 const QString& folderPath, std::stop_token stop,
                                                                 const TimeBudget& budget, bool* changing)
{
    if (!isInside(file.filePath, folderPath))
        return std::nullopt;
    const CpuAccount::Charge charge(budget.cpuAccount());
    // Taken before reading: a change during the analysis shows at the write.
    std::optional<FileStamp> source = FileStamp::of(file.filePath);
    QElapsedTimer timer;
    timer.start();
    FileAnalyzer::Sight sight = analyzer.look(file.filePath, std::move(stop), budget);
    // Taken at once: what follows spends processor time of its own.
    const bool byRealTimeAlone = sight.reachedDeadline && !budget.isProcessorTimeSpent();
    if (sight.stopped)
        return std::nullopt;
    if (sight.unopened) {
        logProcessing(LogLevel::warning, u"File could not be read - left for the next run"_s,
                      {{u"file"_s, file.filePath.section(u'/', -1)}});
        return std::nullopt;
    }
    if (sight.unreadable)
        return unreadableFile(file, std::move(source), changing);
    if (sight.reachedDeadline) {
        LogMetadata metadata{{u"file"_s, file.filePath.section(u'/', -1)},
                             {u"seconds"_s, double(timer.elapsed()) / 1000.0}};
        if (const CpuAccount* account = budget.cpuAccount())
            metadata.set(u"processorSeconds"_s, std::chrono::duration<double>(account->spent()).count());
        metadata.set(u"unfinished"_s, byRealTimeAlone);
        logProcessing(LogLevel::warning, u"Analysis reached its time budget"_s, metadata);
    }
    const QString text = sight.text.value_or(QString());
    QList<QUrl> urls = analyzer.extractUrls(text);
    QStringList tags = std::move(sight.labels);
    // Built even when both parts are empty, so it always holds a space.
    const QString joined = text + u' ' + tags.join(u' ');
    std::optional<QList<double>> embedding =
        isBlankLine(joined) ? std::optional<QList<double>>(QList<double>()) : analyzer.embedding(joined);
    ProcessedFileResult result{file.id,          text, std::move(tags), std::move(embedding), std::move(urls),
                               std::move(source)};
    // Its first and last bytes, which the reading has just brought in.
    result.fingerprint = FileIdentity::fingerprintOf(file.filePath);
    if (sight.reachedDeadline)
        result.endAtBudget(byRealTimeAlone, file);
    return result;
}

std::optional<ProcessedFileResult> AnalysisPipeline::unreadableFile(const Screenshot& file,
                                                                    std::optional<FileStamp> source, bool* changing)
{
    const QString name = file.filePath.section(u'/', -1);
    const std::optional<FileStamp> now = FileStamp::of(file.filePath);
    // Still there, but not as it was when reading began: being written.
    const bool changed = now.has_value() && (!source || *source != *now);
    if (changing)
        *changing = changed;
    if (changed) {
        logProcessing(LogLevel::warning, u"File changed while it was read - reading it again later"_s,
                      {{u"file"_s, name}});
        return std::nullopt;
    }
    // Gone, or no regular file any more: nothing to remember it by.
    if (!now) {
        logProcessing(LogLevel::warning, u"File could not be read - left for the next run"_s, {{u"file"_s, name}});
        return std::nullopt;
    }
    logProcessing(LogLevel::warning, u"File could not be read - left alone until it changes"_s, {{u"file"_s, name}});
    return ProcessedFileResult::failed(file.id, AnalysisFailure::unreadable, now);
}

std::chrono::milliseconds AnalysisPipeline::pauseAfterBatch(double seconds)
{
    if (seconds > 2.0) {
        logProcessing(LogLevel::warning, u"Thermal throttling detected - increasing delay"_s,
                      {{u"duration"_s, seconds}});
        return std::chrono::milliseconds(500);
    }
    if (seconds > 1.0)
        return std::chrono::milliseconds(100);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::nanoseconds(BATCH_DELAY_MS));
}

void AnalysisPipeline::flushProcessedResults(QList<ProcessedFileResult>& pending, int handled, const QUuid& runId)
{
    if (pending.isEmpty())
        return;
    const QList<ProcessedFileResult> taken = std::exchange(pending, {});
    if (runId != m_currentRunId)
        return;
    m_host.applyResults(taken);
    m_host.publishProgress({.processedCount = handled,
                            .processingProgress = handled,
                            .value = double(handled) / double(m_host.progress().totalToProcess)});
}

void AnalysisPipeline::resetProcessingState(const QUuid& runId)
{
    if (runId != m_currentRunId)
        return;
    m_host.publishProgress({.isProcessing = false, .isProcessingBlocking = false});
}

void AnalysisPipeline::writeResults(QList<ProcessedFileResult> results,
                                    std::shared_ptr<const std::atomic<bool>> discarded, Written then)
{
    m_workers.storeWrites().start([this, context = m_host.context(), results = std::move(results),
                                   discarded = std::move(discarded), then = std::move(then)]() mutable {
        QList<ProcessedFileResult> changed;
        QList<ProcessedFileResult> unsaved;
        if (discarded && *discarded) {
            results.clear();
        } else {
            // A file changed since it was read would get the analysis of what it was.
            results.removeIf([&changed](const ProcessedFileResult& result) {
                if (!result.source || result.source->matches(result.source->filePath))
                    return false;
                changed.append(result);
                return true;
            });
            // A refused batch is not shown as analysed: nothing of it is in the store.
            if (!results.isEmpty() && !m_store.updateMetadataBatch(results))
                unsaved = std::exchange(results, {});
        }
        QMetaObject::invokeMethod(
            context,
            [this, results = std::move(results), changed = std::move(changed), unsaved = std::move(unsaved),
             then = std::move(then)]() mutable {
                if (!changed.isEmpty())
                    recheckChanged(std::move(changed));
                if (then)
                    then(std::move(results), std::move(unsaved));
            },
            Qt::QueuedConnection);
    });
}

void AnalysisPipeline::recheckChanged(QList<ProcessedFileResult> results)
{
    if (m_isShuttingDown)
        return;
    QList<ProcessedFileResult> moved;
    QList<Screenshot> again;
    for (ProcessedFileResult& result : results) {
        const std::optional<Screenshot> file = m_host.screenshotWithId(result.id);
        if (!file)
            continue; // gone from the library
        // Moved or renamed meanwhile (by a tool, or in the file manager):
        // the same bytes under another name keep what was read of them.
        if (file->filePath != result.source->filePath && result.source->matches(file->filePath)) {
            result.source->filePath = file->filePath;
            moved.append(std::move(result));
        } else if (FileStamp::of(file->filePath)) {
            logProcessing(LogLevel::info, u"File changed while it was analysed - analysing it again"_s,
                          {{u"file"_s, file->filename}});
            again.append(*file);
        }
    }
    // What the store refuses here stays unanalysed, to be read again at the next launch.
    if (!moved.isEmpty())
        writeResults(std::move(moved), nullptr, [this](QList<ProcessedFileResult> written, QList<ProcessedFileResult>) {
            m_host.applyResults(written);
        });
    if (!again.isEmpty())
        start(again, m_host.monitoredPath());
}
