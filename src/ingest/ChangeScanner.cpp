#include "ingest/ChangeScanner.h"

#include "core/Clock.h"
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/PathUtils.h"
#include "core/SerialQueue.h"
#include "ingest/FolderWalker.h"
#include "ingest/SupportedFiles.h"

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
    if (!m_host.hasFileAccess() || m_isShuttingDown)
        return;
    if (m_pauses > 0) {
        m_isWalkRequested = true;
        return;
    }
    // A walk still in flight works from an older snapshot of the known paths;
    // a second one would find the same new files again. The change mark stays
    // set, so the next tick walks.
    if (m_walksInFlight > 0)
        return;
    if (!shouldWalkNow()) {
        updateLastScanDate();
        return;
    }
    ++m_walksInFlight;
    m_fileQueue.async([this, folder = m_host.monitoredPath(), known = m_host.knownFiles(),
                       sourceApp = frontmostApplicationName(), generation = m_host.generation(),
                       loadsBefore = m_loadsSubmitted, epoch = m_walkEpoch] {
        Changes changes = walk(folder, known, sourceApp, generation);
        runOnThreadOf(m_host.context(), [this, folder, generation, loadsBefore, epoch, changes = std::move(changes)] {
            walkEnded(folder, generation, loadsBefore, epoch, changes);
        });
    });
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

void ChangeScanner::watch(const QStringList& directories)
{
    m_treeWatcher.watch(directories);
    m_noticesReliable = !directories.isEmpty() && m_hasReliableNotices(directories.first());
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
                                           const std::optional<QString>& sourceApp, quint64 generation)
{
    Changes changes;
    if (m_isShuttingDown)
        return changes;
    FolderWalker::Result listing = m_walk(folder, SupportedFiles::extensions());
    QSet<QString> seen;
    seen.reserve(listing.files.size());
    for (const QString& path : std::as_const(listing.files)) {
        seen.insert(path);
        if (!isInside(path, folder) || known.contains(path) || m_isShuttingDown || m_host.generation() != generation)
            continue;
        changes.added.append(recordForNewPath(path, sourceApp));
    }
    // A folder that cannot be read now (an unmounted drive, a changed
    // permission) says nothing about its files: they stay until a walk can
    // read it and finds them gone.
    const auto isUnknown = [&listing](const QString& path) {
        return std::any_of(listing.unreadable.cbegin(), listing.unreadable.cend(),
                           [&path](const QString& folder) { return isInside(path, folder); });
    };
    for (const QString& path : known) {
        if (!seen.contains(path) && !isUnknown(path))
            changes.deleted.insert(path);
    }
    changes.directories = std::move(listing.directories);
    return changes;
}

// A path the store still holds (a row left behind) keeps its row, and takes
// the frontmost application only when it recorded none.
Screenshot ChangeScanner::recordForNewPath(const QString& path, const std::optional<QString>& sourceApp)
{
    std::optional<Screenshot> stored = m_store.fetchByPath(path);
    if (!stored)
        return Screenshot(path, QUuid::createUuid(), sourceApp);
    if (sourceApp && !stored->sourceApp)
        stored->sourceApp = sourceApp;
    return std::move(*stored);
}

void ChangeScanner::walkEnded(const QString& folder, quint64 generation, quint64 loadsBefore, quint64 epoch,
                              const Changes& changes)
{
    --m_walksInFlight;
    if (epoch != m_walkEpoch) {
        // Paused meanwhile: the tool's moves may not be in the store yet.
        m_isWalkRequested = true;
        return;
    }
    const bool current = m_host.isCurrent(folder, generation);
    // Changes of a walk that a load overtook are left to that load, which
    // lists the folder afresh.
    if (current && loadsBefore == m_loadsSubmitted && (!changes.deleted.isEmpty() || !changes.added.isEmpty()))
        m_host.applyScanChanges(changes.deleted, changes.added);
    updateLastScanDate();
    if (current)
        watch(changes.directories);
}
