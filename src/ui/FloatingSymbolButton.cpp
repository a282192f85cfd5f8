#include "ui/FloatingSymbolButton.h"

#include "ui/BlurView.h"
#include "ui/Motion.h"
#include "ui/SoftShadow.h"
#include "ui/SymbolRegistry.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr qreal shadowRadius = 10;
// A scale of exactly zero cannot be drawn; the transition starts just above it.
constexpr qreal smallestScale = 0.00001;
} // namespace

FloatingSymbolButton::FloatingSymbolButton(const QString& symbolName, int symbolSize, int padding, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbolName(symbolName)
    , m_symbolSize(symbolSize)
    , m_padding(padding)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    resize(sizeHint());
}

void FloatingSymbolButton::setSymbolName(const QString& name)
{
    if (name == m_symbolName)
        return;
    m_symbolName = name;
    update();
}

QSize FloatingSymbolButton::sizeHint() const
{
    const int side = diameter() + 2 * int(shadowRadius);
    return QSize(side, side);
}

void FloatingSymbolButton::setShown(bool shown, int durationMs)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    if (shown)
        show();
    Motion::animate(this, "appearance", shown ? 1.0 : 0.0, QEasingCurve::InOutQuad, durationMs);
}

void FloatingSymbolButton::setAppearance(qreal appearance)
{
    m_appearance = std::clamp(appearance, 0.0, 1.0);
    if (!m_shown && m_appearance <= 0)
        hide();
    update();
}

QRectF FloatingSymbolButton::discRect() const
{
    const qreal side = diameter() * std::max(m_appearance, smallestScale);
    QRectF disc(0, 0, side, side);
    disc.moveCenter(QRectF(rect()).center());
    return disc;
}

bool FloatingSymbolButton::hitButton(const QPoint& pos) const
{
    if (!m_shown)
        return false;
    const QRectF disc = discRect();
    const QPointF offset = QPointF(pos) - disc.center();
    return std::hypot(offset.x(), offset.y()) <= disc.width() / 2;
}

void FloatingSymbolButton::paintEvent(QPaintEvent*)
{
    if (m_appearance <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_appearance);
    const QRectF disc = discRect();
    const qreal radius = disc.width() / 2;
    SoftShadow::paintRoundedRect(painter, disc, radius, QColor::fromRgbF(0, 0, 0, 0.33f), shadowRadius);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.2f), 1));
    painter.setBrush(BlurView::fillColor(BlurView::Material::ultraThin));
    painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
    if (isDown())
        painter.setOpacity(m_appearance * 0.7);
    const qreal symbolSide = m_symbolSize * disc.width() / diameter();
    QRectF symbol(0, 0, symbolSide, symbolSide);
    symbol.moveCenter(disc.center());
    SymbolRegistry::paint(painter, symbol, m_symbolName, Qt::white);
}
