#include "app/ProcessingView.h"
#include "ui/ColorFromHex.h"

#include "app/Onboarding.h"
#include "core/Console.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "ui/AnimatedChange.h"
#include "ui/BlurredGlow.h"
#include "ui/BouncingSymbol.h"
#include "ui/GlowProgressBar.h"
#include "ui/Motion.h"
#include "ui/PremiumGlassCard.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
QFont boldMonospaced()
{
    // The body text style (13 points) in its monospaced design.
    QFont font = PremiumTheme::monoFont();
    font.setBold(true);
    return font;
}

// The glows are dim and pulse slowly: a repaint every fourth display frame
// moves their edges by under one colour step, so it looks as smooth as every
// frame, for a quarter of the drawing.
constexpr int backdropFrameMs = 66;

QPushButton* cancelButton()
{
    auto* button = new QPushButton(u"Cancel"_s);
    button->setObjectName(u"cancel"_s);
    button->setFont(PremiumTheme::labelFont());
    button->setCursor(Qt::PointingHandCursor);
    button->setFlat(true);
    const QColor text = withAlpha(PremiumTheme::textSecondary(), PremiumTheme::textSecondary().alphaF() * 0.8);
    button->setStyleSheet(
        u"QPushButton { color: rgba(255, 255, 255, %1); background: rgba(255, 255, 255, 0.05);"
        " border: none; border-radius: 12px; padding: 8px 16px; }"
        " QPushButton:hover { background: rgba(255, 255, 255, 0.1); }"
        " QPushButton:pressed { background: rgba(255, 255, 255, 0.03); }"_s.arg(text.alphaF(), 0, 'f', 3));
    return button;
}
} // namespace

ProcessingView::ProcessingView(ScreenshotMonitor& monitor, Settings& settings, QWidget* parent)
    : QWidget(parent)
    , m_monitor(monitor)
    , m_settings(settings)
{
    auto* card = new PremiumGlassCard(32, 48, false);
    card->setFixedSize(cardSize);
    card->setContent(buildCardContent());
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(card, 0, 0, Qt::AlignCenter);
    m_backdropRepaint.setSingleShot(true);
    m_backdropRepaint.setInterval(backdropFrameMs);
    connect(&m_backdropRepaint, &QTimer::timeout, this, qOverload<>(&QWidget::update));

    connect(&monitor, &ScreenshotMonitor::processingProgressValueChanged, this, &ProcessingView::refresh);
    for (auto signal : {&ScreenshotMonitor::processedCountChanged, &ScreenshotMonitor::totalToProcessChanged,
                        &ScreenshotMonitor::currentBatchNumberChanged, &ScreenshotMonitor::totalBatchesChanged})
        connect(&monitor, signal, this, &ProcessingView::refresh);
    connect(&monitor, &ScreenshotMonitor::isUnderMemoryPressureChanged, this, &ProcessingView::refresh);
    refresh();
}

QWidget* ProcessingView::buildCardContent()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(32);
    column->addStretch();

    column->addWidget(new BouncingSymbol(u"wand.and.stars"_s, 64, PremiumTheme::textPrimary()), 0, Qt::AlignHCenter);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(8);
    auto* title =
        makeTextLabel(u"Organizing Your Screenshots"_s, PremiumTheme::headingFont(), PremiumTheme::textPrimary());
    auto* subtitle = makeTextLabel(u"Analyzing text and visual details..."_s, PremiumTheme::bodyFont(),
                                   PremiumTheme::textSecondary());
    titles->addWidget(title, 0, Qt::AlignHCenter);
    titles->addWidget(subtitle, 0, Qt::AlignHCenter);
    column->addLayout(titles);

    auto* progress = new QWidget;
    progress->setMaximumWidth(400);
    auto* block = new QVBoxLayout(progress);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(16);
    m_progressBar = new GlowProgressBar;
    m_progressBar->setObjectName(u"progressBar"_s);
    block->addWidget(m_progressBar);
    block->addWidget(buildStatusLines());
    m_cancel = cancelButton();
    connect(m_cancel, &QPushButton::clicked, this, &ProcessingView::cancelProcessing);
    auto* cancelRow = new QVBoxLayout;
    cancelRow->setContentsMargins(0, 8, 0, 0);
    cancelRow->addWidget(m_cancel, 0, Qt::AlignHCenter);
    block->addLayout(cancelRow);
    column->addWidget(progress, 0, Qt::AlignHCenter);
    column->addStretch();
    return content;
}

QWidget* ProcessingView::buildStatusLines()
{
    const QFont numbers = boldMonospaced();
    auto* lines = new QWidget;
    auto* grid = new QGridLayout(lines);
    grid->setContentsMargins(GlowProgressBar::glowMargin, 0, GlowProgressBar::glowMargin, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);

    auto* counts = new QHBoxLayout;
    counts->setSpacing(0);
    m_processed = makeTextLabel(QString(), numbers, PremiumTheme::textPrimary());
    m_processed->setObjectName(u"processedCount"_s);
    m_total = makeTextLabel(QString(), numbers, PremiumTheme::textPrimary());
    m_total->setObjectName(u"totalToProcess"_s);
    counts->addWidget(m_processed);
    counts->addWidget(makeTextLabel(u" of "_s, PremiumTheme::captionFont(), PremiumTheme::textSecondary()));
    counts->addWidget(m_total);
    grid->addLayout(counts, 0, 0, Qt::AlignLeft);

    m_percentage = makeTextLabel(QString(), numbers, PremiumTheme::textSecondary());
    m_percentage->setObjectName(u"percentage"_s);
    grid->addWidget(m_percentage, 0, 1, Qt::AlignRight);

    m_batch = makeTextLabel(QString(), PremiumTheme::captionFont(), PremiumTheme::textSecondary());
    m_batch->setObjectName(u"batch"_s);
    grid->addWidget(m_batch, 1, 0, Qt::AlignLeft);

    const QColor yellow = PremiumTheme::systemColor(SystemColor::yellow);
    m_memoryNotice = new QWidget;
    m_memoryNotice->setObjectName(u"memoryPressure"_s);
    auto* notice = new QHBoxLayout(m_memoryNotice);
    notice->setContentsMargins(0, 0, 0, 0);
    notice->setSpacing(4);
    notice->addWidget(new SymbolLabel(u"exclamationmark.triangle.fill"_s, 13, yellow));
    notice->addWidget(makeTextLabel(u"Paused - Memory pressure"_s, PremiumTheme::captionFont(), yellow));
    grid->addWidget(m_memoryNotice, 1, 1, Qt::AlignRight);
    return lines;
}

QString ProcessingView::percentText(double fraction)
{
    const double percent = std::isfinite(fraction) ? std::trunc(std::clamp(fraction, 0.0, 1.0) * 100) : 0;
    return QString::number(int(percent)) + u'%';
}

void ProcessingView::refresh()
{
    m_progressBar->setValue(m_monitor.processingProgressValue());
    m_processed->setText(QString::number(m_monitor.processedCount()));
    m_total->setText(QString::number(m_monitor.totalToProcess()));
    m_batch->setText(u"Batch %1 of %2"_s.arg(m_monitor.currentBatchNumber()).arg(m_monitor.totalBatches()));
    m_batch->setVisible(m_monitor.totalBatches() >= 1);
    m_memoryNotice->setVisible(m_monitor.isUnderMemoryPressure());
    m_percentage->setText(percentText(m_monitor.processingProgressValue()));
}

void ProcessingView::cancelProcessing()
{
    Console::printLine(u"🛑 Cancelling processing and rolling back..."_s);
    // The way back to the welcome screen is animated; forgetting the folder
    // ends the blocking run, and releases the folder's access as well, so the
    // welcome screen's next choice opens the chooser instead of reusing it.
    const AnimatedChange change;
    m_monitor.forgetFolder();
    m_settings.remove(ScreenshotMonitor::folderBookmarkKey);
    m_settings.remove(ScreenshotMonitor::monitoredPathKey);
    Console::printLine(u"   ✅ Cleared folder bookmark and path"_s);
    Onboarding::setComplete(m_settings, false);
}

void ProcessingView::setGlowScale(qreal scale)
{
    m_glowScale = scale;
    if (!m_backdropRepaint.isActive())
        m_backdropRepaint.start();
}

void ProcessingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), PremiumTheme::background());
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(m_glowScale, m_glowScale);
    BlurredGlow::paint(painter, QPointF(-200, -200), withAlpha(PremiumTheme::primary(), 0.2), 600, 100);
    BlurredGlow::paint(painter, QPointF(200, 200), withAlpha(PremiumTheme::secondary(), 0.2), 500, 100);
}

void ProcessingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_isAnimating)
        return;
    m_isAnimating = true;
    // With motion off the glows rest at full size.
    if (!Motion::repeatForever(this, "glowScale", 0.8, 1.0, QEasingCurve::InOutSine, pulseMs, true))
        setGlowScale(1.0);
}
