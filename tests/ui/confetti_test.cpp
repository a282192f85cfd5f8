#include "ui/ConfettiView.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {
ConfettiParticle pieceAt(double y, double velocityY, double opacity = 1)
{
    ConfettiParticle piece;
    piece.x = 100;
    piece.y = y;
    piece.velocityY = velocityY;
    piece.size = 8;
    piece.opacity = opacity;
    return piece;
}
} // namespace

TEST(Confetti, BurstStartsWithFiftyPiecesAboveTheTopEdge)
{
    QRandomGenerator generator(42);
    ConfettiView view;
    view.setRandomGenerator(&generator);
    view.start();
    ASSERT_EQ(view.particles().size(), 50);
    EXPECT_TRUE(view.isRunning());
    QSet<QUuid> ids;
    for (const ConfettiParticle& piece : view.particles()) {
        EXPECT_EQ(piece.opacity, 1);
        EXPECT_GE(piece.x, 0);
        EXPECT_LE(piece.x, 1200);
        EXPECT_GE(piece.y, -200);
        EXPECT_LE(piece.y, 0);
        EXPECT_GE(piece.velocityY, 3);
        EXPECT_LE(piece.velocityY, 8);
        EXPECT_GE(piece.size, 4);
        EXPECT_LE(piece.size, 12);
        ids.insert(piece.id);
    }
    EXPECT_EQ(ids.size(), 50);
    // A second burst joins the pieces still falling.
    view.start();
    EXPECT_EQ(view.particles().size(), 100);
}

TEST(Confetti, PiecesFadeOnlyBelowTheFadeLine)
{
    QRandomGenerator generator(7);
    QList<ConfettiParticle> pieces{pieceAt(597, 3), pieceAt(597.1, 3)};
    ConfettiView::advance(pieces, generator);
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0].y, 600);
    EXPECT_EQ(pieces[0].opacity, 1);
    EXPECT_DOUBLE_EQ(pieces[1].opacity, 0.98);
    EXPECT_DOUBLE_EQ(pieces[0].velocityY, 3.1);
    EXPECT_LE(std::abs(pieces[0].velocityX), 0.2);
}

TEST(Confetti, FadingPieceIsRemovedInItsFiftiethFadingTick)
{
    QRandomGenerator generator(7);
    QList<ConfettiParticle> pieces{pieceAt(601, 0)};
    for (int tick = 1; tick < 50; ++tick)
        ConfettiView::advance(pieces, generator);
    ASSERT_EQ(pieces.size(), 1);
    EXPECT_GT(pieces[0].opacity, 0);
    EXPECT_LT(pieces[0].y, 1000);
    ConfettiView::advance(pieces, generator);
    EXPECT_TRUE(pieces.isEmpty());
}

TEST(Confetti, PiecesPastTheRemovalLineGoWhateverTheirOpacity)
{
    QRandomGenerator generator(7);
    QList<ConfettiParticle> pieces{pieceAt(995, 5), pieceAt(995, 6), pieceAt(-50, 4)};
    ConfettiView::advance(pieces, generator);
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0].y, 1000);
    EXPECT_EQ(pieces[1].y, -46);
}

TEST(Confetti, TicksStopWhenTheLastPieceIsGoneOrTheViewHides)
{
    QRandomGenerator generator(42);
    ConfettiView view;
    view.setRandomGenerator(&generator);
    view.start();
    int ticks = 0;
    while (view.isRunning() && ticks < 10'000) {
        view.tick();
        ++ticks;
    }
    EXPECT_TRUE(view.particles().isEmpty());
    EXPECT_FALSE(view.isRunning());
    // The slowest piece starts at most 200 above the top at 3 per tick and
    // accelerates, so everything is gone within a few hundred ticks.
    EXPECT_LT(ticks, 400);

    view.resize(400, 300);
    view.show();
    EXPECT_EQ(view.particles().size(), 50);
    EXPECT_TRUE(view.isRunning());
    view.hide();
    EXPECT_FALSE(view.isRunning());
    EXPECT_TRUE(view.particles().isEmpty());
}
