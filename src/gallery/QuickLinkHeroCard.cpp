#include "gallery/QuickLinkHeroCard.h"

#include "gallery/CollectionTint.h"
#include "gallery/TilePainting.h"
#include "ui/PremiumTheme.h"
#include "ui/SoftShadow.h"
#include "ui/TextStyle.h"

#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

const QFont& QuickLinkHeroCard::nameFont()
{
    // The interface font has no rounded design; its bold stands in.
    static const QFont font = PremiumTheme::systemFont(16, QFont::Bold);
    return font;
}

void QuickLinkHeroCard::paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, qreal hover)
{
    using namespace TilePainting;
    const QColor tint = tintOf(collection.color, PremiumTheme::systemColor(SystemColor::blue));
    const QColor accent = tintOf(collection.color, Qt::white);
    scaleAbout(painter, rect, scale(hover));

    const QRectF card(rect.topLeft(), QSizeF(rect.width(), height));
    // The shadow fades in and out with the hover.
    SoftShadow::paintRoundedRect(painter, card, cornerRadius, withOpacity(accent, 0.2 * std::clamp<qreal>(hover, 0, 1)),
                                 10, QPointF(0, 5));
    const QColor outline = QColor::fromRgbF(1, 1, 1, 0.1f);
    paintSurface(painter, card, {cornerRadius, withOpacity(tint, 0.3), withOpacity(tint, 0.1), outline, outline});

    const QRectF content = card.adjusted(margin, margin, -margin, -margin);
    const qreal circle = globeSize + 2 * globeMargin;
    symbolInCircle(painter, content.topLeft() + QPointF(circle / 2, circle / 2), circle,
                   QColor::fromRgbF(1, 1, 1, 0.1f), u"globe"_s, globeSize, accent);

    if (collection.itemCount > 0) {
        const int countHeight = lineHeight(TextStyle::caption2());
        drawLine(painter, QRectF(content.left(), content.bottom() - countHeight, content.width(), countHeight),
                 itemsText(collection.itemCount), TextStyle::caption2(), QColor::fromRgbF(1, 1, 1, 0.6f));
    }
    drawLine(painter, nameRect(rect, collection), collection.name, nameFont(), Qt::white);
}

QRectF QuickLinkHeroCard::nameRect(const QRectF& rect, const SmartCollection& collection)
{
    using namespace TilePainting;
    const QRectF content =
        QRectF(rect.topLeft(), QSizeF(rect.width(), height)).adjusted(margin, margin, -margin, -margin);
    qreal bottom = content.bottom();
    if (collection.itemCount > 0)
        bottom -= lineHeight(TextStyle::caption2()) + spacing;
    const int nameHeight = lineHeight(nameFont());
    return {content.left(), bottom - nameHeight, content.width(), qreal(nameHeight)};
}

bool QuickLinkHeroCard::isNameCut(const QRectF& rect, const SmartCollection& collection)
{
    return TilePainting::isCut(nameRect(rect, collection), collection.name, nameFont());
}
