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

TEST(PreviewSection, AfterOrganizingLinesFollowTheSwitches)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    OrganizeService::OrganizationPlan plan;
    plan.totalFiles = 12;
    const QUrl base = QUrl::fromLocalFile(u"/home/a/Shots"_s);
    const QDate march(2027, 3, 9);
    struct Case
    {
        bool year, month;
        QStringList lines;
    };
    const QString head = u"📁 /home/a/Shots/GLIMMERDECK/"_s;
    for (const Case& c :
         {Case{false, false, {head, u"  └─ 12 files (flat)"_s}}, Case{false, true, {head, u"  └─ 12 files (flat)"_s}},
          Case{true, false, {head, u"  ├─ 2027/"_s, u"  └─ 12 files organized"_s}},
          Case{true, true, {head, u"  ├─ 2027/"_s, u"  │  └─ 03-March/"_s, u"  └─ 12 file(s) organized"_s}}})
        EXPECT_EQ(PreviewSection::afterItems(plan, {base, c.year, c.month, false}, march), c.lines);
    EXPECT_EQ(PreviewSection::currentItems(plan, {base, false, false, false}),
              (QStringList{u"📂 /home/a/Shots/"_s, u"12 screenshot(s) to be organized"_s}));
    QLocale::setDefault(QLocale::c());
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
