#include "spacesaver/SpaceSaverView.h"

#include "spacesaver/CompressionFailureView.h"
#include "spacesaver/CompressionOptionsSection.h"
#include "spacesaver/CompressionProgressOverlay.h"
#include "spacesaver/CompressionSuccessView.h"
#include "spacesaver/FileTypeBar.h"
#include "spacesaver/FileTypeBreakdown.h"
#include "spacesaver/SavingsGauge.h"
#include "spacesaver/SpaceAnalyticsDashboard.h"
#include "spacesaver/SpaceSaverActions.h"
#include "spacesaver/SpaceSaverHeader.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

SpaceSaverView::SpaceSaverView(CompressionService& service, ScreenshotMonitor& monitor, NotSmallerMemory& notSmaller,
                               QWidget* parent)
    : QWidget(parent)
    , m_viewModel(new SpaceSaverViewModel(service, monitor, notSmaller, this))
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
    column->addWidget(settledRunNotice(content));
    column->addWidget(m_dashboard);
    column->addWidget(m_breakdown);
    column->addWidget(m_options);
    column->addWidget(m_actions);
    column->addStretch();
    return content;
}

QWidget* SpaceSaverView::settledRunNotice(QWidget* parent)
{
    m_settledRun = new QFrame(parent);
    m_settledRun->setObjectName(u"settledRunNotice"_s);
    m_settledRun->setStyleSheet(u"#settledRunNotice { background: rgba(59, 130, 246, 0.14); "
                                "border: 1px solid rgba(59, 130, 246, 0.45); border-radius: 10px; }"_s);
    auto* row = new QHBoxLayout(m_settledRun);
    row->setContentsMargins(14, 10, 10, 10);
    m_settledRunText = makeTextLabel({}, PremiumTheme::captionFont(), PremiumTheme::textPrimary(), m_settledRun);
    m_settledRunText->setWordWrap(true);
    row->addWidget(m_settledRunText, 1);
    auto* dismiss = new QPushButton(u"Dismiss"_s, m_settledRun);
    dismiss->setFlat(true);
    connect(dismiss, &QPushButton::clicked, m_viewModel, &SpaceSaverViewModel::dismissSettledRun);
    row->addWidget(dismiss);
    return m_settledRun;
}

QString SpaceSaverView::settledRunText() const
{
    return m_settledRunText->text();
}

bool SpaceSaverView::figuresAtRest() const
{
    const QList<FileTypeBar*> bars = m_breakdown->bars();
    return !m_viewModel->isCounting() && m_dashboard->gauge()->isAtRest() &&
           std::all_of(bars.cbegin(), bars.cend(), [](const FileTypeBar* bar) { return bar->isAtRest(); });
}

void SpaceSaverView::refresh()
{
    m_settledRun->setVisible(m_viewModel->settledRunMessage().has_value());
    m_settledRunText->setText(m_viewModel->settledRunMessage().value_or(QString()));
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
