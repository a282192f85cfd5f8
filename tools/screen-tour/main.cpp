// screen-tour <output-dir> <folder> [--tray]
// Runs the application's own window and services, with the user's folder
// choice answered by <folder>, and saves the screens as a new user meets them:
// welcome.png, welcome-confetti.png, processing.png (the first run under way)
// and processing-memory-pressure.png (the same run paused for memory), then
// main.png, the main view at each destination (main-<destination>.png) and
// with the pointer on a sidebar row (main-sidebar-hover.png), and the three
// tabs of the settings sheet (settings-<tab>.png); then, from the desktop's
// tray (when one runs), tray.png, tray-processing.png, popup.png, then after
// a Force Scan the notice saying it finished (tray-notice.png, where the
// desktop has no notification service of its own) and tray-menu.png. With --tray a tray runs or is starting, and
// the tour waits for it; without, it pictures the tray only when one is there. Every state is waited for, however
// long a busy machine takes; one that does not come (or is stuck for minutes) is named and the tour fails. Run it
// with HOME and the XDG folders pointing at a scratch folder: it writes settings.
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
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ScreenshotMonitor.h"
#include "ingest/ServiceAnalyzer.h"
#include "platform/FolderChooser.h"
#include "preview/MiniGalleryView.h"
#include "render/Shots.h"
#include "spacesaver/SpaceSaverView.h"
#include "support/OneFolderChooser.h"
#include "ui/AppStyle.h"
#include "ui/ConfettiView.h"
#include "ui/StoreProblemBanner.h"

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
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
using render::animationsSettled;
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

// The real analyses, with a gate the tour closes to hold a run part-way:
// batches on a quiet machine come faster than the progress bar's animation
// ends, so a run left alone never stands still long enough to be pictured.
class GatedAnalyzer : public FileAnalyzer
{
public:
    GatedAnalyzer()
        : m_real(m_embedding, Workers::AnalysisSizes{}, nullptr)
    {}

    // Files after the first `files` wait at the gate until it opens.
    void closeAfter(int files)
    {
        const std::lock_guard lock(m_mutex);
        m_passes = files;
    }
    void open()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_passes = -1;
        }
        m_opened.notify_all();
    }

    std::optional<QString> recognizeText(const QString& filePath) override { return m_real.recognizeText(filePath); }
    QList<QUrl> extractUrls(const QString& text) override { return m_real.extractUrls(text); }
    QStringList labels(const QString& filePath) override { return m_real.labels(filePath); }
    std::optional<QList<double>> embedding(const QString& text) override { return m_real.embedding(text); }
    Sight look(const QString& filePath, std::stop_token stop, const TimeBudget& budget) override
    {
        {
            std::unique_lock lock(m_mutex);
            if (m_passes > 0)
                --m_passes;
            else
                m_opened.wait(lock, stop, [this] { return m_passes != 0; });
        }
        return m_real.look(filePath, stop, budget);
    }
    void releaseModels() override { m_real.releaseModels(); }

private:
    EmbeddingService m_embedding;
    ServiceAnalyzer m_real;
    std::mutex m_mutex;
    std::condition_variable_any m_opened;
    int m_passes = -1; // -1: open
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

// The desktop shows `window`: mapped and exposed, so a grab of the screen
// finds it there.
bool onScreen(const QWidget& window)
{
    return window.isVisible() && window.windowHandle() && window.windowHandle()->isExposed();
}

// The tray draws something at `area`: not one flat colour.
bool drawnAt(const QRect& area)
{
    const QImage shot =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixel(x, y) != shot.pixel(0, 0))
                return true;
    return false;
}

// The burst is mid-fall: three in four of its pieces inside the window.
bool confettiFalling(const QWidget& welcome)
{
    const auto* confetti = welcome.findChild<ConfettiView*>();
    if (!confetti || !confetti->isRunning())
        return false;
    const auto& pieces = confetti->particles();
    return std::count_if(pieces.cbegin(), pieces.cend(), [](const ConfettiParticle& piece) { return piece.y > 0; }) >=
           ConfettiView::burstSize * 3 / 4;
}

// The welcome screen, its confetti, and the first run on the processing
// screen: under way, then paused for memory. Memory is short from the click
// on, so the run waits before its first batch until the tour is looking.
bool tourFirstRun(Tour& tour, QMainWindow& window, ContentView& content, ScreenshotMonitor& monitor, TourMemory& memory,
                  GatedAnalyzer& gate)
{
    if (!tour.reach(waitForScreen(content, ContentView::Screen::welcome), u"the welcome screen"_s))
        return false;
    auto* welcome = qobject_cast<WelcomeView*>(content.currentWidget());
    if (!tour.reach(welcome != nullptr, u"the welcome screen's button"_s))
        return false;
    if (tour.await([&] { return welcome->entranceProgress() >= 1.0 && animationsSettled(window); },
                   u"the welcome card's entrance"_s))
        tour.save(window, u"welcome.png"_s);

    memory.setShort(true);
    welcome->actionButton()->click();
    // The confetti falls for as long as the welcome screen stays.
    if (tour.awaitWhile([&] { return confettiFalling(*welcome); },
                        [&] { return content.currentScreen() == ContentView::Screen::welcome; },
                        u"the confetti mid-fall"_s))
        tour.saveNow(window, u"welcome-confetti.png"_s);

    if (!tour.reach(waitForScreen(content, ContentView::Screen::processing), u"the processing screen"_s) ||
        !tour.reach(waitFor([&] { return monitor.isUnderMemoryPressure(); }),
                    u"the first run waiting for memory before it starts"_s))
        return false;
    // The first batch goes through; the next waits at the gate while the
    // screen is pictured.
    gate.closeAfter(Workers::batchFiles);
    memory.setShort(false);
    if (!tour.reach(waitFor([&] { return monitor.processedCount() > 0 && !monitor.isUnderMemoryPressure(); }),
                    u"the first run under way"_s)) {
        gate.open();
        return false;
    }
    const auto processing = [&] { return content.currentScreen() == ContentView::Screen::processing; };
    // The bar at the count reached, while the run goes on.
    const bool underWay = tour.awaitWhile([&] { return processing() && animationsSettled(window); }, processing,
                                          u"the processing screen mid-run"_s);
    if (underWay)
        tour.saveNow(window, u"processing.png"_s);

    // Short again: the run pauses before its next batch.
    memory.setShort(true);
    gate.open();
    const bool paused = waitFor([&] { return monitor.isUnderMemoryPressure() || !monitor.isProcessingBlocking(); }) &&
                        monitor.isUnderMemoryPressure();
    const auto* notice = window.findChild<QWidget*>(u"memoryPressure"_s);
    if (tour.reach(paused, u"the first run paused mid-way for memory"_s) &&
        tour.await([&] { return notice && notice->isVisible() && animationsSettled(window); },
                   u"the notice of the pause for memory"_s))
        tour.save(window, u"processing-memory-pressure.png"_s);
    memory.setShort(false);
    // The rest of the run: many files on a busy machine, each in its turn.
    if (!tour.reach(render::waitWhileAdvancing([&] { return content.currentScreen() == ContentView::Screen::main; },
                                               [&] { return monitor.processedCount(); }),
                    u"the main view after the first run"_s))
        return false;
    if (tour.awaitStill(window, u"the main view's entrance"_s))
        tour.save(window, u"main.png"_s);
    return underWay && paused;
}

// The icon's place in the tray, once the tray has taken it and drawn it.
// Without a tray expected, whatever the desktop has right now.
QRect trayIconPlace(Tour& tour, TrayIcon& tray, bool trayExpected)
{
    const auto placed = [&] { return tray.isAvailable() && tray.geometry().isValid(); };
    if (!trayExpected)
        return placed() ? tray.geometry() : QRect();
    if (!tour.await(placed, u"the icon in the desktop's tray"_s) ||
        !tour.await([&] { return drawnAt(tray.geometry()); }, u"the icon drawn in the tray"_s))
        return {};
    return tray.geometry();
}

// The popup's grid with its screenshots and their thumbnails.
bool popupFilled(const TrayPopup& popup)
{
    const auto* gallery = popup.findChild<MiniGalleryView*>();
    return onScreen(popup) && gallery && !gallery->isFiltering() && !gallery->filteredScreenshots().isEmpty() &&
           gallery->isThumbnailLoadingIdle() && animationsSettled(popup);
}

// The tray icon idle and busy, its popup open beside it, then its menu.
// Without a tray the popup and the menu are saved alone.
void tourTray(Tour& tour, AppDelegate& delegate, AppEvents& events, bool trayExpected)
{
    delegate.setup();
    TrayIcon& tray = delegate.trayIcon();
    const QRect icon = trayIconPlace(tour, tray, trayExpected);
    if (icon.isValid()) {
        const QRect around = icon.adjusted(-24, -6, 24, 6);
        const QImage idle =
            QGuiApplication::primaryScreen()->grabWindow(0, icon.x(), icon.y(), icon.width(), icon.height()).toImage();
        saveScreenArea(tour, around, 3, u"tray.png"_s);
        Q_EMIT events.processingStateChanged(true);
        if (tour.await(
                [&] {
                    return QGuiApplication::primaryScreen()
                               ->grabWindow(0, icon.x(), icon.y(), icon.width(), icon.height())
                               .toImage() != idle;
                },
                u"the busy icon drawn in the tray"_s))
            saveScreenArea(tour, around, 3, u"tray-processing.png"_s);
        Q_EMIT events.processingStateChanged(false);
    } else if (!trayExpected) {
        QTextStream(stderr) << "no system tray: saving the popup and the menu alone\n";
    }
    delegate.togglePopover();
    TrayPopup* popup = delegate.popup();
    if (tour.reach(popup && waitFor([&] { return popupFilled(*popup); }), u"the tray popup with its thumbnails"_s)) {
        pause(150); // the paint that the screen's grab finds
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
        // A tray that embeds the icon has the notice drawn beside it by the
        // application; a desktop with its own notification service shows it.
        QWidget* notice = nullptr;
        const auto noticeShown = [&] {
            const auto windows = QApplication::topLevelWidgets();
            const auto found = std::find_if(windows.cbegin(), windows.cend(), [](QWidget* window) {
                return window->inherits("QBalloonTip") && onScreen(*window);
            });
            notice = found == windows.cend() ? nullptr : *found;
            return notice != nullptr;
        };
        const bool expected = trayExpected && icon.isValid();
        if (expected ? tour.await(noticeShown, u"the notice of the finished scan"_s) : noticeShown()) {
            pause(150); // the paint that the screen's grab finds
            saveScreenArea(tour, notice->geometry().adjusted(-8, -8, 8, 8), 1, u"tray-notice.png"_s);
        }
    }
    delegate.showMenu();
    QMenu* menu = delegate.menu();
    if (tour.reach(menu && waitFor([&] { return onScreen(*menu); }), u"the tray menu"_s)) {
        pause(150); // the paint that the screen's grab finds
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
        const auto item = MainAppView::SidebarItem(items.value(i));
        const QString destination = QString::fromLatin1(items.key(i));
        main.select(item);
        bool still = tour.awaitStill(window, u"the slide to "_s + destination);
        // The space saver counts the library when it shows, then springs
        // its gauge and bars to the figures: pictured before, they
        // contradict the numbers printed beside them.
        if (still && item == MainAppView::SidebarItem::spaceSaver) {
            const auto* saver = window.findChild<SpaceSaverView*>();
            still = tour.await(
                [&] { return saver && saver->isVisible() && saver->figuresAtRest() && animationsSettled(window); },
                u"the space saver's gauge and bars at their figures"_s);
        }
        if (still)
            tour.save(window, u"main-%1.png"_s.arg(destination));
    }
    main.select(MainAppView::SidebarItem::screenshots);
    SidebarButton* row = main.sidebarButton(MainAppView::SidebarItem::quickLinks);
    if (tour.reach(row != nullptr, u"the sidebar's rows"_s)) {
        row->setHovered(true);
        if (tour.awaitStill(window, u"the hovered row's spring"_s))
            tour.save(window, u"main-sidebar-hover.png"_s);
        row->setHovered(false);
    }
}

void tourSettings(Tour& tour, QMainWindow& window, MainAppView& main)
{
    main.showSettings();
    QDialog* sheet = main.settingsSheet();
    auto* settings = sheet ? sheet->findChild<SettingsView*>() : nullptr;
    if (!tour.reach(settings && waitFor([&] { return onScreen(*sheet) && animationsSettled(*sheet); }),
                    u"the settings sheet"_s))
        return;
    for (int tab = 0; tab < settings->tabs()->count(); ++tab) {
        settings->tabs()->setCurrentIndex(tab);
        tour.awaitStill(*sheet, u"the settings tab "_s + settings->tabs()->tabText(tab));
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

// The strip a damaged library file leaves across the window: set aside, then
// what was carried over from it and what its limits left out.
void tourStoreBanner(Tour& tour, QMainWindow& window, StoreHealth& health)
{
    const QString setAside = QDir::homePath() + u"/.local/share/Brindlework/Brindlework.sqlite.damaged-1"_s;
    health.recordSetAside(setAside);
    const auto* banner = window.findChild<StoreProblemBanner*>();
    if (tour.await([&] { return banner && banner->isVisible() && !banner->text().isEmpty(); },
                   u"the banner of a library file set aside"_s) &&
        tour.awaitStill(window, u"the banner's entrance"_s))
        tour.save(window, u"main-library-set-aside.png"_s);
    health.recordUserDataCarried(12, 3, false);
    if (tour.await([&] { return banner->text().contains(u"left out"_s); },
                   u"the banner's count of what was carried"_s) &&
        tour.awaitStill(window, u"the banner's new words"_s))
        tour.save(window, u"main-library-set-aside-carried.png"_s);
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Glimmerdeck"_s);
    QApplication::setOrganizationName(u"Brindlework"_s);
    const bool trayExpected = argc == 4 && QByteArrayView(argv[3]) == "--tray";
    if (argc != 3 && !trayExpected) {
        QTextStream(stderr) << "usage: screen-tour <output-dir> <folder> [--tray]\n";
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
    auto gate = std::make_shared<GatedAnalyzer>();
    AppServices services(AppServices::Options{.memorySource = std::move(memorySource), .analyzer = gate});
    ScreenshotMonitor& monitor = services.monitor();
    BrindleworkApp app(services);
    AppDelegate delegate(app, monitor, std::make_unique<SystemTrayIcon>());
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    QMainWindow& window = app.dashboardWindow();
    ContentView& content = app.contentView();
    app.activateDashboard();

    Tour tour(output);
    if (tourFirstRun(tour, window, content, monitor, memory, *gate)) {
        tourTray(tour, delegate, services.events(), trayExpected);
        auto* main = qobject_cast<MainAppView*>(content.currentWidget());
        if (tour.reach(main != nullptr, u"the main view"_s)) {
            tourDestinations(tour, window, *main);
            tourSettings(tour, window, *main);
            tourStoreBanner(tour, window, services.store().health());
        }
    }

    return tour.finish();
}
