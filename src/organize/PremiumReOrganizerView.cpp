#include "organize/PremiumReOrganizerView.h"

#include "ingest/ScreenshotMonitor.h"
#include "organize/ActionButtonsSection.h"
#include "organize/ConfigurationSection.h"
#include "organize/HistoryTimelineSection.h"
#include "organize/PreviewSection.h"
#include "organize/ProgressOverlay.h"
#include "organize/ReOrganizerViewModel.h"
#include "organize/StatsCardView.h"
#include "organize/SuccessCelebration.h"
#include "ui/BlurredGlow.h"
#include "ui/GlassDisc.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// The scrolling column. It draws the header icon's glow itself: the light
// spills past the icon, which a widget cannot paint beyond its own bounds.
class ContentColumn : public QWidget
{
protected:
    void paintEvent(QPaintEvent*) override
    {
        const QWidget* icon = findChild<QWidget*>(u"headerIcon"_s);
        if (!icon)
            return;
        QPainter painter(this);
        const QPointF centre = QRectF(icon->rect()).center() + QPointF(icon->mapTo(this, QPoint(0, 0)));
        // The gradient's two ends, side by side, blur into one light.
        BlurredGlow::paint(painter, centre - QPointF(8, 0), withOpacity(PremiumTheme::primary(), 0.55), 56, 20);
        BlurredGlow::paint(painter, centre + QPointF(8, 0), withOpacity(PremiumTheme::secondary(), 0.45), 56, 20);
    }
};

QWidget* headerSection()
{
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    auto* icon = new GlassDisc(u"folder.badge.gearshape"_s, PremiumTheme::primaryGradient(), 28);
    icon->setObjectName(u"headerIcon"_s);
    row->addWidget(icon);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(makeTextLabel(u"Re-Organizer"_s, PremiumTheme::titleFont(), PremiumTheme::textPrimary()));
    titles->addWidget(makeTextLabel(u"Intelligent screenshot organization with complete history"_s,
                                    PremiumTheme::bodyFont(), PremiumTheme::textSecondary()));
    row->addLayout(titles);
    row->addStretch();
    return header;
}
} // namespace

PremiumReOrganizerView::PremiumReOrganizerView(ScreenshotMonitor& monitor, OrganizeService& service, QWidget* parent)
    : QWidget(parent)
    , m_monitor(monitor)
    , m_viewModel(new ReOrganizerViewModel(service, monitor, this))
{
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(contentStack());
    scroll->viewport()->setAutoFillBackground(false);
    scroll->widget()->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    m_progress = new ProgressOverlay(*this, *m_viewModel);
    m_success = new SuccessCelebration(*this, *m_viewModel);
    connect(m_viewModel, &ReOrganizerViewModel::changed, this, &PremiumReOrganizerView::refresh);
    connect(&monitor, &ScreenshotMonitor::monitoredPathChanged, this, &PremiumReOrganizerView::updateFolderWarning);
    refresh();
    updateFolderWarning();
}

QWidget* PremiumReOrganizerView::contentStack()
{
    auto* content = new ContentColumn;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(40, 40, 40, 40);
    column->setSpacing(32);
    m_stats = new StatsCardView(*m_viewModel);
    m_history = new HistoryTimelineSection(*m_viewModel);
    m_configuration = new ConfigurationSection(*m_viewModel);
    m_preview = new PreviewSection(*m_viewModel);
    m_actions = new ActionButtonsSection(*m_viewModel);
    m_folderWarning = makeTextLabel(QString(), PremiumTheme::labelFont(), PremiumTheme::warning());
    m_folderWarning->setWordWrap(true);
    m_runProblem = makeTextLabel(QString(), PremiumTheme::labelFont(), PremiumTheme::error());
    m_runProblem->setWordWrap(true);
    m_runProblem->setObjectName(u"runProblem"_s);
    column->addWidget(headerSection());
    column->addWidget(m_stats);
    column->addWidget(m_history);
    column->addWidget(m_configuration);
    column->addWidget(m_preview);
    column->addWidget(m_folderWarning);
    column->addWidget(m_runProblem);
    column->addWidget(m_actions);
    column->addStretch();
    return content;
}

bool PremiumReOrganizerView::isSweepingFolder(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    const QString clean = QDir::cleanPath(folder);
    return clean == u"/"_s || clean == QDir::cleanPath(QDir::homePath());
}

void PremiumReOrganizerView::updateFolderWarning()
{
    const QString folder = m_monitor.monitoredURL();
    const bool sweeping = isSweepingFolder(folder);
    m_folderWarning->setText(sweeping ? u"⚠️ The monitored folder is "_s + folder +
                                            u": organizing moves every screenshot tracked anywhere below it."_s
                                      : QString());
    m_folderWarning->setVisible(sweeping);
}

void PremiumReOrganizerView::refresh()
{
    const bool hasHistory = !m_viewModel->history().operations.isEmpty();
    // A history that comes back after being cleared starts unfolded.
    if (!hasHistory)
        m_history->setExpanded(true);
    m_history->setVisible(hasHistory);
    m_preview->setVisible(m_viewModel->plan().has_value());
    m_progress->setVisible(m_viewModel->isOrganizing());
    m_success->setVisible(m_viewModel->showingSuccess());
    m_runProblem->setText(m_viewModel->runProblem());
    m_runProblem->setVisible(!m_viewModel->runProblem().isEmpty());
}

void PremiumReOrganizerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        m_viewModel->loadOnAppear();
        updateFolderWarning();
    }
}

void PremiumReOrganizerView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), PremiumTheme::background());
}
