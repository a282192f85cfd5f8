#include "ui/BouncingSymbol.h"

#include "ui/Motion.h"
#include "ui/SymbolRegistry.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace {
// The hop takes the first part of the cycle: a jump and a smaller rebound,
// each damped; the symbol rests for the remainder.
constexpr qreal hopShare = 0.45;
} // namespace

BouncingSymbol::BouncingSymbol(const QString& symbolName, int symbolSize, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_symbolSize(symbolSize)
    , m_color(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
}

void BouncingSymbol::setPhase(qreal phase)
{
    m_phase = phase;
    update();
}

qreal BouncingSymbol::liftAt(qreal phase)
{
    if (phase <= 0 || phase >= hopShare)
        return 0;
    const qreal x = phase / hopShare; // 0..1 over the hop
    return hopHeight * std::exp(-2.5 * x) * std::abs(std::sin(2 * std::numbers::pi * x));
}

QSize BouncingSymbol::sizeHint() const
{
    return QSize(m_symbolSize, m_symbolSize + hopHeight);
}

void BouncingSymbol::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal top = height() - m_symbolSize - liftAt(m_phase);
    const QRectF box((width() - m_symbolSize) / 2.0, top, m_symbolSize, m_symbolSize);
    SymbolRegistry::paint(painter, box, m_symbolName, m_color);
}

void BouncingSymbol::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    Motion::repeatForever(this, "phase", 0.0, 1.0, QEasingCurve::Linear, cycleMs, false);
}
