#include "app/WelcomeActionButton.h"
#include "ui/ColorFromHex.h"

#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QFontMetrics>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int symbolSize = 18;
constexpr int spacing = 12;
constexpr int verticalPadding = 16;
constexpr int horizontalPadding = 32;
constexpr qreal cornerRadius = 20;
// Room around the plate for its hovered size.
constexpr int growthMargin = 10;
const Spring hoverSpring{0.3, 0.825, 0.0};

QFont titleFont()
{
    return PremiumTheme::systemFont(16, QFont::DemiBold);
}

QColor accentAt(qreal opacity)
{
    return withAlpha(PremiumTheme::accent(), opacity);
}
} // namespace

WelcomeActionButton::WelcomeActionButton(const QString& title, const QString& symbolName, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbolName(symbolName)
{
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(accentAt(0.5));
    shadow->setBlurRadius(15);
    shadow->setOffset(0, 5);
    setGraphicsEffect(shadow);
}

void WelcomeActionButton::setHovering(bool hovering)
{
    if (hovering == m_isHovering)
        return;
    m_isHovering = hovering;
    Motion::animate(this, "hoverProgress", hovering ? 1.0 : 0.0, hoverSpring);
}

void WelcomeActionButton::setHoverProgress(qreal progress)
{
    m_hoverProgress = progress;
    update();
}

qreal WelcomeActionButton::fillOpacity() const
{
    return 0.8 + 0.2 * m_hoverProgress;
}

qreal WelcomeActionButton::scale() const
{
    return 1.0 + (hoveredScale - 1.0) * m_hoverProgress;
}

QSize WelcomeActionButton::plateSize() const
{
    const QFontMetrics metrics(titleFont());
    const int width = symbolSize + spacing + metrics.horizontalAdvance(text());
    const int height = qMax(symbolSize, metrics.height());
    return QSize(width + 2 * horizontalPadding, height + 2 * verticalPadding);
}

QRectF WelcomeActionButton::plateRect() const
{
    const QSizeF size = plateSize();
    return QRectF(QRectF(rect()).center() - QPointF(size.width() / 2, size.height() / 2), size);
}

QSize WelcomeActionButton::sizeHint() const
{
    return plateSize() + QSize(2 * growthMargin, 2 * growthMargin);
}

void WelcomeActionButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = plateRect();
    const QPointF centre = plate.center();
    painter.translate(centre);
    painter.scale(scale(), scale());
    painter.translate(-centre);

    QPainterPath shape;
    shape.addRoundedRect(plate.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(shape, accentAt(fillOpacity()));
    QColor rim(Qt::white);
    rim.setAlphaF(0.3f);
    painter.strokePath(shape, QPen(rim, 1));

    const QFontMetrics metrics(titleFont());
    const int textWidth = metrics.horizontalAdvance(text());
    const qreal left = centre.x() - (symbolSize + spacing + textWidth) / 2.0;
    SymbolRegistry::paint(painter, QRectF(left, centre.y() - symbolSize / 2.0, symbolSize, symbolSize), m_symbolName,
                          Qt::white);
    painter.setFont(titleFont());
    painter.setPen(Qt::white);
    const QRectF textBox(left + symbolSize + spacing, plate.top(), textWidth + 1, plate.height());
    painter.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft, text());
}

void WelcomeActionButton::enterEvent(QEnterEvent* event)
{
    setHovering(true);
    QAbstractButton::enterEvent(event);
}

void WelcomeActionButton::leaveEvent(QEvent* event)
{
    setHovering(false);
    QAbstractButton::leaveEvent(event);
}

bool WelcomeActionButton::hitButton(const QPoint& position) const
{
    return plateRect().contains(position);
}
