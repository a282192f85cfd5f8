#include "ui/GlassDisc.h"

#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"

#include <QPainter>
#include <QVBoxLayout>

GlassDisc::GlassDisc(const QString& symbol, const QBrush& brush, int symbolSize, int diameter, QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(diameter, diameter);
    auto* centre = new QVBoxLayout(this);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(new StyledSymbol(symbol, brush, symbolSize), 0, Qt::AlignCenter);
}

void GlassDisc::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(PremiumTheme::glassFill());
    painter.setPen(QPen(PremiumTheme::glassBorder(), 1));
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
