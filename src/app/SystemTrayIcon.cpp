#include "app/SystemTrayIcon.h"

#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

using namespace Qt::StringLiterals;

SystemTrayIcon::SystemTrayIcon(QObject* parent)
    : TrayIcon(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &SystemTrayIcon::handleActivation);
}

bool SystemTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::show()
{
    m_icon.show();
}

void SystemTrayIcon::setSymbol(const QString& symbolName, const QString& accessibleDescription)
{
    m_icon.setIcon(SymbolRegistry::icon(symbolName, PremiumTheme::primary()));
    m_description = accessibleDescription;
    updateToolTip();
}

void SystemTrayIcon::setStatus(const QString& status)
{
    m_status = status;
    updateToolTip();
}

void SystemTrayIcon::updateToolTip()
{
    m_icon.setToolTip(m_status.isEmpty() ? m_description : m_description + u'\n' + m_status);
}

QRect SystemTrayIcon::geometry() const
{
    return m_icon.geometry();
}

void SystemTrayIcon::showMessage(const QString& title, const QString& body)
{
    m_icon.showMessage(title, body, SymbolRegistry::icon(u"photo.stack"_s, PremiumTheme::primary()), 5000);
}

// Where the desktop has no notification service, Qt draws the notice as a
// window of its own beside the icon, and it stays for its whole time: a menu
// opened there would leave a cut piece of it showing. A notification
// service's notice is the service's to take away.
void SystemTrayIcon::withdrawMessage()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QBalloonTip") && window->isVisible())
            window->close();
}

void SystemTrayIcon::handleActivation(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        Q_EMIT clicked(Button::left, QGuiApplication::keyboardModifiers());
        break;
    case QSystemTrayIcon::Context:
        Q_EMIT clicked(Button::right, QGuiApplication::keyboardModifiers());
        break;
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        // A double click already came as a click; toggling again would undo it.
        break;
    }
}
