#include "ui/DimmedBackdrop.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

DimmedBackdrop::DimmedBackdrop(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_TranslucentBackground);
}

void DimmedBackdrop::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, qRound(opacity * 255)));
}

void DimmedBackdrop::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void DimmedBackdrop::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void DimmedBackdrop::wheelEvent(QWheelEvent* event)
{
    event->accept();
}
