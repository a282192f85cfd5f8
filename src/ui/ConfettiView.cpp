#include "ui/ConfettiView.h"

#include "ui/PremiumTheme.h"

#include <QPainter>
#include <QRandomGenerator>

ConfettiView::ConfettiView(QWidget* parent)
    : QWidget(parent)
    , m_generator(QRandomGenerator::global())
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    m_timer.setInterval(tickIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ConfettiView::tick);
}

void ConfettiView::setRandomGenerator(QRandomGenerator* generator)
{
    m_generator = generator ? generator : QRandomGenerator::global();
}

void ConfettiView::start()
{
    for (int i = 0; i < burstSize; ++i)
        m_particles.append(ConfettiParticle::random(*m_generator));
    m_timer.start();
    update();
}

void ConfettiView::tick()
{
    advance(m_particles, *m_generator);
    if (m_particles.isEmpty())
        m_timer.stop();
    update();
}

void ConfettiView::advance(QList<ConfettiParticle>& particles, QRandomGenerator& generator)
{
    for (ConfettiParticle& piece : particles) {
        piece.x += piece.velocityX;
        piece.y += piece.velocityY;
        piece.velocityY += 0.1;
        piece.velocityX += -0.2 + generator.generateDouble() * 0.4;
        if (piece.y > fadeLine)
            piece.opacity -= 0.02;
    }
    particles.removeIf([](const ConfettiParticle& piece) { return piece.y > removalLine || piece.opacity <= 0; });
}

void ConfettiView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    start();
}

void ConfettiView::hideEvent(QHideEvent* event)
{
    // Hidden pieces would fall unseen; the next showing starts a fresh burst.
    m_timer.stop();
    m_particles.clear();
    QWidget::hideEvent(event);
}

void ConfettiView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (const ConfettiParticle& piece : std::as_const(m_particles)) {
        painter.setOpacity(piece.opacity);
        painter.setBrush(PremiumTheme::systemColor(piece.color));
        painter.drawEllipse(QRectF(piece.x, piece.y, piece.size, piece.size));
    }
}
