#include "ViewModelFixture.h"
#include "support/MonitorTestAccess.h"

#include "core/Clock.h"
#include "organize/HistoryCard.h"
#include "organize/ReOrganizerViewModel.h"
#include "support/Wait.h"

#include <QSemaphore>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
using Plan = OrganizeService::OrganizationPlan;
using Result = OrganizeService::OrganizationResult;
using History = OrganizeService::OrganizationHistory;

Plan planOf(int files)
{
    Plan plan;
    for (int i = 0; i < files; ++i)
        plan.filesToMove.append({u"ID%1"_s.arg(i), QUrl::fromLocalFile(u"/s/%1.png"_s.arg(i)),
                                 QUrl::fromLocalFile(u"/s/GLIMMERDECK/%1.png"_s.arg(i)), u"%1.png"_s.arg(i)});
    plan.totalFiles = files;
    return plan;
}

Result movedAll(const Plan& plan)
{
    Result result;
    result.movedFiles = plan.filesToMove;
    OrganizeService::UndoData undo{QDateTime::currentDateTimeUtc(), plan.baseURL, {}};
    for (const auto& operation : plan.filesToMove)
        undo.operations.append(
            {operation.screenshotId, operation.targetURL.toLocalFile(), operation.originalURL.toLocalFile()});
    if (!undo.operations.isEmpty())
        result.undoData = undo;
    return result;
}

// Answers with prepared results; each job waits at its gate until the test
// lets it go, so the states in between can be looked at.
class FakeOrganizer : public OrganizeService
{
public:
    using OrganizeService::OrganizeService;

    Plan plan = planOf(3);
    std::optional<Result> result; // movedAll(plan) unless set
    bool undoSucceeds = true;
    mutable QSemaphore gate;
    mutable History history;
    mutable std::vector<OrganizationOptions> analysed;
    mutable QList<QUuid> undone;
    mutable bool pollingPausedInJob = false;
    ScreenshotMonitor* monitor = nullptr;

    Plan analyze(const OrganizationOptions& options) const override
    {
        analysed.push_back(options);
        gate.acquire();
        return plan;
    }
    Result organize(const Plan& given, const Progress& progress, std::stop_token) override
    {
        for (int i = 1; i <= given.totalFiles; ++i)
            progress(i, int(given.totalFiles));
        pollingPausedInJob = monitor && monitor->isPollingPaused();
        gate.acquire();
        return result ? *result : movedAll(given);
    }
    bool undoOperation(const QUuid& id, const QString&, std::stop_token) override
    {
        undone.append(id);
        gate.acquire();
        if (undoSucceeds)
            history.operations.removeIf([&id](const HistoryOperation& entry) { return entry.id == id; });
        return undoSucceeds;
    }
    History loadHistory() const override { return history; }
    void saveHistory(const History& saved) override { history = saved; }
    void clearHistory() override { history = {}; }
};

class ReOrganizerViewModel_ : public ViewModelFixture
{
protected:
    ReOrganizerViewModel_()
    {
        m_fake.monitor = &m_monitor;
        Clock::setSource([] { return QDateTime(QDate(2026, 3, 15), QTime(10, 30)); });
    }
    ~ReOrganizerViewModel_() override
    {
        m_fake.gate.release(100); // nothing may stay blocked
        ReOrganizerViewModel::waitForJobs();
        Clock::setSource({});
    }

    // Lets the job at the gate finish and waits until its result is applied.
    bool finishJob()
    {
        m_fake.gate.release();
        return waitUntil([this] { return !m_viewModel.isBusy(); });
    }

    FakeOrganizer m_fake{m_store, m_monitor, m_fileOps, dataFolder()};
    ReOrganizerViewModel m_viewModel{m_fake, m_monitor};
};
} // namespace

TEST_F(ReOrganizerViewModel_, AnalysisThenARunThenDoneWalkThroughTheStates)
{
    grantFolder();
    EXPECT_FALSE(m_viewModel.plan());
    EXPECT_EQ(m_viewModel.organizationProgress(), (ReOrganizerViewModel::OrganizationProgress{0, 0}));
    m_viewModel.setGroupByYear(true);
    m_viewModel.setGroupByMonth(true);

    ASSERT_TRUE(m_viewModel.analyze());
    EXPECT_TRUE(m_viewModel.isAnalyzing());
    EXPECT_FALSE(m_viewModel.analyze()); // one analysis at a time
    ASSERT_TRUE(finishJob());
    ASSERT_TRUE(m_viewModel.plan());
    EXPECT_EQ(m_viewModel.plan()->totalFiles, 3);
    ASSERT_EQ(m_fake.analysed.size(), 1u);
    EXPECT_EQ(m_fake.analysed[0].baseURL, QUrl::fromLocalFile(m_folder));
    EXPECT_TRUE(m_fake.analysed[0].groupByYear && m_fake.analysed[0].groupByMonth);

    ASSERT_TRUE(m_viewModel.organize());
    EXPECT_TRUE(m_viewModel.isOrganizing());
    EXPECT_EQ(m_viewModel.organizationProgress().total, 3);
    EXPECT_FALSE(m_viewModel.organize());
    EXPECT_FALSE(m_viewModel.analyze());
    EXPECT_FALSE(m_viewModel.undo(QUuid::createUuid()));
    EXPECT_TRUE(waitUntil([this] { return m_viewModel.organizationProgress().current == 3; }));
    EXPECT_TRUE(m_monitor.isPollingPaused());
    ASSERT_TRUE(finishJob());
    EXPECT_FALSE(m_monitor.isPollingPaused());
    EXPECT_TRUE(m_fake.pollingPausedInJob);

    EXPECT_TRUE(m_viewModel.showingSuccess());
    ASSERT_EQ(m_viewModel.history().operations.size(), 1);
    const auto& entry = m_viewModel.history().operations[0];
    EXPECT_EQ(entry.moveCount, 3);
    EXPECT_EQ(entry.description, u"Mar 15, 2026 at 10:30 AM: Organized 3 file(s) from Shots into year/month folders"_s);
    EXPECT_TRUE(entry.options.groupByYear && entry.options.groupByMonth && !entry.options.includeSubfolders);
    EXPECT_TRUE(m_console.contains(u"💾 ORGANIZE: Saved to history: "_s + entry.description));
    EXPECT_TRUE(m_viewModel.plan()); // still shown under the overlay

    m_viewModel.dismissSuccess();
    EXPECT_FALSE(m_viewModel.showingSuccess());
    EXPECT_FALSE(m_viewModel.plan());
    EXPECT_FALSE(m_viewModel.isBusy());
}

TEST_F(ReOrganizerViewModel_, FailedRunsKeepThePlanAndRecordOnlyWhatMoved)
{
    grantFolder();
    ASSERT_TRUE(m_viewModel.analyze());
    ASSERT_TRUE(finishJob());

    Result nothingMoved;
    nothingMoved.success = false;
    nothingMoved.failedFiles.append({m_fake.plan.filesToMove[0], u"gone"_s});
    m_fake.result = nothingMoved;
    ASSERT_TRUE(m_viewModel.organize());
    ASSERT_TRUE(finishJob());
    EXPECT_TRUE(m_viewModel.plan());
    EXPECT_FALSE(m_viewModel.showingSuccess());
    EXPECT_TRUE(m_fake.history.operations.isEmpty());

    Result partial = movedAll(m_fake.plan);
    partial.success = false;
    partial.movedFiles.removeLast();
    partial.undoData->operations.removeLast();
    partial.failedFiles.append({m_fake.plan.filesToMove[2], u"occupied"_s});
    m_fake.result = partial;
    ASSERT_TRUE(m_viewModel.organize());
    ASSERT_TRUE(finishJob());
    EXPECT_TRUE(m_viewModel.plan());
    EXPECT_FALSE(m_viewModel.showingSuccess());
    ASSERT_EQ(m_viewModel.history().operations.size(), 1); // undoable all the same
    EXPECT_EQ(m_viewModel.history().operations[0].moveCount, 2);

    // An empty plan that moves nothing still succeeds, without an entry.
    m_fake.plan = planOf(0);
    m_fake.result.reset();
    m_viewModel.cancel();
    EXPECT_FALSE(m_viewModel.plan());
    ASSERT_TRUE(m_viewModel.analyze());
    ASSERT_TRUE(finishJob());
    ASSERT_TRUE(m_viewModel.organize());
    ASSERT_TRUE(finishJob());
    EXPECT_TRUE(m_viewModel.showingSuccess());
    EXPECT_EQ(m_viewModel.history().operations.size(), 1);
}

TEST_F(ReOrganizerViewModel_, ARunOutlivesItsClosedScreenAndIsStillRecorded)
{
    grantFolder();
    auto closing = std::make_unique<ReOrganizerViewModel>(m_fake, m_monitor);
    ASSERT_TRUE(closing->analyze());
    m_fake.gate.release();
    ASSERT_TRUE(waitUntil([&closing] { return closing->plan().has_value(); }));
    ASSERT_TRUE(closing->organize());
    closing.reset(); // the screen goes while the run waits at its gate
    m_fake.gate.release();
    ReOrganizerViewModel::waitForJobs();
    ASSERT_TRUE(waitUntil([this] { return !m_monitor.isPollingPaused(); }));
    ASSERT_EQ(m_fake.history.operations.size(), 1);
    EXPECT_EQ(m_fake.history.operations[0].moveCount, 3);
}

TEST_F(ReOrganizerViewModel_, NothingStartsWithoutAFolderOrAPlan)
{
    EXPECT_FALSE(m_viewModel.analyze());
    EXPECT_FALSE(m_viewModel.isAnalyzing());
    EXPECT_FALSE(m_viewModel.organize());
    EXPECT_EQ(m_viewModel.historyDescription(), u"Organized screenshots"_s);
    m_viewModel.updateStats();
    EXPECT_EQ(m_viewModel.totalFiles(), 0);
    EXPECT_EQ(m_viewModel.totalFolders(), 0);
}

TEST_F(ReOrganizerViewModel_, UndoReloadsTheHistoryOrSaysItFailed)
{
    grantFolder();
    History history;
    history.add({QUuid::createUuid(), QDateTime::currentDateTimeUtc(), u"older"_s, 1, {}, {}});
    history.add({QUuid::createUuid(), QDateTime::currentDateTimeUtc(), u"newer"_s, 1, {}, {}});
    m_fake.history = history;
    m_viewModel.loadOnAppear();
    ASSERT_EQ(m_viewModel.history().operations.size(), 2);

    const QUuid newest = history.operations[0].id;
    ASSERT_TRUE(m_viewModel.undo(newest));
    EXPECT_TRUE(m_viewModel.isUndoing());
    EXPECT_TRUE(m_monitor.isPollingPaused());
    ASSERT_TRUE(finishJob());
    EXPECT_EQ(m_fake.undone, QList<QUuid>{newest});
    ASSERT_EQ(m_viewModel.history().operations.size(), 1);
    EXPECT_FALSE(m_monitor.isPollingPaused());

    m_fake.undoSucceeds = false;
    ASSERT_TRUE(m_viewModel.undo(history.operations[1].id));
    ASSERT_TRUE(finishJob());
    EXPECT_TRUE(m_console.contains(u"❌ Failed to undo operation"_s));
    EXPECT_EQ(m_viewModel.history().operations.size(), 1);

    m_viewModel.clearHistory();
    EXPECT_TRUE(m_viewModel.history().operations.isEmpty());
}

TEST_F(ReOrganizerViewModel_, SwitchingYearsOffSwitchesMonthsOffAndDescriptionsFollowTheSwitches)
{
    grantFolder();
    m_viewModel.setGroupByYear(true);
    m_viewModel.setGroupByMonth(true);
    m_viewModel.setGroupByYear(false);
    EXPECT_FALSE(m_viewModel.groupByMonth());
    m_viewModel.setGroupByYear(true);
    EXPECT_FALSE(m_viewModel.groupByMonth());

    ASSERT_TRUE(m_viewModel.analyze());
    ASSERT_TRUE(finishJob());
    struct Case
    {
        bool year, month;
        QString suffix;
    };
    for (const Case& c : {Case{true, true, u" into year/month folders"_s}, Case{true, false, u" into year folders"_s},
                          Case{false, false, u" into flat structure"_s}}) {
        m_viewModel.setGroupByYear(c.year);
        m_viewModel.setGroupByMonth(c.month);
        EXPECT_EQ(m_viewModel.historyDescription(),
                  u"Mar 15, 2026 at 10:30 AM: Organized 3 file(s) from Shots"_s + c.suffix);
    }
    m_viewModel.setGroupByYear(false);
    m_viewModel.setGroupByMonth(true); // the screen locks this row; the text stays flat
    EXPECT_TRUE(m_viewModel.historyDescription().endsWith(u" into flat structure"_s));
}

TEST_F(ReOrganizerViewModel_, CountsScreenshotsAndTheFoldersHoldingThem)
{
    grantFolder();
    QList<Screenshot> screenshots;
    for (const QString& path : {m_folder + u"/a.png"_s, m_folder + u"/b.png"_s, m_folder + u"/sub/c.png"_s}) {
        Screenshot s;
        s.id = QUuid::createUuid();
        s.filePath = path;
        screenshots.append(s);
    }
    ScreenshotMonitorTestAccess::setScreenshots(m_monitor, screenshots);
    m_viewModel.updateStats();
    EXPECT_EQ(m_viewModel.totalFiles(), 3);
    EXPECT_EQ(m_viewModel.totalFolders(), 2);
}

TEST(HistoryCard, RelativeTimeTextAtItsBoundaries)
{
    const QDateTime now(QDate(2026, 3, 15), QTime(12, 0));
    struct Case
    {
        qint64 secondsAgo;
        QString text;
    };
    for (const Case& c : {Case{-600, u"Just now"_s}, Case{59 * 60, u"Just now"_s}, Case{60 * 60, u"1h ago"_s},
                          Case{23 * 3600 + 59 * 60, u"23h ago"_s}, Case{24 * 3600, u"1d ago"_s},
                          Case{47 * 3600, u"1d ago"_s}, Case{48 * 3600, u"2d ago"_s}})
        EXPECT_EQ(HistoryCard::relativeTimeText(now.addSecs(-c.secondsAgo), now), c.text) << c.secondsAgo;
}
