#include "core/DatabaseManager.h"
#include "core/MediaFixtures.h"
#include "support/GalleryServices.h"
#include "support/ManualScheduler.h"
#include "support/MonitorTestAccess.h"
#include "support/UnreadableImages.h"

#include "core/ImageCache.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "preview/CustomSearchBar.h"
#include "preview/MiniGalleryFilter.h"
#include "preview/MiniGalleryGrid.h"
#include "preview/MiniGalleryView.h"
#include "preview/QuickPreviewOverlay.h"
#include "preview/QuickVideoPlayer.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/Wait.h"
#include "ui/Motion.h"
#include "ui/ThumbnailLoader.h"
#include "ui/VideoBackend.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Action = MiniScreenshotItem::Action;

namespace {
Screenshot record(const QString& path, std::optional<QString> text = std::nullopt)
{
    Screenshot shot;
    shot.id = QUuid::createUuid();
    shot.filePath = path;
    shot.filename = path.section(u'/', -1);
    shot.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(16, 45));
    shot.ocrText = text;
    return shot;
}

// A small picture at `path`, its folder made: a file the popup can show.
QString writtenPicture(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
    return path;
}

QStringList names(const QList<Screenshot>& list)
{
    QStringList result;
    for (const Screenshot& shot : list)
        result.append(shot.filename);
    return result;
}
} // namespace

// The popup's gallery over a real monitor and view model; the copy
// confirmation's delay runs on a hand-driven clock.
class MiniGallery : public ::testing::Test
{
protected:
    MiniGallery()
        : m_settings(m_dir.filePath(u"settings.conf"_s))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(u"store.sqlite"_s))
        , m_monitor(m_parts.with(m_settings, m_memory, m_store))
        , m_viewModel(m_parts.over(m_monitor, m_store, m_settings))
        , m_view(
              m_viewModel, [this] { ++m_dashboardRequests; }, [this] { ++m_quitRequests; })
    {
        m_view.setScheduler(m_clock);
        m_view.resize(450, 500);
        m_view.show();
    }

    void setLibrary(const QList<Screenshot>& library)
    {
        ScreenshotMonitorTestAccess::setScreenshots(m_monitor, library);
        ASSERT_TRUE(waitUntil([&] { return m_view.filteredScreenshots().size() == library.size(); }));
    }

    void search(const QString& text)
    {
        m_view.searchBar()->field()->setText(text);
        ASSERT_TRUE(waitUntil([&] { return !m_view.isFiltering(); }));
    }

    MiniGalleryGrid& grid() { return *m_view.grid(); }

    void hoverAndClick(int index, std::optional<Action> action)
    {
        QPointF point = grid().cellRect(index).topLeft() + QPointF(10, 10); // clear of the buttons
        for (const auto& button : grid().buttonsOf(index)) {
            if (action == button.action)
                point = button.rect.center();
        }
        QTest::mouseMove(grid().viewport(), point.toPoint());
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, point.toPoint());
    }

    ConsoleCapture m_console;
    InstantMotionScope m_instant;
    QTemporaryDir m_dir;
    GalleryServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    ScreenshotMonitor m_monitor;
    GalleryViewModel m_viewModel;
    ManualScheduler m_clock;
    int m_dashboardRequests = 0;
    int m_quitRequests = 0;
    MiniGalleryView m_view;
};

TEST_F(MiniGallery, SearchesEachOfTheFiveFieldsWholeAndIgnoringCase)
{
    Screenshot byName = record(u"/s/Invoice March.png"_s);
    Screenshot byText = record(u"/s/b.png"_s, u"Total due: 168"_s);
    Screenshot byLabel = record(u"/s/c.png"_s);
    byLabel.tags = {u"cell phone"_s};
    Screenshot byTag = record(u"/s/d.png"_s);
    byTag.customTags = {u"Work"_s, u"Receipt"_s};
    Screenshot byNote = record(u"/s/e.png"_s);
    byNote.userNotes = u"call Sam back"_s;
    Screenshot accented = record(u"/s/f.png"_s, u"Café opening hours"_s);
    setLibrary({byName, byText, byLabel, byTag, byNote, accented});

    const std::vector<std::pair<QString, QStringList>> cases{
        {u"invoice"_s, {u"Invoice March.png"_s}},
        {u"TOTAL DUE"_s, {u"b.png"_s}},
        {u"Phone"_s, {u"c.png"_s}},
        {u"receipt"_s, {u"d.png"_s}},
        {u"SAM"_s, {u"e.png"_s}},
        {u"cafe"_s, {}},                                                                    // accents count
        {u"café"_s, {u"f.png"_s}},                                                          //
        {u" "_s, {u"Invoice March.png"_s, u"b.png"_s, u"c.png"_s, u"e.png"_s, u"f.png"_s}}, // untrimmed
        {u"due 168"_s, {}},                                                                 // the text is used whole
        {u"PNG"_s, {u"Invoice March.png"_s, u"b.png"_s, u"c.png"_s, u"d.png"_s, u"e.png"_s, u"f.png"_s}},
    };
    for (const auto& [query, expected] : cases) {
        search(query);
        EXPECT_EQ(names(m_view.filteredScreenshots()), expected) << query.toStdString();
    }
}

TEST_F(MiniGallery, ALargeLibraryIsSearchedOffTheGuiThreadWithTheSameResultAndOrder)
{
    QList<Screenshot> library;
    const QStringList words{u"alpha"_s, u"Beta"_s, u"gamma"_s, u"DELTA"_s, u"epsilon"_s, u"zeta"_s, u"eta"_s};
    for (int i = 0; i < 3 * int(MiniGalleryView::synchronousFilterLimit); ++i) {
        Screenshot shot = record(u"/s/shot-%1.png"_s.arg(i), words[i % 7] + u" "_s + words[(i / 7) % 7]);
        if (i % 11 == 0)
            shot.customTags = {words[i % 5]};
        if (i % 13 == 0)
            shot.userNotes = words[i % 3] + u"!"_s;
        library.append(shot);
    }
    setLibrary(library);

    // Keystrokes faster than the worker: only the last one's result shows.
    for (const QString& text : {u"e"_s, u"ep"_s, u"eps"_s, u"epsilon "_s})
        m_view.setSearchText(text);
    EXPECT_TRUE(m_view.isFiltering());
    ASSERT_TRUE(waitUntil([&] { return !m_view.isFiltering(); }));

    QList<Screenshot> expected;
    for (const Screenshot& shot : library) {
        if (MiniGalleryFilter::matches(shot, u"epsilon "_s))
            expected.append(shot);
    }
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(names(m_view.filteredScreenshots()), names(expected));
    EXPECT_EQ(names(grid().screenshots()), names(expected));

    m_view.setSearchText({});
    EXPECT_EQ(m_view.filteredScreenshots().size(), library.size()); // at once: nothing to filter
}

TEST_F(MiniGallery, TheEmptyStateSaysWhetherTheLibraryOrTheSearchIsEmpty)
{
    setLibrary({});
    EXPECT_EQ(m_view.emptyStateText(), u"No screenshots yet"_s);
    setLibrary({record(u"/s/a.png"_s)});
    EXPECT_EQ(m_view.emptyStateText(), std::nullopt);
    search(u"nothing like it"_s);
    EXPECT_EQ(m_view.emptyStateText(), u"No results found"_s);
    // The clear button shows for any text, blanks too, and empties the search.
    search(u" "_s);
    EXPECT_FALSE(m_view.searchBar()->clearButton()->isHidden());
    m_view.searchBar()->clearButton()->click();
    EXPECT_TRUE(m_view.searchText().isEmpty());
    EXPECT_TRUE(m_view.searchBar()->clearButton()->isHidden());
}

TEST_F(MiniGallery, ACellClickCopiesExactlyOneFileUrlWhateverTheName)
{
    const QStringList paths{writtenPicture(m_dir.filePath(u"a b/#1 100%.png"_s)),
                            writtenPicture(m_dir.filePath(u"c%20d.png"_s)),
                            writtenPicture(m_dir.filePath(u"é?.png"_s))};
    QList<Screenshot> library;
    for (const QString& path : paths)
        library.append(record(path, u"text"_s));
    setLibrary(library);

    for (int i = 0; i < paths.size(); ++i) {
        hoverAndClick(i, std::nullopt);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->urls(), QList<QUrl>{QUrl::fromLocalFile(paths[i])});
        EXPECT_EQ(data->urls().first().toLocalFile(), paths[i]);
        EXPECT_EQ(m_view.copiedId(), library[i].id);
    }
    EXPECT_TRUE(m_view.showsCopiedConfirmation());
}

TEST_F(MiniGallery, CopyTextCopiesOnlyTheTextAndNothingWithoutText)
{
    const Screenshot withText = record(u"/s/a.png"_s, u"Total due: 168"_s);
    const Screenshot emptyText = record(u"/s/b.png"_s, u""_s);
    const Screenshot noText = record(u"/s/c.png"_s);
    setLibrary({withText, emptyText, noText});

    hoverAndClick(0, Action::copyText);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"Total due: 168"_s);
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasUrls()) << "the cell's own click did not follow";

    hoverAndClick(1, Action::copyText);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u""_s);
    EXPECT_EQ(m_view.copiedId(), emptyText.id);

    m_clock.advance(2s);
    QGuiApplication::clipboard()->setText(u"before"_s);
    m_view.copyText(noText);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"before"_s);
    EXPECT_FALSE(m_view.copiedId());
    EXPECT_FALSE(m_view.showsCopiedConfirmation());
}

TEST_F(MiniGallery, EachCopyKeepsItsMarkerForItsOwnTimeButASecondCopyDoesNotExtendIt)
{
    const Screenshot a = record(u"/s/a.png"_s, u"a"_s);
    const Screenshot b = record(u"/s/b.png"_s, u"b"_s);
    setLibrary({a, b});

    m_view.copyImage(a);
    m_clock.advance(1000ms);
    m_view.copyText(b);
    m_clock.advance(500ms); // A's time is up, the marker is B's
    EXPECT_EQ(m_view.copiedId(), b.id);
    EXPECT_TRUE(m_view.showsCopiedConfirmation());
    m_clock.advance(1000ms);
    EXPECT_FALSE(m_view.copiedId());
    EXPECT_FALSE(m_view.showsCopiedConfirmation());

    m_view.copyImage(a);
    m_clock.advance(1000ms);
    m_view.copyImage(a);
    m_clock.advance(500ms);
    EXPECT_FALSE(m_view.copiedId()) << "ends 1.5 s after the first copy";
}

TEST_F(MiniGallery, CellsHaveTwoButtonsWithoutTextAndThreeWithEmptyText)
{
    const QRectF cell(0, 0, 134, 120);
    EXPECT_EQ(MiniScreenshotItem::buttons(record(u"/s/a.png"_s), cell).size(), 2);
    const auto three = MiniScreenshotItem::buttons(record(u"/s/a.png"_s, u""_s), cell);
    ASSERT_EQ(three.size(), 3);
    EXPECT_EQ(three[0].tooltip, u"Quick Preview"_s);
    EXPECT_EQ(three[1].tooltip, u"Copy Image"_s);
    EXPECT_EQ(three[2].tooltip, u"Copy Text"_s);
    // A row of 30-wide circles 12 apart, centred in the cell.
    EXPECT_EQ(three[0].rect, QRectF(67 - 57, 45, 30, 30));
    EXPECT_EQ(three[2].rect.right(), 67 + 57);
}

// A bare LANG=C session's short time carries seconds; the cells never do.
TEST_F(MiniGallery, TimeLabelsAreHoursAndMinutesInTheLocale)
{
    const QLocale previous;
    Screenshot shot = record(u"/s/a.png"_s);
    shot.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(16, 45, 12));
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(MiniScreenshotItem::timeLabel(shot), u"16:45"_s);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(MiniScreenshotItem::timeLabel(shot), u"4:45 PM"_s);
    QLocale::setDefault(previous);
}

TEST_F(MiniGallery, ThreeColumnsOf134FillThePopupsWidthAndTheGridTakesTheRestOfItsHeight)
{
    const MiniGalleryGrid::Columns columns = MiniGalleryGrid::columnsFor(450);
    EXPECT_EQ(columns.count, 3);
    EXPECT_EQ(columns.width, 134);
    EXPECT_EQ(columns.left, 12);
    EXPECT_EQ(MiniGalleryGrid::columnsFor(600).count, 4);
    EXPECT_EQ(MiniGalleryGrid::columnsFor(100).count, 1);
    EXPECT_EQ(MiniGalleryGrid::contentHeight(7, 450), 12 + 3 * 120 + 2 * 12 + 12);

    setLibrary({record(u"/s/a.png"_s)});
    EXPECT_EQ(grid().viewport()->width(), 450);
    EXPECT_GT(grid().height(), 330);
    EXPECT_EQ(grid().cellRect(0), QRectF(12, 12, 134, 120));
}

// At the popup's height the third row is cut by the footer: while more lies
// below, the cut edge fades out, so no time label shows cut in half there;
// at the end of the list nothing fades.
TEST_F(MiniGallery, TheGridsCutEdgeFadesOutWhileMoreLiesBelow)
{
    QList<Screenshot> library;
    for (int i = 0; i < 12; ++i)
        library.append(record(u"/s/%1.png"_s.arg(i)));
    setLibrary(library);
    QImage white(160, 120, QImage::Format_RGB32);
    white.fill(Qt::white);
    grid().setThumbnailSource([white](const Screenshot&) { return white; });
    const auto brightnessAt = [this](int y) {
        QImage canvas(grid().viewport()->size(), QImage::Format_RGB32);
        canvas.fill(Qt::black);
        grid().viewport()->render(&canvas, QPoint(), QRegion(), QWidget::DrawChildren);
        return qGray(canvas.pixel(40, y)); // inside the first column, clear of the time label
    };
    const int bottom = grid().viewport()->height() - 1;
    ASSERT_GT(grid().cellRect(6).bottom(), bottom) << "the third row is cut";
    ASSERT_LT(grid().cellRect(6).top(), bottom - MiniGalleryGrid::fadeHeight);
    EXPECT_EQ(grid().fadeBand().bottom(), bottom);
    EXPECT_GT(brightnessAt(bottom - MiniGalleryGrid::fadeHeight - 2), 240);
    EXPECT_LT(brightnessAt(bottom), 30);

    grid().verticalScrollBar()->setValue(grid().verticalScrollBar()->maximum());
    EXPECT_TRUE(grid().fadeBand().isEmpty());
    const QRectF last = grid().cellRect(11);
    EXPECT_GT(brightnessAt(int(last.bottom()) - 30), 240);
}

TEST_F(MiniGallery, TheQuickPreviewClosesOnTheBackdropTheImageAndItsButton)
{
    const QString path = m_dir.filePath(u"shot.png"_s);
    QImage image(800, 500, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(path));
    const Screenshot shot = record(path);
    setLibrary({shot});

    const auto open = [&] {
        hoverAndClick(0, Action::preview);
        EXPECT_FALSE(m_view.copiedId()) << "the preview button does not copy";
        ASSERT_TRUE(m_view.quickPreview());
        EXPECT_EQ(m_view.previewScreenshot(), shot);
        ASSERT_TRUE(waitUntil([&] { return m_view.quickPreview()->content() == QuickPreviewOverlay::Content::image; }));
    };
    open();
    QTest::mouseClick(m_view.quickPreview(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(m_view.previewScreenshot());

    open();
    QTest::mouseClick(m_view.quickPreview(), Qt::LeftButton, {}, m_view.quickPreview()->imageRect().center().toPoint());
    EXPECT_FALSE(m_view.previewScreenshot());

    open();
    m_view.quickPreview()->closeButton()->click();
    EXPECT_FALSE(m_view.previewScreenshot());
    EXPECT_FALSE(m_view.copiedId());
}

TEST_F(MiniGallery, AnUnreadableImageSaysSoAndStillCloses)
{
    const Screenshot shot = record(m_dir.filePath(u"missing.png"_s));
    setLibrary({shot});
    m_view.openQuickPreview(shot);
    ASSERT_TRUE(waitUntil([&] { return m_view.quickPreview()->content() != QuickPreviewOverlay::Content::loading; }));
    EXPECT_EQ(m_view.quickPreview()->content(), QuickPreviewOverlay::Content::unreadable);
    QTest::mouseClick(m_view.quickPreview(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(m_view.previewScreenshot());
}

// An empty or cut-off image says so in its cell, as the gallery's card does,
// and copying it puts no link to a picture that is none on the clipboard
// but says why; a good image beside it, and a recording that gives no still
// but may play, are shown and copied as ever.
TEST_F(MiniGallery, AnImageThatGivesNoPictureSaysSoInItsCellAndIsNotCopied)
{
    QStringList paths = writeUnreadableImages(QDir(m_dir.path()));
    paths.prepend(writtenPicture(m_dir.filePath(u"good.png"_s)));
    QFile recording(m_dir.filePath(u"Screen Recording.mov"_s));
    ASSERT_TRUE(recording.open(QIODevice::WriteOnly));
    recording.write("not a movie");
    recording.close();
    paths.append(recording.fileName());
    QList<Screenshot> library;
    for (const QString& path : paths)
        library.append(record(path));
    setLibrary(library);
    grid().viewport()->repaint();
    ASSERT_TRUE(waitUntil([&] { return m_view.isThumbnailLoadingIdle(); }));
    ASSERT_TRUE(m_view.thumbnails().hasFailed(library[3].id)) << "the recording gave a still after all";
    const QList<bool> unreadable{false, true, true, false};
    for (int i = 0; i < library.size(); ++i)
        EXPECT_EQ(m_view.isUnreadable(library[i]), unreadable[i]) << library[i].filename.toStdString();

    // The symbol and the sentence stand out of a bare cell, above its time.
    grid().viewport()->repaint();
    const QImage painted = grid().viewport()->grab().toImage();
    for (int i = 1; i < library.size(); ++i) {
        const QRect cell = grid().cellRect(i).toRect();
        const QRgb bare = painted.pixel(cell.left() + 6, cell.top() + 20);
        int drawn = 0;
        for (int y = cell.top() + 4; y < cell.bottom() - 30; ++y) {
            for (int x = cell.left() + 4; x < cell.right() - 4; ++x) {
                const QRgb pixel = painted.pixel(x, y);
                drawn += std::max({std::abs(qRed(pixel) - qRed(bare)), std::abs(qGreen(pixel) - qGreen(bare)),
                                   std::abs(qBlue(pixel) - qBlue(bare))}) > 2;
            }
        }
        if (unreadable[i])
            EXPECT_GT(drawn, 50) << library[i].filename.toStdString() << ": a bare cell";
        else
            EXPECT_EQ(drawn, 0) << library[i].filename.toStdString() << ": marked unreadable";
    }

    QGuiApplication::clipboard()->setText(u"before"_s);
    hoverAndClick(2, Action::copyImage);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"before"_s);
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasUrls());
    EXPECT_TRUE(m_view.showsUnreadableNotice());
    EXPECT_FALSE(m_view.showsCopiedConfirmation());
    EXPECT_FALSE(m_view.copiedId());
    m_clock.advance(MiniGalleryView::copiedMarkerDuration);
    EXPECT_FALSE(m_view.showsUnreadableNotice());

    hoverAndClick(1, std::nullopt);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"before"_s);
    EXPECT_TRUE(m_view.showsUnreadableNotice());
    for (const int i : {0, 3}) {
        hoverAndClick(i, std::nullopt);
        EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->urls(), QList<QUrl>{QUrl::fromLocalFile(paths[i])});
        EXPECT_TRUE(m_view.showsCopiedConfirmation());
        EXPECT_FALSE(m_view.showsUnreadableNotice());
    }
}

TEST_F(MiniGallery, ARecordingDoesNotPlayByItselfAndAClickOnItDoesNotClose)
{
    const Screenshot video = record(m_dir.filePath(u"Screen Recording.mov"_s));
    setLibrary({video});
    m_view.openQuickPreview(video);
    QuickPreviewOverlay* preview = m_view.quickPreview();
    ASSERT_EQ(preview->content(), QuickPreviewOverlay::Content::video);
    QuickVideoPlayer* player = preview->videoPlayer();
    QTest::mouseClick(player, Qt::LeftButton, {}, player->rect().center());
    EXPECT_EQ(m_view.previewScreenshot(), video);
    EXPECT_NE(player->player()->playbackState(), QMediaPlayer::PlayingState);
}

// Run where Qt Multimedia finds no backend (QT_MEDIA_BACKEND naming a missing
// one): the quick preview still opens a recording, makes no player, which
// would abort the process, and offers no controls that do nothing.
TEST_F(MiniGallery, WithoutAVideoBackendARecordingOpensWithItsControlsOff)
{
    if (MultimediaVideoBackend::isAvailable())
        GTEST_SKIP() << "a backend is installed; the run without one covers this";
    const Screenshot video = record(m_dir.filePath(u"Screen Recording.mov"_s));
    setLibrary({video});
    m_view.openQuickPreview(video);
    QuickPreviewOverlay* preview = m_view.quickPreview();
    ASSERT_EQ(preview->content(), QuickPreviewOverlay::Content::video);
    QuickVideoPlayer* player = preview->videoPlayer();
    EXPECT_EQ(player->player(), nullptr);
    EXPECT_FALSE(player->playButton()->isEnabled());
    QTest::mouseClick(player, Qt::LeftButton, {}, player->rect().center());
    EXPECT_EQ(m_view.previewScreenshot(), video);
}

// Before it plays, a recording shows a still of itself (not an empty box),
// in a player that takes the recording's shape.
TEST_F(MiniGallery, ARecordingShowsAStillOfItselfUntilItPlays)
{
    const QString path = m_dir.filePath(u"Screen Recording.mp4"_s);
    ASSERT_TRUE(fixtures::writeFrameNumberVideo(path, 2.0));
    const Screenshot video = record(path);
    setLibrary({video});
    m_view.openQuickPreview(video);
    QuickVideoPlayer* player = m_view.quickPreview()->videoPlayer();
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !player->picture().isNull(); }));
    EXPECT_NE(player->player()->playbackState(), QMediaPlayer::PlayingState);
    const QRectF picture = player->pictureRect();
    EXPECT_NEAR(picture.width() / picture.height(), double(fixtures::patternWidth) / fixtures::patternHeight, 0.02);
    EXPECT_NEAR(picture.width(), player->width(), 1.0);
    EXPECT_LE(player->height(), m_view.quickPreview()->height() - 48);
}

TEST_F(MiniGallery, HeaderAndFooterButtonsRunTheirCallbacks)
{
    m_view.headerDashboardButton()->click();
    m_view.openDashboardButton()->click();
    m_view.quitButton()->click();
    EXPECT_EQ(m_dashboardRequests, 2);
    EXPECT_EQ(m_quitRequests, 1);
    EXPECT_EQ(m_view.headerDashboardButton()->toolTip(), u"Open Dashboard"_s);
}

TEST_F(MiniGallery, ThumbnailsOf160ComeFromTheGalleriesLoaderIntoACacheOfThePopupsOwn)
{
    QList<Screenshot> library;
    for (const QString& name : {u"wide.png"_s, u"tall.png"_s}) {
        QImage image(name == u"wide.png"_s ? QSize(1600, 1000) : QSize(500, 1000), QImage::Format_RGB32);
        image.fill(Qt::darkMagenta);
        ASSERT_TRUE(image.save(m_dir.filePath(name)));
        library.append(record(m_dir.filePath(name)));
    }
    library.append(record(m_dir.filePath(u"gone.png"_s)));
    setLibrary(library);
    grid().viewport()->repaint();

    ASSERT_TRUE(waitUntil([&] { return m_view.isThumbnailLoadingIdle(); }));
    ThumbnailLoader& loader = m_view.thumbnails();
    EXPECT_EQ(loader.targetSize(), QSizeF(160, 160));
    const std::optional<QImage> wide = loader.cache().image(library[0].id);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->deviceIndependentSize(), QSizeF(160, 100));
    EXPECT_TRUE(loader.cache().image(library[1].id));
    // A file that cannot be read keeps its placeholder and is not asked again while shown.
    EXPECT_TRUE(loader.hasFailed(library[2].id));
    grid().viewport()->repaint();
    EXPECT_TRUE(loader.isIdle());
}

TEST_F(MiniGallery, PointsInTheGapsHitNoCellAndButtonsAnswerInsideTheirCircle)
{
    QList<Screenshot> library;
    for (int i = 0; i < 30; ++i)
        library.append(record(writtenPicture(m_dir.filePath(u"s/%1.png"_s.arg(i))), u"t"_s));
    setLibrary(library);

    const struct
    {
        QPointF point;
        int index;
    } cases[] = {{{12, 12}, 0},  {{145.9, 131.9}, 0}, {{150, 50}, -1}, {{158, 50}, 1}, {{50, 133}, -1},
                 {{50, 144}, 3}, {{5, 50}, -1},       {{437, 50}, 2},  {{439, 50}, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(grid().indexAt(c.point), c.index) << c.point.x() << "," << c.point.y();

    grid().verticalScrollBar()->setValue(132);
    EXPECT_EQ(grid().indexAt({50, 20}), 3);
    EXPECT_EQ(grid().cellRect(3).top(), 12);

    // The corner of a button's square is the cell, not the button.
    const auto button = grid().buttonsOf(3).at(1);
    QTest::mouseMove(grid().viewport(), button.rect.topLeft().toPoint() + QPoint(1, 1));
    QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, button.rect.topLeft().toPoint() + QPoint(1, 1));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->urls(), QList<QUrl>{QUrl::fromLocalFile(library[3].filePath)});
}

TEST_F(MiniGallery, AClosedPopupFiltersWhenItOpensAgain)
{
    setLibrary({record(u"/s/a.png"_s), record(u"/s/b.png"_s)});
    search(u"a.png"_s);
    m_view.hide();
    ScreenshotMonitorTestAccess::setScreenshots(
        m_monitor, {record(u"/s/a.png"_s), record(u"/s/b.png"_s), record(u"/s/another a.png"_s)});
    ASSERT_TRUE(waitUntil([&] { return m_viewModel.screenshots().size() == 3; }));
    EXPECT_EQ(names(m_view.filteredScreenshots()), QStringList{u"a.png"_s});

    m_view.show();
    ASSERT_TRUE(waitUntil([&] { return !m_view.isFiltering(); }));
    EXPECT_EQ(names(m_view.filteredScreenshots()), (QStringList{u"a.png"_s, u"another a.png"_s}));
}

TEST_F(MiniGallery, AThumbnailOrAHoverRepaintsOnlyItsOwnCells)
{
    QList<Screenshot> library;
    for (int i = 0; i < 12; ++i)
        library.append(record(u"/s/%1.png"_s.arg(i)));
    setLibrary(library);
    grid().viewport()->repaint();
    // None of these files exists: the loader's answers are all failures.
    ASSERT_TRUE(waitUntil([&] { return m_view.isThumbnailLoadingIdle(); }));
    // Every cell painted asks for its thumbnail.
    QList<int> painted;
    grid().setThumbnailSource([&](const Screenshot& shot) {
        painted.append(int(library.indexOf(shot)));
        return std::optional<QImage>();
    });
    const auto paintsAfter = [&](const std::function<void()>& change) {
        QCoreApplication::processEvents();
        painted.clear();
        change();
        QCoreApplication::processEvents();
        std::sort(painted.begin(), painted.end());
        return painted;
    };

    EXPECT_EQ(paintsAfter([&] { grid().thumbnailArrived(library[4].id); }), QList<int>{4});
    EXPECT_EQ(paintsAfter([&] { QTest::mouseMove(grid().viewport(), grid().cellRect(1).center().toPoint()); }),
              QList<int>{1});
    EXPECT_EQ(paintsAfter([&] { QTest::mouseMove(grid().viewport(), grid().cellRect(5).center().toPoint()); }),
              (QList<int>{1, 5}));
    // A new list repaints the whole screenful.
    QList<int> onScreen;
    for (int i = 0; i < library.size(); ++i) {
        if (grid().cellRect(i).intersects(grid().viewport()->rect()))
            onScreen.append(i);
    }
    EXPECT_GT(onScreen.size(), 6);
    EXPECT_EQ(paintsAfter([&] { grid().setScreenshots(library); }), onScreen);
    grid().setThumbnailSource({});
}
