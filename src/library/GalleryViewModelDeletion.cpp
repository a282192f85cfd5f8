// Deletion of the selected screenshots: files to the Trash, rows out of the
// store, and out of the list only what really left the disk.

#include "library/GalleryViewModel.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/Settings.h"
#include "core/Uuid.h"
#include "platform/FolderAccess.h"
#include "platform/Trash.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
QString threadDescription()
{
    QString text;
    QDebug(&text).nospace() << QThread::currentThread();
    return isGuiThread() ? text + u" (main)"_s : text;
}

QString flag(bool value)
{
    return value ? u"true"_s : u"false"_s;
}

// Access to the monitored folder for the length of one deletion: the
// monitor's own when it holds it, else started here from the bookmark.
class FolderAccessScope
{
public:
    FolderAccessScope(const ScreenshotMonitor& monitor, Settings& settings)
    {
        if (!monitor.monitoredURL().isEmpty()) {
            Console::printLine(u"✅ DELETE: Using existing security-scoped URL: "_s + monitor.monitoredURL());
            return;
        }
        Console::printLine(u"⚠️ DELETE: No security-scoped URL available, attempting to use bookmark"_s);
        const QByteArray bookmark = settings.value(ScreenshotMonitor::folderBookmarkKey).toByteArray();
        if (bookmark.isEmpty())
            return;
        FolderAccess::Error error;
        const auto resolved = FolderAccess::resolveBookmark(bookmark, &error);
        if (!resolved) {
            Console::printLine(u"❌ DELETE: Failed to resolve bookmark: "_s + error.description);
            return;
        }
        if (resolved->isStale || !FolderAccess::startAccessing(resolved->path)) {
            Console::printLine(
                u"❌ DELETE: Failed to access security-scoped resource (stale: %1)"_s.arg(flag(resolved->isStale)));
            return;
        }
        Console::printLine(u"✅ DELETE: Started accessing security-scoped resource: "_s + resolved->path);
        m_startedPath = resolved->path;
    }

    ~FolderAccessScope()
    {
        if (m_startedPath.isEmpty())
            return;
        FolderAccess::stopAccessing(m_startedPath);
        Console::printLine(u"🔒 DELETE: Stopped accessing security-scoped resource"_s);
    }

    FolderAccessScope(const FolderAccessScope&) = delete;
    FolderAccessScope& operator=(const FolderAccessScope&) = delete;

private:
    QString m_startedPath;
};

// The selection in list order (ids not in the list last), so that the
// console and the error list read like the grid.
QList<QUuid> orderedSelection(const QSet<QUuid>& selected, const QHash<QUuid, qsizetype>& indexOf)
{
    QList<QUuid> ids(selected.cbegin(), selected.cend());
    const auto position = [&indexOf](const QUuid& id) { return indexOf.value(id, indexOf.size()); };
    std::stable_sort(ids.begin(), ids.end(),
                     [&position](const QUuid& a, const QUuid& b) { return position(a) < position(b); });
    return ids;
}

void printSummary(const GalleryViewModel::DeletionResult& result, qsizetype total, const QElapsedTimer& timer)
{
    Console::printLine(u"✅ DELETE: Completed in %1s"_s.arg(double(timer.nsecsElapsed()) / 1e9, 0, 'f', 3));
    Console::printLine(u"   → Total selected: "_s + QString::number(total));
    Console::printLine(u"   → Successfully deleted: "_s + QString::number(result.deleted));
    Console::printLine(u"   → Failed: "_s + QString::number(result.failed));
    if (!result.errors.isEmpty()) {
        Console::printLine(u"❌ DELETE: Errors encountered:"_s);
        for (qsizetype i = 0; i < result.errors.size(); ++i) {
            const auto& entry = result.errors.at(i);
            Console::printLine(u"   %1. %2: %3"_s.arg(i + 1).arg(entry.filename, entry.error));
        }
    }
    if (result.failed == 0)
        Console::printLine(u"🎉 DELETE: All files moved to Trash successfully!"_s);
    else if (result.deleted == 0)
        Console::printLine(u"💥 DELETE: All deletions failed - check file permissions and security settings"_s);
    else
        Console::printLine(
            u"⚠️ DELETE: Partial success - %1 deleted, %2 failed"_s.arg(result.deleted).arg(result.failed));
}
} // namespace

GalleryViewModel::DeletionResult GalleryViewModel::deleteSelected()
{
    SystemTrash trash;
    return deleteSelected(trash, DatabaseManager::shared(), Settings::shared());
}

GalleryViewModel::DeletionResult GalleryViewModel::deleteSelected(Trash& trash, DatabaseManager& database,
                                                                  Settings& settings)
{
    DeletionResult result;
    if (m_selectedIds.isEmpty()) {
        Console::printLine(u"⚠️ DELETE: No files selected"_s);
        return result;
    }
    QElapsedTimer timer;
    timer.start();

    QHash<QUuid, qsizetype> indexOf;
    indexOf.reserve(m_screenshots.size());
    for (qsizetype i = m_screenshots.size() - 1; i >= 0; --i) // the first of an id wins
        indexOf.insert(m_screenshots.at(i).id, i);
    const QList<QUuid> selection = orderedSelection(m_selectedIds, indexOf);
    const qsizetype total = selection.size();

    QStringList prefixes;
    for (const QUuid& id : selection)
        prefixes.append(uuidText(id).left(8));
    Console::printLine(u"🗑️ DELETE: Starting deletion of %1 file(s)"_s.arg(total));
    Console::printLine(u"   → Thread: "_s + threadDescription());
    Console::printLine(u"   → Selected IDs: "_s + prefixes.join(u", "_s));

    QSet<QUuid> removed;
    {
        const FolderAccessScope access(m_monitor, settings);
        for (qsizetype i = 0; i < total; ++i) {
            const QUuid& id = selection.at(i);
            const auto found = indexOf.constFind(id);
            if (found == indexOf.cend()) {
                Console::printLine(u"⚠️ DELETE: Screenshot with ID "_s + uuidText(id) +
                                   u" not found in screenshots array"_s);
                ++result.failed;
                continue;
            }
            const Screenshot& screenshot = m_screenshots.at(*found);
            Console::printLine(
                u"🗑️ DELETE [%1/%2]: Processing %3"_s.arg(i + 1).arg(total).arg(screenshot.filename));
            Console::printLine(u"   → File path: "_s + screenshot.filePath);
            Console::printLine(u"   → Using direct file URL: "_s + QUrl::fromLocalFile(screenshot.filePath).path());

            const bool exists = QFileInfo::exists(screenshot.filePath);
            Console::printLine(u"   → File exists: "_s + flag(exists));
            if (!exists) {
                Console::printLine(u"⚠️ DELETE: File does not exist, skipping deletion but will remove from DB"_s);
                database.deleteScreenshot(id);
                removed.insert(id);
                ++result.deleted;
                continue;
            }

            Console::printLine(u"   → Attempting delete..."_s);
            const Trash::Result moved = trash.moveToTrash(screenshot.filePath);
            if (!moved.ok) {
                Console::printLine(u"❌ DELETE: Failed to delete "_s + screenshot.filename);
                Console::printLine(u"   → Error: "_s + moved.error);
                result.errors.append({screenshot.filename, moved.error});
                ++result.failed;
                continue;
            }
            Console::printLine(u"✅ DELETE: Successfully moved to trash"_s);
            Console::printLine(u"   → Trash location: "_s +
                               (moved.trashedPath.isEmpty() ? u"unknown"_s : moved.trashedPath));
            Console::printLine(u"   → Removing from database..."_s);
            database.deleteScreenshot(id);
            Console::printLine(u"   → Database cleanup complete"_s);
            removed.insert(id);
            ++result.deleted;
        }
    }

    // Files that are still on disk keep their place in the list.
    Console::printLine(u"🔄 DELETE: Updating local screenshot array..."_s);
    const qsizetype before = m_screenshots.size();
    QList<Screenshot> remaining = m_screenshots;
    remaining.removeIf([&removed](const Screenshot& screenshot) { return removed.contains(screenshot.id); });
    const qsizetype after = remaining.size();
    setScreenshots(std::move(remaining));
    Console::printLine(u"   → Screenshots: %1 → %2 (removed %3)"_s.arg(before).arg(after).arg(before - after));

    setSelectedIds({});
    printSummary(result, total, timer);
    return result;
}
