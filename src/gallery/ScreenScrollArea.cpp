#include "gallery/ScreenScrollArea.h"

#include "gallery/TileSections.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {
constexpr int barWidth = 10;
}

ScreenScrollArea::ScreenScrollArea(QWidget* content, QWidget* parent)
    : QScrollArea(parent)
    , m_overlay(new QScrollBar(Qt::Vertical, this))
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setWidget(content);
    // The main view's backdrop shows through, as it does behind the gallery
    // (setWidget() turns filling on).
    content->setAutoFillBackground(false);

    QScrollBar* model = verticalScrollBar();
    connect(model, &QScrollBar::rangeChanged, this, &ScreenScrollArea::followRange);
    connect(model, &QScrollBar::valueChanged, m_overlay, &QScrollBar::setValue);
    connect(m_overlay, &QScrollBar::valueChanged, model, &QScrollBar::setValue);
    followRange(model->minimum(), model->maximum());
}

ScreenScrollArea* ScreenScrollArea::layOut(QWidget* screen, QWidget* header, const QList<QWidget*>& bodies, int gap,
                                           int bottomMargin)
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, bottomMargin - TileSections::overflowMargin);
    column->setSpacing(0);
    column->addWidget(header);
    column->addSpacing(gap - TileSections::overflowMargin);
    for (QWidget* body : bodies)
        column->addWidget(body);
    column->addStretch(1);

    auto* area = new ScreenScrollArea(content);
    auto* layout = new QVBoxLayout(screen);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
    return area;
}

void ScreenScrollArea::followRange(int minimum, int maximum)
{
    const QScrollBar* model = verticalScrollBar();
    m_overlay->setRange(minimum, maximum);
    m_overlay->setPageStep(model->pageStep());
    m_overlay->setSingleStep(model->singleStep());
    m_overlay->setValue(model->value());
    m_overlay->setVisible(maximum > minimum);
    m_overlay->raise();
}

void ScreenScrollArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    m_overlay->setGeometry(width() - barWidth, 0, barWidth, height());
    m_overlay->setPageStep(verticalScrollBar()->pageStep());
}
