#include "gallery/TilePainting.h"

#include "ui/RoundedBackground.h"
#include "ui/SymbolRegistry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPixmapCache>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace TilePainting {

namespace {
QLinearGradient diagonal(const QRectF& rect, const QColor& from, const QColor& to)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

QString colorKey(const QColor& color)
{
    return QString::number(color.rgba(), 16);
}

qreal pixelRatio(const QPainter& painter)
{
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

// `draw` painted once into a transparent picture of `size` and kept under
// `key`.
QPixmap kept(const QString& key, const QSizeF& size, qreal dpr, const std::function<void(QPainter&)>& draw)
{
    const QString fullKey = key + u'@' + QString::number(dpr);
    QPixmap picture;
    if (QPixmapCache::find(fullKey, &picture))
        return picture;
    picture = QPixmap((size * dpr).toSize().expandedTo(QSize(1, 1)));
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    QPixmapCache::insert(fullKey, picture);
    return picture;
}
} // namespace

void paintSurface(QPainter& painter, const QRectF& rect, const Surface& surface)
{
    const QSizeF size = rect.size();
    const QString key = u"tile-surface:%1x%2:%3:%4:%5:%6:%7"_s.arg(size.width())
                            .arg(size.height())
                            .arg(surface.cornerRadius)
                            .arg(colorKey(surface.fillFrom), colorKey(surface.fillTo), colorKey(surface.outlineFrom),
                                 colorKey(surface.outlineTo));
    const QPixmap picture = kept(key, size, pixelRatio(painter), [&](QPainter& p) {
        const QRectF area(QPointF(), size);
        p.fillPath(RoundedBackground::path(area, surface.cornerRadius),
                   diagonal(area, surface.fillFrom, surface.fillTo));
        if (surface.outlineFrom.alpha() == 0 && surface.outlineTo.alpha() == 0)
            return;
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(diagonal(area, surface.outlineFrom, surface.outlineTo), 1.0));
        p.drawPath(RoundedBackground::path(area.adjusted(0.5, 0.5, -0.5, -0.5),
                                           std::max<qreal>(0, surface.cornerRadius - 0.5)));
    });
    painter.drawPixmap(rect.topLeft(), picture);
}

void paintDisc(QPainter& painter, const QPointF& center, qreal diameter, const QColor& color)
{
    const QString key = u"tile-disc:%1:%2"_s.arg(diameter).arg(colorKey(color));
    const QPixmap picture = kept(key, QSizeF(diameter, diameter), pixelRatio(painter), [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QRectF(0, 0, diameter, diameter));
    });
    painter.drawPixmap(center - QPointF(diameter / 2, diameter / 2), picture);
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

bool isCut(const QRectF& rect, const QString& text, const QFont& font)
{
    const QFontMetrics metrics(font);
    return metrics.elidedText(text, Qt::ElideRight, int(rect.width())) != text;
}

int lineHeight(const QFont& font)
{
    return QFontMetrics(font).height();
}

void symbolInCircle(QPainter& painter, const QPointF& center, qreal diameter, const QColor& fill, const QString& symbol,
                    int symbolSize, const QColor& symbolColor)
{
    paintDisc(painter, center, diameter, fill);
    const QRectF art(center - QPointF(symbolSize / 2.0, symbolSize / 2.0), QSizeF(symbolSize, symbolSize));
    SymbolRegistry::paint(painter, art, symbol, symbolColor);
}

QString itemsText(qint64 count)
{
    return QString::number(count) + u" items"_s;
}

QString restingKey(QStringView kind, const SmartCollection& collection)
{
    const QString color = collection.color ? systemColorName(*collection.color) : QString();
    return kind.toString() + u'|' + collection.name + u'|' + collection.icon + u'|' +
           QString::number(collection.itemCount) + u'|' + color;
}

QColor mix(const QColor& a, const QColor& b, qreal t)
{
    const float f = float(std::clamp<qreal>(t, 0, 1));
    const auto channel = [f](float x, float y) { return x + (y - x) * f; };
    return QColor::fromRgbF(channel(a.redF(), b.redF()), channel(a.greenF(), b.greenF()), channel(a.blueF(), b.blueF()),
                            channel(a.alphaF(), b.alphaF()));
}

} // namespace TilePainting
