#include "FakeTrayIcon.h"
#include "ScreenFixture.h"

#include "app/AppDelegate.h"
#include "app/BrindleworkApp.h"
#include "app/TrayPopup.h"
#include "core/AppEvents.h"
#include "core/AppPreferences.h"
#include "library/GalleryViewModel.h"
#include "platform/TaskbarPresence.h"
#include "preview/MiniGalleryView.h"
#include "support/Wait.h"
#include "ui/SymbolRegistry.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTime>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
class AppDelegateTest : public ScreenFixture
{
protected:
    AppDelegateTest()
    {
        m_app = std::make_unique<BrindleworkApp>(services());
        auto tray = std::make_unique<FakeTrayIcon>();
        m_tray = tray.get();
        m_delegate = std::make_unique<AppDelegate>(*m_app, *m_monitor, std::move(tray));
    }

    ~AppDelegateTest() override
    {
        if (QMenu* menu = m_delegate->menu())
            menu->close();
        m_delegate.reset();
        m_app.reset();
    }

    QMainWindow& window() const { return m_app->dashboardWindow(); }
    TrayPopup& popup() const { return *m_delegate->popup(); }
    QMenu& menu() const { return *m_delegate->menu(); }

    QAction* menuItem(const QString& title) const
    {
        for (QAction* action : menu().actions())
            if (action->text() == title)
                return action;
        ADD_FAILURE() << "no menu item " << title.toStdString();
        return nullptr;
    }

    // Runs the program's event loop after `action`; whether the program
    // ended by itself within a few seconds.
    static bool quitsAfter(const std::function<void()>& action)
    {
        bool timedOut = false;
        QTimer::singleShot(0, action);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            QCoreApplication::exit(1);
        });
        watchdog.start(5000);
        QCoreApplication::exec();
        return !timedOut;
    }

    std::unique_ptr<BrindleworkApp> m_app;
    FakeTrayIcon* m_tray = nullptr;
    std::unique_ptr<AppDelegate> m_delegate;
};

QRect screenArea()
{
    return {0, 0, 1920, 1080};
}
} // namespace

TEST_F(AppDelegateTest, TheTrayIconFollowsTheProcessingState)
{
    m_delegate->setup();
    EXPECT_TRUE(m_tray->shown);
    EXPECT_EQ(m_tray->symbol, u"photo.stack"_s);
    EXPECT_EQ(m_tray->description, u"Glimmerdeck"_s);

    Q_EMIT services().events().processingStateChanged(true);
    EXPECT_EQ(m_tray->symbol, u"arrow.triangle.2.circlepath"_s);
    EXPECT_EQ(m_tray->description, u"Processing"_s);

    Q_EMIT services().events().processingStateChanged(false);
    EXPECT_EQ(m_tray->symbol, u"photo.stack"_s);
    EXPECT_EQ(m_tray->description, u"Glimmerdeck"_s);

    EXPECT_TRUE(SymbolRegistry::contains(AppDelegate::idleSymbol));
    EXPECT_TRUE(SymbolRegistry::contains(AppDelegate::processingSymbol));
}

TEST_F(AppDelegateTest, ALaunchDuringProcessingStartsWithTheProcessingIcon)
{
    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.isProcessing = true});
    m_delegate->setup();
    EXPECT_EQ(m_tray->symbol, u"arrow.triangle.2.circlepath"_s);
}

TEST_F(AppDelegateTest, ClicksBeforeLaunchSetUpDoNothing)
{
    m_tray->click(TrayIcon::Button::left);
    m_tray->click(TrayIcon::Button::right);
    EXPECT_EQ(m_delegate->popup(), nullptr);
    EXPECT_EQ(m_delegate->menu(), nullptr);
}

TEST_F(AppDelegateTest, ALeftClickTogglesThePopupOverItsOwnGalleryModel)
{
    m_delegate->setup();
    m_tray->click(TrayIcon::Button::left);
    ASSERT_TRUE(popup().isVisible());
    EXPECT_EQ(popup().size(), QSize(450, 500));
    EXPECT_TRUE(popup().windowFlags().testFlag(Qt::Popup)) << "closes on a click outside it";

    auto* gallery = qobject_cast<MiniGalleryView*>(popup().content());
    ASSERT_NE(gallery, nullptr);
    EXPECT_EQ(&gallery->viewModel(), m_delegate->popupViewModel());
    EXPECT_EQ(&gallery->viewModel().library(), m_monitor);

    m_tray->click(TrayIcon::Button::left);
    EXPECT_FALSE(popup().isVisible());
    m_tray->click(TrayIcon::Button::left);
    EXPECT_TRUE(popup().isVisible());
}

TEST_F(AppDelegateTest, ARightClickOrCtrlClickShowsTheMenuAndLeftClicksStillReachThePopup)
{
    m_delegate->setup();
    m_tray->click(TrayIcon::Button::right);
    ASSERT_TRUE(menu().isVisible());
    EXPECT_FALSE(popup().isVisible());

    QStringList titles;
    QStringList shortcuts;
    for (const QAction* action : menu().actions()) {
        titles.append(action->isSeparator() ? u"-"_s : action->text());
        shortcuts.append(action->shortcut().toString(QKeySequence::PortableText));
    }
    EXPECT_EQ(titles, (QStringList{u"Open Dashboard"_s, u"-"_s, u"Force Scan"_s, u"-"_s, u"Quit"_s}));
    EXPECT_EQ(shortcuts, (QStringList{u"Ctrl+O"_s, u""_s, u"Ctrl+R"_s, u""_s, u"Ctrl+Q"_s}));

    menu().close();
    m_tray->click(TrayIcon::Button::left, Qt::ControlModifier);
    EXPECT_TRUE(menu().isVisible());
    EXPECT_FALSE(popup().isVisible());

    menu().close();
    m_tray->click(TrayIcon::Button::left);
    EXPECT_TRUE(popup().isVisible());
    EXPECT_FALSE(menu().isVisible());
}

TEST_F(AppDelegateTest, OpenDashboardShowsRestoresAndRaisesTheSameWindow)
{
    m_delegate->setup();
    QMainWindow* const before = &window();

    window().hide();
    menuItem(u"Open Dashboard"_s)->trigger();
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(m_console.contains(u"🔓 Activating Dashboard Window"_s));

    window().showMinimized();
    menuItem(u"Open Dashboard"_s)->trigger();
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(window().windowState().testFlag(Qt::WindowMinimized));
    EXPECT_EQ(&window(), before);
}

TEST_F(AppDelegateTest, ALaterPlainLaunchBringsBackOnlyADashboardThatIsNotShown)
{
    m_delegate->setup();
    const QString line = u"🔓 Activating Dashboard Window"_s;
    for (const bool minimised : {false, true}) {
        SCOPED_TRACE(minimised ? "minimised" : "hidden");
        if (minimised)
            window().showMinimized();
        else
            window().hide();
        m_console.clear();
        m_app->handleArguments({u"glimmerdeck"_s});
        EXPECT_TRUE(window().isVisible());
        EXPECT_FALSE(window().isMinimized());
        EXPECT_EQ(m_console.matching(line).size(), 1);
    }

    // Shown already: nothing at all, not even the line.
    m_console.clear();
    m_app->handleArguments({u"glimmerdeck"_s});
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(m_console.contains(line));
}

TEST_F(AppDelegateTest, ThePopupsOpenDashboardClosesThePopupFirst)
{
    m_delegate->setup();
    window().hide();
    m_tray->click(TrayIcon::Button::left);
    auto* gallery = qobject_cast<MiniGalleryView*>(popup().content());
    ASSERT_NE(gallery, nullptr);

    gallery->openDashboardButton()->click();
    EXPECT_FALSE(popup().isVisible());
    EXPECT_TRUE(window().isVisible());
}

TEST_F(AppDelegateTest, ClosingTheDashboardHidesItWhileTheTrayCanBringItBack)
{
    m_delegate->setup();
    m_app->activateDashboard();
    EXPECT_FALSE(window().close());
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());

    m_tray->click(TrayIcon::Button::right);
    menuItem(u"Open Dashboard"_s)->trigger();
    EXPECT_TRUE(window().isVisible());
}

TEST_F(AppDelegateTest, QuitEndsTheProgramWhetherTheDashboardIsShownOrHidden)
{
    m_delegate->setup();
    m_app->activateDashboard();
    // Quitting asks every window to close; the hide-on-close must not refuse.
    EXPECT_TRUE(quitsAfter([&] { menuItem(u"Quit"_s)->trigger(); }));
}

TEST_F(AppDelegateTest, QuitEndsTheProgramWithTheDashboardHidden)
{
    m_delegate->setup();
    m_app->activateDashboard();
    window().close();
    ASSERT_FALSE(window().isVisible());
    EXPECT_TRUE(quitsAfter([&] { menuItem(u"Quit"_s)->trigger(); }));
}

TEST_F(AppDelegateTest, ThePopupsQuitEndsTheProgram)
{
    m_delegate->setup();
    m_tray->click(TrayIcon::Button::left);
    auto* gallery = qobject_cast<MiniGalleryView*>(popup().content());
    ASSERT_NE(gallery, nullptr);
    EXPECT_TRUE(quitsAfter([&] { gallery->quitButton()->click(); }));
    EXPECT_FALSE(popup().isVisible());
}

TEST_F(AppDelegateTest, WithoutATrayClosingTheDashboardEndsTheProgram)
{
    m_tray->available = false;
    m_delegate->setup();
    m_app->activateDashboard();
    EXPECT_TRUE(quitsAfter([&] { window().close(); }));
    EXPECT_FALSE(window().isVisible());
}

TEST_F(AppDelegateTest, ForceScanStartsAStoppedMonitor)
{
    grantFolder();
    ASSERT_TRUE(waitUntil([&] { return m_monitor->isPolling(); }));
    m_monitor->stopMonitoring();
    m_delegate->setup();
    ASSERT_FALSE(m_monitor->isMonitoringActive());
    m_tray->click(TrayIcon::Button::right);
    menuItem(u"Force Scan"_s)->trigger();
    EXPECT_TRUE(waitUntil([&] { return m_monitor->isMonitoringActive(); }));
}

TEST_F(AppDelegateTest, ForceScanNeverStartsAFolderTheUserDidNotChoose)
{
    // The readable folder the settings name, never chosen; then chosen and
    // given up again (the processing screen's Cancel resets this way).
    settings().setValue(ScreenshotMonitor::monitoredPathKey, m_folder);
    m_delegate.reset();
    m_app.reset();
    makeMonitor();
    m_app = std::make_unique<BrindleworkApp>(services());
    auto tray = std::make_unique<FakeTrayIcon>();
    m_tray = tray.get();
    m_delegate = std::make_unique<AppDelegate>(*m_app, *m_monitor, std::move(tray));
    m_delegate->setup();
    ASSERT_EQ(m_monitor->monitoredPath(), m_folder);
    for (const char* when : {"never chosen", "after a reset"}) {
        SCOPED_TRACE(when);
        if (std::string_view(when) == "after a reset") {
            grantFolder();
            ASSERT_TRUE(waitUntil([&] { return m_monitor->isPolling(); }));
            m_monitor->forgetFolder();
        }
        m_console.clear();
        menuItem(u"Force Scan"_s)->trigger();
        drainPostedEvents();
        EXPECT_FALSE(m_monitor->isMonitoringActive());
        EXPECT_FALSE(m_monitor->isPolling());
        EXPECT_FALSE(m_monitor->hasFileAccess());
        EXPECT_FALSE(m_console.contains(u"📸 Loading screenshot library..."_s));
        // The user still learns that nothing was scanned, and why.
        ASSERT_FALSE(m_tray->messages.isEmpty());
        EXPECT_EQ(m_tray->messages.takeLast(), u"Nothing to scan: Open the dashboard to choose a screenshot folder."_s);
        EXPECT_TRUE(m_tray->status.endsWith(u": no folder chosen"_s));
    }
}

namespace {
// What the menu shows, in order, separators as "-".
QStringList entriesOf(const QMenu& menu)
{
    QStringList entries;
    for (const QAction* action : menu.actions())
        entries.append(action->isSeparator() ? u"-"_s : action->text());
    return entries;
}
} // namespace

// The menu keeps its three entries where they always are (a click at Quit's
// place must reach Quit); the icon's tooltip says when the look ended.
TEST_F(AppDelegateTest, ForceScanSaysWhenItsLookAtTheFolderEnded)
{
    grantFolder();
    ASSERT_TRUE(waitUntil([&] { return m_monitor->isPolling(); }));
    m_delegate->setup();
    const QStringList entries{u"Open Dashboard"_s, u"-"_s, u"Force Scan"_s, u"-"_s, u"Quit"_s};
    ASSERT_EQ(entriesOf(menu()), entries);
    menu().popup({100, 100});
    const QRect quitPlace = menu().actionGeometry(menuItem(u"Quit"_s));
    menu().close();
    EXPECT_TRUE(m_tray->status.isEmpty());

    // Running, then stopped and started again by the scan: both end with the time.
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "running" : "stopped");
        if (!running)
            m_monitor->stopMonitoring();
        m_tray->messages.clear();
        menuItem(u"Force Scan"_s)->trigger();
        EXPECT_EQ(m_tray->status, u"Scanning…"_s);
        ASSERT_TRUE(waitUntil([&] { return m_tray->status.startsWith(u"Last scan finished at "_s); }));
        EXPECT_TRUE(QTime::fromString(m_tray->status.section(u' ', -1), u"HH:mm:ss"_s).isValid());
        EXPECT_EQ(m_delegate->scanStatus(), m_tray->status);
        ASSERT_EQ(m_tray->messages.size(), 1);
        EXPECT_TRUE(m_tray->messages.first().startsWith(u"Scan finished: "_s));

        EXPECT_EQ(entriesOf(menu()), entries);
        m_delegate->showMenu();
        ASSERT_TRUE(waitUntil([&] { return menu().isVisible(); }));
        EXPECT_EQ(menu().actionAt(quitPlace.center()), menuItem(u"Quit"_s));
        menu().close();
    }
}

// The notice that a scan finished is taken back when the icon's menu or its
// popup opens at the same place: no piece of it stays beside them.
TEST_F(AppDelegateTest, TheMenuAndThePopupTakeBackTheNoticeOfTheScan)
{
    grantFolder();
    ASSERT_TRUE(waitUntil([&] { return m_monitor->isPolling(); }));
    m_delegate->setup();
    for (const TrayIcon::Button button : {TrayIcon::Button::right, TrayIcon::Button::left}) {
        SCOPED_TRACE(button == TrayIcon::Button::right ? "menu" : "popup");
        m_delegate->forceScan();
        ASSERT_TRUE(waitUntil([&] { return m_tray->messageShown; }));
        m_tray->click(button);
        EXPECT_TRUE(menu().isVisible() || popup().isVisible());
        EXPECT_FALSE(m_tray->messageShown);
        menu().close();
        popup().close();
    }
}

TEST_F(AppDelegateTest, ForceScanOfARunningMonitorLooksForNewFilesAtOnce)
{
    grantFolder();
    ASSERT_TRUE(waitUntil([&] { return m_monitor->isMonitoringActive(); }));
    // No poll falls due during the test, so only the forced scan can find the file.
    m_monitor->setPollingInterval(10 * 60 * 1000);
    m_delegate->setup();
    // Running: the start's load of the folder has ended, and the GUI thread
    // has heard so, however long a busy machine took. A scan forced while the
    // load runs leaves the folder to it and looks again at the next poll.
    services().workers().fileQueue().sync([] {});
    drainPostedEvents();
    m_console.clear();

    QImage pixel(4, 4, QImage::Format_RGB32);
    pixel.fill(Qt::red);
    ASSERT_TRUE(pixel.save(m_folder + u"/new.png"_s));
    const ChangeScanner& scanner = ScreenshotMonitorTestAccess::scanner(*m_monitor);
    const quint64 checksBefore = scanner.checksEnded();
    m_delegate->forceScan();
    // The forced check has ended: its walk was handed back and applied.
    ASSERT_TRUE(waitUntil([&] { return scanner.checksEnded() > checksBefore; }, 30000));
    const QList<Screenshot>& list = m_monitor->screenshots();
    EXPECT_TRUE(std::any_of(list.begin(), list.end(), [](const Screenshot& s) { return s.filename == u"new.png"_s; }));
    EXPECT_FALSE(m_console.contains(u"already active"_s)) << m_console.lines().join(u'\n').toStdString();
    EXPECT_FALSE(m_console.contains(u"Starting file monitoring"_s));
    EXPECT_TRUE(m_monitor->isMonitoringActive());
}

TEST_F(AppDelegateTest, TheDockPolicyDecidesWhetherTheDashboardIsInTheTaskbar)
{
    m_delegate->setup();
    services().preferences().setShowInDock(false);
    EXPECT_TRUE(waitUntil([&] { return !m_delegate->taskbarPresence().isShownInTaskbar(); }));

    services().preferences().setShowInDock(true);
    EXPECT_TRUE(waitUntil([&] { return m_delegate->taskbarPresence().isShownInTaskbar(); }));
}

TEST_F(AppDelegateTest, ADashboardKeptOutOfTheTaskbarIsOutBeforeItFirstShows)
{
    services().preferences().setShowInDock(false);
    drainPostedEvents();
    AppDelegate delegate(*m_app, *m_monitor, std::make_unique<FakeTrayIcon>());
    EXPECT_FALSE(delegate.taskbarPresence().isShownInTaskbar());
}

TEST(TrayPopupPlacement, OpensUnderAnIconAtTheTopAndAboveOneAtTheBottom)
{
    const QSize size = TrayPopup::popupSize;
    const QPoint underTop = TrayPopup::placement({900, 0, 24, 24}, {}, screenArea(), size);
    EXPECT_NEAR(underTop.x() + 225, 912, 1) << "centred on the icon";
    EXPECT_EQ(underTop.y(), 24 + TrayPopup::anchorGap);

    const QPoint aboveBottom = TrayPopup::placement({900, 1056, 24, 24}, {}, screenArea(), size);
    EXPECT_EQ(aboveBottom.x(), underTop.x());
    EXPECT_EQ(aboveBottom.y(), 1056 - TrayPopup::anchorGap - 500);
}

TEST(TrayPopupPlacement, StaysOnScreenBesideAnIconInACorner)
{
    const QPoint corner = TrayPopup::placement({1896, 0, 24, 24}, {}, screenArea(), TrayPopup::popupSize);
    EXPECT_EQ(corner, QPoint(1920 - 450, 24 + TrayPopup::anchorGap));

    // A panel on a second screen to the right: coordinates do not start at 0.
    const QRect second(1920, 0, 1280, 1024);
    const QPoint left = TrayPopup::placement({1920, 1000, 24, 24}, {}, second, TrayPopup::popupSize);
    EXPECT_EQ(left, QPoint(1920, 1000 - TrayPopup::anchorGap - 500));
}

TEST(TrayPopupPlacement, WithoutAnIconOpensAtThePointerAndFlipsAtTheEdges)
{
    const QSize size = TrayPopup::popupSize;
    EXPECT_EQ(TrayPopup::placement({}, {100, 100}, screenArea(), size), QPoint(100, 100));
    EXPECT_EQ(TrayPopup::placement({}, {1900, 1070}, screenArea(), size), QPoint(1900 - 450, 1070 - 500));
    // Too close to both sides for either way: pushed back inside.
    EXPECT_EQ(TrayPopup::placement({}, {300, 300}, {0, 0, 600, 600}, size), QPoint(0, 0));
}
