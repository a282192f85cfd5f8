#include "gallery/CollectionTint.h"

#include "ui/PremiumTheme.h"

QColor tintOf(const std::optional<SystemColor>& color, const QColor& fallback)
{
    return color ? PremiumTheme::systemColor(*color) : fallback;
}

CollectionTint CollectionTint::of(const std::optional<SystemColor>& color)
{
    const QColor white = Qt::white;
    const QColor fill = tintOf(color, PremiumTheme::systemColor(SystemColor::gray));
    const QColor tint = tintOf(color, white);
    // The outline of an untinted card is fainter than a tinted one's.
    const qreal outline = color ? 1.0 : 0.5;
    return {
        .fillStart = withOpacity(fill, 0.2),
        .fillEnd = withOpacity(fill, 0.05),
        .cardOutlineStart = withOpacity(tint, 0.4 * outline),
        .cardOutlineEnd = withOpacity(tint, 0.1 * outline),
        .rowOutline = color ? withOpacity(tint, 0.3) : withOpacity(white, 0.2),
        .symbol = tint,
        .glow = withOpacity(tint, 0.5),
    };
}
