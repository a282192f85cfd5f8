#include "ui/GradientButton.h"

#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int horizontalPadding = 24;
constexpr int verticalPadding = 12;
constexpr int spacing = 8;
constexpr qreal cornerRadius = 12;
const Spring pressSpring{0.3, 0.6, 0.0};
} // namespace

GradientButton::GradientButton(const QString& title, const QString& symbolName, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbolName(symbolName)
{
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::pressed, this, [this] { animatePress(true); });
    connect(this, &QAbstractButton::released, this, [this] { animatePress(false); });
}

void GradientButton::setPressScale(qreal scale)
{
    m_pressScale = scale;
    update();
}

void GradientButton::animatePress(bool pressed)
{
    Motion::animate(this, "pressScale", pressed ? pressedScale : 1.0, pressSpring);
}

int GradientButton::symbolSize() const
{
    return PremiumTheme::labelFont().pixelSize() + 3;
}

QSize GradientButton::sizeHint() const
{
    const QFontMetrics metrics(PremiumTheme::buttonFont());
    int width = metrics.horizontalAdvance(text());
    int height = metrics.height();
    if (!m_symbolName.isEmpty()) {
        width += symbolSize() + spacing;
        height = qMax(height, symbolSize());
    }
    return QSize(width + 2 * horizontalPadding, height + 2 * verticalPadding);
}

void GradientButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(shape, PremiumTheme::primaryGradient());

    // Only the label shrinks while pressed; the gradient stays put.
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(m_pressScale, m_pressScale);
    painter.translate(-centre);

    const QFontMetrics metrics(PremiumTheme::buttonFont());
    const int textWidth = metrics.horizontalAdvance(text());
    const int iconWidth = m_symbolName.isEmpty() ? 0 : symbolSize() + spacing;
    qreal x = centre.x() - (textWidth + iconWidth) / 2.0;
    if (!m_symbolName.isEmpty()) {
        const QRectF iconBox(x, centre.y() - symbolSize() / 2.0, symbolSize(), symbolSize());
        SymbolRegistry::paint(painter, iconBox, m_symbolName, Qt::white);
        x += iconWidth;
    }
    painter.setFont(PremiumTheme::buttonFont());
    painter.setPen(Qt::white);
    painter.drawText(QRectF(x, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}
