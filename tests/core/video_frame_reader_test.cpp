#include "MediaFixtures.h"

#include "core/VideoFrameReader.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// 3-second frame-number recordings shared by the tests of this file.
class VideoFrameReaderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<QTemporaryDir>();
        s_recording = s_dir->filePath(u"count.mp4"_s);
        ASSERT_TRUE(fixtures::writeFrameNumberVideo(s_recording, 3.0));
        s_fragmented = s_dir->filePath(u"fragmented.mp4"_s);
        ASSERT_TRUE(
            fixtures::writeFrameNumberVideo(s_fragmented, 3.0, {u"-movflags"_s, u"+frag_keyframe+empty_moov"_s}));
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline QString s_recording;
    static inline QString s_fragmented;
};
} // namespace

TEST_F(VideoFrameReaderTest, FramesAreExactInAnyOrder)
{
    // Times between frames show the frame that began last; 35, 23 and 11 sit
    // just before key frames (every 12th), which decode ahead of them.
    const std::vector<std::pair<double, int>> expectations{
        {1.0, 30},  {0.0, 0},   {1.5, 45},       {0.99, 29},      {35.0 / 30, 35}, {0.5, 15},
        {2.99, 89}, {0.034, 1}, {11.0 / 30, 11}, {12.0 / 30, 12}, {23.0 / 30, 23}, {1.0, 30},
    };
    for (const QString& recording : {s_recording, s_fragmented}) {
        SCOPED_TRACE(recording.toStdString());
        VideoFrameReader reader(recording);
        ASSERT_TRUE(reader.isOpen()) << reader.errorString().toStdString();
        EXPECT_EQ(reader.frameSize(), QSize(fixtures::patternWidth, fixtures::patternHeight));
        for (const auto& [seconds, frameNumber] : expectations) {
            SCOPED_TRACE(seconds);
            const QImage frame = reader.frameAt(seconds);
            ASSERT_FALSE(frame.isNull()) << reader.errorString().toStdString();
            EXPECT_EQ(fixtures::frameNumberOf(frame), frameNumber);
            EXPECT_TRUE(reader.errorString().isEmpty());
        }
    }
}

TEST_F(VideoFrameReaderTest, TimesOutsideTheRecordingFailWithAReason)
{
    VideoFrameReader reader(s_recording);
    ASSERT_TRUE(reader.duration());
    EXPECT_NEAR(*reader.duration(), 3.0, 0.05);
    for (double seconds : {3.0, 60.0, -0.5, std::nan("")}) {
        SCOPED_TRACE(seconds);
        EXPECT_TRUE(reader.frameAt(seconds).isNull());
        EXPECT_FALSE(reader.errorString().isEmpty());
    }
    // A failure leaves the reader usable.
    EXPECT_EQ(fixtures::frameNumberOf(reader.frameAt(2.0)), 60);
}

TEST_F(VideoFrameReaderTest, AppliesTheDisplayMatrix)
{
    const QString rotated = s_dir->filePath(u"rotated.mp4"_s);
    ASSERT_TRUE(fixtures::writeRotatedFrameNumberVideo(rotated, s_dir->filePath(u"plain.mp4"_s), 1.5));

    VideoFrameReader reader(rotated);
    EXPECT_EQ(reader.frameSize(), QSize(fixtures::patternHeight, fixtures::patternWidth));
    const QImage frame = reader.frameAt(1.0);
    ASSERT_EQ(frame.size(), QSize(fixtures::patternHeight, fixtures::patternWidth));

    // The picture's top now shows on the left: turning it back a quarter
    // clockwise restores the pattern.
    EXPECT_EQ(fixtures::frameNumberOf(frame.transformed(QTransform().rotate(90))), 30);
}

TEST_F(VideoFrameReaderTest, UnreadableFilesReportWhy)
{
    const QString garbage = s_dir->filePath(u"garbage.mp4"_s);
    ASSERT_TRUE(fixtures::writeBytes(garbage, QByteArray(4096, 'x')));
    const QString silent = s_dir->filePath(u"silent.mp4"_s);
    ASSERT_TRUE(fixtures::runFfmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"anullsrc=d=1"_s, u"-c:a"_s, u"aac"_s, silent}));

    for (const QString& file : {garbage, silent, s_dir->filePath(u"missing.mov"_s)}) {
        SCOPED_TRACE(file.toStdString());
        VideoFrameReader reader(file);
        EXPECT_FALSE(reader.isOpen());
        EXPECT_FALSE(reader.errorString().isEmpty());
        EXPECT_TRUE(reader.frameAt(0).isNull());
        EXPECT_FALSE(reader.frameSize().isValid());
    }
}
