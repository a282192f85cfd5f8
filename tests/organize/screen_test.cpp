#include "ViewModelFixture.h"

#include "organize/ActionButtonsSection.h"
#include "organize/ConfigurationSection.h"
#include "organize/HistoryCard.h"
#include "organize/HistoryTimelineSection.h"
#include "organize/PremiumReOrganizerView.h"
#include "organize/PreviewSection.h"
#include "organize/ProgressOverlay.h"
#include "organize/ReOrganizerViewModel.h"
#include "organize/SmartToggle.h"
#include "organize/SuccessCelebration.h"
#include "support/Wait.h"
#include "ui/PlainButton.h"
#include "ui/ToggleSwitch.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
void click(QAbstractButton* button)
{
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

class ReOrganizerScreen : public ViewModelFixture
{
protected:
    // A few screenshots of March 2025 (one of July 2024) in the monitored
    // folder and one below it.
    QStringList addLibrary()
    {
        QStringList paths;
        for (const QString& name : {u"a.png"_s, u"b.png"_s, u"c.png"_s, u"sub/d.png"_s}) {
            const QString path = m_folder + u'/' + name;
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(path.toUtf8());
            file.close();
            Screenshot row(path, QUuid::createUuid());
            row.dateCreated = QDateTime(name == u"c.png"_s ? QDate(2024, 7, 1) : QDate(2025, 3, 3), QTime(12, 0));
            m_store.upsert(row);
            paths.append(path);
        }
        return paths;
    }

    OrganizeService m_service{m_store, m_monitor, m_fileOps, dataFolder()};
};
} // namespace

TEST_F(ReOrganizerScreen, AnalyseOrganizeAndUndoThroughTheButtons)
{
    const QStringList paths = addLibrary();
    grantFolder();
    PremiumReOrganizerView screen(m_monitor, m_service);
    screen.resize(1000, 900);
    screen.show();
    ReOrganizerViewModel& model = screen.viewModel();
    EXPECT_FALSE(screen.history()->isVisible());
    EXPECT_FALSE(screen.preview()->isVisible());

    ConfigurationSection& settings = *screen.configuration();
    click(settings.yearToggle()->toggle());
    click(settings.monthToggle()->toggle());
    click(screen.actions()->analyzeButton());
    ASSERT_TRUE(waitUntil([&model] { return model.plan().has_value() && !model.isAnalyzing(); }));
    EXPECT_TRUE(screen.preview()->isVisible());
    EXPECT_EQ(model.plan()->totalFiles, 3);

    click(screen.actions()->organizeButton());
    ASSERT_TRUE(waitUntil([&model] { return model.showingSuccess(); }));
    EXPECT_TRUE(screen.successOverlay()->isVisible());
    EXPECT_FALSE(screen.progressOverlay()->isVisible());
    const QString march = m_folder + u"/GLIMMERDECK/2025/03-March/"_s;
    for (const QString& name : {u"a.png"_s, u"b.png"_s})
        EXPECT_TRUE(QFileInfo(march + name).isFile()) << name.toStdString();
    EXPECT_TRUE(QFileInfo(m_folder + u"/GLIMMERDECK/2024/07-July/c.png"_s).isFile());
    EXPECT_TRUE(QFileInfo(paths[3]).isFile()); // subfolders were not included

    PlainButton* done = nullptr;
    ASSERT_TRUE(waitUntil([&screen, &done] {
        for (PlainButton* button : screen.successOverlay()->findChildren<PlainButton*>(u"done"_s))
            if (button->isVisible())
                done = button;
        return done != nullptr;
    }));
    click(done);
    ASSERT_TRUE(waitUntil([&model] { return !model.showingSuccess(); }));
    EXPECT_FALSE(model.plan());
    EXPECT_TRUE(screen.actions()->analyzeButton()->isVisible());
    ASSERT_TRUE(screen.history()->isVisible());
    ASSERT_EQ(screen.history()->cards().size(), 1);
    // Counted where the files are now: two month folders and "sub".
    EXPECT_EQ(model.totalFiles(), 4);
    EXPECT_EQ(model.totalFolders(), 3);

    click(screen.history()->cards().first()->undoButton());
    ASSERT_TRUE(waitUntil([&model] { return !model.isBusy() && model.history().operations.isEmpty(); }));
    for (const QString& path : paths)
        EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    EXPECT_FALSE(QFileInfo::exists(march + u"a.png"_s));
    EXPECT_FALSE(QFileInfo::exists(m_folder + u"/GLIMMERDECK"_s)); // the run's folders went with it
    EXPECT_EQ(model.totalFolders(), 2);
    EXPECT_FALSE(screen.history()->isVisible());
    EXPECT_FALSE(m_monitor.isPollingPaused());
}

TEST_F(ReOrganizerScreen, MonthsAreLockedWhileYearsAreOff)
{
    grantFolder();
    PremiumReOrganizerView screen(m_monitor, m_service);
    screen.show();
    ConfigurationSection& settings = *screen.configuration();
    EXPECT_TRUE(settings.monthToggle()->isDisabled());
    EXPECT_FALSE(settings.monthToggle()->toggle()->isEnabled());
    click(settings.yearToggle()->toggle());
    EXPECT_FALSE(settings.monthToggle()->isDisabled());
    click(settings.monthToggle()->toggle());
    EXPECT_TRUE(screen.viewModel().groupByMonth());
    click(settings.yearToggle()->toggle());
    EXPECT_FALSE(screen.viewModel().groupByMonth());
    EXPECT_FALSE(settings.monthToggle()->isOn());
    EXPECT_TRUE(settings.monthToggle()->isDisabled());
}

// The lines show the folders the plan makes, newest first, the first few
// with their counts; whatever the switches say after the plan was made.
TEST(PreviewSection, AfterOrganizingLinesShowThePlansFolders)
{
    OrganizeService::OrganizationPlan plan;
    plan.targetBaseURL = QUrl::fromLocalFile(u"/home/a/Shots/GLIMMERDECK"_s);
    const QString head = u"📁 /home/a/Shots/GLIMMERDECK/"_s;
    const auto linesFor = [&](QList<OrganizeService::OrganizationPlan::TargetFolder> folders) {
        plan.targetFolders = folders;
        plan.totalFiles = 0;
        for (const auto& folder : folders)
            plan.totalFiles += folder.files;
        return PreviewSection::afterItems(plan);
    };

    EXPECT_EQ(linesFor({}), (QStringList{head, u"  └─ No files to move"_s}));
    EXPECT_EQ(linesFor({{QString(), 12}}), (QStringList{head, u"  └─ 12 files (flat)"_s}));
    EXPECT_EQ(
        linesFor({{u"2026"_s, 1}, {u"2025"_s, 147}}),
        (QStringList{head, u"  ├─ 2026/ (1 file)"_s, u"  ├─ 2025/ (147 files)"_s, u"  └─ 148 files organized"_s}));
    EXPECT_EQ(linesFor({{u"2026/01-January"_s, 9}, {u"2025/12-December"_s, 20}, {u"2025/11-November"_s, 1}}),
              (QStringList{head, u"  ├─ 2026/"_s, u"  │  └─ 01-January/ (9 files)"_s, u"  ├─ 2025/"_s,
                           u"  │  ├─ 12-December/ (20 files)"_s, u"  │  └─ 11-November/ (1 file)"_s,
                           u"  └─ 30 file(s) organized"_s}));

    // Thirteen month folders: six named, the rest summed up.
    QList<OrganizeService::OrganizationPlan::TargetFolder> months{{u"2026/01-January"_s, 4}};
    for (int month = 12; month >= 1; --month)
        months.append({u"2025/%1-M"_s.arg(month, 2, 10, QChar(u'0')), 10});
    const QStringList lines = linesFor(months);
    ASSERT_EQ(lines.size(), 1 + 2 + 6 + 2);
    EXPECT_EQ(lines[1], u"  ├─ 2026/"_s);
    EXPECT_EQ(lines[3], u"  ├─ 2025/"_s);
    EXPECT_EQ(lines[4], u"  │  ├─ 12-M/ (10 files)"_s);
    EXPECT_EQ(lines[8], u"  │  └─ 08-M/ (10 files)"_s);
    EXPECT_EQ(lines[9], u"  ├─ … 7 more month folders (70 files)"_s);
    EXPECT_EQ(lines[10], u"  └─ 124 file(s) organized"_s);

    EXPECT_EQ(PreviewSection::currentItems(plan, {QUrl::fromLocalFile(u"/home/a/Shots"_s), false, false, false}),
              (QStringList{u"📂 /home/a/Shots/"_s, u"124 screenshot(s) to be organized"_s}));
}

TEST(ProgressOverlay, FractionNeverDividesByZero)
{
    EXPECT_EQ(ProgressOverlay::fraction(0, 0), 0.0);
    EXPECT_EQ(ProgressOverlay::fraction(3, 4), 0.75);
    EXPECT_EQ(ProgressOverlay::fraction(1, 1), 1.0);
}

TEST(PremiumReOrganizerView, HomeAndRootAreSweepingFolders)
{
    EXPECT_TRUE(PremiumReOrganizerView::isSweepingFolder(u"/"_s));
    EXPECT_TRUE(PremiumReOrganizerView::isSweepingFolder(QDir::homePath()));
    EXPECT_TRUE(PremiumReOrganizerView::isSweepingFolder(QDir::homePath() + u"/"_s));
    EXPECT_FALSE(PremiumReOrganizerView::isSweepingFolder(QDir::homePath() + u"/Desktop"_s));
    EXPECT_FALSE(PremiumReOrganizerView::isSweepingFolder(QString()));
}

TEST_F(ReOrganizerScreen, TheHeadingFoldsTheHistoryAndClearingRemovesTheSection)
{
    grantFolder();
    OrganizeService::OrganizationHistory history;
    history.add({QUuid::createUuid(),
                 QDateTime::currentDateTimeUtc(),
                 u"A run"_s,
                 2,
                 {},
                 {QDateTime::currentDateTimeUtc(), QUrl::fromLocalFile(m_folder), {}}});
    m_service.saveHistory(history);
    PremiumReOrganizerView screen(m_monitor, m_service);
    screen.resize(1000, 900);
    screen.show();
    HistoryTimelineSection& section = *screen.history();
    ASSERT_TRUE(section.isVisible());
    ASSERT_EQ(section.cards().size(), 1);
    EXPECT_TRUE(section.cards().first()->isVisible());

    click(section.headingButton());
    EXPECT_FALSE(section.isExpanded());
    EXPECT_FALSE(section.cards().first()->isVisible());
    EXPECT_TRUE(section.clearButton()->isVisible());
    {
        InstantMotionScope animated(false);
        click(section.headingButton());
        EXPECT_TRUE(section.isExpanded());
        EXPECT_TRUE(section.cards().first()->isVisible()); // it grows from the heading
        EXPECT_TRUE(waitUntil([&section] { return section.revealed() == 1.0; }));
    }

    click(section.clearButton());
    EXPECT_FALSE(section.isVisible());
    EXPECT_TRUE(section.isExpanded()); // unfolded again when a run comes back
    EXPECT_FALSE(QFileInfo::exists(m_service.historyFileURL()));
}
