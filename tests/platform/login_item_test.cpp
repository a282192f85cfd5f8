#include "core/AppPreferences.h"
#include "core/Settings.h"
#include "platform/LoginItem.h"
#include "support/Capture.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QString autostartFolder()
{
    return TestEnvironment::home() + u"/.config/autostart"_s;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class LoginItemTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        QFile::remove(autostartFolder()); // a blocking file left by a test
        QDir(autostartFolder()).removeRecursively();
    }
};
} // namespace

TEST_F(LoginItemTest, RegisteringWritesTheAutostartEntryAndUnregisteringRemovesIt)
{
    EXPECT_EQ(LoginItem::desktopFilePath(), autostartFolder() + u"/org.brindlework.Glimmerdeck.desktop"_s);
    LoginItem item(u"/usr/bin/glimmerdeck"_s);
    QString error;
    EXPECT_FALSE(item.isRegistered());

    ASSERT_TRUE(item.setRegistered(true, error)) << error.toStdString();
    EXPECT_TRUE(item.isRegistered());
    EXPECT_EQ(readAll(LoginItem::desktopFilePath()), QByteArray("[Desktop Entry]\n"
                                                                "Type=Application\n"
                                                                "Name=Glimmerdeck\n"
                                                                "Exec=/usr/bin/glimmerdeck\n"
                                                                "Terminal=false\n"
                                                                "X-GNOME-Autostart-enabled=true\n"));

    ASSERT_TRUE(item.setRegistered(false, error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(LoginItem::desktopFilePath()));
    EXPECT_TRUE(item.setRegistered(false, error)); // already gone is not a failure
}

TEST(LoginItemExec, ProgramPathsAreQuotedAndEscapedForTheDesktopEntry)
{
    EXPECT_EQ(LoginItem::execArgument(u"/opt/glimmerdeck/bin/glimmerdeck"_s), u"/opt/glimmerdeck/bin/glimmerdeck"_s);
    EXPECT_EQ(LoginItem::execArgument(u"/opt/My Apps/glimmer%deck"_s), u"\"/opt/My Apps/glimmer%%deck\""_s);
    // Quoting escapes " $ \ once, and the entry's own string escaping doubles every backslash.
    EXPECT_EQ(LoginItem::execArgument(u"/tmp/a\"b$c\\d"_s), u"\"/tmp/a\\\\\"b\\\\$c\\\\\\\\d\""_s);
    // A line break must not end the entry early.
    EXPECT_EQ(LoginItem::execArgument(u"/tmp/two\nlines"_s), u"\"/tmp/two\\nlines\""_s);

    // By default the entry starts the running program by its absolute path.
    QString error;
    ASSERT_TRUE(LoginItem().setRegistered(true, error));
    EXPECT_TRUE(readAll(LoginItem::desktopFilePath())
                    .contains("\nExec=" + LoginItem::execArgument(QCoreApplication::applicationFilePath()).toUtf8()));
    EXPECT_TRUE(QFileInfo(QCoreApplication::applicationFilePath()).isAbsolute());
    QFile::remove(LoginItem::desktopFilePath());
}

TEST_F(LoginItemTest, AFailureIsReportedOnTheConsoleAndTheChoiceIsKept)
{
    // A plain file where the autostart folder belongs makes registration fail.
    QDir().mkpath(QFileInfo(autostartFolder()).path());
    QFile blocker(autostartFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QTemporaryDir dir;
    Settings settings(dir.filePath(u"Glimmerdeck.conf"_s));
    AppPreferences preferences(settings, std::make_unique<LoginItem>(u"/usr/bin/glimmerdeck"_s));
    ConsoleCapture console;
    preferences.setLaunchAtLogin(true);

    ASSERT_EQ(console.lines().size(), 1);
    EXPECT_TRUE(console.lines().first().startsWith(u"Failed to update Launch at Login: Could not create the folder "_s))
        << console.lines().first().toStdString();
    EXPECT_TRUE(preferences.launchAtLogin());
    EXPECT_EQ(settings.boolValue(u"launchAtLogin"_s), true);
}
