#include "ui/GlowEffect.h"

#include "ui/BlurredGlow.h"

#include <QPainter>

GlowEffect::GlowEffect(const QColor& color, qreal diameter, qreal blurRadius, QObject* parent)
    : QGraphicsEffect(parent)
    , m_color(color)
    , m_diameter(diameter)
    , m_blurRadius(blurRadius)
{}

qreal GlowEffect::reach() const
{
    // As far as BlurredGlow draws: three sigmas of half the blur radius each.
    return m_diameter / 2 + 1.5 * m_blurRadius;
}

QRectF GlowEffect::boundingRectFor(const QRectF& sourceRect) const
{
    const QPointF centre = sourceRect.center();
    const QRectF glow(centre - QPointF(reach(), reach()), centre + QPointF(reach(), reach()));
    return sourceRect.united(glow);
}

void GlowEffect::draw(QPainter* painter)
{
    const QRectF source = sourceBoundingRect(Qt::LogicalCoordinates);
    BlurredGlow::paint(*painter, source.center(), m_color, m_diameter, m_blurRadius);
    drawSource(painter);
}
