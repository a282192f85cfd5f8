#include "app/BrindleworkApp.h"

#include "app/AppServices.h"
#include "app/ContentView.h"
#include "app/SettingsView.h"
#include "core/AppEvents.h"
#include "core/DatabaseManager.h"
#include "core/Logger.h"
#include "core/Settings.h"
#include "core/Uuid.h"
#include "platform/SingleInstance.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QAction>
#include <QEvent>
#include <QMainWindow>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

BrindleworkApp::BrindleworkApp(AppServices& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_window(std::make_unique<QMainWindow>())
    , m_contentView(new ContentView(services))
{
    // Native decorations: the desktop's window manager keeps moving, snapping
    // and tiling the window; the dark palette colours everything inside it.
    m_window->setObjectName(windowIdentifier);
    m_window->setWindowTitle(u"Glimmerdeck"_s);
    m_window->setWindowIcon(SymbolRegistry::icon(u"photo.stack"_s, PremiumTheme::primary()));
    m_window->setCentralWidget(m_contentView);
    restoreWindowGeometry();
    m_geometrySave.setSingleShot(true);
    m_geometrySave.setInterval(500);
    connect(&m_geometrySave, &QTimer::timeout, this, &BrindleworkApp::saveWindowGeometry);
    m_window->installEventFilter(this);

    auto* openSettings = new QAction(u"Settings"_s, m_window.get());
    openSettings->setShortcut(QKeySequence(u"Ctrl+,"_s));
    openSettings->setShortcutContext(Qt::WindowShortcut);
    connect(openSettings, &QAction::triggered, this, &BrindleworkApp::showSettings);
    m_window->addAction(openSettings);
}

BrindleworkApp::~BrindleworkApp()
{
    m_window->removeEventFilter(this);
    if (m_window->isVisible() || m_geometrySave.isActive())
        saveWindowGeometry();
}

bool BrindleworkApp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window.get()) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowStateChange:
            if (m_window->isVisible())
                m_geometrySave.start();
            break;
        case QEvent::Hide:
            // Closing only hides the window: its place is kept now.
            saveWindowGeometry();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void BrindleworkApp::restoreWindowGeometry()
{
    const QByteArray stored = m_services.settings().value(windowGeometryKey).toByteArray();
    // Qt moves a window whose screen is gone onto one that is there.
    if (stored.isEmpty() || !m_window->restoreGeometry(stored))
        m_window->resize(defaultWindowSize);
}

void BrindleworkApp::saveWindowGeometry()
{
    m_geometrySave.stop();
    m_services.settings().setValue(windowGeometryKey, m_window->saveGeometry());
}

void BrindleworkApp::activateDashboard()
{
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void BrindleworkApp::showSettings()
{
    if (!m_settingsWindow) {
        auto* view = new SettingsView(m_services.preferences(), m_services.monitor(), m_services.store());
        view->setWindowTitle(u"Settings"_s);
        view->setWindowIcon(m_window->windowIcon());
        view->setFixedSize(view->sizeHint());
        connect(view, &SettingsView::dismissRequested, view, &QWidget::close);
        m_settingsWindow.reset(view);
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void BrindleworkApp::listenForLaterLaunches(SingleInstance& instance)
{
    connect(&instance, &SingleInstance::argumentsReceived, this, &BrindleworkApp::handleArguments);
}

bool BrindleworkApp::isAppLink(const QString& argument)
{
    return argument.startsWith(urlScheme + u':', Qt::CaseInsensitive);
}

void BrindleworkApp::handleArguments(const QStringList& arguments)
{
    QStringList links;
    for (const QString& argument : arguments.mid(1))
        if (isAppLink(argument))
            links.append(argument);
    if (links.isEmpty()) {
        Q_EMIT reopenRequested();
        return;
    }
    for (const QString& link : links)
        openLink(link);
}

void BrindleworkApp::openLink(const QString& link)
{
    const std::optional<QString> id = screenshotIdFromLink(link);
    if (!id) {
        Logger::log(LogLevel::warning, u"Spotlight"_s, u"Ignored a link without a valid screenshot id"_s,
                    {{u"link"_s, link.left(200)}});
        return;
    }
    activateDashboard();
    Q_EMIT m_services.events().openScreenshot({{u"id"_s, *id}});
}

std::optional<QString> BrindleworkApp::screenshotIdFromLink(const QString& link)
{
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != urlScheme || url.host() != u"open"_s || !url.userInfo().isEmpty() ||
        url.port() != -1 || !(url.path().isEmpty() || url.path() == u"/"_s) || url.hasFragment())
        return std::nullopt;
    const QUrlQuery query(url);
    const QStringList ids = query.allQueryItemValues(u"id"_s, QUrl::FullyDecoded);
    if (ids.size() != 1 || query.queryItems().size() != 1)
        return std::nullopt;
    const std::optional<QUuid> id = parseUuid(ids.constFirst());
    if (!id)
        return std::nullopt;
    return uuidText(*id);
}
