#include "gallery/TilePainting.h"

#include "ui/RoundedBackground.h"
#include "ui/SymbolRegistry.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace TilePainting {

QPainterPath roundedRect(const QRectF& rect, qreal radius)
{
    return RoundedBackground::path(rect, radius);
}

QLinearGradient diagonal(const QRectF& rect, const QColor& from, const QColor& to)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

void strokeRoundedRect(QPainter& painter, const QRectF& rect, qreal radius, const QBrush& brush)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(brush, 1.0));
    painter.drawPath(roundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), std::max<qreal>(0, radius - 0.5)));
    painter.restore();
}

void scaleAbout(QPainter& painter, const QRectF& rect, qreal scale)
{
    if (scale == 1.0)
        return;
    const QPointF center = rect.center();
    painter.translate(center);
    painter.scale(scale, scale);
    painter.translate(-center);
}

void drawLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
              Qt::Alignment alignment)
{
    const QFontMetrics metrics(font);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(rect, int(alignment) | Qt::TextSingleLine,
                     metrics.elidedText(text, Qt::ElideRight, int(rect.width())));
}

int lineHeight(const QFont& font)
{
    return QFontMetrics(font).height();
}

void symbolInCircle(QPainter& painter, const QPointF& center, qreal diameter, const QColor& fill, const QString& symbol,
                    int symbolSize, const QColor& symbolColor)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(center, diameter / 2, diameter / 2);
    painter.restore();
    const QRectF art(center - QPointF(symbolSize / 2.0, symbolSize / 2.0), QSizeF(symbolSize, symbolSize));
    SymbolRegistry::paint(painter, art, symbol, symbolColor);
}

QString itemsText(qint64 count)
{
    return QString::number(count) + u" items"_s;
}

QColor mix(const QColor& a, const QColor& b, qreal t)
{
    const float f = float(std::clamp<qreal>(t, 0, 1));
    const auto channel = [f](float x, float y) { return x + (y - x) * f; };
    return QColor::fromRgbF(channel(a.redF(), b.redF()), channel(a.greenF(), b.greenF()), channel(a.blueF(), b.blueF()),
                            channel(a.alphaF(), b.alphaF()));
}

} // namespace TilePainting
