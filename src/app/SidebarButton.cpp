#include "app/SidebarButton.h"

#include "ui/BlurredGlow.h"
#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int verticalPadding = 12;
constexpr int horizontalPadding = 16;
constexpr int symbolSize = 16;
constexpr int symbolBoxWidth = 24;
constexpr int spacing = 12;
constexpr qreal cornerRadius = 16;
constexpr qreal dotSize = 6;

QColor white(qreal alpha)
{
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

QLinearGradient diagonal(const QRectF& rect, const QColor& from, const QColor& to)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

QFont titleFont(bool selected)
{
    return PremiumTheme::systemFont(14, selected ? QFont::DemiBold : QFont::Normal);
}

QPainterPath roundedRect(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// A soft shadow of radius 5: the shape drawn a few times, each larger and
// fainter than the last.
void paintShadow(QPainter& painter, const QRectF& rect)
{
    constexpr int layers = 5;
    for (int i = layers; i >= 1; --i) {
        const QRectF grown = rect.adjusted(-i, -i, i, i).translated(0, 2);
        painter.fillPath(roundedRect(grown, cornerRadius + i), QColor::fromRgbF(0, 0, 0, 0.2f / layers));
    }
}

// A glow of radius 4 around text: the text drawn faintly around its place.
void paintTextGlow(QPainter& painter, const QRectF& rect, const QString& text, const QColor& color)
{
    painter.setPen(color);
    for (int dx = -2; dx <= 2; dx += 2)
        for (int dy = -2; dy <= 2; dy += 2)
            if (dx || dy)
                painter.drawText(rect.translated(dx, dy), Qt::AlignVCenter | Qt::AlignLeft, text);
}
} // namespace

SidebarButton::SidebarButton(const QString& title, const QString& icon, QWidget* parent)
    : QAbstractButton(parent)
    , m_icon(icon)
{
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SidebarButton::setSelected(bool selected)
{
    if (selected == m_isSelected)
        return;
    m_isSelected = selected;
    updateGeometry();
    update();
}

void SidebarButton::setHovered(bool hovered)
{
    if (hovered == m_isHovered)
        return;
    m_isHovered = hovered;
    update();
    Motion::animate(this, "hoverScale", hovered ? hoveredScale : 1.0, PremiumTheme::standardSpring());
}

SidebarButton::Background SidebarButton::background() const
{
    if (m_isSelected)
        return Background::selected;
    return m_isHovered ? Background::faint : Background::none;
}

void SidebarButton::setHoverScale(qreal scale)
{
    m_hoverScale = scale;
    update();
}

QSize SidebarButton::sizeHint() const
{
    const QFontMetrics metrics(titleFont(m_isSelected));
    const int content = std::max(metrics.height(), symbolSize);
    const int width = symbolBoxWidth + spacing + metrics.horizontalAdvance(text()) + spacing + int(dotSize);
    return QSize(width + 2 * (horizontalPadding + outerInset), content + 2 * verticalPadding);
}

void SidebarButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    setHovered(true);
}

void SidebarButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    setHovered(false);
}

void SidebarButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF backgroundRect = QRectF(rect()).adjusted(outerInset, 0, -outerInset, 0);
    const QPointF centre = backgroundRect.center();
    painter.translate(centre);
    painter.scale(m_hoverScale, m_hoverScale);
    painter.translate(-centre);
    paintBackground(painter, backgroundRect);
    paintLabel(painter,
               backgroundRect.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding));
}

void SidebarButton::paintBackground(QPainter& painter, const QRectF& rect) const
{
    switch (background()) {
    case Background::none:
        return;
    case Background::faint:
        painter.fillPath(roundedRect(rect, cornerRadius), white(0.05));
        return;
    case Background::selected: {
        paintShadow(painter, rect);
        const QPainterPath shape = roundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius);
        painter.fillPath(shape, diagonal(rect, white(0.2), white(0.05)));
        QPen rim(QBrush(diagonal(rect, white(0.4), white(0.1))), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        rim.setMiterLimit(10);
        painter.strokePath(shape, rim);
        return;
    }
    }
}

void SidebarButton::paintLabel(QPainter& painter, const QRectF& rect) const
{
    const QColor foreground = m_isSelected ? white(1) : white(0.7);
    const QRectF symbolBox(rect.left(), rect.top(), symbolBoxWidth, rect.height());
    SymbolRegistry::paint(
        painter,
        QRectF(0, 0, symbolSize, symbolSize).translated(symbolBox.center() - QPointF(symbolSize, symbolSize) / 2),
        m_icon, foreground);

    const qreal dotSpace = m_isSelected ? spacing + dotSize : 0;
    const QRectF textRect(symbolBox.right() + spacing, rect.top(), rect.width() - symbolBoxWidth - spacing - dotSpace,
                          rect.height());
    painter.setFont(titleFont(m_isSelected));
    if (m_isSelected)
        paintTextGlow(painter, textRect, text(), white(0.5 / 8));
    painter.setPen(foreground);
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text());

    if (!m_isSelected)
        return;
    const QRectF dot(rect.right() - dotSize, rect.center().y() - dotSize / 2, dotSize, dotSize);
    BlurredGlow::paint(painter, dot.center(), white(0.8), dotSize, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(diagonal(dot, white(1), white(0.5)));
    painter.drawEllipse(dot);
}
