#include "app/AppSymbolView.h"

#include "ui/SymbolRegistry.h"

#include <QGraphicsDropShadowEffect>
#include <QLinearGradient>
#include <QPainter>

AppSymbolView::AppSymbolView(const QString& symbolName, int symbolSize, QWidget* parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_symbolSize(symbolSize)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    auto* glow = new QGraphicsDropShadowEffect(this);
    glow->setColor(QColor(255, 255, 255, 128));
    glow->setBlurRadius(20);
    glow->setOffset(0, 0);
    setGraphicsEffect(glow);
}

void AppSymbolView::setAppearance(qreal appearance)
{
    m_appearance = appearance;
    update();
}

QSize AppSymbolView::sizeHint() const
{
    return QSize(m_symbolSize, m_symbolSize);
}

const QPixmap& AppSymbolView::gradientSymbol()
{
    const qreal ratio = devicePixelRatioF();
    if (!m_symbol.isNull() && m_symbol.devicePixelRatio() == ratio)
        return m_symbol;
    QPixmap symbol = SymbolRegistry::pixmap(m_symbolName, m_symbolSize, Qt::white, ratio);
    QPainter painter(&symbol);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    QLinearGradient gradient(QPointF(0, 0), QPointF(m_symbolSize, m_symbolSize));
    gradient.setColorAt(0, Qt::white);
    gradient.setColorAt(1, QColor(255, 255, 255, 179));
    painter.fillRect(QRectF(0, 0, m_symbolSize, m_symbolSize), gradient);
    painter.end();
    m_symbol = symbol;
    return m_symbol;
}

void AppSymbolView::paintEvent(QPaintEvent*)
{
    if (m_appearance <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(qBound(0.0, m_appearance, 1.0));
    const qreal scale = 0.8 + 0.2 * m_appearance;
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-m_symbolSize / 2.0, -m_symbolSize / 2.0);
    painter.drawPixmap(QRectF(0, 0, m_symbolSize, m_symbolSize), gradientSymbol(), QRectF());
}
