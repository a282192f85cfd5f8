#include "platform/DesktopIntegration.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(desktopLog, "org.brindlework.Glimmerdeck.Desktop")

bool openFolderOf(const QString& path)
{
    return QDesktopServices::openUrl(DesktopIntegration::fileUrl(QFileInfo(path).absolutePath()));
}
} // namespace

bool SystemDesktopIntegration::openFile(const QString& path)
{
    const bool opened = QDesktopServices::openUrl(fileUrl(path));
    if (!opened)
        qCWarning(desktopLog) << "No application opened" << path;
    return opened;
}

void SystemDesktopIntegration::showInFileManager(const QString& path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolderOf(path);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
                                       u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList{fileUrl(path).toString(QUrl::FullyEncoded)} << QString();
    // Asynchronous, so a missing file manager never stalls the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [path](QDBusPendingCallWatcher* done) {
        if (done->isError()) {
            qCInfo(desktopLog) << "No file manager selected the file:" << done->error().message()
                               << "- opening its folder";
            openFolderOf(path);
        }
        done->deleteLater();
    });
}
