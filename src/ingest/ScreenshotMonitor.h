#pragma once

#include "core/DatabaseManager.h"
#include "core/LibrarySource.h"
#include "core/Screenshot.h"
#include "ingest/AnalysisPipeline.h"
#include "ingest/ChangeScanner.h"
#include "ingest/FileAnalyzer.h"
#include "ingest/FolderAccessController.h"
#include "ingest/LibraryLoader.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class AppEvents;
class FolderChooser;
class MemoryMonitor;
class Scheduler;
class Settings;
class Workers;

// Owns the monitored folder and the live library of its screenshots, and the
// state every screen observes. Its work is done by four parts it owns, each
// reaching it through a narrow host interface: the folder's access, the
// library load, the change scanner (polling walks and change notices) and the
// analysis pipeline. Lives on the GUI thread; every published property is
// written there, in one place per kind of state.
class ScreenshotMonitor : public LibrarySource,
                          private FolderAccessController::Host,
                          private LibraryLoader::Host,
                          private ChangeScanner::Host,
                          private AnalysisPipeline::Host
{
    Q_OBJECT
    Q_PROPERTY(bool isProcessingBlocking READ isProcessingBlocking NOTIFY isProcessingBlockingChanged)
    Q_PROPERTY(double processingProgressValue READ processingProgressValue NOTIFY processingProgressValueChanged)
    Q_PROPERTY(int processedCount READ processedCount NOTIFY processedCountChanged)
    Q_PROPERTY(int processingProgress READ processingProgress NOTIFY processingProgressChanged)
    Q_PROPERTY(int totalToProcess READ totalToProcess NOTIFY totalToProcessChanged)
    Q_PROPERTY(int currentBatchNumber READ currentBatchNumber NOTIFY currentBatchNumberChanged)
    Q_PROPERTY(int totalBatches READ totalBatches NOTIFY totalBatchesChanged)
    Q_PROPERTY(bool isUnderMemoryPressure READ isUnderMemoryPressure NOTIFY isUnderMemoryPressureChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(bool hasIncompleteFiles READ hasIncompleteFiles NOTIFY hasIncompleteFilesChanged)

public:
    using FileAnalyzer = ::FileAnalyzer;
    using Progress = AnalysisPipeline::Progress;
    using ProgressUpdate = AnalysisPipeline::ProgressUpdate;

    static constexpr int BATCH_SIZE = AnalysisPipeline::BATCH_SIZE;
    static constexpr int MAX_INITIAL_PROCESSING = 10000;
    static constexpr int pollingIntervalMs = ChangeScanner::pollingIntervalMs;
    static constexpr int blockingProcessingThreshold = LibraryLoader::blockingProcessingThreshold;

    static inline const QString monitoredPathKey = QStringLiteral("monitoredPath");
    static inline const QString folderBookmarkKey = FolderAccessController::folderBookmarkKey;

    static const QStringList& supportedExtensions();

    // What the monitor works with, all owned by the caller and outliving it.
    struct Services
    {
        Settings& settings;
        MemoryMonitor& memoryMonitor;
        DatabaseManager& store;
        AppEvents& events;
        Workers& workers;
        // The four analyses of one file.
        std::shared_ptr<FileAnalyzer> analyzer;
        // When the pipeline's pauses end; the event loop's timers unless given.
        Scheduler* scheduler = nullptr;
    };

    // Reads the stored folder and restores its access; when that works,
    // monitoring starts on the next turn of the event loop.
    explicit ScreenshotMonitor(const Services& services, QObject* parent = nullptr);
    ~ScreenshotMonitor() override;

    // The dialog that asks for a folder; the application installs the real one.
    void setFolderChooser(std::unique_ptr<FolderChooser> chooser);
    // Where the frontmost application's name comes from (the window system
    // by default).
    void setFrontmostApplicationSource(std::function<std::optional<QString>()> source);
    // The time between change checks; pollingIntervalMs unless changed.
    void setPollingInterval(int milliseconds);

    const QList<Screenshot>& screenshots() const override { return m_screenshots; }
    const QString& monitoredPath() const override { return m_monitoredPath; }
    // Saves the path and restarts monitoring, even when it is unchanged.
    void setMonitoredPath(const QString& path) override;
    bool hasFileAccess() const override { return m_hasFileAccess; }

    const Progress& progress() const override { return m_progress; }
    bool isProcessingBlocking() const { return m_progress.isProcessingBlocking; }
    double processingProgressValue() const { return m_progress.value; }
    int processedCount() const { return m_progress.processedCount; }
    int processingProgress() const { return m_progress.processingProgress; }
    int totalToProcess() const { return m_progress.totalToProcess; }
    int currentBatchNumber() const { return m_progress.currentBatchNumber; }
    int totalBatches() const { return m_progress.totalBatches; }
    bool isUnderMemoryPressure() const { return m_progress.isUnderMemoryPressure; }
    bool isProcessing() const { return m_progress.isProcessing; }
    bool hasIncompleteFiles() const { return m_progress.hasIncompleteFiles; }

    const QSet<QString>& knownFiles() const override { return m_knownFiles; }
    bool isMonitoringActive() const override { return m_isMonitoringActive; }
    bool isCancelled() const override { return m_isCancelled; }
    // The folder whose access is held, or empty.
    QString monitoredURL() const { return m_folderAccess.grantedPath(); }
    QString grantedFolder() const override { return monitoredURL(); }
    bool isRequestingAccess() const { return m_folderAccess.isRequesting(); }
    const QUuid& currentProcessingID() const { return m_pipeline.currentRunId(); }
    const QDateTime& lastScanDate() const { return m_scanner.lastScanDate(); }
    bool isPolling() const { return m_scanner.isPolling(); }

    // Starts on the next turn of the event loop unless monitoring is active.
    void startMonitoring();
    // With `force`, reloads the library even while monitoring is active.
    // Refuses, and leaves monitoring stopped, while the user has granted no
    // access to the monitored folder (see FolderAccessController::isGranted).
    void startMonitoringAsync(bool force);
    void stopMonitoring();
    void restartMonitoring();
    void cancelProcessing();
    // Replaces the record with the same id; an unknown id changes nothing.
    void updateScreenshot(const Screenshot& screenshot);
    void startPollingTimer();

    // Folder access, kept across launches as a bookmark.
    bool restoreFolderAccess();
    void requestFolderAccess() override;
    void changeMonitoredFolder(const QString& path);
    // Gives the folder up entirely (the processing screen's Cancel): stops
    // everything, releases access and empties the library, so that the next
    // request asks the user again. Work still in flight is dropped.
    void forgetFolder();

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
    bool isPollingPaused() const { return m_scanner.isPaused(); }

    // What a tool did to files of the folder, their store rows already
    // following: files moved or renamed (the organizer and its undo), or
    // replaced by a file of another name (the space saver), and files
    // removed with their rows (the duplicate finder).
    struct FileChanges
    {
        struct Move
        {
            QString from;
            QString to;
        };
        QList<Move> moved;
        QStringList removed;
    };
    // Takes a tool's changes into the live list and the known paths, so that
    // the next walk finds neither a deletion nor a new file: the records keep
    // their ids, analyses, tags, notes and sources, and nothing is analysed
    // again. May be called from any thread while the tool holds its polling
    // pause: the changes are applied on the monitor's thread before a
    // resumePolling() that the caller makes afterwards.
    void takeFileChanges(const FileChanges& changes);
    void startBatchProcessing(const QList<Screenshot>& files, const QString& folderPath = {});
    // Vectors the store holds anew for records of the list (made again for
    // the current sentence model); the records keep everything else.
    void applyEmbeddings(const QList<DatabaseManager::EmbeddingUpdate>& updates);

    // The first step of an ordered quit: no walk, load or batch starts any
    // more, the results already analysed are written to the store, and this
    // returns once the work in flight is over, or once the analyses have had
    // AnalysisPipeline::quitWait to stop. False when some analysis is still
    // running then: its thread uses the analyzer, which must outlive it.
    bool shutDown();

signals:
    // screenshotsChanged, monitoredPathChanged and hasFileAccessChanged come
    // from LibrarySource.
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
    // A look at the folder has ended and what it found is listed: a library
    // load, or a change check that walked the folder.
    void scanFinished();
    // A valid folder is about to replace the monitored one: whatever was
    // computed for the old folder is stale from here on.
    void folderChangeStarting();

private:
    friend class ScreenshotMonitorTestAccess;

    // FolderAccessController::Host
    void setHasFileAccess(bool value) override;
    void prepareFolderChange() override;

    // LibraryLoader::Host and ChangeScanner::Host
    quint64 generation() const override { return m_generation; }
    bool isCurrent(const QString& folder, quint64 generation) const override;
    void publishLoadedRows(const QList<Screenshot>& rows, const QSet<QString>& paths) override;
    void finishLibraryLoad(const LibraryLoader::Outcome& outcome) override;
    void applyScanChanges(const QSet<QString>& deleted, const QList<Screenshot>& added) override;
    void applyRenames(const QList<ChangeScanner::Rename>& renames) override;
    void applyChangedFiles(const QList<Screenshot>& changed) override;
    void walkFinished() override { Q_EMIT scanFinished(); }
    QObject* context() override { return this; }

    // AnalysisPipeline::Host
    void publishProgress(const ProgressUpdate& update) override;
    void applyResults(const QList<ProcessedFileResult>& results) override;
    std::optional<Screenshot> screenshotWithId(const QUuid& id) const override;

    void setScreenshots(QList<Screenshot> screenshots);
    void applyFileChanges(const FileChanges& changes);
    void assignMonitoredPath(const QString& path);
    void resetProgressState();
    void listNewestFirst(QList<Screenshot> added);
    // Puts each record in the place of the listed one with its id.
    void replaceListed(const QList<Screenshot>& records);
    // Once tags and notes from a damaged library file reached the store, the
    // rows listed (or being loaded) before may lack them: the library is
    // loaded again, after any load under way.
    void reloadAfterCarriedUserData();

    Settings& m_settings;
    AppEvents& m_events;
    DatabaseManager& m_store;
    Workers& m_workers;

    QList<Screenshot> m_screenshots;
    QString m_monitoredPath;
    QSet<QString> m_knownFiles;
    bool m_hasFileAccess = false;
    bool m_isMonitoringActive = false;
    QString m_reloadedAfterCarryingFrom; // a damaged library file set aside
    std::atomic<bool> m_isCancelled{false};
    Progress m_progress;
    // Raised by every restart and by forgetFolder(): queued work of an older
    // generation publishes nothing, even for the same folder. Atomic because
    // work on the file queue reads it to stop early.
    std::atomic<quint64> m_generation{0};

    // The parts. Declared last, so destroyed first: each waits for its own
    // work in flight (which posts back to this object) before the state it
    // uses goes away.
    FolderAccessController m_folderAccess;
    ChangeScanner m_scanner;
    LibraryLoader m_loader;
    AnalysisPipeline m_pipeline;
};
