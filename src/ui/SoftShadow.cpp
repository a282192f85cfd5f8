#include "ui/SoftShadow.h"

#include "ui/RoundedBackground.h"

#include <QImage>
#include <QPainter>
#include <QPixmapCache>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
// One box pass over `count` samples `stride` apart, in place.
void boxPass(float* samples, int count, int stride, int radius, std::vector<float>& scratch)
{
    scratch.resize(std::size_t(count));
    const float norm = 1.0f / float(2 * radius + 1);
    auto at = [&](int i) { return samples[std::size_t(std::clamp(i, 0, count - 1)) * stride]; };
    float sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += at(i);
    for (int i = 0; i < count; ++i) {
        scratch[std::size_t(i)] = sum * norm;
        sum += at(i + radius + 1) - at(i - radius);
    }
    for (int i = 0; i < count; ++i)
        samples[std::size_t(i) * stride] = scratch[std::size_t(i)];
}

// Three box passes each way approximate a Gaussian of `sigma` pixels.
void gaussianBlur(std::vector<float>& alpha, int width, int height, qreal sigma)
{
    if (sigma <= 0)
        return;
    const int radius = std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    std::vector<float> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y)
            boxPass(alpha.data() + std::size_t(y) * width, width, 1, radius, scratch);
        for (int x = 0; x < width; ++x)
            boxPass(alpha.data() + x, height, width, radius, scratch);
    }
}

// `silhouette` is drawn with its alpha only; the result is `color` through
// the blurred alpha, `margin` logical units larger on every side.
QPixmap blurredSilhouette(const QSizeF& size, qreal margin, qreal radius, const QColor& color, qreal dpr,
                          const std::function<void(QPainter&)>& silhouette)
{
    const int width = std::max(1, int(std::ceil((size.width() + 2 * margin) * dpr)));
    const int height = std::max(1, int(std::ceil((size.height() + 2 * margin) * dpr)));
    QImage mask(width, height, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(dpr, dpr);
        painter.translate(margin, margin);
        silhouette(painter);
    }
    std::vector<float> alpha(std::size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        const uchar* line = mask.constScanLine(y);
        for (int x = 0; x < width; ++x)
            alpha[std::size_t(y) * width + x] = line[x] / 255.0f;
    }
    gaussianBlur(alpha, width, height, radius / 2 * dpr);

    QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float a = std::clamp(alpha[std::size_t(y) * width + x], 0.0f, 1.0f) * float(color.alphaF());
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), int(std::lround(a * 255))));
        }
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(result));
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

qreal pixelRatio(const QPainter& painter)
{
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

QString colorKey(const QColor& color)
{
    return QString::number(color.rgba(), 16);
}
} // namespace

namespace SoftShadow {

qreal reach(qreal radius)
{
    return std::ceil(1.5 * radius);
}

namespace {
// The blurred silhouette `draw` paints into a rectangle of `size`, made once
// per key, size, colour, radius and pixel ratio, drawn with its top left
// corner at `topLeft` (less the blur's reach).
void paintCached(QPainter& painter, const QPointF& topLeft, const QSizeF& size, const QString& key, const QColor& color,
                 qreal radius, const std::function<void(QPainter&, const QSizeF&)>& draw)
{
    const qreal dpr = pixelRatio(painter);
    const qreal margin = reach(radius);
    const QString cacheKey = u"softshadow:%1:%2x%3:%4:%5:%6"_s.arg(key)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(colorKey(color))
                                 .arg(radius)
                                 .arg(dpr);
    QPixmap shadow;
    if (!QPixmapCache::find(cacheKey, &shadow)) {
        shadow = blurredSilhouette(size, margin, radius, color, dpr, [&](QPainter& p) { draw(p, size); });
        QPixmapCache::insert(cacheKey, shadow);
    }
    painter.drawPixmap(topLeft - QPointF(margin, margin), shadow);
}

// The shadow of the shape `outline` draws over a rectangle of `rect`'s size;
// `shapeKey` names that shape for the cache.
void paintShape(QPainter& painter, const QRectF& rect, const QString& shapeKey,
                const std::function<QPainterPath(const QRectF&)>& outline, const QColor& color, qreal radius,
                const QPointF& offset)
{
    if (color.alpha() == 0 || rect.isEmpty())
        return;
    paintCached(painter, rect.topLeft() + offset, rect.size(), shapeKey, color, radius,
                [&](QPainter& p, const QSizeF& size) { p.fillPath(outline(QRectF(QPointF(), size)), Qt::black); });
}
} // namespace

void paintRoundedRect(QPainter& painter, const QRectF& rect, qreal cornerRadius, const QColor& color, qreal radius,
                      const QPointF& offset)
{
    paintShape(
        painter, rect, u"rect:%1"_s.arg(cornerRadius),
        [cornerRadius](const QRectF& area) { return RoundedBackground::path(area, cornerRadius); }, color, radius,
        offset);
}

void paintEllipse(QPainter& painter, const QRectF& rect, const QColor& color, qreal radius, const QPointF& offset)
{
    paintShape(
        painter, rect, u"ellipse"_s,
        [](const QRectF& area) {
            QPainterPath path;
            path.addEllipse(area);
            return path;
        },
        color, radius, offset);
}

void paintPixmap(QPainter& painter, const QRectF& target, const QPixmap& picture, const QString& key,
                 const QColor& color, qreal radius)
{
    if (color.alpha() == 0 || target.isEmpty() || picture.isNull())
        return;
    paintCached(
        painter, target.topLeft(), target.size(), u"pixmap:"_s + key, color, radius,
        [&](QPainter& p, const QSizeF& size) { p.drawPixmap(QRectF(QPointF(), size), picture, picture.rect()); });
}

} // namespace SoftShadow
