#include "ui/SymbolLabel.h"

#include "ui/SymbolRegistry.h"

#include <QPainter>

SymbolLabel::SymbolLabel(const QString& symbolName, int symbolSize, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_color(color)
    , m_symbolSize(symbolSize)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
}

void SymbolLabel::setSymbolName(const QString& name)
{
    if (name == m_symbolName)
        return;
    m_symbolName = name;
    update();
}

void SymbolLabel::setColor(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void SymbolLabel::setSymbolSize(int size)
{
    if (size == m_symbolSize)
        return;
    m_symbolSize = size;
    updateGeometry();
    update();
}

QSize SymbolLabel::sizeHint() const
{
    return QSize(m_symbolSize, m_symbolSize);
}

void SymbolLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF box(QPointF(0, 0), QSizeF(m_symbolSize, m_symbolSize));
    SymbolRegistry::paint(painter, box.translated(QRectF(rect()).center() - box.center()), m_symbolName, m_color);
}
