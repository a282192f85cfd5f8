#pragma once

#include "core/ProcessedFileResult.h"
#include "core/Screenshot.h"
#include "ingest/FileAnalyzer.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

class DatabaseManager;
class MemoryMonitor;
class Scheduler;
class Workers;

// The batched analysis of new files: one run at a time, batches in sequence,
// the files of a batch analysed concurrently on the analysis pool, results
// written to the store in transactions and then shown. GUI thread, except
// the analyses themselves and the store writes.
class AnalysisPipeline
{
public:
    static constexpr int BATCH_SIZE = 4;
    static constexpr quint64 BATCH_DELAY_MS = 10'000'000; // nanoseconds, whatever the name says
    // Results written together once this many are waiting.
    static constexpr int flushThreshold = 100;
    // What one file's analysis may take. Processor time, added up over the
    // threads at work on the file, is what ends a costly file, whatever else
    // runs on the machine: the text read by then is kept, and a file of
    // which nothing was read is given up (AnalysisFailure), read again only
    // once it changes. Real time only bounds a file that a crowded machine
    // leaves without a core, which is no fault of the file: it is kept
    // unfinished with what was read (Screenshot::unfinishedReads) and read
    // again at the next start. A file whose analysis has not come back
    // `grace` after either ran out (an engine that ignores its budget, or
    // gets no core) is left so too, and the run goes on. Real time here is
    // the clock's, whatever the scheduler of the pauses.
    struct Budget
    {
        std::chrono::milliseconds processor;
        std::chrono::milliseconds realTime;
        std::chrono::milliseconds grace;
    };
    static constexpr Budget fileBudget{std::chrono::milliseconds(6000), std::chrono::milliseconds(30000),
                                       std::chrono::milliseconds(4000)};
    // How long quitting waits for analyses to stop.
    static constexpr std::chrono::milliseconds quitWait{1000};
    // While the store refuses writes (read-only, full disk), a run keeps its
    // unsaved results and tries them again this often, analysing nothing
    // more meanwhile.
    static constexpr std::chrono::milliseconds storeRetryInterval{3000};
    // A file that could not be read while it was changing is tried again
    // this long after its run ended.
    static constexpr std::chrono::milliseconds settleDelay{2000};

    // The processing state every screen observes.
    struct Progress
    {
        bool isProcessing = false;
        bool isProcessingBlocking = false;
        bool hasIncompleteFiles = false;
        int totalToProcess = 0;
        int processedCount = 0;
        int processingProgress = 0;
        int currentBatchNumber = 0;
        int totalBatches = 0;
        double value = 0; // 0 to 1
        bool isUnderMemoryPressure = false;
    };
    // The fields of one assignment; those left out keep their value.
    struct ProgressUpdate
    {
        std::optional<bool> isProcessing;
        std::optional<bool> isProcessingBlocking;
        std::optional<bool> hasIncompleteFiles;
        std::optional<int> totalToProcess;
        std::optional<int> processedCount;
        std::optional<int> processingProgress;
        std::optional<int> currentBatchNumber;
        std::optional<int> totalBatches;
        std::optional<double> value;
        std::optional<bool> isUnderMemoryPressure;
    };

    // What the pipeline reads and changes of the monitor that owns it.
    class Host
    {
    public:
        virtual const QString& monitoredPath() const = 0;
        virtual bool isCancelled() const = 0;
        virtual const Progress& progress() const = 0;
        virtual void publishProgress(const ProgressUpdate& update) = 0;
        // Copies each result into the live list's record of the same id.
        virtual void applyResults(const QList<ProcessedFileResult>& results) = 0;
        // The live list's record with `id`, if any.
        virtual std::optional<Screenshot> screenshotWithId(const QUuid& id) const = 0;
        // The GUI-thread object that work posts back to.
        virtual QObject* context() = 0;

    protected:
        ~Host() = default;
    };

    AnalysisPipeline(Host& host, DatabaseManager& store, MemoryMonitor& memoryMonitor, Workers& workers,
                     std::shared_ptr<FileAnalyzer> analyzer, Scheduler& scheduler);
    // Waits for analyses and writes in flight; nothing posts back afterwards.
    ~AnalysisPipeline();

    // Starts a run over `files` for `folder`. A run still going stops at its
    // next check point; when it works on the same folder, this run takes over
    // the files it had not started and writes the results it had not written.
    void start(const QList<Screenshot>& files, const QString& folder);
    // Cancels the current run and any run it replaced that is still
    // finishing a batch: the analyses under way stop at once, and nothing of
    // them is written from here on (their files stay unanalysed, even those
    // analysed already but not yet written).
    void stop();
    // Stops for good: no run starts any more, analyses in flight stop (their
    // files stay unanalysed), and every result already analysed is in the
    // store when this returns. Waits quitWait at most for the analyses to
    // stop; false when some did not (their threads still use the analyzer).
    bool shutDown();

    const QUuid& currentRunId() const { return m_currentRunId; }
    // fileBudget unless changed (for tests).
    void setTimeBudget(const Budget& budget);

    // Nothing for a file outside `folderPath`, or whose analysis `stop` cut
    // short. Blank text with no labels gets an empty (present) embedding
    // without asking the analyzer. The text read until `budget` was spent
    // counts; a file that spent it is logged with its times, and kept as
    // ProcessedFileResult::endAtBudget says. The calling
    // thread charges the budget's account meanwhile. A file that could not
    // be opened or decoded is a failure (unreadable) as long as it is still
    // as it was when reading began; nothing when it is gone, and nothing
    // with `changing` raised when it changed while it was tried (still being
    // written), so that it can be tried again once it settles.
    static std::optional<ProcessedFileResult> processFile(FileAnalyzer& analyzer, const Screenshot& file,
                                                          const QString& folderPath, std::stop_token stop = {},
                                                          const TimeBudget& budget = {}, bool* changing = nullptr);
    // The pause after a batch that took `seconds`: 10 ms, 100 ms above 1 s,
    // 500 ms above 2 s (logged as throttling).
    static std::chrono::milliseconds pauseAfterBatch(double seconds);

    // Empties `pending`; when `runId` is still the current run, shows the
    // results and publishes the progress of `handled`.
    void flushProcessedResults(QList<ProcessedFileResult>& pending, int handled, const QUuid& runId);
    // Clears the processing flags when `runId` is still the current run.
    void resetProcessingState(const QUuid& runId);

private:
    class ProcessingRun;

    // What processFile gives for a file that could not be read.
    static std::optional<ProcessedFileResult> unreadableFile(const Screenshot& file, std::optional<FileStamp> source,
                                                             bool* changing);

    using Written = std::function<void(QList<ProcessedFileResult> written, QList<ProcessedFileResult> unsaved)>;
    // Writes the results whose files are as they were read, unless
    // `discarded` was raised meanwhile; then gives the written ones, and
    // those the store refused, to `then` on the GUI thread. Results whose
    // files changed are checked again there.
    void writeResults(QList<ProcessedFileResult> results, std::shared_ptr<const std::atomic<bool>> discarded,
                      Written then);
    // Results whose files changed since they were read: a file a tool moved
    // keeps its result; one that changed is analysed again.
    void recheckChanged(QList<ProcessedFileResult> results);
    // No run is left: the analyzer may give back its models' memory.
    void releaseModels();
    // The replaced runs still at work.
    std::vector<std::shared_ptr<ProcessingRun>> replacedRuns();

    Host& m_host;
    DatabaseManager& m_store;
    MemoryMonitor& m_memoryMonitor;
    Workers& m_workers;
    std::shared_ptr<FileAnalyzer> m_analyzer;
    Scheduler& m_scheduler;
    QUuid m_currentRunId = QUuid::createUuid();
    std::shared_ptr<ProcessingRun> m_run;
    // Runs replaced while a batch of theirs was under way: they finish that
    // batch and hand their results on, unless a cancel or quit stops them.
    std::vector<std::weak_ptr<ProcessingRun>> m_replaced;
    bool m_isShuttingDown = false;
    Budget m_budget = fileBudget;
};
