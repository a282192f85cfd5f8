#include "ui/PremiumTheme.h"

#include "ui/ColorFromHex.h"

#include <QFontDatabase>

using namespace Qt::StringLiterals;

namespace {

QFont interFont(int pixelSize, QFont::Weight weight)
{
    QFont font(u"Inter"_s);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}
} // namespace

namespace PremiumTheme {

// Function-local statics give the one-time, thread-safe initialisation.
const QColor& primary()
{
    static const QColor color = colorFromHex(u"#6366F1"_s);
    return color;
}

const QColor& secondary()
{
    static const QColor color = colorFromHex(u"#8B5CF6"_s);
    return color;
}

const QColor& background()
{
    static const QColor color = colorFromHex(u"#0A0A0A"_s);
    return color;
}

const QColor& surface()
{
    static const QColor color = colorFromHex(u"#1A1A1A"_s);
    return color;
}

const QColor& surfaceElevated()
{
    static const QColor color = colorFromHex(u"#2A2A2A"_s);
    return color;
}

const QColor& glassFill()
{
    static const QColor color = whiteAt(0.05);
    return color;
}

const QColor& glassBorder()
{
    static const QColor color = whiteAt(0.1);
    return color;
}

const QColor& textPrimary()
{
    static const QColor color = whiteAt(1.0);
    return color;
}

const QColor& textSecondary()
{
    static const QColor color = whiteAt(0.7);
    return color;
}

const QColor& textTertiary()
{
    static const QColor color = whiteAt(0.5);
    return color;
}

const QColor& success()
{
    static const QColor color = colorFromHex(u"#10B981"_s);
    return color;
}

const QColor& error()
{
    static const QColor color = colorFromHex(u"#EF4444"_s);
    return color;
}

const QColor& warning()
{
    static const QColor color = colorFromHex(u"#F59E0B"_s);
    return color;
}

const QColor& info()
{
    static const QColor color = colorFromHex(u"#3B82F6"_s);
    return color;
}

const QLinearGradient& primaryGradient()
{
    static const QLinearGradient gradient = [] {
        QLinearGradient g(QPointF(0, 0.5), QPointF(1, 0.5));
        g.setCoordinateMode(QGradient::ObjectBoundingMode);
        g.setColorAt(0, primary());
        g.setColorAt(1, secondary());
        return g;
    }();
    return gradient;
}

const QFont& titleFont()
{
    static const QFont font = interFont(32, QFont::DemiBold);
    return font;
}

const QFont& headingFont()
{
    static const QFont font = interFont(24, QFont::Medium);
    return font;
}

const QFont& bodyLargeFont()
{
    static const QFont font = interFont(17, QFont::Normal);
    return font;
}

const QFont& bodyFont()
{
    static const QFont font = interFont(15, QFont::Normal);
    return font;
}

const QFont& captionFont()
{
    static const QFont font = interFont(13, QFont::Normal);
    return font;
}

const QFont& buttonFont()
{
    static const QFont font = interFont(15, QFont::DemiBold);
    return font;
}

const QFont& labelFont()
{
    static const QFont font = interFont(13, QFont::Medium);
    return font;
}

const QFont& smallLabelFont()
{
    static const QFont font = interFont(11, QFont::Medium);
    return font;
}

const QFont& monoFont()
{
    static const QFont font = [] {
        QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setPixelSize(13);
        f.setWeight(QFont::Normal);
        return f;
    }();
    return font;
}

QFont systemFont(int pixelSize, QFont::Weight weight)
{
    return interFont(pixelSize, weight);
}

const Spring& standardSpring()
{
    static const Spring spring{0.3, 0.7, 0.0};
    return spring;
}

QColor systemColor(SystemColor color)
{
    // The dark-appearance variants: brighter than their light-mode cousins so
    // they hold up on near-black surfaces.
    switch (color) {
    case SystemColor::red:
        return QColor(0xFF, 0x45, 0x3A);
    case SystemColor::orange:
        return QColor(0xFF, 0x9F, 0x0A);
    case SystemColor::yellow:
        return QColor(0xFF, 0xD6, 0x0A);
    case SystemColor::green:
        return QColor(0x30, 0xD1, 0x58);
    case SystemColor::mint:
        return QColor(0x63, 0xE6, 0xE2);
    case SystemColor::teal:
        return QColor(0x40, 0xC8, 0xE0);
    case SystemColor::cyan:
        return QColor(0x64, 0xD2, 0xFF);
    case SystemColor::blue:
        return QColor(0x0A, 0x84, 0xFF);
    case SystemColor::indigo:
        return QColor(0x5E, 0x5C, 0xE6);
    case SystemColor::purple:
        return QColor(0xBF, 0x5A, 0xF2);
    case SystemColor::pink:
        return QColor(0xFF, 0x37, 0x5F);
    case SystemColor::brown:
        return QColor(0xAC, 0x8E, 0x68);
    case SystemColor::gray:
        return QColor(0x98, 0x98, 0x9D);
    }
    Q_UNREACHABLE();
    return {};
}

const QColor& accent()
{
    static const QColor color = systemColor(SystemColor::blue);
    return color;
}

} // namespace PremiumTheme
