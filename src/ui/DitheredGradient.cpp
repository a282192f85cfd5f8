#include "ui/DitheredGradient.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace DitheredGradient {

namespace {
// The 8 × 8 Bayer matrix: thresholds spread evenly over every 2 × 2, 4 × 4
// and 8 × 8 block.
constexpr std::array<std::array<int, 8>, 8> bayer{{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

int dithered(double value, double threshold)
{
    return std::clamp(int(std::floor(value + threshold)), 0, 255);
}
} // namespace

QImage render(QSize size, QPointF start, QPointF end, const QColor& from, const QColor& to)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    const QPointF axis = end - start;
    const double length = QPointF::dotProduct(axis, axis);
    // Premultiplied channels of both ends, in 0..255.
    const auto channels = [](const QColor& c) {
        const double a = c.alphaF();
        return std::array<double, 4>{c.redF() * a * 255, c.greenF() * a * 255, c.blueF() * a * 255, a * 255};
    };
    const auto a = channels(from);
    const auto b = channels(to);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const QPointF offset = QPointF(x + 0.5, y + 0.5) - start;
            const double t = length > 0 ? std::clamp(QPointF::dotProduct(offset, axis) / length, 0.0, 1.0) : 0.0;
            const double threshold = (bayer[y % 8][x % 8] + 0.5) / 64;
            const int alpha = dithered(a[3] + (b[3] - a[3]) * t, threshold);
            const auto channel = [&](int i) { return std::min(alpha, dithered(a[i] + (b[i] - a[i]) * t, threshold)); };
            line[x] = qRgba(channel(0), channel(1), channel(2), alpha);
        }
    }
    return image;
}

} // namespace DitheredGradient
