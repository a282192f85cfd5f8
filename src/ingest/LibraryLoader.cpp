#include "ingest/LibraryLoader.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/LogTimer.h"
#include "core/Logger.h"
#include "core/PathUtils.h"
#include "core/SerialQueue.h"
#include "core/Uuid.h"
#include "ingest/FolderWalker.h"
#include "ingest/SupportedFiles.h"

#include <QFileInfo>
#include <QHash>
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
    return !screenshot.ocrText || !screenshot.embedding || screenshot.awaitsAnotherRead();
}

bool hasLinks(const Screenshot& screenshot)
{
    return screenshot.detectedUrls && !screenshot.detectedUrls->isEmpty();
}

QHash<QString, qsizetype> indexByPath(const QStringList& paths)
{
    QHash<QString, qsizetype> index;
    index.reserve(paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i)
        index.insert(paths[i], i);
    return index;
}
} // namespace

LibraryLoader::LibraryLoader(Host& host, DatabaseManager& store, SerialQueue& fileQueue)
    : m_host(host)
    , m_store(store)
    , m_fileQueue(fileQueue)
{}

LibraryLoader::~LibraryLoader()
{
    shutDown();
}

void LibraryLoader::start(const QString& folder, quint64 generation, std::function<void()> ended)
{
    m_fileQueue.async([this, folder, generation, ended = std::move(ended)] {
        run(folder, generation);
        runOnThreadOf(m_host.context(), ended);
    });
}

void LibraryLoader::shutDown()
{
    m_isShuttingDown = true;
    // A load in flight uses this object; it gives up early and is waited for.
    m_fileQueue.sync([] {});
}

bool LibraryLoader::isAbandoned(quint64 generation) const
{
    return m_isShuttingDown || m_host.generation() != generation;
}

void LibraryLoader::run(const QString& folder, quint64 generation)
{
    if (m_isShuttingDown)
        return;
    if (m_host.generation() != generation) {
        runOnThreadOf(m_host.context(), [this, folder] {
            const QString& current = m_host.monitoredPath();
            if (current != folder)
                Console::printLine(u"🛑 Scan cancelled - Folder changed from "_s + folder + u" to "_s + current);
        });
        return;
    }
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable()) {
        runOnThreadOf(m_host.context(), [this, folder, generation] {
            if (m_host.isCurrent(folder, generation) && !m_host.hasFileAccess())
                m_host.requestFolderAccess();
        });
        return;
    }

    StoredRows stored = loadStoredRows(folder, generation);
    if (isAbandoned(generation))
        return;
    QList<Screenshot> loaded = std::move(stored.rows);
    // Shared with the host's copy until a path changes.
    QSet<QString> known = std::move(stored.paths);

    FolderWalker::Result walk = FolderWalker::walk(folder, SupportedFiles::extensions());
    QList<Screenshot> refreshed = followFilesOnDisk(folder, loaded, walk, known);
    const std::optional<QList<Screenshot>> imported = importNewFiles(folder, generation, walk, known);
    if (isAbandoned(generation))
        return;
    QList<Screenshot> found = imported.value_or(QList<Screenshot>());
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

    const bool raiseBlocking = need.size() > blockingProcessingThreshold && !m_host.isCancelled();
    Outcome outcome{.folder = folder,
                    .generation = generation,
                    .found = std::move(found),
                    .refreshed = std::move(refreshed),
                    .known = std::move(known),
                    .needProcessing = std::move(need),
                    .raiseBlocking = raiseBlocking,
                    .listing = std::move(walk),
                    .isStoreBehind = !imported};
    runOnThreadOf(m_host.context(), [this, outcome = std::move(outcome)] { m_host.finishLibraryLoad(outcome); });
}

// The folder's rows, newest first: a first page published at once so that the
// gallery fills, then smaller pages with a pause after each so that the store
// stays available to others, republished every few thousand rows.
LibraryLoader::StoredRows LibraryLoader::loadStoredRows(const QString& folder, quint64 generation)
{
    DatabaseManager& store = m_store;
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
    runOnThreadOf(m_host.context(), [this, folder, generation, loaded, paths, firstPageRows] {
        if (!m_host.isCurrent(folder, generation))
            return;
        m_host.publishLoadedRows(loaded, paths);
        Console::printLine(u"✅ Gallery ready with %1 screenshots"_s.arg(firstPageRows));
    });
    if (total <= firstPageSize)
        return {std::move(loaded), std::move(paths)};

    Console::printLine(u"📥 Loading remaining %1 screenshots in background..."_s.arg(total - firstPageSize));
    loaded.reserve(total);
    paths.reserve(total);
    // A load abandoned by a restart stops early: nothing of it would be shown.
    for (int offset = firstPageSize; offset < total && !isAbandoned(generation);) {
        QList<Screenshot> page = store.dbQueue().sync([&] {
            LogTimer timer(u"db_query_screenshots"_s);
            return store.fetchPage(folder, laterPageSize, offset, true, timer);
        });
        keepRowsInside(page, folder);
        addPaths(paths, page);
        loaded.append(std::move(page));
        offset += laterPageSize;
        if (offset % publishEveryRows == 0 || offset >= total)
            publishRows(folder, generation, loaded, paths, total, offset >= total);
        QThread::msleep(pauseBetweenPagesMs);
    }
    Console::printLine(u"✅ All %1 screenshots loaded from database"_s.arg(total));
    return {std::move(loaded), std::move(paths)};
}

// Each publish carries its own copy of the rows so far (shared until the next
// page is appended), so a later page never changes what an earlier one shows.
void LibraryLoader::publishRows(const QString& folder, quint64 generation, const QList<Screenshot>& rows,
                                const QSet<QString>& paths, int total, bool isLast)
{
    if (m_isPublishPending.exchange(true) && !isLast)
        return;
    const qsizetype withLinks = std::count_if(rows.begin(), rows.end(), hasLinks);
    const auto firstWithLinks = std::find_if(rows.begin(), rows.end(), hasLinks);
    const QString example = firstWithLinks == rows.end() ? QString() : firstWithLinks->detectedUrls->first().toString();
    runOnThreadOf(m_host.context(), [this, folder, generation, rows, paths, total, withLinks, example] {
        m_isPublishPending = false;
        if (!m_host.isCurrent(folder, generation))
            return;
        m_host.publishLoadedRows(rows, paths);
        Console::printLine(u"📊 Loaded %1/%2 screenshots"_s.arg(rows.size()).arg(total));
        Console::printLine(u"🔍 DEBUG: Found %1 screenshots with URLs in current batch"_s.arg(withLinks));
        if (withLinks != 0)
            Console::printLine(u"   - Example: "_s + example);
    });
}

QList<Screenshot> LibraryLoader::followFilesOnDisk(const QString& folder, QList<Screenshot>& loaded,
                                                   const FolderWalker::Result& walk, QSet<QString>& known)
{
    Gone gone;
    QList<Screenshot> refreshed = recordFileFacts(folder, loaded, walk, gone);
    if (!gone.isEmpty())
        refreshed += followRenamesWhileClosed(folder, loaded, walk, gone, known);
    return refreshed;
}

// `loaded` is shared with the rows last published: it is only written where a
// row changes, since the first write copies every row.
QList<Screenshot> LibraryLoader::recordFileFacts(const QString& folder, QList<Screenshot>& loaded,
                                                 const FolderWalker::Result& walk, Gone& gone)
{
    QList<DatabaseManager::FileFacts> facts;
    QList<qsizetype> factIndexes; // into loaded, one per fact
    {
        // As large as the library each: freed before anything is written.
        const QHash<QUuid, FileIdentity> recorded = m_store.recordedIdentities(folder);
        const QHash<QString, qsizetype> listed = indexByPath(walk.files);
        const QList<Screenshot>& rows = loaded;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const Screenshot& record = rows[i];
            const auto found = recorded.constFind(record.id);
            const std::optional<FileIdentity> before =
                found == recorded.cend() ? std::nullopt : std::optional<FileIdentity>(*found);
            const auto at = listed.constFind(record.filePath);
            if (at == listed.cend()) {
                if (before && !walk.isInUnreadableFolder(record.filePath))
                    gone.insert({before->device, before->inode}, {i, *before});
                continue;
            }
            if (std::optional<DatabaseManager::FileFacts> fact =
                    DatabaseManager::FileFacts::ofFileFound(record, before, walk.identities[*at])) {
                facts.append(std::move(*fact));
                factIndexes.append(i);
            }
        }
    }

    QList<Screenshot> refreshed;
    if (!m_store.recordFileFacts(facts))
        return refreshed;
    int savedAgain = 0;
    for (qsizetype k = 0; k < facts.size(); ++k) {
        const DatabaseManager::FileFacts& fact = facts[k];
        const bool resized = std::as_const(loaded)[factIndexes[k]].fileSize != fact.identity.size;
        if (!resized && !fact.needsAnalysis)
            continue; // a first record of the file the row already describes
        Screenshot& record = loaded[factIndexes[k]];
        fact.applyTo(record);
        savedAgain += fact.needsAnalysis ? 1 : 0;
        refreshed.append(record);
    }
    if (savedAgain > 0)
        Console::printLine(u"🔄 %1 screenshots were saved again since the last look"_s.arg(savedAgain));
    return refreshed;
}

QList<Screenshot> LibraryLoader::followRenamesWhileClosed(const QString& folder, QList<Screenshot>& loaded,
                                                          const FolderWalker::Result& walk, Gone& gone,
                                                          QSet<QString>& known)
{
    QList<Screenshot> renamed;
    for (qsizetype i = 0; i < walk.files.size() && !gone.isEmpty(); ++i) {
        const QString& path = walk.files[i];
        const FileIdentity& now = walk.identities[i];
        if (known.contains(path) || !isInside(path, folder))
            continue;
        const auto match = gone.constFind({now.device, now.inode});
        if (match == gone.cend() || !match->recorded.isMovedTo(now, path))
            continue; // another file in that inode, or not surely the same: a new one
        const qsizetype index = match->index;
        if (!m_store.updateFilePath(path, uuidText(std::as_const(loaded)[index].id)))
            continue; // the new name gets a row of its own; the old row waits
        Screenshot& record = loaded[index];
        known.remove(record.filePath);
        known.insert(path);
        record.filePath = path;
        record.filename = lastPathComponent(path).toString();
        renamed.append(record);
        gone.erase(match);
    }
    if (!renamed.isEmpty())
        Console::printLine(u"🔄 Found %1 renamed or moved files since the last look"_s.arg(renamed.size()));
    return renamed;
}

// The files of the walk that no loaded row covers. A path the store holds
// after all keeps its row (id, analysis, user data); every other one becomes
// a new record. All are written in large transactions.
std::optional<QList<Screenshot>> LibraryLoader::importNewFiles(const QString& folder, quint64 generation,
                                                               const FolderWalker::Result& walk, QSet<QString>& known)
{
    QList<Screenshot> candidates;
    QList<FileIdentity> identities;
    for (qsizetype i = 0; i < walk.files.size(); ++i) {
        if (isAbandoned(generation))
            break;
        const QString& path = walk.files[i];
        if (!known.contains(path) && isInside(path, folder)) {
            candidates.append(Screenshot(path, QUuid::createUuid()));
            identities.append(walk.identities[i].recordable(path));
        }
    }
    std::optional<QList<Screenshot>> stored = m_store.addFiles(candidates, identities);
    if (stored)
        addPaths(known, *stored);
    return stored;
}
