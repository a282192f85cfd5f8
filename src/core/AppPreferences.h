#pragma once

#include <QObject>
#include <QString>

#include <memory>

class Settings;

// The two application-level settings of the settings window. Every assignment,
// even of the current value, is stored, saved and applied at once; nothing is
// saved or applied when the object is made. Used on the GUI thread.
class AppPreferences : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool showInDock READ showInDock WRITE setShowInDock NOTIFY showInDockChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)

public:
    // Registers the program to start when the user logs in; the platform layer
    // supplies the real one.
    class LoginItemService
    {
    public:
        virtual ~LoginItemService() = default;
        // False with a description of the failure in `error`.
        virtual bool setRegistered(bool registered, QString& error) = 0;
    };

    static inline const QString showInDockKey = QStringLiteral("showInDock");
    static inline const QString launchAtLoginKey = QStringLiteral("launchAtLogin");

    explicit AppPreferences(Settings& settings, std::unique_ptr<LoginItemService> loginItem = nullptr,
                            QObject* parent = nullptr);
    ~AppPreferences() override;

    // Until a login item service is installed, launch at login is only saved.
    void setLoginItemService(std::unique_ptr<LoginItemService> loginItem);

    bool showInDock() const { return m_showInDock; }
    void setShowInDock(bool showInDock);
    bool launchAtLogin() const { return m_launchAtLogin; }
    void setLaunchAtLogin(bool launchAtLogin);

    // Queues dockPolicyApplied() with the value current when it runs, after
    // the GUI thread's present work.
    void applyDockPolicy();
    // Registers or unregisters the login item to match launchAtLogin; a
    // failure prints "Failed to update Launch at Login: " and keeps the choice.
    void updateLaunchAtLogin();

signals:
    void showInDockChanged(bool showInDock);
    void launchAtLoginChanged(bool launchAtLogin);
    // The application shows the dashboard window in the taskbar only when true.
    void dockPolicyApplied(bool showInDock);

private:
    Settings& m_settings;
    std::unique_ptr<LoginItemService> m_loginItem;
    bool m_showInDock = true;
    bool m_launchAtLogin = false;
};
