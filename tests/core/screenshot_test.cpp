#include "core/Screenshot.h"
#include "core/Uuid.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unordered_set>

using namespace Qt::StringLiterals;

namespace {
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

Screenshot fullyPopulated()
{
    Screenshot s(u"/home/me/Desktop/Shot \"1\" 100% ✨.png"_s, QUuid::createUuid(), u"Terminal"_s);
    s.thumbnailData = QByteArray("\x89PNG\0bytes", 10);
    s.ocrText = u"Total 42 — see example.com"_s;
    s.embedding = QList<double>{0.25, -1.5, 3e-8};
    s.tags = {u"text"_s, u"cell phone"_s};
    s.detectedUrls = QList<QUrl>{QUrl(u"http://example.com"_s), QUrl(u"https://a.b/c?d=1#e"_s)};
    s.customTags = {u"Work"_s};
    s.userNotes = u"remember"_s;
    return s;
}
} // namespace

TEST(ScreenshotInit, ReadsNameSizeAndDateFromTheFile)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"Screen Shot.png"_s, QByteArray(1234, 'x'));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-5);

    const QUuid id = QUuid::createUuid();
    const Screenshot s(path, id, u"Firefox"_s);

    EXPECT_EQ(s.id, id);
    EXPECT_EQ(s.filePath, path);
    EXPECT_EQ(s.filename, u"Screen Shot.png"_s);
    EXPECT_EQ(s.fileSize, 1234);
    EXPECT_GE(s.dateCreated, before);
    EXPECT_EQ(s.sourceApp, u"Firefox"_s);
    EXPECT_FALSE(s.thumbnailData || s.ocrText || s.embedding || s.detectedUrls || s.userNotes);
    EXPECT_TRUE(s.tags.isEmpty());
    EXPECT_TRUE(s.customTags.isEmpty());
}

TEST(ScreenshotInit, KeepsAnOldFilesDateInsteadOfNow)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"old.png"_s, "x");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QDateTime lastYear = QDateTime::currentDateTime().addYears(-1);
    ASSERT_TRUE(file.setFileTime(lastYear, QFileDevice::FileModificationTime));
    file.close();

    // A birth time, where the file system keeps one, is today's: the older
    // modification time wins, and stays the same across loads.
    const Screenshot first(path, QUuid::createUuid());
    const Screenshot second(path, QUuid::createUuid());
    EXPECT_EQ(first.dateCreated, second.dateCreated);
    EXPECT_EQ(first.dateCreated.toSecsSinceEpoch(), lastYear.toSecsSinceEpoch());
}

TEST(ScreenshotInit, MissingFileStillGivesARecord)
{
    const QDateTime before = QDateTime::currentDateTime();
    const Screenshot s(u"/nowhere/at/all/ghost.PNG"_s, QUuid::createUuid());
    const QDateTime after = QDateTime::currentDateTime();

    EXPECT_EQ(s.filename, u"ghost.PNG"_s);
    EXPECT_EQ(s.fileSize, 0);
    EXPECT_GE(s.dateCreated, before);
    EXPECT_LE(s.dateCreated, after);
    EXPECT_FALSE(s.sourceApp);
}

TEST(ScreenshotIsVideo, OnlyMp4AndMovInAnyCase)
{
    const auto isVideo = [](const QString& path) { return Screenshot(path, QUuid()).isVideo(); };
    EXPECT_TRUE(isVideo(u"/d/rec.mov"_s));
    EXPECT_TRUE(isVideo(u"/d/rec.MOV"_s));
    EXPECT_TRUE(isVideo(u"/d/rec.Mp4"_s));
    EXPECT_TRUE(isVideo(u"/d/some.folder/rec.mp4"_s));
    EXPECT_FALSE(isVideo(u"/d/rec.m4v"_s));
    EXPECT_FALSE(isVideo(u"/d/anim.gif"_s));
    EXPECT_FALSE(isVideo(u"/d/shot.png"_s));
    EXPECT_FALSE(isVideo(u"/d/mov"_s));
    EXPECT_FALSE(isVideo(u"/d/rec.mov/inside"_s));
}

TEST(ScreenshotIdentity, EqualityAndHashFollowTheIdAlone)
{
    Screenshot a = fullyPopulated();
    Screenshot b = a;
    b.ocrText = u"different"_s;
    b.tags.clear();
    b.userNotes.reset();
    b.customTags = {u"Other"_s};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    EXPECT_EQ(std::hash<Screenshot>()(a), std::hash<Screenshot>()(b));

    const Screenshot sameFileOtherId(a.filePath, QUuid::createUuid());
    EXPECT_NE(a, sameFileOtherId);

    QSet<Screenshot> set{a, b, sameFileOtherId};
    EXPECT_EQ(set.size(), 2);
    std::unordered_set<Screenshot> stdSet{a, b};
    EXPECT_EQ(stdSet.size(), 1u);
}

TEST(ScreenshotCoding, RoundTripsEveryField)
{
    const Screenshot original = fullyPopulated();
    const QJsonObject json = original.toJson();

    EXPECT_EQ(json.value(u"id"_s).toString(), uuidText(original.id));
    EXPECT_TRUE(json.value(u"dateCreated"_s).toString().endsWith(u'Z'));
    EXPECT_EQ(json.value(u"thumbnailData"_s).toString(), QString::fromLatin1(original.thumbnailData->toBase64()));

    // Through text, as a file would hold it.
    const QJsonObject reread = QJsonDocument::fromJson(QJsonDocument(json).toJson()).object();
    QString error;
    const auto decoded = Screenshot::fromJson(reread, &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ(decoded->id, original.id);
    EXPECT_EQ(decoded->filePath, original.filePath);
    EXPECT_EQ(decoded->filename, original.filename);
    EXPECT_EQ(decoded->dateCreated, original.dateCreated);
    EXPECT_EQ(decoded->fileSize, original.fileSize);
    EXPECT_EQ(decoded->thumbnailData, original.thumbnailData);
    EXPECT_EQ(decoded->ocrText, original.ocrText);
    EXPECT_EQ(decoded->embedding, original.embedding);
    EXPECT_EQ(decoded->tags, original.tags);
    EXPECT_EQ(decoded->sourceApp, original.sourceApp);
    EXPECT_EQ(decoded->detectedUrls, original.detectedUrls);
    EXPECT_EQ(decoded->customTags, original.customTags);
    EXPECT_EQ(decoded->userNotes, original.userNotes);
}

TEST(ScreenshotCoding, AbsentOptionalsAreLeftOutAndReadBackAbsent)
{
    const Screenshot bare(u"/d/x.png"_s, QUuid::createUuid());
    const QJsonObject json = bare.toJson();
    for (const char* key : {"thumbnailData", "ocrText", "embedding", "sourceApp", "detectedUrls", "userNotes"})
        EXPECT_FALSE(json.contains(QLatin1String(key))) << key;
    for (const char* key : {"id", "filePath", "filename", "dateCreated", "fileSize", "tags", "customTags"})
        EXPECT_TRUE(json.contains(QLatin1String(key))) << key;

    const auto decoded = Screenshot::fromJson(json);
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->ocrText);
    EXPECT_FALSE(decoded->embedding);

    // Present but empty stays present: "analysed, nothing found" is not "not analysed".
    Screenshot analysed = bare;
    analysed.ocrText = QString();
    analysed.embedding = QList<double>();
    const auto reread = Screenshot::fromJson(analysed.toJson());
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->ocrText, QString());
    EXPECT_EQ(reread->embedding, QList<double>());
}

TEST(ScreenshotCoding, MissingRequiredKeyOrWrongTypeFails)
{
    const QJsonObject good = fullyPopulated().toJson();
    const auto failsWith = [](QJsonObject json, const QString& key) {
        QString error;
        EXPECT_FALSE(Screenshot::fromJson(json, &error)) << key.toStdString();
        EXPECT_TRUE(error.contains(key)) << error.toStdString();
    };

    for (const char* key : {"id", "filePath", "filename", "dateCreated", "fileSize", "tags", "customTags"}) {
        QJsonObject json = good;
        json.remove(QLatin1String(key));
        failsWith(json, QLatin1String(key));
    }

    QJsonObject json = good;
    json[u"id"_s] = u"not-a-uuid"_s;
    failsWith(json, u"id"_s);
    json = good;
    json[u"fileSize"_s] = u"12"_s;
    failsWith(json, u"fileSize"_s);
    json = good;
    json[u"fileSize"_s] = 1.5;
    failsWith(json, u"fileSize"_s);
    json = good;
    json[u"tags"_s] = QJsonArray{1, 2};
    failsWith(json, u"tags"_s);
    json = good;
    json[u"dateCreated"_s] = u"yesterday"_s;
    failsWith(json, u"dateCreated"_s);
    json = good;
    json[u"thumbnailData"_s] = u"***"_s;
    failsWith(json, u"thumbnailData"_s);
    json = good;
    json[u"ocrText"_s] = 5;
    failsWith(json, u"ocrText"_s);
}

TEST(ScreenshotCoding, AcceptsDatesWithoutFractionalSeconds)
{
    QJsonObject json = Screenshot(u"/d/x.png"_s, QUuid::createUuid()).toJson();
    json[u"dateCreated"_s] = u"2024-03-05T10:20:30Z"_s;
    const auto decoded = Screenshot::fromJson(json);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->dateCreated, QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::UTC));
}

TEST(PreviewGeometry, FitsTheTargetWithoutCapping)
{
    const auto large = Screenshot::previewGeometry(QSizeF(2000, 1000), QSizeF(600, 600));
    ASSERT_TRUE(large);
    EXPECT_DOUBLE_EQ(large->scale, 0.3);
    EXPECT_DOUBLE_EQ(large->declaredSize.width(), 600);
    EXPECT_DOUBLE_EQ(large->declaredSize.height(), 300);
    EXPECT_DOUBLE_EQ(large->maxPixelSize, 600);

    const auto small = Screenshot::previewGeometry(QSizeF(100, 50), QSizeF(160, 160));
    ASSERT_TRUE(small);
    EXPECT_DOUBLE_EQ(small->scale, 1.6);
    EXPECT_DOUBLE_EQ(small->declaredSize.width(), 160);
    EXPECT_DOUBLE_EQ(small->declaredSize.height(), 80);
    EXPECT_DOUBLE_EQ(small->maxPixelSize, 160);

    const auto tall = Screenshot::previewGeometry(QSizeF(500, 2000), QSizeF(300, 300));
    ASSERT_TRUE(tall);
    EXPECT_DOUBLE_EQ(tall->declaredSize.width(), 75);
    EXPECT_DOUBLE_EQ(tall->maxPixelSize, 300);
}

TEST(PreviewGeometry, NoFitForEmptySizes)
{
    EXPECT_FALSE(Screenshot::previewGeometry(QSizeF(0, 100), QSizeF(600, 600)));
    EXPECT_FALSE(Screenshot::previewGeometry(QSizeF(100, 100), QSizeF(0, 600)));
    EXPECT_FALSE(Screenshot::previewGeometry(QSizeF(-1, 100), QSizeF(600, 600)));
}
