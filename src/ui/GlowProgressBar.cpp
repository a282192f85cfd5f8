#include "ui/GlowProgressBar.h"

#include "ui/Motion.h"
#include "ui/PremiumTheme.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
const Spring fillSpring{0.3, 0.825, 0.0};

QPainterPath capsule(const QRectF& box)
{
    QPainterPath path;
    path.addRoundedRect(box, box.height() / 2, box.height() / 2);
    return path;
}
} // namespace

GlowProgressBar::GlowProgressBar(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(barHeight + 2 * glowMargin);
}

void GlowProgressBar::setValue(double value)
{
    const double clamped = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
    if (clamped == m_value)
        return;
    m_value = clamped;
    Motion::animate(this, "displayedValue", qreal(clamped), fillSpring);
}

void GlowProgressBar::setDisplayedValue(qreal value)
{
    m_displayedValue = value;
    update();
}

QSize GlowProgressBar::sizeHint() const
{
    return QSize(400, barHeight + 2 * glowMargin);
}

void GlowProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(glowMargin, glowMargin, width() - 2 * glowMargin, barHeight);
    QColor trackColor(Qt::white);
    trackColor.setAlphaF(0.1f);
    painter.fillPath(capsule(track), trackColor);

    // The spring may overshoot a little; the fill never leaves the track.
    const qreal fillWidth = track.width() * std::clamp<qreal>(m_displayedValue, 0, 1);
    if (fillWidth <= 0)
        return;
    const QRectF fill(track.topLeft(), QSizeF(qMax<qreal>(fillWidth, barHeight), barHeight));
    // The glow: rings of fading primary colour around the fill, a cheap
    // stand-in for a blur of radius six.
    QColor glow = PremiumTheme::primary();
    for (int ring = glowMargin; ring >= 1; --ring) {
        const qreal falloff = 1.0 - qreal(ring) / (glowMargin + 1);
        glow.setAlphaF(float(0.5 * 0.6 * falloff * falloff / 2));
        painter.fillPath(capsule(fill.adjusted(-ring, -ring, ring, ring)), glow);
    }
    painter.fillPath(capsule(fill), PremiumTheme::primaryGradient());
}
