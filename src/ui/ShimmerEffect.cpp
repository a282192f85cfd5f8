#include "ui/ShimmerEffect.h"

#include "ui/Motion.h"

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

ShimmerEffect::ShimmerEffect(QObject* parent)
    : QGraphicsEffect(parent)
{}

ShimmerEffect* ShimmerEffect::apply(QWidget* widget)
{
    auto* effect = new ShimmerEffect(widget);
    widget->setGraphicsEffect(effect);
    effect->startSweep();
    return effect;
}

void ShimmerEffect::setPhase(qreal phase)
{
    if (qFuzzyCompare(phase, m_phase))
        return;
    m_phase = phase;
    update();
}

void ShimmerEffect::startSweep()
{
    Motion::repeatForever(this, "phase", 0.0, sweepDistance, QEasingCurve(QEasingCurve::Linear), sweepMs, false);
}

void ShimmerEffect::draw(QPainter* painter)
{
    QPoint offset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    if (source.isNull())
        return;
    QPixmap sheen = source;
    const QSizeF size = source.deviceIndependentSize();
    {
        QPainter overlay(&sheen);
        // The sheen is the size of the view, moved across by the phase.
        QLinearGradient gradient(QPointF(m_phase, 0), QPointF(m_phase + size.width(), 0));
        gradient.setColorAt(0, Qt::transparent);
        gradient.setColorAt(0.5, QColor(255, 255, 255, 77));
        gradient.setColorAt(1, Qt::transparent);
        overlay.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        overlay.fillRect(QRectF(QPointF(0, 0), size), gradient);
    }
    painter->drawPixmap(offset, sheen);
}
