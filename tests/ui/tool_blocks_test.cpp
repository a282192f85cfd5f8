#include "ui/AppStyle.h"
#include "ui/CenteredOverlay.h"
#include "ui/DimmedBackdrop.h"
#include "ui/GlassCard.h"
#include "ui/LabelContent.h"
#include "ui/LinearProgressBar.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/ProgressRing.h"
#include "ui/ShadowUnderlay.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {
// Stands in for a view model: publishes on demand.
class Publisher : public QObject
{
    Q_OBJECT

public:
    int value = 0;
    void publish(int next)
    {
        value = next;
        emit changed();
    }

signals:
    void changed();
};

QImage render(QWidget& widget, const QColor& under = Qt::white)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(under);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

TEST(LabelContent, SymbolThenTitleUnstyledUntilTheStackStylesBoth)
{
    QWidget holder;
    auto* stack = new QHBoxLayout(&holder);
    labelContent(*stack, u"trash"_s, u"Clear History"_s);
    ASSERT_EQ(stack->count(), 2);
    auto* symbol = qobject_cast<StyledSymbol*>(stack->itemAt(0)->widget());
    auto* title = qobject_cast<QLabel*>(stack->itemAt(1)->widget());
    ASSERT_TRUE(symbol && title);
    EXPECT_EQ(symbol->symbolName(), u"trash"_s);
    EXPECT_EQ(title->text(), u"Clear History"_s);
    EXPECT_EQ(title->textFormat(), Qt::PlainText);
    for (QWidget* part : {static_cast<QWidget*>(symbol), static_cast<QWidget*>(title)}) {
        EXPECT_FALSE(part->testAttribute(Qt::WA_SetFont));
        EXPECT_FALSE(part->testAttribute(Qt::WA_SetPalette));
    }

    // The application's style sheet stops fonts flowing down by themselves.
    qApp->setStyleSheet(applicationStyleSheet());
    holder.show();
    applyTextStyle(holder, PremiumTheme::smallLabelFont(), PremiumTheme::error());
    EXPECT_EQ(title->font().pixelSize(), 11);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), PremiumTheme::error());
    EXPECT_EQ(symbol->symbolSize(), 11);
    EXPECT_EQ(symbol->sizeHint(), QSize(11, 11));
    EXPECT_EQ(symbol->effectiveBrush().color(), PremiumTheme::error());
    qApp->setStyleSheet(QString());
}

TEST(StyledSymbol, GradientPaintsBothEndsOfTheBrush)
{
    StyledSymbol symbol(u"folder.fill"_s, PremiumTheme::primaryGradient(), 40);
    symbol.resize(40, 40);
    const QImage image = render(symbol, Qt::transparent);
    // The folder's outline runs down its left and right edges: the left one in
    // the gradient's first colour, the right one in its last.
    QColor left, right;
    for (int x = 0; x < 40 && !left.isValid(); ++x)
        if (image.pixelColor(x, 24).alpha() > 200)
            left = image.pixelColor(x, 24);
    for (int x = 39; x >= 0 && !right.isValid(); --x)
        if (image.pixelColor(x, 24).alpha() > 200)
            right = image.pixelColor(x, 24);
    ASSERT_TRUE(left.isValid() && right.isValid());
    EXPECT_LT(left.red(), right.red()); // #6366F1 towards #8B5CF6
}

TEST(RoundedBackground, ContinuousCornersStayInsideAndMeetTheCircularMiddle)
{
    struct Case
    {
        QRectF rect;
        qreal radius;
    };
    for (const Case& c : {Case{QRectF(0, 0, 200, 100), 16}, Case{QRectF(10, 20, 30, 24), 16},
                          Case{QRectF(0, 0, 40, 40), 0}, Case{QRectF(0, 0, 100, 100), 80}}) {
        const QPainterPath path = RoundedBackground::path(c.rect, c.radius);
        SCOPED_TRACE(c.radius);
        EXPECT_TRUE(c.rect.adjusted(-0.01, -0.01, 0.01, 0.01).contains(path.boundingRect()));
        EXPECT_TRUE(path.contains(c.rect.center()));
        EXPECT_EQ(path.contains(c.rect.topLeft() + QPointF(0.5, 0.5)), c.radius == 0);
    }
    // Where the curve is halfway round the corner it lies where a circular
    // corner of the same radius would.
    const QPainterPath path = RoundedBackground::path(QRectF(0, 0, 200, 100), 16);
    const qreal inset = 16 * (1 - 1 / std::sqrt(2.0));
    EXPECT_TRUE(path.contains(QPointF(inset + 0.4, inset + 0.4)));
    EXPECT_FALSE(path.contains(QPointF(inset - 0.4, inset - 0.4)));
    EXPECT_TRUE(RoundedBackground::path(QRectF(), 16).isEmpty());
}

TEST(GlassCard, PadsItsContentAndDrawsTranslucentGlassInsideRoundedCorners)
{
    GlassCard card;
    auto* content = new QLabel(u"Stats"_s);
    card.contentLayout()->addWidget(content);
    card.resize(300, 120);
    card.layout()->activate();
    EXPECT_EQ(content->geometry().topLeft(), QPoint(24, 24));
    EXPECT_EQ(card.background().cornerRadius, 16);

    const QImage image = render(card, Qt::black);
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::black)); // outside the rounded corner
    const QColor inside = image.pixelColor(150, 100);
    EXPECT_NEAR(inside.red(), qRound(255 * 0.05), 2); // white at 0.05 over black
    const QColor rim = image.pixelColor(150, 0);
    EXPECT_GT(rim.red(), inside.red()); // the border adds white at 0.1
}

TEST(DimmedBackdrop, DarkensWhatLiesBehindBySevenTenthsAndSwallowsClicks)
{
    QWidget window;
    window.resize(200, 100);
    auto* below = new PlainButton(RoundedBackground::glass(8), QMargins(), QBoxLayout::LeftToRight, &window);
    below->setGeometry(0, 0, 200, 100);
    auto* backdrop = new DimmedBackdrop(&window);
    backdrop->setGeometry(0, 0, 200, 100);
    window.show();
    int clicks = 0;
    QObject::connect(below, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    QTest::mouseClick(window.childAt(100, 50), Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(clicks, 0);

    const QImage image = render(*backdrop);
    EXPECT_NEAR(image.pixelColor(100, 50).red(), qRound(255 * 0.3), 1);
}

TEST(PlainButton, ClicksOnTheLabelReachTheButtonAndHoverSwapsTheBackground)
{
    PlainButton button(RoundedBackground::tinted(8, PremiumTheme::warning(), 0.1, 0), QMargins(16, 8, 16, 8));
    button.setHoverBackground(RoundedBackground::tinted(8, PremiumTheme::warning(), 0.2, 0));
    labelContent(*button.contentLayout(), u"arrow.uturn.backward"_s, u"Undo"_s);
    button.setTextStyle(PremiumTheme::labelFont(), PremiumTheme::warning());
    button.show();
    const QSize hint = button.sizeHint();
    EXPECT_GE(hint.height(), 13 + 16);
    button.resize(hint);

    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    QWidget* title = button.contentLayout()->itemAt(1)->widget();
    const QPoint onTitle = title->geometry().center();
    EXPECT_EQ(button.childAt(onTitle), nullptr); // the label lets the pointer through
    QTest::mouseClick(&button, Qt::LeftButton, {}, onTitle);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), PremiumTheme::warning());

    std::vector<bool> hovers;
    QObject::connect(&button, &PlainButton::hoveredChanged, [&hovers](bool on) { hovers.push_back(on); });
    const qreal restingAlpha = button.currentBackground().fill.color().alphaF();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHovered());
    EXPECT_NEAR(button.currentBackground().fill.color().alphaF(), 2 * restingAlpha, 0.01);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isHovered());
    EXPECT_EQ(hovers, (std::vector<bool>{true, false}));
}

TEST(PlainButton, ATextLabelInsideKeepsItsOwnColour)
{
    PlainButton button(RoundedBackground{}, QMargins());
    QLabel* count = makeTextLabel(u"2 operations"_s, PremiumTheme::smallLabelFont(), PremiumTheme::textTertiary());
    button.contentLayout()->addWidget(count);
    button.show();
    // What the label paints with, not merely what its palette holds.
    EXPECT_EQ(count->palette().color(count->foregroundRole()), PremiumTheme::textTertiary());
    EXPECT_EQ(count->font().pixelSize(), 11);
}

TEST(CenteredOverlay, CoversTheWindowWithTheBackdropAndCentresThePanel)
{
    QWidget window;
    window.resize(800, 600);
    Publisher model;
    auto* overlay = centeredOverlayContent(window, model, &Publisher::changed, [](CenteredOverlay& stack, Publisher&) {
        stack.addLayer(new DimmedBackdrop);
        auto* panel = new QWidget;
        panel->setFixedSize(300, 200);
        stack.addLayer(panel);
    });
    window.show();
    overlay->layout()->activate();
    EXPECT_EQ(overlay->geometry(), window.rect());
    QList<QWidget*> layers = overlay->layers();
    ASSERT_EQ(layers.size(), 2);
    EXPECT_EQ(layers[0]->geometry(), window.rect());
    EXPECT_EQ(layers[1]->geometry(), QRect(250, 200, 300, 200));
    EXPECT_EQ(window.childAt(400, 300), layers[1]); // the panel lies above the backdrop

    window.resize(1000, 700);
    overlay->layout()->activate();
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 1000, 700));
    EXPECT_EQ(layers[1]->geometry().center(), QRect(0, 0, 1000, 700).center());
}

TEST(CenteredOverlay, RebuildsOncePerTurnAfterPublishingAndOnlyWhileShown)
{
    QWidget window;
    window.resize(400, 300);
    Publisher model;
    QStringList seen;
    auto* overlay =
        centeredOverlayContent(window, model, &Publisher::changed, [&seen](CenteredOverlay& stack, Publisher& m) {
            auto* label = new QLabel(QString::number(m.value));
            seen.append(label->text());
            stack.addLayer(label);
        });
    window.show();
    EXPECT_EQ(seen, QStringList{u"0"_s});

    model.publish(1);
    model.publish(2);
    QCoreApplication::processEvents();
    flushDeferredDeletes();
    EXPECT_EQ(seen, (QStringList{u"0"_s, u"2"_s}));
    ASSERT_EQ(overlay->layers().size(), 1);
    EXPECT_EQ(qobject_cast<QLabel*>(overlay->layers()[0])->text(), u"2"_s);
    EXPECT_EQ(overlay->findChildren<QLabel*>().size(), 1); // the old layer is gone

    overlay->hide();
    model.publish(3);
    model.publish(4);
    QCoreApplication::processEvents();
    EXPECT_EQ(overlay->buildCount(), 2);
    overlay->show();
    EXPECT_EQ(seen.last(), u"4"_s);
    EXPECT_EQ(overlay->buildCount(), 3);
}

TEST(CenteredOverlay, AButtonOfTheOverlayMayCausePublishingWithoutPullingTheRugFromUnderItself)
{
    QWidget window;
    window.resize(400, 300);
    Publisher model;
    auto* overlay =
        centeredOverlayContent(window, model, &Publisher::changed, [](CenteredOverlay& stack, Publisher& m) {
            auto* done = new PlainButton(RoundedBackground::glass(12), QMargins(32, 16, 32, 16));
            labelContent(*done->contentLayout(), u"checkmark"_s, u"Done"_s);
            QObject::connect(done, &QAbstractButton::clicked, &m, [&m] { m.publish(m.value + 1); });
            stack.addLayer(done);
        });
    window.show();
    overlay->layout()->activate();
    QWidget* first = overlay->layers().at(0);
    QTest::mouseClick(first, Qt::LeftButton, {}, first->rect().center());
    QCoreApplication::processEvents();
    flushDeferredDeletes();
    EXPECT_EQ(model.value, 1);
    ASSERT_EQ(overlay->layers().size(), 1);
    EXPECT_NE(overlay->layers()[0], first);
}

TEST(CenteredOverlay, ShowsOnlyWithItsScreenAndKeepsTheKeyboardWithin)
{
    QWidget window;
    window.resize(600, 400);
    auto* screen = new QWidget(&window);
    screen->setGeometry(200, 0, 400, 400);
    auto* outside = new QPushButton(u"Elsewhere"_s, &window);
    Publisher model;
    auto* overlay = centeredOverlayContent(*screen, model, &Publisher::changed, [](CenteredOverlay& stack, Publisher&) {
        stack.addLayer(new DimmedBackdrop);
        stack.addLayer(new QPushButton(u"Done"_s));
    });
    window.show();
    outside->setFocus();
    overlay->setVisible(true);
    EXPECT_EQ(overlay->parentWidget(), &window);
    EXPECT_EQ(overlay->geometry(), window.rect()); // not only the screen's part
    EXPECT_TRUE(overlay->isAncestorOf(window.childAt(outside->geometry().center())));
    EXPECT_TRUE(overlay->isAncestorOf(window.focusWidget()) || window.focusWidget() == overlay);
    for (int step = 0; step < 3; ++step) {
        QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(overlay->isAncestorOf(window.focusWidget())) << step;
    }

    screen->hide(); // another screen takes the column: the overlay goes too
    EXPECT_FALSE(overlay->isVisible());
    screen->show();
    EXPECT_TRUE(overlay->isVisible());
    overlay->setVisible(false);
    EXPECT_EQ(window.childAt(outside->geometry().center()), outside);

    QPointer<CenteredOverlay> gone(overlay);
    delete screen; // the overlay lives in the window, but not longer than its screen
    EXPECT_TRUE(gone.isNull());
}

TEST(ShadowUnderlay, AShadowReachesPastATightRowFollowsItsButtonAndGoesWithIt)
{
    QWidget page;
    page.resize(400, 300);
    page.setAutoFillBackground(true);
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, Qt::black);
    page.setPalette(palette);
    auto* row = new QWidget(&page);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    RoundedBackground glowing{12, QColor(Qt::blue), Qt::transparent, 0,
                              RoundedBackground::Shadow{QColor(0, 255, 0, 128), 20, QPointF(0, 10)}};
    auto* button = new PlainButton(glowing, QMargins(16, 16, 16, 16));
    layout->addWidget(button);
    row->setGeometry(50, 100, 300, 50);
    page.show();
    QCoreApplication::processEvents();

    ShadowUnderlay* shadow = ShadowUnderlay::of(*button);
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->parentWidget(), &page); // the row is too small to hold it
    QImage image = page.grab().toImage();
    const auto greenAt = [&image](int x, int y) { return qGreen(image.pixel(x, y)); };
    const QRect shape(button->mapTo(&page, QPoint()), button->size());
    const int below = row->geometry().bottom() + 4;
    EXPECT_GT(greenAt(shape.center().x(), below), 25) << "the glow below the row";
    EXPECT_GT(greenAt(shape.center().x(), below), greenAt(shape.center().x(), below + 20)) << "fading out";
    EXPECT_EQ(greenAt(shape.center().x(), shape.top() - 40), 0) << "well away from the button";
    // The rounded corner shows the glow, not a dark wedge of the row's clip.
    EXPECT_GT(greenAt(shape.left(), shape.bottom()), 20);

    row->move(50, 20);
    QCoreApplication::processEvents();
    EXPECT_EQ(shadow->shapeRect(), QRectF(button->rect()).translated(button->mapTo(&page, QPoint()) - shadow->pos()));
    button->hide();
    QCoreApplication::processEvents();
    EXPECT_FALSE(shadow->isVisible());
    button->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shadow->isVisible());

    glowing.shadow.reset();
    button->setBackground(glowing);
    EXPECT_EQ(ShadowUnderlay::of(*button), nullptr);
    EXPECT_TRUE(page.findChildren<ShadowUnderlay*>().isEmpty());
    button->setBackground(
        RoundedBackground{12, QColor(Qt::blue), Qt::transparent, 0, RoundedBackground::Shadow{Qt::green, 8, {}}});
    QCoreApplication::processEvents();
    ASSERT_EQ(page.findChildren<ShadowUnderlay*>().size(), 1);
    delete row;
    EXPECT_TRUE(page.findChildren<ShadowUnderlay*>().isEmpty());
}

TEST(ProgressRing, ArcStartsAtTheTopAndGrowsClockwise)
{
    ProgressRing ring({withOpacity(PremiumTheme::primary(), 0.2), QBrush(Qt::red), u"folder.badge.gearshape"_s,
                       PremiumTheme::primaryGradient(), 40});
    const auto redAt = [&ring](QPoint point) { return render(ring, Qt::black).pixelColor(point).red() > 200; };
    const QPoint top(50, 2), right(98, 50), bottom(50, 98), left(2, 50);
    EXPECT_FALSE(redAt(top));
    ring.setFraction(0.3);
    EXPECT_TRUE(redAt(right));
    EXPECT_FALSE(redAt(bottom));
    EXPECT_FALSE(redAt(left));
    ring.setFraction(0.8);
    EXPECT_TRUE(redAt(bottom));
    EXPECT_TRUE(redAt(left));

    for (const auto& [given, kept] : std::vector<std::pair<qreal, qreal>>{
             {-1, 0}, {2, 1}, {std::numeric_limits<qreal>::quiet_NaN(), 0}, {0.25, 0.25}}) {
        ring.setFraction(given);
        EXPECT_EQ(ring.fraction(), kept);
    }
}

TEST(LinearProgressBar, FractionOfValueOverTotalWithEmptyTotalsEmpty)
{
    LinearProgressBar bar;
    struct Case
    {
        double value, total, fraction;
    };
    for (const Case& c : {Case{3, 4, 0.75}, Case{0, 0, 0}, Case{5, 0, 0}, Case{7, 5, 1}, Case{-1, 5, 0},
                          Case{1, std::numeric_limits<double>::infinity(), 0}}) {
        bar.setProgress(c.value, c.total);
        EXPECT_EQ(bar.fraction(), c.fraction) << c.value << " of " << c.total;
    }
}

#include "tool_blocks_test.moc"
