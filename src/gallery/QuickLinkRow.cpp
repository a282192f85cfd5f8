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
}

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

    const QRectF row = body.adjusted(horizontalMargin, verticalMargin, -horizontalMargin, -verticalMargin);
    const QColor tint = tintOf(collection.color, PremiumTheme::systemColor(SystemColor::blue));
    symbolInCircle(painter, QPointF(row.left() + circleSize / 2.0, row.center().y()), circleSize,
                   withOpacity(tint, 0.1), u"globe"_s, symbolSize, tint);

    qreal right = row.right() - chevronSize;
    SymbolRegistry::paint(painter, QRectF(right, row.center().y() - chevronSize / 2.0, chevronSize, chevronSize),
                          u"chevron.right"_s, QColor::fromRgbF(1, 1, 1, 0.3f));
    right -= spacing;
    if (collection.itemCount > 0) {
        const QString count = itemsText(collection.itemCount);
        const qreal width = QFontMetricsF(TextStyle::caption()).horizontalAdvance(count);
        drawLine(painter, QRectF(right - width, row.top(), width + 1, row.height()), count, TextStyle::caption(),
                 QColor::fromRgbF(1, 1, 1, 0.5f), Qt::AlignRight | Qt::AlignVCenter);
        right -= width + spacing;
    }
    const qreal left = row.left() + circleSize + spacing;
    drawLine(painter, QRectF(left, row.top(), right - left, row.height()), collection.name, nameFont(), Qt::white);
}
