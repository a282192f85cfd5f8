#include "ui/ActivitySpinner.h"

#include <QPainter>

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 1000 / kSpokes; // one turn a second
} // namespace

ActivitySpinner::ActivitySpinner(qreal scale, QWidget* parent)
    : QWidget(parent)
    , m_scale(scale)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void ActivitySpinner::setColor(const QColor& color)
{
    m_color = color;
    update();
}

int ActivitySpinner::diameter() const
{
    return qRound(regularDiameter * m_scale);
}

void ActivitySpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal radius = diameter() / 2.0;
    painter.translate(rect().center() + QPointF(0.5, 0.5));
    QPen pen(m_color, std::max(1.5, radius * 0.18), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is brightest; the ones behind it fade.
        const int age = (m_step - i + kSpokes) % kSpokes;
        QColor color = m_color;
        color.setAlphaF(m_color.alphaF() * (1.0 - 0.75 * age / (kSpokes - 1)));
        pen.setColor(color);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / kSpokes);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.restore();
    }
}

void ActivitySpinner::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void ActivitySpinner::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}
