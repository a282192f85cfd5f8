#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

class AppPreferences;
class AppServices;
class ContentView;
class QMainWindow;
class ScreenshotMonitor;
class Settings;
class SettingsView;
class SingleInstance;
class QWidget;

// The application: the dashboard window (identifier "main") holding the root
// view, and the hand-off of later launches — a glimmerdeck://open?id=<UUID>
// link opens that screenshot, a plain launch brings the dashboard forward.
class BrindleworkApp : public QObject
{
    Q_OBJECT

public:
    static constexpr QSize defaultWindowSize{1200, 800};
    static inline const QString windowIdentifier = QStringLiteral("main");
    static inline const QString urlScheme = QStringLiteral("glimmerdeck");
    // The dashboard window's size, place and state as it was last left,
    // brought back at the next launch.
    static inline const QString windowGeometryKey = QStringLiteral("dashboardWindowGeometry");

    // Builds the dashboard window and its content (hidden until shown).
    explicit BrindleworkApp(AppServices& services, QObject* parent = nullptr);
    ~BrindleworkApp() override;

    QMainWindow& dashboardWindow() const { return *m_window; }
    ContentView& contentView() const { return *m_contentView; }
    AppServices& services() const { return m_services; }

    // Shows, restores and raises the dashboard window.
    void activateDashboard();
    // The settings window (also on Ctrl+, in the dashboard), made on first use.
    void showSettings();
    QWidget* settingsWindow() const { return m_settingsWindow.get(); }
    // Every later launch's arguments go to handleArguments(). The channel
    // is the caller's: it outlives the services, so that a launch while this
    // copy quits waits until they have shut down.
    void listenForLaterLaunches(SingleInstance& instance);
    // A launch's command line (the program name first). Links to this
    // application open their screenshot; a command line without any asks for
    // the dashboard (reopenRequested); a link without a valid screenshot id
    // is ignored.
    void handleArguments(const QStringList& arguments);

    // The screenshot id (upper-case UUID text) of an open link, or nothing
    // when `link` is not exactly glimmerdeck://open?id=<UUID>.
    static std::optional<QString> screenshotIdFromLink(const QString& link);
    static bool isAppLink(const QString& argument);

signals:
    // A launch without a link, as a click on the launcher of a running
    // program: the delegate brings the dashboard back unless it is shown.
    void reopenRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openLink(const QString& link);
    void restoreWindowGeometry();
    void saveWindowGeometry();

    AppServices& m_services;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<QWidget> m_settingsWindow;
    ContentView* m_contentView;
    // Moves and resizes come in bursts while the user drags; the geometry
    // is written once the burst is over.
    QTimer m_geometrySave;
};
