#pragma once

#include "core/AppPreferences.h"
#include "core/DatabaseManager.h"
#include "ingest/ScreenshotMonitor.h"

#include <QSize>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QTabWidget;

// The settings, as a window of their own or a sheet over the dashboard:
// General (taskbar entry, launch at login), Database (rescan of quick links)
// and Account (support mail, version), in the application's dark look. The
// toggles show the preferences as they are whenever the view is shown, and
// write through them; the only state kept is whether a rescan runs and when
// the last one finished.
// The close button asks the host to close it (dismissRequested).
class SettingsView : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize tabSize{450, 350};
    // How long after a rescan the monitor reloads its list.
    static constexpr int rescanRestartDelayMs = 1000;

    using UrlOpener = std::function<bool(const QUrl&)>;

    SettingsView(AppPreferences& preferences, ScreenshotMonitor& monitor, DatabaseManager& database,
                 QWidget* parent = nullptr);

    // Opens mail links; by default the desktop's handler.
    void setUrlOpener(UrlOpener opener);

    // Re-detects the links of every stored text, then one second later makes
    // the monitor reload its list, even if this view is gone by then.
    void rescanQuickLinks();
    // Opens a new mail to the support mailboxes; nothing when the configured
    // addresses do not make a mail link.
    void contactSupport();

    // "Glimmerdeck v<version> (<build>)"; absent parts read "1.1" and "1".
    static QString versionLine(const std::optional<QString>& version, const std::optional<QString>& build);
    // The line for this build.
    static QString versionLine();
    // mailto: for comma-separated addresses; nothing unless every one is a
    // plain address and there is at least one.
    static std::optional<QUrl> supportMailUrl(const QString& recipients);

    QTabWidget* tabs() const { return m_tabs; }
    QCheckBox* showInDockToggle() const { return m_showInDock; }
    QCheckBox* launchAtLoginToggle() const { return m_launchAtLogin; }
    QAbstractButton* rescanButton() const { return m_rescan; }
    QAbstractButton* contactButton() const { return m_contact; }
    QAbstractButton* closeButton() const { return m_close; }
    QLabel* versionLabel() const { return m_version; }
    // Under the rescan button: running, or when the last rescan finished.
    QLabel* rescanStatusLabel() const { return m_rescanStatus; }

signals:
    void dismissRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildGeneralTab();
    QWidget* buildDatabaseTab();
    QWidget* buildAccountTab();
    QAbstractButton* buildCloseButton();
    void refreshToggles();
    void rescanFinished(const DatabaseManager::LinkRescan& outcome);
    void showRescanStatus(const QString& text);

    AppPreferences& m_preferences;
    ScreenshotMonitor& m_monitor;
    DatabaseManager& m_database;
    UrlOpener m_openUrl;
    QTabWidget* m_tabs;
    QCheckBox* m_showInDock = nullptr;
    QCheckBox* m_launchAtLogin = nullptr;
    QAbstractButton* m_rescan = nullptr;
    QAbstractButton* m_contact = nullptr;
    QAbstractButton* m_close = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_rescanStatus = nullptr;
    int m_rescansRunning = 0;
};
