#include "ui/LinearProgressBar.h"

#include "ui/PremiumTheme.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

LinearProgressBar::LinearProgressBar(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void LinearProgressBar::setProgress(double value, double total)
{
    const double fraction = total > 0 ? value / total : 0;
    m_fraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0;
    update();
}

void LinearProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track(0, (height() - barHeight) / 2.0, width(), barHeight);
    const qreal radius = barHeight / 2.0;
    painter.setBrush(QColor(255, 255, 255, 36));
    painter.drawRoundedRect(track, radius, radius);
    if (m_fraction <= 0)
        return;
    QRectF filled = track;
    filled.setWidth(std::max(track.width() * m_fraction, qreal(barHeight)));
    painter.setBrush(PremiumTheme::accent());
    painter.drawRoundedRect(filled, radius, radius);
}
