#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QString trashFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Trash"_s;
}

QString writeFile(const QString& path, const QByteArray& bytes = "pixels")
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}
} // namespace

TEST(SystemTrash, MovesAFileIntoTheUsersTrashWithItsRecord)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(u"Screenshot 1.png"_s));

    SystemTrash trash;
    const Trash::Result result = trash.moveToTrash(path);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(result.trashedPath.startsWith(trashFolder() + u"/files/"_s)) << result.trashedPath.toStdString();
    EXPECT_TRUE(QFile::exists(result.trashedPath));

    const QString info = trashFolder() + u"/info/"_s + QFileInfo(result.trashedPath).fileName() + u".trashinfo"_s;
    QFile record(info);
    ASSERT_TRUE(record.open(QIODevice::ReadOnly)) << info.toStdString();
    EXPECT_TRUE(record.readAll().contains("[Trash Info]"));
}

TEST(SystemTrash, TwoFilesOfTheSameNameBothSurvive)
{
    QTemporaryDir first;
    QTemporaryDir second;
    SystemTrash trash;
    const auto a = trash.moveToTrash(writeFile(first.filePath(u"same.png"_s), "a"));
    const auto b = trash.moveToTrash(writeFile(second.filePath(u"same.png"_s), "b"));
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_NE(a.trashedPath, b.trashedPath);
}

TEST(SystemTrash, RefusesFoldersLinksAndMissingFiles)
{
    QTemporaryDir dir;
    SystemTrash trash;

    const QString folder = dir.filePath(u"x.png"_s);
    QDir().mkpath(folder);
    const auto folderResult = trash.moveToTrash(folder);
    EXPECT_FALSE(folderResult.ok);
    EXPECT_FALSE(folderResult.error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());

    const QString target = writeFile(dir.filePath(u"real.png"_s));
    const QString link = dir.filePath(u"link.png"_s);
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_FALSE(trash.moveToTrash(link).ok);
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    EXPECT_FALSE(trash.moveToTrash(dir.filePath(u"missing.png"_s)).ok);
}

// The record's Path is escaped as in URLs, "/" kept, so that a file manager
// restores the file under its own name; one with nothing to escape is
// written as it stands, and the rest of the record is left as it was.
TEST(SystemTrash, RecordNamesTheOriginalPathEscapedAsInUrls)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"Shots of 100%"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QStringList names{u"50% off.png"_s,     u"Shot 2.png"_s, u"#1 report.png"_s,
                            u"café résumé.png"_s, u"a%20b.png"_s,  u"plain_name-1.png"_s};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString path = writeFile(folder + u'/' + name);
        const Trash::Result result = SystemTrash().moveToTrash(path);
        ASSERT_TRUE(result.ok) << result.error.toStdString();

        QFile record(QFileInfo(result.trashedPath).dir().filePath(u"../info/"_s) +
                     QFileInfo(result.trashedPath).fileName() + u".trashinfo"_s);
        ASSERT_TRUE(record.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = record.readAll().split('\n');
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines[0], "[Trash Info]");
        EXPECT_TRUE(lines[2].startsWith("DeletionDate=")) << lines[2].toStdString();
        ASSERT_TRUE(lines[1].startsWith("Path=")) << lines[1].toStdString();
        const QByteArray recorded = lines[1].sliced(5);
        EXPECT_EQ(QUrl::fromPercentEncoding(recorded), path);
        EXPECT_EQ(recorded, QUrl::toPercentEncoding(path, "/"));
        EXPECT_TRUE(recorded.startsWith(QFile::encodeName(dir.path()))) << "the folders' slashes stay";
    }
}

TEST(SystemTrash, RefusesWhenTheTrashWouldNotBeAbsolute)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(u"keep.png"_s));
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "relative/data");
    const Trash::Result result = SystemTrash().moveToTrash(path);
    qputenv("XDG_DATA_HOME", saved);

    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_FALSE(QFileInfo::exists(u"relative"_s));
}
