#include "ui/BlurView.h"

#include <QPainter>
#include <QPainterPath>

BlurView::BlurView(Material material, QWidget* parent)
    : QWidget(parent)
    , m_material(material)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BlurView::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

QColor BlurView::fillColor(Material material)
{
    switch (material) {
    case Material::sidebar:
        return QColor(38, 38, 44, 150);
    case Material::hudWindow:
        return QColor(24, 24, 28, 200);
    case Material::popover:
        return QColor(44, 44, 50, 215);
    case Material::thin:
        return QColor(50, 50, 56, 140);
    case Material::ultraThin:
        return QColor(50, 50, 56, 90);
    }
    Q_UNREACHABLE();
    return {};
}

void BlurView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    painter.fillPath(shape, fillColor(m_material));
}
