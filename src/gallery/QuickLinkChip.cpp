#include "gallery/QuickLinkChip.h"

#include "gallery/CollectionTint.h"
#include "gallery/TilePainting.h"
#include "ui/PremiumTheme.h"
#include "ui/TextStyle.h"

#include <QFontMetrics>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
constexpr int badgeHorizontalPadding = 6;
constexpr int badgeVerticalPadding = 2;

QSizeF badgeSize(qint64 count)
{
    const QFontMetricsF metrics(QuickLinkChip::badgeFont());
    return {metrics.horizontalAdvance(QString::number(count)) + 2 * badgeHorizontalPadding,
            metrics.height() + 2 * badgeVerticalPadding};
}

// The count's capsule, right-aligned in `row`.
void paintBadge(QPainter& painter, const QRectF& row, qint64 count)
{
    const QSizeF size = badgeSize(count);
    const QRectF badge(row.right() - size.width(), row.center().y() - size.height() / 2, size.width(), size.height());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.1f));
    painter.drawRoundedRect(badge, size.height() / 2, size.height() / 2);
    TilePainting::drawLine(painter, badge, QString::number(count), QuickLinkChip::badgeFont(),
                           QColor::fromRgbF(1, 1, 1, 0.6f), Qt::AlignCenter);
}

QRectF contentRow(const QRectF& rect)
{
    return rect.adjusted(QuickLinkChip::horizontalMargin, QuickLinkChip::verticalMargin,
                         -QuickLinkChip::horizontalMargin, -QuickLinkChip::verticalMargin);
}
} // namespace

const QFont& QuickLinkChip::nameFont()
{
    static const QFont font = PremiumTheme::systemFont(14, QFont::Medium);
    return font;
}

const QFont& QuickLinkChip::badgeFont()
{
    static const QFont font = [] {
        QFont bold = TextStyle::caption2();
        bold.setWeight(QFont::Bold);
        return bold;
    }();
    return font;
}

int QuickLinkChip::height()
{
    return circleSize + 2 * verticalMargin;
}

void QuickLinkChip::paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, qreal hover)
{
    using namespace TilePainting;
    scaleAbout(painter, rect, scale(hover));
    const QColor faint = QColor::fromRgbF(1, 1, 1, 0.05f);
    paintSurface(painter, rect,
                 Surface::solid(cornerRadius, mix(faint, QColor::fromRgbF(1, 1, 1, 0.1f), hover),
                                mix(faint, QColor::fromRgbF(1, 1, 1, 0.2f), hover)));

    const QRectF row = contentRow(rect);
    symbolInCircle(painter, QPointF(row.left() + circleSize / 2.0, row.center().y()), circleSize,
                   withOpacity(tintOf(collection.color, PremiumTheme::systemColor(SystemColor::gray)), 0.2), u"link"_s,
                   symbolSize, withOpacity(tintOf(collection.color, Qt::white), 0.8));

    if (collection.itemCount > 0)
        paintBadge(painter, row, collection.itemCount);
    drawLine(painter, nameRect(rect, collection), collection.name, nameFont(), QColor::fromRgbF(1, 1, 1, 0.9f));
}

QRectF QuickLinkChip::nameRect(const QRectF& rect, const SmartCollection& collection)
{
    const QRectF row = contentRow(rect);
    qreal right = row.right();
    if (collection.itemCount > 0)
        right -= badgeSize(collection.itemCount).width() + spacing;
    const qreal left = row.left() + circleSize + spacing;
    return {left, row.top(), right - left, row.height()};
}

bool QuickLinkChip::isNameCut(const QRectF& rect, const SmartCollection& collection)
{
    return TilePainting::isCut(nameRect(rect, collection), collection.name, nameFont());
}
