#include "spacesaver/SavingsGauge.h"

#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
const Spring kGaugeSpring{1.0, 0.8, 0};
// The stroke is centred on the circle's edge, so half of it lies outside.
constexpr int kMargin = int(SavingsGauge::lineWidth / 2);
} // namespace

SavingsGauge::SavingsGauge(QWidget* parent)
    : QWidget(parent)
    , m_total(makeTextLabel(QString(), PremiumTheme::headingFont(), PremiumTheme::textPrimary()))
{
    setFixedSize(sizeHint());
    auto* centre = new QVBoxLayout(this);
    centre->setSpacing(4);
    centre->addStretch();
    centre->addWidget(m_total, 0, Qt::AlignHCenter);
    centre->addWidget(makeTextLabel(u"Total Space"_s, PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary()), 0,
                      Qt::AlignHCenter);
    centre->addStretch();
}

QSize SavingsGauge::sizeHint() const
{
    return QSize(diameter + 2 * kMargin, diameter + 2 * kMargin);
}

void SavingsGauge::showFraction(qreal fraction)
{
    fraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    if (fraction == m_target)
        return;
    m_target = fraction;
    Motion::animate(this, "fraction", fraction, kGaugeSpring);
}

void SavingsGauge::setFraction(qreal fraction)
{
    m_fraction = fraction;
    update();
}

void SavingsGauge::setTotal(const QString& total)
{
    m_total->setText(total);
}

QString SavingsGauge::total() const
{
    return m_total->text();
}

void SavingsGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle(kMargin, kMargin, diameter, diameter);
    painter.setPen(QPen(PremiumTheme::glassBorder(), lineWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawEllipse(circle);
    if (m_fraction <= 0)
        return;
    // The gradient runs top-left to bottom-right of the ring before the ring is
    // turned a quarter anticlockwise to start at the top, so it runs from the
    // bottom-left to the top-right as drawn.
    QLinearGradient gradient(circle.bottomLeft(), circle.topRight());
    gradient.setColorAt(0, PremiumTheme::success());
    gradient.setColorAt(1, PremiumTheme::info());
    painter.setPen(QPen(QBrush(gradient), lineWidth, Qt::SolidLine, Qt::RoundCap));
    // From twelve o'clock, clockwise (Qt counts angles anticlockwise in 1/16°).
    painter.drawArc(circle, 90 * 16, -qRound(m_fraction * 360 * 16));
}
