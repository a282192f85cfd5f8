#include "app/AppDelegate.h"

#include "app/AppServices.h"
#include "app/BrindleworkApp.h"
#include "app/TrayPopup.h"
#include "core/AppEvents.h"
#include "core/AppPreferences.h"
#include "core/Clock.h"
#include "core/Console.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "platform/TaskbarPresence.h"
#include "preview/MiniGalleryView.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

AppDelegate::AppDelegate(BrindleworkApp& app, ScreenshotMonitor& monitor, std::unique_ptr<TrayIcon> trayIcon,
                         QObject* parent)
    : QObject(parent)
    , m_app(app)
    , m_monitor(monitor)
    , m_trayIcon(std::move(trayIcon))
    , m_taskbarPresence(new TaskbarPresence(app.dashboardWindow()))
{
    app.dashboardWindow().installEventFilter(this);
    // Decided before the window first shows, so it never flashes in the taskbar.
    m_taskbarPresence->setShownInTaskbar(app.services().preferences().showInDock());
    connect(m_trayIcon.get(), &TrayIcon::clicked, this, &AppDelegate::handleClick);
    connect(&app, &BrindleworkApp::reopenRequested, this, &AppDelegate::handleReopen);
    connect(&m_monitor, &ScreenshotMonitor::scanFinished, this, [this] {
        if (m_isScanPending)
            finishScan();
    });
}

AppDelegate::~AppDelegate()
{
    m_app.dashboardWindow().removeEventFilter(this);
    delete m_taskbarPresence;
}

void AppDelegate::setup()
{
    if (m_isSetUp)
        return;
    m_isSetUp = true;
    // The program lives on in the tray when its last window goes; a close
    // without a tray ends it explicitly (handleDashboardClose).
    QGuiApplication::setQuitOnLastWindowClosed(false);
    setupStatusItem();
    setupPopover();
    AppPreferences& preferences = m_app.services().preferences();
    connect(&preferences, &AppPreferences::dockPolicyApplied, m_taskbarPresence, &TaskbarPresence::setShownInTaskbar);
    preferences.applyDockPolicy();
}

void AppDelegate::setupStatusItem()
{
    // The monitor may already be busy with the first load.
    updateStatusIcon(m_monitor.isProcessing());
    setupMenu();
    connect(&m_app.services().events(), &AppEvents::processingStateChanged, this, &AppDelegate::updateStatusIcon);
    m_trayIcon->show();
}

void AppDelegate::updateStatusIcon(bool isProcessing)
{
    if (isProcessing)
        m_trayIcon->setSymbol(processingSymbol, processingDescription);
    else
        m_trayIcon->setSymbol(idleSymbol, idleDescription);
}

void AppDelegate::setupPopover()
{
    m_popupViewModel = std::make_unique<GalleryViewModel>(m_app.services().galleryServices());
    QPointer<AppDelegate> self(this);
    auto* gallery = new MiniGalleryView(
        *m_popupViewModel,
        [self] {
            if (self)
                self->m_popup->close();
            if (self)
                self->activateDashboard();
        },
        [self] {
            if (self)
                self->quitApp();
        });
    m_popup = std::make_unique<TrayPopup>(gallery);
}

void AppDelegate::setupMenu()
{
    m_menu = std::make_unique<QMenu>();
    m_menu->setObjectName(u"trayMenu"_s);
    m_menu->addAction(u"Open Dashboard"_s, QKeySequence(Qt::CTRL | Qt::Key_O), this, &AppDelegate::activateDashboard);
    m_menu->addSeparator();
    m_menu->addAction(u"Force Scan"_s, QKeySequence(Qt::CTRL | Qt::Key_R), this, &AppDelegate::forceScan);
    m_menu->addSeparator();
    m_menu->addAction(u"Quit"_s, QKeySequence(Qt::CTRL | Qt::Key_Q), this, &AppDelegate::quitApp);
}

void AppDelegate::handleClick(TrayIcon::Button button, Qt::KeyboardModifiers modifiers)
{
    if (button == TrayIcon::Button::right || modifiers.testFlag(Qt::ControlModifier))
        showMenu();
    else
        togglePopover();
}

void AppDelegate::togglePopover()
{
    if (!m_popup)
        return;
    if (m_popup->isVisible()) {
        m_popup->close();
        return;
    }
    m_trayIcon->withdrawMessage();
    m_popup->showNear(m_trayIcon->geometry());
}

void AppDelegate::showMenu()
{
    if (!m_menu)
        return;
    if (m_popup)
        m_popup->close();
    const QRect anchor = m_trayIcon->geometry();
    const QPoint cursor = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(anchor.isValid() ? anchor.center() : cursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    m_trayIcon->withdrawMessage();
    m_menu->popup(TrayPopup::placement(anchor, cursor, available, m_menu->sizeHint()));
}

void AppDelegate::activateDashboard()
{
    Console::printLine(u"🔓 Activating Dashboard Window"_s);
    m_app.activateDashboard();
}

void AppDelegate::handleReopen()
{
    const QMainWindow& window = m_app.dashboardWindow();
    if (window.isVisible() && !window.isMinimized())
        return;
    activateDashboard();
}

void AppDelegate::forceScan()
{
    m_isScanPending = true;
    setScanStatus(u"Scanning…"_s);
    // Starting an active monitor does nothing at all; the user asked for a look now.
    if (m_monitor.isMonitoringActive())
        m_monitor.forceChangeCheck();
    else
        m_monitor.startMonitoring();
    // The start runs on the next turn of the event loop, this check after it:
    // a monitor with no chosen folder, or one it cannot read, looks at nothing.
    QTimer::singleShot(0, this, [this] {
        if (m_isScanPending && !(m_monitor.isMonitoringActive() && m_monitor.hasFileAccess()))
            finishScan();
    });
}

void AppDelegate::finishScan()
{
    m_isScanPending = false;
    const QString time = Clock::now().toString(u"HH:mm:ss"_s);
    if (!m_monitor.isMonitoringActive()) {
        setScanStatus(u"Nothing scanned at %1: no folder chosen"_s.arg(time));
        m_trayIcon->showMessage(u"Nothing to scan"_s, u"Open the dashboard to choose a screenshot folder."_s);
    } else if (!m_monitor.hasFileAccess()) {
        setScanStatus(u"Nothing scanned at %1: the folder cannot be read"_s.arg(time));
        m_trayIcon->showMessage(u"Nothing to scan"_s, u"The folder cannot be read: "_s + m_monitor.monitoredPath());
    } else {
        setScanStatus(u"Last scan finished at %1"_s.arg(time));
        m_trayIcon->showMessage(u"Scan finished"_s, u"Looked for new screenshots at %1."_s.arg(time));
    }
}

void AppDelegate::setScanStatus(const QString& text)
{
    m_scanStatus = text;
    m_trayIcon->setStatus(text);
}

void AppDelegate::quitApp()
{
    m_isQuitting = true;
    if (m_popup)
        m_popup->close();
    QCoreApplication::quit();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_app.dashboardWindow() && event->type() == QEvent::Close)
        return handleDashboardClose(event);
    return QObject::eventFilter(watched, event);
}

bool AppDelegate::handleDashboardClose(QEvent* event)
{
    if (m_isQuitting)
        return false;
    if (m_trayIcon->isAvailable()) {
        // Hidden, not closed: the tray brings the same window back.
        event->ignore();
        m_app.dashboardWindow().hide();
        return true;
    }
    // Nothing would be left to bring the program back, so closing ends it.
    // The close goes through first; the quit follows on the next turn.
    m_isQuitting = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    return false;
}
