#include "MediaFixtures.h"

#include "core/ImageLoader.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using fixtures::Quadrant;

namespace {
constexpr std::array<Quadrant, 4> upright{Quadrant::Red, Quadrant::Green, Quadrant::Blue, Quadrant::White};

class ImageLoaderTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // One 400×300 picture in every supported format.
    QStringList writeEveryFormat() const
    {
        const QImage picture = fixtures::quadrants(400, 300);
        const QStringList paths{path(u"a.png"_s), path(u"b.jpg"_s), path(u"c.JPEG"_s), path(u"d.webp"_s)};
        for (const QString& file : paths)
            EXPECT_TRUE(picture.save(file, nullptr, 95)) << file.toStdString();
        EXPECT_TRUE(fixtures::writeHeic(path(u"e.heic"_s), picture));
        return paths + QStringList{path(u"e.heic"_s)};
    }

    QTemporaryDir m_dir;
};
} // namespace

TEST_F(ImageLoaderTest, DecodesEveryFormatFullAndBounded)
{
    for (const QString& file : writeEveryFormat()) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(ImageLoader::imageSize(file), QSize(400, 300));

        const QImage full = ImageLoader::load(file);
        EXPECT_EQ(full.size(), QSize(400, 300));
        EXPECT_EQ(fixtures::layoutOf(full), upright);

        const QImage bounded = ImageLoader::load(file, 100);
        EXPECT_EQ(bounded.size(), QSize(100, 75));
        EXPECT_EQ(fixtures::layoutOf(bounded), upright);

        // A bound above the image never enlarges it.
        EXPECT_EQ(ImageLoader::load(file, 1000).size(), QSize(400, 300));
    }
}

TEST_F(ImageLoaderTest, AppliesTheExifOrientation)
{
    // Orientation 6: the stored picture is shown turned a quarter clockwise.
    const QString file = path(u"phone.jpg"_s);
    ASSERT_TRUE(fixtures::writeBytes(file, fixtures::jpegWithOrientation(fixtures::quadrants(400, 300), 6)));
    const std::array<Quadrant, 4> turned{Quadrant::Blue, Quadrant::Red, Quadrant::White, Quadrant::Green};

    EXPECT_EQ(ImageLoader::imageSize(file), QSize(300, 400));

    const QImage full = ImageLoader::load(file);
    EXPECT_EQ(full.size(), QSize(300, 400));
    EXPECT_EQ(fixtures::layoutOf(full), turned);

    const QImage bounded = ImageLoader::load(file, 200);
    EXPECT_EQ(bounded.size(), QSize(150, 200));
    EXPECT_EQ(fixtures::layoutOf(bounded), turned);
}

TEST_F(ImageLoaderTest, FindsTheRightDecoderWhenTheExtensionLies)
{
    const QImage picture = fixtures::quadrants(64, 48);
    ASSERT_TRUE(fixtures::writeHeic(path(u"really-heic.png"_s), picture));
    ASSERT_TRUE(picture.save(path(u"really-jpeg.heic"_s), "JPG"));

    for (const QString& name : {u"really-heic.png"_s, u"really-jpeg.heic"_s}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(ImageLoader::imageSize(path(name)), QSize(64, 48));
        EXPECT_EQ(fixtures::layoutOf(ImageLoader::load(path(name), 32)), upright);
    }
}

TEST_F(ImageLoaderTest, UnreadableFilesGiveNothing)
{
    ASSERT_TRUE(fixtures::writeBytes(path(u"text.png"_s), "this is not an image"));
    ASSERT_TRUE(fixtures::writeBytes(path(u"empty.jpg"_s), {}));
    ASSERT_TRUE(fixtures::writeBytes(path(u"text.heic"_s), "neither is this"));
    QByteArray truncatedHeic;
    {
        ASSERT_TRUE(fixtures::writeHeic(path(u"whole.heic"_s), fixtures::quadrants(64, 64)));
        QFile whole(path(u"whole.heic"_s));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        truncatedHeic = whole.read(whole.size() / 3);
    }
    ASSERT_TRUE(fixtures::writeBytes(path(u"cut.heic"_s), truncatedHeic));

    for (const QString& name : {u"missing.png"_s, u"text.png"_s, u"empty.jpg"_s, u"text.heic"_s, u"cut.heic"_s}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(ImageLoader::load(path(name)).isNull());
        EXPECT_TRUE(ImageLoader::load(path(name), 50).isNull());
    }
    EXPECT_FALSE(ImageLoader::imageSize(path(u"missing.png"_s)).isValid());
    EXPECT_FALSE(ImageLoader::imageSize(path(u"text.heic"_s)).isValid());
}

TEST_F(ImageLoaderTest, LoadsImagesAboveQtsDefaultAllocationLimit)
{
    // 6000×6000 decodes to 144 MB of RGB32, over Qt's default 128 MB.
    QImage large(6000, 6000, QImage::Format_RGB32);
    large.fill(Qt::darkCyan);
    const QString file = path(u"large.jpg"_s);
    ASSERT_TRUE(large.save(file, "JPG", 50));
    large = {};

    const QImage loaded = ImageLoader::load(file);
    EXPECT_EQ(loaded.size(), QSize(6000, 6000));
    EXPECT_GE(QImageReader::allocationLimit(), ImageLoader::allocationLimitMB);
    EXPECT_EQ(ImageLoader::load(file, 600).size(), QSize(600, 600));
}

TEST_F(ImageLoaderTest, WorkerThreadsDecodeSideBySide)
{
    const QStringList formats = writeEveryFormat();
    QStringList files;
    for (int round = 0; round < 6; ++round)
        files += formats;

    QThreadPool pool;
    pool.setMaxThreadCount(8);
    const QList<QImage> images =
        QtConcurrent::blockingMapped(&pool, files, [](const QString& file) { return ImageLoader::load(file, 200); });
    for (qsizetype i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        EXPECT_EQ(images[i].size(), QSize(200, 150));
        EXPECT_EQ(fixtures::layoutOf(images[i]), upright);
    }
}
