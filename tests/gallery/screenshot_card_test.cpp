#include "gallery/CleanScreenshotCard.h"

#include "ui/PremiumTheme.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {
using State = CleanScreenshotCard::State;
using Layers = CleanScreenshotCard::Layers;

struct LayerCase
{
    const char* name;
    State state;
    Layers expected;
};

State state(bool selected, bool selectionMode, bool focused, bool hovered)
{
    State s;
    s.selected = selected;
    s.selectionMode = selectionMode;
    s.focused = focused;
    s.hovered = hovered;
    s.hasPicture = true;
    return s;
}

Layers layers(bool mark, bool focus, bool hover, const char* check)
{
    Layers l;
    l.picture = true;
    l.selectionMark = mark;
    l.focusBorder = focus;
    l.hoverBorder = hover;
    l.checkButton = check != nullptr;
    l.checkSymbol = check ? QString::fromLatin1(check) : QString();
    return l;
}

TEST(ScreenshotCard, LayerTable)
{
    const LayerCase cases[] = {
        {"plain", state(false, false, false, false), layers(false, false, false, nullptr)},
        {"hovered", state(false, false, false, true), layers(false, false, true, "circle")},
        {"focused", state(false, false, true, false), layers(false, true, false, nullptr)},
        {"focused and hovered draw both borders", state(false, false, true, true), layers(false, true, true, "circle")},
        {"selected hides focus and hover", state(true, false, true, true),
         layers(true, false, false, "checkmark.circle.fill")},
        {"selection mode shows an empty check", state(false, true, false, false),
         layers(false, false, false, "circle")},
        {"selected in selection mode", state(true, true, false, false),
         layers(true, false, false, "checkmark.circle.fill")},
    };
    for (const LayerCase& c : cases)
        EXPECT_EQ(CleanScreenshotCard::layers(c.state), c.expected) << c.name;
}

TEST(ScreenshotCard, PillWhileTextIsAbsentAndBadgeForRecordings)
{
    State waiting;
    waiting.textAbsent = true;
    EXPECT_TRUE(CleanScreenshotCard::layers(waiting).magicPill);
    EXPECT_FALSE(CleanScreenshotCard::layers(waiting).videoBadge);
    EXPECT_FALSE(CleanScreenshotCard::layers(waiting).picture);

    State recording;
    recording.video = true;
    recording.textAbsent = true;
    EXPECT_TRUE(CleanScreenshotCard::layers(recording).magicPill);
    EXPECT_TRUE(CleanScreenshotCard::layers(recording).videoBadge);

    State analysed; // text present, even empty
    EXPECT_FALSE(CleanScreenshotCard::layers(analysed).magicPill);
}

TEST(ScreenshotCard, PictureFillsTheSquareFromTheCentre)
{
    // Left third red, middle green, right third blue: filling a square keeps
    // the middle.
    QImage wide(300, 100, QImage::Format_RGB32);
    QPainter painter(&wide);
    painter.fillRect(0, 0, 100, 100, Qt::red);
    painter.fillRect(100, 0, 100, 100, Qt::green);
    painter.fillRect(200, 0, 100, 100, Qt::blue);
    painter.end();

    const QImage pixels = CleanScreenshotCard::picture(wide, 50, 2.0);
    ASSERT_EQ(pixels.size(), QSize(100, 100));
    EXPECT_DOUBLE_EQ(pixels.devicePixelRatio(), 2.0);
    EXPECT_EQ(pixels.pixelColor(50, 50), QColor(Qt::green));
    EXPECT_EQ(pixels.pixelColor(0, 0).rgb(), PremiumTheme::surface().rgb()) << "rounded corner";
    EXPECT_TRUE(CleanScreenshotCard::picture(QImage(), 50, 1.0).isNull());
}

TEST(ScreenshotCard, SelectionFillAndBorderUseThePrimaryColour)
{
    QImage canvas(120, 120, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    CleanScreenshotCard card;
    {
        QPainter painter(&canvas);
        card.paint(painter, QRectF(10, 10, 100, 100), CleanScreenshotCard::layers(state(true, false, false, false)),
                   QImage());
    }
    EXPECT_EQ(canvas.pixelColor(10, 60).rgb(), PremiumTheme::primary().rgb()) << "border on the edge";
    const QColor inside = canvas.pixelColor(40, 60);
    EXPECT_GT(inside.blue(), PremiumTheme::surface().blue()) << "tinted fill";
    EXPECT_LT(inside.blue(), PremiumTheme::primary().blue());
}
} // namespace
