#pragma once

#include "spacesaver/CompressionService.h"
#include "spacesaver/NotSmallerMemory.h"

#include <QFuture>
#include <QHash>
#include <QObject>
#include <QThreadPool>

#include <optional>

class ScreenshotMonitor;

// The state behind the space saver screen: the library's space statistics by
// file type, the compression plan at the chosen quality, a run's progress and
// its outcome. Statistics, planning and the run work on other threads over a
// copy of the monitor's list, so a library of any size never holds the window
// up; their results come back to the GUI thread. Every change is announced by
// changed(), after the new value is stored.
class SpaceSaverViewModel : public QObject
{
    Q_OBJECT

public:
    struct FileTypeStat
    {
        QString type; // lower-case extension, empty for none
        int count = 0;
        qint64 totalSize = 0;
        bool canCompress = true;
        double potentialSavingsPercent = 0;

        bool operator==(const FileTypeStat&) const = default;
    };

    struct CompressionProgress
    {
        int current = 0;
        int total = 0;

        bool operator==(const CompressionProgress&) const = default;
    };

    // The figures of one analysis, computed together off the GUI thread.
    struct Statistics
    {
        qint64 totalSize = 0;
        qint64 potentialSavings = 0;
        int totalFiles = 0;
        int compressibleFiles = 0;
        QList<FileTypeStat> fileTypeStats;
    };

    // What the last run did with its plan, for the success card.
    struct RunSummary
    {
        int planned = 0;
        int compressed = 0;
        QList<CompressionService::CompressionResult::SkippedFile> skipped;
        // Files the plan left out: found no smaller at its quality before.
        int leftOut = 0;
    };

    // Images whose renditions at one quality were no smaller, as they were
    // then (by path): while a file is still so, it is not counted as savings
    // and not planned at that quality.
    using NotSmallerFiles = NotSmallerMemory::Files;

    static constexpr double assumedSavingsShare = 0.6;
    static constexpr double kilogramsPerGigabyte = 0.5;

    SpaceSaverViewModel(CompressionService& service, ScreenshotMonitor& monitor, NotSmallerMemory& notSmaller,
                        QObject* parent = nullptr);
    // A run under way goes on without its screen (the window never waits).
    ~SpaceSaverViewModel() override;

    qint64 totalSize() const { return m_statistics.totalSize; }
    qint64 potentialSavings() const { return m_statistics.potentialSavings; }
    qint64 actualSavings() const { return m_actualSavings; }
    int totalFiles() const { return m_statistics.totalFiles; }
    int compressibleFiles() const { return m_statistics.compressibleFiles; }
    const QList<FileTypeStat>& fileTypeStats() const { return m_statistics.fileTypeStats; }
    const std::optional<CompressionService::CompressionPlan>& plan() const { return m_plan; }
    const CompressionService::CompressionOptions& selectedQuality() const { return m_selectedQuality; }
    bool isAnalyzing() const { return m_isAnalyzing; }
    // The figures of the library are being counted again: the ones shown
    // are about to change.
    bool isCounting() const { return m_shownGeneration != m_statisticsGeneration; }
    bool isCompressing() const { return m_isCompressing; }
    const CompressionProgress& compressionProgress() const { return m_progress; }
    bool showingSuccess() const { return m_showingSuccess; }
    // Why the last run was undone, until the person has read it.
    const std::optional<QString>& failureMessage() const { return m_failureMessage; }
    // How the start settled a run cut short (a kill, a power cut), until the
    // person has read it; told by the first screen only.
    const std::optional<QString>& settledRunMessage() const { return m_settledRunMessage; }
    const RunSummary& lastRun() const { return m_lastRun; }
    // How many files the current plan left out because a run found their
    // renditions at its quality no smaller (and the files did not change).
    int leftOutOfPlan() const { return m_leftOutOfPlan; }
    // The failure card's title, after what the failed run left behind:
    // nothing compressed, or a rollback that could not finish.
    QString failureTitle() const;
    // What the failed run left behind, in words for the failure card: that
    // every change was undone, or which images were kept beside their HEIC
    // versions because the rollback could not finish.
    QString failureOutcome() const;
    ScreenshotMonitor& monitor() const { return m_monitor; }

    // Potential savings as a share of the total size, 0 to 100.
    double savingsPercent() const;
    // The carbon that the potential savings would spare: "750g", "1.5kg".
    QString co2SavedText() const;

    // Recomputes the statistics from the monitor's current list, at the
    // selected quality.
    void analyze();
    // Statistics and plan follow the quality: a plan on show is made again
    // when the files known to be no smaller differ at the new one.
    void setSelectedQuality(const CompressionService::CompressionOptions& options);
    // The screen's actions. Those that start work answer whether they did:
    // nothing starts while a plan is made or a run is under way, and a plan
    // without files runs nothing.
    bool createPlan();
    void cancelPlan();
    bool compress();
    void dismissSuccess();
    void dismissFailure();
    void dismissSettledRun();

    // The statistics of a list of records (any thread). Images of
    // `notSmaller` still as they were then count as saving nothing, and so
    // do files known to be unreadable or empty, which no plan takes.
    static Statistics statisticsOf(const QList<Screenshot>& screenshots, const NotSmallerFiles& notSmaller = {});
    static QString settledRunText(const CompressionJournal::Recovery& settled);

signals:
    void changed();

private:
    template <typename Field, typename Value>
    void assign(Field& field, const Value& value);
    void applyStatistics(const Statistics& statistics);
    void startPlanning();
    void finishCompression(const CompressionService::CompressionResult& result);
    bool rememberNotSmaller(const CompressionService::CompressionResult& result);
    int selectedEncoderQuality() const;

    CompressionService& m_service;
    ScreenshotMonitor& m_monitor;
    Statistics m_statistics;
    qint64 m_actualSavings = 0;
    std::optional<CompressionService::CompressionPlan> m_plan;
    CompressionService::CompressionOptions m_selectedQuality;
    bool m_isAnalyzing = false;
    bool m_isCompressing = false;
    CompressionProgress m_progress;
    bool m_showingSuccess = false;
    std::optional<QString> m_failureMessage;
    std::optional<QString> m_settledRunMessage;
    RunSummary m_lastRun;
    int m_leftOutOfPlan = 0;
    int m_planQuality = 0; // the encoder quality the plan was made for
    int m_runQuality = 0;  // the encoder quality of the run under way
    // Only the newest planning may publish its plan (a cancelled one never).
    quint64 m_planGeneration = 0;
    NotSmallerMemory& m_notSmaller;
    QStringList m_keptAfterRollback;
    // Only the newest analysis may publish its figures.
    quint64 m_statisticsGeneration = 0;
    quint64 m_shownGeneration = 0;
    QFuture<void> m_run;
};
