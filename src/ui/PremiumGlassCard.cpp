#include "ui/PremiumGlassCard.h"
#include "ui/ColorFromHex.h"

#include "ui/Motion.h"
#include "ui/PremiumTheme.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
constexpr qreal maxTiltDegrees = 10;
constexpr qreal parallaxPerDegree = 5;
const Spring hoverSpring{0.3, 0.6, 0.25};
const Spring resetSpring{0.5, 0.6, 0.0};

// Stands in for the desktop's thin material: a dark translucent fill.
const QColor thinMaterial(44, 44, 50, int(0.8 * 140));
} // namespace

PremiumGlassCard::PremiumGlassCard(qreal cornerRadius, qreal padding, bool enableEffect, QWidget* parent)
    : QWidget(parent)
    , m_cornerRadius(cornerRadius)
    , m_padding(padding)
    , m_enableEffect(enableEffect)
    , m_layout(new QVBoxLayout(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(enableEffect);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_layout->setSpacing(0);
    updateContentMargins();
}

void PremiumGlassCard::setContent(QWidget* content)
{
    if (m_content)
        delete m_content;
    m_content = content;
    if (content)
        m_layout->addWidget(content);
}

void PremiumGlassCard::setRotation(const QPointF& rotation)
{
    if (rotation == m_rotation)
        return;
    m_rotation = rotation;
    updateContentMargins();
    update();
}

QPointF PremiumGlassCard::contentOffset() const
{
    if (!m_enableEffect)
        return {};
    return QPointF(-parallaxPerDegree * m_rotation.y(), parallaxPerDegree * m_rotation.x());
}

void PremiumGlassCard::handleHover(std::optional<QPointF> location)
{
    if (!m_enableEffect)
        return;
    if (!location) {
        m_isHovering = false;
        update();
        Motion::animate(this, "rotation", QPointF(0, 0), resetSpring);
        return;
    }
    m_isHovering = true;
    const qreal halfWidth = qMax<qreal>(width() / 2.0, 1);
    const qreal halfHeight = qMax<qreal>(height() / 2.0, 1);
    const qreal dx = (location->x() - halfWidth) / halfWidth;
    const qreal dy = (location->y() - halfHeight) / halfHeight;
    update();
    Motion::animate(this, "rotation", QPointF(maxTiltDegrees * dy, -maxTiltDegrees * dx), hoverSpring);
}

void PremiumGlassCard::updateContentMargins()
{
    const QPointF offset = contentOffset();
    const int left = qRound(m_padding + offset.x());
    const int top = qRound(m_padding + offset.y());
    const int right = qRound(m_padding - offset.x());
    const int bottom = qRound(m_padding - offset.y());
    m_layout->setContentsMargins(left, top, right, bottom);
}

void PremiumGlassCard::paintGlass(QPainter& painter) const
{
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(box, m_cornerRadius, m_cornerRadius);

    painter.fillPath(shape, PremiumTheme::glassFill());
    painter.fillPath(shape, thinMaterial);

    QLinearGradient highlight(box.topLeft(), box.bottomRight());
    highlight.setColorAt(0, whiteAt(0.2));
    highlight.setColorAt(1, Qt::transparent);
    painter.save();
    painter.setOpacity(highlightOpacity());
    painter.fillPath(shape, highlight);
    painter.restore();

    QLinearGradient rim(box.topLeft(), box.bottomRight());
    rim.setColorAt(0, whiteAt(0.6));
    rim.setColorAt(1.0 / 3, whiteAt(0.1));
    rim.setColorAt(2.0 / 3, whiteAt(0.05));
    rim.setColorAt(1, whiteAt(0.3));
    painter.strokePath(shape, QPen(QBrush(rim), 1));
}

void PremiumGlassCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_enableEffect && !m_rotation.isNull()) {
        const QPointF centre = QRectF(rect()).center();
        QTransform tilt;
        tilt.translate(centre.x(), centre.y());
        tilt.rotate(m_rotation.x(), Qt::XAxis);
        tilt.rotate(m_rotation.y(), Qt::YAxis);
        tilt.translate(-centre.x(), -centre.y());
        painter.setTransform(tilt);
    }
    paintGlass(painter);
}

void PremiumGlassCard::mouseMoveEvent(QMouseEvent* event)
{
    handleHover(event->position());
    QWidget::mouseMoveEvent(event);
}

void PremiumGlassCard::enterEvent(QEnterEvent* event)
{
    handleHover(event->position());
    QWidget::enterEvent(event);
}

void PremiumGlassCard::leaveEvent(QEvent* event)
{
    handleHover(std::nullopt);
    QWidget::leaveEvent(event);
}
