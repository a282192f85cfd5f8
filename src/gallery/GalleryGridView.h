#pragma once

#include "core/QuietTimer.h"
#include "core/Screenshot.h"
#include "gallery/CleanScreenshotCard.h"
#include "gallery/GalleryGridLayout.h"
#include "library/GalleryViewModel.h"
#include "ui/PinchTracker.h"

#include <QAbstractScrollArea>
#include <QCache>
#include <QPixmap>
#include <QPointer>
#include <QUuid>

#include <optional>

class ImageCache;
class QVariantAnimation;
class ThumbnailLoader;

// The gallery's zoomable grid of square cards under pinned day headers,
// painted straight from the view model's sections: only what is on screen is
// laid out, drawn or loaded. Clicks and the pointer are handed out as
// signals; what they mean is the gallery screen's business.
//
// The scroll position survives a rebuild of the sections and hiding the
// grid; a new search text or monitored folder scrolls back to the top.
class GalleryGridView : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(double scrollOffset READ scrollOffset WRITE setScrollOffset)

public:
    static constexpr QSizeF thumbnailSize{600, 600};

    GalleryGridView(GalleryViewModel& viewModel, ImageCache& cache, QWidget* parent = nullptr);
    ~GalleryGridView() override;

    GalleryViewModel& viewModel() const { return m_viewModel; }
    ThumbnailLoader& thumbnailLoader() const { return *m_loader; }
    const GalleryGridLayout& gridLayout() const { return m_layout; }

    double gridScale() const { return m_scale; }
    void setGridScale(double scale);
    // The screenshot drawn as focused (the in-place preview's), if any.
    void setFocusedId(std::optional<QUuid> id);
    std::optional<QUuid> hoveredId() const;
    // The card the latest press in the grid hit, if any.
    std::optional<QUuid> lastPressedId() const { return m_lastPressedId; }

    double scrollOffset() const;
    void setScrollOffset(double offset);
    // Animated unless motion is off.
    void scrollToTop();

    // The screenshot at a viewport point, and the viewport rect of a card.
    std::optional<Screenshot> screenshotAt(QPoint viewportPoint) const;
    std::optional<QRect> cardRect(const QUuid& id) const;
    // The layers the card of `id` draws now (for tests and tools).
    std::optional<CleanScreenshotCard::Layers> cardLayers(const QUuid& id) const;
    // How many cards' pictures are kept (for tests and tools).
    int keptPictures() const { return int(m_pictures.count()); }

signals:
    void clicked(const Screenshot& screenshot, Qt::KeyboardModifiers modifiers);
    void doubleClicked(const Screenshot& screenshot);
    void checkToggled(const Screenshot& screenshot);
    void contextMenuRequested(const Screenshot& screenshot, const QPoint& globalPosition);
    void hoveredChanged(std::optional<QUuid> id);
    // A pinch in progress, with its magnification since it began; each
    // notch of the wheel with Ctrl held is a pinch of its own.
    void magnified(double magnification);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    struct Located
    {
        GalleryGridLayout::Index index;
        const Screenshot* screenshot = nullptr;
    };

    void takeSections();
    void relayout();
    void updateScrollRange();
    std::optional<Located> locate(QPoint viewportPoint) const;
    const Screenshot& at(GalleryGridLayout::Index index) const;
    std::optional<GalleryGridLayout::Index> indexOf(const QUuid& id) const;
    QRectF viewportRect(const QRectF& contentRect) const;
    QRectF pixelCell(GalleryGridLayout::Index index) const;
    CleanScreenshotCard::Layers layersFor(const Screenshot& screenshot, bool hasPicture) const;
    // The card's picture; makes it when `budget` allows, counting it down.
    QImage pictureFor(const Screenshot& screenshot, int& budget);
    void paintHeader(QPainter& painter, const GalleryGridLayout::Header& header);
    void setHovered(std::optional<QUuid> id);
    void updateCard(const QUuid& id);
    void thumbnailArrived(const QUuid& id, const QImage& image);
    void keepPicture(const QUuid& id, const QImage& picture);
    void releaseHiddenPictures();
    void keepOnlyVisibleWanted();

    GalleryViewModel& m_viewModel;
    ThumbnailLoader* m_loader;
    GalleryGridLayout m_layout;
    QList<GalleryViewModel::GallerySection> m_sections;
    double m_scale = 1.0;
    std::optional<QUuid> m_focusedId;
    std::optional<QUuid> m_hoveredId;
    // Where a press began, so that a release elsewhere is no click.
    std::optional<QUuid> m_pressedId;
    // The card the latest press hit, kept after its release: a double
    // click counts only on that card.
    std::optional<QUuid> m_lastPressedId;
    bool m_pressedOnCheck = false;
    PinchTracker m_pinch;
    CleanScreenshotCard m_card;
    // Cards' pictures at their current size, keyed by id. Those of cards
    // off screen go once making pictures has paused: scrolling back is then
    // painted again from the cached thumbnails.
    QCache<QUuid, QImage> m_pictures;
    QuietTimer m_picturesPause;
    int m_pictureSide = 0;
    bool m_picturesPending = false;
    QPointer<QVariantAnimation> m_scrollAnimation;
};
