#include "organize/OrganizeService.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/DateText.h"
#include "core/PathUtils.h"
#include "core/Uuid.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 retentionSeconds = 2'592'000; // as long as history entries are kept

bool rowPointsAt(DatabaseManager& store, const QString& path, const QString& id)
{
    const std::optional<Screenshot> row = store.fetchByPath(path);
    return row && uuidText(row->id) == id;
}

// The hidden copies that a move across file systems stages beside its target
// (".<name>.<12 hex digits>.part"): a kill mid-copy leaves one behind.
void removeStagedCopies(FileOps& fileOps, const QString& target)
{
    const QFileInfo info(target);
    const QRegularExpression ours(u"^\\."_s + QRegularExpression::escape(info.fileName()) +
                                  u"\\.[0-9a-f]{12}\\.part$"_s);
    const QStringList names = QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!ours.match(name).hasMatch())
            continue;
        const QString path = info.absolutePath() + u'/' + name;
        if (SafeFile::Outcome removed = fileOps.remove(path); removed)
            Console::printLine(u"🧹 ORGANIZE: Removed an unfinished copy: "_s + path);
    }
}
} // namespace

void OrganizeService::settleInterruptedUndo()
{
    const std::optional<UndoData> undoing = loadUndoUnderWay();
    if (!undoing)
        return;
    ScreenshotMonitor::FileChanges changes;
    bool unsettled = false;
    for (const UndoOperation& operation : undoing->operations) {
        removeStagedCopies(m_fileOps, operation.originalPath);
        // Moved back, its row still at the place it left.
        if (SafeFile::isTaken(operation.newPath) || !SafeFile::stampOf(operation.originalPath) ||
            !rowPointsAt(m_store, operation.newPath, operation.screenshotId))
            continue;
        if (!m_store.updateFilePath(operation.originalPath, operation.screenshotId)) {
            unsettled = true; // the record stays for the next start
            continue;
        }
        changes.moved.append({operation.newPath, operation.originalPath});
    }
    m_monitor.takeFileChanges(changes);
    Console::printLine(u"🩹 ORGANIZE: Settled an interrupted undo: "_s + QString::number(changes.moved.size()) +
                       u" row(s) followed their files back"_s);
    if (!unsettled)
        clearUndoUnderWay();
}

std::optional<OrganizeService::HistoryOperation> OrganizeService::recoverInterruptedRun()
{
    settleInterruptedUndo();
    const std::optional<UndoData> journal = loadUndoData();
    if (!journal)
        return std::nullopt;
    OrganizationHistory history = loadHistory();
    for (const HistoryOperation& entry : std::as_const(history.operations))
        if (entry.undoData == *journal)
            return std::nullopt; // the run ended and was recorded
    if (journal->timestamp < Clock::now().addSecs(-retentionSeconds)) {
        clearUndoData();
        return std::nullopt;
    }

    Console::printLine(u"🩹 ORGANIZE: Recovering an interrupted run of "_s +
                       QString::number(journal->operations.size()) + u" planned moves"_s);
    // Moves an entry already holds are undone from that entry; a second
    // entry for them would undo them twice.
    QSet<std::pair<QString, QString>> recorded;
    for (const HistoryOperation& entry : std::as_const(history.operations))
        for (const UndoOperation& operation : entry.undoData.operations)
            recorded.insert({operation.screenshotId, operation.newPath});
    QList<UndoOperation> moved;
    ScreenshotMonitor::FileChanges changes;
    int rowsFollowed = 0;
    for (const UndoOperation& operation : journal->operations) {
        removeStagedCopies(m_fileOps, operation.newPath);
        if (recorded.contains({operation.screenshotId, operation.newPath}))
            continue;
        // Only a file the disk shows moved (and nothing back at its old
        // place) is the run's; the rest never moved.
        if (!SafeFile::stampOf(operation.newPath) || SafeFile::isTaken(operation.originalPath))
            continue;
        if (!rowPointsAt(m_store, operation.newPath, operation.screenshotId)) {
            // Killed between the move and its row: the row (id, tags, notes)
            // follows now, and a row made meanwhile for the new path goes.
            if (!m_store.updateFilePath(operation.newPath, operation.screenshotId))
                continue;
            ++rowsFollowed;
            changes.moved.append({operation.originalPath, operation.newPath});
        }
        moved.append(operation);
    }
    m_monitor.takeFileChanges(changes);
    if (moved.isEmpty()) {
        clearUndoData();
        Console::printLine(u"   → No file had moved"_s);
        return std::nullopt;
    }

    const QString folder = journal->baseURL.toLocalFile();
    HistoryOperation entry{QUuid::createUuid(),
                           journal->timestamp,
                           DateText::mediumDateAndTime(journal->timestamp) + u": Organized "_s +
                               QString::number(moved.size()) + u" file(s) from "_s +
                               lastPathComponent(folder).toString() + u" (interrupted run)"_s,
                           moved.size(),
                           {},
                           UndoData{journal->timestamp, journal->baseURL, moved}};
    history.add(entry);
    // The undo file stays until the entry is safely written: the next start
    // tries again.
    if (!writeHistory(history))
        return std::nullopt;
    clearUndoData();
    Console::printLine(u"   → "_s + QString::number(moved.size()) + u" moved file(s) can be undone; "_s +
                       QString::number(rowsFollowed) + u" row(s) followed their files"_s);
    return entry;
}
