#include "ui/FittedPicture.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

void FittedPicture::setImage(const QImage& image)
{
    m_image = image;
    m_copy = QPixmap();
}

QRectF FittedPicture::rectIn(const QRectF& area, double scale, QPointF offset) const
{
    if (m_image.isNull() || area.isEmpty())
        return {};
    const QSizeF fitted = QSizeF(m_image.size()).scaled(area.size(), Qt::KeepAspectRatio) * scale;
    QRectF rect(QPointF(0, 0), fitted);
    rect.moveCenter(area.center() + offset);
    return rect;
}

QPointF FittedPicture::offsetLimit(const QRectF& area, double scale) const
{
    const QSizeF size = rectIn(area, scale).size();
    return {std::max(0.0, (size.width() - area.width()) / 2), std::max(0.0, (size.height() - area.height()) / 2)};
}

QPointF FittedPicture::boundedOffset(const QRectF& area, double scale, QPointF offset) const
{
    const QPointF limit = offsetLimit(area, scale);
    return {std::clamp(offset.x(), -limit.x(), limit.x()), std::clamp(offset.y(), -limit.y(), limit.y())};
}

void FittedPicture::paint(QPainter& painter, const QRectF& area, double scale, qreal devicePixelRatio, QPointF offset)
{
    const QRectF target = rectIn(area, scale, offset);
    if (target.isEmpty())
        return;
    // The copy is made for the zoom rounded up to the next half, never
    // larger than the image itself.
    const double band = std::max(0.5, std::ceil(scale * 2) / 2);
    const QSize wanted = (rectIn(area, band).size() * devicePixelRatio).toSize().boundedTo(m_image.size());
    if (m_copy.size() != wanted) {
        m_copy = wanted == m_image.size()
                     ? QPixmap::fromImage(m_image)
                     : QPixmap::fromImage(m_image.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(target, m_copy, QRectF(m_copy.rect()));
    painter.restore();
}
