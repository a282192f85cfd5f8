#include "gallery/CollectionCard.h"

#include "gallery/CollectionTint.h"
#include "gallery/TilePainting.h"
#include "ui/PremiumTheme.h"
#include "ui/SoftShadow.h"
#include "ui/SymbolRegistry.h"

#include <QPaintDevice>
#include <QPainter>

using namespace Qt::StringLiterals;

const QFont& CollectionCard::nameFont()
{
    static const QFont font = PremiumTheme::systemFont(15, QFont::DemiBold);
    return font;
}

int CollectionCard::height()
{
    return tileHeight + nameGap + TilePainting::lineHeight(nameFont());
}

void CollectionCard::paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, qreal hover)
{
    using namespace TilePainting;
    const CollectionTint tint = CollectionTint::of(collection.color);
    scaleAbout(painter, rect, scale(hover));

    const QRectF tile(rect.topLeft(), QSizeF(rect.width(), tileHeight));
    SoftShadow::paintRoundedRect(painter, tile, cornerRadius, QColor::fromRgbF(0, 0, 0, 0.2f), 8, QPointF(0, 4));
    paintSurface(painter, tile,
                 {cornerRadius, tint.fillStart, tint.fillEnd, tint.cardOutlineStart, tint.cardOutlineEnd});

    const QRectF symbol(tile.center() - QPointF(symbolSize / 2.0, symbolSize / 2.0), QSizeF(symbolSize, symbolSize));
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    SoftShadow::paintPixmap(painter, symbol, SymbolRegistry::pixmap(collection.icon, symbolSize, Qt::white, dpr),
                            u"symbol:"_s + collection.icon, tint.glow, 8);
    SymbolRegistry::paint(painter, symbol, collection.icon, tint.symbol);

    const QRectF name(rect.left(), tile.bottom() + nameGap, rect.width(), lineHeight(nameFont()));
    drawLine(painter, name, collection.name, nameFont(), Qt::white);
}
