#include "organize/ReOrganizerViewModel.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "core/DateText.h"
#include "core/PathUtils.h"
#include "core/ToolJobs.h"
#include "ingest/ScreenshotMonitor.h"

#include <QSet>
#include <QThreadPool>

using namespace Qt::StringLiterals;

namespace {
QString layoutSuffix(bool year, bool month)
{
    if (year && month)
        return u" into year/month folders"_s;
    return year ? u" into year folders"_s : u" into flat structure"_s;
}
} // namespace

struct ReOrganizerViewModel::JobLink
{
    QPointer<ReOrganizerViewModel> owner; // read on the GUI thread only
    // The newest progress from the worker; one queued report carries it.
    std::atomic<qint64> pendingProgress{-1};
    // Asked when the application quits: the job ends between two files.
    std::stop_token stop;
};

namespace {
qint64 packProgress(int current, int total)
{
    return (qint64(current) << 32) | quint32(total);
}
} // namespace

ReOrganizerViewModel::ReOrganizerViewModel(OrganizeService& service, ScreenshotMonitor& monitor, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_monitor(monitor)
{}

ReOrganizerViewModel::~ReOrganizerViewModel() = default;

void ReOrganizerViewModel::waitForJobs()
{
    ToolJobs::waitForAll();
}

template <typename Field, typename Value>
void ReOrganizerViewModel::assign(Field& field, const Value& value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
}

template <typename Job, typename Finish>
void ReOrganizerViewModel::startJob(bool pausePolling, Job job, Finish finish)
{
    if (pausePolling)
        m_monitor.pausePolling();
    auto link = std::make_shared<JobLink>();
    link->owner = this;
    link->stop = ToolJobs::stopToken();
    m_job = link;
    // The monitor outlives every screen: results travel through it.
    ScreenshotMonitor* monitor = &m_monitor;
    ToolJobs::worker().start([link, monitor, pausePolling, job = std::move(job), finish = std::move(finish)]() mutable {
        auto result = job(link);
        QMetaObject::invokeMethod(
            monitor,
            [link, monitor, pausePolling, result = std::move(result), finish = std::move(finish)] {
                if (pausePolling)
                    monitor->resumePolling();
                finish(link->owner.data(), result);
            },
            Qt::QueuedConnection);
    });
}

void ReOrganizerViewModel::setGroupByYear(bool on)
{
    assign(m_groupByYear, on);
    if (!on)
        assign(m_groupByMonth, false);
}

void ReOrganizerViewModel::setGroupByMonth(bool on)
{
    assign(m_groupByMonth, on);
}

void ReOrganizerViewModel::setIncludeSubfolders(bool on)
{
    assign(m_includeSubfolders, on);
}

OrganizeService::OrganizationOptions ReOrganizerViewModel::options() const
{
    const QString folder = m_monitor.monitoredURL();
    return {folder.isEmpty() ? QUrl() : QUrl::fromLocalFile(folder), m_groupByYear, m_groupByMonth,
            m_includeSubfolders};
}

void ReOrganizerViewModel::loadOnAppear()
{
    assign(m_history, m_service.loadHistory());
    updateStats();
}

bool ReOrganizerViewModel::analyze()
{
    if (isBusy() || m_monitor.monitoredURL().isEmpty())
        return false;
    assign(m_isAnalyzing, true);
    startJob(
        false,
        [&service = m_service, options = options()](const std::shared_ptr<JobLink>&) {
            return service.analyze(options);
        },
        [](ReOrganizerViewModel* owner, const OrganizeService::OrganizationPlan& plan) {
            if (owner)
                owner->finishAnalysis(plan);
        });
    return true;
}

void ReOrganizerViewModel::finishAnalysis(const OrganizeService::OrganizationPlan& plan)
{
    m_plan = plan;
    emit changed();
    assign(m_isAnalyzing, false);
}

void ReOrganizerViewModel::cancel()
{
    if (m_isOrganizing || !m_plan)
        return;
    m_plan.reset();
    emit changed();
}

bool ReOrganizerViewModel::organize()
{
    if (!m_plan || isBusy())
        return false;
    assign(m_isOrganizing, true);
    assign(m_runProblem, QString());
    assign(m_progress, OrganizationProgress{0, int(m_plan->totalFiles)});
    const OrganizeService::OrganizationOptions used = options();
    ScreenshotMonitor* monitor = &m_monitor;
    startJob(
        true,
        [&service = m_service, plan = *m_plan, monitor](const std::shared_ptr<JobLink>& link) {
            // An interrupted run's undo file becomes its history entry before
            // this run writes its own.
            (void)service.recoverInterruptedRun();
            return service.organize(
                plan,
                [link, monitor](int current, int total) {
                    // Only the newest pair matters: one report is queued at a
                    // time however fast files move.
                    if (link->pendingProgress.exchange(packProgress(current, total)) != -1)
                        return;
                    QMetaObject::invokeMethod(
                        monitor,
                        [link] {
                            if (ReOrganizerViewModel* owner = link->owner.data())
                                owner->applyProgress(*link);
                        },
                        Qt::QueuedConnection);
                },
                link->stop);
        },
        [&service = m_service, plan = *m_plan, used](ReOrganizerViewModel* owner,
                                                     const OrganizeService::OrganizationResult& result) {
            // A run that moved files stays undoable, failures or not, and
            // whether or not its screen is still open.
            if (result.undoData)
                recordRun(service, result,
                          describe(plan, used.baseURL.toLocalFile(), used.groupByYear, used.groupByMonth), used);
            if (owner)
                owner->finishOrganization(result);
        });
    return true;
}

void ReOrganizerViewModel::applyProgress(JobLink& link)
{
    const qint64 latest = link.pendingProgress.exchange(-1);
    if (latest != -1 && m_isOrganizing && m_job.get() == &link)
        assign(m_progress, OrganizationProgress{int(latest >> 32), int(quint32(latest))});
}

void ReOrganizerViewModel::finishOrganization(const OrganizeService::OrganizationResult& result)
{
    if (m_job)
        applyProgress(*m_job);
    assign(m_isOrganizing, false);
    if (!result.stopReason.isEmpty())
        assign(m_runProblem, result.stopReason);
    else if (!result.failedFiles.isEmpty())
        assign(m_runProblem,
               u"%1 file(s) could not be moved; the files that moved can be undone."_s.arg(result.failedFiles.size()));
    if (!result.success && !result.undoData) {
        assign(m_history, m_service.loadHistory());
        return; // nothing changed: the same plan is offered again
    }
    if (result.success)
        assign(m_showingSuccess, true);
    assign(m_history, m_service.loadHistory());
    refreshMonitor();
}

void ReOrganizerViewModel::recordRun(OrganizeService& service, const OrganizeService::OrganizationResult& result,
                                     const QString& description, const OrganizeService::OrganizationOptions& used)
{
    OrganizeService::OrganizationHistory history = service.loadHistory();
    history.add({QUuid::createUuid(),
                 Clock::now(),
                 description,
                 result.movedFiles.size(),
                 {used.groupByYear, used.groupByMonth, used.includeSubfolders},
                 *result.undoData});
    service.saveHistory(history);
    Console::printLine(u"💾 ORGANIZE: Saved to history: "_s + description);
}

void ReOrganizerViewModel::dismissSuccess()
{
    assign(m_showingSuccess, false);
    if (m_plan) {
        m_plan.reset();
        emit changed();
    }
    updateStats();
}

bool ReOrganizerViewModel::undo(const QUuid& id)
{
    if (isBusy())
        return false;
    assign(m_isUndoing, true);
    startJob(
        true,
        [&service = m_service, id, folder = m_monitor.monitoredURL()](const std::shared_ptr<JobLink>& link) {
            return service.undoOperation(id, folder, link->stop);
        },
        [](ReOrganizerViewModel* owner, bool undone) {
            if (owner)
                owner->finishUndo(undone);
            else if (!undone)
                Console::printLine(u"❌ Failed to undo operation"_s);
        });
    return true;
}

void ReOrganizerViewModel::finishUndo(bool undone)
{
    assign(m_isUndoing, false);
    if (!undone)
        Console::printLine(u"❌ Failed to undo operation"_s);
    // A partial undo has changed files and the entry too. The counts follow
    // the files back (the monitor's list has taken the moves by now).
    assign(m_history, m_service.loadHistory());
    updateStats();
    refreshMonitor();
}

void ReOrganizerViewModel::clearHistory()
{
    if (m_isUndoing)
        return;
    m_service.clearHistory();
    assign(m_history, m_service.loadHistory());
    updateStats();
}

void ReOrganizerViewModel::updateStats()
{
    if (m_monitor.monitoredURL().isEmpty())
        return;
    const QList<Screenshot>& screenshots = m_monitor.screenshots();
    QSet<QString> folders;
    for (const Screenshot& screenshot : screenshots)
        folders.insert(parentFolder(screenshot.filePath).toString());
    assign(m_totalFiles, int(screenshots.size()));
    assign(m_totalFolders, int(folders.size()));
}

QString ReOrganizerViewModel::historyDescription() const
{
    const QString folder = m_monitor.monitoredURL();
    if (!m_plan || folder.isEmpty())
        return u"Organized screenshots"_s;
    return describe(*m_plan, folder, m_groupByYear, m_groupByMonth);
}

QString ReOrganizerViewModel::describe(const OrganizeService::OrganizationPlan& plan, const QString& folder, bool year,
                                       bool month)
{
    if (folder.isEmpty())
        return u"Organized screenshots"_s;
    return DateText::mediumDateAndTime(Clock::now()) + u": Organized "_s + QString::number(plan.totalFiles) +
           u" file(s) from "_s + lastPathComponent(folder).toString() + layoutSuffix(year, month);
}

void ReOrganizerViewModel::refreshMonitor()
{
    QMetaObject::invokeMethod(
        &m_monitor, [monitor = &m_monitor] { monitor->startMonitoringAsync(false); }, Qt::QueuedConnection);
}
