#include "gallery/QuickLinkRow.h"

#include "gallery/CollectionTint.h"
#include "gallery/TilePainting.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"
#include "ui/TextStyle.h"

#include <QFontMetrics>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
constexpr int dividerHeight = 1;

QRectF contentRow(const QRectF& rect)
{
    const QRectF body(rect.topLeft(), QSizeF(rect.width(), rect.height() - dividerHeight));
    return body.adjusted(QuickLinkRow::horizontalMargin, QuickLinkRow::verticalMargin, -QuickLinkRow::horizontalMargin,
                         -QuickLinkRow::verticalMargin);
}

qreal countWidth(const SmartCollection& collection)
{
    return QFontMetricsF(TextStyle::caption()).horizontalAdvance(TilePainting::itemsText(collection.itemCount));
}
} // namespace

const QFont& QuickLinkRow::nameFont()
{
    static const QFont font = PremiumTheme::systemFont(15, QFont::Medium);
    return font;
}

int QuickLinkRow::height()
{
    return circleSize + 2 * verticalMargin + dividerHeight;
}

void QuickLinkRow::paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, bool hovered)
{
    using namespace TilePainting;
    const QRectF body(rect.topLeft(), QSizeF(rect.width(), rect.height() - dividerHeight));
    if (hovered)
        paintSurface(painter, body, Surface::solid(cornerRadius, QColor::fromRgbF(1, 1, 1, 0.05f)));
    painter.fillRect(QRectF(rect.left() + dividerInset, body.bottom(), rect.width() - dividerInset, dividerHeight),
                     QColor::fromRgbF(1, 1, 1, 0.1f));

    const QRectF row = contentRow(rect);
    const QColor tint = tintOf(collection.color, PremiumTheme::systemColor(SystemColor::blue));
    symbolInCircle(painter, QPointF(row.left() + circleSize / 2.0, row.center().y()), circleSize,
                   withOpacity(tint, 0.1), u"globe"_s, symbolSize, tint);

    const qreal chevron = row.right() - chevronSize;
    SymbolRegistry::paint(painter, QRectF(chevron, row.center().y() - chevronSize / 2.0, chevronSize, chevronSize),
                          u"chevron.right"_s, QColor::fromRgbF(1, 1, 1, 0.3f));
    if (collection.itemCount > 0) {
        const QString count = itemsText(collection.itemCount);
        const qreal right = chevron - spacing;
        const qreal width = countWidth(collection);
        drawLine(painter, QRectF(right - width, row.top(), width + 1, row.height()), count, TextStyle::caption(),
                 QColor::fromRgbF(1, 1, 1, 0.5f), Qt::AlignRight | Qt::AlignVCenter);
    }
    drawLine(painter, nameRect(rect, collection), collection.name, nameFont(), Qt::white);
}

QRectF QuickLinkRow::nameRect(const QRectF& rect, const SmartCollection& collection)
{
    const QRectF row = contentRow(rect);
    qreal right = row.right() - chevronSize - spacing;
    if (collection.itemCount > 0)
        right -= countWidth(collection) + spacing;
    const qreal left = row.left() + circleSize + spacing;
    return {left, row.top(), right - left, row.height()};
}

bool QuickLinkRow::isNameCut(const QRectF& rect, const SmartCollection& collection)
{
    return TilePainting::isCut(nameRect(rect, collection), collection.name, nameFont());
}
