#include "preview/CapsuleChip.h"

#include "ui/PlainButton.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolLabel.h"
#include "ui/SymbolRegistry.h"

#include <QFontMetrics>
#include <QPainter>

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
    const QMargins hitMargins(removeHitMargin, removeHitMargin, removeHitMargin, removeHitMargin);
    auto* button = new PlainButton(RoundedBackground{}, hitMargins, QBoxLayout::LeftToRight, this);
    button->contentLayout()->addWidget(new SymbolLabel(symbol, symbolSize, color, button));
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->resize(button->sizeHint());
    m_removeButton = button;
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
    const qreal radius = m_style.cornerRadius < 0 ? height() / 2.0 : m_style.cornerRadius;
    RoundedBackground{radius, m_style.fill, m_style.stroke, 1, std::nullopt}.paint(painter, QRectF(rect()));

    const QRect content = rect().marginsRemoved(m_style.padding);
    int x = content.left();
    if (const int symbol = symbolExtent()) {
        const QColor color = m_style.symbolColor.isValid() ? m_style.symbolColor : m_style.foreground;
        SymbolRegistry::paint(painter, QRectF(x, content.center().y() - symbol / 2.0 + 0.5, symbol, symbol),
                              m_style.symbol, color);
        x += symbol + m_style.spacing;
    }
    painter.setFont(m_style.font);
    painter.setPen(m_style.foreground);
    const QFontMetrics metrics(m_style.font);
    const QString shown = metrics.elidedText(text(), Qt::ElideMiddle, maxTextWidth);
    painter.drawText(QRect(x, content.top(), textWidth(), content.height()), Qt::AlignLeft | Qt::AlignVCenter, shown);
}
