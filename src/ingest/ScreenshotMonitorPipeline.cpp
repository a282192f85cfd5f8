#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "core/Logger.h"
#include "core/MemoryInfo.h"
#include "core/MemoryMonitor.h"
#include "core/PathUtils.h"
#include "ingest/EmbeddingService.h"
#include "ingest/OCRService.h"
#include "ingest/ScreenshotMonitor.h"
#include "ingest/VisualAnalysisService.h"

#include <QHash>
#include <QSet>

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

class ServiceAnalyzer : public ScreenshotMonitor::FileAnalyzer
{
public:
    std::optional<QString> recognizeText(const QString& filePath) override
    {
        return OCRService::recognizeText(filePath);
    }
    QList<QUrl> extractUrls(const QString& text) override { return OCRService::extractUrls(text); }
    QStringList labels(const QString& filePath) override { return VisualAnalysisService::analyze(filePath); }
    std::optional<QList<double>> embedding(const QString& text) override
    {
        return EmbeddingService::shared().generateEmbedding(text);
    }
};
} // namespace

// One processing run: batches in sequence, the files of a batch analysed
// concurrently on the analysis pool. Everything here except the pool tasks
// runs on the GUI thread; waits are timers, never blocking sleeps.
class ScreenshotMonitor::ProcessingRun : public std::enable_shared_from_this<ProcessingRun>
{
public:
    ProcessingRun(ScreenshotMonitor& monitor, QUuid id, QString folder, QList<Screenshot> files)
        : m_monitor(monitor)
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

    // Results of a replaced run, written and applied with this run's next flush.
    void adoptResults(const QList<ProcessedFileResult>& results) { m_pending.append(results); }

    void start();
    // Seen at the next check point; a pause in progress ends at once.
    void requestStop();

private:
    enum class Exit { completed, cancelled, folderChanged };

    bool isCurrent() const { return m_monitor.m_currentProcessingID == m_id; }
    bool isStopping() const { return m_isStopRequested || m_monitor.m_isCancelled; }
    void nextBatch();
    void enterMemoryPause();
    void recheckMemory();
    void leaveMemoryPause();
    void startBatch();
    void fileAnalysed(std::optional<ProcessedFileResult> result);
    void finishBatch(int batchFiles);
    void flush(std::function<void()> then);
    void endBatch(int batchFiles);
    void finish(Exit exit);
    void releasePending(Exit exit);
    // Gives `results` to the run that replaced this one, when that run works
    // on the same folder; false when there is none.
    bool handOver(QList<ProcessedFileResult>& results);
    void sleep(std::chrono::milliseconds duration, std::function<void()> then);
    void wake(quint64 token);

    ScreenshotMonitor& m_monitor;
    const QUuid m_id;
    const QString m_folder;
    const QList<Screenshot> m_files;
    const int m_batchCount;
    int m_batchIndex = 0; // the batch being checked or analysed
    qsizetype m_nextFile = 0;
    int m_outstanding = 0;
    int m_handled = 0;
    QList<ProcessedFileResult> m_pending;
    std::optional<LogTimer> m_batchTimer;
    bool m_isStopRequested = false;
    bool m_isInMemoryPause = false;
    bool m_isFinished = false;
    // A pause ends at the first of its timer and an early wake; the token
    // makes the later one do nothing.
    quint64 m_sleepToken = 0;
    std::function<void()> m_afterSleep;
};

void ScreenshotMonitor::ProcessingRun::start()
{
    m_monitor.setIsProcessing(true);
    m_monitor.setTotalToProcess(int(m_files.size()));
    m_monitor.setProcessedCount(0);
    m_monitor.setProcessingProgress(0);
    m_monitor.setCurrentBatchNumber(0);
    m_monitor.setTotalBatches(m_batchCount);
    m_monitor.setProcessingProgressValue(0.0);
    nextBatch();
}

void ScreenshotMonitor::ProcessingRun::requestStop()
{
    m_isStopRequested = true;
    if (m_afterSleep)
        QTimer::singleShot(0, &m_monitor, [self = shared_from_this(), token = m_sleepToken] { self->wake(token); });
}

void ScreenshotMonitor::ProcessingRun::nextBatch()
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
    if (m_monitor.m_monitoredPath != m_folder) {
        logProcessing(LogLevel::warning, u"Folder changed during processing - stopping"_s,
                      {{u"batchNumber"_s, m_batchIndex + 1}});
        finish(Exit::folderChanged);
        return;
    }
    m_monitor.m_memoryMonitor.checkMemory();
    if (m_monitor.m_memoryMonitor.isUnderPressure())
        enterMemoryPause();
    else
        startBatch();
}

void ScreenshotMonitor::ProcessingRun::enterMemoryPause()
{
    logProcessing(LogLevel::warning, u"Memory pressure detected - pausing"_s,
                  {{u"availableMemoryMB"_s, m_monitor.m_memoryMonitor.availableMemoryMB()}});
    m_isInMemoryPause = true;
    m_monitor.setIsUnderMemoryPressure(true);
    m_monitor.m_memoryMonitor.checkMemory();
    if (m_monitor.m_memoryMonitor.isUnderPressure())
        sleep(memoryRecheckInterval, [this] { recheckMemory(); });
    else
        leaveMemoryPause();
}

void ScreenshotMonitor::ProcessingRun::recheckMemory()
{
    if (isStopping()) {
        finish(Exit::cancelled);
        return;
    }
    m_monitor.m_memoryMonitor.checkMemory();
    if (m_monitor.m_memoryMonitor.isUnderPressure())
        sleep(memoryRecheckInterval, [this] { recheckMemory(); });
    else
        leaveMemoryPause();
}

void ScreenshotMonitor::ProcessingRun::leaveMemoryPause()
{
    m_isInMemoryPause = false;
    m_monitor.setIsUnderMemoryPressure(false);
    logProcessing(LogLevel::info, u"Memory pressure relieved - resuming"_s);
    startBatch();
}

void ScreenshotMonitor::ProcessingRun::startBatch()
{
    const int number = m_batchIndex + 1;
    const QList<Screenshot> batch = m_files.mid(qsizetype(m_batchIndex) * BATCH_SIZE, BATCH_SIZE);
    m_batchTimer.emplace(u"batch_"_s + QString::number(number));
    logProcessing(LogLevel::info, u"Processing batch"_s, {{u"batch"_s, number}, {u"files"_s, int(batch.size())}});
    // A replaced run finishing its last batch must not move the progress of
    // the run that replaced it.
    if (isCurrent())
        m_monitor.setCurrentBatchNumber(number);

    m_nextFile += batch.size();
    m_outstanding = int(batch.size());
    const std::shared_ptr<FileAnalyzer> analyzer = m_monitor.fileAnalyzer();
    for (const Screenshot& file : batch) {
        m_monitor.m_analysisPool.start([self = shared_from_this(), analyzer, file, monitor = &m_monitor] {
            std::optional<ProcessedFileResult> result = processFile(*analyzer, file, self->m_folder);
            QMetaObject::invokeMethod(
                monitor, [self, result = std::move(result)]() mutable { self->fileAnalysed(std::move(result)); },
                Qt::QueuedConnection);
        });
    }
}

void ScreenshotMonitor::ProcessingRun::fileAnalysed(std::optional<ProcessedFileResult> result)
{
    if (result)
        m_pending.append(std::move(*result));
    if (--m_outstanding > 0)
        return;
    finishBatch(int(qMin<qsizetype>(BATCH_SIZE, m_files.size() - qsizetype(m_batchIndex) * BATCH_SIZE)));
}

void ScreenshotMonitor::ProcessingRun::finishBatch(int batchFiles)
{
    // Files outside the folder and files without a result count as handled too.
    m_handled += batchFiles;
    if (isCurrent()) {
        m_monitor.setProcessedCount(m_handled);
        m_monitor.setProcessingProgress(m_handled);
        m_monitor.setProcessingProgressValue(double(m_handled) / double(m_monitor.m_totalToProcess));
    }
    const bool isLastBatch = m_batchIndex == m_batchCount - 1;
    // A stopping run leaves its results to its exit, which hands them to the
    // run that replaced it or writes them.
    if (!isStopping() && (m_pending.size() > 99 || isLastBatch))
        flush([this, batchFiles] { endBatch(batchFiles); });
    else
        endBatch(batchFiles);
}

void ScreenshotMonitor::ProcessingRun::flush(std::function<void()> then)
{
    // Taken before the write: results adopted meanwhile wait for the next
    // flush, so nothing is applied before it is in the store.
    QList<ProcessedFileResult> taken = std::exchange(m_pending, {});
    m_monitor.writeResults(taken, [self = shared_from_this(), taken, then = std::move(then)]() mutable {
        // Replaced while writing: the run that replaced it shows the results
        // (writing them once more changes nothing).
        if (self->isCurrent() || !self->handOver(taken))
            self->m_monitor.flushProcessedResults(taken, self->m_handled, self->m_id);
        then();
    });
}

void ScreenshotMonitor::ProcessingRun::endBatch(int batchFiles)
{
    const double seconds = m_batchTimer->end({{u"filesProcessed"_s, batchFiles},
                                              {u"totalProcessed"_s, m_handled},
                                              {u"memoryMB"_s, MemoryInfo::current().usedMB}});
    m_batchTimer.reset();
    ++m_batchIndex;
    const std::chrono::milliseconds pause = pauseAfterBatch(seconds);
    if (isStopping())
        nextBatch(); // the pause would end early anyway
    else
        sleep(pause, [this] { nextBatch(); });
}

void ScreenshotMonitor::ProcessingRun::finish(Exit exit)
{
    m_isFinished = true;
    m_afterSleep = nullptr;
    if (m_isInMemoryPause) {
        m_isInMemoryPause = false;
        // Left true, the flag would show a pause that no longer exists.
        const auto& successor = m_monitor.m_processingRun;
        if (!successor || !successor->isInMemoryPause())
            m_monitor.setIsUnderMemoryPressure(false);
    }
    releasePending(exit);

    const bool current = isCurrent();
    switch (exit) {
    case Exit::completed:
        if (current) {
            m_monitor.setIsProcessing(false);
            m_monitor.setIsProcessingBlocking(false);
            m_monitor.setHasIncompleteFiles(false);
            m_monitor.setProcessingProgress(m_handled);
            m_monitor.setProcessedCount(m_handled);
            m_monitor.setProcessingProgressValue(1.0);
            m_monitor.setCurrentBatchNumber(0);
            m_monitor.setTotalBatches(0);
        }
        break;
    case Exit::cancelled:
        if (current)
            m_monitor.setIsProcessing(false);
        break;
    case Exit::folderChanged: {
        // Not while a newer run (for the new folder) is at work.
        const auto& successor = m_monitor.m_processingRun;
        if (current || !successor || successor->isFinished())
            m_monitor.setIsProcessing(false);
        break;
    }
    }
    QMetaObject::invokeMethod(
        &m_monitor, [monitor = &m_monitor, id = m_id] { monitor->resetProcessingState(id); }, Qt::QueuedConnection);
}

void ScreenshotMonitor::ProcessingRun::releasePending(Exit exit)
{
    if (m_pending.isEmpty())
        return;
    if (!isCurrent() && handOver(m_pending))
        return;
    // A completed run may still hold results adopted after its last flush.
    if (exit == Exit::completed && isCurrent())
        flush([] {});
    else
        m_monitor.writeResults(std::exchange(m_pending, {}), nullptr);
}

bool ScreenshotMonitor::ProcessingRun::handOver(QList<ProcessedFileResult>& results)
{
    const auto& successor = m_monitor.m_processingRun;
    if (m_monitor.m_isCancelled || !successor || successor.get() == this || successor->isFinished() ||
        successor->folder() != m_folder)
        return false;
    successor->adoptResults(std::exchange(results, {}));
    return true;
}

void ScreenshotMonitor::ProcessingRun::sleep(std::chrono::milliseconds duration, std::function<void()> then)
{
    m_afterSleep = std::move(then);
    QTimer::singleShot(duration, &m_monitor, [self = shared_from_this(), token = m_sleepToken] { self->wake(token); });
}

void ScreenshotMonitor::ProcessingRun::wake(quint64 token)
{
    if (token != m_sleepToken || !m_afterSleep)
        return;
    ++m_sleepToken;
    std::exchange(m_afterSleep, nullptr)();
}

void ScreenshotMonitor::startBatchProcessing(const QList<Screenshot>& files, const QString& folderPath)
{
    if (files.isEmpty())
        return;
    const QString folder = folderPath.isEmpty() ? m_monitoredPath : folderPath;
    if (folder != m_monitoredPath) {
        logProcessing(LogLevel::warning, u"Processing aborted - folder changed"_s,
                      {{u"expected"_s, folder}, {u"actual"_s, m_monitoredPath}});
        return;
    }

    QList<Screenshot> runFiles = files;
    if (const std::shared_ptr<ProcessingRun> previous = m_processingRun; previous && !previous->isFinished()) {
        previous->requestStop();
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

    m_analysisPool.setMaxThreadCount(BATCH_SIZE);
    m_storeWritePool.setMaxThreadCount(1);
    m_currentProcessingID = QUuid::createUuid();
    const int fileCount = int(runFiles.size());
    auto run = std::make_shared<ProcessingRun>(*this, m_currentProcessingID, folder, std::move(runFiles));
    logProcessing(LogLevel::info, u"Starting batch processing pipeline"_s,
                  {{u"totalFiles"_s, fileCount}, {u"batches"_s, run->batchCount()}, {u"batchSize"_s, BATCH_SIZE}});
    m_processingRun = run;
    run->start();
}

void ScreenshotMonitor::stopProcessingRun()
{
    if (m_processingRun)
        m_processingRun->requestStop();
    m_processingRun.reset();
}

std::optional<ProcessedFileResult> ScreenshotMonitor::processFile(FileAnalyzer& analyzer, const Screenshot& file,
                                                                  const QString& folderPath)
{
    if (!isInside(file.filePath, folderPath))
        return std::nullopt;
    const QString text = analyzer.recognizeText(file.filePath).value_or(QString());
    QList<QUrl> urls = analyzer.extractUrls(text);
    QStringList tags = analyzer.labels(file.filePath);
    // Built even when both parts are empty, so it always holds a space.
    const QString joined = text + u' ' + tags.join(u' ');
    std::optional<QList<double>> embedding =
        isBlankLine(joined) ? std::optional<QList<double>>(QList<double>()) : analyzer.embedding(joined);
    return ProcessedFileResult{file.id, text, std::move(tags), std::move(embedding), std::move(urls)};
}

std::chrono::milliseconds ScreenshotMonitor::pauseAfterBatch(double seconds)
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

void ScreenshotMonitor::flushProcessedResults(QList<ProcessedFileResult>& pending, int handled, const QUuid& runId)
{
    if (pending.isEmpty())
        return;
    const QList<ProcessedFileResult> taken = std::exchange(pending, {});
    if (runId != m_currentProcessingID)
        return;

    QHash<QUuid, const ProcessedFileResult*> byId;
    for (const ProcessedFileResult& result : taken)
        byId.insert(result.id, &result);
    QList<Screenshot> updated = m_screenshots;
    bool changed = false;
    for (Screenshot& screenshot : updated) {
        const ProcessedFileResult* result = byId.value(screenshot.id);
        if (!result)
            continue;
        screenshot.ocrText = result->ocrText;
        screenshot.tags = result->tags;
        screenshot.embedding = result->embedding;
        screenshot.detectedUrls = result->urls;
        changed = true;
    }
    if (changed)
        setScreenshots(std::move(updated));
    setProcessedCount(handled);
    setProcessingProgress(handled);
    setProcessingProgressValue(double(handled) / double(m_totalToProcess));
}

void ScreenshotMonitor::resetProcessingState(const QUuid& runId)
{
    if (runId != m_currentProcessingID)
        return;
    setIsProcessing(false);
    setIsProcessingBlocking(false);
}

void ScreenshotMonitor::setFileAnalyzer(std::shared_ptr<FileAnalyzer> analyzer)
{
    m_fileAnalyzer = std::move(analyzer);
}

std::shared_ptr<ScreenshotMonitor::FileAnalyzer> ScreenshotMonitor::fileAnalyzer()
{
    if (!m_fileAnalyzer)
        m_fileAnalyzer = std::make_shared<ServiceAnalyzer>();
    return m_fileAnalyzer;
}

void ScreenshotMonitor::writeResults(QList<ProcessedFileResult> results, std::function<void()> then)
{
    // The shared store is resolved on the worker: its first use opens the
    // file, which the GUI thread must not wait for.
    m_storeWritePool.start([this, database = m_database, results = std::move(results), then = std::move(then)] {
        (database ? *database : DatabaseManager::shared()).updateMetadataBatch(results);
        if (then)
            QMetaObject::invokeMethod(this, then, Qt::QueuedConnection);
    });
}
