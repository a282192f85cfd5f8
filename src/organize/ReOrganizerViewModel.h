#pragma once

#include "organize/OrganizeService.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>
#include <optional>

class ScreenshotMonitor;

// The state behind the re-organizer screen: the three layout switches, the
// current plan, the busy flags and progress of an analysis, a run or an undo,
// the success flag, the history shown and two library counts. Analyses, runs
// and undos happen on a worker thread, one at a time, while polling is paused;
// their results come back to the GUI thread. Every change is announced by
// changed(), after the new value is stored.
class ReOrganizerViewModel : public QObject
{
    Q_OBJECT

public:
    struct OrganizationProgress
    {
        int current = 0;
        int total = 0;
        bool operator==(const OrganizationProgress&) const = default;
    };

    ReOrganizerViewModel(OrganizeService& service, ScreenshotMonitor& monitor, QObject* parent = nullptr);
    ~ReOrganizerViewModel() override;

    // Jobs run one after another on one worker shared by every view model;
    // a job whose screen has closed finishes all the same (a run still records
    // its history entry and polling resumes). main() waits for them before
    // the services go.
    static void waitForJobs();

    const OrganizeService::OrganizationHistory& history() const { return m_history; }
    const std::optional<OrganizeService::OrganizationPlan>& plan() const { return m_plan; }
    bool groupByYear() const { return m_groupByYear; }
    bool groupByMonth() const { return m_groupByMonth; }
    bool includeSubfolders() const { return m_includeSubfolders; }
    // Switching years off switches months off too (months live in years).
    void setGroupByYear(bool on);
    void setGroupByMonth(bool on);
    void setIncludeSubfolders(bool on);
    bool isAnalyzing() const { return m_isAnalyzing; }
    bool isOrganizing() const { return m_isOrganizing; }
    bool isUndoing() const { return m_isUndoing; }
    // Something runs on the worker; every action waits its turn.
    bool isBusy() const { return m_isAnalyzing || m_isOrganizing || m_isUndoing; }
    const OrganizationProgress& organizationProgress() const { return m_progress; }
    bool showingSuccess() const { return m_showingSuccess; }
    // Why the last run did not move every file, until another run starts.
    const QString& runProblem() const { return m_runProblem; }
    int totalFiles() const { return m_totalFiles; }
    int totalFolders() const { return m_totalFolders; }
    ScreenshotMonitor& monitor() const { return m_monitor; }

    // The monitored folder and the current switches.
    OrganizeService::OrganizationOptions options() const;

    // The screen's actions. Those that start work answer whether they did.
    void loadOnAppear();
    bool analyze();
    void cancel();
    bool organize();
    void dismissSuccess();
    bool undo(const QUuid& id);
    void clearHistory();
    void updateStats();

    // "<date and time>: Organized N file(s) from <folder> into …".
    QString historyDescription() const;

signals:
    void changed();

private:
    template <typename Field, typename Value>
    void assign(Field& field, const Value& value);
    // Runs `job` on the worker with polling paused; `finish` gets its result
    // on the GUI thread (not at all once this view model is gone).
    struct JobLink;
    // Runs `job(link)` on the worker with polling paused when asked; then, on
    // the GUI thread, `finish(owner, result)`, owner null once this view
    // model is gone.
    template <typename Job, typename Finish>
    void startJob(bool pausePolling, Job job, Finish finish);
    void applyProgress(JobLink& link);
    void finishAnalysis(const OrganizeService::OrganizationPlan& plan);
    void finishOrganization(const OrganizeService::OrganizationResult& result);
    void finishUndo(bool undone);
    void refreshMonitor();
    static void recordRun(OrganizeService& service, const OrganizeService::OrganizationResult& result,
                          const QString& description, const OrganizeService::OrganizationOptions& used);
    static QString describe(const OrganizeService::OrganizationPlan& plan, const QString& folder, bool year,
                            bool month);

    OrganizeService& m_service;
    ScreenshotMonitor& m_monitor;
    OrganizeService::OrganizationHistory m_history;
    std::optional<OrganizeService::OrganizationPlan> m_plan;
    bool m_groupByYear = false;
    bool m_groupByMonth = false;
    bool m_includeSubfolders = false;
    bool m_isAnalyzing = false;
    bool m_isOrganizing = false;
    bool m_isUndoing = false;
    OrganizationProgress m_progress;
    bool m_showingSuccess = false;
    QString m_runProblem;
    int m_totalFiles = 0;
    int m_totalFolders = 0;
    std::shared_ptr<JobLink> m_job;
};
