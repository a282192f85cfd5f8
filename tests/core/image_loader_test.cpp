#include "MediaFixtures.h"

#include "core/ImageLoader.h"
#include "support/ReadCost.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

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

namespace {
constexpr qint64 fewGigabytes = 3LL * 1024 * 1024 * 1024;

QByteArray randomBytes(qsizetype count, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(count, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Each way in: by path and by an open file, size and picture, full and bounded.
std::vector<std::pair<const char*, std::function<bool(const QString&)>>> everyWayIn()
{
    const auto opened = [](const QString& file, auto use) {
        QFile device(file);
        return device.open(QIODevice::ReadOnly) && use(device);
    };
    return {
        {"size by path", [](const QString& file) { return ImageLoader::imageSize(file).isValid(); }},
        {"load by path", [](const QString& file) { return !ImageLoader::load(file).isNull(); }},
        {"bounded load by path", [](const QString& file) { return !ImageLoader::load(file, 100).isNull(); }},
        {"size of a device",
         [opened](const QString& file) {
             return opened(file, [](QFile& device) { return ImageLoader::imageSize(device).isValid(); });
         }},
        {"load of a device",
         [opened](const QString& file) {
             return opened(file, [](QFile& device) { return !ImageLoader::load(device, 100).isNull(); });
         }},
    };
}
} // namespace

TEST_F(ImageLoaderTest, AFileOfAFewGigabytesThatIsNoPictureCostsAFewMegabytesOfReadingAndMemory)
{
    ImageLoader::load(writeEveryFormat().first()); // the decoders' own start-up is not counted
    const QByteArray heifHead = QByteArray::fromHex("000000186674797068656963000000006d69663168656963");
    // A disk image, a broken download, a renamed video; the rest of each file is zeros.
    const std::pair<QString, QByteArray> files[] = {
        {u"zeros.png"_s, {}},
        {u"random.png"_s, randomBytes(64 * 1024, 1)},
        {u"png-signature.png"_s, QByteArray("\x89PNG\r\n\x1a\n", 8) + randomBytes(64 * 1024, 2)},
        {u"jpeg-signature.png"_s, QByteArray::fromHex("ffd8ffe0") + randomBytes(64 * 1024, 3)},
        {u"heif-signature.png"_s, heifHead},
        {u"heif-signature-random.heic"_s, heifHead + randomBytes(64 * 1024, 4)},
    };
    for (const auto& [name, head] : files) {
        ASSERT_TRUE(writeSparse(path(name), head, fewGigabytes));
        for (const auto& [way, decodes] : everyWayIn()) {
            SCOPED_TRACE(name.toStdString() + ", " + way);
            bool decoded = true;
            const ReadCost cost = readCostOf([&] { decoded = decodes(path(name)); });
            EXPECT_FALSE(decoded);
            EXPECT_LT(cost.readMB, 1.0);
            EXPECT_LT(cost.peakOverStartMB, 4.0);
        }
    }

    // Segments that never end: a decoder looking for the next marker stops
    // at the header's bound.
    ASSERT_TRUE(writeSparse(path(u"endless-header.jpg"_s), QByteArray::fromHex("ffd8ffe00010"), fewGigabytes));
    for (const auto& [way, decodes] : everyWayIn()) {
        SCOPED_TRACE(way);
        const ReadCost cost = readCostOf([&] { EXPECT_FALSE(decodes(path(u"endless-header.jpg"_s))); });
        EXPECT_LT(cost.readMB, ImageLoader::headerLimitMB + 1.0);
        EXPECT_LT(cost.peakOverStartMB, 4.0);
    }
}

TEST_F(ImageLoaderTest, APictureFollowedByGigabytesOfZerosDecodesReadingOnlyThePicture)
{
    // A download written into a file made at its full size, stopped or not.
    const QImage picture = fixtures::quadrants(64, 48);
    ASSERT_TRUE(fixtures::writeHeic(path(u"source.heic"_s), picture));
    QFile source(path(u"source.heic"_s));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray heic = source.readAll();
    const std::pair<QString, QByteArray> files[] = {
        {u"a.png"_s, encoded(picture, "PNG")},
        {u"b.jpg"_s, encoded(picture, "JPG")},
        {u"c.webp"_s, encoded(picture, "WEBP")},
        {u"d.heic"_s, heic},
        {u"e-heic.png"_s, heic},
    };
    for (const auto& [name, bytes] : files) {
        ASSERT_TRUE(writeSparse(path(name), bytes, fewGigabytes));
        for (const auto& [way, decodes] : everyWayIn()) {
            SCOPED_TRACE(name.toStdString() + ", " + way);
            bool decoded = false;
            const ReadCost cost = readCostOf([&] { decoded = decodes(path(name)); });
            EXPECT_TRUE(decoded);
            EXPECT_LT(cost.readMB, 1.0);
            EXPECT_LT(cost.peakOverStartMB, 4.0);
        }
        EXPECT_EQ(fixtures::layoutOf(ImageLoader::load(path(name))), upright);
    }
}

TEST_F(ImageLoaderTest, EveryFormatDecodesFromAFileOpenedByItsDescriptorOrABuffer)
{
    // As the analysis opens a file: by descriptor, so the device has no name
    // to go by; asked for the size first, then for the picture.
    QStringList files = writeEveryFormat();
    ASSERT_TRUE(fixtures::writeHeic(path(u"really-heic.png"_s), fixtures::quadrants(400, 300)));
    files.append(path(u"really-heic.png"_s));
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        QFile named(file);
        ASSERT_TRUE(named.open(QIODevice::ReadOnly));
        QBuffer buffer;
        buffer.setData(named.readAll());
        ASSERT_TRUE(named.seek(0));
        QFile device;
        ASSERT_TRUE(device.open(named.handle(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle));
        EXPECT_EQ(ImageLoader::imageSize(device), QSize(400, 300));
        const QImage bounded = ImageLoader::load(device, 100);
        EXPECT_EQ(bounded.size(), QSize(100, 75));
        EXPECT_EQ(fixtures::layoutOf(bounded), upright);

        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        EXPECT_EQ(ImageLoader::imageSize(buffer), QSize(400, 300));
        EXPECT_EQ(fixtures::layoutOf(ImageLoader::load(buffer)), upright);
    }
}
