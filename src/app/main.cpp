#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "app/BrindleworkApp.h"
#include "app/ContentView.h"
#include "app/SystemTrayIcon.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/LargeBlocks.h"
#include "core/OmpThreadLimit.h"
#include "platform/FolderChooser.h"
#include "platform/LoginItem.h"
#include "platform/SingleInstance.h"
#include "ui/AppStyle.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Text recognition runs one engine per worker thread; OpenMP inside each
    // engine would multiply the threads (it reads the limit before main()).
    ensureOmpThreadLimit(argc, argv);
    returnLargeBlocksToSystem();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmerdeck"));
    QApplication::setOrganizationName(QStringLiteral("Brindlework"));
    QApplication::setDesktopFileName(QStringLiteral("org.brindlework.Glimmerdeck"));

    // A second launch hands its command line (a link, or nothing) to the
    // running copy and ends here, before any window or service exists; one
    // while that copy quits waits for it to end. Declared before the
    // services, the instance is let go after them: a launch meanwhile waits
    // until the store is closed.
    auto instance = std::make_unique<SingleInstance>(SingleInstance::defaultName());
    switch (instance->claim(QApplication::arguments())) {
    case SingleInstance::Claim::forwarded:
        return 0;
    case SingleInstance::Claim::refused:
        return 1; // said why already; a second window would not get the arguments either
    case SingleInstance::Claim::unavailable:
        // Better a running program that misses later launches than none at all.
        Console::printLine(
            QStringLiteral("⚠️ Could not listen for later launches; each launch opens its own window"));
        instance.reset();
        break;
    case SingleInstance::Claim::primary:
        break;
    }

    applyDarkStyle(application);
    // Every service, in dependency order; the store opens on its own queue,
    // so the first window does not wait for it.
    AppServices services({.loginItem = std::make_unique<LoginItem>()});
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &services, &AppServices::shutDown);

    BrindleworkApp app(services);
    AppDelegate delegate(app, services.monitor(), std::make_unique<SystemTrayIcon>());
    // The tray icon, popup and dock policy come once launching has finished.
    QMetaObject::invokeMethod(&delegate, &AppDelegate::setup, Qt::QueuedConnection);
    services.monitor().setFolderChooser(std::make_unique<DialogFolderChooser>());
    if (instance)
        app.listenForLaterLaunches(*instance);
    app.activateDashboard();
    const QStringList arguments = QApplication::arguments();
    QMetaObject::invokeMethod(
        &app, [&app, arguments] { app.handleArguments(arguments); }, Qt::QueuedConnection);
    const int exitCode = application.exec();
    services.shutDown();
    services.endProcessIfStranded(exitCode);
    return exitCode;
}
