#include "ingest/ChangeScanner.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/PathUtils.h"
#include "core/SerialQueue.h"
#include "ingest/FolderWalker.h"
#include "ingest/SupportedFiles.h"

#include <QHash>

#include <algorithm>

using namespace Qt::StringLiterals;

ChangeScanner::ChangeScanner(Host& host, DatabaseManager& store, SerialQueue& fileQueue)
    : m_host(host)
    , m_store(store)
    , m_fileQueue(fileQueue)
    , m_lastScanDate(Clock::now())
{
    m_timer.setInterval(pollingIntervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, host.context(), [this] { check(); });
}

ChangeScanner::~ChangeScanner()
{
    shutDown();
}

void ChangeScanner::setFrontmostApplicationSource(std::function<std::optional<QString>()> source)
{
    m_frontmostApplicationSource = std::move(source);
}

void ChangeScanner::setPollingInterval(int milliseconds)
{
    m_timer.setInterval(milliseconds);
}

void ChangeScanner::startPolling()
{
    if (m_pauses == 0 && !m_isShuttingDown)
        m_timer.start();
}

void ChangeScanner::stopPolling()
{
    m_timer.stop();
}

std::optional<QString> ChangeScanner::frontmostApplicationName()
{
    return m_frontmostApplicationSource ? m_frontmostApplicationSource() : m_frontmostApplication.name();
}

void ChangeScanner::check()
{
    // A check that walks ends when its walk has been handed back.
    if (!walkIfDue())
        ++m_checksEnded;
}

bool ChangeScanner::walkIfDue()
{
    if (!m_host.hasFileAccess() || m_isShuttingDown)
        return false;
    if (m_pauses > 0) {
        m_isWalkRequested = true;
        return false;
    }
    // A walk still in flight works from an older snapshot of the known paths;
    // a second one would find the same new files again. The change mark stays
    // set, so the next tick walks.
    if (m_walksInFlight > 0)
        return false;
    if (!shouldWalkNow()) {
        updateLastScanDate();
        return false;
    }
    ++m_walksInFlight;
    m_fileQueue.async([this, folder = m_host.monitoredPath(), known = m_host.knownFiles(), previous = m_lastListing,
                       sourceApp = frontmostApplicationName(), generation = m_host.generation(),
                       loadsBefore = m_loadsSubmitted, epoch = m_walkEpoch] {
        Changes changes = walk(folder, known, previous, sourceApp, generation);
        runOnThreadOf(m_host.context(), [this, folder, generation, loadsBefore, epoch, changes = std::move(changes)] {
            walkEnded(folder, generation, loadsBefore, epoch, changes);
        });
    });
    return true;
}

void ChangeScanner::forceCheck()
{
    m_isWalkRequested = true;
    check();
}

void ChangeScanner::pause()
{
    assertGuiThread();
    ++m_pauses;
    ++m_walkEpoch;
    m_timer.stop();
    m_fileQueue.sync([] {});
}

void ChangeScanner::resume()
{
    assertGuiThread();
    if (m_pauses == 0 || --m_pauses > 0)
        return;
    m_isWalkRequested = true;
    if (m_host.isMonitoringActive() && m_host.hasFileAccess())
        startPolling();
}

void ChangeScanner::loadStarted()
{
    ++m_loadsSubmitted;
    // The old tree's notices mean nothing for this load; it watches its own.
    m_treeWatcher.clear();
    ++m_walksInFlight;
}

void ChangeScanner::loadEnded()
{
    --m_walksInFlight;
}

void ChangeScanner::listingLoaded(const FolderWalker::Result& listing, bool walkAgain)
{
    watch(listing.directories);
    m_lastListing = listing;
    reportSkipped(listing.skippedNames);
    if (walkAgain)
        m_isWalkRequested = true;
}

void ChangeScanner::followFileChanges(const QHash<QString, QString>& newPaths, const QSet<QString>& removed)
{
    FolderWalker::Result& listing = m_lastListing;
    for (qsizetype i = listing.files.size() - 1; i >= 0; --i) {
        if (removed.contains(listing.files[i])) {
            listing.files.removeAt(i);
            listing.identities.removeAt(i);
        } else if (const auto to = newPaths.constFind(listing.files[i]); to != newPaths.constEnd()) {
            listing.files[i] = *to;
            // A copy across file systems or a rendition is another file: the
            // next walk must not take it for one saved again.
            if (const std::optional<FileIdentity> identity = FileIdentity::of(*to))
                listing.identities[i] = *identity;
        }
    }
}

void ChangeScanner::watch(const QStringList& directories)
{
    m_treeWatcher.watch(directories);
    m_noticesReliable = !directories.isEmpty() && m_hasReliableNotices(directories.first());
}

// Once per name while the program runs: the walks every few seconds would
// repeat it otherwise.
void ChangeScanner::reportSkipped(const QStringList& names)
{
    for (const QString& name : names) {
        if (m_reportedSkips.contains(name))
            continue;
        m_reportedSkips.insert(name);
        Console::printLine(u"⚠️ Skipped an entry whose name is not valid UTF-8: "_s + name);
    }
}

void ChangeScanner::updateLastScanDate()
{
    m_lastScanDate = Clock::now();
}

void ChangeScanner::shutDown()
{
    m_isShuttingDown = true;
    m_timer.stop();
    // A walk in flight uses this object; it gives up early and is waited for.
    m_fileQueue.sync([] {});
}

bool ChangeScanner::shouldWalkNow()
{
    const bool changed = m_treeWatcher.takeChange();
    if (changed || m_isWalkRequested || !m_noticesReliable || !m_treeWatcher.isComplete() ||
        ++m_quietTicks >= safetyWalkEveryTicks) {
        m_quietTicks = 0;
        m_isWalkRequested = false;
        return true;
    }
    return false;
}

ChangeScanner::Changes ChangeScanner::walk(const QString& folder, const QSet<QString>& known,
                                           const FolderWalker::Result& previous,
                                           const std::optional<QString>& sourceApp, quint64 generation)
{
    Changes changes;
    if (m_isShuttingDown)
        return changes;
    changes.listing = m_walk(folder, SupportedFiles::extensions());
    const FolderWalker::Result& listing = changes.listing;
    const QStringList& files = listing.files;
    QSet<QString> seen;
    seen.reserve(files.size());
    QList<qsizetype> fresh;
    for (qsizetype i = 0; i < files.size(); ++i) {
        seen.insert(files[i]);
        if (isInside(files[i], folder) && !known.contains(files[i]))
            fresh.append(i);
    }
    // A folder that cannot be read now (an unmounted drive, a changed
    // permission) says nothing about its files: they stay until a walk can
    // read it and finds them gone.
    for (const QString& path : known) {
        if (!seen.contains(path) && !listing.isInUnreadableFolder(path))
            changes.deleted.insert(path);
    }
    // A walk whose results will not be applied leaves the store alone.
    if (m_isShuttingDown || m_host.generation() != generation)
        return changes;
    followRenames(changes, previous, fresh);
    followChangedFiles(changes, previous, known);
    addNewFiles(changes, fresh, sourceApp);
    return changes;
}

// A new file given the inode of a deleted one (file systems reuse them at
// once) must not inherit the old file's row: what the row recorded (with its
// fingerprint, where there is no birth time) must say it is the same file.
void ChangeScanner::followRenames(Changes& changes, const FolderWalker::Result& previous, QList<qsizetype>& fresh)
{
    if (changes.deleted.isEmpty() || fresh.isEmpty())
        return;
    QHash<std::pair<quint64, quint64>, qsizetype> vanished; // into previous, by device and inode
    for (qsizetype i = 0; i < previous.files.size(); ++i) {
        if (changes.deleted.contains(previous.files[i]))
            vanished.insert({previous.identities[i].device, previous.identities[i].inode}, i);
    }
    FolderWalker::Result& listing = changes.listing;
    fresh.removeIf([&](qsizetype index) {
        const auto found = vanished.constFind({listing.identities[index].device, listing.identities[index].inode});
        if (found == vanished.cend())
            return false;
        const qsizetype gone = *found;
        vanished.erase(found);
        const QString& from = previous.files[gone];
        const std::optional<Screenshot> row = m_store.fetchByPath(from);
        if (!row)
            return false;
        const QString& to = listing.files[index];
        // Walks take no fingerprints: without a birth time, the one the row
        // recorded of that file is what tells.
        FileIdentity before = previous.identities[gone];
        if (before.birthNs == 0) {
            const std::optional<FileIdentity> recorded = m_store.recordedIdentity(row->id);
            if (recorded && recorded->isSameInode(before) && recorded->hasSameDates(before))
                before.fingerprint = recorded->fingerprint;
        }
        if (!before.isMovedTo(listing.identities[index], to))
            return false;
        if (!m_store.updateFilePath(to, row->id.toString(QUuid::WithoutBraces))) {
            // Both names wait for the next walk, which tries again.
            changes.isStoreBehind = true;
            changes.deleted.remove(from);
            listing.files.append(from);
            listing.identities.append(listing.identities[index]);
            return true;
        }
        changes.deleted.remove(from);
        changes.renamed.append({from, to});
        return true;
    });
}

// Walks usually list the folder in the same order, so the previous listing
// is looked up by position first and by name only where the two differ.
void ChangeScanner::followChangedFiles(Changes& changes, const FolderWalker::Result& previous,
                                       const QSet<QString>& known)
{
    FolderWalker::Result& listing = changes.listing;
    QHash<QString, qsizetype> previousIndex;
    const auto previousIdentity = [&](qsizetype index) -> const FileIdentity* {
        const QString& path = listing.files[index];
        if (index < previous.files.size() && previous.files[index] == path)
            return &previous.identities[index];
        if (previousIndex.isEmpty())
            for (qsizetype i = 0; i < previous.files.size(); ++i)
                previousIndex.insert(previous.files[i], i);
        const auto found = previousIndex.constFind(path);
        return found == previousIndex.cend() ? nullptr : &previous.identities[*found];
    };
    QList<DatabaseManager::FileFacts> facts;
    QList<qsizetype> indexes;
    for (qsizetype index = 0; index < listing.files.size(); ++index) {
        const FileIdentity* before = previousIdentity(index);
        if (!before || *before == listing.identities[index] || !known.contains(listing.files[index]))
            continue;
        const std::optional<Screenshot> row = m_store.fetchByPath(listing.files[index]);
        if (!row)
            continue;
        // What the row recorded, with the fingerprint its analysis took,
        // tells; the last listing stands in where it recorded nothing.
        const std::optional<FileIdentity> recorded = m_store.recordedIdentity(row->id);
        std::optional<DatabaseManager::FileFacts> fact =
            DatabaseManager::FileFacts::ofFileFound(*row, recorded ? recorded : *before, listing.identities[index]);
        if (!fact)
            continue;
        indexes.append(index);
        if (fact->needsAnalysis) {
            Screenshot record = *row;
            fact->applyTo(record);
            changes.changed.append(std::move(record));
        }
        facts.append(std::move(*fact));
    }
    if (facts.isEmpty() || m_store.recordFileFacts(facts))
        return;
    // The next walk sees the same change again and tries again.
    changes.changed.clear();
    changes.isStoreBehind = true;
    for (const qsizetype index : std::as_const(indexes))
        listing.identities[index] = *previousIdentity(index);
}

// A path the store still holds (a row left behind) keeps its row, and takes
// the frontmost application only when it recorded none.
void ChangeScanner::addNewFiles(Changes& changes, const QList<qsizetype>& fresh,
                                const std::optional<QString>& sourceApp)
{
    if (fresh.isEmpty())
        return;
    QList<Screenshot> records;
    QList<FileIdentity> identities;
    records.reserve(fresh.size());
    identities.reserve(fresh.size());
    for (const qsizetype index : fresh) {
        records.append(Screenshot(changes.listing.files[index], QUuid::createUuid(), sourceApp));
        identities.append(changes.listing.identities[index].recordable(records.last().filePath));
    }
    if (std::optional<QList<Screenshot>> stored = m_store.addFiles(records, identities)) {
        changes.added = std::move(*stored);
        followReturningPaths(changes, records, identities);
    } else {
        changes.isStoreBehind = true; // unknown until stored: the next walk finds them again
    }
}

// A path whose file vanished keeps its row, which addFiles hands back when a
// file appears there again: that file is held against what the row recorded,
// as one found changed at its name is.
void ChangeScanner::followReturningPaths(Changes& changes, const QList<Screenshot>& created,
                                         const QList<FileIdentity>& identities)
{
    QList<DatabaseManager::FileFacts> facts;
    QList<qsizetype> indexes;
    for (qsizetype k = 0; k < changes.added.size(); ++k) {
        const Screenshot& row = changes.added[k];
        if (row.id == created[k].id)
            continue;
        if (std::optional<DatabaseManager::FileFacts> fact =
                DatabaseManager::FileFacts::ofFileFound(row, m_store.recordedIdentity(row.id), identities[k])) {
            facts.append(std::move(*fact));
            indexes.append(k);
        }
    }
    // Refused: listed as the row is, and the next start holds the file
    // against it again.
    if (!m_store.recordFileFacts(facts))
        return;
    for (qsizetype k = 0; k < facts.size(); ++k)
        facts[k].applyTo(changes.added[indexes[k]]);
}

void ChangeScanner::walkEnded(const QString& folder, quint64 generation, quint64 loadsBefore, quint64 epoch,
                              const Changes& changes)
{
    --m_walksInFlight;
    ++m_checksEnded;
    if (epoch != m_walkEpoch) {
        // Paused meanwhile: the tool's moves may not be in the store yet.
        m_isWalkRequested = true;
        return;
    }
    const bool current = m_host.isCurrent(folder, generation);
    if (changes.isStoreBehind)
        m_isWalkRequested = true;
    // Changes of a walk that a load overtook are left to that load, which
    // lists the folder afresh.
    if (current && loadsBefore == m_loadsSubmitted) {
        m_lastListing = changes.listing;
        reportSkipped(changes.listing.skippedNames);
        if (!changes.renamed.isEmpty())
            m_host.applyRenames(changes.renamed);
        if (!changes.changed.isEmpty())
            m_host.applyChangedFiles(changes.changed);
        if (!changes.deleted.isEmpty() || !changes.added.isEmpty())
            m_host.applyScanChanges(changes.deleted, changes.added);
    }
    updateLastScanDate();
    if (current)
        watch(changes.listing.directories);
    m_host.walkFinished();
}
