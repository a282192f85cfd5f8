#include "platform/FolderAccess.h"
#include "platform/FrontmostApplication.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(FolderAccess, BookmarkOfAFolderResolvesBackToIt)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"Shots ✨"_s);
    ASSERT_TRUE(QDir().mkpath(folder));

    FolderAccess::Error error;
    const auto bookmark = FolderAccess::createBookmark(folder + u"/"_s, &error);
    ASSERT_TRUE(bookmark) << error.description.toStdString();
    const auto resolved = FolderAccess::resolveBookmark(*bookmark, &error);
    ASSERT_TRUE(resolved) << error.description.toStdString();
    EXPECT_EQ(resolved->path, folder);
    EXPECT_FALSE(resolved->isStale);
    EXPECT_TRUE(FolderAccess::startAccessing(resolved->path));
}

TEST(FolderAccess, MissingFoldersFilesAndGarbageAreRefused)
{
    QTemporaryDir dir;
    FolderAccess::Error error;
    EXPECT_FALSE(FolderAccess::createBookmark(dir.filePath(u"nope"_s), &error));
    EXPECT_FALSE(error.description.isEmpty());

    const QString file = dir.filePath(u"plain.png"_s);
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_FALSE(FolderAccess::createBookmark(file));
    EXPECT_FALSE(FolderAccess::startAccessing(file));

    const QString folder = dir.filePath(u"gone"_s);
    QDir().mkpath(folder);
    const auto bookmark = FolderAccess::createBookmark(folder);
    ASSERT_TRUE(bookmark);
    QDir(folder).removeRecursively();
    error = {};
    EXPECT_FALSE(FolderAccess::resolveBookmark(*bookmark, &error));
    EXPECT_EQ(error.type, u"FolderNotFound"_s);
    EXPECT_FALSE(FolderAccess::startAccessing(folder));

    EXPECT_FALSE(FolderAccess::resolveBookmark(QByteArray()));
    EXPECT_FALSE(FolderAccess::resolveBookmark("relative/path"));
    EXPECT_FALSE(FolderAccess::resolveBookmark(QByteArray("/tmp/\xff\xfe", 7)));
}

TEST(FolderAccess, PermissionsOfAnEntry)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"a.png"_s);
    QFile(file).open(QIODevice::WriteOnly);
    const auto permissions = FolderAccess::permissionsOf(file);
    EXPECT_TRUE(permissions.readable);
    EXPECT_TRUE(permissions.writable);
    EXPECT_TRUE(permissions.deletable);

    const auto missing = FolderAccess::permissionsOf(dir.filePath(u"none"_s));
    EXPECT_FALSE(missing.readable || missing.writable || missing.deletable);
}

TEST(FrontmostApplication, UnknownWithoutADisplay)
{
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    FrontmostApplication frontmost;
    EXPECT_FALSE(frontmost.name());
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
}
