#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/Spring.h"

#include "support/Wait.h"

#include <QVariantAnimation>

#include <gtest/gtest.h>

namespace {
class Animated : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double value MEMBER m_value)

public:
    double m_value = 0;
};

const Spring springs[] = {
    PremiumTheme::standardSpring(),
    {0.3, 0.6, 0.25},
    {0.5, 0.6, 0},
    {0.35, 0.8, 0},
    {0.3, 0.825, 0},
    {0.4, 1.0, 0},
    {0.4, 1.6, 0},
    {0.2, 0.0, 0},
};
} // namespace

TEST(Spring, CurvesStartAtZeroAndSettleAtOne)
{
    for (const Spring& spring : springs) {
        const QEasingCurve curve = spring.easingCurve();
        EXPECT_DOUBLE_EQ(curve.valueForProgress(0), 0) << spring.dampingFraction;
        EXPECT_DOUBLE_EQ(curve.valueForProgress(1), 1) << spring.dampingFraction;
        // The last tenth is already at rest, so the end is no visible jump.
        EXPECT_NEAR(curve.valueForProgress(0.9), 1, 0.01) << spring.dampingFraction;
        EXPECT_GT(spring.durationMs(), 0);
        EXPECT_LT(spring.durationMs(), 10'000);
    }
}

TEST(Spring, UnderdampedOvershootsAndCriticalDoesNot)
{
    const auto peak = [](const Spring& spring) {
        const QEasingCurve curve = spring.easingCurve();
        double highest = 0;
        for (int i = 0; i <= 200; ++i)
            highest = std::max(highest, curve.valueForProgress(i / 200.0));
        return highest;
    };
    // A damping fraction of 0.6 overshoots by about 10 %.
    EXPECT_NEAR(peak({0.3, 0.6, 0}), 1 + std::exp(-0.6 * M_PI / std::sqrt(1 - 0.36)), 0.01);
    EXPECT_LE(peak({0.4, 1.0, 0}), 1.0 + 1e-6);
    // A stiffer spring (shorter response) finishes sooner.
    EXPECT_LT((Spring{0.2, 0.7, 0}).durationMs(), (Spring{0.5, 0.7, 0}).durationMs());
}

TEST(Motion, InstantSwitchSetsValuesAtOnce)
{
    InstantMotionScope instant;
    Animated target;
    EXPECT_EQ(Motion::animate(&target, "value", 5.0, PremiumTheme::standardSpring()), nullptr);
    EXPECT_DOUBLE_EQ(target.m_value, 5.0);
    EXPECT_EQ(Motion::repeatForever(&target, "value", 1.0, 9.0, QEasingCurve::Linear, 1000, true), nullptr);
    EXPECT_DOUBLE_EQ(target.m_value, 1.0);
}

TEST(Motion, SpringsReachTheirTargetAndRetarget)
{
    InstantMotionScope animated(false);
    Animated target;
    QVariantAnimation* first = Motion::animate(&target, "value", 10.0, Spring{0.1, 0.7, 0});
    ASSERT_NE(first, nullptr);
    // A new target replaces the running animation instead of racing it.
    QVariantAnimation* second = Motion::animate(&target, "value", -4.0, Spring{0.1, 0.7, 0});
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(waitUntil([&] { return target.m_value == -4.0; }, 3000));
}

#include "motion_test.moc"
