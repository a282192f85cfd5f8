// gallery-screens <output-dir>
// Writes a library of about 200 generated screenshots and recordings over
// several days into a scratch home, shows the gallery screen over it and
// saves each state into the folder (gallery-<state>.png). Everything
// it writes (settings, store, trash) stays in the scratch home.
#include "core/DatabaseManager.h"
#include "core/ImageCache.h"
#include "core/LinkDetector.h"
#include "core/MemoryMonitor.h"
#include "core/ProcMemorySource.h"
#include "core/Settings.h"
#include "gallery/DashboardPreviewView.h"
#include "gallery/GalleryGridView.h"
#include "gallery/GalleryHeader.h"
#include "gallery/GalleryOverlays.h"
#include "gallery/GalleryView.h"
#include "generators/SampleLibrary.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "platform/DesktopIntegration.h"
#include "platform/FolderChooser.h"
#include "platform/Trash.h"
#include "preview/ImagePreviewView.h"
#include "render/Shots.h"
#include "support/GalleryServices.h"
#include "support/MonitorTestAccess.h"
#include "support/OneFolderChooser.h"
#include "ui/AppStyle.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/ThumbnailLoader.h"
#include "ui/VideoBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// The generated files as the monitor would list them, spread over the last
// days, newest first, with the text drawn in them as their recognised text;
// a few still wait for analysis.
QList<Screenshot> libraryOf(const QString& folder, const SampleLibrary::Result& written)
{
    QList<SampleLibrary::Entry> entries = written.entries;
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.relativePath < b.relativePath; });
    QList<Screenshot> list;
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < entries.size(); ++i) {
        const QString path = QDir(folder).filePath(entries[i].relativePath);
        if (!ScreenshotMonitor::supportedExtensions().contains(QFileInfo(path).suffix().toLower()))
            continue;
        Screenshot shot(path, QUuid::createUuid());
        shot.dateCreated = now.addSecs(-qint64(i) * 2400 - 600);
        if (i % 23 != 5) {
            shot.ocrText = entries[i].lines.join(u'\n');
            if (const auto links = LinkDetector::shared(); links && !shot.isVideo())
                shot.detectedUrls = links->detect(*shot.ocrText);
        }
        static const QStringList apps{u"Firefox"_s, u"Terminal"_s, u"Slack"_s};
        if (i % 4 != 3)
            shot.sourceApp = apps[i % apps.size()];
        if (i % 5 == 0)
            shot.tags = {u"laptop"_s, u"cell phone"_s};
        list.append(shot);
    }
    return list;
}

// A word of five letters or more found in a handful of the screenshots, so a
// search for it shows a few results.
QString searchWordOf(const QList<Screenshot>& library)
{
    QMap<QString, int> counts;
    for (const Screenshot& shot : library) {
        QSet<QString> words;
        for (const QString& word : shot.ocrText.value_or(QString()).toLower().split(QRegularExpression(u"\\W+"_s)))
            if (word.size() >= 5)
                words.insert(word);
        for (const QString& word : words)
            ++counts[word];
    }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() >= 4 && it.value() <= 10)
            return it.key();
    return u"invoice"_s;
}

// A landscape at dusk drawn as a photograph would show one, at `size`.
QImage photograph(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(0x1d, 0x3b, 0x6e));
    sky.setColorAt(0.55, QColor(0xf2, 0x9e, 0x5c));
    sky.setColorAt(1, QColor(0xf7, 0xc9, 0x8b));
    painter.fillRect(image.rect(), sky);
    const double w = size.width(), h = size.height();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0xe3, 0xa3));
    painter.drawEllipse(QPointF(w * 0.62, h * 0.52), w * 0.09, w * 0.09);
    const auto hill = [&](double top, const QColor& color) {
        QPainterPath path(QPointF(0, h));
        path.lineTo(0, h * top);
        path.cubicTo(w * 0.3, h * (top - 0.12), w * 0.55, h * (top + 0.08), w, h * (top - 0.05));
        path.lineTo(w, h);
        painter.fillPath(path, color);
    };
    hill(0.62, QColor(0x5b, 0x3a, 0x4f));
    hill(0.74, QColor(0x2e, 0x23, 0x35));
    hill(0.86, QColor(0x16, 0x12, 0x1c));
    return image;
}

struct Tour
{
    render::Shots& shots;
    QWidget& window;
    GalleryView& gallery;

    bool await(const std::function<bool()>& reached, const QString& state) { return shots.await(reached, state); }

    // The window, with a sheet or alert of it drawn where it stands over the
    // dimmed window, or a menu over the window as it is.
    void save(const QString& state, QWidget* dialog = nullptr, bool dim = true)
    {
        const QString name = u"gallery-%1.png"_s.arg(state);
        if (dialog)
            shots.saveWith(window, *dialog, name, dim);
        else
            shots.save(window, name);
    }

    // Until every card in view shows its picture, or says that its file
    // gives none.
    void waitForThumbnails(const QString& state)
    {
        GalleryGridView& grid = gallery.grid();
        const auto allShown = [&] {
            for (const Screenshot& shot : gallery.viewModel().visibleScreenshots()) {
                const auto place = grid.cardRect(shot.id);
                const auto layers = grid.cardLayers(shot.id);
                if (place && place->intersects(grid.viewport()->rect()) && layers && !layers->picture &&
                    !layers->unreadable)
                    return false;
            }
            return true;
        };
        render::settleLayouts(); // a new width or mode lays the grid out again first
        await(
            [&] {
                grid.viewport()->repaint();
                return grid.thumbnailLoader().isIdle() && allShown();
            },
            u"the thumbnails of gallery-"_s + state);
        // Each paint makes a few cards' pictures at a new size.
        for (int paint = 0; paint < 40; ++paint)
            grid.viewport()->repaint();
    }

    // A menu of the gallery where a click at `at` (window coordinates) opens it.
    void saveMenu(const QString& state, QMenu* menu, QPoint at)
    {
        menu->popup(window.mapToGlobal(at));
        if (await([menu] { return menu->isVisible(); }, u"the menu of gallery-"_s + state))
            save(state, menu, false);
        menu->close();
    }

    void hover(const Screenshot& shot)
    {
        GalleryGridView& grid = gallery.grid();
        const QPoint at = grid.cardRect(shot.id)->center();
        QMouseEvent move(QEvent::MouseMove, at, grid.viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(grid.viewport(), &move);
    }
};
} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir scratch;
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString path = scratch.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        qputenv(name, path.toLocal8Bit());
    }
    QApplication app(argc, argv);
    applyDarkStyle(app);
    if (argc != 2) {
        QTextStream(stderr) << "usage: gallery-screens <output-dir>\n";
        return 2;
    }
    Motion::setInstant(true);
    const QString outputFolder = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QDir().mkpath(outputFolder);

    const QString folder = scratch.filePath(u"HOME/Desktop/Screenshots"_s);
    SampleLibrary::Options options;
    options.folder = folder;
    options.count = 200;
    options.seed = 23;
    options.duplicateShare = 0;
    const SampleLibrary::Result written = SampleLibrary::write(options);

    Settings settings(scratch.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(scratch.filePath(u"store.sqlite"_s));
    GalleryServices parts;
    ScreenshotMonitor monitor(parts.with(settings, memory, store));
    const QString emptyFolder = scratch.filePath(u"HOME/Empty"_s);
    QDir().mkpath(emptyFolder);
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(emptyFolder));
    monitor.requestFolderAccess();

    ImageCache thumbnails;
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, PremiumTheme::background());
    window.setPalette(palette);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    SystemDesktopIntegration desktop;
    OneFolderChooser sheetChooser(folder);
    SystemTrash trash;
    MultimediaVideoBackend video;
    GalleryView* gallery = new GalleryView(std::nullopt, {},
                                           {monitor, settings, thumbnails, desktop, sheetChooser, trash, store,
                                            parts.workers, parts.search, parts.events, video});
    layout->addWidget(gallery);
    window.resize(1440, 900);
    window.show();

    render::Shots shots(outputFolder);
    shots.await([&] { return window.windowHandle() && window.windowHandle()->isExposed(); },
                u"the gallery's window on screen"_s);
    Tour tour{shots, window, *gallery};
    GalleryViewModel& model = gallery->viewModel();
    const auto showing = [&model](qsizetype count) {
        return [&model, count] { return model.visibleScreenshots().size() == count; };
    };

    // The monitor watches an empty folder; the generated library is
    // published as if it had loaded it.
    const QList<Screenshot> library = libraryOf(folder, written);
    ScreenshotMonitorTestAccess::setScreenshots(monitor, library);
    if (!tour.await(showing(library.size()), u"the library in the gallery"_s))
        return shots.finish();

    const auto visible = model.visibleScreenshots();
    model.setSelectedIds({visible[3].id});
    tour.waitForThumbnails(u"informative"_s);
    tour.hover(visible[1]);
    tour.save(u"informative"_s);

    model.setIsSelectionMode(true);
    model.setSelectedIds({visible[0].id, visible[2].id, visible[5].id});
    tour.save(u"selection"_s);
    gallery->deleteCommand();
    if (tour.await([&] { return gallery->deleteConfirmation() && gallery->deleteConfirmation()->isVisible(); },
                   u"the delete confirmation"_s)) {
        tour.save(u"delete-confirmation"_s, gallery->deleteConfirmation());
        gallery->deleteConfirmation()->reject();
    }
    model.setIsSelectionMode(false);

    Q_EMIT gallery->header().changeFolderClicked();
    if (tour.await([&] { return gallery->folderPicker() && gallery->folderPicker()->isVisible(); },
                   u"the folder sheet"_s)) {
        tour.save(u"folder-sheet"_s, gallery->folderPicker());
        gallery->folderPicker()->reject();
    }

    ScreenshotMonitorTestAccess::setHasFileAccess(monitor, false);
    if (tour.await([&] { return model.needsPermission(); }, u"the permission banner"_s))
        tour.save(u"permission-banner"_s);
    ScreenshotMonitorTestAccess::setHasFileAccess(monitor, true);
    tour.await([&] { return !model.needsPermission(); }, u"the permission given back"_s);

    const QString word = searchWordOf(library);
    gallery->header().searchField()->setText(word);
    Q_EMIT gallery->header().searchTextEdited(word);
    if (tour.await([&] { return model.visibleScreenshots().size() < library.size(); }, u"a search's results"_s)) {
        tour.waitForThumbnails(u"search"_s);
        tour.save(u"search"_s);
    }
    Q_EMIT gallery->header().clearSearchClicked();

    // A search that finds nothing: the header over an empty grid.
    gallery->header().searchField()->setText(u"qqzzxx"_s);
    Q_EMIT gallery->header().searchTextEdited(u"qqzzxx"_s);
    if (tour.await(showing(0), u"a search without results"_s))
        tour.save(u"search-no-results"_s);
    Q_EMIT gallery->header().clearSearchClicked();
    tour.await(showing(library.size()), u"the whole library after the search"_s);

    // The card's menu and the selection bar's "Share".
    GalleryGridView& grid = gallery->grid();
    const QPoint menuAt = grid.viewport()->mapTo(&window, grid.cardRect(visible[2].id)->center());
    tour.saveMenu(u"context-menu"_s, gallery->contextMenu(visible[2]), menuAt);
    model.setSelectedIds({visible[0].id, visible[2].id});
    QAbstractButton* share = gallery->selectionBar().shareButton();
    QMenu* shareMenu = gallery->shareMenu();
    tour.saveMenu(u"share-menu"_s, shareMenu, share->mapTo(&window, QPoint(0, -shareMenu->sizeHint().height() - 8)));
    model.setSelectedIds({});

    // While files are analysed, and at both ends of the zoom.
    ScreenshotMonitor::ProgressUpdate busy;
    busy.isProcessing = true;
    ScreenshotMonitor::ProgressUpdate idle;
    idle.isProcessing = false;
    ScreenshotMonitorTestAccess::publishProgress(monitor, busy);
    tour.save(u"processing"_s);
    ScreenshotMonitorTestAccess::publishProgress(monitor, idle);
    for (const double scale : {0.5, 2.0}) {
        const QString state = u"zoom-%1"_s.arg(int(scale * 100));
        gallery->setGridScale(scale);
        tour.waitForThumbnails(state);
        tour.save(state);
    }
    gallery->setGridScale(1.0);

    // Minimal mode: no inspector, the grid across the whole width.
    gallery->setGalleryMode(GalleryViewMode::minimal);
    tour.waitForThumbnails(u"minimal"_s);
    tour.save(u"minimal"_s);
    gallery->setGalleryMode(GalleryViewMode::informative);

    // The gallery's part of the smallest window (800 by 600, less the
    // sidebar), in both modes and with a selection.
    const QSize roomy = window.size();
    window.resize(800 - 260, 600);
    tour.waitForThumbnails(u"minimum-size"_s);
    tour.save(u"minimum-size"_s);
    gallery->setGalleryMode(GalleryViewMode::minimal);
    model.setIsSelectionMode(true);
    model.setSelectedIds({visible[1].id});
    ScreenshotMonitorTestAccess::publishProgress(monitor, busy);
    tour.waitForThumbnails(u"minimum-size-minimal"_s);
    tour.save(u"minimum-size-minimal"_s);
    ScreenshotMonitorTestAccess::publishProgress(monitor, idle);
    model.setIsSelectionMode(false);
    gallery->setGalleryMode(GalleryViewMode::informative);
    // The default window (1200 by 800) leaves the gallery 940 across.
    window.resize(1200 - 260, 800);
    tour.waitForThumbnails(u"default-size"_s);
    tour.save(u"default-size"_s);
    window.resize(roomy);

    // An empty library.
    ScreenshotMonitorTestAccess::setScreenshots(monitor, {});
    if (tour.await([&] { return model.screenshots().isEmpty(); }, u"an empty library"_s))
        tour.save(u"empty"_s);
    ScreenshotMonitorTestAccess::setScreenshots(monitor, library);
    tour.await(showing(library.size()), u"the library back"_s);

    // The in-place preview: a screenshot zoomed to 150 %, then a recording
    // paused on a frame, with its button.
    gallery->setGalleryMode(GalleryViewMode::informative);
    const auto firstOf = [&](bool video) {
        const auto all = model.visibleScreenshots();
        return *std::find_if(all.begin() + 2, all.end(), [video](const Screenshot& s) { return s.isVideo() == video; });
    };
    gallery->handleSingleTap(firstOf(false));
    DashboardPreviewView* preview = gallery->inPlacePreview();
    if (tour.await([&] { return preview && !preview->isLoading(); }, u"the in-place preview loaded"_s)) {
        preview->zoomIn();
        preview->zoomIn();
        if (tour.shots.awaitStill(*preview, u"the zoom's last frame"_s))
            tour.save(u"in-place-150"_s);
        gallery->handleSingleTap(firstOf(true));
        if (tour.await(
                [&] {
                    return !preview->videoPlayer()->currentFrame().isNull() &&
                           preview->videoPlayer()->positionMs() > 700;
                },
                u"a recording playing in place"_s)) {
            preview->videoPlayer()->togglePlayback();
            tour.await([&] { return !preview->videoPlayer()->isPlaying(); }, u"the recording paused"_s);
            tour.save(u"in-place-video"_s);
        }
        QTest::keyClick(preview, Qt::Key_Escape);
    }

    // A square and an upright photograph in place: the picture between the
    // close button and the toolbar.
    QList<Screenshot> withPhotos = library;
    for (const auto& [name, size] :
         {std::pair{u"Square photo.jpg"_s, QSize(1600, 1600)}, std::pair{u"Portrait photo.jpg"_s, QSize(1200, 1800)}}) {
        const QString path = QDir(folder).filePath(name);
        photograph(size).save(path, "JPG", 88);
        Screenshot photo(path, QUuid::createUuid());
        photo.dateCreated = QDateTime::currentDateTime();
        withPhotos.prepend(photo);
    }
    ScreenshotMonitorTestAccess::setScreenshots(monitor, withPhotos);
    if (tour.await(showing(withPhotos.size()), u"the photographs in the gallery"_s)) {
        for (const auto& [state, index] : {std::pair{u"in-place-square"_s, 1}, std::pair{u"in-place-portrait"_s, 0}}) {
            gallery->handleSingleTap(withPhotos[index]);
            DashboardPreviewView* photoPreview = gallery->inPlacePreview();
            if (tour.await([&] { return photoPreview && !photoPreview->isLoading(); }, u"the photograph of "_s + state))
                tour.save(state);
        }
        if (DashboardPreviewView* photoPreview = gallery->inPlacePreview())
            QTest::keyClick(photoPreview, Qt::Key_Escape);
    }
    // An empty file and a screenshot cut off halfway, newest of all, as the
    // analysis left them: their cards say that they cannot be shown.
    QList<Screenshot> withUnreadable = library;
    const QString source =
        std::find_if(library.cbegin(), library.cend(), [](const Screenshot& s) { return !s.isVideo(); })->filePath;
    const QList<std::pair<QString, qint64>> broken{{u"Screenshot (empty).png"_s, 0},
                                                   {u"Screenshot (cut short).png"_s, -1}};
    for (const auto& [name, length] : broken) {
        QFile whole(source);
        QFile cut(QDir(folder).filePath(name));
        if (whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly))
            cut.write(whole.read(length < 0 ? whole.size() / 2 : length));
        cut.close();
        Screenshot shot(cut.fileName(), QUuid::createUuid());
        shot.dateCreated = QDateTime::currentDateTime();
        shot.ocrText = QString();
        shot.analysisFailure = AnalysisFailure::unreadable;
        withUnreadable.prepend(shot);
    }
    ScreenshotMonitorTestAccess::setScreenshots(monitor, withUnreadable);
    const auto cardOf = [&](const Screenshot& shot) { return grid.cardLayers(shot.id); };
    if (tour.await([&] { return cardOf(withUnreadable[0]) && cardOf(withUnreadable[1]); },
                   u"the unreadable files' cards in the gallery"_s)) {
        tour.waitForThumbnails(u"unreadable"_s);
        tour.hover(withUnreadable[0]);
        if (tour.await([&] { return cardOf(withUnreadable[0])->unreadable && cardOf(withUnreadable[1])->unreadable; },
                       u"the cards of the empty file and the file cut short"_s))
            tour.save(u"unreadable"_s);
    }
    ScreenshotMonitorTestAccess::setScreenshots(monitor, library);
    tour.await(showing(library.size()), u"the library without the photographs"_s);

    // The full preview over everything, first with the file's facts along
    // the bottom, then with the inspector beside it.
    const Screenshot opened = firstOf(false);
    gallery->handleDoubleTap(opened);
    ImagePreviewView* full = gallery->fullPreview();
    if (tour.await([&] { return full && !full->isLoading(); }, u"the full preview loaded"_s)) {
        tour.save(u"full-preview"_s);
        QTest::keyClick(full, Qt::Key_I);
        tour.save(u"full-preview-inspector"_s);
        QTest::keyClick(full, Qt::Key_Escape);
        QTest::keyClick(full, Qt::Key_Escape);
    }

    // An opened collection: the gallery rebuilt for one sub-folder, with its back button.
    SmartCollection work;
    work.id = QUuid::createUuid();
    work.name = u"Work"_s;
    work.type = CollectionType::folder;
    work.icon = u"folder.fill"_s;
    const QString workFolder = QDir(folder).filePath(u"Work"_s) + u'/';
    work.predicate = [workFolder](const Screenshot& s) { return s.filePath.startsWith(workFolder); };
    delete gallery;
    gallery = new GalleryView(work, [] {},
                              {monitor, settings, thumbnails, desktop, sheetChooser, trash, store, parts.workers,
                               parts.search, parts.events, video});
    layout->addWidget(gallery);
    Tour collectionTour{shots, window, *gallery};
    if (collectionTour.await([&] { return !gallery->viewModel().visibleScreenshots().isEmpty(); },
                             u"the collection's screenshots"_s)) {
        collectionTour.waitForThumbnails(u"collection"_s);
        collectionTour.save(u"collection"_s);
    }
    return shots.finish();
}
