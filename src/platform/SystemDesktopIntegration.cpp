#include "platform/DesktopIntegration.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMimeData>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(desktopLog, "org.brindlework.Glimmerdeck.Desktop")

bool openFolder(const QString& folder)
{
    return QDesktopServices::openUrl(DesktopIntegration::fileUrl(folder));
}

QList<QUrl> fileUrls(const QStringList& paths)
{
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString& path : paths)
        urls.append(DesktopIntegration::fileUrl(path));
    return urls;
}

QStringList encoded(const QList<QUrl>& urls)
{
    QStringList texts;
    texts.reserve(urls.size());
    for (const QUrl& url : urls)
        texts.append(url.toString(QUrl::FullyEncoded));
    return texts;
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
    showFilesInFileManager({path});
}

void SystemDesktopIntegration::showFilesInFileManager(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    const QString folder = commonFolder(paths);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
                                       u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << encoded(fileUrls(paths)) << QString();
    // Asynchronous, so a missing file manager never stalls the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [folder](QDBusPendingCallWatcher* done) {
        if (done->isError()) {
            qCInfo(desktopLog) << "No file manager selected the files:" << done->error().message() << "- opening"
                               << folder;
            openFolder(folder);
        }
        done->deleteLater();
    });
}

QString SystemDesktopIntegration::commonFolder(const QStringList& paths)
{
    QStringList common;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QStringList parts = QFileInfo(paths[i]).absolutePath().split(u'/');
        if (i == 0) {
            common = parts;
            continue;
        }
        qsizetype shared = 0;
        while (shared < common.size() && shared < parts.size() && common[shared] == parts[shared])
            ++shared;
        common.resize(shared);
    }
    const QString folder = common.join(u'/');
    return folder.isEmpty() ? u"/"_s : folder;
}

void SystemDesktopIntegration::copyFilesToClipboard(const QStringList& paths)
{
    const QList<QUrl> urls = fileUrls(paths);
    auto* data = new QMimeData;
    data->setUrls(urls);
    // GNOME's file managers (and those built like them) paste files only
    // from this list; the others read the URL list.
    data->setData(u"x-special/gnome-copied-files"_s, (u"copy\n"_s + encoded(urls).join(u'\n')).toUtf8());
    data->setText(paths.join(u'\n'));
    QGuiApplication::clipboard()->setMimeData(data);
}

bool SystemDesktopIntegration::mailFiles(const QStringList& paths)
{
    QStringList arguments;
    for (const QString& path : paths)
        arguments << u"--attach"_s << path;
    // Detached: the mail program may live on after this one quits.
    const bool started = QProcess::startDetached(u"xdg-email"_s, arguments);
    if (!started)
        qCWarning(desktopLog) << "xdg-email could not be started";
    return started;
}
