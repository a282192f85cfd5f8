#include "duplicates/DuplicateFinderViewModel.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/Trash.h"

using namespace Qt::StringLiterals;

struct DuplicateFinderViewModel::DeletionRequest
{
    QList<QUuid> ids;
    QList<Screenshot> screenshots; // the monitor's list when the deletion was asked for
    QList<DuplicateGroup> groups;  // of the result then shown
    QString folder;                // the monitored folder
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
} // namespace

DuplicateFinderViewModel::DuplicateFinderViewModel(ScreenshotMonitor& monitor, DatabaseManager& database, Trash& trash,
                                                   QObject* parent)
    : QObject(parent)
    , m_monitor(monitor)
    , m_database(database)
    , m_trash(trash)
{
    m_worker.setMaxThreadCount(1);
}

DuplicateFinderViewModel::~DuplicateFinderViewModel()
{
    if (m_cancelAnalysis)
        m_cancelAnalysis->store(true);
    m_worker.waitForDone();
    // Deletions whose end will not be delivered any more still end their pause.
    for (; m_pendingDeletions > 0; --m_pendingDeletions)
        m_monitor.resumePolling();
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
    const std::lock_guard lock(m_trashedMutex);
    return m_trashed;
}

void DuplicateFinderViewModel::analyze()
{
    setIsAnalyzing(true);
    setProgress({0, 0});
    if (m_cancelAnalysis)
        m_cancelAnalysis->store(true);
    m_cancelAnalysis = std::make_shared<std::atomic<bool>>(false);

    const quint64 generation = ++m_generation;
    // The worker ends before this object does (the destructor waits), and
    // results queued for it are dropped once it is gone.
    m_worker.start([this, generation, screenshots = m_monitor.screenshots(), cancelled = m_cancelAnalysis,
                    options = m_options]() mutable {
        // A deletion asked for after this list was taken may have run first
        // on this worker: its files are gone and must not be read.
        const QSet<QUuid> trashed = trashedIds();
        screenshots.removeIf([&trashed](const Screenshot& screenshot) { return trashed.contains(screenshot.id); });
        const auto progress = [this, generation](int current, int total) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, current, total] {
                    if (generation == m_generation)
                        setProgress({current, total});
                },
                Qt::QueuedConnection);
        };
        DuplicateAnalysisResult result = m_service.findDuplicates(screenshots, progress, options, cancelled.get());
        if (cancelled->load())
            return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, result = std::move(result)]() mutable { finishAnalysis(generation, std::move(result)); },
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
    ++m_pendingDeletions;
    DeletionRequest request{ids, m_monitor.screenshots(), m_result ? m_result->groups : QList<DuplicateGroup>{},
                            m_monitor.monitoredPath()};
    m_worker.start([this, request = std::move(request)] {
        const int deleted = runDeletion(request);
        QMetaObject::invokeMethod(
            this, [this, deleted] { finishDeletion(deleted); }, Qt::QueuedConnection);
    });
}

int DuplicateFinderViewModel::runDeletion(const DeletionRequest& request)
{
    int deleted = 0;
    ScreenshotMonitor::FileChanges changes;
    for (const QUuid& id : request.ids) {
        if (deleteOne(request, id)) {
            ++deleted;
            changes.removed.append(findById(request.screenshots, id)->filePath);
        }
    }
    m_monitor.takeFileChanges(changes);
    Console::printLine(u"✅ Deleted "_s + QString::number(deleted) + u" duplicate files"_s);
    return deleted;
}

bool DuplicateFinderViewModel::deleteOne(const DeletionRequest& request, const QUuid& id)
{
    const Screenshot* victim = findById(request.screenshots, id);
    if (!victim)
        return false;
    const DuplicateGroup* group = groupOf(request.groups, id);
    const QSet<QUuid> trashed = trashedIds();
    if (!group || trashed.contains(id) || !SafeFile::checkInside(victim->filePath, request.folder) ||
        !stillHoldsContent(*group, *victim)) {
        failedToDelete(*victim);
        return false;
    }

    const Screenshot* keeper = nullptr;
    bool aCopyChanged = false;
    for (const Screenshot& member : group->screenshots) {
        if (member.id == id || trashed.contains(member.id))
            continue;
        if (stillHoldsContent(*group, member)) {
            keeper = &member;
            break;
        }
        aCopyChanged = true;
    }
    if (!keeper) {
        // A copy that no longer matches is as much a failure of this
        // deletion as a victim that no longer matches.
        if (aCopyChanged)
            failedToDelete(*victim);
        else
            Console::printLine(u"⚠️ DUPLICATES: Kept "_s + victim->filename +
                               u": no other copy of it would remain"_s);
        return false;
    }

    const Trash::Result moved = m_trash.moveToTrash(victim->filePath);
    if (!moved.ok) {
        failedToDelete(*victim);
        return false;
    }
    m_database.deleteScreenshot(id);
    const std::lock_guard lock(m_trashedMutex);
    m_trashed.insert(id);
    return true;
}

void DuplicateFinderViewModel::finishDeletion(int deleted)
{
    --m_pendingDeletions;
    m_monitor.resumePolling();
    emit deletionFinished(deleted);
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
