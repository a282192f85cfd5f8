#include "GridFixture.h"

#include "gallery/GalleryGridView.h"
#include "support/UnreadableImages.h"
#include "support/Wait.h"
#include "ui/PremiumTheme.h"
#include "ui/ThumbnailLoader.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {
QImage thumbnail()
{
    QImage image(600, 375, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return image;
}

class GalleryGridTest : public GridFixture
{
protected:
    GalleryGridTest()
    {
        m_grid.thumbnailLoader().setGenerator([calls = m_calls](const Screenshot&, QSizeF) {
            ++*calls;
            return thumbnail();
        });
        m_grid.resize(800, 600);
        m_grid.show();
    }

    ~GalleryGridTest() override { m_parts.workers.thumbnails().waitForDone(); }

    void showLibrary(int days, int perDay)
    {
        publish(library(days, perDay));
        m_grid.viewport()->repaint();
    }

    QPoint centreOf(const Screenshot& s) const { return m_grid.cardRect(s.id)->center(); }
    const Screenshot& item(int section, int index) const { return m_model.sections()[section].screenshots[index]; }

    std::shared_ptr<std::atomic<int>> m_calls = std::make_shared<std::atomic<int>>(0);
    GalleryGridView m_grid{m_model, m_cache};
};

TEST_F(GalleryGridTest, ScrollPositionSurvivesARebuildWithTheSameContentAndHiding)
{
    showLibrary(20, 30);
    m_grid.setScrollOffset(2500);
    ASSERT_EQ(m_grid.scrollOffset(), 2500);

    QSignalSpy rebuilt(&m_model, &GalleryViewModel::sectionsChanged);
    m_model.updateSections(); // the same content again, at once
    ASSERT_EQ(rebuilt.count(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_grid.scrollOffset(), 2500);

    m_grid.hide();
    QCoreApplication::processEvents();
    m_grid.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_grid.scrollOffset(), 2500);
}

TEST_F(GalleryGridTest, NewSearchTextOrFolderScrollsToTheTop)
{
    showLibrary(20, 30);
    m_grid.setScrollOffset(2500);
    m_model.setSearchText(QStringLiteral("invoice"));
    EXPECT_EQ(m_grid.scrollOffset(), 0);

    m_model.setSearchText(QString());
    ASSERT_TRUE(waitUntil([&] { return m_model.sections().size() == 20; }));
    m_grid.setScrollOffset(1800);
    m_model.setMonitoredPath(m_dir.filePath(QStringLiteral("elsewhere")));
    EXPECT_EQ(m_grid.scrollOffset(), 0);
}

TEST_F(GalleryGridTest, ClicksAreHandedOutWithTheirScreenshot)
{
    showLibrary(2, 6);
    QSignalSpy clicked(&m_grid, &GalleryGridView::clicked);
    QSignalSpy doubled(&m_grid, &GalleryGridView::doubleClicked);
    QSignalSpy toggled(&m_grid, &GalleryGridView::checkToggled);
    QSignalSpy menu(&m_grid, &GalleryGridView::contextMenuRequested);
    const Screenshot& first = item(0, 0);

    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(first));
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).value<Screenshot>().id, first.id);
    EXPECT_EQ(clicked.at(0).at(1).value<Qt::KeyboardModifiers>(), Qt::ControlModifier);

    // A double click: each of its clicks is a click, and then it opens.
    clicked.clear();
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, centreOf(item(1, 2)));
    QTest::mouseDClick(m_grid.viewport(), Qt::LeftButton, {}, centreOf(item(1, 2)));
    EXPECT_EQ(clicked.count(), 2);
    ASSERT_EQ(doubled.count(), 1);
    EXPECT_EQ(doubled.at(0).at(0).value<Screenshot>().id, item(1, 2).id);
    // Its first press on another card: only a press there.
    clicked.clear();
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, centreOf(item(1, 3)));
    QTest::mouseDClick(m_grid.viewport(), Qt::LeftButton, {}, centreOf(item(1, 4)));
    QTest::mouseRelease(m_grid.viewport(), Qt::LeftButton, {}, centreOf(item(1, 4)));
    EXPECT_EQ(doubled.count(), 1);
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked.at(1).at(0).value<Screenshot>().id, item(1, 4).id);

    // Pressed on one card, released on another: no click.
    clicked.clear();
    QTest::mousePress(m_grid.viewport(), Qt::LeftButton, {}, centreOf(item(0, 1)));
    QTest::mouseRelease(m_grid.viewport(), Qt::LeftButton, {}, centreOf(item(0, 2)));
    EXPECT_EQ(clicked.count(), 0);

    QContextMenuEvent context(QContextMenuEvent::Mouse, centreOf(item(0, 3)), m_grid.mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(m_grid.viewport(), &context);
    ASSERT_EQ(menu.count(), 1);
    EXPECT_EQ(menu.at(0).at(0).value<Screenshot>().id, item(0, 3).id);
    EXPECT_EQ(toggled.count(), 0);
}

TEST_F(GalleryGridTest, CardsFillTheWidthWithTheirSpacing)
{
    showLibrary(1, 12);
    const int columns = m_grid.gridLayout().columns();
    ASSERT_GT(columns, 1);
    EXPECT_EQ(m_grid.cardRect(item(0, 0).id)->left(), 0);
    EXPECT_NEAR(m_grid.cardRect(item(0, columns - 1).id)->right(), m_grid.viewport()->width() - 1, 1);
    EXPECT_NEAR(m_grid.cardRect(item(0, 1).id)->left() - m_grid.cardRect(item(0, 0).id)->right() - 1, 2, 1);
}

TEST_F(GalleryGridTest, CheckButtonTogglesWithoutClickingTheCard)
{
    showLibrary(1, 4);
    m_model.setIsSelectionMode(true);
    QSignalSpy clicked(&m_grid, &GalleryGridView::clicked);
    QSignalSpy toggled(&m_grid, &GalleryGridView::checkToggled);
    const QRect card = *m_grid.cardRect(item(0, 1).id);
    const QPoint check = CleanScreenshotCard::checkButtonRect(card).center().toPoint();

    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, check);
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_EQ(toggled.at(0).at(0).value<Screenshot>().id, item(0, 1).id);
    EXPECT_EQ(clicked.count(), 0);

    // Outside selection mode, unhovered and unselected, the button is not there.
    m_model.setIsSelectionMode(false);
    QTest::mouseMove(m_grid.viewport(), QPoint(2, 2));
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {},
                      CleanScreenshotCard::checkButtonRect(*m_grid.cardRect(item(0, 2).id)).center().toPoint());
    EXPECT_EQ(toggled.count(), 1);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(GalleryGridTest, HoverAndFocusReachTheCardLayers)
{
    showLibrary(1, 4);
    const Screenshot& card = item(0, 2);
    QTest::mouseMove(m_grid.viewport(), centreOf(card));
    EXPECT_EQ(m_grid.hoveredId(), card.id);
    EXPECT_TRUE(m_grid.cardLayers(card.id)->hoverBorder);
    EXPECT_EQ(m_grid.cardLayers(card.id)->checkSymbol, QStringLiteral("circle"));

    m_grid.setFocusedId(card.id);
    m_model.setSelectedIds({card.id});
    const auto layers = *m_grid.cardLayers(card.id);
    EXPECT_TRUE(layers.selectionMark);
    EXPECT_FALSE(layers.focusBorder);
    EXPECT_EQ(layers.checkSymbol, QStringLiteral("checkmark.circle.fill"));
}

// The pill says that a file waits for its analysis: a file that could not
// be read, as the store keeps it, waits for nothing.
TEST_F(GalleryGridTest, AFileThatCouldNotBeReadShowsNoWaitingPill)
{
    const Screenshot waiting = shot(1, false);
    const Screenshot failed = shot(2, false);
    ASSERT_TRUE(m_store.upsertMany({waiting, failed}));
    ASSERT_TRUE(m_store.updateMetadataBatch(
        {ProcessedFileResult::failed(failed.id, AnalysisFailure::unreadable, FileStamp{failed.filePath, 0, 0})}));
    publish({waiting, *m_store.fetchByPath(failed.filePath)});
    m_grid.viewport()->repaint();

    EXPECT_TRUE(m_grid.cardLayers(waiting.id)->magicPill);
    EXPECT_FALSE(m_grid.cardLayers(failed.id)->magicPill);
}

// An empty or cut-short image gives no thumbnail: its card says so instead
// of staying a blank square, and a good one beside it shows its picture.
TEST_F(GalleryGridTest, ACardOfAFileThatGivesNoPictureSaysSo)
{
    m_grid.thumbnailLoader().setGenerator([](const Screenshot& s, QSizeF size) { return s.generateThumbnail(size); });
    QList<Screenshot> shots;
    QStringList paths = writeUnreadableImages(QDir(m_dir.path()));
    paths.prepend(m_dir.filePath(u"good.png"_s));
    ASSERT_TRUE(thumbnail().save(paths.first()));
    for (const QString& path : paths) {
        Screenshot s = shot(int(shots.size()));
        s.filePath = path;
        s.filename = QFileInfo(path).fileName();
        shots.append(s);
    }
    publish(shots);
    m_grid.viewport()->repaint();
    const auto unreadable = [&](const Screenshot& s) { return m_grid.cardLayers(s.id)->unreadable; };
    ASSERT_TRUE(waitUntil([&] { return unreadable(shots[1]) && unreadable(shots[2]); }));
    ASSERT_TRUE(waitUntil([&] { return m_grid.cardLayers(shots[0].id)->picture; }));
    EXPECT_FALSE(unreadable(shots[0]));

    const QImage painted = m_grid.viewport()->grab().toImage();
    for (const Screenshot& s : shots.mid(1)) {
        const QRect card = *m_grid.cardRect(s.id);
        int drawn = 0;
        for (int y = card.top() + card.height() / 4; y < card.bottom() - card.height() / 4; ++y)
            for (int x = card.left() + card.width() / 4; x < card.right() - card.width() / 4; ++x)
                drawn += painted.pixelColor(x, y).rgb() != PremiumTheme::surface().rgb();
        EXPECT_GT(drawn, 100) << s.filename.toStdString() << ": a bare square";
    }
}

// A recording that gives no still may still play: its card keeps the
// recording's badge and is not called an image that can't be opened.
TEST_F(GalleryGridTest, ARecordingWithoutAStillIsNotMarkedAsAnUnreadableImage)
{
    m_grid.thumbnailLoader().setGenerator([](const Screenshot& s, QSizeF size) { return s.generateThumbnail(size); });
    QFile file(m_dir.filePath(u"Screen Recording.mov"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a movie");
    file.close();
    Screenshot recording = shot(0);
    recording.filePath = file.fileName();
    recording.filename = QFileInfo(file).fileName();
    publish({recording});
    m_grid.viewport()->repaint();
    ASSERT_TRUE(waitUntil([&] { return m_grid.thumbnailLoader().hasFailed(recording.id); }));

    const CleanScreenshotCard::Layers layers = *m_grid.cardLayers(recording.id);
    EXPECT_FALSE(layers.unreadable);
    EXPECT_FALSE(layers.picture);
    EXPECT_TRUE(layers.videoBadge);
}

TEST_F(GalleryGridTest, VisibleCardsAreLoadedOnceAndCached)
{
    showLibrary(3, 10);
    ASSERT_TRUE(waitUntil([&] { return m_grid.thumbnailLoader().isIdle(); }));
    const int loaded = *m_calls;
    EXPECT_GT(loaded, 0);
    EXPECT_EQ(m_cache.count(), loaded);
    EXPECT_TRUE(m_grid.cardLayers(item(0, 0).id)->picture);
    m_grid.viewport()->repaint();
    ASSERT_TRUE(waitUntil([&] { return m_grid.thumbnailLoader().isIdle(); }));
    EXPECT_EQ(*m_calls, loaded);
}

TEST_F(GalleryGridTest, FlingOverAHugeLibraryKeepsTheQueueWithinTwoViewports)
{
    showLibrary(2000, 50); // 100k
    std::atomic<bool> open{false};
    m_grid.thumbnailLoader().setGenerator([&open](const Screenshot&, QSizeF) {
        while (!open)
            QThread::msleep(1);
        return thumbnail();
    });
    const auto& layout = m_grid.gridLayout();
    const int perViewport = layout.columns() * (int(m_grid.viewport()->height() / layout.cellSize()) + 2);
    const int bottom = m_grid.verticalScrollBar()->maximum();
    int worst = 0;
    for (int step = 0; step <= 200; ++step) {
        m_grid.setScrollOffset(double(bottom) * step / 200);
        m_grid.viewport()->repaint();
        worst = std::max(worst, m_grid.thumbnailLoader().queuedCount());
    }
    open = true;
    EXPECT_GT(worst, 0);
    EXPECT_LE(worst, 2 * perViewport);
}

TEST_F(GalleryGridTest, DestroyingTheGridWithJobsInFlightIsClean)
{
    ImageCache cache; // its own: the fixture's grid sees the same library
    auto model = std::make_unique<GalleryViewModel>(m_parts.over(m_monitor, m_store, m_settings));
    auto grid = std::make_unique<GalleryGridView>(*model, cache);
    std::atomic<bool> open{false};
    std::atomic<int> started{0};
    grid->thumbnailLoader().setGenerator([&](const Screenshot&, QSizeF) {
        ++started;
        while (!open)
            QThread::msleep(1);
        return thumbnail();
    });
    grid->resize(800, 600);
    grid->show();
    ScreenshotMonitorTestAccess::setScreenshots(m_monitor, library(1, 40));
    ASSERT_TRUE(waitUntil([&] { return model->visibleScreenshots().size() == 40; }));
    grid->viewport()->repaint();
    ASSERT_TRUE(waitUntil([&] { return started > 0; }));
    grid.reset();
    model.reset();
    open = true;
    m_parts.workers.thumbnails().waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(cache.count(), 0);
}

TEST_F(GalleryGridTest, ZoomKeepsTheTopRowAndCtrlWheelAsksToMagnify)
{
    showLibrary(10, 40);
    m_grid.setScrollOffset(3000);
    const auto before = m_grid.screenshotAt(QPoint(5 + int(m_grid.gridLayout().leftInset()), 60));
    ASSERT_TRUE(before.has_value());
    m_grid.setGridScale(1.5);
    EXPECT_EQ(m_grid.gridLayout().columns(), GalleryGridLayout::columnsFor(m_grid.viewport()->width(), 1.5, {}));
    EXPECT_TRUE(m_grid.cardRect(before->id)->intersects(m_grid.viewport()->rect()));

    const double offset = m_grid.scrollOffset();
    QSignalSpy magnified(&m_grid, &GalleryGridView::magnified);
    QWheelEvent wheel(QPointF(100, 100), m_grid.mapToGlobal(QPointF(100, 100)), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_grid.viewport(), &wheel);
    ASSERT_EQ(magnified.count(), 1);
    EXPECT_DOUBLE_EQ(magnified.at(0).at(0).toDouble(), 1.1);
    EXPECT_EQ(m_grid.scrollOffset(), offset) << "the wheel zooms instead of scrolling";
}
} // namespace
