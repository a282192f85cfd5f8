#pragma once

#include "core/Screenshot.h"
#include "preview/MiniScreenshotItem.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSet>
#include <QUuid>

#include <functional>
#include <optional>

class QScrollBar;

// The tray popup's grid of screenshots, painted: only the rows on screen
// cost anything, so a library of 100k scrolls as lightly as one of ten.
// Columns adapt to the width (at least 120 and at most 140 wide, 12 apart);
// cells are 120 high with 12 between rows and 12 around the grid. The scroll
// bar floats over the right margin, so it takes no room from the columns.
// While more lies below, the bottom edge fades out: the row cut there reads
// as more to scroll to, whatever of it (a time label) the cut would halve.
class MiniGalleryGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr qreal padding = 12;
    static constexpr qreal spacing = 12;
    static constexpr qreal minColumnWidth = 120;
    static constexpr qreal maxColumnWidth = 140;
    static constexpr int fadeHeight = 28;

    struct Columns
    {
        int count = 1;
        qreal width = 0;
        qreal left = 0; // of the first column
    };
    // Asks for a thumbnail: the image when it is at hand, else nothing (and
    // the asker is told through thumbnailArrived() when it comes).
    using ThumbnailSource = std::function<std::optional<QImage>(const Screenshot&)>;
    // Whether no picture can be made of a screenshot without a thumbnail.
    using UnreadableCheck = std::function<bool(const Screenshot&)>;

    explicit MiniGalleryGrid(QWidget* parent = nullptr);

    static Columns columnsFor(qreal width);
    // Height of the whole grid for `count` cells at `width`.
    static qreal contentHeight(int count, qreal width);

    void setScreenshots(const QList<Screenshot>& screenshots);
    const QList<Screenshot>& screenshots() const { return m_screenshots; }
    void setCopiedId(const std::optional<QUuid>& id);
    void setThumbnailSource(ThumbnailSource source) { m_thumbnails = std::move(source); }
    void setUnreadableCheck(UnreadableCheck check) { m_isUnreadable = std::move(check); }
    void scrollToTop();

    // Repaints the cell of `id` when it is on screen.
    void thumbnailArrived(const QUuid& id);

    // In viewport coordinates, as scrolled now.
    QRectF cellRect(int index) const;
    QList<MiniScreenshotItem::Button> buttonsOf(int index) const;
    int indexAt(const QPointF& point) const;
    int hoveredIndex() const { return m_hovered; }
    // The ids of the cells on screen (and a row beyond), as last painted.
    const QSet<QUuid>& visibleIds() const { return m_visibleIds; }
    // The viewport's faded bottom edge; empty at the end of the list.
    QRect fadeBand() const;

signals:
    // A click on a cell outside its buttons.
    void cellClicked(const Screenshot& screenshot);
    void actionTriggered(MiniScreenshotItem::Action action, const Screenshot& screenshot);
    // The cells on screen changed: other thumbnails are no longer wanted.
    void visibleIdsChanged(const QSet<QUuid>& ids);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Which cell and which of its buttons (if any) lies under a point.
    struct Hit
    {
        int index = -1;
        std::optional<MiniScreenshotItem::Action> action;
    };

    Hit hitAt(const QPointF& point) const;
    void setHovered(int index);
    void updateCell(int index);
    // Eases a cell's hover towards `target` over 0.2 s.
    void fadeHover(int index, qreal target);
    void updateScrollRange();
    void placeScrollBar();
    std::pair<int, int> visibleRange(qreal margin) const;
    void updateVisibleIds();

    QList<Screenshot> m_screenshots;
    std::optional<QUuid> m_copiedId;
    ThumbnailSource m_thumbnails;
    UnreadableCheck m_isUnreadable;
    int m_hovered = -1;
    // Cells whose hover is not at rest (0), by index.
    QHash<int, qreal> m_hover;
    Hit m_pressed;
    QSet<QUuid> m_visibleIds;
    QScrollBar* m_floatingBar;
};
