#include "ingest/ScreenshotMonitor.h"

#include "core/AppEvents.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/Logger.h"
#include "core/Scheduler.h"
#include "core/Settings.h"
#include "core/Workers.h"
#include "ingest/SupportedFiles.h"
#include "platform/FolderChooser.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
QString defaultFolder()
{
    return QDir::homePath() + u"/Desktop"_s;
}

// Gives `screenshot` the path `newPaths` has for its own, if any.
bool followPath(Screenshot& screenshot, const QHash<QString, QString>& newPaths)
{
    const auto to = newPaths.constFind(screenshot.filePath);
    if (to == newPaths.constEnd())
        return false;
    screenshot.filePath = *to;
    screenshot.filename = to->section(u'/', -1);
    return true;
}

bool isNewer(const Screenshot& a, const Screenshot& b)
{
    return a.dateCreated > b.dateCreated;
}

// Stores `value` in `field` when one is given and announces real changes.
template <typename T, typename Signal>
void assign(ScreenshotMonitor* monitor, T& field, const std::optional<T>& value, Signal signal)
{
    if (!value || field == *value)
        return;
    field = *value;
    Q_EMIT(monitor->*signal)(field);
}

// A share of the run: never NaN or outside 0..1, whatever the counts were.
std::optional<double> clampedShare(std::optional<double> value)
{
    if (!value)
        return std::nullopt;
    return std::isfinite(*value) ? std::clamp(*value, 0.0, 1.0) : 0.0;
}
} // namespace

const QStringList& ScreenshotMonitor::supportedExtensions()
{
    return SupportedFiles::extensions();
}

ScreenshotMonitor::ScreenshotMonitor(const Services& services, QObject* parent)
    : LibrarySource(parent)
    , m_settings(services.settings)
    , m_events(services.events)
    , m_store(services.store)
    , m_workers(services.workers)
    , m_folderAccess(*this, services.settings)
    , m_scanner(*this, services.store, services.workers.fileQueue())
    , m_loader(*this, services.store, services.workers.fileQueue())
    , m_pipeline(*this, services.store, services.memoryMonitor, services.workers, services.analyzer,
                 services.scheduler ? *services.scheduler : Scheduler::eventLoop())
{
    const QString stored = m_settings.value(monitoredPathKey).toString();
    m_monitoredPath = stored.isEmpty() ? defaultFolder() : stored;

    const bool restored = restoreFolderAccess();
    Console::printLine(restored ? u"✅ Restored secure access to: "_s + m_monitoredPath
                                : u"ℹ️ Using standard path: "_s + m_monitoredPath);
    Console::printLine(u"📁 ScreenshotMonitor initialized"_s);
    Console::printLine(u"📂 Monitoring: "_s + m_monitoredPath);
    // Queued: the store reports from its own queue.
    connect(&m_store.health(), &StoreHealth::changed, this, &ScreenshotMonitor::reloadAfterCarriedUserData,
            Qt::QueuedConnection);
}

ScreenshotMonitor::~ScreenshotMonitor()
{
    shutDown();
}

void ScreenshotMonitor::setFolderChooser(std::unique_ptr<FolderChooser> chooser)
{
    m_folderAccess.setFolderChooser(std::move(chooser));
}

void ScreenshotMonitor::setFrontmostApplicationSource(std::function<std::optional<QString>()> source)
{
    m_scanner.setFrontmostApplicationSource(std::move(source));
}

void ScreenshotMonitor::setPollingInterval(int milliseconds)
{
    m_scanner.setPollingInterval(milliseconds);
}

void ScreenshotMonitor::setMonitoredPath(const QString& path)
{
    assertGuiThread();
    assignMonitoredPath(path);
    m_settings.setValue(monitoredPathKey, m_monitoredPath);
    restartMonitoring();
}

void ScreenshotMonitor::assignMonitoredPath(const QString& path)
{
    if (m_monitoredPath == path)
        return;
    m_monitoredPath = path;
    Q_EMIT monitoredPathChanged(m_monitoredPath);
}

void ScreenshotMonitor::setHasFileAccess(bool value)
{
    assertGuiThread();
    if (m_hasFileAccess == value)
        return;
    m_hasFileAccess = value;
    Q_EMIT hasFileAccessChanged(value);
}

// The one place the processing state changes. Each field given is stored
// before its change is announced; the processing and incomplete-files flags
// are also announced application-wide on every assignment, changed or not.
void ScreenshotMonitor::publishProgress(const ProgressUpdate& update)
{
    assertGuiThread();
    Progress& p = m_progress;
    assign(this, p.isProcessing, update.isProcessing, &ScreenshotMonitor::isProcessingChanged);
    if (update.isProcessing)
        Q_EMIT m_events.processingStateChanged(p.isProcessing);
    assign(this, p.isProcessingBlocking, update.isProcessingBlocking, &ScreenshotMonitor::isProcessingBlockingChanged);
    assign(this, p.hasIncompleteFiles, update.hasIncompleteFiles, &ScreenshotMonitor::hasIncompleteFilesChanged);
    if (update.hasIncompleteFiles)
        Q_EMIT m_events.processingStateChanged(p.hasIncompleteFiles);
    assign(this, p.totalToProcess, update.totalToProcess, &ScreenshotMonitor::totalToProcessChanged);
    assign(this, p.processedCount, update.processedCount, &ScreenshotMonitor::processedCountChanged);
    assign(this, p.processingProgress, update.processingProgress, &ScreenshotMonitor::processingProgressChanged);
    assign(this, p.currentBatchNumber, update.currentBatchNumber, &ScreenshotMonitor::currentBatchNumberChanged);
    assign(this, p.totalBatches, update.totalBatches, &ScreenshotMonitor::totalBatchesChanged);
    assign(this, p.value, clampedShare(update.value), &ScreenshotMonitor::processingProgressValueChanged);
    assign(this, p.isUnderMemoryPressure, update.isUnderMemoryPressure,
           &ScreenshotMonitor::isUnderMemoryPressureChanged);
}

void ScreenshotMonitor::setScreenshots(QList<Screenshot> screenshots)
{
    assertGuiThread();
    m_screenshots = std::move(screenshots);
    Q_EMIT screenshotsChanged();
}

bool ScreenshotMonitor::isCurrent(const QString& folder, quint64 generation) const
{
    return m_monitoredPath == folder && m_generation == generation;
}

void ScreenshotMonitor::startMonitoring()
{
    assertGuiThread();
    if (m_isMonitoringActive) {
        Console::printLine(u"✅ Monitor already active, skipping start"_s);
        return;
    }
    // A start still queued when the folder is given up or changed again must not run.
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation.load()] {
            if (generation == m_generation)
                startMonitoringAsync(false);
        },
        Qt::QueuedConnection);
}

void ScreenshotMonitor::startMonitoringAsync(bool force)
{
    assertGuiThread();
    m_isCancelled = false;
    if (m_isMonitoringActive && !force) {
        Console::printLine(u"reshing monitoring skipped (already active)"_s);
        return;
    }
    // Every way in (a launch, the gallery, the tray's Force Scan, the
    // settings' rescan) ends here: a folder the user never chose, or gave up,
    // is never watched, however readable it is.
    if (!m_folderAccess.isGranted(m_monitoredPath)) {
        if (m_isMonitoringActive)
            stopMonitoring();
        Console::printLine(u"⚠️ Not monitoring a folder without granted access: "_s + m_monitoredPath);
        setHasFileAccess(false);
        return;
    }
    if (force) {
        Console::printLine(u"🔄 FORCE Reloading monitoring data..."_s);
        m_scanner.stopPolling();
    }
    m_isMonitoringActive = true;
    Console::printLine(u"🔍 Starting file monitoring (Force: %1)..."_s.arg(force ? u"true"_s : u"false"_s));

    const QFileInfo folder(m_monitoredPath);
    if (!folder.isDir() || !folder.isReadable()) {
        Console::printLine(u"⚠️ No file access needed for: "_s + m_monitoredPath);
        setHasFileAccess(false);
        return;
    }
    setHasFileAccess(true);
    loadScreenshotLibrary();
    Console::printLine(u"✅ Monitoring started"_s);
}

void ScreenshotMonitor::stopMonitoring()
{
    assertGuiThread();
    Console::printLine(u"🛑 Stopping file monitoring..."_s);
    m_isMonitoringActive = false;
    m_scanner.stopPolling();
}

void ScreenshotMonitor::restartMonitoring()
{
    assertGuiThread();
    stopMonitoring();
    ++m_generation;
    setScreenshots({});
    m_knownFiles.clear();
    m_scanner.updateLastScanDate();
    startMonitoring();
}

void ScreenshotMonitor::cancelProcessing()
{
    assertGuiThread();
    Console::printLine(u"🛑 CANCEL: User requested cancellation"_s);
    m_isCancelled = true;
    m_pipeline.stop();
    publishProgress({.isProcessing = false, .isProcessingBlocking = false});
    setScreenshots({});
    Console::printLine(u"   ✅ Processing cancelled, state reset"_s);
}

void ScreenshotMonitor::updateScreenshot(const Screenshot& screenshot)
{
    assertGuiThread();
    const qsizetype index = m_screenshots.indexOf(screenshot);
    if (index < 0)
        return;
    m_screenshots[index] = screenshot;
    Q_EMIT screenshotsChanged();
}

void ScreenshotMonitor::startPollingTimer()
{
    Console::printLine(u"⏰ Starting polling timer..."_s);
    m_scanner.startPolling();
}

void ScreenshotMonitor::resetProgressState()
{
    publishProgress({.isProcessing = false,
                     .isProcessingBlocking = false,
                     .hasIncompleteFiles = false,
                     .totalToProcess = 0,
                     .processedCount = 0,
                     .processingProgress = 0,
                     .value = 0.0});
}

void ScreenshotMonitor::forgetFolder()
{
    assertGuiThread();
    cancelProcessing();
    stopMonitoring();
    ++m_generation;
    m_folderAccess.release();
    setHasFileAccess(false);
    m_knownFiles.clear();
    resetProgressState();
}

bool ScreenshotMonitor::restoreFolderAccess()
{
    return m_folderAccess.restore();
}

void ScreenshotMonitor::requestFolderAccess()
{
    m_folderAccess.request();
}

void ScreenshotMonitor::changeMonitoredFolder(const QString& path)
{
    m_folderAccess.changeFolder(path);
}

void ScreenshotMonitor::prepareFolderChange()
{
    Q_EMIT folderChangeStarting();
    cancelProcessing();
    resetProgressState();
}

void ScreenshotMonitor::loadScreenshotLibrary()
{
    Console::printLine(u"📸 Loading screenshot library..."_s);
    m_scanner.loadStarted();
    m_loader.start(m_monitoredPath, m_generation, [this] { m_scanner.loadEnded(); });
}

void ScreenshotMonitor::reloadAfterCarriedUserData()
{
    const StoreHealth::State state = m_store.health().state();
    if (state.isCarryingUserData || state.carriedUserData == 0 || state.setAsidePath == m_reloadedAfterCarryingFrom)
        return;
    m_reloadedAfterCarryingFrom = state.setAsidePath;
    if (m_isMonitoringActive)
        loadScreenshotLibrary();
}

void ScreenshotMonitor::publishLoadedRows(const QList<Screenshot>& rows, const QSet<QString>& paths)
{
    assertGuiThread();
    setScreenshots(rows);
    m_knownFiles = paths;
}

// A load for a folder or generation that is no longer current applies none of
// its results, flags or timers: the current folder's own load sets them.
void ScreenshotMonitor::finishLibraryLoad(const LibraryLoader::Outcome& outcome)
{
    assertGuiThread();
    if (!isCurrent(outcome.folder, outcome.generation))
        return;
    if (!outcome.refreshed.isEmpty())
        replaceListed(outcome.refreshed);
    if (!outcome.found.isEmpty())
        listNewestFirst(outcome.found);
    m_knownFiles = outcome.known;

    const QList<Screenshot>& need = outcome.needProcessing;
    publishProgress(
        {.hasIncompleteFiles = !need.isEmpty(), .totalToProcess = int(need.size()), .processingProgress = 0});
    if (need.isEmpty()) {
        publishProgress({.isProcessingBlocking = false});
    } else {
        if (outcome.raiseBlocking)
            publishProgress({.isProcessingBlocking = true});
        if (!m_isCancelled)
            startBatchProcessing(need, outcome.folder);
    }
    startPollingTimer();
    m_scanner.listingLoaded(outcome.listing, outcome.isStoreBehind);
    Q_EMIT scanFinished();
}

void ScreenshotMonitor::checkForChanges()
{
    m_scanner.check();
}

void ScreenshotMonitor::forceChangeCheck()
{
    m_scanner.forceCheck();
}

void ScreenshotMonitor::pausePolling()
{
    m_scanner.pause();
}

void ScreenshotMonitor::resumePolling()
{
    m_scanner.resume();
}

void ScreenshotMonitor::takeFileChanges(const FileChanges& changes)
{
    if (changes.moved.isEmpty() && changes.removed.isEmpty())
        return;
    // From a tool's worker: queued calls to one object run in the order they
    // were made, so the changes land before the tool's own (later) resume.
    if (QThread::currentThread() == thread())
        applyFileChanges(changes);
    else
        runOnThreadOf(this, [this, changes] { applyFileChanges(changes); });
}

void ScreenshotMonitor::applyFileChanges(const FileChanges& changes)
{
    assertGuiThread();
    QHash<QString, QString> newPaths;
    for (const FileChanges::Move& move : changes.moved) {
        newPaths.insert(move.from, move.to);
        if (m_knownFiles.remove(move.from))
            m_knownFiles.insert(move.to);
    }
    const QSet<QString> removed(changes.removed.cbegin(), changes.removed.cend());
    for (const QString& path : removed)
        m_knownFiles.remove(path);
    m_scanner.followFileChanges(newPaths, removed);

    QList<Screenshot> updated = m_screenshots;
    updated.removeIf([&removed](const Screenshot& screenshot) { return removed.contains(screenshot.filePath); });
    for (Screenshot& screenshot : updated) {
        if (!followPath(screenshot, newPaths))
            continue;
        // A replacement (a HEIC in place of a PNG) has a size of its own.
        if (const std::optional<FileStamp> stamp = FileStamp::of(screenshot.filePath))
            screenshot.fileSize = stamp->size;
    }
    setScreenshots(std::move(updated));
}

void ScreenshotMonitor::applyScanChanges(const QSet<QString>& deleted, const QList<Screenshot>& added)
{
    assertGuiThread();
    if (!deleted.isEmpty()) {
        Console::printLine(u"🗑️ Detected %1 deletions"_s.arg(deleted.size()));
        for (const QString& path : deleted)
            m_knownFiles.remove(path);
        QList<Screenshot> remaining = m_screenshots;
        remaining.removeIf([&deleted](const Screenshot& s) { return deleted.contains(s.filePath); });
        setScreenshots(std::move(remaining));
    }

    // Whatever became known since the walk's snapshot (a load, an earlier
    // walk) is listed already; a path is never listed twice.
    QList<Screenshot> fresh;
    for (const Screenshot& record : added) {
        if (!m_knownFiles.contains(record.filePath)) {
            m_knownFiles.insert(record.filePath);
            fresh.append(record);
        }
    }
    if (fresh.isEmpty())
        return;
    Console::printLine(u"🆕 Watcher found %1 new files"_s.arg(fresh.size()));
    // Their rows were written by the walk.
    listNewestFirst(fresh);
    for (const Screenshot& record : std::as_const(fresh))
        Q_EMIT newScreenshot(record);
    startBatchProcessing(fresh, m_monitoredPath);
}

// The rows already carry the new paths; the records follow, and a renamed
// file still lacking analysis is analysed under its new name.
void ScreenshotMonitor::applyRenames(const QList<ChangeScanner::Rename>& renames)
{
    assertGuiThread();
    QHash<QString, QString> newPaths;
    for (const ChangeScanner::Rename& rename : renames) {
        newPaths.insert(rename.from, rename.to);
        m_knownFiles.remove(rename.from);
        m_knownFiles.insert(rename.to);
    }
    Console::printLine(u"🔄 Detected %1 renamed or moved files"_s.arg(renames.size()));
    QList<Screenshot> updated = m_screenshots;
    QList<Screenshot> unanalysed;
    for (Screenshot& screenshot : updated) {
        if (!followPath(screenshot, newPaths))
            continue;
        if (!screenshot.ocrText || !screenshot.embedding)
            unanalysed.append(screenshot);
    }
    setScreenshots(std::move(updated));
    startBatchProcessing(unanalysed, m_monitoredPath);
}

// Their rows took the new facts already; each is analysed again.
void ScreenshotMonitor::applyChangedFiles(const QList<Screenshot>& changed)
{
    assertGuiThread();
    Console::printLine(u"🔄 Detected %1 files saved again"_s.arg(changed.size()));
    replaceListed(changed);
    startBatchProcessing(changed, m_monitoredPath);
}

void ScreenshotMonitor::replaceListed(const QList<Screenshot>& records)
{
    QHash<QUuid, const Screenshot*> byId;
    for (const Screenshot& record : records)
        byId.insert(record.id, &record);
    QList<Screenshot> updated = m_screenshots;
    for (Screenshot& screenshot : updated)
        if (const Screenshot* record = byId.value(screenshot.id))
            screenshot = *record;
    // A file saved again may have a new date.
    if (!std::is_sorted(updated.begin(), updated.end(), isNewer))
        std::stable_sort(updated.begin(), updated.end(), isNewer);
    setScreenshots(std::move(updated));
}

// Puts `added` ahead of the list and orders the whole newest first; among
// equal dates the added records come first, in their own order. The list is
// normally ordered already, so a merge does instead of a full sort.
void ScreenshotMonitor::listNewestFirst(QList<Screenshot> added)
{
    if (!std::is_sorted(added.begin(), added.end(), isNewer))
        std::stable_sort(added.begin(), added.end(), isNewer);
    const QList<Screenshot>& current = m_screenshots;
    QList<Screenshot> merged;
    merged.reserve(added.size() + current.size());
    if (std::is_sorted(current.begin(), current.end(), isNewer)) {
        std::merge(std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()), current.begin(),
                   current.end(), std::back_inserter(merged), isNewer);
    } else {
        merged = added + current;
        std::stable_sort(merged.begin(), merged.end(), isNewer);
    }
    setScreenshots(std::move(merged));
}

void ScreenshotMonitor::startBatchProcessing(const QList<Screenshot>& files, const QString& folderPath)
{
    assertGuiThread();
    if (files.isEmpty())
        return;
    const QString folder = folderPath.isEmpty() ? m_monitoredPath : folderPath;
    if (folder != m_monitoredPath) {
        Logger::log(LogLevel::warning, u"Processing"_s, u"Processing aborted - folder changed"_s,
                    {{u"expected"_s, folder}, {u"actual"_s, m_monitoredPath}});
        return;
    }
    m_pipeline.start(files, folder);
}

void ScreenshotMonitor::applyResults(const QList<ProcessedFileResult>& results)
{
    assertGuiThread();
    QHash<QUuid, const ProcessedFileResult*> byId;
    for (const ProcessedFileResult& result : results)
        byId.insert(result.id, &result);
    QList<Screenshot> updated = m_screenshots;
    bool changed = false;
    for (Screenshot& screenshot : updated) {
        const ProcessedFileResult* result = byId.value(screenshot.id);
        if (!result)
            continue;
        if (!result->keepsEarlierReading) {
            screenshot.ocrText = result->ocrText;
            screenshot.tags = result->tags;
            screenshot.embedding = result->embedding;
            screenshot.detectedUrls = result->urls;
        }
        screenshot.analysisFailure = result->failure;
        screenshot.unfinishedReads = result->unfinishedReads;
        if (result->source)
            screenshot.fileSize = result->source->size;
        changed = true;
    }
    if (changed)
        setScreenshots(std::move(updated));
}

void ScreenshotMonitor::applyEmbeddings(const QList<DatabaseManager::EmbeddingUpdate>& updates)
{
    QHash<QUuid, const QList<double>*> byId;
    for (const DatabaseManager::EmbeddingUpdate& update : updates)
        byId.insert(update.id, &update.embedding);
    QList<Screenshot> updated = m_screenshots;
    bool changed = false;
    for (Screenshot& screenshot : updated) {
        const QList<double>* embedding = byId.value(screenshot.id);
        if (!embedding || !screenshot.ocrText)
            continue;
        screenshot.embedding = *embedding;
        changed = true;
    }
    if (changed)
        setScreenshots(std::move(updated));
}

std::optional<Screenshot> ScreenshotMonitor::screenshotWithId(const QUuid& id) const
{
    const auto found = std::find_if(m_screenshots.cbegin(), m_screenshots.cend(),
                                    [&id](const Screenshot& screenshot) { return screenshot.id == id; });
    return found == m_screenshots.cend() ? std::nullopt : std::optional<Screenshot>(*found);
}

bool ScreenshotMonitor::shutDown()
{
    assertGuiThread();
    m_isMonitoringActive = false;
    m_scanner.shutDown();
    m_loader.shutDown();
    return m_pipeline.shutDown();
}
