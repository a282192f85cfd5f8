#include "duplicates/DuplicateFinderViewModel.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/ToolJobs.h"
#include "duplicates/DeletionJournal.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/Trash.h"

#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

#include <stop_token>

using namespace Qt::StringLiterals;

struct DuplicateFinderViewModel::DeletionRequest
{
    QList<QUuid> ids;
    QList<Screenshot> screenshots; // the monitor's list when the deletion was asked for
    QList<DuplicateGroup> groups;  // of the result then shown
    QString folder;                // the monitored folder
    std::stop_token stop;          // asked when the application quits
};

namespace {
const Screenshot* findById(const QList<Screenshot>& screenshots, const QUuid& id)
{
    for (const Screenshot& screenshot : screenshots) {
        if (screenshot.id == id)
            return &screenshot;
    }
    return nullptr;
}

const DuplicateFinderService::DuplicateGroup* groupOf(const QList<DuplicateFinderService::DuplicateGroup>& groups,
                                                      const QUuid& id)
{
    for (const auto& group : groups) {
        if (group.stampOf(id))
            return &group;
    }
    return nullptr;
}

// Whether the member's file still holds the group's content: unchanged since
// it was hashed, or changed in its dates only.
bool stillHoldsContent(const DuplicateFinderService::DuplicateGroup& group, const Screenshot& member)
{
    const auto now = SafeFile::stampOf(member.filePath);
    if (!now)
        return false;
    if (now == group.stampOf(member.id))
        return true;
    const auto digest = DuplicateFinderService::computeHash(member.filePath);
    return digest && digest->hash == group.hash;
}

void failedToDelete(const Screenshot& screenshot)
{
    Console::printLine(u"❌ Failed to delete: "_s + screenshot.filename);
}

// The member that takes a deleted copy's tags and notes: the newest of those
// the deletion leaves (the one a clean-up keeps), or none when it leaves none.
QUuid plannedKeeper(const DuplicateFinderService::DuplicateGroup& group, const QUuid& victim,
                    const QSet<QUuid>& leaving)
{
    const Screenshot* newest = nullptr;
    for (const Screenshot& member : group.screenshots) {
        if (member.id != victim && !leaving.contains(member.id) &&
            (!newest || member.dateCreated > newest->dateCreated))
            newest = &member;
    }
    return newest ? newest->id : QUuid();
}

// The copies that may stay in place of `victim`, the planned keeper first,
// then those the deletion leaves, then the others, each in group order.
QList<const Screenshot*> keeperCandidates(const DuplicateFinderService::DuplicateGroup& group, const QUuid& victim,
                                          const QUuid& planned, const QSet<QUuid>& leaving, const QSet<QUuid>& trashed)
{
    QList<const Screenshot*> candidates;
    for (const Screenshot& member : group.screenshots)
        if (member.id != victim && !trashed.contains(member.id))
            candidates.append(&member);
    const auto rank = [&](const Screenshot* member) {
        return member->id == planned ? 0 : leaving.contains(member->id) ? 2 : 1;
    };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const Screenshot* a, const Screenshot* b) { return rank(a) < rank(b); });
    return candidates;
}

// The keeper's record in the list shows the tags and notes it took.
void showUserData(ScreenshotMonitor& monitor, const QUuid& id, const DatabaseManager::UserData& data)
{
    QMetaObject::invokeMethod(
        &monitor,
        [&monitor, id, data] {
            for (const Screenshot& listed : monitor.screenshots()) {
                if (listed.id != id)
                    continue;
                Screenshot updated = listed;
                updated.customTags = data.customTags;
                updated.userNotes = data.notes;
                monitor.updateScreenshot(updated);
                return;
            }
        },
        Qt::QueuedConnection);
}
} // namespace

struct DuplicateFinderViewModel::DeletionContext
{
    ScreenshotMonitor& monitor;
    DatabaseManager& database;
    Trash& trash;
    DeletionJournal journal;
    mutable std::mutex trashedMutex;
    QSet<QUuid> trashed; // written by deletions on the worker

    QSet<QUuid> trashedIds() const
    {
        const std::lock_guard lock(trashedMutex);
        return trashed;
    }
};

DuplicateFinderViewModel::DuplicateFinderViewModel(ScreenshotMonitor& monitor, DatabaseManager& database, Trash& trash,
                                                   Workers::Pool& readers, QObject* parent)
    : QObject(parent)
    , m_monitor(monitor)
    , m_service(readers)
    , m_context(std::make_shared<DeletionContext>(monitor, database, trash, DeletionJournal(database)))
{}

DuplicateFinderViewModel::~DuplicateFinderViewModel()
{
    if (m_cancelAnalysis)
        m_cancelAnalysis->store(true);
}

QStringList DuplicateFinderViewModel::recoverInterruptedDeletion(DatabaseManager& database)
{
    return DeletionJournal(database).recover(database);
}

void DuplicateFinderViewModel::setPreviewingGroup(std::optional<DuplicateGroup> group)
{
    const bool same =
        group.has_value() == m_previewingGroup.has_value() && (!group || group->id == m_previewingGroup->id);
    m_previewingGroup = std::move(group);
    if (!same)
        emit previewingGroupChanged();
}

QSet<QUuid> DuplicateFinderViewModel::trashedIds() const
{
    return m_context->trashedIds();
}

void DuplicateFinderViewModel::analyze()
{
    setIsAnalyzing(true);
    setProgress({0, 0});
    if (m_cancelAnalysis)
        m_cancelAnalysis->store(true);
    m_cancelAnalysis = std::make_shared<std::atomic<bool>>(false);

    const quint64 generation = ++m_generation;
    // Reports travel by way of the monitor, which outlives this object, and
    // are dropped there once it is gone. Analyses wait for the tools' jobs
    // before them: files being moved would be hashed half-way.
    QPointer<DuplicateFinderViewModel> self(this);
    ToolJobs::worker().start([self, monitor = &m_monitor, context = m_context, service = m_service, generation,
                              screenshots = m_monitor.screenshots(), cancelled = m_cancelAnalysis, options = m_options,
                              stop = ToolJobs::stopToken()]() mutable {
        // Reading files for an answer nobody will see does not hold up quitting.
        const std::stop_callback quitting(stop, [cancelled] { cancelled->store(true); });
        if (cancelled->load())
            return;
        // A deletion asked for after this list was taken may have run first
        // on this worker: its files are gone and must not be read.
        const QSet<QUuid> trashed = context->trashedIds();
        screenshots.removeIf([&trashed](const Screenshot& screenshot) { return trashed.contains(screenshot.id); });
        const auto progress = [self, monitor, generation](int current, int total) {
            QMetaObject::invokeMethod(
                monitor,
                [self, generation, current, total] {
                    if (self && generation == self->m_generation)
                        self->setProgress({current, total});
                },
                Qt::QueuedConnection);
        };
        DuplicateAnalysisResult result = service.findDuplicates(screenshots, progress, options, cancelled.get());
        if (cancelled->load())
            return;
        QMetaObject::invokeMethod(
            monitor,
            [self, generation, result = std::move(result)]() mutable {
                if (self)
                    self->finishAnalysis(generation, std::move(result));
            },
            Qt::QueuedConnection);
    });
}

void DuplicateFinderViewModel::finishAnalysis(quint64 generation, DuplicateAnalysisResult result)
{
    if (generation != m_generation)
        return; // a newer analysis was asked for meanwhile
    m_result = std::move(result);
    emit resultChanged();
    setIsAnalyzing(false);
}

void DuplicateFinderViewModel::deleteDuplicates(const QList<QUuid>& ids)
{
    Console::printLine(u"🗑️ DUPLICATES: Deleting "_s + QString::number(ids.size()) + u" duplicate files"_s);
    // The analysis under way would describe files about to go; the deletion
    // starts a fresh one when it ends.
    if (m_cancelAnalysis) {
        m_cancelAnalysis->store(true);
        ++m_generation; // its late progress reports are dropped too
    }

    // A walk must not list a file between its move to the Trash and the
    // removal of its row.
    m_monitor.pausePolling();
    DeletionRequest request{ids, m_monitor.screenshots(), m_result ? m_result->groups : QList<DuplicateGroup>{},
                            m_monitor.monitoredPath(), ToolJobs::stopToken()};
    QPointer<DuplicateFinderViewModel> self(this);
    ToolJobs::worker().start([self, context = m_context, request = std::move(request)] {
        const DeletionReport report = runDeletion(*context, request);
        QMetaObject::invokeMethod(
            &context->monitor,
            [self, monitor = &context->monitor, report] {
                // The pause ends whether or not the screen is still there.
                monitor->resumePolling();
                if (self)
                    self->finishDeletion(report);
                else
                    monitor->startMonitoringAsync(false);
            },
            Qt::QueuedConnection);
    });
}

DuplicateFinderViewModel::DeletionReport DuplicateFinderViewModel::runDeletion(DeletionContext& context,
                                                                               const DeletionRequest& request)
{
    // Written down before any file goes: a kill between a file's move to the
    // Trash and the removal of its row is put right at the next start.
    const QSet<QUuid> requested(request.ids.cbegin(), request.ids.cend());
    QSet<QUuid> leaving = requested;
    leaving.unite(context.trashedIds());
    QList<DeletionJournal::Entry> planned;
    for (const QUuid& id : request.ids) {
        if (const Screenshot* victim = findById(request.screenshots, id)) {
            const DuplicateGroup* group = groupOf(request.groups, id);
            planned.append({id, victim->filePath, group ? plannedKeeper(*group, id, leaving) : QUuid()});
        }
    }
    DeletionReport report;
    if (!context.journal.write(planned)) {
        for (const DeletionJournal::Entry& entry : std::as_const(planned))
            report.notDeleted.append({QFileInfo(entry.path).fileName(), u"the deletion could not be recorded first"_s});
        Console::printLine(u"❌ DUPLICATES: Nothing deleted: the deletion could not be recorded first"_s);
        return report;
    }
    ScreenshotMonitor::FileChanges changes;
    QList<DeletionJournal::Entry> unsettled;
    for (const QUuid& id : request.ids) {
        // Quitting ends the deletion between two files; those not reached
        // stay where they are.
        if (request.stop.stop_requested()) {
            Console::printLine(u"⏹️ DUPLICATES: Deletion stopped: the application is quitting"_s);
            break;
        }
        const int rowsBefore = int(report.rowsRemaining.size());
        if (deleteOne(context, request, requested, id, planned, report)) {
            ++report.deleted;
            changes.removed.append(findById(request.screenshots, id)->filePath);
        } else if (report.rowsRemaining.size() > rowsBefore) {
            // The file is gone: the list follows the folder, the row waits
            // (its user data with it, for the copy named to take it).
            const QString path = findById(request.screenshots, id)->filePath;
            changes.removed.append(path);
            for (const DeletionJournal::Entry& entry : std::as_const(planned))
                if (entry.id == id)
                    unsettled.append(entry);
        }
    }
    (void)context.journal.write(unsettled);
    context.monitor.takeFileChanges(changes);
    Console::printLine(u"✅ Deleted "_s + QString::number(report.deleted) + u" duplicate files"_s);
    return report;
}

bool DuplicateFinderViewModel::deleteOne(DeletionContext& context, const DeletionRequest& request,
                                         const QSet<QUuid>& requested, const QUuid& id,
                                         QList<DeletionJournal::Entry>& planned, DeletionReport& report)
{
    const Screenshot* victim = findById(request.screenshots, id);
    if (!victim)
        return false;
    const auto notDeleted = [&](const QString& why) {
        failedToDelete(*victim);
        report.notDeleted.append({victim->filename, why});
        return false;
    };
    const DuplicateGroup* group = groupOf(request.groups, id);
    const QSet<QUuid> trashed = context.trashedIds();
    if (trashed.contains(id))
        return notDeleted(u"already in the Trash"_s);
    if (!SafeFile::checkInside(victim->filePath, request.folder))
        return notDeleted(u"outside the screenshots folder"_s);
    if (!group || !stillHoldsContent(*group, *victim))
        return notDeleted(u"changed since the scan"_s);

    const auto entry = std::find_if(planned.begin(), planned.end(),
                                    [&id](const DeletionJournal::Entry& each) { return each.id == id; });
    const Screenshot* keeper = nullptr;
    bool aCopyChanged = false;
    for (const Screenshot* member :
         keeperCandidates(*group, id, entry == planned.end() ? QUuid() : entry->keeperId, requested, trashed)) {
        if (stillHoldsContent(*group, *member)) {
            keeper = member;
            break;
        }
        aCopyChanged = true;
    }
    if (!keeper) {
        // A copy that no longer matches is as much a failure of this
        // deletion as a victim that no longer matches.
        if (aCopyChanged)
            return notDeleted(u"its other copies changed since the scan"_s);
        Console::printLine(u"⚠️ DUPLICATES: Kept "_s + victim->filename + u": no other copy of it would remain"_s);
        report.notDeleted.append({victim->filename, u"no other copy would remain"_s});
        return false;
    }

    // The journal names the copy that takes the user data, should the row
    // outlive the file's move.
    if (entry != planned.end() && entry->keeperId != keeper->id) {
        entry->keeperId = keeper->id;
        if (!context.journal.write(planned))
            return notDeleted(u"the deletion could not be recorded first"_s);
    }
    const Trash::Result moved = context.trash.moveToTrash(victim->filePath);
    if (!moved.ok)
        return notDeleted(u"refused by the Trash"_s);
    {
        // In the Trash now: never offered for deletion again.
        const std::lock_guard lock(context.trashedMutex);
        context.trashed.insert(id);
    }
    std::optional<DatabaseManager::UserData> keeperData;
    const bool rowRemoved = context.database.deleteCarryingUserData(id, keeper->id, &keeperData);
    if (keeperData)
        showUserData(context.monitor, keeper->id, *keeperData);
    if (!rowRemoved) {
        Console::printLine(u"⚠️ DUPLICATES: Moved "_s + victim->filename +
                           u" to the Trash, but its library entry could not be removed (tried again at the next "_s
                           u"start)"_s);
        report.rowsRemaining.append(victim->filename);
        return false;
    }
    return true;
}

void DuplicateFinderViewModel::finishDeletion(const DeletionReport& report)
{
    m_lastDeletion = report;
    emit deletionFinished(report.deleted);
    m_monitor.startMonitoringAsync(false);
    analyze();
}

void DuplicateFinderViewModel::autoDeleteKeepingNewest()
{
    if (!m_result)
        return;
    Console::printLine(u"🤖 AUTO-DELETE: Automatically deleting all duplicates, keeping newest files"_s);
    QList<QUuid> ids;
    for (const DuplicateGroup& group : std::as_const(m_result->groups)) {
        const QUuid newest = group.newestScreenshot().id;
        for (const Screenshot& member : group.screenshots) {
            if (member.id != newest)
                ids.append(member.id);
        }
    }
    Console::printLine(u"📊 Will delete "_s + QString::number(ids.size()) + u" files, keeping "_s +
                       QString::number(m_result->groups.size()) + u" newest"_s);
    deleteDuplicates(ids);
}

void DuplicateFinderViewModel::setIsAnalyzing(bool value)
{
    if (m_isAnalyzing == value)
        return;
    m_isAnalyzing = value;
    emit isAnalyzingChanged(value);
}

void DuplicateFinderViewModel::setProgress(Progress progress)
{
    if (m_progress == progress)
        return;
    m_progress = progress;
    emit progressChanged();
}
