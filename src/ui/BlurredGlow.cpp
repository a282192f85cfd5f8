#include "ui/BlurredGlow.h"

#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
// The blur is worked out on a small image (the result is soft anyway) with
// three box passes, which approximate a Gaussian closely.
constexpr qreal workingSigma = 6.0;

void boxBlurRows(std::vector<float>& pixels, int width, int height, int radius)
{
    std::vector<float> row(width);
    const float norm = 1.0f / float(2 * radius + 1);
    for (int y = 0; y < height; ++y) {
        float* line = pixels.data() + std::size_t(y) * width;
        float sum = 0;
        for (int x = -radius; x <= radius; ++x)
            sum += line[std::clamp(x, 0, width - 1)];
        for (int x = 0; x < width; ++x) {
            row[x] = sum * norm;
            sum += line[std::min(x + radius + 1, width - 1)] - line[std::max(x - radius, 0)];
        }
        std::copy(row.begin(), row.end(), line);
    }
}

std::vector<float> transpose(const std::vector<float>& pixels, int width, int height)
{
    std::vector<float> result(pixels.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            result[std::size_t(x) * height + y] = pixels[std::size_t(y) * width + x];
    return result;
}

void gaussianBlur(std::vector<float>& pixels, int side, qreal sigma)
{
    // Three boxes of width w have the variance of a Gaussian of sigma when
    // w*w = 4*sigma*sigma + 1.
    const int radius = std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    for (int pass = 0; pass < 2; ++pass) {
        for (int box = 0; box < 3; ++box)
            boxBlurRows(pixels, side, side, radius);
        pixels = transpose(pixels, side, side);
    }
}

// extent: the logical width the image covers (circle plus blur on both sides).
QImage renderGlow(const QColor& color, qreal diameter, qreal sigma, qreal extent, int outputSide)
{
    const qreal scale = std::min<qreal>(1.0, workingSigma / (sigma * outputSide / extent));
    const int side = std::max(8, int(std::ceil(outputSide * scale)));
    const qreal pixelsPerUnit = side / extent;
    const qreal radius = diameter * pixelsPerUnit / 2;

    std::vector<float> coverage(std::size_t(side) * side);
    const qreal centre = side / 2.0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const qreal distance = std::hypot(x + 0.5 - centre, y + 0.5 - centre);
            coverage[std::size_t(y) * side + x] = float(std::clamp(radius - distance + 0.5, 0.0, 1.0));
        }
    gaussianBlur(coverage, side, sigma * pixelsPerUnit);

    QImage small(side, side, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<QRgb*>(small.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const float alpha = coverage[std::size_t(y) * side + x] * float(color.alphaF());
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), int(std::lround(alpha * 255))));
        }
    }
    return small.scaled(outputSide, outputSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Glows are few and large (a 600-point glow on a 2x screen is 8 MB), more than
// the shared pixmap cache holds by default, so they keep a cache of their own.
QHash<QString, QPixmap>& glowCache()
{
    static QHash<QString, QPixmap> cache;
    return cache;
}
constexpr int maxCachedGlows = 32;
} // namespace

QPixmap BlurredGlow::pixmap(const QColor& color, qreal diameter, qreal blurRadius, qreal devicePixelRatio)
{
    const QString key =
        u"%1:%2:%3:%4"_s.arg(color.rgba(), 8, 16, QChar(u'0')).arg(diameter).arg(blurRadius).arg(devicePixelRatio);
    QHash<QString, QPixmap>& cache = glowCache();
    if (const auto found = cache.constFind(key); found != cache.constEnd())
        return found.value();
    // A blur "radius" reads as about twice the Gaussian's sigma; three sigmas
    // hold all of the light.
    const qreal sigma = std::max<qreal>(blurRadius / 2, 0.5);
    const qreal extent = diameter + 6 * sigma;
    const int outputSide = std::max(1, int(std::ceil(extent * devicePixelRatio)));
    QPixmap result = QPixmap::fromImage(renderGlow(color, diameter, sigma, extent, outputSide));
    result.setDevicePixelRatio(outputSide / extent);
    if (cache.size() >= maxCachedGlows)
        cache.clear();
    cache.insert(key, result);
    return result;
}

void BlurredGlow::paint(QPainter& painter, const QPointF& center, const QColor& color, qreal diameter, qreal blurRadius)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap glow = pixmap(color, diameter, blurRadius, dpr);
    const QSizeF size = glow.deviceIndependentSize();
    painter.drawPixmap(QRectF(center - QPointF(size.width() / 2, size.height() / 2), size), glow, QRectF(glow.rect()));
}
