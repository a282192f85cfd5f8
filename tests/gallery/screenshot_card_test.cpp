#include "gallery/CleanScreenshotCard.h"

#include "support/Contrast.h"
#include "ui/PremiumTheme.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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

TEST(ScreenshotCard, PictureFillsTheSquareFromTheCentreInEveryFormat)
{
    // Left third red, middle green, right third blue: filling a square keeps
    // the middle, whatever the decoder's pixel format.
    QImage wide(300, 100, QImage::Format_RGB32);
    QPainter painter(&wide);
    painter.fillRect(0, 0, 100, 100, Qt::red);
    painter.fillRect(100, 0, 100, 100, Qt::green);
    painter.fillRect(200, 0, 100, 100, Qt::blue);
    painter.end();

    CleanScreenshotCard card;
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_ARGB32,
                                        QImage::Format_Indexed8, QImage::Format_RGB16}) {
        const QImage pixels = card.picture(wide.convertToFormat(format), 50, 2.0);
        ASSERT_EQ(pixels.size(), QSize(100, 100)) << format;
        EXPECT_DOUBLE_EQ(pixels.devicePixelRatio(), 2.0);
        EXPECT_EQ(pixels.pixelColor(50, 50), QColor(Qt::green)) << format;
        EXPECT_EQ(pixels.pixelColor(2, 50), QColor(Qt::green)) << format << ": the red third is cut away";
        EXPECT_EQ(pixels.pixelColor(0, 0).rgb(), PremiumTheme::surface().rgb()) << "rounded corner";
        EXPECT_LT(pixels.pixelColor(12, 99).red(), PremiumTheme::surface().red()) << "the shadow below the corner";
    }
    // The next size makes its own corners.
    const QImage small = card.picture(wide, 20, 1.0);
    EXPECT_EQ(small.size(), QSize(20, 20));
    EXPECT_EQ(small.pixelColor(0, 0).rgb(), PremiumTheme::surface().rgb());
    EXPECT_EQ(small.pixelColor(10, 10), QColor(Qt::green));
    EXPECT_TRUE(card.picture(QImage(), 50, 1.0).isNull());
}

TEST(ScreenshotCard, TransparentPartsOfAPictureShowTheSurface)
{
    QImage clear(40, 40, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    CleanScreenshotCard card;
    const QImage pixels = card.picture(clear, 40, 1.0);
    EXPECT_FALSE(pixels.hasAlphaChannel());
    EXPECT_EQ(pixels.pixelColor(20, 20).rgb(), PremiumTheme::surface().rgb());
}

TEST(ScreenshotCard, PillSitsAtTheBottomCentreAtEveryScale)
{
    State waiting;
    waiting.textAbsent = true;
    CleanScreenshotCard card;
    for (const qreal ratio : {1.0, 2.0, 1.0}) {
        QImage canvas(QSize(160, 160) * ratio, QImage::Format_ARGB32_Premultiplied);
        canvas.setDevicePixelRatio(ratio);
        canvas.fill(Qt::black);
        {
            QPainter painter(&canvas);
            card.paint(painter, QRectF(0, 0, 160, 160), CleanScreenshotCard::layers(waiting), QImage());
        }
        // In the pill's left padding, halfway up.
        const QColor pill = canvas.pixelColor(QPoint(52, 141) * ratio);
        EXPECT_GT(pill.blue(), 150) << ratio;
        EXPECT_EQ(canvas.pixelColor(QPoint(80, 40) * ratio).rgb(), PremiumTheme::surface().rgb()) << ratio;
    }
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
// A file that gives no picture: the symbol where it fits, the sentence only
// where it fits whole, and neither under the check button, shown or not.
TEST(ScreenshotCard, AnUnreadableCardSaysSoClearOfTheCheckButton)
{
    State unreadable;
    unreadable.unreadable = true;
    EXPECT_TRUE(CleanScreenshotCard::layers(unreadable).unreadable);
    unreadable.hasPicture = true; // a picture came after all
    EXPECT_FALSE(CleanScreenshotCard::layers(unreadable).unreadable);
    unreadable.hasPicture = false;

    CleanScreenshotCard card;
    for (const int side : {70, 100, 160, 300}) {
        for (const bool selecting : {false, true}) {
            SCOPED_TRACE(testing::Message() << side << (selecting ? " in selection mode" : ""));
            unreadable.selectionMode = selecting;
            const QRectF cell(0, 0, side, side);
            QImage canvas(side, side, QImage::Format_RGB32);
            {
                QPainter painter(&canvas);
                card.paint(painter, cell, CleanScreenshotCard::layers(unreadable), QImage());
            }
            const QRect check = CleanScreenshotCard::checkButtonHitRect(cell).toAlignedRect();
            QRect drawn;
            for (int y = 0; y < side; ++y)
                for (int x = 0; x < side; ++x)
                    if (!check.contains(x, y) && canvas.pixelColor(x, y).rgb() != PremiumTheme::surface().rgb())
                        drawn |= QRect(x, y, 1, 1);
            ASSERT_FALSE(drawn.isEmpty());
            EXPECT_GE(drawn.top(), check.bottom());
            EXPECT_GE(drawn.left(), 8);
            EXPECT_LE(drawn.right(), side - 8);
            const bool sentence = drawn.height() > 32; // more than the symbol
            if (side == 300) {
                EXPECT_TRUE(sentence);
            } else if (side == 70) {
                EXPECT_FALSE(sentence);
            }
        }
    }
}

struct MarkContrast
{
    double checkOnDisc = 0; // the check against its disc
    double discEdge = 0;    // the disc against what borders it
};

// The selected card's mark over a picture of one colour, read back from the
// painted pixels; `dimmed` lays over it what a window-modal question lays
// over the window (black at 90 of 255, as the screenshots show it).
MarkContrast markContrast(const QColor& picture, bool dimmed)
{
    constexpr int side = 160;
    constexpr qreal ratio = 4;
    const QRectF cell(0, 0, side, side);
    CleanScreenshotCard card;
    QImage thumbnail(64, 64, QImage::Format_RGB32);
    thumbnail.fill(picture);
    QImage canvas(QSize(side, side) * ratio, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(ratio);
    {
        QPainter painter(&canvas);
        card.paint(painter, cell, CleanScreenshotCard::layers(state(true, false, false, false)),
                   card.picture(thumbnail, side, ratio));
        if (dimmed)
            painter.fillRect(cell, QColor(0, 0, 0, 90));
    }
    const QRectF mark = CleanScreenshotCard::checkButtonRect(cell);
    const auto at = [&](double x, double y) { return canvas.pixelColor(QPointF(x * ratio, y * ratio).toPoint()); };
    const QPointF centre = mark.center();
    // Above the check, inside the disc.
    const QColor disc = at(centre.x(), centre.y() - mark.height() / 4);
    MarkContrast measured;
    for (double y = centre.y() - 3; y <= centre.y() + 3; y += 1 / ratio)
        for (double x = centre.x() - 3; x <= centre.x() + 3; x += 1 / ratio)
            measured.checkOnDisc = std::max(measured.checkOnDisc, contrast(at(x, y), disc));
    // Straight up from the disc to beyond the mark.
    for (double y = centre.y() - mark.height() / 4; y > mark.top() - 6; y -= 1 / ratio)
        measured.discEdge = std::max(measured.discEdge, contrast(at(centre.x(), y), disc));
    return measured;
}

// The check mark of a selected card reads at 3:1 at least on the lightest
// picture, on the darkest and on one of its own colour, under the dimming of
// the delete question too.
TEST(ScreenshotCard, TheCheckMarkStandsOutOnAnyPictureDimmedOrNot)
{
    for (const QColor& picture : {QColor(Qt::white), QColor(Qt::black), PremiumTheme::primary()}) {
        for (const bool dimmed : {false, true}) {
            SCOPED_TRACE(testing::Message() << picture.name().toStdString() << (dimmed ? " dimmed" : ""));
            const MarkContrast measured = markContrast(picture, dimmed);
            EXPECT_GE(measured.checkOnDisc, 3.0);
            EXPECT_GE(measured.discEdge, 3.0);
        }
    }
}
} // namespace
