#pragma once

#include "app/TrayIcon.h"

#include <QObject>
#include <QString>

#include <memory>

class BrindleworkApp;
class GalleryViewModel;
class QMenu;
class ScreenshotMonitor;
class TaskbarPresence;
class TrayPopup;

// The program's presence outside its window: the tray icon, whose symbol
// follows the monitor's processing state; a left click opens the popup
// gallery, a right click (or Ctrl+left click) a small menu. It brings the
// dashboard forward, hides the dashboard instead of closing it while the tray
// can bring it back, and keeps the dashboard out of the taskbar when the
// preferences say so. Lives on the GUI thread.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    static inline const QString idleSymbol = QStringLiteral("photo.stack");
    static inline const QString processingSymbol = QStringLiteral("arrow.triangle.2.circlepath");
    static inline const QString idleDescription = QStringLiteral("Glimmerdeck");
    static inline const QString processingDescription = QStringLiteral("Processing");

    // Watches the dashboard window's close requests from now on; the tray
    // icon, popup and menu appear with setup(). Must not outlive `app`.
    AppDelegate(BrindleworkApp& app, ScreenshotMonitor& monitor, std::unique_ptr<TrayIcon> trayIcon,
                QObject* parent = nullptr);
    ~AppDelegate() override;

    // Launch set-up, once: the tray icon with its menu, the popup over a
    // gallery model of its own, and the dock policy of the preferences.
    void setup();

    TrayIcon& trayIcon() const { return *m_trayIcon; }
    // Both empty before setup().
    TrayPopup* popup() const { return m_popup.get(); }
    QMenu* menu() const { return m_menu.get(); }
    GalleryViewModel* popupViewModel() const { return m_popupViewModel.get(); }
    TaskbarPresence& taskbarPresence() const { return *m_taskbarPresence; }

    // Right click or Ctrl+left click: the menu; any other click: the popup.
    void handleClick(TrayIcon::Button button, Qt::KeyboardModifiers modifiers);
    void togglePopover();
    void showMenu();
    // Shows, restores and raises the dashboard window.
    void activateDashboard();
    // A later launch without a link: the dashboard comes back only when it
    // is hidden or minimised; a shown one is left as it is.
    void handleReopen();
    // A change check now when monitoring runs, else the start of monitoring.
    // The icon's tooltip and a tray notice say when the look at the folder
    // ended, or that there was no folder to look at. (The menu keeps its
    // three entries where they always are.)
    void forceScan();
    // That line of the tooltip; empty before the first Force Scan.
    const QString& scanStatus() const { return m_scanStatus; }
    // Ends the program, whatever the dashboard's close policy.
    void quitApp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupStatusItem();
    void updateStatusIcon(bool isProcessing);
    void setupPopover();
    void setupMenu();
    bool handleDashboardClose(QEvent* event);
    void finishScan();
    void setScanStatus(const QString& text);

    BrindleworkApp& m_app;
    ScreenshotMonitor& m_monitor;
    std::unique_ptr<TrayIcon> m_trayIcon;
    std::unique_ptr<GalleryViewModel> m_popupViewModel;
    std::unique_ptr<TrayPopup> m_popup;
    std::unique_ptr<QMenu> m_menu;
    TaskbarPresence* m_taskbarPresence;
    QString m_scanStatus;
    bool m_isScanPending = false;
    bool m_isSetUp = false;
    bool m_isQuitting = false;
};
