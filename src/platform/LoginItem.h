#pragma once

#include "core/AppPreferences.h"

#include <QString>

// Starts the program at login the freedesktop way: a desktop entry in
// $XDG_CONFIG_HOME/autostart that the session runs when the user logs in.
class LoginItem : public AppPreferences::LoginItemService
{
public:
    // `executable` is what the entry starts; by default the running program.
    explicit LoginItem(QString executable = {});

    bool setRegistered(bool registered, QString& error) override;
    bool isRegistered() const;

    // $XDG_CONFIG_HOME/autostart/org.brindlework.Glimmerdeck.desktop
    static QString desktopFilePath();
    static QByteArray desktopEntry(const QString& executable);
    // The program as one Exec= argument, quoted and escaped when it needs to be.
    static QString execArgument(const QString& executable);

private:
    bool writeEntry(QString& error) const;
    bool removeEntry(QString& error) const;

    QString m_executable;
};
