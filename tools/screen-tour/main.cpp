// screen-tour <output-dir> <folder>
// Runs the application's own window and services, with the user's folder
// choice answered by <folder>, and saves the screens as a new user meets them:
// welcome.png, welcome-confetti.png, processing.png, main.png, then the main
// view at each destination (main-<destination>.png) and the three tabs of the
// settings sheet (settings-<tab>.png); then, from the desktop's tray (when one
// runs), tray.png, tray-processing.png and popup.png. Run it with HOME and the
// XDG folders pointing at a scratch folder: it writes settings.
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "app/BrindleworkApp.h"
#include "app/ContentView.h"
#include "app/MainAppView.h"
#include "app/SettingsView.h"
#include "app/SystemTrayIcon.h"
#include "app/TrayPopup.h"
#include "app/WelcomeActionButton.h"
#include "app/WelcomeView.h"
#include "core/AppEvents.h"
#include "core/AppPreferences.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FolderChooser.h"
#include "support/MonitorTestAccess.h"
#include "ui/AppStyle.h"
#include "ui/SymbolRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMetaEnum>
#include <QScreen>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
class PresetFolderChooser : public FolderChooser
{
public:
    explicit PresetFolderChooser(QString folder)
        : m_folder(std::move(folder))
    {}
    std::optional<QString> chooseFolder(const Request&) override { return m_folder; }

private:
    QString m_folder;
};

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitForScreen(const ContentView& view, ContentView::Screen screen, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (view.currentScreen() != screen && timer.elapsed() < timeoutMs)
        pause(20);
    return view.currentScreen() == screen;
}

bool save(QWidget& window, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    if (!window.grab().save(path)) {
        QTextStream(stderr) << "could not write " << path << "\n";
        return false;
    }
    QTextStream(stdout) << "wrote " << path << "\n";
    return true;
}

// A part of the screen, `scale` times enlarged.
bool saveScreenArea(const QRect& area, int scale, const QString& folder, const QString& name)
{
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (scale > 1)
        shot = shot.scaled(shot.size() * scale, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QString path = QDir(folder).filePath(name);
    if (!shot.save(path)) {
        QTextStream(stderr) << "could not write " << path << "\n";
        return false;
    }
    QTextStream(stdout) << "wrote " << path << "\n";
    return true;
}

// The tray icon idle and busy, then its popup open beside it. Without a tray
// only the popup is saved, opened at the pointer.
bool tourTray(AppDelegate& delegate, AppEvents& events, const QString& output)
{
    delegate.setup();
    TrayIcon& tray = delegate.trayIcon();
    QElapsedTimer timer;
    timer.start();
    while (!(tray.isAvailable() && tray.geometry().isValid()) && timer.elapsed() < 3000)
        pause(50);
    pause(500);
    const QRect icon = tray.geometry();
    bool ok = true;
    if (icon.isValid()) {
        const QRect around = icon.adjusted(-24, -6, 24, 6);
        ok = saveScreenArea(around, 3, output, u"tray.png"_s);
        Q_EMIT events.processingStateChanged(true);
        pause(300);
        ok = ok && saveScreenArea(around, 3, output, u"tray-processing.png"_s);
        Q_EMIT events.processingStateChanged(false);
    } else {
        QTextStream(stderr) << "no system tray: saving the popup alone\n";
    }
    delegate.togglePopover();
    pause(600);
    TrayPopup& popup = *delegate.popup();
    if (icon.isValid())
        ok = ok && saveScreenArea(popup.geometry().united(icon).adjusted(-16, -8, 16, 16), 1, output, u"popup.png"_s);
    else
        ok = ok && save(popup, output, u"popup.png"_s);
    popup.close();
    return ok;
}

// Every destination of the sidebar, once the first collections are in.
bool tourDestinations(QMainWindow& window, MainAppView& main, const QString& output)
{
    for (int i = 0; i < 100 && main.isAnalyzing(); ++i)
        pause(50);
    bool ok = true;
    const QMetaEnum items = QMetaEnum::fromType<MainAppView::SidebarItem>();
    for (int i = 0; i < items.keyCount(); ++i) {
        main.select(MainAppView::SidebarItem(items.value(i)));
        pause(400);
        ok = save(window, output, u"main-%1.png"_s.arg(QString::fromLatin1(items.key(i)))) && ok;
    }
    main.select(MainAppView::SidebarItem::screenshots);
    return ok;
}

bool tourSettings(MainAppView& main, const QString& output)
{
    main.showSettings();
    pause(400);
    QDialog* sheet = main.settingsSheet();
    auto* settings = sheet ? sheet->findChild<SettingsView*>() : nullptr;
    if (!settings)
        return false;
    bool ok = true;
    for (int tab = 0; tab < settings->tabs()->count(); ++tab) {
        settings->tabs()->setCurrentIndex(tab);
        pause(200);
        // The database tab after a rescan, saying when it finished.
        if (settings->tabs()->currentWidget()->isAncestorOf(settings->rescanButton())) {
            settings->rescanButton()->click();
            for (int waited = 0;
                 waited < 5000 && !settings->rescanStatusLabel()->text().startsWith(u"Rescan finished"_s);
                 waited += 100)
                pause(100);
        }
        ok = save(*sheet, output, u"settings-%1.png"_s.arg(settings->tabs()->tabText(tab).toLower())) && ok;
    }
    sheet->close();
    return ok;
}

// A first run part-way through, as the monitor publishes it.
void showFirstRunInProgress(ScreenshotMonitor& monitor)
{
    ScreenshotMonitorTestAccess::publishProgress(monitor, {.isProcessingBlocking = true,
                                                           .totalToProcess = 120,
                                                           .processedCount = 45,
                                                           .currentBatchNumber = 12,
                                                           .totalBatches = 30,
                                                           .value = 45.0 / 120.0,
                                                           .isUnderMemoryPressure = true});
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Glimmerdeck"_s);
    QApplication::setOrganizationName(u"Brindlework"_s);
    if (argc != 3) {
        QTextStream(stderr) << "usage: screen-tour <output-dir> <folder>\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString folder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(output);
    applyDarkStyle(application);

    AppServices services(AppServices::Options{});
    ScreenshotMonitor& monitor = services.monitor();
    BrindleworkApp app(services);
    AppDelegate delegate(app, monitor, std::make_unique<SystemTrayIcon>());
    monitor.setFolderChooser(std::make_unique<PresetFolderChooser>(folder));
    QMainWindow& window = app.dashboardWindow();
    ContentView& content = app.contentView();
    app.activateDashboard();

    bool ok = waitForScreen(content, ContentView::Screen::welcome, 2000);
    pause(1500); // the card's entrance
    ok = ok && save(window, output, u"welcome.png"_s);

    if (auto* welcome = qobject_cast<WelcomeView*>(content.currentWidget()))
        welcome->actionButton()->click();
    pause(450);
    ok = ok && save(window, output, u"welcome-confetti.png"_s);

    // The sample folder's own first run may hold the processing screen for a
    // while on a busy machine; the main view follows when it ends.
    ok = ok && waitForScreen(content, ContentView::Screen::main, WelcomeView::completionDelayMs + 60000);
    showFirstRunInProgress(monitor);
    ok = ok && waitForScreen(content, ContentView::Screen::processing, 2000);
    pause(1200);
    ok = ok && save(window, output, u"processing.png"_s);

    ScreenshotMonitorTestAccess::publishProgress(monitor, {.isProcessingBlocking = false});
    ok = ok && waitForScreen(content, ContentView::Screen::main, 2000);
    pause(800);
    ok = ok && save(window, output, u"main.png"_s);
    ok = ok && tourTray(delegate, services.events(), output);

    auto* main = qobject_cast<MainAppView*>(content.currentWidget());
    ok = ok && main && tourDestinations(window, *main, output);
    ok = ok && main && tourSettings(*main, output);

    if (!SymbolRegistry::unknownRequests().isEmpty()) {
        QTextStream(stderr) << "unknown symbols: " << SymbolRegistry::unknownRequests().join(u", ") << "\n";
        return 1;
    }
    if (!ok)
        QTextStream(stderr) << "the tour did not reach every screen\n";
    return ok ? 0 : 1;
}
