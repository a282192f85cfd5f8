#include "core/MediaFixtures.h"
#include "support/Capture.h"
#include "support/FakeVideoBackend.h"
#include "support/Wait.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/Motion.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEnterEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
class VideoPlayerTest : public ::testing::Test
{
protected:
    VideoPlayerTest()
        : m_player(QUrl::fromLocalFile(u"/videos/a.mp4"_s), m_backend)
    {
        m_player.resize(400, 300);
    }

    void pointer(bool inside)
    {
        if (inside) {
            QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
            QApplication::sendEvent(&m_player, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&m_player, &leave);
        }
    }

    QColor centreColour() { return m_player.grab().toImage().pixelColor(5, 150); }

    InstantMotionScope m_instant;
    FakeVideoBackend m_backend;
    CustomVideoPlayer m_player;
};

TEST_F(VideoPlayerTest, BeforeItIsShownTheButtonShowsPlayAndDoesNothing)
{
    EXPECT_TRUE(m_player.isButtonShown());
    EXPECT_EQ(m_player.buttonSymbol(), u"play.fill"_s);
    m_player.playPauseButton()->click();
    m_player.togglePlayback();
    EXPECT_FALSE(m_player.isPlaying());
    EXPECT_FALSE(m_player.hasPlayer());
    EXPECT_TRUE(m_backend.calls.isEmpty());
}

TEST_F(VideoPlayerTest, ShowingPlaysAndHidingPausesAndReleases)
{
    m_player.show();
    EXPECT_EQ(m_backend.calls, (QStringList{u"open a.mp4"_s, u"play a.mp4"_s}));
    EXPECT_TRUE(m_player.isPlaying());
    EXPECT_FALSE(m_player.isButtonShown()) << "playing, pointer outside";

    m_backend.showFrame(QImage(QSize(16, 9), QImage::Format_RGB32));
    m_player.hide();
    EXPECT_EQ(m_backend.calls.mid(2), (QStringList{u"pause a.mp4"_s, u"release a.mp4"_s}));
    EXPECT_FALSE(m_player.hasPlayer());
    EXPECT_TRUE(m_player.currentFrame().isNull()) << "a released player leaves black";

    // Each showing is a fresh player from the beginning.
    m_backend.calls.clear();
    m_player.show();
    EXPECT_EQ(m_backend.calls, (QStringList{u"open a.mp4"_s, u"play a.mp4"_s}));
}

TEST_F(VideoPlayerTest, AnotherFileWhileShownStopsTheOldPlayerAndPlaysTheNew)
{
    m_player.show();
    m_backend.calls.clear();
    m_player.setUrl(QUrl::fromLocalFile(u"/videos/b.mov"_s));
    EXPECT_EQ(m_backend.calls, (QStringList{u"pause a.mp4"_s, u"release a.mp4"_s, u"open b.mov"_s, u"play b.mov"_s}));
    EXPECT_TRUE(m_player.isPlaying());

    // Hidden, the file only changes; the next showing plays it.
    m_player.hide();
    m_backend.calls.clear();
    m_player.setUrl(QUrl::fromLocalFile(u"/videos/c.mp4"_s));
    EXPECT_TRUE(m_backend.calls.isEmpty());
    m_player.show();
    EXPECT_EQ(m_backend.calls, (QStringList{u"open c.mp4"_s, u"play c.mp4"_s}));
}

TEST_F(VideoPlayerTest, ButtonShowsWhileHoveredOrPaused)
{
    m_player.show();
    struct Step
    {
        const char* what;
        std::function<void()> action;
        bool shown;
        QString symbol;
    };
    const Step steps[] = {
        {"pointer in", [&] { pointer(true); }, true, u"pause.fill"_s},
        {"pause", [&] { m_player.playPauseButton()->click(); }, true, u"play.fill"_s},
        {"pointer out while paused", [&] { pointer(false); }, true, u"play.fill"_s},
        {"play from outside", [&] { m_player.togglePlayback(); }, false, u"pause.fill"_s},
        {"pointer in again", [&] { pointer(true); }, true, u"pause.fill"_s},
        {"pointer out while playing", [&] { pointer(false); }, false, u"pause.fill"_s},
    };
    for (const Step& step : steps) {
        step.action();
        EXPECT_EQ(m_player.isButtonShown(), step.shown) << step.what;
        EXPECT_EQ(m_player.buttonSymbol(), step.symbol) << step.what;
    }
    EXPECT_EQ(m_backend.calls.mid(2), (QStringList{u"pause a.mp4"_s, u"play a.mp4"_s}));
}

TEST_F(VideoPlayerTest, PlayedToItsEndOneClickPlaysAgain)
{
    m_player.show();
    m_backend.calls.clear();
    m_backend.reachEnd();
    EXPECT_FALSE(m_player.isPlaying());
    EXPECT_TRUE(m_player.isButtonShown()) << "the end shows the play button, pointer outside";
    EXPECT_EQ(m_player.buttonSymbol(), u"play.fill"_s);

    m_player.playPauseButton()->click();
    EXPECT_EQ(m_backend.calls, QStringList{u"play a.mp4"_s});
    EXPECT_TRUE(m_player.isPlaying());
    EXPECT_FALSE(m_player.isButtonShown());
}

TEST_F(VideoPlayerTest, PicturesAreFittedOnBlack)
{
    m_player.show();
    EXPECT_EQ(centreColour(), QColor(Qt::black));
    QImage red(160, 90, QImage::Format_RGB32);
    red.fill(Qt::red);
    m_backend.showFrame(red);
    // A 16:9 picture in a 4:3 view: letterboxed, full width.
    EXPECT_EQ(centreColour(), QColor(Qt::red));
    EXPECT_EQ(m_player.grab().toImage().pixelColor(200, 5), QColor(Qt::black));
}

// The real backend on a recording of `seconds` made here with ffmpeg.
class VideoPlayerPlayback : public ::testing::Test
{
protected:
    void play(int seconds)
    {
        if (!MultimediaVideoBackend::isAvailable())
            GTEST_SKIP() << "no Qt Multimedia backend can be loaded here";
        const QString path = m_dir.filePath(u"clip.mp4"_s);
        ASSERT_TRUE(fixtures::runFfmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s,
                                         u"testsrc=size=160x120:rate=30:duration=%1"_s.arg(seconds), u"-pix_fmt"_s,
                                         u"yuv420p"_s, u"-c:v"_s, u"libx264"_s, path}));
        m_player = std::make_unique<CustomVideoPlayer>(QUrl::fromLocalFile(path), m_backend);
        m_player->resize(160, 120);
        m_player->show();
    }

    std::string log() const { return m_console.lines().join(u'\n').toStdString(); }

    QTemporaryDir m_dir;
    ConsoleCapture m_console;
    MultimediaVideoBackend m_backend;
    std::unique_ptr<CustomVideoPlayer> m_player;
};

// Playback starts by itself and time goes on.
TEST_F(VideoPlayerPlayback, PlaysARealRecording)
{
    play(4);
    if (!m_player)
        return;
    ASSERT_TRUE(m_player->hasPlayer());
    EXPECT_TRUE(waitUntil([&] { return m_player->positionMs() > 300; }, 8000)) << log();
    EXPECT_FALSE(m_player->currentFrame().isNull()) << log();
    m_player->hide();
    EXPECT_FALSE(m_player->hasPlayer());
}

// A short recording played to its end, then once more with one toggle.
TEST_F(VideoPlayerPlayback, ARealRecordingAtItsEndPlaysAgainWithOneToggle)
{
    play(1);
    if (!m_player)
        return;
    ASSERT_TRUE(waitUntil([&] { return !m_player->isPlaying(); }, 8000)) << "the end never came " << log();
    m_player->togglePlayback();
    EXPECT_TRUE(m_player->isPlaying());
    EXPECT_TRUE(waitUntil([&] { return m_player->positionMs() > 200; }, 8000)) << "it did not play again " << log();
}

// Where Qt Multimedia has no backend (run with QT_MEDIA_BACKEND naming a
// missing one), a player says so once, stays black and never aborts.
TEST_F(VideoPlayerPlayback, WithoutABackendItSaysSoOnceAndShowsNothing)
{
    if (MultimediaVideoBackend::isAvailable())
        GTEST_SKIP() << "a backend is installed; the run without one covers this";
    ConsoleCapture console;
    MultimediaVideoBackend backend;
    CustomVideoPlayer player(QUrl::fromLocalFile(u"/videos/a.mp4"_s), backend);
    player.show();
    player.hide();
    player.show();
    EXPECT_TRUE(player.hasPlayer());
    EXPECT_EQ(player.positionMs(), 0);
    EXPECT_TRUE(player.currentFrame().isNull());
    const QStringList lines = console.lines().filter(u"Video playback is unavailable"_s);
    ASSERT_EQ(lines.size(), 1) << console.lines().join(u'\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(u"⚠️ Video playback is unavailable: Qt Multimedia found no backend"_s));
}
} // namespace
