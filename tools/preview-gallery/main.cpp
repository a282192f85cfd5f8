// preview-gallery <output.png>
// Renders the metadata inspector in its states, each as the gallery docks it
// (320 wide), side by side: a full record with the tag suggestions open, the
// same scrolled to its end, a record not yet analysed, one whose save failed,
// and no record at all.
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/ProcMemorySource.h"
#include "core/Screenshot.h"
#include "core/Settings.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/Uuid.h"
#include "ingest/ScreenshotMonitor.h"
#include "preview/MetadataInspectorView.h"
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

void waitUntil(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    applyDarkStyle(app);
    if (argc != 2) {
        QTextStream(stderr) << "usage: preview-gallery <output.png>\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    Motion::setInstant(true);

    QTemporaryDir scratch;
    Settings settings(scratch.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    ScreenshotMonitor monitor(settings, memory);
    DatabaseManager database(scratch.filePath(u"Brindlework.sqlite"_s));

    const Screenshot receipt = analysedReceipt();
    database.upsert(receipt);
    database.saveUserData(receipt.id, receipt.customTags, receipt.userNotes);
    const Screenshot other = freshRecording();
    database.upsert(other);
    database.saveUserData(other.id, {u"Reading list"_s, u"Recipes"_s, u"Research"_s}, std::nullopt);

    QWidget page;
    page.setAutoFillBackground(true);
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, PremiumTheme::background());
    page.setPalette(palette);
    auto* row = new QHBoxLayout(&page);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(24);
    const auto addPanel = [&](const std::optional<Screenshot>& shot) {
        auto* inspector = new MetadataInspectorView(database, monitor, &page);
        inspector->setFixedSize(panelSize);
        inspector->setScreenshot(shot);
        row->addWidget(inspector);
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
