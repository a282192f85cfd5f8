#include "ui/RoundedPanel.h"

#include <QPainter>

RoundedPanel::RoundedPanel(const RoundedBackground& background, int padding, QBoxLayout::Direction direction,
                           QWidget* parent)
    : QWidget(parent)
    , m_content(new QBoxLayout(direction))
{
    m_content->setContentsMargins(padding, padding, padding, padding);
    m_content->setSpacing(0);
    setLayout(m_content);
    setBackground(background);
}

void RoundedPanel::setBackground(const RoundedBackground& background)
{
    m_background = background;
    m_background.applyShadow(*this);
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_background.paint(painter, QRectF(rect()));
}
