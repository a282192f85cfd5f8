#pragma once

#include "duplicates/DeletionJournal.h"
#include "duplicates/DuplicateFinderService.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
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

    // How the last deletion went: the files moved to the Trash with their
    // rows removed, and the names of the rest with why.
    struct NotDeleted
    {
        QString name;
        QString why; // fits "Not deleted (why): name", as "changed since the scan"
        bool operator==(const NotDeleted&) const = default;
    };
    struct DeletionReport
    {
        int deleted = 0;
        QList<NotDeleted> notDeleted; // still in place
        QStringList rowsRemaining;    // in the Trash, but their rows stayed (removed at the next start)
        bool operator==(const DeletionReport&) const = default;
    };

    // `readers`: where an analysis reads files beside the tools' worker
    // (Workers::duplicateReads()).
    DuplicateFinderViewModel(ScreenshotMonitor& monitor, DatabaseManager& database, Trash& trash,
                             Workers::Pool& readers, QObject* parent = nullptr);
    // Waits for nothing: an analysis under way is stopped, a deletion under
    // way goes on and ends its polling pause by itself.
    ~DuplicateFinderViewModel() override;

    // At start: rows of files that a deletion cut short had already moved to
    // the Trash go (see DeletionJournal). The paths whose rows went.
    static QStringList recoverInterruptedDeletion(DatabaseManager& database);

    ScreenshotMonitor& monitor() const { return m_monitor; }
    const std::optional<DuplicateAnalysisResult>& result() const { return m_result; }
    bool isAnalyzing() const { return m_isAnalyzing; }
    Progress progress() const { return m_progress; }
    const std::optional<DuplicateGroup>& previewingGroup() const { return m_previewingGroup; }
    void setPreviewingGroup(std::optional<DuplicateGroup> group);

    void setAnalysisOptions(const DuplicateFinderService::Options& options) { m_options = options; }
    // Members this view model has moved to the Trash.
    QSet<QUuid> trashedIds() const;
    const std::optional<DeletionReport>& lastDeletion() const { return m_lastDeletion; }

    // Starts an analysis of the monitor's current list, less the files this
    // view model has sent to the Trash; one still running is dropped.
    void analyze();
    // Moves the files of `ids` to the Trash, one by one, never the last copy
    // of a group and never a file that changed since it was hashed; then
    // analyses again. A file's tags and notes go to the row of a copy that
    // stays (the newest one the deletion leaves, where it can), with the
    // removal of its row.
    void deleteDuplicates(const QList<QUuid>& ids);
    // Deletes every member but the newest of each group.
    void autoDeleteKeepingNewest();

signals:
    void resultChanged();
    void isAnalyzingChanged(bool value);
    void progressChanged();
    void previewingGroupChanged();
    // After each deletion run, with the number of files moved to the Trash
    // whose rows went too (lastDeletion() tells the rest).
    void deletionFinished(int deleted);

private:
    struct DeletionRequest;
    struct DeletionContext;

    void finishAnalysis(quint64 generation, DuplicateAnalysisResult result);
    void setIsAnalyzing(bool value);
    void setProgress(Progress progress);
    static DeletionReport runDeletion(DeletionContext& context, const DeletionRequest& request);
    // `requested`: the request's ids as a set, made once for the whole deletion.
    static bool deleteOne(DeletionContext& context, const DeletionRequest& request, const QSet<QUuid>& requested,
                          const QUuid& id, QList<DeletionJournal::Entry>& planned, DeletionReport& report);
    void finishDeletion(const DeletionReport& report);

    ScreenshotMonitor& m_monitor;
    DuplicateFinderService m_service;
    DuplicateFinderService::Options m_options;
    // What deletions use on the tools' worker, which may outlive this object.
    std::shared_ptr<DeletionContext> m_context;

    std::optional<DuplicateAnalysisResult> m_result;
    bool m_isAnalyzing = false;
    Progress m_progress;
    std::optional<DuplicateGroup> m_previewingGroup;
    std::optional<DeletionReport> m_lastDeletion;

    quint64 m_generation = 0; // of the latest analysis
    std::shared_ptr<std::atomic<bool>> m_cancelAnalysis;
};
