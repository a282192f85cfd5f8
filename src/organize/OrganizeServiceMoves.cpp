#include "organize/OrganizeService.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/PathUtils.h"
#include "core/Uuid.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FileOps.h"

#include <QSet>
#include <QThread>
#include <QTimeZone>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
// The files keep whole seconds; so does what the run hands back.
QDateTime wholeSecondsNow()
{
    return QDateTime::fromSecsSinceEpoch(Clock::now().toSecsSinceEpoch(), Qt::UTC);
}

QString positionText(int position, int count)
{
    return u"["_s + QString::number(position) + u'/' + QString::number(count) + u"] "_s;
}

SafeFile::Outcome makeFolderIfMissing(FileOps& fileOps, const QString& folder)
{
    return SafeFile::isTaken(folder) ? SafeFile::Outcome::done() : fileOps.makeFolder(folder);
}

// Why a run stopped before its next move, `moved` of `count` files in: what
// became of the user's files, and what to do.
QString undoRecordRefusedText(int moved, int count)
{
    static const QString why = u"the record that lets you undo the moves could not be saved."_s;
    static const QString remedy = u"Make sure the disk has free space, then try again."_s;
    if (moved == 0)
        return u"No files were moved: "_s + why + u' ' + remedy;
    return u"The run stopped after %1 of %2 files: "_s.arg(moved).arg(count) + why +
           u" The files moved so far can be put back with Undo in the history. "_s + remedy;
}

// Whether the store's row for `id` records `path`.
bool rowPointsAt(DatabaseManager& store, const QString& path, const QString& id)
{
    const std::optional<Screenshot> row = store.fetchByPath(path);
    return row && uuidText(row->id) == id;
}
} // namespace

// The monitor's polling walk would otherwise see a moved file before its row
// follows and list it twice. The pause belongs to the monitor's (GUI) thread:
// a caller that runs the service on a worker pauses around the job itself, so
// that the worker never waits for the GUI thread.
class OrganizeService::PollingPause
{
public:
    explicit PollingPause(ScreenshotMonitor& monitor)
        : m_monitor(QThread::currentThread() == monitor.thread() ? &monitor : nullptr)
    {
        if (m_monitor)
            m_monitor->pausePolling();
    }
    ~PollingPause()
    {
        if (m_monitor)
            m_monitor->resumePolling();
    }
    PollingPause(const PollingPause&) = delete;
    PollingPause& operator=(const PollingPause&) = delete;

private:
    ScreenshotMonitor* m_monitor;
};

struct OrganizeService::MoveRun
{
    const OrganizationPlan& plan;
    QString base;
    OrganizationResult result;
    QList<UndoOperation> moves;
    // Targets chosen for the files about to move, written to the undo file
    // before they move (so that a run cut short can always be undone).
    QHash<int, QString> upcoming;
    // The moves whose rows followed, for the monitor's list.
    ScreenshotMonitor::FileChanges changes;
};

OrganizeService::OrganizationResult OrganizeService::organize(const OrganizationPlan& plan, const Progress& progress,
                                                              std::stop_token stop)
{
    Console::printLine(u"🚀 ORGANIZE: Starting organization..."_s);
    Console::printLine(u"   → Total files: "_s + QString::number(plan.totalFiles));
    PollingPause pause(m_monitor);

    MoveRun run{plan, withoutTrailingSlashes(plan.baseURL.toLocalFile()).toString(), {}, {}, {}, {}};
    const QString targetBase = plan.targetBaseURL.toLocalFile();
    if (const SafeFile::Outcome made = m_fileOps.makeFolder(targetBase); !made) {
        Console::printLine(u"❌ ORGANIZE: Failed to create base folder: "_s + made.error);
        run.result.success = false;
        if (!plan.filesToMove.isEmpty())
            run.result.failedFiles.append({plan.filesToMove.first(), made.error});
        return run.result;
    }
    Console::printLine(u"   → Created base folder: "_s + targetBase);

    const int count = int(plan.filesToMove.size());
    for (int index = 0; index < count; ++index) {
        if (stop.stop_requested()) {
            run.result.stopReason = u"The run stopped because the application quit. Files moved before that can be "_s
                                    u"undone."_s;
            Console::printLine(u"⏹️ ORGANIZE: Stopped after "_s + QString::number(index) + u" of "_s +
                               QString::number(count) + u" files: the application is quitting"_s);
            break;
        }
        // No file moves that the undo file does not cover.
        if (index % undoCheckpointInterval == 0 && !reserveTargets(run, index)) {
            run.result.stopReason = undoRecordRefusedText(index, count);
            Console::printLine(u"❌ ORGANIZE: Stopped after "_s + QString::number(index) + u" of "_s +
                               QString::number(count) + u" files: the undo data could not be saved"_s);
            break;
        }
        moveOne(run, plan.filesToMove[index], index);
        if (progress)
            progress(index + 1, count);
    }
    m_monitor.takeFileChanges(run.changes);

    if (!run.moves.isEmpty()) {
        run.result.undoData = UndoData{wholeSecondsNow(), plan.baseURL, run.moves};
        saveUndoData(*run.result.undoData);
    }
    run.result.success = run.result.failedFiles.isEmpty() && run.result.stopReason.isEmpty();
    Console::printLine(u"✅ ORGANIZE: Complete"_s);
    Console::printLine(u"   → Moved: "_s + QString::number(run.result.movedFiles.size()));
    Console::printLine(u"   → Failed: "_s + QString::number(run.result.failedFiles.size()));
    if (!run.result.success)
        Console::printLine(u"⚠️ ORGANIZE: Some files failed, but undo data saved for successful moves"_s);
    return run.result;
}

bool OrganizeService::reserveTargets(MoveRun& run, int first)
{
    run.upcoming.clear();
    QSet<QString> claimed;
    QList<UndoOperation> journal = run.moves;
    const int end = std::min<int>(first + undoCheckpointInterval, int(run.plan.filesToMove.size()));
    for (int index = first; index < end; ++index) {
        const FileMoveOperation& entry = run.plan.filesToMove[index];
        const QString target = resolveTargetConflict(entry.targetURL, entry.originalURL, claimed).toLocalFile();
        claimed.insert(target);
        run.upcoming.insert(index, target);
        journal.append({entry.screenshotId, target, entry.originalURL.toLocalFile()});
    }
    // Undoing a file that never moved finds it where it was and leaves it.
    return saveUndoData(UndoData{wholeSecondsNow(), run.plan.baseURL, journal});
}

void OrganizeService::moveOne(MoveRun& run, const FileMoveOperation& entry, int index)
{
    const int count = int(run.plan.filesToMove.size());
    const QString source = entry.originalURL.toLocalFile();
    const QString target = run.upcoming.value(index);
    const auto fail = [&](const QString& error) {
        run.result.failedFiles.append({entry, error});
        Console::printLine(u"   ❌ "_s + positionText(index + 1, count) + u"Failed: "_s +
                           lastPathComponent(source).toString() + u" - "_s + error);
    };
    // Checked before any folder is made: a target folder that leads out of
    // the monitored folder must not get year or month folders out there.
    for (const QString& path : {source, target})
        if (SafeFile::Outcome inside = SafeFile::checkInside(path, run.base); !inside)
            return fail(inside.error);
    if (SafeFile::Outcome folder = makeFolderIfMissing(m_fileOps, parentFolder(target).toString()); !folder)
        return fail(folder.error);
    const SafeFile::Outcome moved = m_fileOps.move(source, target);
    if (!moved)
        return fail(moved.error);
    if (!moved.warning.isEmpty())
        Console::printLine(u"   ⚠️ "_s + positionText(index + 1, count) + moved.warning);
    if (!m_store.updateFilePath(target, entry.screenshotId)) {
        // The store would name a file that is not there: put it back.
        if (SafeFile::Outcome back = m_fileOps.move(target, source); !back) {
            // It stays moved; the undo data lets it be brought back later.
            run.moves.append({entry.screenshotId, target, source});
            return fail(u"The store did not take the new path, and moving the file back failed: "_s + back.error);
        }
        return fail(u"The store did not take the new path; the file was moved back."_s);
    }
    run.moves.append({entry.screenshotId, target, source});
    run.changes.moved.append({source, target});
    run.result.movedFiles.append(entry);
    Console::printLine(u"   ✅ "_s + positionText(index + 1, count) + u"Moved: "_s +
                       lastPathComponent(source).toString());
}

bool OrganizeService::undo(const UndoData& undoData, QList<UndoOperation>* remaining, std::stop_token stop)
{
    Console::printLine(u"↩️ ORGANIZE: Undoing organization..."_s);
    const int count = int(undoData.operations.size());
    Console::printLine(u"   → Operations to undo: "_s + QString::number(count));
    // A kill between a file's move back and its row must not leave the row
    // naming the empty place: the next start settles it from this record.
    if (!recordUndoUnderWay(undoData)) {
        Console::printLine(u"❌ ORGANIZE: Undo not started: it could not be recorded first"_s);
        if (remaining)
            *remaining = undoData.operations;
        return false;
    }
    PollingPause pause(m_monitor);
    int restored = 0;
    int tried = 0;
    QList<UndoOperation> left;
    ScreenshotMonitor::FileChanges changes;
    for (; tried < count && !stop.stop_requested(); ++tried) {
        const UndoOperation& operation = undoData.operations[tried];
        if (undoOne(operation, tried + 1, count, changes))
            ++restored;
        else
            left.append(operation);
    }
    // Those not tried stay in the history, to be undone another time.
    left.append(undoData.operations.mid(tried));
    m_monitor.takeFileChanges(changes);
    clearUndoUnderWay();
    removeEmptyLayoutFolders(undoData);
    const int failed = tried - restored;
    if (tried < count)
        Console::printLine(u"⏹️ ORGANIZE: Undo stopped after "_s + QString::number(tried) + u" of "_s +
                           QString::number(count) + u" files: the application is quitting"_s);
    else
        Console::printLine(failed == 0 ? u"✅ ORGANIZE: Undo complete"_s
                                       : u"⚠️ ORGANIZE: Undo completed with errors"_s);
    Console::printLine(u"   → Restored: "_s + QString::number(restored));
    Console::printLine(u"   → Failed: "_s + QString::number(failed));
    if (!left.isEmpty()) {
        Console::printLine(failed > 0 ? u"⚠️ ORGANIZE: Undo data preserved (some files failed - can retry)"_s
                                      : u"⚠️ ORGANIZE: Undo data preserved (the rest can be undone later)"_s);
    } else {
        clearUndoData();
        Console::printLine(u"🗑️ ORGANIZE: Undo data cleared (all files restored)"_s);
    }
    if (remaining)
        *remaining = left;
    return left.isEmpty();
}

// The year and month folders (and GLIMMERDECK itself) that the undone moves
// leave empty go too; a folder that still holds anything, a file the user
// put there or one not yet restored, stays.
void OrganizeService::removeEmptyLayoutFolders(const UndoData& undoData)
{
    const QString base = withoutTrailingSlashes(undoData.baseURL.toLocalFile()).toString();
    if (base.isEmpty())
        return;
    const QString layoutRoot = base + u'/' + targetFolderName;
    QSet<QString> candidates;
    for (const UndoOperation& operation : undoData.operations)
        for (QString folder = parentFolder(operation.newPath).toString(); isInside(folder, layoutRoot);
             folder = parentFolder(folder).toString())
            candidates.insert(folder);
    // Deepest first, so that a folder is tried after the folders inside it.
    QStringList folders(candidates.cbegin(), candidates.cend());
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() != b.size() ? a.size() > b.size() : a < b; });
    int removed = 0;
    for (const QString& folder : std::as_const(folders))
        removed += SafeFile::removeEmptyFolder(folder).ok() ? 1 : 0;
    if (removed > 0)
        Console::printLine(u"   → Removed empty folders: "_s + QString::number(removed));
}

bool OrganizeService::undoOne(const UndoOperation& operation, int position, int count,
                              ScreenshotMonitor::FileChanges& changes)
{
    const auto fail = [&](const QString& error) {
        Console::printLine(u"   ❌ "_s + positionText(position, count) + u"Failed to restore: "_s + error);
        return false;
    };
    const auto restoredLine = [&] {
        Console::printLine(u"   ✅ "_s + positionText(position, count) + u"Restored: "_s +
                           lastPathComponent(operation.originalPath).toString());
        return true;
    };
    const bool fileAtNew = SafeFile::stampOf(operation.newPath).has_value();
    const bool rowAtNew = fileAtNew && rowPointsAt(m_store, operation.newPath, operation.screenshotId);
    const bool rowAtOriginal = !rowAtNew && rowPointsAt(m_store, operation.originalPath, operation.screenshotId);
    if (rowAtOriginal && SafeFile::stampOf(operation.originalPath))
        return restoredLine(); // never moved, or restored before: whatever is at the new place stays
    // The file at the new place must be the one this run moved there: its
    // row says so, or a move was cut short before the row followed.
    if (!rowAtNew && !(rowAtOriginal && fileAtNew && !SafeFile::isTaken(operation.originalPath)))
        return fail(u"The file at "_s + operation.newPath + u" is not the one that was moved there."_s);
    if (SafeFile::Outcome folder = makeFolderIfMissing(m_fileOps, parentFolder(operation.originalPath).toString());
        !folder)
        return fail(folder.error);
    if (SafeFile::Outcome moved = m_fileOps.move(operation.newPath, operation.originalPath); !moved)
        return fail(moved.error);
    if (rowAtNew && !m_store.updateFilePath(operation.originalPath, operation.screenshotId)) {
        if (SafeFile::Outcome back = m_fileOps.move(operation.originalPath, operation.newPath); !back)
            return fail(u"The store did not take the path, and moving the file back failed: "_s + back.error);
        return fail(u"The store did not take the path; the file was left where it was."_s);
    }
    changes.moved.append({operation.newPath, operation.originalPath});
    return restoredLine();
}

// The undo file describes the latest run. While that run's history entry
// is rewritten, the file is rewritten with it: left as it was, the next
// start would take the run for an interrupted one and record its files a
// second time.
void OrganizeService::keepUndoFileInStep(const UndoData& entryBefore, const UndoData& entryNow)
{
    if (loadUndoData() != entryBefore)
        return;
    if (entryNow.operations.isEmpty())
        clearUndoData();
    else
        saveUndoData(entryNow);
}

bool OrganizeService::entriesLieInside(const QList<HistoryOperation>& entries, const QString& monitoredFolder) const
{
    for (const HistoryOperation& entry : entries) {
        for (const UndoOperation& operation : entry.undoData.operations) {
            for (const QString& path : {operation.originalPath, operation.newPath}) {
                if (isInside(path, monitoredFolder) && path != monitoredFolder)
                    continue;
                Console::printLine(u"❌ ORGANIZE: Directory mismatch!"_s);
                Console::printLine(u"   → File from: "_s + path);
                Console::printLine(u"   → Current monitored: "_s + monitoredFolder);
                Console::printLine(u"   → Cannot restore checkpoint from different directory"_s);
                return false;
            }
        }
    }
    return true;
}

bool OrganizeService::undoOperation(const QUuid& id, const QString& monitoredFolder, std::stop_token stop)
{
    Console::printLine(u"🔄 ORGANIZE: Starting undo for operation "_s + uuidText(id));
    OrganizationHistory history = loadHistory();
    const auto found = std::find_if(history.operations.cbegin(), history.operations.cend(),
                                    [&id](const HistoryOperation& entry) { return entry.id == id; });
    if (found == history.operations.cend()) {
        Console::printLine(u"❌ ORGANIZE: Operation not found in history"_s);
        return false;
    }
    const int selected = int(found - history.operations.cbegin());
    if (monitoredFolder.isEmpty()) {
        Console::printLine(u"❌ ORGANIZE: No monitored folder set"_s);
        return false;
    }
    if (!entriesLieInside(history.operations.mid(0, selected + 1), monitoredFolder))
        return false;
    if (selected > 0)
        Console::printLine(u"⚠️ ORGANIZE: Cascade undo - undoing "_s + QString::number(selected + 1) +
                           u" operations"_s);

    PollingPause pause(m_monitor);
    for (int step = 0; step <= selected; ++step) {
        HistoryOperation& newest = history.operations.first();
        QList<UndoOperation> remaining;
        if (!undo(newest.undoData, &remaining, stop)) {
            // A retry carries on with what is still to undo.
            const UndoData before = newest.undoData;
            newest.undoData.operations = remaining;
            newest.moveCount = remaining.size();
            saveHistory(history);
            keepUndoFileInStep(before, newest.undoData);
            Console::printLine(u"❌ ORGANIZE: Cascade undo stopped at operation "_s + QString::number(step));
            return false;
        }
        history.operations.removeFirst();
        saveHistory(history);
    }
    Console::printLine(u"✅ ORGANIZE: Successfully undone "_s + QString::number(selected + 1) + u" operation(s)"_s);
    return true;
}
