#include "spacesaver/SpaceSaverView.h"

#include "spacesaver/CompressionFailureView.h"
#include "spacesaver/CompressionOptionsSection.h"
#include "spacesaver/CompressionProgressOverlay.h"
#include "spacesaver/CompressionSuccessView.h"
#include "spacesaver/FileTypeBreakdown.h"
#include "spacesaver/SpaceAnalyticsDashboard.h"
#include "spacesaver/SpaceSaverActions.h"
#include "spacesaver/SpaceSaverHeader.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/PremiumTheme.h"

#include <QPainter>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

SpaceSaverView::SpaceSaverView(CompressionService& service, ScreenshotMonitor& monitor, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(new SpaceSaverViewModel(service, monitor, this))
{
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setWidget(contentColumn());
    scroll->viewport()->setAutoFillBackground(false);
    scroll->widget()->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    // Later overlays lie above earlier ones: success above progress.
    m_progress = new CompressionProgressOverlay(*this, *m_viewModel);
    m_success = new CompressionSuccessView(*this, *m_viewModel);
    m_failure = new CompressionFailureView(*this, *m_viewModel);
    connect(m_viewModel, &SpaceSaverViewModel::changed, this, &SpaceSaverView::refresh);
    refresh();
}

QWidget* SpaceSaverView::contentColumn()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(40, 40, 40, 40);
    column->setSpacing(32);
    m_dashboard = new SpaceAnalyticsDashboard(*m_viewModel);
    m_breakdown = new FileTypeBreakdown(*m_viewModel);
    m_options = new CompressionOptionsSection(*m_viewModel);
    m_actions = new SpaceSaverActions(*m_viewModel);
    column->addWidget(new SpaceSaverHeader);
    column->addWidget(m_dashboard);
    column->addWidget(m_breakdown);
    column->addWidget(m_options);
    column->addWidget(m_actions);
    column->addStretch();
    return content;
}

void SpaceSaverView::refresh()
{
    m_options->setVisible(m_viewModel->plan().has_value());
    m_progress->setVisible(m_viewModel->isCompressing());
    m_success->setVisible(m_viewModel->showingSuccess());
    m_failure->setVisible(m_viewModel->failureMessage().has_value());
}

void SpaceSaverView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        m_viewModel->analyze();
}

void SpaceSaverView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), PremiumTheme::background());
}
