#include "render/Shots.h"

#include <QElapsedTimer>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

// The renderers wait on states, not on the clock: a wait ends when its state
// comes or can no longer come, a long run is waited for while it moves, and an
// animation with an end counts as settled only at that end.

TEST(RenderWaits, StopsAsSoonAsTheStateCanNoLongerCome)
{
    bool runEnded = false;
    QTimer::singleShot(50, [&] { runEnded = true; });
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(render::waitWhilePossible([] { return false; }, [&] { return !runEnded; }, 120'000));
    EXPECT_LT(waited.elapsed(), 60'000); // far from its bound: only a guard against a hang
}

TEST(RenderWaits, WaitsPastTheStepBoundWhileTheRunMoves)
{
    int step = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] { ++step; });
    ticks.start(100);
    // Thirty steps of a tenth of a second: three times the bound of one step.
    EXPECT_TRUE(render::waitWhileAdvancing([&] { return step >= 30; }, [&] { return step; }, 1000));
}

TEST(RenderWaits, AnimationsSettleAtTheirEndAndLoopsDoNotHoldThem)
{
    QWidget root;
    root.setProperty("opacity", 0.0);
    root.setProperty("glow", 0.0);
    EXPECT_TRUE(render::animationsSettled(root));

    // A spinner's loop has no end: waiting for it would never finish.
    auto* loop = new QSequentialAnimationGroup(&root);
    auto* leg = new QPropertyAnimation(&root, "glow", loop);
    leg->setEndValue(1.0);
    leg->setDuration(100);
    loop->addAnimation(leg);
    loop->setLoopCount(-1);
    loop->start();
    EXPECT_TRUE(render::animationsSettled(root));

    auto* fade = new QPropertyAnimation(&root, "opacity", &root);
    fade->setEndValue(1.0);
    fade->setDuration(200);
    fade->start();
    EXPECT_FALSE(render::animationsSettled(root));
    EXPECT_TRUE(render::waitFor([&] { return render::animationsSettled(root); }, 120'000));
    EXPECT_DOUBLE_EQ(root.property("opacity").toDouble(), 1.0);
    EXPECT_EQ(loop->state(), QAbstractAnimation::Running);
}
