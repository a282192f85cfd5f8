#include "ui/StyledSymbol.h"

#include "ui/SymbolRegistry.h"

#include <QEvent>
#include <QPainter>

StyledSymbol::StyledSymbol(const QString& symbolName, QWidget* parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    setProperty("inheritsTextStyle", true);
}

StyledSymbol::StyledSymbol(const QString& symbolName, const QBrush& brush, int symbolSize, QWidget* parent)
    : StyledSymbol(symbolName, parent)
{
    setProperty("inheritsTextStyle", false);
    m_brush = brush;
    m_symbolSize = symbolSize;
}

void StyledSymbol::setSymbolName(const QString& name)
{
    m_symbolName = name;
    update();
}

void StyledSymbol::setBrush(const QBrush& brush)
{
    m_brush = brush;
    update();
}

void StyledSymbol::setSymbolSize(int size)
{
    m_symbolSize = size;
    updateGeometry();
    update();
}

int StyledSymbol::symbolSize() const
{
    if (m_symbolSize)
        return *m_symbolSize;
    const QFont& current = font();
    return current.pixelSize() > 0 ? current.pixelSize() : qRound(current.pointSizeF() * logicalDpiY() / 72.0);
}

QBrush StyledSymbol::effectiveBrush() const
{
    return m_brush ? *m_brush : QBrush(palette().color(QPalette::WindowText));
}

QSize StyledSymbol::sizeHint() const
{
    return QSize(symbolSize(), symbolSize());
}

void StyledSymbol::paintEvent(QPaintEvent*)
{
    const int side = symbolSize();
    if (side <= 0)
        return;
    const QBrush brush = effectiveBrush();
    QPainter painter(this);
    const QRectF box(QRectF(rect()).center() - QPointF(side / 2.0, side / 2.0), QSizeF(side, side));
    if (brush.style() == Qt::SolidPattern) {
        SymbolRegistry::paint(painter, box, m_symbolName, brush.color());
        return;
    }
    // A gradient spans the symbol's box: tint the white art through it.
    const qreal ratio = devicePixelRatioF();
    QImage art = SymbolRegistry::pixmap(m_symbolName, side, Qt::white, ratio).toImage();
    art = art.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter tint(&art);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(art.rect(), brush);
    }
    painter.drawImage(box, art);
}

void StyledSymbol::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}
