// The grid keeps the pictures of cards scrolled past, so scrolling back is
// free, only while browsing goes on: once it pauses, those off screen go.

#include "GridFixture.h"

#include "core/LargeBlocks.h"
#include "gallery/GalleryGridView.h"
#include "support/ManualScheduler.h"
#include "ui/ThumbnailLoader.h"

#include <QScrollBar>

namespace {
using GridPicturesTest = GridFixture;

int cardsOnScreen(const GalleryGridView& grid)
{
    int cards = 0;
    for (const auto& span : grid.gridLayout().visibleItems(grid.scrollOffset(), grid.viewport()->height()))
        cards += span.endItem - span.firstItem;
    return cards;
}

TEST_F(GridPicturesTest, PicturesOfCardsOffScreenGoOnceScrollingPauses)
{
    ManualScheduler scheduler;
    GalleryViewModel::Services parts = m_parts.over(m_monitor, m_store, m_settings);
    parts.scheduler = &scheduler;
    GalleryViewModel model(parts);
    ImageCache cache;
    GalleryGridView grid(model, cache);
    grid.thumbnailLoader().setGenerator([](const Screenshot&, QSizeF) {
        QImage image(600, 375, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        return image;
    });
    grid.resize(800, 600);
    grid.show();
    ScreenshotMonitorTestAccess::setScreenshots(m_monitor, library(4, 40));
    ASSERT_TRUE(waitUntil([&] { return model.visibleScreenshots().size() == 160; }));

    const int page = grid.viewport()->height();
    for (int offset = 0; offset <= 2 * page; offset += page) {
        grid.setScrollOffset(offset);
        grid.viewport()->repaint();
        ASSERT_TRUE(waitUntil([&] { return grid.thumbnailLoader().isIdle(); }));
        ASSERT_TRUE(waitUntil([&] {
            grid.viewport()->repaint();
            return grid.keptPictures() >= cardsOnScreen(grid);
        }));
    }
    const int onScreen = cardsOnScreen(grid);
    EXPECT_GT(grid.keptPictures(), onScreen) << "scrolling back is free while it goes on";
    scheduler.advance(GalleryViewModel::browsingPause / 2);
    EXPECT_GT(grid.keptPictures(), onScreen);

    const int returns = quietFreePagesReturns();
    scheduler.advance(GalleryViewModel::browsingPause);
    EXPECT_EQ(grid.keptPictures(), onScreen);
    scheduler.advance(freePagesQuietPeriod);
    EXPECT_EQ(quietFreePagesReturns(), returns + 1);
    // What is on screen is still painted from its picture.
    grid.viewport()->repaint();
    EXPECT_EQ(grid.keptPictures(), onScreen);
    m_parts.workers.thumbnails().waitForDone();
}
} // namespace
