#include "ScreenFixture.h"

#include "app/ProcessingView.h"
#include "app/WelcomeActionButton.h"
#include "app/WelcomeView.h"
#include "support/Wait.h"
#include "ui/GlowProgressBar.h"
#include "ui/PremiumGlassCard.h"

#include <QElapsedTimer>
#include <QLabel>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
class Welcome : public ScreenFixture
{
protected:
    Welcome() { makeMonitor(); }

    void press(WelcomeView& view) { view.actionButton()->click(); }
};

class Processing : public ScreenFixture
{
protected:
    Processing() { makeMonitor(); }

    QString textOf(const ProcessingView& view, const QString& name) const
    {
        return view.findChild<QLabel*>(name)->text();
    }
    bool shows(const ProcessingView& view, const QString& name) const
    {
        return view.findChild<QWidget*>(name)->isVisibleTo(&view);
    }
};
} // namespace

TEST_F(Welcome, CancellingTheChooserChangesNothingAndTheButtonWorksAgain)
{
    WelcomeView view(*m_monitor, settings());
    m_chooser->answer.reset();
    press(view);
    EXPECT_EQ(m_chooser->shown, 1);
    EXPECT_FALSE(view.isShowingConfetti());
    EXPECT_FALSE(m_monitor->hasFileAccess());
    press(view);
    EXPECT_EQ(m_chooser->shown, 2);
    EXPECT_FALSE(waitUntil([&] { return settings().contains(Onboarding::key); }, 300));
}

TEST_F(Welcome, ConfirmingCelebratesAndCompletesOnboardingTwoSecondsLater)
{
    WelcomeView view(*m_monitor, settings());
    m_chooser->answer = m_folder;
    QElapsedTimer clock;
    clock.start();
    press(view);
    EXPECT_TRUE(view.isShowingConfetti());
    EXPECT_EQ(m_monitor->monitoredPath(), m_folder);
    EXPECT_FALSE(onboarded()) << "not when access is granted";

    ASSERT_TRUE(waitUntil([&] { return onboarded(); }, 4000));
    EXPECT_GE(clock.elapsed(), WelcomeView::completionDelayMs);
}

TEST_F(Welcome, HeldAccessSkipsTheChooser)
{
    grantFolder();
    WelcomeView view(*m_monitor, settings());
    press(view);
    EXPECT_EQ(m_chooser->shown, 0);
    EXPECT_TRUE(view.isShowingConfetti());
}

TEST_F(Welcome, LeavingWithinTheDelayLeavesOnboardingIncomplete)
{
    m_chooser->answer = m_folder;
    {
        WelcomeView view(*m_monitor, settings());
        press(view);
    }
    EXPECT_FALSE(waitUntil([&] { return onboarded(); }, WelcomeView::completionDelayMs + 500));
}

TEST_F(Welcome, ButtonBrightensAndGrowsUnderThePointer)
{
    WelcomeActionButton button(u"Choose Folder to Monitor"_s, u"folder.badge.plus"_s);
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.8);
    EXPECT_DOUBLE_EQ(button.scale(), 1.0);
    button.setHovering(true);
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 1.0);
    EXPECT_DOUBLE_EQ(button.scale(), 1.05);
    button.setHovering(false);
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.8);
    EXPECT_DOUBLE_EQ(button.scale(), 1.0);
}

TEST_F(Welcome, CardKeepsItsSizeAndRisesIntoPlaceOnEntrance)
{
    WelcomeView view(*m_monitor, settings());
    view.resize(800, 600);
    EXPECT_EQ(view.card()->geometry(), QRect(150, WelcomeView::entranceRise, 500, 600)) << "low before the entrance";
    EXPECT_EQ(view.entranceProgress(), 0.0);

    view.show();
    EXPECT_EQ(view.entranceProgress(), 1.0);
    EXPECT_EQ(view.card()->geometry(), QRect(150, 0, 500, 600)) << "fills the full height at the minimum size";
    view.resize(1600, 1000);
    EXPECT_EQ(view.card()->geometry(), QRect(550, 200, 500, 600));
    EXPECT_EQ(view.minimumSize(), QSize(800, 600));
}

TEST_F(Processing, StatusLinesFollowTheMonitor)
{
    ProcessingView view(*m_monitor, settings());
    EXPECT_FALSE(shows(view, u"batch"_s)) << "no batch line at 0 batches";
    EXPECT_FALSE(shows(view, u"memoryPressure"_s));
    EXPECT_EQ(textOf(view, u"percentage"_s), u"0%"_s);

    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.totalToProcess = 120});
    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.processedCount = 45});
    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.totalBatches = 3});
    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.currentBatchNumber = 1});
    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.value = 0.456});
    EXPECT_EQ(textOf(view, u"processedCount"_s), u"45"_s);
    EXPECT_EQ(textOf(view, u"totalToProcess"_s), u"120"_s);
    EXPECT_TRUE(shows(view, u"batch"_s));
    EXPECT_EQ(textOf(view, u"batch"_s), u"Batch 1 of 3"_s);
    EXPECT_EQ(textOf(view, u"percentage"_s), u"45%"_s);
    EXPECT_DOUBLE_EQ(view.findChild<GlowProgressBar*>()->displayedValue(), 0.456);

    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.isUnderMemoryPressure = true});
    EXPECT_TRUE(shows(view, u"memoryPressure"_s));
    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.isUnderMemoryPressure = false});
    EXPECT_FALSE(shows(view, u"memoryPressure"_s));
}

TEST(ProcessingPercent, TruncatesAndNeverShowsNonsense)
{
    EXPECT_EQ(ProcessingView::percentText(0.999), u"99%"_s);
    EXPECT_EQ(ProcessingView::percentText(1.0), u"100%"_s);
    EXPECT_EQ(ProcessingView::percentText(0.0), u"0%"_s);
    EXPECT_EQ(ProcessingView::percentText(std::nan("")), u"0%"_s);
    EXPECT_EQ(ProcessingView::percentText(INFINITY), u"0%"_s);
    EXPECT_EQ(ProcessingView::percentText(-0.2), u"0%"_s);
    EXPECT_EQ(ProcessingView::percentText(7.5), u"100%"_s);

    const InstantMotionScope instant;
    GlowProgressBar bar;
    bar.setValue(std::nan(""));
    EXPECT_EQ(bar.displayedValue(), 0.0);
    bar.setValue(3);
    EXPECT_EQ(bar.displayedValue(), 1.0);
}
