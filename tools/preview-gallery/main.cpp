// preview-gallery <output.png | output-folder>
// Renders states of the preview screens side by side into one PNG, chosen by
// the file's name:
// - inspector.png: the metadata inspector as the gallery docks it (320 wide):
//   a full record with the tag suggestions open, the same scrolled to its
//   end, a record not yet analysed, one whose reading real time stopped
//   (part of its text, the rest at the next start), one whose save failed,
//   and no record;
// - mini-gallery.png: the tray popup (450 by 500) with a hovered cell, just
//   after a copy, searched without results, and with the quick preview open;
//   the fourth cell is an image cut off halfway, which gives no picture.
// Given a folder, it writes one PNG per state of the previews instead:
// preview-in-place-<state>.png and preview-full-<state>.png (loading,
// unreadable, first, last, delete, and video or zoomed), inspector-actions.png (just after
// "Copy Text", and the notes being edited), mini-gallery-empty.png and
// mini-gallery-recording.png (a recording's quick preview).
#include "core/DatabaseManager.h"
#include "core/ImageLoader.h"
#include "core/MemoryMonitor.h"
#include "core/ProcMemorySource.h"
#include "core/Screenshot.h"
#include "core/Settings.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/Uuid.h"
#include "gallery/DashboardPreviewView.h"
#include "generators/SampleLibrary.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "preview/ImagePreviewView.h"
#include "preview/MetadataInspectorView.h"
#include "preview/MiniGalleryGrid.h"
#include "preview/MiniGalleryView.h"
#include "preview/QuickPreviewOverlay.h"
#include "preview/QuickVideoPlayer.h"
#include "render/Shots.h"
#include "support/FakeDesktop.h"
#include "support/GalleryServices.h"
#include "support/MonitorTestAccess.h"
#include "ui/AppStyle.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/FullImageLoader.h"
#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/VideoBackend.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTextStream>
#include <QUuid>
#include <QVBoxLayout>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
constexpr QSize panelSize{320, 980};

Screenshot analysedReceipt()
{
    Screenshot shot;
    shot.id = QUuid::createUuid();
    shot.filename = u"Screenshot 2024-03-14 at 09.41.22.png"_s;
    shot.filePath = u"/home/sam/Desktop/Screenshots/"_s + shot.filename;
    shot.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(9, 41, 22));
    shot.fileSize = 2'348'112;
    shot.ocrText = u"Northwind Traders — Invoice #INV-20931\n"
                   u"Billed to: Sam Rivera\nDate: March 14, 2024\n\n"
                   u"Cloud storage (annual)      $119.00\nPriority support            $49.00\n"
                   u"Total due                   $168.00\n\n"
                   u"Questions? billing@northwind.example\nPay online: https://pay.northwind.example/i/20931"_s;
    shot.tags = {u"laptop"_s, u"cell phone"_s, u"book"_s};
    shot.sourceApp = u"firefox"_s;
    shot.detectedUrls =
        QList<QUrl>{QUrl(u"https://pay.northwind.example/i/20931"_s), QUrl(u"https://docs.northwind.example/billing"_s),
                    QUrl(u"mailto:billing@northwind.example"_s)};
    shot.customTags = {u"Receipt"_s, u"Work"_s};
    shot.userNotes = u"Reimburse by Friday: attach to the March expense report."_s;
    return shot;
}

Screenshot freshRecording()
{
    Screenshot shot;
    shot.id = QUuid::createUuid();
    shot.filename = u"Screen Recording 2024-03-15 at 16.02.10.mov"_s;
    shot.filePath = u"/home/sam/Desktop/Screenshots/"_s + shot.filename;
    shot.dateCreated = QDateTime(QDate(2024, 3, 15), QTime(16, 2, 10));
    shot.fileSize = 48'913'400;
    return shot;
}

// The store turns down every change to this row's user data, as a full disk
// or a locked file would.
void refuseUserDataWrites(DatabaseManager& database, const QUuid& id)
{
    sqlite3* handle = nullptr;
    sqlite3_open(database.path().toUtf8().constData(), &handle);
    SqliteConnection connection(handle);
    const QByteArray sql = "CREATE TRIGGER refuse BEFORE UPDATE OF custom_tags ON screenshot WHEN OLD.id = '" +
                           uuidText(id).toUtf8() + "' BEGIN SELECT RAISE(ABORT, 'refused'); END;";
    sqliteExec(connection.get(), sql.constData());
}

// Holds the decoding of one file for as long as it lives, so that a preview
// of it stays loading while it is pictured; every other file decodes as ever.
class HeldDecode
{
public:
    explicit HeldDecode(QString path)
        : m_path(std::move(path))
    {}
    ~HeldDecode() { m_gate->release(); }
    HeldDecode(const HeldDecode&) = delete;
    HeldDecode& operator=(const HeldDecode&) = delete;

    FullImageLoader::Decoder decoder() const
    {
        return [gate = m_gate, held = m_path](const QString& path) {
            if (path == held) {
                gate->acquire();
                gate->release();
            }
            return ImageLoader::load(path);
        };
    }

private:
    QString m_path;
    std::shared_ptr<QSemaphore> m_gate = std::make_shared<QSemaphore>();
};

// A preview stepped from a loaded screenshot to `held`, whose decoding is
// under way (the spinner) for as long as `hold` lives.
template <typename Preview>
bool awaitDecoding(render::Shots& shots, Preview& view, const HeldDecode& hold, const Screenshot& held,
                   const QString& picture)
{
    if (!shots.await([&view] { return !view.isLoading(); }, u"the screenshot shown before "_s + picture))
        return false;
    view.imageLoader().setDecoder(hold.decoder());
    view.setScreenshot(held);
    return shots.await([&view] { return view.isLoading() && view.imageLoader().isLoading(); },
                       u"the decoding under way in "_s + picture);
}

// A dark page that lays its panels out in a row.
class Page : public QWidget
{
public:
    Page()
        : m_row(new QHBoxLayout(this))
    {
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, PremiumTheme::background());
        setPalette(palette);
        m_row->setContentsMargins(24, 24, 24, 24);
        m_row->setSpacing(24);
    }
    template <typename Panel>
    Panel* add(Panel* panel, QSize size)
    {
        panel->setParent(this);
        panel->setFixedSize(size);
        m_row->addWidget(panel);
        return panel;
    }

private:
    QHBoxLayout* m_row;
};

// Every service a screen of the preview needs, in a scratch folder.
struct Services
{
    QTemporaryDir scratch;
    Settings settings{scratch.filePath(u"settings.conf"_s)};
    MemoryMonitor memory{std::make_unique<ProcMemorySource>()};
    DatabaseManager database{scratch.filePath(u"Brindlework.sqlite"_s)};
    GalleryServices parts;
    ScreenshotMonitor monitor{parts.with(settings, memory, database)};
};

void renderInspectorStates(Services& services, Page& page, render::Shots& shots)
{
    DatabaseManager& database = services.database;
    const Screenshot receipt = analysedReceipt();
    database.upsert(receipt);
    database.saveUserData(receipt.id, receipt.customTags, receipt.userNotes);
    const Screenshot other = freshRecording();
    database.upsert(other);
    database.saveUserData(other.id, {u"Reading list"_s, u"Recipes"_s, u"Research"_s}, std::nullopt);

    const auto addPanel = [&](const std::optional<Screenshot>& shot) {
        auto* inspector = page.add(new MetadataInspectorView(database, services.monitor), panelSize);
        inspector->setScreenshot(shot);
        return inspector;
    };
    MetadataInspectorView* full = addPanel(receipt);
    MetadataInspectorView* scrolled = addPanel(receipt);
    addPanel(other);
    Screenshot stopped = receipt;
    stopped.id = QUuid::createUuid();
    stopped.ocrText = stopped.ocrText->section(u'\n', 0, 3);
    stopped.detectedUrls = QList<QUrl>();
    stopped.unfinishedReads = 1;
    database.upsert(stopped);
    addPanel(stopped);
    Screenshot unsaved = receipt;
    unsaved.id = QUuid::createUuid();
    database.upsert(unsaved);
    refuseUserDataWrites(database, unsaved.id);
    MetadataInspectorView* failing = addPanel(unsaved);
    addPanel(std::nullopt);
    page.show();

    shots.await([&] { return full->allExistingTags().size() >= 5; }, u"the tags known to the inspector"_s);
    full->tagField()->setText(u"re"_s);
    failing->tagField()->setText(u"Tax 2024"_s);
    failing->addTag();
    QApplication::processEvents();
    auto* scroll = scrolled->findChild<QScrollArea*>();
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    QApplication::processEvents();
}

// A sample folder's screenshots as the library has them after analysis,
// newest first, one every 7 minutes of an afternoon.
QList<Screenshot> sampleLibrary(const QString& folder)
{
    const SampleLibrary::Result written = SampleLibrary::write(SampleLibrary::Options::screenshotsOnly(folder, 14, 7));
    QList<Screenshot> library;
    QDateTime when(QDate(2024, 3, 14), QTime(16, 45));
    for (const SampleLibrary::Entry& entry : written.entries) {
        Screenshot shot(QDir(folder).filePath(entry.relativePath), QUuid::createUuid());
        shot.dateCreated = when;
        shot.ocrText = entry.lines.join(u'\n');
        library.append(shot);
        when = when.addSecs(-7 * 60);
    }
    return library;
}

void hover(MiniGalleryGrid& grid, int index)
{
    const QPointF point = grid.cellRect(index).center() + QPointF(0, 40);
    QMouseEvent move(QEvent::MouseMove, point, grid.viewport()->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &move);
}

void renderMiniGalleryStates(Services& services, Page& page, render::Shots& shots)
{
    QList<Screenshot> library = sampleLibrary(services.scratch.filePath(u"Screenshots"_s));
    // A copy that stopped halfway, which gives no picture.
    QFile whole(library[0].filePath);
    QFile cut(QFileInfo(whole).dir().filePath(u"Screenshot 2024-03-14 at 16.20.00.png"_s));
    if (whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly))
        cut.write(whole.read(whole.size() / 2));
    cut.close();
    Screenshot cutShort(cut.fileName(), QUuid::createUuid());
    cutShort.dateCreated = library[3].dateCreated.addSecs(1);
    library.insert(3, cutShort);
    ScreenshotMonitorTestAccess::setScreenshots(services.monitor, library);
    std::vector<std::unique_ptr<GalleryViewModel>> models;
    const auto addPopup = [&] {
        models.push_back(std::make_unique<GalleryViewModel>(
            services.parts.over(services.monitor, services.database, services.settings)));
        return page.add(new MiniGalleryView(
                            *models.back(), [] {}, [] {}),
                        QSize(450, 500));
    };
    MiniGalleryView* hovered = addPopup();
    MiniGalleryView* copied = addPopup();
    MiniGalleryView* searched = addPopup();
    MiniGalleryView* previewing = addPopup();
    page.show();
    shots.await([&] { return previewing->filteredScreenshots().size() == services.monitor.screenshots().size(); },
                u"the library in the popups"_s);

    hover(*hovered->grid(), 4);
    copied->copyImage(copied->filteredScreenshots().at(1));
    searched->setSearchText(u"quarterly zebra"_s);
    previewing->openQuickPreview(previewing->filteredScreenshots().at(2));
    shots.await([&] { return previewing->quickPreview()->content() != QuickPreviewOverlay::Content::loading; },
                u"the quick preview loaded"_s);
    // Thumbnails arrive from their own threads.
    shots.await(
        [&] {
            for (MiniGalleryView* view : {hovered, copied})
                if (!view->isThumbnailLoadingIdle())
                    return false;
            return true;
        },
        u"the popups' thumbnails"_s);
    QApplication::processEvents();
}

// The files the previews step through: five screenshots of an afternoon,
// a recording, one pictured while it is being decoded, and one cut off
// halfway (a copy that stopped short), which gives no picture.
struct PreviewFiles
{
    QList<Screenshot> shots;
    Screenshot recording;
    Screenshot unfinished;
    Screenshot cutShort;

    // The five screenshots with `shot` third among them.
    QList<Screenshot> with(const Screenshot& shot) const
    {
        QList<Screenshot> list = shots;
        list.insert(2, shot);
        return list;
    }
};

PreviewFiles previewFiles(const QString& folder)
{
    PreviewFiles files;
    static const QStringList apps{u"firefox"_s, u"code"_s, u"org.gnome.Terminal"_s};
    const QList<Screenshot> library = sampleLibrary(folder);
    for (int i = 0; i < 5; ++i) {
        Screenshot shot(library[i].filePath, library[i].id, apps.value(i % 4));
        shot.dateCreated = library[i].dateCreated;
        shot.ocrText = library[i].ocrText;
        files.shots.append(shot);
    }
    const QString recording = QDir(folder).filePath(u"Screen Recording 2024-03-14 at 16.52.07.mov"_s);
    SampleLibrary::writeRecording(recording, QSize(1280, 800), 6.0);
    files.recording = Screenshot(recording, QUuid::createUuid());
    files.recording.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(16, 52, 7));
    files.unfinished = Screenshot(QDir(folder).filePath(u"Screenshot 2024-03-14 at 16.58.31.png"_s),
                                  QUuid::createUuid(), u"firefox"_s);
    files.unfinished.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(16, 58, 31));
    QFile whole(files.shots[3].filePath);
    QFile cut(QDir(folder).filePath(u"Screenshot 2024-03-14 at 17.03.12.png"_s));
    if (whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly))
        cut.write(whole.read(whole.size() / 2));
    cut.close();
    files.cutShort = Screenshot(cut.fileName(), QUuid::createUuid(), u"firefox"_s);
    files.cutShort.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(17, 3, 12));
    return files;
}

// A dark top-level window holding one screen, filling it.
class Stage : public QWidget
{
public:
    explicit Stage(QSize size)
    {
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, PremiumTheme::background());
        setPalette(palette);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        resize(size);
    }
    template <typename Screen>
    Screen* hold(Screen* screen)
    {
        layout()->addWidget(screen);
        show();
        QApplication::processEvents();
        return screen;
    }
};

// The window with an alert of it drawn over it dimmed, a third of the way
// down (as the desktop shows a window-modal alert).
void saveWithAlert(render::Shots& shots, QWidget& window, QWidget& alert, const QString& name)
{
    render::pause(150);
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 90));
    const QPoint at((picture.width() - alert.width()) / 2, (picture.height() - alert.height()) / 3);
    painter.drawPixmap(at, alert.grab());
    painter.end();
    shots.write(picture, name);
}

// The video's picture has come and it has played a little.
bool waitForPlayback(render::Shots& shots, CustomVideoPlayer* player, const QString& picture)
{
    return shots.await([player] { return player && !player->currentFrame().isNull() && player->positionMs() > 700; },
                       u"the recording playing in "_s + picture);
}

void pointerOver(QWidget& widget)
{
    const QPointF middle = QRectF(widget.rect()).center();
    QEnterEvent enter(middle, middle, widget.mapToGlobal(middle));
    QApplication::sendEvent(&widget, &enter);
    QApplication::processEvents();
}

void renderInPlaceStates(Services& services, const PreviewFiles& files, render::Shots& shots)
{
    FakeDesktop desktop;
    MultimediaVideoBackend video;
    const auto show = [&](Stage& stage, const Screenshot& shown, const QList<Screenshot>& all) {
        return stage.hold(new DashboardPreviewView(
            shown, all, [] {}, [](const Screenshot&) {}, [](const Screenshot&) {},
            {desktop, video, services.parts.workers}));
    };
    const QSize size(1100, 720);
    {
        Stage stage(size);
        const HeldDecode hold(files.unfinished.filePath);
        DashboardPreviewView* view = show(stage, files.shots[1], files.with(files.unfinished));
        if (awaitDecoding(shots, *view, hold, files.unfinished, u"preview-in-place-loading.png"_s))
            shots.save(stage, u"preview-in-place-loading.png"_s);
    }
    {
        Stage stage(size);
        const DashboardPreviewView* view = show(stage, files.cutShort, files.with(files.cutShort));
        if (shots.await([view] { return view->isUnreadable(); }, u"the placeholder of a file cut short in place"_s))
            shots.save(stage, u"preview-in-place-unreadable.png"_s);
    }
    for (const bool first : {true, false}) {
        Stage stage(size);
        DashboardPreviewView* view = show(stage, first ? files.shots.first() : files.shots.last(), files.shots);
        const QString name = first ? u"preview-in-place-first.png"_s : u"preview-in-place-last.png"_s;
        if (shots.await([view] { return !view->isLoading(); }, u"the picture of "_s + name))
            shots.save(stage, name);
    }
    {
        Stage stage(size);
        DashboardPreviewView* view = show(stage, files.shots[1], files.shots);
        shots.await([view] { return !view->isLoading(); }, u"the picture of preview-in-place-delete.png"_s);
        view->askToDelete();
        if (shots.reach(view->deleteConfirmation(), u"the in-place preview's delete confirmation"_s)) {
            saveWithAlert(shots, stage, *view->deleteConfirmation(), u"preview-in-place-delete.png"_s);
            view->deleteConfirmation()->reject();
        }
    }
    {
        QList<Screenshot> withRecording = files.shots;
        withRecording.insert(1, files.recording);
        Stage stage(size);
        DashboardPreviewView* view = show(stage, files.recording, withRecording);
        if (waitForPlayback(shots, view->videoPlayer(), u"preview-in-place-video.png"_s)) {
            pointerOver(*view->videoPlayer());
            shots.save(stage, u"preview-in-place-video.png"_s);
        }
    }
}

void renderFullPreviewStates(Services& services, const PreviewFiles& files, render::Shots& shots)
{
    FakeDesktop desktop;
    MultimediaVideoBackend video;
    const auto open = [&](Stage& stage, const Screenshot& shown, const QList<Screenshot>& all) {
        return stage.hold(new ImagePreviewView(
            shown, all, {services.database, services.monitor, desktop, video, services.parts.workers},
            {[](const Screenshot&) {}, [] {}, [](const Screenshot&) {}, [](const Screenshot&) {}}));
    };
    const auto show = [&](Stage& stage, const Screenshot& shown, const QList<Screenshot>& all) {
        ImagePreviewView* view = open(stage, shown, all);
        shots.await([view] { return !view->isLoading(); }, u"the full preview of "_s + shown.filename);
        return view;
    };
    const QSize size(1280, 800);
    {
        Stage stage(size);
        const HeldDecode hold(files.unfinished.filePath);
        ImagePreviewView* view = open(stage, files.shots[1], files.with(files.unfinished));
        if (awaitDecoding(shots, *view, hold, files.unfinished, u"preview-full-loading.png"_s))
            shots.save(stage, u"preview-full-loading.png"_s);
    }
    {
        Stage stage(size);
        const ImagePreviewView* view = open(stage, files.cutShort, files.with(files.cutShort));
        if (shots.await([view] { return view->isUnreadable(); }, u"the placeholder of a file cut short, in full"_s))
            shots.save(stage, u"preview-full-unreadable.png"_s);
    }
    for (const bool first : {true, false}) {
        Stage stage(size);
        show(stage, first ? files.shots.first() : files.shots.last(), files.shots);
        shots.save(stage, first ? u"preview-full-first.png"_s : u"preview-full-last.png"_s);
    }
    {
        Stage stage(size);
        ImagePreviewView* view = show(stage, files.shots[1], files.shots);
        view->askToDelete();
        if (shots.reach(view->deleteConfirmation(), u"the full preview's delete confirmation"_s)) {
            saveWithAlert(shots, stage, *view->deleteConfirmation(), u"preview-full-delete.png"_s);
            view->deleteConfirmation()->reject();
        }
    }
    {
        // Zoomed to 250 % and scrolled towards the picture's upper left: its
        // top edge passes under the top bar.
        Stage stage(size);
        ImagePreviewView* view = show(stage, files.shots[2], files.shots);
        view->setScale(2.5);
        const QPointF middle = QRectF(view->imageArea()).center();
        QWheelEvent scroll(middle, view->mapToGlobal(middle), QPoint(), QPoint(600, 300), Qt::NoButton, Qt::NoModifier,
                           Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &scroll);
        shots.save(stage, u"preview-full-zoomed.png"_s);
    }
}

// Just after "Copy Text", and the notes being typed into.
void renderInspectorActions(Services& services, render::Shots& shots)
{
    const Screenshot receipt = analysedReceipt();
    services.database.upsert(receipt);
    services.database.saveUserData(receipt.id, receipt.customTags, receipt.userNotes);
    Page page;
    auto* copied = page.add(new MetadataInspectorView(services.database, services.monitor), panelSize);
    copied->setScreenshot(receipt);
    auto* editing = page.add(new MetadataInspectorView(services.database, services.monitor), panelSize);
    editing->setScreenshot(receipt);
    page.show();
    QApplication::setActiveWindow(&page);
    shots.await([&] { return page.isActiveWindow(); }, u"the inspectors' window active"_s);
    copied->copyRecognizedText(*receipt.ocrText);
    editing->notesEditor()->setFocus();
    editing->notesEditor()->moveCursor(QTextCursor::End);
    QApplication::processEvents();
    shots.save(page, u"inspector-actions.png"_s);
}

void renderPopupStates(Services& services, const PreviewFiles& files, render::Shots& shots)
{
    {
        GalleryViewModel model(services.parts.over(services.monitor, services.database, services.settings));
        Page page;
        page.add(new MiniGalleryView(
                     model, [] {}, [] {}),
                 QSize(450, 500));
        page.show();
        QApplication::processEvents();
        shots.save(page, u"mini-gallery-empty.png"_s);
    }
    QList<Screenshot> library = files.shots;
    library.prepend(files.recording);
    ScreenshotMonitorTestAccess::setScreenshots(services.monitor, library);
    GalleryViewModel model(services.parts.over(services.monitor, services.database, services.settings));
    Page page;
    MiniGalleryView* popup = page.add(new MiniGalleryView(
                                          model, [] {}, [] {}),
                                      QSize(450, 500));
    page.show();
    shots.await([&] { return popup->filteredScreenshots().size() == library.size(); }, u"the popup's library"_s);
    popup->openQuickPreview(files.recording);
    shots.await([&] { return popup->quickPreview()->content() == QuickPreviewOverlay::Content::video; },
                u"the popup's quick preview of a recording"_s);
    // Its own controls start it; the picture is its still, with the
    // recording's length once the player has read it.
    const auto stillShown = [&] {
        const QuickVideoPlayer* player = popup->quickPreview()->videoPlayer();
        if (!player || player->picture().isNull())
            return false;
        const QMediaPlayer* media = player->player();
        return !media ||
               (media->mediaStatus() != QMediaPlayer::NoMedia && media->mediaStatus() != QMediaPlayer::LoadingMedia);
    };
    if (shots.await(stillShown, u"the still of the recording in the popup's quick preview"_s))
        shots.save(page, u"mini-gallery-recording.png"_s);
}

void renderPreviewStates(render::Shots& shots)
{
    Services services;
    const PreviewFiles files = previewFiles(services.scratch.filePath(u"Screenshots"_s));
    renderInPlaceStates(services, files, shots);
    renderFullPreviewStates(services, files, shots);
    renderInspectorActions(services, shots);
    renderPopupStates(services, files, shots);
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    applyDarkStyle(app);
    if (argc != 2) {
        QTextStream(stderr) << "usage: preview-gallery <inspector.png|mini-gallery.png|output-folder>\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    Motion::setInstant(true);
    if (!output.endsWith(u".png"_s)) {
        render::Shots shots(output);
        renderPreviewStates(shots);
        return shots.finish();
    }

    render::Shots shots(QFileInfo(output).absolutePath());
    Services services;
    Page page;
    if (QFileInfo(output).fileName() == u"mini-gallery.png"_s)
        renderMiniGalleryStates(services, page, shots);
    else
        renderInspectorStates(services, page, shots);
    shots.save(page, QFileInfo(output).fileName());
    return shots.finish();
}
