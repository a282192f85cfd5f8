#include "organize/ReOrganizerViewModel.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "ingest/ScreenshotMonitor.h"

#include <QLocale>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {
QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? u"/"_s : path.left(slash);
}

// The desktop's medium date with its short time ("Mar 15, 2026 at 10:30 AM").
QString mediumDateShortTime(const QDateTime& moment)
{
    const QLocale locale;
    return locale.toString(moment.date(), u"MMM d, yyyy"_s) + u" at "_s +
           locale.toString(moment.time(), QLocale::ShortFormat);
}

QString layoutSuffix(bool year, bool month)
{
    if (year && month)
        return u" into year/month folders"_s;
    return year ? u" into year folders"_s : u" into flat structure"_s;
}
} // namespace

ReOrganizerViewModel::ReOrganizerViewModel(OrganizeService& service, ScreenshotMonitor& monitor, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_monitor(monitor)
{
    m_worker.setMaxThreadCount(1);
}

ReOrganizerViewModel::~ReOrganizerViewModel()
{
    m_worker.waitForDone();
    for (; m_pollingPauses > 0; --m_pollingPauses)
        m_monitor.resumePolling();
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
    if (pausePolling) {
        m_monitor.pausePolling();
        ++m_pollingPauses;
    }
    m_worker.start([this, pausePolling, job = std::move(job), finish = std::move(finish)]() mutable {
        auto result = job();
        QMetaObject::invokeMethod(
            this,
            [this, pausePolling, result = std::move(result), finish = std::move(finish)] {
                if (pausePolling && m_pollingPauses > 0) {
                    --m_pollingPauses;
                    m_monitor.resumePolling();
                }
                (this->*finish)(result);
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
        false, [this, options = options()] { return m_service.analyze(options); },
        &ReOrganizerViewModel::finishAnalysis);
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
    assign(m_progress, OrganizationProgress{0, int(m_plan->totalFiles)});
    m_pendingProgress = -1;
    startJob(
        true,
        [this, plan = *m_plan] {
            return m_service.organize(plan, [this](int current, int total) { reportProgress(current, total); });
        },
        &ReOrganizerViewModel::finishOrganization);
    return true;
}

void ReOrganizerViewModel::reportProgress(int current, int total)
{
    // On the worker: only the newest pair matters, so one report is queued
    // at a time however fast files move.
    const qint64 packed = (qint64(current) << 32) | quint32(total);
    if (m_pendingProgress.exchange(packed) != -1)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            const qint64 latest = m_pendingProgress.exchange(-1);
            if (latest != -1 && m_isOrganizing)
                assign(m_progress, OrganizationProgress{int(latest >> 32), int(quint32(latest))});
        },
        Qt::QueuedConnection);
}

void ReOrganizerViewModel::finishOrganization(const OrganizeService::OrganizationResult& result)
{
    if (const qint64 latest = m_pendingProgress.exchange(-1); latest != -1)
        assign(m_progress, OrganizationProgress{int(latest >> 32), int(quint32(latest))});
    assign(m_isOrganizing, false);
    // A run that moved files stays undoable even when others failed.
    if (result.undoData)
        recordRun(result);
    if (!result.success && !result.undoData)
        return; // nothing changed: the same plan is offered again
    if (result.success)
        assign(m_showingSuccess, true);
    assign(m_history, m_service.loadHistory());
    refreshMonitor();
}

void ReOrganizerViewModel::recordRun(const OrganizeService::OrganizationResult& result)
{
    const QString description = historyDescription();
    const OrganizeService::OrganizationOptions used = options();
    OrganizeService::OrganizationHistory history = m_service.loadHistory();
    history.add({QUuid::createUuid(),
                 Clock::now(),
                 description,
                 result.movedFiles.size(),
                 {used.groupByYear, used.groupByMonth, used.includeSubfolders},
                 *result.undoData});
    m_service.saveHistory(history);
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
        true, [this, id, folder = m_monitor.monitoredURL()] { return m_service.undoOperation(id, folder); },
        &ReOrganizerViewModel::finishUndo);
    return true;
}

void ReOrganizerViewModel::finishUndo(bool undone)
{
    assign(m_isUndoing, false);
    if (!undone)
        Console::printLine(u"❌ Failed to undo operation"_s);
    // A partial undo has changed files and the entry too.
    assign(m_history, m_service.loadHistory());
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
        folders.insert(folderOf(screenshot.filePath));
    assign(m_totalFiles, int(screenshots.size()));
    assign(m_totalFolders, int(folders.size()));
}

QString ReOrganizerViewModel::historyDescription() const
{
    const QString folder = m_monitor.monitoredURL();
    if (!m_plan || folder.isEmpty())
        return u"Organized screenshots"_s;
    return mediumDateShortTime(Clock::now()) + u": Organized "_s + QString::number(m_plan->totalFiles) +
           u" file(s) from "_s + folder.mid(folder.lastIndexOf(u'/') + 1) + layoutSuffix(m_groupByYear, m_groupByMonth);
}

void ReOrganizerViewModel::refreshMonitor()
{
    QMetaObject::invokeMethod(
        &m_monitor, [monitor = &m_monitor] { monitor->startMonitoringAsync(false); }, Qt::QueuedConnection);
}
