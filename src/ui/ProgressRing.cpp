#include "ui/ProgressRing.h"

#include "ui/StyledSymbol.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <cmath>

namespace {
// A gradient laid over the whole of `box`, however little of it is drawn.
QBrush spanning(const QBrush& brush, const QRectF& box)
{
    const QGradient* gradient = brush.gradient();
    if (!gradient || gradient->type() != QGradient::LinearGradient ||
        gradient->coordinateMode() != QGradient::ObjectBoundingMode)
        return brush;
    const auto* linear = static_cast<const QLinearGradient*>(gradient);
    const auto place = [&box](QPointF unit) {
        return QPointF(box.left() + unit.x() * box.width(), box.top() + unit.y() * box.height());
    };
    QLinearGradient placed(place(linear->start()), place(linear->finalStop()));
    placed.setStops(linear->stops());
    return placed;
}
} // namespace

ProgressRing::ProgressRing(const Style& style, QWidget* parent)
    : QWidget(parent)
    , m_style(style)
    , m_symbol(new StyledSymbol(style.symbolName, style.symbol, style.symbolSize))
{
    setFixedSize(diameter, diameter);
    auto* centre = new QVBoxLayout(this);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(m_symbol, 0, Qt::AlignCenter);
}

void ProgressRing::setFraction(qreal fraction)
{
    const qreal clamped = std::isfinite(fraction) ? std::clamp<qreal>(fraction, 0, 1) : 0;
    if (clamped == m_fraction)
        return;
    m_fraction = clamped;
    update();
}

void ProgressRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The stroke is centred on the circle's outline, as the frame is the
    // circle's own: half of it lies outside, so the circle is inset by it.
    const QRectF circle = QRectF(rect()).adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
    painter.setPen(QPen(m_style.track, lineWidth));
    painter.drawEllipse(circle);
    if (m_fraction <= 0)
        return;

    painter.translate(circle.center());
    painter.rotate(-90);
    painter.translate(-circle.center());
    QPainterPath arc;
    arc.arcMoveTo(circle, 0);
    arc.arcTo(circle, 0, -360 * m_fraction);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(spanning(m_style.arc, QRectF(rect())), lineWidth, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(arc);
}
