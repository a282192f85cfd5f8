#pragma once

#include "duplicates/DuplicateFinderService.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <QUuid>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class DatabaseManager;
class ScreenshotMonitor;
class Trash;

// The state behind the duplicate finder's screens: runs analyses of the
// monitor's library, holds the last result and the group being previewed,
// and moves chosen copies to the Trash. Analyses and deletions run one after
// another on a worker thread; their results come back on the GUI thread.
class DuplicateFinderViewModel : public QObject
{
    Q_OBJECT

public:
    using DuplicateGroup = DuplicateFinderService::DuplicateGroup;
    using DuplicateAnalysisResult = DuplicateFinderService::DuplicateAnalysisResult;

    struct Progress
    {
        int current = 0;
        int total = 0;
        bool operator==(const Progress&) const = default;
    };

    DuplicateFinderViewModel(ScreenshotMonitor& monitor, DatabaseManager& database, Trash& trash,
                             QObject* parent = nullptr);
    // Waits for a deletion under way; an analysis under way is stopped.
    ~DuplicateFinderViewModel() override;

    ScreenshotMonitor& monitor() const { return m_monitor; }
    const std::optional<DuplicateAnalysisResult>& result() const { return m_result; }
    bool isAnalyzing() const { return m_isAnalyzing; }
    Progress progress() const { return m_progress; }
    const std::optional<DuplicateGroup>& previewingGroup() const { return m_previewingGroup; }
    void setPreviewingGroup(std::optional<DuplicateGroup> group);

    void setAnalysisOptions(const DuplicateFinderService::Options& options) { m_options = options; }
    // Members this view model has moved to the Trash.
    QSet<QUuid> trashedIds() const;

    // Starts an analysis of the monitor's current list, less the files this
    // view model has sent to the Trash; one still running is dropped.
    void analyze();
    // Moves the files of `ids` to the Trash, one by one, never the last copy
    // of a group and never a file that changed since it was hashed; then
    // analyses again.
    void deleteDuplicates(const QList<QUuid>& ids);
    // Deletes every member but the newest of each group.
    void autoDeleteKeepingNewest();

signals:
    void resultChanged();
    void isAnalyzingChanged(bool value);
    void progressChanged();
    void previewingGroupChanged();
    // After each deletion run, with the number of files moved to the Trash.
    void deletionFinished(int deleted);

private:
    struct DeletionRequest;

    void finishAnalysis(quint64 generation, DuplicateAnalysisResult result);
    void setIsAnalyzing(bool value);
    void setProgress(Progress progress);
    int runDeletion(const DeletionRequest& request);
    bool deleteOne(const DeletionRequest& request, const QUuid& id);
    void finishDeletion(int deleted);

    ScreenshotMonitor& m_monitor;
    DatabaseManager& m_database;
    Trash& m_trash;
    DuplicateFinderService m_service;
    DuplicateFinderService::Options m_options;

    std::optional<DuplicateAnalysisResult> m_result;
    bool m_isAnalyzing = false;
    Progress m_progress;
    std::optional<DuplicateGroup> m_previewingGroup;

    quint64 m_generation = 0;   // of the latest analysis
    int m_pendingDeletions = 0; // each holds the monitor's polling paused
    std::shared_ptr<std::atomic<bool>> m_cancelAnalysis;
    mutable std::mutex m_trashedMutex;
    QSet<QUuid> m_trashed; // written by deletions on the worker
    QThreadPool m_worker;  // one thread: analyses and deletions never overlap
};
