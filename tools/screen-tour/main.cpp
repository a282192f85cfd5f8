// screen-tour <output-dir> <folder>
// Runs the application's own window and services, with the user's folder
// choice answered by <folder>, and saves the screens as a new user meets them:
// welcome.png, welcome-confetti.png, processing.png, main.png, then the main
// view at each destination (main-<destination>.png) and the three tabs of the
// settings sheet (settings-<tab>.png). Run it with
// HOME and the XDG folders pointing at a scratch folder: it writes settings.
#include "app/AppStyle.h"
#include "app/BrindleworkApp.h"
#include "app/ContentView.h"
#include "app/MainAppView.h"
#include "app/SettingsView.h"
#include "app/WelcomeActionButton.h"
#include "app/WelcomeView.h"
#include "app/theme/SymbolRegistry.h"
#include "core/AppPreferences.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FolderChooser.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMainWindow>
#include <QMetaEnum>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
class PresetFolderChooser : public FolderChooser
{
public:
    explicit PresetFolderChooser(QString folder)
        : m_folder(std::move(folder))
    {}
    std::optional<QString> chooseFolder(const Request&) override { return m_folder; }

private:
    QString m_folder;
};

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitForScreen(const ContentView& view, ContentView::Screen screen, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (view.currentScreen() != screen && timer.elapsed() < timeoutMs)
        pause(20);
    return view.currentScreen() == screen;
}

bool save(QWidget& window, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    if (!window.grab().save(path)) {
        QTextStream(stderr) << "could not write " << path << "\n";
        return false;
    }
    QTextStream(stdout) << "wrote " << path << "\n";
    return true;
}

// Every destination of the sidebar, once the first collections are in.
bool tourDestinations(QMainWindow& window, MainAppView& main, const QString& output)
{
    for (int i = 0; i < 100 && main.isAnalyzing(); ++i)
        pause(50);
    bool ok = true;
    const QMetaEnum items = QMetaEnum::fromType<MainAppView::SidebarItem>();
    for (int i = 0; i < items.keyCount(); ++i) {
        main.select(MainAppView::SidebarItem(items.value(i)));
        pause(400);
        ok = save(window, output, u"main-%1.png"_s.arg(QString::fromLatin1(items.key(i)))) && ok;
    }
    main.select(MainAppView::SidebarItem::screenshots);
    return ok;
}

bool tourSettings(MainAppView& main, const QString& output)
{
    main.showSettings();
    pause(400);
    QDialog* sheet = main.settingsSheet();
    auto* settings = sheet ? sheet->findChild<SettingsView*>() : nullptr;
    if (!settings)
        return false;
    bool ok = true;
    for (int tab = 0; tab < settings->tabs()->count(); ++tab) {
        settings->tabs()->setCurrentIndex(tab);
        pause(200);
        ok = save(*sheet, output, u"settings-%1.png"_s.arg(settings->tabs()->tabText(tab).toLower())) && ok;
    }
    sheet->close();
    return ok;
}

// A first run part-way through, as the monitor publishes it.
void showFirstRunInProgress(ScreenshotMonitor& monitor)
{
    monitor.setTotalToProcess(120);
    monitor.setProcessedCount(45);
    monitor.setTotalBatches(30);
    monitor.setCurrentBatchNumber(12);
    monitor.setProcessingProgressValue(45.0 / 120.0);
    monitor.setIsUnderMemoryPressure(true);
    monitor.setIsProcessingBlocking(true);
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Glimmerdeck"_s);
    QApplication::setOrganizationName(u"Brindlework"_s);
    if (argc != 3) {
        QTextStream(stderr) << "usage: screen-tour <output-dir> <folder>\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString folder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(output);
    applyDarkStyle(application);

    ScreenshotMonitor& monitor = ScreenshotMonitor::shared();
    BrindleworkApp app(Settings::shared(), AppPreferences::shared(), monitor);
    monitor.setFolderChooser(std::make_unique<PresetFolderChooser>(folder));
    QMainWindow& window = app.dashboardWindow();
    ContentView& content = app.contentView();
    app.activateDashboard();

    bool ok = waitForScreen(content, ContentView::Screen::welcome, 2000);
    pause(1500); // the card's entrance
    ok = ok && save(window, output, u"welcome.png"_s);

    if (auto* welcome = qobject_cast<WelcomeView*>(content.currentWidget()))
        welcome->actionButton()->click();
    pause(450);
    ok = ok && save(window, output, u"welcome-confetti.png"_s);

    ok = ok && waitForScreen(content, ContentView::Screen::main, WelcomeView::completionDelayMs + 3000);
    showFirstRunInProgress(monitor);
    ok = ok && waitForScreen(content, ContentView::Screen::processing, 2000);
    pause(1200);
    ok = ok && save(window, output, u"processing.png"_s);

    monitor.setIsProcessingBlocking(false);
    ok = ok && waitForScreen(content, ContentView::Screen::main, 2000);
    pause(800);
    ok = ok && save(window, output, u"main.png"_s);

    auto* main = qobject_cast<MainAppView*>(content.currentWidget());
    ok = ok && main && tourDestinations(window, *main, output);
    ok = ok && main && tourSettings(*main, output);

    if (!SymbolRegistry::unknownRequests().isEmpty()) {
        QTextStream(stderr) << "unknown symbols: " << SymbolRegistry::unknownRequests().join(u", ") << "\n";
        return 1;
    }
    if (!ok)
        QTextStream(stderr) << "the tour did not reach every screen\n";
    return ok ? 0 : 1;
}
