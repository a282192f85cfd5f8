#pragma once

#include <QImage>
#include <QPixmap>
#include <QRectF>

class QPainter;

// A whole image as the previews show it: fitted into an area with its aspect
// kept, then zoomed about the area's centre and, zoomed beyond the area,
// moved by an offset from there. Scaling a large image with
// smoothing on every paint is slow, so a copy near the size on screen is
// made once per size band and only nudged to the exact size while painting.
class FittedPicture
{
public:
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }
    bool isNull() const { return m_image.isNull(); }

    // Where the picture lies for `area` at `scale`, its centre moved by
    // `offset` (it may reach beyond the area; the caller clips).
    QRectF rectIn(const QRectF& area, double scale, QPointF offset = {}) const;
    // The farthest the picture at `scale` may move from the area's centre
    // along each axis: until its edge meets the area's edge where it
    // overflows, not at all where it fits.
    QPointF offsetLimit(const QRectF& area, double scale) const;
    // `offset` brought within the limit.
    QPointF boundedOffset(const QRectF& area, double scale, QPointF offset) const;
    void paint(QPainter& painter, const QRectF& area, double scale, qreal devicePixelRatio, QPointF offset = {});

private:
    QImage m_image;
    QPixmap m_copy;
};
