#pragma once

#include "core/ProcessedFileResult.h"
#include "core/Screenshot.h"
#include "core/SerialQueue.h"
#include "ingest/FolderTreeWatcher.h"
#include "platform/FrontmostApplication.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>
#include <QUuid>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class DatabaseManager;
class FolderChooser;
class MemoryMonitor;
class Settings;

// Owns the monitored folder and the live library of its screenshots: access
// to the folder (kept across launches as a bookmark in the settings), the
// start, stop and restart of monitoring, and the state every screen observes.
// Lives on the GUI thread; every published property is written there.
class ScreenshotMonitor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<Screenshot> screenshots READ screenshots NOTIFY screenshotsChanged)
    Q_PROPERTY(QString monitoredPath READ monitoredPath WRITE setMonitoredPath NOTIFY monitoredPathChanged)
    Q_PROPERTY(bool hasFileAccess READ hasFileAccess NOTIFY hasFileAccessChanged)
    Q_PROPERTY(bool isProcessingBlocking READ isProcessingBlocking NOTIFY isProcessingBlockingChanged)
    Q_PROPERTY(double processingProgressValue READ processingProgressValue NOTIFY processingProgressValueChanged)
    Q_PROPERTY(int processedCount READ processedCount NOTIFY processedCountChanged)
    Q_PROPERTY(int processingProgress READ processingProgress NOTIFY processingProgressChanged)
    Q_PROPERTY(int totalToProcess READ totalToProcess NOTIFY totalToProcessChanged)
    Q_PROPERTY(int currentBatchNumber READ currentBatchNumber NOTIFY currentBatchNumberChanged)
    Q_PROPERTY(int totalBatches READ totalBatches NOTIFY totalBatchesChanged)
    Q_PROPERTY(bool isUnderMemoryPressure READ isUnderMemoryPressure NOTIFY isUnderMemoryPressureChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing WRITE setIsProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(
        bool hasIncompleteFiles READ hasIncompleteFiles WRITE setHasIncompleteFiles NOTIFY hasIncompleteFilesChanged)

public:
    static constexpr int BATCH_SIZE = 4;
    static constexpr quint64 BATCH_DELAY_MS = 10'000'000; // nanoseconds, whatever the name says
    static constexpr int MAX_INITIAL_PROCESSING = 10000;
    static constexpr int pollingIntervalMs = 2000;

    static inline const QString monitoredPathKey = QStringLiteral("monitoredPath");
    static inline const QString folderBookmarkKey = QStringLiteral("folderBookmark");

    static const QStringList& supportedExtensions();

    // Reads the stored folder and restores its access; when that works,
    // monitoring starts on the next turn of the event loop.
    ScreenshotMonitor(Settings& settings, MemoryMonitor& memoryMonitor, QObject* parent = nullptr);
    ~ScreenshotMonitor() override;

    // Built on first use from the shared settings and memory monitor.
    static ScreenshotMonitor& shared();

    // The dialog that asks for a folder; the application installs the real one.
    void setFolderChooser(std::unique_ptr<FolderChooser> chooser);

    const QList<Screenshot>& screenshots() const { return m_screenshots; }
    const QString& monitoredPath() const { return m_monitoredPath; }
    // Saves the path and restarts monitoring, even when it is unchanged.
    void setMonitoredPath(const QString& path);
    bool hasFileAccess() const { return m_hasFileAccess; }
    bool isProcessingBlocking() const { return m_isProcessingBlocking; }
    double processingProgressValue() const { return m_processingProgressValue; }
    int processedCount() const { return m_processedCount; }
    int processingProgress() const { return m_processingProgress; }
    int totalToProcess() const { return m_totalToProcess; }
    int currentBatchNumber() const { return m_currentBatchNumber; }
    int totalBatches() const { return m_totalBatches; }
    bool isUnderMemoryPressure() const { return m_isUnderMemoryPressure; }
    bool isProcessing() const { return m_isProcessing; }
    // Each assignment also announces the value through AppEvents.
    void setIsProcessing(bool value);
    bool hasIncompleteFiles() const { return m_hasIncompleteFiles; }
    void setHasIncompleteFiles(bool value);

    const QSet<QString>& knownFiles() const { return m_knownFiles; }
    bool isMonitoringActive() const { return m_isMonitoringActive; }
    bool isCancelled() const { return m_isCancelled; }
    const QString& monitoredURL() const { return m_monitoredURL; }
    bool isRequestingAccess() const { return m_isRequestingAccess; }
    const QUuid& currentProcessingID() const { return m_currentProcessingID; }
    const QDateTime& lastScanDate() const { return m_lastScanDate; }
    bool isPolling() const { return m_timer.isActive(); }
    SerialQueue& monitorQueue() { return m_monitorQueue; }

    // Starts on the next turn of the event loop unless monitoring is active.
    void startMonitoring();
    // With `force`, reloads the library even while monitoring is active.
    void startMonitoringAsync(bool force);
    void stopMonitoring();
    void restartMonitoring();
    void cancelProcessing();
    // Replaces the record with the same id; an unknown id changes nothing.
    void updateScreenshot(const Screenshot& screenshot);
    void startPollingTimer();

    // Folder access, kept across launches as a bookmark.
    bool restoreFolderAccess();
    void requestFolderAccess();
    void changeMonitoredFolder(const QString& path);
    // Gives the folder up entirely (the processing screen's Cancel): stops
    // everything, releases access and empties the library, so that the next
    // request asks the user again. Work still in flight is dropped.
    void forgetFolder();

    // Filled in by the library load, the polling scan and the pipeline.
    void loadScreenshotLibrary();
    void checkForChanges();
    // A change check that walks the folder even when no change was noticed
    // (the tray's "Force Scan"); while a walk is in flight, the next tick walks.
    void forceChangeCheck();
    // For a tool that moves, replaces or trashes files: waits for a walk or
    // load in flight to finish and drops its changes, and starts no walk until
    // as many resumePolling() calls have come. A walk would otherwise see a
    // moved file before its row follows and list it a second time. The first
    // change check after the last resume walks the whole folder.
    void pausePolling();
    void resumePolling();
    bool isPollingPaused() const { return m_pollingPauses > 0; }
    void startBatchProcessing(const QList<Screenshot>& files, const QString& folderPath = {});

    // The progress state, written by the library load and the pipeline.
    void setScreenshots(QList<Screenshot> screenshots);
    void setHasFileAccess(bool value);
    void setIsProcessingBlocking(bool value);
    void setProcessingProgressValue(double value);
    void setProcessedCount(int value);
    void setProcessingProgress(int value);
    void setTotalToProcess(int value);
    void setCurrentBatchNumber(int value);
    void setTotalBatches(int value);
    void setIsUnderMemoryPressure(bool value);

signals:
    void screenshotsChanged();
    void monitoredPathChanged(const QString& path);
    void hasFileAccessChanged(bool value);
    void isProcessingBlockingChanged(bool value);
    void processingProgressValueChanged(double value);
    void processedCountChanged(int value);
    void processingProgressChanged(int value);
    void totalToProcessChanged(int value);
    void currentBatchNumberChanged(int value);
    void totalBatchesChanged(int value);
    void isUnderMemoryPressureChanged(bool value);
    void isProcessingChanged(bool value);
    void hasIncompleteFilesChanged(bool value);
    // Each file the polling scan finds.
    void newScreenshot(const Screenshot& screenshot);
    // A valid folder is about to replace the monitored one: whatever was
    // computed for the old folder is stale from here on.
    void folderChangeStarting();

private:
    void assignMonitoredPath(const QString& path);
    void resetProgressState();
    void printPermissionDiagnostics(const QString& folder, const QString& area);
    // Whether work begun for `folder` in `generation` may still publish.
    bool isCurrent(const QString& folder, quint64 generation) const;

    Settings& m_settings;
    MemoryMonitor& m_memoryMonitor;
    std::unique_ptr<FolderChooser> m_folderChooser;

    QList<Screenshot> m_screenshots;
    QString m_monitoredPath;
    QTimer m_timer;
    SerialQueue m_monitorQueue;
    QDateTime m_lastScanDate;
    QSet<QString> m_knownFiles;
    bool m_hasFileAccess = false;
    bool m_isMonitoringActive = false;
    std::atomic<bool> m_isCancelled{false};
    bool m_isProcessingBlocking = false;
    double m_processingProgressValue = 0;
    int m_processedCount = 0;
    int m_processingProgress = 0;
    int m_totalToProcess = 0;
    int m_currentBatchNumber = 0;
    int m_totalBatches = 0;
    bool m_isUnderMemoryPressure = false;
    bool m_isProcessing = false;
    bool m_hasIncompleteFiles = false;
    QString m_monitoredURL;
    bool m_isRequestingAccess = false;
    QUuid m_currentProcessingID = QUuid::createUuid();
    // Raised by every restart and by forgetFolder(): queued work of an older
    // generation publishes nothing, even for the same folder. Atomic because
    // work on the file queue reads it to stop early.
    std::atomic<quint64> m_generation{0};

    // Batch analysis pipeline
public:
    // The four analyses of one file. Called on the analysis pool's threads,
    // up to four files at once.
    class FileAnalyzer
    {
    public:
        virtual ~FileAnalyzer() = default;
        virtual std::optional<QString> recognizeText(const QString& filePath) = 0;
        virtual QList<QUrl> extractUrls(const QString& text) = 0;
        virtual QStringList labels(const QString& filePath) = 0;
        virtual std::optional<QList<double>> embedding(const QString& text) = 0;
    };

    // Analyses for the batches started from now on; none restores the real services.
    void setFileAnalyzer(std::shared_ptr<FileAnalyzer> analyzer);

    // Nothing for a file outside `folderPath`. Blank text with no labels gets
    // an empty (present) embedding without asking the analyzer.
    static std::optional<ProcessedFileResult> processFile(FileAnalyzer& analyzer, const Screenshot& file,
                                                          const QString& folderPath);
    // The pause after a batch that took `seconds`: 10 ms, 100 ms above 1 s,
    // 500 ms above 2 s (logged as throttling).
    static std::chrono::milliseconds pauseAfterBatch(double seconds);
    // Empties `pending`; when `runId` is still the current run, copies the
    // results into `screenshots` by id and publishes the progress of `handled`.
    void flushProcessedResults(QList<ProcessedFileResult>& pending, int handled, const QUuid& runId);
    // Clears the processing flags when `runId` is still the current run.
    void resetProcessingState(const QUuid& runId);

private:
    class ProcessingRun;

    // Asks the current run to stop at its next check point and forgets it.
    void stopProcessingRun();
    void writeResults(QList<ProcessedFileResult> results, std::function<void()> then);
    std::shared_ptr<FileAnalyzer> fileAnalyzer();

    std::shared_ptr<FileAnalyzer> m_fileAnalyzer;
    std::shared_ptr<ProcessingRun> m_processingRun;

    // Library load and polling scan
public:
    // Files needing analysis above which the first-run processing screen shows.
    static constexpr int blockingProcessingThreshold = 10;
    // With change notices working, an unchanged tree is walked only on every
    // Nth check, as a safety net for notices the system may have dropped.
    static constexpr int safetyWalkEveryTicks = 30;

    // The store the load, the scan and the pipeline read and write: the shared
    // one unless another is given before monitoring starts.
    void setDatabase(DatabaseManager& database);
    // Where the frontmost application's name comes from (the window system
    // by default).
    void setFrontmostApplicationSource(std::function<std::optional<QString>()> source);
    // The time between change checks; pollingIntervalMs unless changed.
    void setPollingInterval(int milliseconds);

private:
    struct LoadOutcome;

    DatabaseManager& database();
    std::optional<QString> frontmostApplicationName();
    bool shouldWalkNow();
    // Whether queued work of `generation` can no longer show anything.
    bool isWorkAbandoned(quint64 generation) const;

    // On the file queue.
    void runLibraryLoad(const QString& folder, quint64 generation);
    QList<Screenshot> loadStoredRows(const QString& folder, quint64 generation);
    void publishLoadedRows(const QString& folder, quint64 generation, const QList<Screenshot>& rows,
                           const QSet<QString>& paths, int total);
    QList<Screenshot> importNewFiles(const QString& folder, quint64 generation, const QStringList& files,
                                     int loadedRows, QSet<QString>& known);
    void scanFolderForChanges(const QString& folder, const QStringList& extensions, const QSet<QString>& known,
                              const std::optional<QString>& sourceApp, quint64 generation, quint64 loadsBefore,
                              quint64 epoch);
    Screenshot recordForNewPath(const QString& path, const std::optional<QString>& sourceApp);

    // On the GUI thread.
    void finishLibraryLoad(const LoadOutcome& outcome);
    void applyScanChanges(const QString& folder, quint64 generation, quint64 loadsBefore, const QSet<QString>& deleted,
                          const QList<Screenshot>& added);
    void updateLastScanDate();
    void listNewestFirst(QList<Screenshot> added);

    DatabaseManager* m_database = nullptr;
    FrontmostApplication m_frontmostApplication;
    std::function<std::optional<QString>()> m_frontmostApplicationSource;
    FolderTreeWatcher m_treeWatcher;
    int m_quietTicks = 0;
    int m_pollingPauses = 0;
    // Raised by every pause: a walk begun before it publishes nothing.
    quint64 m_walkEpoch = 0;
    bool m_isWalkRequested = false;
    // Loads and walks submitted and not yet handed back: at most one walk is
    // in flight, so no two walks work from the same snapshot of known paths.
    int m_walksInFlight = 0;
    // Loads started so far: a walk's changes that arrive after a later load
    // began are left to that load, which lists the folder afresh.
    quint64 m_loadsSubmitted = 0;
    std::atomic<bool> m_isShuttingDown{false};

    // Declared last, so destroyed first: their destructors wait for running
    // analyses and store writes (which post back to this object), and stop
    // queued loads and walks and wait for the running one, before the members
    // they use go away.
    QThreadPool m_storeWritePool; // one thread: writes reach the store in order
    QThreadPool m_analysisPool;
    struct QueueWorkStopper
    {
        SerialQueue& queue;
        std::atomic<bool>& isShuttingDown;
        ~QueueWorkStopper();
    };
    QueueWorkStopper m_queueWorkStopper{m_monitorQueue, m_isShuttingDown};
};
