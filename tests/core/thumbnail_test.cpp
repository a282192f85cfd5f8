#include "MediaFixtures.h"
#include "support/Capture.h"

#include "core/Screenshot.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using fixtures::Quadrant;

namespace {
class ThumbnailTest : public ::testing::Test
{
protected:
    Screenshot record(const QString& name) const { return Screenshot(m_dir.filePath(name), QUuid::createUuid()); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};
} // namespace

TEST_F(ThumbnailTest, ImagesFitTheTargetAndDeclareTheFittedSize)
{
    ASSERT_TRUE(fixtures::quadrants(2000, 1000).save(path(u"wide.png"_s)));
    ASSERT_TRUE(fixtures::quadrants(100, 50).save(path(u"small.webp"_s)));
    ASSERT_TRUE(fixtures::writeHeic(path(u"tall.HEIC"_s), fixtures::quadrants(300, 600)));

    // Decoded no larger than the fitted size.
    const QImage wide = record(u"wide.png"_s).generateThumbnail(QSizeF(600, 600));
    EXPECT_EQ(wide.size(), QSize(600, 300));
    EXPECT_EQ(wide.deviceIndependentSize(), QSizeF(600, 300));

    // A larger target enlarges the declared size, never the decoded pixels.
    const QImage small = record(u"small.webp"_s).generateThumbnail(QSizeF(160, 160));
    EXPECT_EQ(small.size(), QSize(100, 50));
    EXPECT_EQ(small.deviceIndependentSize(), QSizeF(160, 80));

    const QImage tall = record(u"tall.HEIC"_s).generateThumbnail(QSizeF(300, 300));
    EXPECT_EQ(tall.size(), QSize(150, 300));
    EXPECT_EQ(tall.deviceIndependentSize(), QSizeF(150, 300));

    for (const QImage& image : {wide, small, tall})
        EXPECT_EQ(fixtures::layoutOf(image),
                  (std::array{Quadrant::Red, Quadrant::Green, Quadrant::Blue, Quadrant::White}));
}

TEST_F(ThumbnailTest, ImagesComeOutUpright)
{
    ASSERT_TRUE(
        fixtures::writeBytes(path(u"phone.jpg"_s), fixtures::jpegWithOrientation(fixtures::quadrants(800, 600), 6)));

    const QImage preview = record(u"phone.jpg"_s).generateThumbnail(QSizeF(300, 300));
    EXPECT_EQ(preview.size(), QSize(225, 300));
    EXPECT_EQ(preview.deviceIndependentSize(), QSizeF(225, 300));
    EXPECT_EQ(fixtures::layoutOf(preview),
              (std::array{Quadrant::Blue, Quadrant::Red, Quadrant::White, Quadrant::Green}));
}

TEST_F(ThumbnailTest, TargetsWithoutAFitGiveTheWholeImage)
{
    ASSERT_TRUE(fixtures::quadrants(120, 80).save(path(u"shot.png"_s)));
    const double nan = std::nan("");
    const double infinity = std::numeric_limits<double>::infinity();
    for (const QSizeF& target :
         {QSizeF(0, 0), QSizeF(100, 0), QSizeF(-5, 40), QSizeF(nan, 40), QSizeF(infinity, infinity)}) {
        const QImage image = record(u"shot.png"_s).generateThumbnail(target);
        EXPECT_EQ(image.size(), QSize(120, 80));
        EXPECT_EQ(image.devicePixelRatio(), 1.0);
    }
    // A huge but finite target declares a huge size; the pixels stay as they are.
    const QImage huge = record(u"shot.png"_s).generateThumbnail(QSizeF(1.2e10, 1.2e10));
    EXPECT_EQ(huge.size(), QSize(120, 80));
    EXPECT_DOUBLE_EQ(huge.deviceIndependentSize().width(), 1.2e10);
}

TEST_F(ThumbnailTest, UnreadableImagesGiveNothingQuietly)
{
    ASSERT_TRUE(fixtures::writeBytes(path(u"broken.png"_s), "\x89PNG\r\n\x1a\n and then nothing useful"));
    ASSERT_TRUE(fixtures::writeBytes(path(u"empty.jpeg"_s), {}));
    ConsoleCapture console;
    for (const QString& name : {u"broken.png"_s, u"empty.jpeg"_s, u"missing.heic"_s})
        EXPECT_TRUE(record(name).generateThumbnail(QSizeF(600, 600)).isNull()) << name.toStdString();
    EXPECT_TRUE(console.lines().isEmpty());
}

TEST_F(ThumbnailTest, VideosGiveTheFrameAtOneSecondAtItsOwnSize)
{
    ASSERT_TRUE(fixtures::writeFrameNumberVideo(path(u"three.mp4"_s), 3.0));
    ASSERT_TRUE(fixtures::writeFrameNumberVideo(path(u"half.MOV"_s), 0.5));
    ConsoleCapture console;

    const QImage atOne = record(u"three.mp4"_s).generateThumbnail(QSizeF(40, 40));
    EXPECT_EQ(atOne.deviceIndependentSize(), QSizeF(fixtures::patternWidth, fixtures::patternHeight));
    EXPECT_EQ(fixtures::frameNumberOf(atOne), 30);

    // Too short for 1 s: the first frame, and nothing on the console.
    const QImage first = record(u"half.MOV"_s).generateThumbnail(QSizeF(600, 600));
    EXPECT_EQ(fixtures::frameNumberOf(first), 0);
    EXPECT_TRUE(console.lines().isEmpty()) << console.lines().join(u'\n').toStdString();
}

TEST_F(ThumbnailTest, RotatedRecordingsComeOutUpright)
{
    ASSERT_TRUE(fixtures::writeRotatedFrameNumberVideo(path(u"turned.mov"_s), path(u"plain.mp4"_s), 2.0));
    const QImage frame = record(u"turned.mov"_s).generateThumbnail(QSizeF(600, 600));
    ASSERT_EQ(frame.size(), QSize(fixtures::patternHeight, fixtures::patternWidth));
    EXPECT_EQ(fixtures::frameNumberOf(frame.transformed(QTransform().rotate(90))), 30);
}

TEST_F(ThumbnailTest, BrokenVideosPrintTheFailureLine)
{
    ASSERT_TRUE(fixtures::writeBytes(path(u"broken.mp4"_s), QByteArray(2048, '\0')));
    ConsoleCapture console;

    EXPECT_TRUE(record(u"broken.mp4"_s).generateThumbnail(QSizeF(600, 600)).isNull());
    EXPECT_TRUE(record(u"gone.mov"_s).generateThumbnail(QSizeF(600, 600)).isNull());

    const QStringList lines = console.lines();
    ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
    const QString prefix = u"❌ Failed to generate video thumbnail for "_s;
    EXPECT_TRUE(lines[0].startsWith(prefix + u"broken.mp4: "_s)) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(prefix + u"gone.mov: "_s)) << lines[1].toStdString();
    for (const QString& line : lines)
        EXPECT_GT(line.size(), line.indexOf(u": "_s) + 2) << "the line names the error";
}
