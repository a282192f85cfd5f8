// preview-gallery <output.png>
// Renders states of the preview screens side by side into one PNG, chosen by
// the file's name:
// - inspector.png: the metadata inspector as the gallery docks it (320 wide):
//   a full record with the tag suggestions open, the same scrolled to its
//   end, a record not yet analysed, one whose save failed, and no record;
// - mini-gallery.png: the tray popup (450 by 500) with a hovered cell, just
//   after a copy, searched without results, and with the quick preview open.
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/ProcMemorySource.h"
#include "core/Screenshot.h"
#include "core/Settings.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/Uuid.h"
#include "generators/SampleLibrary.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "preview/MetadataInspectorView.h"
#include "preview/MiniGalleryGrid.h"
#include "preview/MiniGalleryView.h"
#include "preview/QuickPreviewOverlay.h"
#include "support/GalleryServices.h"
#include "support/MonitorTestAccess.h"
#include "ui/AppStyle.h"
#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUuid>

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

bool waitUntil(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
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

void renderInspectorStates(Services& services, Page& page)
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
    Screenshot unsaved = receipt;
    unsaved.id = QUuid::createUuid();
    database.upsert(unsaved);
    refuseUserDataWrites(database, unsaved.id);
    MetadataInspectorView* failing = addPanel(unsaved);
    addPanel(std::nullopt);
    page.show();

    waitUntil([&] { return full->allExistingTags().size() >= 5; });
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

void renderMiniGalleryStates(Services& services, Page& page)
{
    ScreenshotMonitorTestAccess::setScreenshots(services.monitor,
                                                sampleLibrary(services.scratch.filePath(u"Screenshots"_s)));
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
    waitUntil([&] { return previewing->filteredScreenshots().size() == services.monitor.screenshots().size(); });

    hover(*hovered->grid(), 4);
    copied->copyImage(copied->filteredScreenshots().at(1));
    searched->setSearchText(u"quarterly zebra"_s);
    previewing->openQuickPreview(previewing->filteredScreenshots().at(2));
    waitUntil([&] { return previewing->quickPreview()->content() != QuickPreviewOverlay::Content::loading; });
    // Thumbnails arrive from their own threads.
    waitUntil([&] {
        for (MiniGalleryView* view : {hovered, copied})
            if (!view->isThumbnailLoadingIdle())
                return false;
        return true;
    });
    QApplication::processEvents();
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    applyDarkStyle(app);
    if (argc != 2) {
        QTextStream(stderr) << "usage: preview-gallery <inspector.png|mini-gallery.png>\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    Motion::setInstant(true);

    Services services;
    Page page;
    if (QFileInfo(output).fileName() == u"mini-gallery.png"_s)
        renderMiniGalleryStates(services, page);
    else
        renderInspectorStates(services, page);

    QDir().mkpath(QFileInfo(output).absolutePath());
    if (!page.grab().save(output)) {
        QTextStream(stderr) << "could not write " << output << "\n";
        return 1;
    }
    if (!SymbolRegistry::unknownRequests().isEmpty()) {
        QTextStream(stderr) << "unknown symbols: " << SymbolRegistry::unknownRequests().join(u", ") << "\n";
        return 1;
    }
    QTextStream(stdout) << "wrote " << output << "\n";
    return 0;
}
