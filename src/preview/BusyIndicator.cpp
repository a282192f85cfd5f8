#include "preview/BusyIndicator.h"

#include "ui/Motion.h"

#include <QEasingCurve>
#include <QPainter>

BusyIndicator::BusyIndicator(int diameter, QWidget* parent)
    : QWidget(parent)
    , m_diameter(diameter)
{
    setFixedSize(diameter, diameter);
    Motion::repeatForever(this, "angle", 0.0, 360.0, QEasingCurve::Linear, 900, false);
}

void BusyIndicator::setAngle(qreal angle)
{
    m_angle = angle;
    update();
}

void BusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal line = std::max(2.0, m_diameter / 10.0);
    const QRectF ring = QRectF(rect()).adjusted(line, line, -line, -line);
    painter.setPen(QPen(QColor(255, 255, 255, 50), line));
    painter.drawEllipse(ring);
    painter.setPen(QPen(QColor(255, 255, 255, 220), line, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(ring, int((90 - m_angle) * 16), -90 * 16);
}
