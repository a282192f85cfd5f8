#include "ui/BlurView.h"
#include "ui/BlurredGlow.h"
#include "ui/DitheredGradient.h"
#include "ui/GlassTextField.h"
#include "ui/GradientButton.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/PremiumGlassCard.h"
#include "ui/ShimmerEffect.h"
#include "ui/SymbolButtons.h"
#include "ui/SymbolLabel.h"

#include <QAbstractAnimation>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
class GlassCard : public ::testing::Test
{
protected:
    InstantMotionScope m_instant;
};

QPoint contentPosition(PremiumGlassCard& card)
{
    card.layout()->activate();
    return card.content()->geometry().topLeft();
}
} // namespace

TEST_F(GlassCard, WithoutTheEffectThePointerChangesNothing)
{
    PremiumGlassCard card(32, 50, false);
    card.setContent(new QLabel(u"Hello"_s));
    card.resize(400, 300);
    const QPoint resting = contentPosition(card);
    card.handleHover(QPointF(0, 0));
    EXPECT_FALSE(card.isHovering());
    EXPECT_EQ(card.rotation(), QPointF(0, 0));
    EXPECT_EQ(card.highlightOpacity(), 0.3);
    EXPECT_EQ(contentPosition(card), resting);
    EXPECT_EQ(resting, QPoint(50, 50));
}

TEST_F(GlassCard, TiltsTowardsThePointerAndSpringsBackOnLeaving)
{
    PremiumGlassCard card(32, 50, true);
    card.setContent(new QLabel(u"Hello"_s));
    card.resize(400, 300);
    const QPoint resting = contentPosition(card);

    card.handleHover(QPointF(0, 0));
    EXPECT_TRUE(card.isHovering());
    EXPECT_EQ(card.highlightOpacity(), 1.0);
    EXPECT_EQ(card.rotation(), QPointF(-10, 10));
    EXPECT_EQ(card.contentOffset(), QPointF(-50, -50));
    EXPECT_EQ(contentPosition(card), resting + QPoint(-50, -50));

    card.handleHover(QPointF(200, 150));
    EXPECT_EQ(card.rotation(), QPointF(0, 0));

    card.handleHover(QPointF(400, 0));
    EXPECT_EQ(card.rotation(), QPointF(-10, -10));
    card.handleHover(std::nullopt);
    EXPECT_FALSE(card.isHovering());
    EXPECT_EQ(card.highlightOpacity(), 0.3);
    EXPECT_EQ(card.rotation(), QPointF(0, 0));
    EXPECT_EQ(contentPosition(card), resting);
}

TEST(GradientButton, SymbolIsOptionalAndClicksComeOut)
{
    GradientButton plain(u"Continue"_s);
    GradientButton withSymbol(u"Continue"_s, u"folder.badge.plus"_s);
    EXPECT_TRUE(plain.property("symbolName").toString().isEmpty());
    EXPECT_EQ(withSymbol.property("symbolName").toString(), u"folder.badge.plus"_s);
    EXPECT_GT(withSymbol.sizeHint().width(), plain.sizeHint().width());
    // 24 points either side of the label, 12 above and below.
    EXPECT_GE(plain.sizeHint().height(), 24 + 15);

    int clicks = 0;
    QObject::connect(&plain, &QAbstractButton::clicked, [&] { ++clicks; });
    InstantMotionScope instant;
    plain.setDown(true);
    emit plain.pressed();
    EXPECT_EQ(plain.pressScale(), GradientButton::pressedScale);
    emit plain.released();
    EXPECT_EQ(plain.pressScale(), 1.0);
    plain.click();
    EXPECT_EQ(clicks, 1);
}

TEST(GlassTextField, SymbolIsOptionalAndTextIsShared)
{
    GlassTextField plain(u"Search"_s);
    GlassTextField withSymbol(u"Search"_s, u"magnifyingglass"_s);
    EXPECT_EQ(plain.symbol(), nullptr);
    ASSERT_NE(withSymbol.symbol(), nullptr);
    EXPECT_EQ(withSymbol.symbol()->symbolName(), u"magnifyingglass"_s);
    EXPECT_EQ(plain.lineEdit()->placeholderText(), u"Search"_s);

    QStringList seen;
    QObject::connect(&plain, &GlassTextField::textChanged, [&](const QString& text) { seen.append(text); });
    plain.lineEdit()->setText(u"invoice"_s);
    plain.setText(u"receipt"_s);
    EXPECT_EQ(seen, (QStringList{u"invoice"_s, u"receipt"_s}));
    EXPECT_EQ(plain.text(), u"receipt"_s);
}

TEST(BlurredGlow, SoftCircleBrightestInTheMiddleAndRenderedOnce)
{
    const QColor color(99, 102, 241, 255);
    const QPixmap glow = BlurredGlow::pixmap(color, 200, 40);
    // Three sigmas (sigma = radius / 2) beyond the circle on each side.
    EXPECT_EQ(glow.width(), 320);
    const QImage image = glow.toImage().convertToFormat(QImage::Format_ARGB32);
    const int middle = image.width() / 2;
    EXPECT_GT(image.pixelColor(middle, middle).alpha(), 240);
    EXPECT_LT(image.pixelColor(2, middle).alpha(), 8);
    // At the circle's own edge the blur has taken about half the light.
    EXPECT_NEAR(image.pixelColor(middle + 100, middle).alpha(), 128, 30);
    EXPECT_EQ(BlurredGlow::pixmap(color, 200, 40).cacheKey(), glow.cacheKey());
}

TEST(BlurView, MaterialsAreTranslucent)
{
    for (const auto material : {BlurView::Material::sidebar, BlurView::Material::hudWindow, BlurView::Material::popover,
                                BlurView::Material::ultraThin}) {
        const QColor fill = BlurView::fillColor(material);
        EXPECT_GT(fill.alpha(), 0);
        EXPECT_LT(fill.alpha(), 255);
    }
    BlurView view(BlurView::Material::sidebar);
    EXPECT_TRUE(view.testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST(ShimmerEffect, SweepRestsWithMotionOffAndRunsOtherwise)
{
    QLabel label(u"Shiny"_s);
    {
        InstantMotionScope instant;
        ShimmerEffect* effect = ShimmerEffect::apply(&label);
        EXPECT_EQ(label.graphicsEffect(), effect);
        EXPECT_EQ(effect->phase(), 0);
        EXPECT_TRUE(effect->findChildren<QAbstractAnimation*>().isEmpty());
    }
    InstantMotionScope animated(false);
    auto* effect = static_cast<ShimmerEffect*>(label.graphicsEffect());
    effect->startSweep();
    const auto running = effect->findChildren<QAbstractAnimation*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(running.size(), 1);
    EXPECT_EQ(running.first()->loopCount(), -1);
    EXPECT_EQ(running.first()->duration(), ShimmerEffect::sweepMs);
}

namespace {
// Pixels of `widget` covered by more than half.
int coveredPixels(QWidget& widget)
{
    QImage canvas(widget.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    widget.render(&canvas, QPoint(), QRegion(), QWidget::DrawChildren);
    int covered = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            covered += qAlpha(canvas.pixel(x, y)) > 127 ? 1 : 0;
    return covered;
}
} // namespace

// The round buttons of the previews are circles, not squares with rounded
// corners: their ground covers a circle's area and leaves the corners free,
// pressed as well as at rest.
TEST(CircleSymbolButton, IsACircle)
{
    PlainButton* button = makeCircleSymbolButton(u"chevron.left"_s, 30, Qt::transparent, 20, Qt::white);
    std::unique_ptr<PlainButton> owner(button);
    ASSERT_EQ(button->size(), QSize(70, 70));
    const double circle = M_PI * 35 * 35;
    EXPECT_NEAR(coveredPixels(*button), circle, circle * 0.02);
    // Where a rounded square would still be filled: on the diagonal, just
    // outside the circle.
    QImage canvas(button->size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    button->render(&canvas, QPoint(), QRegion(), QWidget::DrawChildren);
    const QPoint outside(qRound(35 + 37 * M_SQRT1_2), qRound(35 - 37 * M_SQRT1_2));
    EXPECT_EQ(qAlpha(canvas.pixel(outside)), 0);
    EXPECT_EQ(button->background().outline(QRectF(0, 0, 70, 70)).boundingRect(), QRectF(0, 0, 70, 70));

    button->setDown(true);
    EXPECT_NEAR(coveredPixels(*button), circle, circle * 0.02);
}

// A sheen from white at 0.02 to white at 0.01 spans under three levels of
// eight-bit opacity: drawn plainly it steps in wide bands. Dithered, every
// 8 × 8 block averages to the gradient's own value there.
TEST(DitheredGradient, FaintGradientsStepSmoothlyInsteadOfInBands)
{
    const QSize size(320, 96);
    const QImage sheen = DitheredGradient::render(size, QPointF(0, 0), QPointF(size.width(), 0),
                                                  QColor::fromRgbF(1, 1, 1, 0.02f), QColor::fromRgbF(1, 1, 1, 0.01f));
    ASSERT_EQ(sheen.size(), size);
    for (int left = 0; left < size.width(); left += 8) {
        for (int top = 0; top < size.height(); top += 8) {
            double alpha = 0;
            for (int y = top; y < top + 8; ++y) {
                for (int x = left; x < left + 8; ++x) {
                    const QRgb pixel = sheen.pixel(x, y);
                    ASSERT_EQ(qRed(pixel), qAlpha(pixel)); // white, premultiplied
                    alpha += qAlpha(pixel);
                }
            }
            const double expected = 255 * (0.02 - 0.01 * (left + 4) / size.width());
            EXPECT_NEAR(alpha / 64, expected, 0.1) << left << "," << top;
        }
    }
}
