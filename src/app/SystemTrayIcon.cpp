#include "app/SystemTrayIcon.h"

#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QGuiApplication>

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
