#include "core/AppPreferences.h"

#include "core/Console.h"
#include "core/GuiThread.h"
#include "core/Settings.h"

#include <QPointer>

using namespace Qt::StringLiterals;

AppPreferences::AppPreferences(Settings& settings, std::unique_ptr<LoginItemService> loginItem, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_loginItem(std::move(loginItem))
    , m_showInDock(settings.boolValue(showInDockKey, true))
    , m_launchAtLogin(settings.boolValue(launchAtLoginKey, false))
{}

AppPreferences::~AppPreferences() = default;

void AppPreferences::setLoginItemService(std::unique_ptr<LoginItemService> loginItem)
{
    m_loginItem = std::move(loginItem);
}

void AppPreferences::setShowInDock(bool showInDock)
{
    m_showInDock = showInDock;
    emit showInDockChanged(showInDock);
    m_settings.setValue(showInDockKey, showInDock);
    applyDockPolicy();
}

void AppPreferences::setLaunchAtLogin(bool launchAtLogin)
{
    m_launchAtLogin = launchAtLogin;
    emit launchAtLoginChanged(launchAtLogin);
    m_settings.setValue(launchAtLoginKey, launchAtLogin);
    updateLaunchAtLogin();
}

void AppPreferences::applyDockPolicy()
{
    // Reads the value when it runs, so quick toggles end on the last choice.
    runOnThreadOf(this, [this] { emit dockPolicyApplied(m_showInDock); });
}

void AppPreferences::updateLaunchAtLogin()
{
    if (!m_loginItem)
        return;
    QString error;
    if (!m_loginItem->setRegistered(m_launchAtLogin, error))
        Console::printLine(u"Failed to update Launch at Login: "_s + error);
}
