#include "platform/DesktopIntegration.h"

#include "support/Wait.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// What the desktop was asked to open.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// Puts `folder` alone on PATH for as long as it lives.
class PathScope
{
public:
    explicit PathScope(const QString& folder)
        : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(folder));
    }
    ~PathScope() { qputenv("PATH", m_saved); }
    PathScope(const PathScope&) = delete;
    PathScope& operator=(const PathScope&) = delete;

private:
    QByteArray m_saved;
};

const QStringList oddNames{u"/tmp/shots/Screenshot 2024-05-01 at 10.00.00.png"_s, u"/tmp/shots/#1 100%.png"_s,
                           u"/tmp/shots/Bildschirmfoto über?.png"_s};

TEST(DesktopIntegration, CopiedFilesPasteAsFilesInAFolderAndAsPathsInText)
{
    SystemDesktopIntegration desktop;
    desktop.copyFilesToClipboard(oddNames);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    QStringList pasted;
    for (const QUrl& url : data->urls())
        pasted.append(url.toLocalFile());
    EXPECT_EQ(pasted, oddNames);
    const QString gnome = QString::fromUtf8(data->data(u"x-special/gnome-copied-files"_s));
    EXPECT_EQ(gnome, u"copy\nfile:///tmp/shots/Screenshot%202024-05-01%20at%2010.00.00.png\n"
                     u"file:///tmp/shots/%231%20100%25.png\nfile:///tmp/shots/Bildschirmfoto%20%C3%BCber%3F.png"_s);
    EXPECT_EQ(data->text(), oddNames.join(u'\n'));
}

TEST(DesktopIntegration, MailGetsOneAttachOptionPerFileAndSaysWhenItCannotStart)
{
    QTemporaryDir bin;
    const QString record = bin.filePath(u"arguments"_s);
    QFile script(bin.filePath(u"xdg-email"_s));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && mv '%1.part' '%1'\n").arg(record).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    SystemDesktopIntegration desktop;
    {
        const PathScope onlyFake(bin.path() + u":/bin:/usr/bin"_s);
        ASSERT_TRUE(desktop.mailFiles(oddNames));
    }
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(record); }));
    QFile written(record);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QStringList arguments = QString::fromUtf8(written.readAll()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(arguments,
              (QStringList{u"--attach"_s, oddNames[0], u"--attach"_s, oddNames[1], u"--attach"_s, oddNames[2]}));

    QTemporaryDir empty;
    const PathScope nothing(empty.path());
    EXPECT_FALSE(desktop.mailFiles(oddNames));
}

// Without a file manager on the session bus, showing opens the folder.
TEST(DesktopIntegration, WithoutAFileManagerShowingFilesOpensTheFolderHoldingThemAll)
{
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(u"file"_s, &opened, "open");
    SystemDesktopIntegration desktop;
    desktop.showFilesInFileManager({u"/home/a/Desktop/2024/x.png"_s, u"/home/a/Desktop/y.png"_s});
    desktop.showFilesInFileManager({u"/home/a/Desk/x.png"_s, u"/home/a/Desktop/y.png"_s}); // whole names
    desktop.showInFileManager(u"/home/a/Desktop/#1 100%.png"_s);
    ASSERT_TRUE(waitUntil([&] { return opened.urls.size() == 3; }, 10000));
    EXPECT_EQ(opened.urls[0].toLocalFile(), u"/home/a/Desktop"_s);
    EXPECT_EQ(opened.urls[1].toLocalFile(), u"/home/a"_s);
    EXPECT_EQ(opened.urls[2].toLocalFile(), u"/home/a/Desktop"_s);
    QDesktopServices::unsetUrlHandler(u"file"_s);
}
} // namespace

#include "desktop_integration_test.moc"
