// The change check of every polling tick: which files appeared in or vanished
// from the folder since it was last looked at. Change notices keep it cheap:
// a tree that reported no change is walked only now and then, as a safety net.

#include "ingest/ScreenshotMonitor.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/PathUtils.h"
#include "ingest/FolderWalker.h"

using namespace Qt::StringLiterals;

void ScreenshotMonitor::setFrontmostApplicationSource(std::function<std::optional<QString>()> source)
{
    m_frontmostApplicationSource = std::move(source);
}

void ScreenshotMonitor::setPollingInterval(int milliseconds)
{
    m_timer.setInterval(milliseconds);
}

std::optional<QString> ScreenshotMonitor::frontmostApplicationName()
{
    return m_frontmostApplicationSource ? m_frontmostApplicationSource() : m_frontmostApplication.name();
}

void ScreenshotMonitor::checkForChanges()
{
    if (!m_hasFileAccess)
        return;
    if (m_pollingPauses > 0) {
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
    m_monitorQueue.async([this, folder = m_monitoredPath, known = m_knownFiles, sourceApp = frontmostApplicationName(),
                          generation = quint64(m_generation), loadsBefore = m_loadsSubmitted, epoch = m_walkEpoch] {
        scanFolderForChanges(folder, supportedExtensions(), known, sourceApp, generation, loadsBefore, epoch);
    });
}

void ScreenshotMonitor::pausePolling()
{
    assertGuiThread();
    ++m_pollingPauses;
    ++m_walkEpoch;
    m_timer.stop();
    m_monitorQueue.sync([] {});
}

void ScreenshotMonitor::resumePolling()
{
    assertGuiThread();
    if (m_pollingPauses == 0 || --m_pollingPauses > 0)
        return;
    m_isWalkRequested = true;
    if (m_isMonitoringActive && m_hasFileAccess)
        m_timer.start();
}

void ScreenshotMonitor::forceChangeCheck()
{
    m_isWalkRequested = true;
    checkForChanges();
}

bool ScreenshotMonitor::shouldWalkNow()
{
    const bool changed = m_treeWatcher.takeChange();
    if (changed || m_isWalkRequested || !m_treeWatcher.isComplete() || ++m_quietTicks >= safetyWalkEveryTicks) {
        m_quietTicks = 0;
        m_isWalkRequested = false;
        return true;
    }
    return false;
}

void ScreenshotMonitor::scanFolderForChanges(const QString& folder, const QStringList& extensions,
                                             const QSet<QString>& known, const std::optional<QString>& sourceApp,
                                             quint64 generation, quint64 loadsBefore, quint64 epoch)
{
    if (m_isShuttingDown)
        return;
    FolderWalker::Result walk = FolderWalker::walk(folder, extensions);
    QSet<QString> seen;
    seen.reserve(walk.files.size());
    QList<Screenshot> added;
    for (const QString& path : std::as_const(walk.files)) {
        seen.insert(path);
        if (!isInside(path, folder) || known.contains(path) || isWorkAbandoned(generation))
            continue;
        added.append(recordForNewPath(path, sourceApp));
    }
    QSet<QString> deleted;
    for (const QString& path : known) {
        if (!seen.contains(path))
            deleted.insert(path);
    }

    runOnThreadOf(this, [this, folder, generation, loadsBefore, epoch, deleted, added,
                         directories = std::move(walk.directories)] {
        --m_walksInFlight;
        if (epoch != m_walkEpoch) {
            m_isWalkRequested = true;
            return;
        }
        if (!deleted.isEmpty() || !added.isEmpty())
            applyScanChanges(folder, generation, loadsBefore, deleted, added);
        updateLastScanDate();
        if (isCurrent(folder, generation))
            m_treeWatcher.watch(directories);
    });
}

// A path the store still holds (a row left behind) keeps its row, and takes
// the frontmost application only when it recorded none.
Screenshot ScreenshotMonitor::recordForNewPath(const QString& path, const std::optional<QString>& sourceApp)
{
    std::optional<Screenshot> stored = database().fetchByPath(path);
    if (!stored)
        return Screenshot(path, QUuid::createUuid(), sourceApp);
    if (sourceApp && !stored->sourceApp)
        stored->sourceApp = sourceApp;
    return std::move(*stored);
}

void ScreenshotMonitor::applyScanChanges(const QString& folder, quint64 generation, quint64 loadsBefore,
                                         const QSet<QString>& deleted, const QList<Screenshot>& added)
{
    if (!isCurrent(folder, generation) || m_loadsSubmitted != loadsBefore)
        return;
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
    listNewestFirst(fresh);
    for (const Screenshot& record : std::as_const(fresh)) {
        database().upsert(record);
        Q_EMIT newScreenshot(record);
    }
    startBatchProcessing(fresh, folder);
}

void ScreenshotMonitor::updateLastScanDate()
{
    m_lastScanDate = Clock::now();
}
