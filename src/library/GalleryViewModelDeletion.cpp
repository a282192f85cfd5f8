// Deletion of the selected screenshots: files to the Trash, rows out of the
// store, and out of the list only what really left the disk.

#include "library/GalleryViewModel.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/Settings.h"
#include "core/ToolJobs.h"
#include "core/Uuid.h"
#include "core/Workers.h"
#include "ingest/FolderAccessController.h"
#include "platform/FolderAccess.h"
#include "platform/Trash.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
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
    FolderAccessScope(const QString& grantedFolder, const QByteArray& bookmark)
    {
        if (!grantedFolder.isEmpty()) {
            Console::printLine(u"✅ DELETE: Using existing security-scoped URL: "_s + grantedFolder);
            return;
        }
        Console::printLine(u"⚠️ DELETE: No security-scoped URL available, attempting to use bookmark"_s);
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

// One selected file as the worker sees it; absent when the id is not listed.
struct DeletionItem
{
    QUuid id;
    std::optional<Screenshot> screenshot;
};

struct DeletionOutcome
{
    GalleryViewModel::DeletionResult result;
    QSet<QUuid> removed;
};

DeletionOutcome deleteItems(const QList<DeletionItem>& items, Trash& trash, DatabaseManager& store)
{
    DeletionOutcome outcome;
    GalleryViewModel::DeletionResult& result = outcome.result;
    const qsizetype total = items.size();
    for (qsizetype i = 0; i < total; ++i) {
        const QUuid& id = items.at(i).id;
        if (!items.at(i).screenshot) {
            Console::printLine(u"⚠️ DELETE: Screenshot with ID "_s + uuidText(id) +
                               u" not found in screenshots array"_s);
            ++result.failed;
            continue;
        }
        const Screenshot& screenshot = *items.at(i).screenshot;
        Console::printLine(u"🗑️ DELETE [%1/%2]: Processing %3"_s.arg(i + 1).arg(total).arg(screenshot.filename));
        Console::printLine(u"   → File path: "_s + screenshot.filePath);
        Console::printLine(u"   → Using direct file URL: "_s + QUrl::fromLocalFile(screenshot.filePath).path());

        const bool exists = QFileInfo::exists(screenshot.filePath);
        Console::printLine(u"   → File exists: "_s + flag(exists));
        if (exists) {
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
        } else {
            // A tool may have moved or replaced the file (its row following)
            // while this deletion waited: that row belongs to a file that is
            // still there.
            if (const std::optional<Screenshot> row = store.fetchByPath(screenshot.filePath); !row || row->id != id) {
                Console::printLine(u"❌ DELETE: Failed to delete "_s + screenshot.filename);
                result.errors.append({screenshot.filename, u"It was moved or replaced meanwhile"_s});
                ++result.failed;
                continue;
            }
            Console::printLine(u"⚠️ DELETE: File does not exist, skipping deletion but will remove from DB"_s);
        }
        // The file has left the disk either way, so it leaves the list; it
        // counts as deleted only once its row is gone too (a row left behind
        // would come back as a card at the next load).
        outcome.removed.insert(id);
        if (!store.deleteScreenshot(id)) {
            result.errors.append({screenshot.filename, u"Its entry could not be removed from the library"_s});
            ++result.failed;
            continue;
        }
        if (exists)
            Console::printLine(u"   → Database cleanup complete"_s);
        ++result.deleted;
    }
    return outcome;
}

QList<GalleryViewModel::GallerySection> withoutIds(const QList<GalleryViewModel::GallerySection>& sections,
                                                   const QSet<QUuid>& ids)
{
    QList<GalleryViewModel::GallerySection> kept;
    for (GalleryViewModel::GallerySection section : sections) {
        section.screenshots.removeIf([&ids](const Screenshot& s) { return ids.contains(s.id); });
        if (!section.screenshots.isEmpty())
            kept.append(std::move(section));
    }
    return kept;
}
} // namespace

void GalleryViewModel::deleteSelected(std::function<void(const DeletionResult&)> done)
{
    assertGuiThread();
    if (m_selectedIds.isEmpty()) {
        Console::printLine(u"⚠️ DELETE: No files selected"_s);
        if (done)
            done({});
        return;
    }
    if (m_isDeleting) {
        // One deletion at a time; this one follows, without the files
        // already on their way to the Trash.
        QSet<QUuid> ids = m_selectedIds - m_deletingIds;
        for (const PendingDeletion& pending : std::as_const(m_pendingDeletions))
            ids -= pending.ids;
        Console::printLine(u"⏳ DELETE: Another deletion is running; %1 more file(s) will follow it"_s.arg(ids.size()));
        m_pendingDeletions.append({std::move(ids), std::move(done)});
        return;
    }
    startDeletion(m_selectedIds, std::move(done));
}

void GalleryViewModel::startDeletion(const QSet<QUuid>& ids, std::function<void(const DeletionResult&)> done)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();

    QHash<QUuid, qsizetype> indexOf;
    indexOf.reserve(m_screenshots.size());
    for (qsizetype i = m_screenshots.size() - 1; i >= 0; --i) // the first of an id wins
        indexOf.insert(m_screenshots.at(i).id, i);
    const QList<QUuid> selection = orderedSelection(ids, indexOf);

    QStringList prefixes;
    QList<DeletionItem> items;
    for (const QUuid& id : selection) {
        prefixes.append(uuidText(id).left(8));
        const auto found = indexOf.constFind(id);
        items.append({id, found == indexOf.cend() ? std::nullopt : std::optional(m_screenshots.at(*found))});
    }
    Console::printLine(u"🗑️ DELETE: Starting deletion of %1 file(s)"_s.arg(selection.size()));
    Console::printLine(u"   → Thread: "_s + threadDescription());
    Console::printLine(u"   → Selected IDs: "_s + prefixes.join(u", "_s));

    m_isDeleting = true;
    m_deletingIds = ids;
    const QString granted = library().grantedFolder();
    const QByteArray bookmark = m_services.settings.value(FolderAccessController::folderBookmarkKey).toByteArray();
    // Queued with the tools' jobs, which move and replace files: a deletion
    // never works from paths a tool is changing under it.
    ToolJobs::worker().start([this, self = QPointer(this), items, granted, bookmark, timer, done = std::move(done),
                              trash = &m_services.trash, store = &m_services.store]() mutable {
        DeletionOutcome outcome;
        {
            const FolderAccessScope access(granted, bookmark);
            outcome = deleteItems(items, *trash, *store);
        }
        runOnGuiThread([this, self, outcome = std::move(outcome), total = items.size(), timer, done] {
            if (!self)
                return;
            applyDeletion(outcome.removed);
            printSummary(outcome.result, total, *timer);
            Q_EMIT deletionFinished(outcome.result);
            if (done)
                done(outcome.result);
            startPendingDeletion();
        });
    });
}

void GalleryViewModel::startPendingDeletion()
{
    while (!m_isDeleting && !m_pendingDeletions.isEmpty()) {
        PendingDeletion next = m_pendingDeletions.takeFirst();
        if (!next.ids.isEmpty())
            startDeletion(next.ids, std::move(next.done));
        else if (next.done)
            next.done({}); // everything it asked for went with an earlier one
    }
}

// Files that are still on disk keep their place in the list; the sections
// lose the others at once, before the rebuild from the new list arrives.
// Only this deletion's ids leave the selection: one made meanwhile stays.
void GalleryViewModel::applyDeletion(const QSet<QUuid>& removed)
{
    assertGuiThread();
    m_isDeleting = false;
    const QSet<QUuid> asked = std::exchange(m_deletingIds, {});
    Console::printLine(u"🔄 DELETE: Updating local screenshot array..."_s);
    const qsizetype before = m_screenshots.size();
    QList<Screenshot> remaining = m_screenshots;
    remaining.removeIf([&removed](const Screenshot& screenshot) { return removed.contains(screenshot.id); });
    const qsizetype after = remaining.size();
    if (!removed.isEmpty())
        setSections(withoutIds(m_sections, removed));
    setScreenshots(std::move(remaining));
    Console::printLine(u"   → Screenshots: %1 → %2 (removed %3)"_s.arg(before).arg(after).arg(before - after));
    setSelectedIds(m_selectedIds - asked);
}
