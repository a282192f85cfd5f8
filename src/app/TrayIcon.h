#pragma once

#include <QObject>
#include <QRect>
#include <QString>

// The application's icon in the desktop's system tray. The real one wraps
// QSystemTrayIcon; tests drive a fake, since no tray exists without a display.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    enum class Button { left, right };
    Q_ENUM(Button)

    using QObject::QObject;

    // Whether the desktop shows tray icons right now. It may change while
    // the program runs (a panel started after login).
    virtual bool isAvailable() const = 0;
    // Asks for the icon to be shown, now or as soon as a tray appears.
    virtual void show() = 0;
    // The symbol drawn in the tray and the text a screen reader (and the
    // tooltip) gives for it.
    virtual void setSymbol(const QString& symbolName, const QString& accessibleDescription) = 0;
    // A line of state under the description in the tooltip; none when empty.
    virtual void setStatus(const QString& status) = 0;
    // The icon's place on the screen; empty when the tray does not tell.
    virtual QRect geometry() const = 0;
    // A short notice beside the tray (the desktop's notification), for what
    // the user asked for from the tray and cannot otherwise see end.
    virtual void showMessage(const QString& title, const QString& body) = 0;
    // Takes back a notice still beside the tray, before a menu or popup of
    // the icon opens over that place; nothing when none is shown.
    virtual void withdrawMessage() = 0;

signals:
    // A click on the icon, with the keyboard modifiers held at the time.
    void clicked(TrayIcon::Button button, Qt::KeyboardModifiers modifiers);
};
