#include "generators/SampleLibrary.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QMap<QString, QByteArray> digests(const QString& folder)
{
    QMap<QString, QByteArray> result;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        result.insert(it.filePath().mid(folder.size()),
                      QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return result;
}

SampleLibrary::Options options(const QString& folder)
{
    SampleLibrary::Options options;
    options.folder = folder;
    options.count = 41;
    options.seed = 5;
    options.duplicateShare = 0.1;
    return options;
}
} // namespace

TEST(SampleLibrary, WritesEveryKindWithDuplicatesAndGroundTruth)
{
    QTemporaryDir dir;
    const SampleLibrary::Result result = SampleLibrary::write(options(dir.path()));
    ASSERT_TRUE(result.errors.isEmpty()) << result.errors.join(u'\n').toStdString();
    // 41 files in all, four of them copies.
    ASSERT_EQ(result.entries.size(), 41);
    EXPECT_EQ(digests(dir.path()).size(), 41);

    QSet<QString> extensions;
    int duplicates = 0;
    for (const SampleLibrary::Entry& entry : result.entries) {
        const QString path = dir.filePath(entry.relativePath);
        ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
        const QString extension = QFileInfo(path).suffix();
        extensions.insert(extension);
        if (extension != u"mov"_s) {
            EXPECT_FALSE(entry.lines.isEmpty()) << path.toStdString();
            EXPECT_TRUE(QImageReader(path).canRead() || extension == u"heic"_s) << path.toStdString();
        }
        duplicates += entry.isDuplicate;
    }
    EXPECT_EQ(extensions, (QSet<QString>{u"png"_s, u"heic"_s, u"webp"_s, u"mov"_s}));
    EXPECT_EQ(duplicates, 4);

    const auto sums = digests(dir.path());
    for (const SampleLibrary::Entry& entry : result.entries) {
        if (!entry.isDuplicate)
            continue;
        const qsizetype count = std::count(sums.begin(), sums.end(), sums.value(u'/' + entry.relativePath));
        EXPECT_GE(count, 2) << "a duplicate must equal its original byte for byte";
    }

    const QJsonArray files =
        QJsonDocument::fromJson(SampleLibrary::groundTruthJson(result)).object().value(u"files"_s).toArray();
    EXPECT_EQ(files.size(), result.entries.size());
}

TEST(SampleLibrary, SameSeedGivesTheSameFiles)
{
    QTemporaryDir first;
    QTemporaryDir second;
    SampleLibrary::Options a = options(first.path());
    SampleLibrary::Options b = options(second.path());
    a.recordingEvery = b.recordingEvery = 0; // encoder output is not promised to be stable
    a.count = b.count = 12;
    const SampleLibrary::Result written = SampleLibrary::write(a);
    const SampleLibrary::Result again = SampleLibrary::write(b);
    // Two failed writes would leave two equal, empty folders.
    ASSERT_TRUE(written.errors.isEmpty()) << written.errors.join(u'\n').toStdString();
    ASSERT_TRUE(again.errors.isEmpty()) << again.errors.join(u'\n').toStdString();
    ASSERT_EQ(written.entries.size(), 12);
    ASSERT_EQ(again.entries.size(), 12);
    const auto files = digests(first.path());
    EXPECT_EQ(files.size(), 12);
    EXPECT_EQ(files, digests(second.path()));

    const auto drawing = SampleLibrary::draw(9, 3, false);
    EXPECT_EQ(drawing.image, SampleLibrary::draw(9, 3, false).image);
    EXPECT_NE(drawing.image, SampleLibrary::draw(10, 3, false).image);
}

TEST(SampleLibrary, ChosenSizeAndAppearanceKeepTheSeedsContent)
{
    using Appearance = SampleLibrary::Appearance;
    const auto random = SampleLibrary::draw(9, 5, false);
    const auto light = SampleLibrary::draw(9, 5, random.image.size(), Appearance::light);
    const auto dark = SampleLibrary::draw(9, 5, random.image.size(), Appearance::dark);
    // Whichever appearance the seed picked, choosing it reproduces the drawing.
    EXPECT_TRUE(random.image == light.image || random.image == dark.image);
    EXPECT_NE(light.image, dark.image);

    const auto mean = [](const QImage& image) {
        const QImage grey = image.scaled(64, 40).convertToFormat(QImage::Format_Grayscale8);
        qint64 sum = 0;
        for (int y = 0; y < grey.height(); ++y)
            for (int x = 0; x < grey.width(); ++x)
                sum += grey.constScanLine(y)[x];
        return double(sum) / double(grey.width() * grey.height());
    };
    EXPECT_LT(mean(dark.image) + 60, mean(light.image));
    const auto big = SampleLibrary::draw(9, 5, QSize(2880, 1800), Appearance::light);
    EXPECT_EQ(big.image.size(), QSize(2880, 1800));
    EXPECT_EQ(big.lines, light.lines);
}

TEST(SampleLibrary, SmallModeWritesTinyImages)
{
    QTemporaryDir dir;
    SampleLibrary::Options small = options(dir.path());
    small.small = true;
    small.recordingEvery = 0;
    small.heicEvery = 0;
    const auto result = SampleLibrary::write(small);
    ASSERT_TRUE(result.errors.isEmpty());
    for (const auto& entry : result.entries)
        EXPECT_EQ(QImageReader(dir.filePath(entry.relativePath)).size(), QSize(64, 40));
}
