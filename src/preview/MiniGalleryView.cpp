#include "preview/MiniGalleryView.h"

#include "core/Workers.h"

#include "core/GuiThread.h"
#include "core/LargeBlocks.h"
#include "library/GalleryViewModel.h"
#include "preview/CustomSearchBar.h"
#include "preview/InspectorPieces.h"
#include "preview/MiniGalleryFilter.h"
#include "preview/MiniGalleryGrid.h"
#include "preview/QuickPreviewOverlay.h"
#include "preview/QuickVideoPlayer.h"
#include "ui/BlurView.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/Spring.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"
#include "ui/TextStyle.h"
#include "ui/ThumbnailLoader.h"
#include "ui/UnreadablePicture.h"

#include <QClipboard>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace Qt::StringLiterals;

namespace {
constexpr int largeTitleSize = 26;
constexpr int copiedFadeMs = 250;

// Fades a layer in along the quick preview's spring; the effect goes when
// done (a video picture must not be drawn through it).
void fadeIn(QWidget& layer)
{
    if (Motion::isInstant())
        return;
    auto* effect = new QGraphicsOpacityEffect(&layer);
    effect->setOpacity(0);
    layer.setGraphicsEffect(effect);
    QVariantAnimation* fade = Motion::animate(effect, "opacity", 1.0, Spring{0.3, 0.8, 0});
    if (!fade) {
        layer.setGraphicsEffect(nullptr);
        return;
    }
    QObject::connect(fade, &QAbstractAnimation::finished, &layer, [&layer] { layer.setGraphicsEffect(nullptr); });
}

QWidget* divider(QWidget* parent)
{
    return InspectorPieces::divider(PremiumTheme::glassBorder(), parent);
}

// The desktop's control background under a row, edge to edge.
void fillWithControlBackground(QWidget* row)
{
    row->setAutoFillBackground(true);
    QPalette palette = row->palette();
    palette.setColor(QPalette::Window, PremiumTheme::surface());
    row->setPalette(palette);
}
} // namespace

MiniGalleryView::MiniGalleryView(GalleryViewModel& viewModel, std::function<void()> onOpenDashboard,
                                 std::function<void()> onQuit, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_onOpenDashboard(std::move(onOpenDashboard))
    , m_onQuit(std::move(onQuit))
    , m_scheduler(&Scheduler::eventLoop())
    , m_searchIndex(std::make_shared<SearchIndex::Cache>())
{
    setObjectName(u"miniGallery"_s);
    m_thumbnails = new ThumbnailLoader(m_thumbnailCache, thumbnailSize, m_viewModel.workers(), this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeaderRow());
    column->addWidget(divider(this));
    column->addWidget(makeSearchRow());
    column->addWidget(divider(this));
    column->addWidget(makeContent(), 1);
    column->addWidget(divider(this));
    column->addWidget(makeFooterRow());

    connect(&m_viewModel, &GalleryViewModel::screenshotsChanged, this, &MiniGalleryView::libraryChanged);
}

MiniGalleryView::~MiniGalleryView()
{
    cancelFilter();
    if (m_preparationCancelled)
        m_preparationCancelled->store(true);
}

QWidget* MiniGalleryView::makeHeaderRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(makeTextLabel(u"Recent Screenshots"_s, PremiumTheme::systemFont(13, QFont::DemiBold),
                                    PremiumTheme::textSecondary(), row));
    layout->addStretch(1);
    auto* open = new PlainButton(RoundedBackground{}, QMargins(), QBoxLayout::LeftToRight, row);
    open->contentLayout()->addWidget(new SymbolLabel(u"square.grid.2x2"_s, 14, PremiumTheme::textPrimary(), open));
    open->setToolTip(u"Open Dashboard"_s);
    open->setCursor(Qt::PointingHandCursor);
    connect(open, &QAbstractButton::clicked, this, [this] {
        if (m_onOpenDashboard)
            m_onOpenDashboard();
    });
    layout->addWidget(open);
    m_headerDashboardButton = open;
    return row;
}

QWidget* MiniGalleryView::makeSearchRow()
{
    auto* row = new QWidget(this);
    fillWithControlBackground(row);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 8, 12, 8);
    m_searchBar = new CustomSearchBar(placeholder, row);
    layout->addWidget(m_searchBar);
    connect(m_searchBar, &CustomSearchBar::textChanged, this, &MiniGalleryView::setSearchText);
    m_searchBar->field()->installEventFilter(this);
    return row;
}

QWidget* MiniGalleryView::makeContent()
{
    auto* holder = new QWidget(this);
    m_content = new QStackedLayout(holder);
    m_grid = new MiniGalleryGrid(holder);
    m_content->addWidget(m_grid);
    m_content->addWidget(makeEmptyState());
    m_grid->setThumbnailSource([this](const Screenshot& screenshot) { return m_thumbnails->request(screenshot); });
    m_grid->setUnreadableCheck([this](const Screenshot& screenshot) { return isUnreadable(screenshot); });
    connect(m_thumbnails, &ThumbnailLoader::thumbnailReady, m_grid, &MiniGalleryGrid::thumbnailArrived);
    connect(m_thumbnails, &ThumbnailLoader::thumbnailFailed, m_grid, &MiniGalleryGrid::thumbnailArrived);
    connect(m_grid, &MiniGalleryGrid::visibleIdsChanged, m_thumbnails, &ThumbnailLoader::retainOnly);
    connect(m_grid, &MiniGalleryGrid::cellClicked, this, &MiniGalleryView::copyImage);
    connect(m_grid, &MiniGalleryGrid::actionTriggered, this, &MiniGalleryView::cellAction);
    return holder;
}

QWidget* MiniGalleryView::makeEmptyState()
{
    m_emptyState = new QWidget(this);
    m_emptyState->setObjectName(u"miniGalleryEmptyState"_s);
    auto* column = new QVBoxLayout(m_emptyState);
    column->addStretch(1);
    column->addWidget(new SymbolLabel(u"magnifyingglass"_s, largeTitleSize,
                                      withOpacity(PremiumTheme::textSecondary(), 0.5), m_emptyState),
                      0, Qt::AlignHCenter);
    column->addSpacing(4);
    m_emptyText = makeTextLabel(QString(), TextStyle::caption(), PremiumTheme::textSecondary(), m_emptyState);
    column->addWidget(m_emptyText, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return m_emptyState;
}

QWidget* MiniGalleryView::makeFooterRow()
{
    auto* row = new QWidget(this);
    fillWithControlBackground(row);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 12, 12, 12);

    auto* quit = new QPushButton(u"Quit"_s, row);
    quit->setFlat(true);
    quit->setCursor(Qt::PointingHandCursor);
    quit->setFont(PremiumTheme::systemFont(12));
    quit->setStyleSheet(u"QPushButton { color: %1; border: none; padding: 2px 4px; }"_s.arg(
        PremiumTheme::textSecondary().name(QColor::HexArgb)));
    connect(quit, &QPushButton::clicked, this, [this] {
        if (m_onQuit)
            m_onQuit();
    });
    m_quitButton = quit;

    m_copiedLabel = makeTextLabel(u"Copied to Clipboard!"_s, TextStyle::caption(),
                                  PremiumTheme::systemColor(SystemColor::green), row);
    m_copiedOpacity = new QGraphicsOpacityEffect(m_copiedLabel);
    m_copiedLabel->setGraphicsEffect(m_copiedOpacity);
    m_copiedLabel->hide();

    auto* open = new QPushButton(u"Open Dashboard"_s, row);
    open->setCursor(Qt::PointingHandCursor);
    open->setFont(PremiumTheme::systemFont(12, QFont::Medium));
    open->setStyleSheet(
        u"QPushButton { color: white; background: %1; border: none; border-radius: 5px; padding: 4px 10px; }"
        u"QPushButton:pressed { background: %2; }"_s.arg(PremiumTheme::accent().name(),
                                                         PremiumTheme::accent().darker(120).name()));
    connect(open, &QPushButton::clicked, this, [this] {
        if (m_onOpenDashboard)
            m_onOpenDashboard();
    });
    m_openDashboardButton = open;

    layout->addWidget(quit);
    layout->addStretch(1);
    layout->addWidget(m_copiedLabel);
    layout->addStretch(1);
    layout->addWidget(open);
    return row;
}

void MiniGalleryView::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    if (m_searchBar->text() != text)
        m_searchBar->setText(text);
    m_grid->scrollToTop();
    refilter();
}

void MiniGalleryView::libraryChanged()
{
    ++m_libraryGeneration;
    refilter();
}

void MiniGalleryView::refilter()
{
    cancelFilter();
    // A closed popup filters when it opens again.
    m_needsFilter = !isVisible();
    if (m_needsFilter)
        return;
    const QList<Screenshot> library = m_viewModel.screenshots();
    if (m_searchText.isEmpty() || library.size() <= synchronousFilterLimit) {
        const std::atomic<bool> running{false};
        showFiltered(*MiniGalleryFilter::filter(library, m_searchText, *m_searchIndex, m_libraryGeneration,
                                                searchThreads(), running));
        return;
    }
    const quint64 run = ++m_filterRun;
    m_filterRunning = true;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_filterCancelled = cancelled;
    QPointer<MiniGalleryView> self(this);
    m_viewModel.workers().gallery().start([self, run, cancelled, library, text = m_searchText, index = m_searchIndex,
                                           generation = m_libraryGeneration, pool = &searchThreads()] {
        std::optional<QList<Screenshot>> result =
            MiniGalleryFilter::filter(library, text, *index, generation, *pool, *cancelled);
        if (!result)
            return;
        runOnGuiThread([self, run, result = std::move(*result)] {
            if (!self || self->m_filterRun != run)
                return;
            self->m_filterRunning = false;
            self->showFiltered(result);
        });
    });
}

void MiniGalleryView::releaseOffGuiThread(QList<Screenshot>&& list)
{
    // Freeing the last copy of a list of 100k records takes tens of
    // milliseconds: the worker does it.
    if (list.size() > synchronousFilterLimit && !list.isSharedWith(m_viewModel.screenshots()))
        m_viewModel.workers().gallery().start([list = std::move(list)] {});
}

QThreadPool& MiniGalleryView::searchThreads() const
{
    return m_viewModel.workers().search().threads();
}

void MiniGalleryView::prepareSearch()
{
    const QList<Screenshot> library = m_viewModel.screenshots();
    if (library.size() <= synchronousFilterLimit)
        return;
    // Folding a large library takes a good part of a second: done while the
    // user is about to type, the first keystroke finds it ready.
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    if (m_preparationCancelled)
        m_preparationCancelled->store(true);
    m_preparationCancelled = cancelled;
    m_viewModel.workers().gallery().start(
        [cancelled, library, index = m_searchIndex, generation = m_libraryGeneration, pool = &searchThreads()] {
            index->indexFor(library, generation, *pool, *cancelled);
        });
}

bool MiniGalleryView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_searchBar->field() && event->type() == QEvent::FocusIn)
        prepareSearch();
    return QWidget::eventFilter(watched, event);
}

void MiniGalleryView::cancelFilter()
{
    if (m_filterCancelled)
        m_filterCancelled->store(true);
    m_filterCancelled.reset();
    ++m_filterRun;
    m_filterRunning = false;
}

void MiniGalleryView::showFiltered(const QList<Screenshot>& screenshots)
{
    QList<Screenshot> previous = std::exchange(m_shown, screenshots);
    m_grid->setScreenshots(m_shown);
    releaseOffGuiThread(std::move(previous));
    m_emptyText->setText(m_searchText.isEmpty() ? u"No screenshots yet"_s : u"No results found"_s);
    m_content->setCurrentWidget(m_shown.isEmpty() ? m_emptyState : static_cast<QWidget*>(m_grid));
    Q_EMIT filteredScreenshotsChanged();
}

std::optional<QString> MiniGalleryView::emptyStateText() const
{
    if (m_content->currentWidget() != m_emptyState)
        return std::nullopt;
    return m_emptyText->text();
}

void MiniGalleryView::cellAction(MiniScreenshotItem::Action action, const Screenshot& screenshot)
{
    switch (action) {
    case MiniScreenshotItem::Action::preview:
        openQuickPreview(screenshot);
        break;
    case MiniScreenshotItem::Action::copyImage:
        copyImage(screenshot);
        break;
    case MiniScreenshotItem::Action::copyText:
        copyText(screenshot);
        break;
    }
}

bool MiniGalleryView::isUnreadable(const Screenshot& screenshot) const
{
    return !screenshot.isVideo() && m_thumbnails->hasFailed(screenshot.id);
}

void MiniGalleryView::copyImage(const Screenshot& screenshot)
{
    // A link to a file that holds no picture would paste as nothing, or as
    // a broken image, without a word.
    if (isUnreadable(screenshot)) {
        tellUnreadable(screenshot);
        return;
    }
    // One file URL and nothing else; the file is neither read again nor checked.
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(screenshot.filePath)});
    QGuiApplication::clipboard()->setMimeData(data);
    markCopied(screenshot);
}

void MiniGalleryView::copyText(const Screenshot& screenshot)
{
    if (!screenshot.ocrText)
        return;
    QGuiApplication::clipboard()->setText(*screenshot.ocrText);
    markCopied(screenshot);
}

void MiniGalleryView::markCopied(const Screenshot& screenshot)
{
    m_unreadableNoticeId.reset();
    m_copiedId = screenshot.id;
    m_grid->setCopiedId(m_copiedId);
    showCopiedConfirmation(true);
    const QUuid id = screenshot.id;
    m_scheduler->runAfter(copiedMarkerDuration, this, [this, id] { clearCopiedMarker(id); });
}

void MiniGalleryView::clearCopiedMarker(const QUuid& id)
{
    // A later copy of another screenshot keeps its own full time.
    if (m_copiedId != id)
        return;
    m_copiedId.reset();
    m_grid->setCopiedId(std::nullopt);
    showCopiedConfirmation(false);
}

void MiniGalleryView::tellUnreadable(const Screenshot& screenshot)
{
    m_copiedId.reset();
    m_grid->setCopiedId(std::nullopt);
    m_unreadableNoticeId = screenshot.id;
    showFooterNote(true, UnreadablePicture::text(), PremiumTheme::systemColor(SystemColor::orange));
    const QUuid id = screenshot.id;
    m_scheduler->runAfter(copiedMarkerDuration, this, [this, id] { clearUnreadableNotice(id); });
}

void MiniGalleryView::clearUnreadableNotice(const QUuid& id)
{
    if (m_unreadableNoticeId != id)
        return;
    m_unreadableNoticeId.reset();
    showFooterNote(false);
}

bool MiniGalleryView::showsCopiedConfirmation() const
{
    return m_copiedId.has_value() && !m_copiedLabel->isHidden();
}

bool MiniGalleryView::showsUnreadableNotice() const
{
    return m_unreadableNoticeId.has_value() && !m_copiedLabel->isHidden();
}

void MiniGalleryView::showCopiedConfirmation(bool show)
{
    showFooterNote(show, u"Copied to Clipboard!"_s, PremiumTheme::systemColor(SystemColor::green));
}

void MiniGalleryView::showFooterNote(bool show, const QString& text, const QColor& color)
{
    if (show) {
        m_copiedLabel->setText(text);
        QPalette palette = m_copiedLabel->palette();
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setColor(role, color);
        m_copiedLabel->setPalette(palette);
        if (m_copiedLabel->isHidden())
            m_copiedOpacity->setOpacity(0);
        m_copiedLabel->show();
        Motion::animate(m_copiedOpacity, "opacity", 1.0, QEasingCurve::InOutQuad, copiedFadeMs);
        return;
    }
    QVariantAnimation* fade = Motion::animate(m_copiedOpacity, "opacity", 0.0, QEasingCurve::InOutQuad, copiedFadeMs);
    const auto hideIfStillCleared = [this] {
        if (!m_copiedId && !m_unreadableNoticeId)
            m_copiedLabel->hide();
    };
    if (fade)
        connect(fade, &QAbstractAnimation::finished, m_copiedLabel, hideIfStillCleared);
    else
        hideIfStillCleared();
}

bool MiniGalleryView::isThumbnailLoadingIdle() const
{
    return m_thumbnails->isIdle();
}

QuickPreviewOverlay* MiniGalleryView::quickPreview() const
{
    return m_preview;
}

std::optional<Screenshot> MiniGalleryView::previewScreenshot() const
{
    return m_preview ? std::optional<Screenshot>(m_preview->screenshot()) : std::nullopt;
}

void MiniGalleryView::openQuickPreview(const Screenshot& screenshot)
{
    closeQuickPreview();
    m_preview = new QuickPreviewOverlay(screenshot, this);
    m_preview->setGeometry(rect());
    connect(m_preview, &QuickPreviewOverlay::closeRequested, this, &MiniGalleryView::closeQuickPreview);
    m_preview->show();
    m_preview->raise();
    fadeIn(*m_preview);
}

void MiniGalleryView::closeQuickPreview()
{
    if (!m_preview)
        return;
    // It may be closing from inside its own click.
    m_preview->hide();
    m_preview->deleteLater();
    m_preview = nullptr;
}

void MiniGalleryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_needsFilter)
        refilter();
}

void MiniGalleryView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    cancelFilter();
    if (m_preparationCancelled)
        m_preparationCancelled->store(true);
    m_needsFilter = true;
    if (m_preview && m_preview->videoPlayer())
        m_preview->videoPlayer()->player()->pause();
    // The folded texts of a large library are big; a closed popup lets them
    // go, and the pages they held once it stays closed.
    m_searchIndex = std::make_shared<SearchIndex::Cache>();
    returnFreePagesWhenQuiet();
}

void MiniGalleryView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_preview)
        m_preview->setGeometry(rect());
}

void MiniGalleryView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), BlurView::fillColor(BlurView::Material::popover));
}
