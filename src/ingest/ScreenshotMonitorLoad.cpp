// The library load: the folder's stored rows in pages (the first published at
// once), then the walk for files the store lacks, then the hand-over of every
// file that still lacks analysis, and last the polling timer.

#include "ingest/ScreenshotMonitor.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/LogTimer.h"
#include "core/Logger.h"
#include "core/PathUtils.h"
#include "ingest/FolderWalker.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr int firstPageSize = 2000;
constexpr int laterPageSize = 1000;
constexpr int publishEveryRows = 5000;
constexpr unsigned long pauseBetweenPagesMs = 50;

void keepRowsInside(QList<Screenshot>& rows, const QString& folder)
{
    rows.removeIf([&folder](const Screenshot& row) { return !isInside(row.filePath, folder); });
}

void addPaths(QSet<QString>& paths, const QList<Screenshot>& rows)
{
    for (const Screenshot& row : rows)
        paths.insert(row.filePath);
}

bool isNewer(const Screenshot& a, const Screenshot& b)
{
    return a.dateCreated > b.dateCreated;
}

bool needsAnalysis(const Screenshot& screenshot)
{
    return !screenshot.ocrText || !screenshot.embedding;
}

bool hasLinks(const Screenshot& screenshot)
{
    return screenshot.detectedUrls && !screenshot.detectedUrls->isEmpty();
}
} // namespace

// What the end of a load hands to the GUI thread.
struct ScreenshotMonitor::LoadOutcome
{
    QString folder;
    quint64 generation = 0;
    QList<Screenshot> found;
    QSet<QString> known;
    QList<Screenshot> needProcessing;
    bool raiseBlocking = false;
    QStringList directories;
};

ScreenshotMonitor::QueueWorkStopper::~QueueWorkStopper()
{
    isShuttingDown = true;
    queue.sync([] {});
}

void ScreenshotMonitor::setDatabase(DatabaseManager& database)
{
    m_database = &database;
}

DatabaseManager& ScreenshotMonitor::database()
{
    return m_database ? *m_database : DatabaseManager::shared();
}

bool ScreenshotMonitor::isWorkAbandoned(quint64 generation) const
{
    return m_isShuttingDown || m_generation != generation;
}

void ScreenshotMonitor::loadScreenshotLibrary()
{
    Console::printLine(u"📸 Loading screenshot library..."_s);
    const QString folder = m_monitoredPath;
    const quint64 generation = m_generation;
    ++m_loadsSubmitted;
    // The old tree's notices mean nothing for this load; it watches its own.
    m_treeWatcher.clear();
    ++m_walksInFlight;
    m_monitorQueue.async([this, folder, generation] {
        runLibraryLoad(folder, generation);
        runOnThreadOf(this, [this] { --m_walksInFlight; });
    });
}

void ScreenshotMonitor::runLibraryLoad(const QString& folder, quint64 generation)
{
    if (m_isShuttingDown)
        return;
    if (m_generation != generation) {
        runOnThreadOf(this, [this, folder] {
            if (m_monitoredPath != folder)
                Console::printLine(u"🛑 Scan cancelled - Folder changed from "_s + folder + u" to "_s +
                                   m_monitoredPath);
        });
        return;
    }
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable()) {
        runOnThreadOf(this, [this, folder, generation] {
            if (isCurrent(folder, generation) && !m_hasFileAccess)
                requestFolderAccess();
        });
        return;
    }

    QList<Screenshot> loaded = loadStoredRows(folder, generation);
    if (isWorkAbandoned(generation))
        return;
    QSet<QString> known;
    known.reserve(loaded.size());
    addPaths(known, loaded);

    FolderWalker::Result walk = FolderWalker::walk(folder, supportedExtensions());
    QList<Screenshot> found = importNewFiles(folder, generation, walk.files, int(loaded.size()), known);
    if (isWorkAbandoned(generation))
        return;
    if (!found.isEmpty()) {
        Console::printLine(u"🆕 Found %1 new screenshots on disk"_s.arg(found.size()));
        std::stable_sort(found.begin(), found.end(), isNewer);
    }

    QList<Screenshot> need;
    for (const QList<Screenshot>* part : {&loaded, &found})
        std::copy_if(part->begin(), part->end(), std::back_inserter(need), needsAnalysis);
    const qsizetype total = loaded.size() + found.size();
    Logger::log(LogLevel::info, u"Scan"_s, u"Scan complete"_s,
                {{u"total"_s, int(total)},
                 {u"needProcessing"_s, int(need.size())},
                 {u"alreadyProcessed"_s, int(total - need.size())}});
    if (need.isEmpty())
        Logger::log(LogLevel::info, u"Scan"_s, u"All files already processed"_s);

    const bool raiseBlocking = need.size() > blockingProcessingThreshold && !m_isCancelled;
    LoadOutcome outcome{.folder = folder,
                        .generation = generation,
                        .found = std::move(found),
                        .known = std::move(known),
                        .needProcessing = std::move(need),
                        .raiseBlocking = raiseBlocking,
                        .directories = std::move(walk.directories)};
    runOnThreadOf(this, [this, outcome = std::move(outcome)] { finishLibraryLoad(outcome); });
}

// The folder's rows, newest first: a first page published at once so that the
// gallery fills, then smaller pages with a pause after each so that the store
// stays available to others, republished every few thousand rows.
QList<Screenshot> ScreenshotMonitor::loadStoredRows(const QString& folder, quint64 generation)
{
    DatabaseManager& store = database();
    // Count and first page in one submission, so they describe the same rows.
    auto [total, firstPage] = store.dbQueue().sync([&] {
        const int count = store.count(folder);
        LogTimer timer(u"db_query_screenshots"_s);
        return std::make_pair(count, store.fetchPage(folder, firstPageSize, 0, true, timer));
    });
    Console::printLine(u"📚 Found %1 screenshots in database for: "_s.arg(total) + folder);

    const qsizetype firstPageRows = firstPage.size();
    QList<Screenshot> loaded = std::move(firstPage);
    keepRowsInside(loaded, folder);
    Console::printLine(
        u"⚡️ Loaded %1 valid screenshots (filtered from %2)"_s.arg(loaded.size()).arg(firstPageRows));
    QSet<QString> paths;
    addPaths(paths, loaded);
    runOnThreadOf(this, [this, folder, generation, loaded, paths, firstPageRows] {
        if (!isCurrent(folder, generation))
            return;
        setScreenshots(loaded);
        m_knownFiles = paths;
        Console::printLine(u"✅ Gallery ready with %1 screenshots"_s.arg(firstPageRows));
    });
    if (total <= firstPageSize)
        return loaded;

    Console::printLine(u"📥 Loading remaining %1 screenshots in background..."_s.arg(total - firstPageSize));
    loaded.reserve(total);
    paths.reserve(total);
    // A load abandoned by a restart stops early: nothing of it would be shown.
    for (int offset = firstPageSize; offset < total && !isWorkAbandoned(generation);) {
        QList<Screenshot> page = store.dbQueue().sync([&] {
            LogTimer timer(u"db_query_screenshots"_s);
            return store.fetchPage(folder, laterPageSize, offset, true, timer);
        });
        keepRowsInside(page, folder);
        addPaths(paths, page);
        loaded.append(std::move(page));
        offset += laterPageSize;
        if (offset % publishEveryRows == 0 || offset >= total)
            publishLoadedRows(folder, generation, loaded, paths, total);
        QThread::msleep(pauseBetweenPagesMs);
    }
    Console::printLine(u"✅ All %1 screenshots loaded from database"_s.arg(total));
    return loaded;
}

// Each publish carries its own copy of the rows so far (shared until the next
// page is appended), so a later page never changes what an earlier one shows.
void ScreenshotMonitor::publishLoadedRows(const QString& folder, quint64 generation, const QList<Screenshot>& rows,
                                          const QSet<QString>& paths, int total)
{
    const qsizetype withLinks = std::count_if(rows.begin(), rows.end(), hasLinks);
    const auto firstWithLinks = std::find_if(rows.begin(), rows.end(), hasLinks);
    const QString example = firstWithLinks == rows.end() ? QString() : firstWithLinks->detectedUrls->first().toString();
    runOnThreadOf(this, [this, folder, generation, rows, paths, total, withLinks, example] {
        if (!isCurrent(folder, generation))
            return;
        setScreenshots(rows);
        m_knownFiles = paths;
        Console::printLine(u"📊 Loaded %1/%2 screenshots"_s.arg(rows.size()).arg(total));
        Console::printLine(u"🔍 DEBUG: Found %1 screenshots with URLs in current batch"_s.arg(withLinks));
        if (withLinks != 0)
            Console::printLine(u"   - Example: "_s + example);
    });
}

// The files of the walk that no loaded row covers. A path the store holds
// after all keeps its row (id, analysis, user data); every other one becomes
// a new record. All are written in large transactions.
QList<Screenshot> ScreenshotMonitor::importNewFiles(const QString& folder, quint64 generation, const QStringList& files,
                                                    int loadedRows, QSet<QString>& known)
{
    DatabaseManager& store = database();
    // While a load runs nothing else of ours adds rows (a walk's changes that
    // arrive meanwhile are dropped), so when the folder still counts the rows
    // loaded, no unknown path can have one: a first import then skips a
    // lookup per file.
    const bool mayHoldOthers = store.count(folder) != loadedRows;
    QList<Screenshot> found;
    for (const QString& path : files) {
        if (isWorkAbandoned(generation))
            break;
        if (known.contains(path) || !isInside(path, folder))
            continue;
        std::optional<Screenshot> stored = mayHoldOthers ? store.fetchByPath(path) : std::nullopt;
        found.append(stored ? std::move(*stored) : Screenshot(path, QUuid::createUuid()));
        known.insert(path);
    }
    store.upsertMany(found);
    return found;
}

// A load for a folder or generation that is no longer current applies none of
// its results, flags or timers: the current folder's own load sets them.
void ScreenshotMonitor::finishLibraryLoad(const LoadOutcome& outcome)
{
    if (!isCurrent(outcome.folder, outcome.generation))
        return;
    if (!outcome.found.isEmpty())
        listNewestFirst(outcome.found);
    m_knownFiles = outcome.known;

    const QList<Screenshot>& need = outcome.needProcessing;
    setHasIncompleteFiles(!need.isEmpty());
    setTotalToProcess(int(need.size()));
    setProcessingProgress(0);
    if (need.isEmpty()) {
        setIsProcessingBlocking(false);
    } else {
        if (outcome.raiseBlocking)
            setIsProcessingBlocking(true);
        if (!m_isCancelled)
            startBatchProcessing(need, outcome.folder);
    }
    startPollingTimer();
    m_treeWatcher.watch(outcome.directories);
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
