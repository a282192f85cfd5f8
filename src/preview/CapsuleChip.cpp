#include "preview/CapsuleChip.h"

#include "ui/SymbolRegistry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
// The remove button reacts a little beyond its small symbol.
constexpr int removeHitMargin = 3;
} // namespace

CapsuleChip::CapsuleChip(const QString& text, Style style, QWidget* parent)
    : QAbstractButton(parent)
    , m_style(std::move(style))
{
    setText(text);
    setFont(m_style.font);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(m_style.fillsWidth ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateToolTip();
}

void CapsuleChip::setSymbol(const QString& symbol)
{
    if (symbol == m_style.symbol)
        return;
    m_style.symbol = symbol;
    updateGeometry();
    update();
}

void CapsuleChip::setLabel(const QString& text)
{
    if (text == this->text())
        return;
    setText(text);
    updateToolTip();
    updateGeometry();
    update();
}

QAbstractButton* CapsuleChip::addRemoveButton(const QString& symbol, int symbolSize, const QColor& color)
{
    delete m_removeButton;
    m_removeButton = new SymbolButton(symbol, symbolSize, color, this);
    m_removeButton->resize(symbolSize + 2 * removeHitMargin, symbolSize + 2 * removeHitMargin);
    updateGeometry();
    return m_removeButton;
}

int CapsuleChip::symbolExtent() const
{
    if (m_style.symbol.isEmpty())
        return 0;
    return m_style.symbolSize > 0 ? m_style.symbolSize : m_style.font.pixelSize();
}

int CapsuleChip::textWidth() const
{
    return std::min(QFontMetrics(m_style.font).horizontalAdvance(text()), maxTextWidth);
}

void CapsuleChip::updateToolTip()
{
    const bool shortened = QFontMetrics(m_style.font).horizontalAdvance(text()) > maxTextWidth;
    setToolTip(shortened ? text() : QString());
}

QSize CapsuleChip::sizeHint() const
{
    const QFontMetrics metrics(m_style.font);
    int width = textWidth();
    int height = metrics.height();
    if (const int symbol = symbolExtent()) {
        width += symbol + m_style.spacing;
        height = std::max(height, symbol);
    }
    if (m_removeButton) {
        const int symbol = m_removeButton->width() - 2 * removeHitMargin;
        width += m_style.spacing + symbol;
        height = std::max(height, symbol);
    }
    const QMargins& padding = m_style.padding;
    return QSize(width + padding.left() + padding.right(), height + padding.top() + padding.bottom());
}

void CapsuleChip::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    if (!m_removeButton)
        return;
    const int side = m_removeButton->width();
    m_removeButton->move(width() - m_style.padding.right() - side + removeHitMargin, (height() - side) / 2);
}

void CapsuleChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = m_style.cornerRadius < 0 ? box.height() / 2 : m_style.cornerRadius;
    QPainterPath shape;
    shape.addRoundedRect(box, radius, radius);
    painter.fillPath(shape, m_style.fill);
    if (m_style.stroke.alpha() > 0)
        painter.strokePath(shape, QPen(m_style.stroke, 1));

    const QRect content = rect().marginsRemoved(m_style.padding);
    int x = content.left();
    if (const int symbol = symbolExtent()) {
        const QColor color = m_style.symbolColor.isValid() ? m_style.symbolColor : m_style.foreground;
        SymbolRegistry::paint(painter, QRectF(x, content.center().y() - symbol / 2.0 + 0.5, symbol, symbol),
                              m_style.symbol, color);
        x += symbol + m_style.spacing;
    }
    QFont font = m_style.font;
    painter.setFont(font);
    painter.setPen(m_style.foreground);
    const QFontMetrics metrics(font);
    const QString shown = metrics.elidedText(text(), Qt::ElideMiddle, maxTextWidth);
    painter.drawText(QRect(x, content.top(), textWidth(), content.height()), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

SymbolButton::SymbolButton(const QString& symbol, int symbolSize, const QColor& color, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_symbolSize(symbolSize)
    , m_color(color)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize SymbolButton::sizeHint() const
{
    return QSize(m_symbolSize, m_symbolSize);
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box(QPointF(0, 0), QSizeF(m_symbolSize, m_symbolSize));
    SymbolRegistry::paint(painter, box.translated(QRectF(rect()).center() - box.center()), m_symbol, m_color);
}
