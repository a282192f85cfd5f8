#include "ui/ColorFromHex.h"

#include <algorithm>
#include <cmath>

#include "core/Graphemes.h"

#include <QStringView>

#include <cstdint>
#include <limits>

namespace {
bool isAlphanumeric(char32_t codePoint)
{
    if (QChar::isLetterOrNumber(codePoint))
        return true;
    const QChar::Category category = QChar::category(codePoint);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

QString trimNonAlphanumeric(const QString& text)
{
    const QList<uint> codePoints = text.toUcs4();
    qsizetype first = 0;
    qsizetype last = codePoints.size();
    while (first < last && !isAlphanumeric(codePoints[first]))
        ++first;
    while (last > first && !isAlphanumeric(codePoints[last - 1]))
        --last;
    const QList<uint> kept = codePoints.mid(first, last - first);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(kept.constData()), kept.size());
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads like a hexadecimal scanner: optional 0x, then digits until the first
// non-digit; saturates instead of wrapping on overflow.
std::uint64_t scanHex(QStringView text)
{
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') && hexDigitValue(text[2]) >= 0)
        text = text.mid(2);
    std::uint64_t value = 0;
    for (const QChar c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            break;
        if (value > (std::numeric_limits<std::uint64_t>::max() >> 4))
            return std::numeric_limits<std::uint64_t>::max();
        value = (value << 4) | std::uint64_t(digit);
    }
    return value;
}
} // namespace

QColor colorFromHex(const QString& text)
{
    const QString trimmed = trimNonAlphanumeric(text);
    const std::uint64_t value = scanHex(trimmed);
    int alpha = 255;
    int red = 0;
    int green = 0;
    int blue = 0;
    switch (graphemeLength(trimmed)) {
    case 8:
        alpha = int((value >> 24) & 0xFF);
        red = int((value >> 16) & 0xFF);
        green = int((value >> 8) & 0xFF);
        blue = int(value & 0xFF);
        break;
    case 6:
        red = int((value >> 16) & 0xFF);
        green = int((value >> 8) & 0xFF);
        blue = int(value & 0xFF);
        break;
    case 3:
        red = int((value >> 8) & 0xF) * 17;
        green = int((value >> 4) & 0xF) * 17;
        blue = int(value & 0xF) * 17;
        break;
    default:
        break;
    }
    return QColor(red, green, blue, alpha);
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(std::isfinite(alpha) ? float(std::clamp(alpha, 0.0, 1.0)) : 0.0f);
    return color;
}

QColor withOpacity(QColor color, double opacity)
{
    return withAlpha(color, color.alphaF() * opacity);
}
