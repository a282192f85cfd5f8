#include "ui/PlainButton.h"

#include "ui/LabelContent.h"
#include "ui/PremiumTheme.h"

#include <QChildEvent>
#include <QPainter>

PlainButton::PlainButton(const RoundedBackground& background, QMargins padding, QBoxLayout::Direction direction,
                         QWidget* parent)
    : QAbstractButton(parent)
    , m_content(new QBoxLayout(direction, this))
{
    m_content->setContentsMargins(padding);
    m_content->setSpacing(0);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setBackground(background);
}

void PlainButton::setBackground(const RoundedBackground& background)
{
    m_background = background;
    m_background.applyShadow(*this);
    update();
}

void PlainButton::setHoverBackground(const RoundedBackground& background)
{
    m_hoverBackground = background;
    update();
}

const RoundedBackground& PlainButton::currentBackground() const
{
    return m_hovered && m_hoverBackground ? *m_hoverBackground : m_background;
}

void PlainButton::setTextStyle(const QFont& font, const QColor& color)
{
    applyTextStyle(*this, font, color);
}

void PlainButton::setTextColor(const QColor& color)
{
    applyTextStyle(*this, font(), color);
}

QSize PlainButton::sizeHint() const
{
    return m_content->totalSizeHint();
}

QSize PlainButton::minimumSizeHint() const
{
    return m_content->totalMinimumSize();
}

void PlainButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF area(rect());
    currentBackground().paint(painter, area);
    if (isDown()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(m_background.outline(area), QColor(0, 0, 0, 40));
    }
    // Only keyboard navigation focuses the button (clicks do not).
    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF ring = area.adjusted(1, 1, -1, -1);
        painter.strokePath(m_background.outline(ring), QPen(PremiumTheme::accent(), 2));
    }
}

void PlainButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    setHovered(true);
}

void PlainButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    setHovered(false);
}

void PlainButton::setHovered(bool hovered)
{
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    update();
    emit hoveredChanged(hovered);
}

void PlainButton::childEvent(QChildEvent* event)
{
    // The label's parts must not swallow the clicks meant for the button.
    if (event->added() && event->child()->isWidgetType())
        static_cast<QWidget*>(event->child())->setAttribute(Qt::WA_TransparentForMouseEvents);
    QAbstractButton::childEvent(event);
}
