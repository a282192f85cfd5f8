#include "ui/AppStyle.h"
#include "ui/ColorFromHex.h"
#include "ui/PremiumTheme.h"

#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
struct Rgba
{
    int red, green, blue, alpha;
    bool operator==(const Rgba&) const = default;
};

Rgba rgba(const QColor& color)
{
    return {color.red(), color.green(), color.blue(), color.alpha()};
}

void PrintTo(const Rgba& c, std::ostream* os)
{
    *os << "(" << c.red << ", " << c.green << ", " << c.blue << ", " << c.alpha << ")";
}
} // namespace

TEST(ColorFromHex, ReadsSixAndThreeDigitFormsWithOrWithoutHash)
{
    EXPECT_EQ(rgba(colorFromHex(u"#6366F1"_s)), (Rgba{99, 102, 241, 255}));
    EXPECT_EQ(rgba(colorFromHex(u"6366F1"_s)), (Rgba{99, 102, 241, 255}));
    EXPECT_EQ(rgba(colorFromHex(u"6366f1"_s)), (Rgba{99, 102, 241, 255}));
    EXPECT_EQ(rgba(colorFromHex(u"FFF"_s)), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(rgba(colorFromHex(u" #abc "_s)), (Rgba{170, 187, 204, 255}));
}

TEST(ColorFromHex, EightDigitsPutAlphaFirst)
{
    EXPECT_EQ(rgba(colorFromHex(u"#80FF0000"_s)), (Rgba{255, 0, 0, 128}));
    EXPECT_EQ(rgba(colorFromHex(u"GGGGGGGG"_s)), (Rgba{0, 0, 0, 0}));
}

TEST(ColorFromHex, UnusableLengthsAreOpaqueBlack)
{
    for (const QString& text : {u""_s, u"12345"_s, u"#"_s, u"1234567890"_s, u"GGGGGG"_s})
        EXPECT_EQ(rgba(colorFromHex(text)), (Rgba{0, 0, 0, 255})) << text.toStdString();
}

TEST(ColorFromHex, CountsCharactersNotDigitsRead)
{
    // "0x" is read as a prefix but still counts towards the length.
    EXPECT_EQ(rgba(colorFromHex(u"0x1234"_s)), (Rgba{0, 18, 52, 255}));
    // Inner blanks survive the trim; reading stops at the first one.
    EXPECT_EQ(rgba(colorFromHex(u"#12 34 56"_s)), (Rgba{0, 0, 18, 0}));
    // A letter with a combining mark is one character and is not trimmed.
    EXPECT_EQ(rgba(colorFromHex(u"AB\u00E9CD"_s)), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(rgba(colorFromHex(u"ABe\u0301"_s)), (Rgba{170, 187, 238, 255}));
}

TEST(PremiumTheme, TokensHoldTheBrandValues)
{
    EXPECT_EQ(rgba(PremiumTheme::primary()), (Rgba{99, 102, 241, 255}));
    EXPECT_EQ(rgba(PremiumTheme::secondary()), (Rgba{139, 92, 246, 255}));
    EXPECT_EQ(rgba(PremiumTheme::background()), (Rgba{10, 10, 10, 255}));
    EXPECT_EQ(rgba(PremiumTheme::surfaceElevated()), (Rgba{42, 42, 42, 255}));
    EXPECT_EQ(rgba(PremiumTheme::warning()), (Rgba{245, 158, 11, 255}));
    EXPECT_NEAR(PremiumTheme::glassBorder().alphaF(), 0.1, 0.003);
    EXPECT_NEAR(PremiumTheme::textTertiary().alphaF(), 0.5, 0.003);
    // The window palette is made of the same tokens.
    const QPalette palette = darkPalette();
    EXPECT_EQ(palette.color(QPalette::Window), PremiumTheme::background());
    EXPECT_EQ(palette.color(QPalette::Base), PremiumTheme::surface());
    EXPECT_EQ(palette.color(QPalette::Highlight), PremiumTheme::primary());
    EXPECT_EQ(palette.color(QPalette::Link), PremiumTheme::primary());
}

TEST(PremiumTheme, GradientRunsLeftToRightFromPrimaryToSecondary)
{
    const QLinearGradient& gradient = PremiumTheme::primaryGradient();
    ASSERT_EQ(gradient.stops().size(), 2);
    EXPECT_EQ(gradient.stops()[0], QGradientStop(0.0, PremiumTheme::primary()));
    EXPECT_EQ(gradient.stops()[1], QGradientStop(1.0, PremiumTheme::secondary()));
    EXPECT_EQ(gradient.start(), QPointF(0, 0.5));
    EXPECT_EQ(gradient.finalStop(), QPointF(1, 0.5));
    EXPECT_EQ(gradient.coordinateMode(), QGradient::ObjectBoundingMode);
}

TEST(PremiumTheme, FontsAreInterAtPixelSizes)
{
    EXPECT_EQ(QFontInfo(PremiumTheme::bodyFont()).family(), u"Inter"_s);
    EXPECT_EQ(PremiumTheme::titleFont().pixelSize(), 32);
    EXPECT_EQ(PremiumTheme::titleFont().weight(), QFont::DemiBold);
    EXPECT_EQ(PremiumTheme::smallLabelFont().pixelSize(), 11);
    EXPECT_EQ(PremiumTheme::smallLabelFont().weight(), QFont::Medium);
    const QFontMetrics mono(PremiumTheme::monoFont());
    EXPECT_EQ(mono.horizontalAdvance(u"iiii"_s), mono.horizontalAdvance(u"WWWW"_s));
    EXPECT_EQ(PremiumTheme::monoFont().pixelSize(), 13);
}

TEST(AppStyle, PaletteComesFromTheTokens)
{
    const QPalette palette = darkPalette();
    EXPECT_EQ(palette.color(QPalette::Window), PremiumTheme::background());
    EXPECT_EQ(palette.color(QPalette::Base), PremiumTheme::surface());
    EXPECT_EQ(palette.color(QPalette::Highlight), PremiumTheme::primary());
    EXPECT_TRUE(applicationStyleSheet().contains(u"rgba(99, 102, 241, 1.000)"_s));
}
