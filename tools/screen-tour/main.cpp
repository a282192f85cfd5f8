// screen-tour <output-dir> <folder>
// Runs the application's own window and services, with the user's folder
// choice answered by <folder>, and saves the screens as a new user meets them:
// welcome.png, welcome-confetti.png, processing.png (the first run under way)
// and processing-memory-pressure.png (the same run paused for memory), then
// main.png, the main view at each destination (main-<destination>.png) and
// with the pointer on a sidebar row (main-sidebar-hover.png), and the three
// tabs of the settings sheet (settings-<tab>.png); then, from the desktop's
// tray (when one runs), tray.png, tray-processing.png, popup.png, then after
// a Force Scan the notice saying it finished (tray-notice.png, where the
// desktop has no notification service of its own) and tray-menu.png. Every state is waited for, up to a minute on a
// busy machine; one that does not come is named and the tour fails. Run it with HOME and the XDG folders pointing at a
// scratch folder: it writes settings.
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "app/BrindleworkApp.h"
#include "app/ContentView.h"
#include "app/MainAppView.h"
#include "app/SettingsView.h"
#include "app/SidebarButton.h"
#include "app/SystemTrayIcon.h"
#include "app/TrayPopup.h"
#include "app/WelcomeActionButton.h"
#include "app/WelcomeView.h"
#include "core/AppEvents.h"
#include "core/AppPreferences.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FolderChooser.h"
#include "render/Shots.h"
#include "support/OneFolderChooser.h"
#include "ui/AppStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMetaEnum>
#include <QPainter>
#include <QScreen>
#include <QTabWidget>
#include <QTextStream>

#include <atomic>
#include <functional>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
using render::pause;
using render::waitFor;
using Tour = render::Shots;

// The machine's memory as the tour wants it: ample, or short, so the first
// run pauses where the tour can look at it.
class TourMemory : public MemoryMonitor::Source
{
public:
    void setShort(bool value) { m_short = value; }
    double residentMB() override { return 150; }
    std::optional<qint64> availableBytes() override { return m_short ? qint64(100) << 20 : qint64(8) << 30; }
    qint64 physicalBytes() override { return qint64(16) << 30; }

private:
    std::atomic<bool> m_short = false;
};

// A part of the screen, `scale` times enlarged.
bool saveScreenArea(Tour& tour, const QRect& area, int scale, const QString& name)
{
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (scale > 1)
        shot = shot.scaled(shot.size() * scale, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return tour.write(shot, name);
}

bool waitForScreen(const ContentView& view, ContentView::Screen screen)
{
    return waitFor([&] { return view.currentScreen() == screen; });
}

// The welcome screen, its confetti, and the first run on the processing
// screen: under way, then paused for memory. Memory is short from the click
// on, so the run waits before its first batch until the tour is looking.
bool tourFirstRun(Tour& tour, QMainWindow& window, ContentView& content, ScreenshotMonitor& monitor, TourMemory& memory)
{
    if (!tour.reach(waitForScreen(content, ContentView::Screen::welcome), u"the welcome screen"_s))
        return false;
    pause(1500); // the card's entrance
    tour.save(window, u"welcome.png"_s);

    memory.setShort(true);
    auto* welcome = qobject_cast<WelcomeView*>(content.currentWidget());
    if (!tour.reach(welcome != nullptr, u"the welcome screen's button"_s))
        return false;
    welcome->actionButton()->click();
    pause(450);
    tour.save(window, u"welcome-confetti.png"_s);

    if (!tour.reach(waitForScreen(content, ContentView::Screen::processing), u"the processing screen"_s) ||
        !tour.reach(waitFor([&] { return monitor.isUnderMemoryPressure(); }),
                    u"the first run waiting for memory before it starts"_s))
        return false;
    memory.setShort(false);
    if (!tour.reach(waitFor([&] { return monitor.processedCount() > 0 && !monitor.isUnderMemoryPressure(); }),
                    u"the first run under way"_s))
        return false;
    pause(300); // the bar catches up
    const bool underWay = content.currentScreen() == ContentView::Screen::processing;
    if (tour.reach(underWay, u"the processing screen mid-run"_s))
        tour.saveNow(window, u"processing.png"_s);

    // Short again: the run pauses before its next batch.
    memory.setShort(true);
    const bool paused = waitFor([&] { return monitor.isUnderMemoryPressure() || !monitor.isProcessingBlocking(); }) &&
                        monitor.isUnderMemoryPressure();
    if (tour.reach(paused, u"the first run paused mid-way for memory"_s)) {
        pause(600); // the notice's fade
        tour.save(window, u"processing-memory-pressure.png"_s);
    }
    memory.setShort(false);
    if (!tour.reach(waitForScreen(content, ContentView::Screen::main), u"the main view after the first run"_s))
        return false;
    pause(800);
    tour.save(window, u"main.png"_s);
    return underWay && paused;
}

// The tray icon idle and busy, its popup open beside it, then its menu.
// Without a tray the popup and the menu are saved alone.
void tourTray(Tour& tour, AppDelegate& delegate, AppEvents& events)
{
    delegate.setup();
    TrayIcon& tray = delegate.trayIcon();
    waitFor([&] { return tray.isAvailable() && tray.geometry().isValid(); }, 3000);
    pause(500);
    const QRect icon = tray.geometry();
    if (icon.isValid()) {
        const QRect around = icon.adjusted(-24, -6, 24, 6);
        saveScreenArea(tour, around, 3, u"tray.png"_s);
        Q_EMIT events.processingStateChanged(true);
        pause(300);
        saveScreenArea(tour, around, 3, u"tray-processing.png"_s);
        Q_EMIT events.processingStateChanged(false);
    } else {
        QTextStream(stderr) << "no system tray: saving the popup and the menu alone\n";
    }
    delegate.togglePopover();
    TrayPopup* popup = delegate.popup();
    if (tour.reach(popup && waitFor([&] { return popup->isVisible(); }), u"the tray popup"_s)) {
        pause(600);
        if (icon.isValid())
            saveScreenArea(tour, popup->geometry().united(icon).adjusted(-16, -8, 16, 16), 1, u"popup.png"_s);
        else
            tour.save(*popup, u"popup.png"_s);
        popup->close();
    }

    // The menu as it is after a Force Scan: its entries where they always are.
    delegate.forceScan();
    if (tour.reach(waitFor([&] { return delegate.scanStatus().startsWith(u"Last scan finished"_s); }),
                   u"the end of the Force Scan"_s)) {
        pause(300);
        for (QWidget* notice : QApplication::topLevelWidgets())
            if (notice->inherits("QBalloonTip") && notice->isVisible())
                saveScreenArea(tour, notice->geometry().adjusted(-8, -8, 8, 8), 1, u"tray-notice.png"_s);
    }
    delegate.showMenu();
    QMenu* menu = delegate.menu();
    if (tour.reach(menu && waitFor([&] { return menu->isVisible(); }), u"the tray menu"_s)) {
        pause(300);
        if (icon.isValid())
            saveScreenArea(tour, menu->geometry().united(icon).adjusted(-16, -8, 16, 16), 1, u"tray-menu.png"_s);
        else
            tour.save(*menu, u"tray-menu.png"_s);
        menu->close();
    }
}

// Every destination of the sidebar once the first collections are in, and a
// row under the pointer.
void tourDestinations(Tour& tour, QMainWindow& window, MainAppView& main)
{
    tour.reach(waitFor([&] { return !main.isAnalyzing(); }), u"the main view's first collections"_s);
    const QMetaEnum items = QMetaEnum::fromType<MainAppView::SidebarItem>();
    for (int i = 0; i < items.keyCount(); ++i) {
        main.select(MainAppView::SidebarItem(items.value(i)));
        pause(400);
        tour.save(window, u"main-%1.png"_s.arg(QString::fromLatin1(items.key(i))));
    }
    main.select(MainAppView::SidebarItem::screenshots);
    SidebarButton* row = main.sidebarButton(MainAppView::SidebarItem::quickLinks);
    if (tour.reach(row != nullptr, u"the sidebar's rows"_s)) {
        row->setHovered(true);
        pause(600); // the spring settles
        tour.save(window, u"main-sidebar-hover.png"_s);
        row->setHovered(false);
    }
}

void tourSettings(Tour& tour, QMainWindow& window, MainAppView& main)
{
    main.showSettings();
    QDialog* sheet = main.settingsSheet();
    auto* settings = sheet ? sheet->findChild<SettingsView*>() : nullptr;
    if (!tour.reach(settings && waitFor([&] { return sheet->isVisible(); }), u"the settings sheet"_s))
        return;
    pause(400);
    for (int tab = 0; tab < settings->tabs()->count(); ++tab) {
        settings->tabs()->setCurrentIndex(tab);
        pause(200);
        // The database tab after a rescan, saying when it finished.
        if (settings->tabs()->currentWidget()->isAncestorOf(settings->rescanButton())) {
            settings->rescanButton()->click();
            tour.reach(waitFor([&] { return settings->rescanStatusLabel()->text().startsWith(u"Rescan finished"_s); }),
                       u"the end of the quick links' rescan"_s);
        }
        tour.saveWith(window, *sheet, u"settings-%1.png"_s.arg(settings->tabs()->tabText(tab).toLower()));
    }
    sheet->close();
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
    // The tour writes settings and a database and watches a folder: never in
    // the home of the person running it.
    if (const passwd* account = getpwuid(getuid());
        account &&
        QDir(QDir::homePath()).canonicalPath() == QDir(QString::fromLocal8Bit(account->pw_dir)).canonicalPath()) {
        QTextStream(stderr) << "screen-tour: HOME is your real home; run it with HOME and the XDG folders in a scratch "
                               "folder (scripts/screenshots does)\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString folder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(output);
    applyDarkStyle(application);

    auto memorySource = std::make_unique<TourMemory>();
    TourMemory& memory = *memorySource;
    AppServices services(AppServices::Options{.memorySource = std::move(memorySource)});
    ScreenshotMonitor& monitor = services.monitor();
    BrindleworkApp app(services);
    AppDelegate delegate(app, monitor, std::make_unique<SystemTrayIcon>());
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    QMainWindow& window = app.dashboardWindow();
    ContentView& content = app.contentView();
    app.activateDashboard();

    Tour tour(output);
    if (tourFirstRun(tour, window, content, monitor, memory)) {
        tourTray(tour, delegate, services.events());
        auto* main = qobject_cast<MainAppView*>(content.currentWidget());
        if (tour.reach(main != nullptr, u"the main view"_s)) {
            tourDestinations(tour, window, *main);
            tourSettings(tour, window, *main);
        }
    }

    return tour.finish();
}
