#include "preview/MiniGalleryGrid.h"

#include "ui/Motion.h"

#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

using namespace MiniScreenshotItem;

namespace {
constexpr int floatingBarWidth = 10;
constexpr int hoverFadeMs = 200;
constexpr qreal rowStep = cellHeight + MiniGalleryGrid::spacing;
} // namespace

QRect MiniGalleryGrid::fadeBand() const
{
    if (verticalScrollBar()->value() >= verticalScrollBar()->maximum())
        return {};
    const QRect area = viewport()->rect();
    return QRect(area.left(), area.bottom() + 1 - fadeHeight, area.width(), fadeHeight);
}

MiniGalleryGrid::MiniGalleryGrid(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_floatingBar(new QScrollBar(Qt::Vertical, this))
{
    setObjectName(QStringLiteral("miniGalleryGrid"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    // The hidden built-in bar keeps doing the scrolling (wheel, keys); the
    // floating one shows it and follows it both ways.
    QScrollBar* inner = verticalScrollBar();
    connect(inner, &QScrollBar::rangeChanged, m_floatingBar, &QScrollBar::setRange);
    connect(inner, &QScrollBar::valueChanged, m_floatingBar, &QScrollBar::setValue);
    connect(m_floatingBar, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
    connect(inner, &QScrollBar::rangeChanged, this,
            [this](int, int maximum) { m_floatingBar->setVisible(maximum > 0); });
    m_floatingBar->hide();
}

MiniGalleryGrid::Columns MiniGalleryGrid::columnsFor(qreal width)
{
    const qreal available = std::max<qreal>(0, width - 2 * padding);
    const int count = std::max(1, int(std::floor((available + spacing) / (minColumnWidth + spacing))));
    const qreal fitted = (available - (count - 1) * spacing) / count;
    const qreal columnWidth = std::clamp<qreal>(fitted, 0, maxColumnWidth);
    const qreal used = count * columnWidth + (count - 1) * spacing;
    return {count, columnWidth, padding + (available - used) / 2};
}

qreal MiniGalleryGrid::contentHeight(int count, qreal width)
{
    if (count <= 0)
        return 0;
    const int rows = (count + columnsFor(width).count - 1) / columnsFor(width).count;
    return 2 * padding + rows * cellHeight + (rows - 1) * spacing;
}

void MiniGalleryGrid::setScreenshots(const QList<Screenshot>& screenshots)
{
    m_screenshots = screenshots;
    m_hovered = -1;
    m_hover.clear();
    for (QVariantAnimation* fade : findChildren<QVariantAnimation*>(QString(), Qt::FindDirectChildrenOnly))
        delete fade;
    m_pressed = {};
    updateScrollRange();
    viewport()->update();
    // Under a still pointer the cell now there is the hovered one.
    const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->underMouse() && viewport()->rect().contains(pointer))
        setHovered(indexAt(pointer));
}

void MiniGalleryGrid::setCopiedId(const std::optional<QUuid>& id)
{
    if (id == m_copiedId)
        return;
    m_copiedId = id;
    viewport()->update();
}

void MiniGalleryGrid::scrollToTop()
{
    verticalScrollBar()->setValue(0);
}

void MiniGalleryGrid::thumbnailArrived(const QUuid& id)
{
    if (!m_visibleIds.contains(id))
        return;
    const auto [first, last] = visibleRange(0);
    for (int index = first; index < last; ++index) {
        if (m_screenshots.at(index).id == id)
            updateCell(index);
    }
}

// Thumbnails arrive one by one and the hover eases frame by frame: each
// repaints its own cell, not the whole screenful.
void MiniGalleryGrid::updateCell(int index)
{
    if (index < 0 || index >= m_screenshots.size())
        return;
    // The frame's line is centred on the outline and antialiased.
    viewport()->update(cellRect(index).toAlignedRect().adjusted(-2, -2, 2, 2));
}

QRectF MiniGalleryGrid::cellRect(int index) const
{
    const Columns columns = columnsFor(viewport()->width());
    const int row = index / columns.count;
    const int column = index % columns.count;
    return QRectF(columns.left + column * (columns.width + spacing),
                  padding + row * rowStep - verticalScrollBar()->value(), columns.width, cellHeight);
}

QList<Button> MiniGalleryGrid::buttonsOf(int index) const
{
    if (index < 0 || index >= m_screenshots.size())
        return {};
    return buttons(m_screenshots.at(index), cellRect(index));
}

int MiniGalleryGrid::indexAt(const QPointF& point) const
{
    const Columns columns = columnsFor(viewport()->width());
    const qreal y = point.y() + verticalScrollBar()->value() - padding;
    const qreal x = point.x() - columns.left;
    if (y < 0 || x < 0)
        return -1;
    const int row = int(y / rowStep);
    const int column = int(x / (columns.width + spacing));
    if (column >= columns.count || y - row * rowStep > cellHeight ||
        x - column * (columns.width + spacing) > columns.width)
        return -1;
    const int index = row * columns.count + column;
    return index < m_screenshots.size() ? index : -1;
}

MiniGalleryGrid::Hit MiniGalleryGrid::hitAt(const QPointF& point) const
{
    Hit hit{indexAt(point), std::nullopt};
    for (const Button& button : buttonsOf(hit.index)) {
        // Round buttons answer inside their circle.
        const QPointF offset = point - button.rect.center();
        if (std::hypot(offset.x(), offset.y()) <= button.rect.width() / 2)
            hit.action = button.action;
    }
    return hit;
}

std::pair<int, int> MiniGalleryGrid::visibleRange(qreal margin) const
{
    const Columns columns = columnsFor(viewport()->width());
    const qreal top = verticalScrollBar()->value() - padding - margin;
    const qreal bottom = verticalScrollBar()->value() + viewport()->height() + margin;
    const int firstRow = std::max(0, int(std::floor(top / rowStep)));
    const int lastRow = std::max(0, int(std::floor(bottom / rowStep)));
    const int first = std::min(int(m_screenshots.size()), firstRow * columns.count);
    const int last = std::min(int(m_screenshots.size()), (lastRow + 1) * columns.count);
    return {first, last};
}

void MiniGalleryGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect band = fadeBand();
    const QRegion sharp = event->region() - band;
    // The band is drawn apart, faded out, then laid in place.
    std::optional<QImage> layer;
    std::optional<QPainter> ink;
    if (event->region().intersects(band)) {
        const qreal ratio = devicePixelRatioF();
        layer.emplace(band.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        layer->setDevicePixelRatio(ratio);
        layer->fill(Qt::transparent);
        ink.emplace(&*layer);
        ink->translate(-band.topLeft());
    }
    painter.setClipRegion(sharp);
    const auto [first, last] = visibleRange(0);
    for (int index = first; index < last; ++index) {
        const QRect cell = cellRect(index).toAlignedRect().adjusted(-2, -2, 2, 2);
        const bool inSharp = sharp.intersects(cell);
        const bool inBand = ink && band.intersects(cell);
        if (!inSharp && !inBand)
            continue;
        const Screenshot& screenshot = m_screenshots.at(index);
        const std::optional<QImage> thumbnail = m_thumbnails ? m_thumbnails(screenshot) : std::nullopt;
        const bool unreadable = !thumbnail && m_isUnreadable && m_isUnreadable(screenshot);
        const State state{m_hover.value(index, 0), m_copiedId == screenshot.id, unreadable};
        if (inSharp)
            paint(painter, cellRect(index), screenshot, thumbnail, state);
        if (inBand)
            paint(*ink, cellRect(index), screenshot, thumbnail, state);
    }
    if (ink) {
        ink->resetTransform();
        ink->setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient fade(0, 0, 0, band.height());
        fade.setColorAt(0, Qt::black);
        fade.setColorAt(1, Qt::transparent);
        ink->fillRect(QRect(QPoint(0, 0), band.size()), fade);
        ink.reset();
        painter.setClipRegion(event->region() & band);
        painter.drawImage(band.topLeft(), *layer);
    }
    updateVisibleIds();
}

void MiniGalleryGrid::updateVisibleIds()
{
    const auto [first, last] = visibleRange(rowStep);
    QSet<QUuid> ids;
    ids.reserve(last - first);
    for (int index = first; index < last; ++index)
        ids.insert(m_screenshots.at(index).id);
    if (ids == m_visibleIds)
        return;
    m_visibleIds = ids;
    Q_EMIT visibleIdsChanged(m_visibleIds);
}

void MiniGalleryGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    placeScrollBar();
}

void MiniGalleryGrid::scrollContentsBy(int, int)
{
    viewport()->update();
    const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
    if (m_hovered >= 0)
        setHovered(viewport()->rect().contains(pointer) ? indexAt(pointer) : -1);
}

void MiniGalleryGrid::updateScrollRange()
{
    const qreal height = contentHeight(int(m_screenshots.size()), viewport()->width());
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(int(rowStep / 3));
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(height)) - viewport()->height()));
}

void MiniGalleryGrid::placeScrollBar()
{
    const QRect area = viewport()->geometry();
    m_floatingBar->setGeometry(area.right() + 1 - floatingBarWidth, area.top(), floatingBarWidth, area.height());
    m_floatingBar->raise();
}

void MiniGalleryGrid::setHovered(int index)
{
    if (index == m_hovered)
        return;
    fadeHover(m_hovered, 0);
    m_hovered = index;
    fadeHover(m_hovered, 1);
    viewport()->setCursor(index >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void MiniGalleryGrid::fadeHover(int index, qreal target)
{
    if (index < 0)
        return;
    const QString name = QString::number(index);
    delete findChild<QVariantAnimation*>(name, Qt::FindDirectChildrenOnly);
    const auto set = [this, index](qreal value) {
        if (value > 0)
            m_hover[index] = value;
        else
            m_hover.remove(index);
        updateCell(index);
    };
    if (Motion::isInstant()) {
        set(target);
        return;
    }
    auto* fade = new QVariantAnimation(this);
    fade->setObjectName(name);
    fade->setStartValue(m_hover.value(index, 0));
    fade->setEndValue(target);
    fade->setDuration(hoverFadeMs);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(fade, &QVariantAnimation::valueChanged, this, [set](const QVariant& value) { set(value.toReal()); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

bool MiniGalleryGrid::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Leave:
        setHovered(-1);
        break;
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        const Hit hit = hitAt(help->pos());
        QString tip;
        for (const Button& button : buttonsOf(hit.index)) {
            if (hit.action == button.action)
                tip = button.tooltip;
        }
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void MiniGalleryGrid::mouseMoveEvent(QMouseEvent* event)
{
    setHovered(indexAt(event->position()));
    QAbstractScrollArea::mouseMoveEvent(event);
}

void MiniGalleryGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // A press means the pointer is over the cell, whose buttons then show.
        setHovered(indexAt(event->position()));
        m_pressed = hitAt(event->position());
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void MiniGalleryGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const Hit pressed = std::exchange(m_pressed, Hit{});
    if (event->button() != Qt::LeftButton || pressed.index < 0)
        return;
    const Hit released = hitAt(event->position());
    if (released.index != pressed.index || released.action != pressed.action)
        return;
    const Screenshot screenshot = m_screenshots.at(pressed.index);
    // A button acts alone: the cell's own click does not follow.
    if (pressed.action)
        Q_EMIT actionTriggered(*pressed.action, screenshot);
    else
        Q_EMIT cellClicked(screenshot);
}
