#include "gallery/CollectionListRow.h"

#include "gallery/CollectionTint.h"
#include "gallery/TilePainting.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QCache>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// Long names wrap between words, and inside a word only when it alone is
// wider than the row.
QTextOption nameOption()
{
    QTextOption option(Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

int wrappedHeight(const QString& text, const QFont& font, int width)
{
    QTextLayout layout(text, font);
    layout.setTextOption(nameOption());
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        height += line.height();
    }
    layout.endLayout();
    return int(std::ceil(height));
}

QRectF nameRect(const QRectF& row)
{
    const qreal left =
        row.left() + CollectionListRow::horizontalMargin + CollectionListRow::tileSize + CollectionListRow::spacing;
    return QRectF(left, row.top() + CollectionListRow::verticalMargin, CollectionListRow::nameWidth(int(row.width())),
                  row.height() - 2 * CollectionListRow::verticalMargin);
}
} // namespace

const QFont& CollectionListRow::nameFont()
{
    static const QFont font = PremiumTheme::systemFont(15, QFont::Medium);
    return font;
}

int CollectionListRow::nameWidth(int width)
{
    // Tile, name, spacer and chevron sit `spacing` apart inside the margins.
    return std::max(1, width - 2 * horizontalMargin - tileSize - 3 * spacing - chevronSize);
}

int CollectionListRow::height(const QString& name, int width)
{
    // Measuring a name shapes it; a long list is laid out again for every
    // width and every new list, while its names rarely change.
    static QCache<QString, int> advances(20000);
    const QFontMetrics metrics(nameFont());
    int* advance = advances.object(name);
    if (!advance) {
        advance = new int(metrics.horizontalAdvance(name));
        advances.insert(name, advance);
    }
    const int available = nameWidth(width);
    int textHeight = metrics.height();
    if (*advance > available)
        textHeight = std::max(textHeight, wrappedHeight(name, nameFont(), available));
    return std::max(tileSize, textHeight) + 2 * verticalMargin;
}

void CollectionListRow::paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, bool hovered)
{
    using namespace TilePainting;
    const CollectionTint tint = CollectionTint::of(collection.color);
    if (hovered)
        paintSurface(painter, rect, Surface::solid(cornerRadius, QColor::fromRgbF(1, 1, 1, 0.08f)));

    const QRectF tile(rect.left() + horizontalMargin, rect.center().y() - tileSize / 2.0, tileSize, tileSize);
    paintSurface(painter, tile, {cornerRadius, tint.fillStart, tint.fillEnd, tint.rowOutline, tint.rowOutline});
    const QRectF symbol(tile.center() - QPointF(symbolSize / 2.0, symbolSize / 2.0), QSizeF(symbolSize, symbolSize));
    SymbolRegistry::paint(painter, symbol, collection.icon, tint.symbol);

    painter.setFont(nameFont());
    painter.setPen(Qt::white);
    painter.drawText(nameRect(rect), collection.name, nameOption());

    const QRectF chevron(rect.right() - horizontalMargin - chevronSize, rect.center().y() - chevronSize / 2.0,
                         chevronSize, chevronSize);
    SymbolRegistry::paint(painter, chevron, u"chevron.right"_s, QColor::fromRgbF(1, 1, 1, 0.4f));
}
