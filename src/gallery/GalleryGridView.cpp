#include "gallery/GalleryGridView.h"

#include "core/ImageCache.h"
#include "core/LargeBlocks.h"
#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/ThumbnailLoader.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTimer>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
// Pictures kept beyond the ones on screen, so scrolling back is free.
constexpr int picturesPerViewport = 3;
constexpr int minimumPictures = 300;
// Pictures made per frame at most; the rest follow in the next frames, so a
// fast scroll over cached thumbnails never stalls one frame.
constexpr int picturesPerFrame = 8;
// The section label's distance from the grid's leading edge.
constexpr double headerLeading = 20;
// One notch of the wheel with Ctrl held zooms like a small pinch.
constexpr double wheelNotchMagnification = 0.1;
} // namespace

GalleryGridView::GalleryGridView(GalleryViewModel& viewModel, ImageCache& cache, QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_viewModel(viewModel)
    , m_loader(new ThumbnailLoader(cache, thumbnailSize, viewModel.workers(), this))
    , m_pictures(minimumPictures)
    , m_picturesPause(viewModel.scheduler(), GalleryViewModel::browsingPause, *this,
                      [this] { releaseHiddenPictures(); })
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents, false);
    verticalScrollBar()->setSingleStep(40);

    connect(&m_viewModel, &GalleryViewModel::sectionsChanged, this, &GalleryGridView::takeSections);
    connect(&m_viewModel, &GalleryViewModel::selectedIdsChanged, viewport(), qOverload<>(&QWidget::update));
    connect(&m_viewModel, &GalleryViewModel::isSelectionModeChanged, viewport(), qOverload<>(&QWidget::update));
    connect(&m_viewModel, &GalleryViewModel::searchTextChanged, this, &GalleryGridView::scrollToTop);
    connect(&m_viewModel, &GalleryViewModel::monitoredPathChanged, this, [this] {
        m_loader->reset();
        scrollToTop();
    });
    connect(m_loader, &ThumbnailLoader::thumbnailReady, this, &GalleryGridView::thumbnailArrived);
    connect(m_loader, &ThumbnailLoader::thumbnailFailed, this, [this](const QUuid& id) {
        m_pictures.remove(id);
        updateCard(id);
    });
    takeSections();
}

GalleryGridView::~GalleryGridView() = default;

void GalleryGridView::setGridScale(double scale)
{
    scale = std::clamp(scale, GalleryGridLayout::minScale, GalleryGridLayout::maxScale);
    if (scale == m_scale)
        return;
    // Keep the item at the top edge in view across the change.
    const auto top = m_layout.hitTest({m_layout.leftInset() + 1, scrollOffset() + m_layout.metrics().headerHeight});
    m_scale = scale;
    relayout();
    if (top)
        setScrollOffset(m_layout.cellRect(*top).top() - m_layout.metrics().headerHeight);
}

void GalleryGridView::setFocusedId(std::optional<QUuid> id)
{
    if (id == m_focusedId)
        return;
    const auto previous = m_focusedId;
    m_focusedId = id;
    if (previous)
        updateCard(*previous);
    if (id)
        updateCard(*id);
}

std::optional<QUuid> GalleryGridView::hoveredId() const
{
    return m_hoveredId;
}

double GalleryGridView::scrollOffset() const
{
    return verticalScrollBar()->value();
}

void GalleryGridView::setScrollOffset(double offset)
{
    verticalScrollBar()->setValue(int(std::lround(offset)));
}

void GalleryGridView::scrollToTop()
{
    if (m_scrollAnimation)
        m_scrollAnimation->stop();
    m_scrollAnimation = Motion::animate(this, "scrollOffset", 0.0, QEasingCurve::InOutCubic, 350);
}

void GalleryGridView::takeSections()
{
    m_sections = m_viewModel.sections();
    relayout();
}

void GalleryGridView::relayout()
{
    std::vector<int> counts;
    counts.reserve(size_t(m_sections.size()));
    for (const auto& section : m_sections)
        counts.push_back(int(section.screenshots.size()));
    m_layout.rebuild(counts, viewport()->width(), m_scale);
    const int side = int(std::floor(m_layout.cellSize()));
    if (side != m_pictureSide) {
        m_pictureSide = side;
        m_pictures.clear();
    }
    updateScrollRange();
    viewport()->update();
}

void GalleryGridView::updateScrollRange()
{
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    // The value stays where it was unless the content became shorter.
    bar->setRange(0, std::max(0, int(std::ceil(m_layout.contentHeight())) - height));
    bar->setPageStep(height);
    const int perViewport = m_layout.columns() * (int(height / std::max(1.0, m_layout.cellSize())) + 2);
    m_pictures.setMaxCost(std::max(minimumPictures, perViewport * picturesPerViewport));
}

const Screenshot& GalleryGridView::at(GalleryGridLayout::Index index) const
{
    return m_sections[index.section].screenshots[index.item];
}

std::optional<GalleryGridLayout::Index> GalleryGridView::indexOf(const QUuid& id) const
{
    for (const auto& span : m_layout.visibleItems(scrollOffset(), viewport()->height())) {
        for (int item = span.firstItem; item < span.endItem; ++item) {
            if (at({span.section, item}).id == id)
                return GalleryGridLayout::Index{span.section, item};
        }
    }
    for (int s = 0; s < m_sections.size(); ++s) {
        const auto& shots = m_sections[s].screenshots;
        for (int item = 0; item < shots.size(); ++item) {
            if (shots[item].id == id)
                return GalleryGridLayout::Index{s, item};
        }
    }
    return std::nullopt;
}

QRectF GalleryGridView::viewportRect(const QRectF& contentRect) const
{
    return contentRect.translated(0, -scrollOffset());
}

// A card on whole pixels: pictures are then copied, never resampled.
QRectF GalleryGridView::pixelCell(GalleryGridLayout::Index index) const
{
    const QRectF cell = viewportRect(m_layout.cellRect(index));
    return {std::round(cell.x()), std::round(cell.y()), double(m_pictureSide), double(m_pictureSide)};
}

std::optional<GalleryGridView::Located> GalleryGridView::locate(QPoint point) const
{
    // A pinned header covers the cards beneath it.
    for (const auto& header : m_layout.visibleHeaders(scrollOffset(), viewport()->height())) {
        if (point.y() >= header.y && point.y() < header.y + m_layout.metrics().headerHeight)
            return std::nullopt;
    }
    const auto index = m_layout.hitTest(QPointF(point) + QPointF(0, scrollOffset()));
    if (!index)
        return std::nullopt;
    return Located{*index, &at(*index)};
}

std::optional<Screenshot> GalleryGridView::screenshotAt(QPoint point) const
{
    const auto located = locate(point);
    return located ? std::optional(*located->screenshot) : std::nullopt;
}

std::optional<QRect> GalleryGridView::cardRect(const QUuid& id) const
{
    const auto index = indexOf(id);
    if (!index)
        return std::nullopt;
    return viewportRect(m_layout.cellRect(*index)).toAlignedRect();
}

CleanScreenshotCard::Layers GalleryGridView::layersFor(const Screenshot& screenshot, bool hasPicture) const
{
    CleanScreenshotCard::State state;
    state.selected = m_viewModel.selectedIds().contains(screenshot.id);
    state.selectionMode = m_viewModel.isSelectionMode();
    state.focused = m_focusedId == screenshot.id;
    state.hovered = m_hoveredId == screenshot.id;
    state.hasPicture = hasPicture;
    // A recording may play though no still could be made of it: only an image
    // is called unreadable.
    state.unreadable = !screenshot.isVideo() && m_loader->hasFailed(screenshot.id);
    state.textAbsent = !screenshot.ocrText.has_value();
    state.video = screenshot.isVideo();
    return CleanScreenshotCard::layers(state);
}

std::optional<CleanScreenshotCard::Layers> GalleryGridView::cardLayers(const QUuid& id) const
{
    const auto index = indexOf(id);
    if (!index)
        return std::nullopt;
    return layersFor(at(*index), m_pictures.contains(id) || m_loader->cache().image(id).has_value());
}

QImage GalleryGridView::pictureFor(const Screenshot& screenshot, int& budget)
{
    if (const QImage* kept = m_pictures.object(screenshot.id))
        return *kept;
    if (budget == 0) {
        m_picturesPending = true;
        return {};
    }
    const auto thumbnail = m_loader->request(screenshot);
    if (!thumbnail)
        return {};
    --budget;
    QImage picture = m_card.picture(*thumbnail, m_pictureSide, devicePixelRatioF());
    keepPicture(screenshot.id, picture);
    return picture;
}

void GalleryGridView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const double top = scrollOffset();
    const double height = viewport()->height();
    QSet<QUuid> wanted;
    int budget = picturesPerFrame;
    m_picturesPending = false;
    for (const auto& span : m_layout.visibleItems(top, height)) {
        for (int item = span.firstItem; item < span.endItem; ++item) {
            const GalleryGridLayout::Index index{span.section, item};
            const QRectF cell = pixelCell(index);
            const Screenshot& screenshot = at(index);
            wanted.insert(screenshot.id);
            if (!cell.intersects(dirty))
                continue;
            const QImage picture = pictureFor(screenshot, budget);
            painter.save();
            m_card.paint(painter, cell, layersFor(screenshot, !picture.isNull()), picture);
            painter.restore();
        }
    }
    for (const auto& header : m_layout.visibleHeaders(top, height))
        paintHeader(painter, header);
    m_loader->retainOnly(wanted);
    if (m_picturesPending)
        QTimer::singleShot(0, viewport(), qOverload<>(&QWidget::update));
}

void GalleryGridView::paintHeader(QPainter& painter, const GalleryGridLayout::Header& header)
{
    const auto& metrics = m_layout.metrics();
    const QString& title = m_sections[header.section].title;
    static const QFont font = PremiumTheme::systemFont(13, QFont::DemiBold);
    static const QFontMetricsF fontMetrics(font);
    const double textWidth = fontMetrics.horizontalAdvance(title);
    const double capsuleHeight = metrics.headerHeight - 16 - 8;
    // The header row's leading padding; the cards below fill the width.
    const QRectF capsule(headerLeading, header.y + 16, textWidth + 28, capsuleHeight);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // A soft shadow, then the blurred-material fill and the dark tint.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 26));
    painter.drawRoundedRect(capsule.translated(0, 2).adjusted(-1, -1, 1, 1), capsuleHeight / 2 + 1,
                            capsuleHeight / 2 + 1);
    painter.setBrush(QColor(30, 30, 34, 235));
    painter.drawRoundedRect(capsule, capsuleHeight / 2, capsuleHeight / 2);
    painter.setBrush(QColor(0, 0, 0, 64));
    painter.drawRoundedRect(capsule, capsuleHeight / 2, capsuleHeight / 2);
    painter.setPen(QPen(QColor(255, 255, 255, 38), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(capsule, capsuleHeight / 2, capsuleHeight / 2);
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255, 230));
    // Plain text: a title is never read as markup.
    painter.drawText(capsule, Qt::AlignCenter | Qt::TextSingleLine, title);
    painter.restore();
}

void GalleryGridView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (viewport()->width() > 0 && viewport()->height() > 0)
        relayout();
}

void GalleryGridView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void GalleryGridView::setHovered(std::optional<QUuid> id)
{
    if (id == m_hoveredId)
        return;
    const auto previous = m_hoveredId;
    m_hoveredId = id;
    if (previous)
        updateCard(*previous);
    if (id)
        updateCard(*id);
    Q_EMIT hoveredChanged(id);
}

void GalleryGridView::updateCard(const QUuid& id)
{
    for (const auto& span : m_layout.visibleItems(scrollOffset(), viewport()->height())) {
        for (int item = span.firstItem; item < span.endItem; ++item) {
            const GalleryGridLayout::Index index{span.section, item};
            if (at(index).id == id) {
                // The wide border is centred on the edge.
                viewport()->update(viewportRect(m_layout.cellRect(index)).toAlignedRect().adjusted(-2, -2, 2, 2));
                return;
            }
        }
    }
}

void GalleryGridView::thumbnailArrived(const QUuid& id, const QImage& image)
{
    // Made here rather than at the next paint: with more cards on screen
    // than the shared cache holds, the cache may have dropped it already.
    keepPicture(id, m_card.picture(image, m_pictureSide, devicePixelRatioF()));
    updateCard(id);
}

void GalleryGridView::keepPicture(const QUuid& id, const QImage& picture)
{
    m_pictures.insert(id, new QImage(picture)); // the cache owns it
    m_picturesPause.poke();
}

void GalleryGridView::releaseHiddenPictures()
{
    QSet<QUuid> shown;
    for (const auto& span : m_layout.visibleItems(scrollOffset(), viewport()->height())) {
        for (int item = span.firstItem; item < span.endItem; ++item)
            shown.insert(at({span.section, item}).id);
    }
    for (const QUuid& id : m_pictures.keys()) {
        if (!shown.contains(id))
            m_pictures.remove(id);
    }
    returnFreePagesWhenQuiet(m_viewModel.scheduler());
}

void GalleryGridView::mouseMoveEvent(QMouseEvent* event)
{
    const auto located = locate(event->position().toPoint());
    setHovered(located ? std::optional(located->screenshot->id) : std::nullopt);
    QAbstractScrollArea::mouseMoveEvent(event);
}

bool GalleryGridView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Leave:
        setHovered(std::nullopt);
        break;
    case QEvent::NativeGesture:
        if (const auto magnification = m_pinch.track(event)) {
            Q_EMIT magnified(*magnification);
            return true;
        }
        break;
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void GalleryGridView::mousePressEvent(QMouseEvent* event)
{
    m_pressedId.reset();
    m_lastPressedId.reset();
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    const QPoint point = event->position().toPoint();
    if (const auto located = locate(point)) {
        m_lastPressedId = located->screenshot->id;
        m_pressedId = located->screenshot->id;
        const QRectF cell = viewportRect(m_layout.cellRect(located->index));
        const auto layers = layersFor(*located->screenshot, false);
        m_pressedOnCheck = layers.checkButton && CleanScreenshotCard::checkButtonHitRect(cell).contains(point);
    }
    event->accept();
}

void GalleryGridView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressedId)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    const auto pressed = std::exchange(m_pressedId, std::nullopt);
    const QPoint point = event->position().toPoint();
    const auto located = locate(point);
    if (!located || located->screenshot->id != *pressed)
        return;
    const Screenshot screenshot = *located->screenshot;
    if (m_pressedOnCheck) {
        const QRectF cell = viewportRect(m_layout.cellRect(located->index));
        if (CleanScreenshotCard::checkButtonHitRect(cell).contains(point))
            Q_EMIT checkToggled(screenshot);
        return;
    }
    Q_EMIT clicked(screenshot, event->modifiers());
}

// A double click on the card pressed just before runs the click's action a
// second time and then opens; on another card it is a plain press. (Whoever
// lays something over the grid keeps double clicks begun on that from
// reaching it: see DoubleClickGuard.)
void GalleryGridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    const auto located = locate(point);
    if (event->button() != Qt::LeftButton || !located || located->screenshot->id != m_lastPressedId)
        return mousePressEvent(event);
    m_pressedId.reset();
    const Screenshot screenshot = *located->screenshot;
    const QRectF cell = viewportRect(m_layout.cellRect(located->index));
    if (layersFor(screenshot, false).checkButton && CleanScreenshotCard::checkButtonHitRect(cell).contains(point)) {
        // Two quick presses on the check button are two toggles.
        Q_EMIT checkToggled(screenshot);
        return;
    }
    Q_EMIT clicked(screenshot, event->modifiers());
    Q_EMIT doubleClicked(screenshot);
}

void GalleryGridView::contextMenuEvent(QContextMenuEvent* event)
{
    if (const auto located = locate(event->pos()))
        Q_EMIT contextMenuRequested(*located->screenshot, event->globalPos());
}

void GalleryGridView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const double notches = event->angleDelta().y() / 120.0;
        if (notches != 0)
            Q_EMIT magnified(1.0 + notches * wheelNotchMagnification);
        event->accept();
        return;
    }
    if (m_scrollAnimation)
        m_scrollAnimation->stop();
    QAbstractScrollArea::wheelEvent(event);
}
