#include "core/Workers.h"
#include "gallery/DashboardPreviewView.h"
#include "support/FakeDesktop.h"
#include "support/FakeVideoBackend.h"
#include "support/UnreadableImages.h"
#include "support/Wait.h"
#include "ui/ActivitySpinner.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/FullImageLoader.h"
#include "ui/Motion.h"
#include "ui/UnreadablePicture.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// The preview over real image files of distinct colours, with the desktop
// and the video backend as fakes; every callback is written down in order.
class DashboardPreviewTest : public ::testing::Test
{
protected:
    DashboardPreviewTest()
    {
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow};
        for (int i = 0; i < colours.size(); ++i)
            m_shots.append(imageShot(u"shot-%1.png"_s.arg(i), colours[i]));
    }

    ~DashboardPreviewTest() override
    {
        m_preview.reset();
        m_workers.thumbnails().waitForDone();
    }

    Screenshot imageShot(const QString& name, const QColor& colour)
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = m_dir.filePath(name);
        image.save(path);
        Screenshot shot;
        shot.id = QUuid::createUuid();
        shot.filePath = path;
        shot.filename = name;
        return shot;
    }

    DashboardPreviewView& open(const Screenshot& shown, QList<Screenshot> all)
    {
        m_preview = std::make_unique<DashboardPreviewView>(
            shown, std::move(all), [this] { m_calls.append(u"close"_s); },
            [this](const Screenshot& s) {
                m_calls.append(u"navigate "_s + s.filename);
                m_preview->setScreenshot(s);
            },
            [this](const Screenshot& s) { m_calls.append(u"delete "_s + s.filename); },
            DashboardPreviewView::Services{m_desktop, m_video, m_workers});
        m_preview->resize(900, 600);
        m_preview->show();
        return *m_preview;
    }

    QColor shownColour() const { return m_preview->image().isNull() ? QColor() : m_preview->image().pixelColor(1, 1); }

    void press(const QString& text)
    {
        QMessageBox* box = m_preview->deleteConfirmation();
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == text)
                return button->click();
        FAIL() << "no button " << text.toStdString();
    }

    InstantMotionScope m_instant;
    QTemporaryDir m_dir;
    Workers m_workers;
    FakeDesktop m_desktop;
    FakeVideoBackend m_video;
    QList<Screenshot> m_shots;
    QStringList m_calls;
    std::unique_ptr<DashboardPreviewView> m_preview;
};

TEST_F(DashboardPreviewTest, ArrowsOnlyWhereThereIsANeighbour)
{
    const Screenshot stranger = imageShot(u"stranger.png"_s, Qt::white);
    struct Case
    {
        const char* what;
        Screenshot shown;
        QList<Screenshot> all;
        bool previous;
        bool next;
    };
    const Case cases[] = {
        {"first", m_shots[0], m_shots, false, true},          {"middle", m_shots[1], m_shots, true, true},
        {"last", m_shots[3], m_shots, true, false},           {"alone", m_shots[0], {m_shots[0]}, false, false},
        {"not in the list", stranger, m_shots, false, false},
    };
    for (const Case& c : cases) {
        DashboardPreviewView& preview = open(c.shown, c.all);
        EXPECT_EQ(preview.previousButton()->isVisible(), c.previous) << c.what;
        EXPECT_EQ(preview.nextButton()->isVisible(), c.next) << c.what;
    }

    open(m_shots[2], m_shots);
    QTest::mouseClick(m_preview->nextButton(), Qt::LeftButton);
    QTest::mouseClick(m_preview->nextButton(), Qt::LeftButton); // now hidden: the last has no next
    EXPECT_EQ(m_calls, QStringList{u"navigate shot-3.png"_s});
    // Arrow keys do not step.
    QTest::keyClick(m_preview.get(), Qt::Key_Left);
    EXPECT_EQ(m_preview->screenshot().id, m_shots[3].id);
}

TEST_F(DashboardPreviewTest, ZoomStepsAndPinchesAsTheLabelSays)
{
    DashboardPreviewView& preview = open(m_shots[0], m_shots);
    struct Case
    {
        double from;
        int plus;
        int minus;
        QString label;
    };
    const Case cases[] = {
        {1.0, 0, 1, u"75%"_s},  {1.0, 0, 2, u"50%"_s},  {1.0, 0, 3, u"50%"_s},  {1.0, 8, 0, u"300%"_s},
        {4.2, 0, 0, u"420%"_s}, {4.2, 1, 0, u"300%"_s}, {4.2, 0, 1, u"395%"_s}, {1.1, 1, 0, u"135%"_s},
        {0.3, 0, 0, u"30%"_s},  {0.3, 1, 0, u"55%"_s},
    };
    for (const Case& c : cases) {
        preview.applyMagnification(c.from);
        for (int i = 0; i < c.plus; ++i)
            QTest::mouseClick(preview.zoomInButton(), Qt::LeftButton);
        for (int i = 0; i < c.minus; ++i)
            QTest::mouseClick(preview.zoomOutButton(), Qt::LeftButton);
        EXPECT_EQ(preview.zoomText(), c.label) << c.from << " +" << c.plus << " -" << c.minus;
    }
}

TEST_F(DashboardPreviewTest, SteppingReloadsAndResetsTheZoomButTheSameRecordDoesNot)
{
    DashboardPreviewView& preview = open(m_shots[0], m_shots);
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    EXPECT_EQ(shownColour(), QColor(Qt::red));

    preview.applyMagnification(2.0);
    Screenshot updated = m_shots[0];
    updated.customTags = {u"kept"_s};
    preview.setScreenshot(updated);
    EXPECT_EQ(preview.zoomText(), u"200%"_s);
    EXPECT_FALSE(preview.isLoading());

    QTest::mouseClick(preview.nextButton(), Qt::LeftButton);
    EXPECT_EQ(preview.zoomText(), u"100%"_s);
    EXPECT_TRUE(preview.isLoading());
    EXPECT_TRUE(preview.image().isNull());
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    EXPECT_EQ(shownColour(), QColor(Qt::green));
}

TEST_F(DashboardPreviewTest, ASlowDecodeOfAnEarlierScreenshotNeverReplacesTheCurrentOne)
{
    DashboardPreviewView& preview = open(m_shots[0], m_shots);
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    QSemaphore gate;
    const QString slowPath = m_shots[1].filePath;
    preview.imageLoader().setDecoder([&gate, slowPath](const QString& path) {
        if (path == slowPath)
            gate.acquire();
        return QImage(path);
    });
    QSignalSpy announced(&preview.imageLoader(), &FullImageLoader::loaded);
    preview.setScreenshot(m_shots[1]);
    preview.setScreenshot(m_shots[2]);
    gate.release();
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    EXPECT_EQ(shownColour(), QColor(Qt::blue));
    ASSERT_EQ(announced.size(), 1);
    EXPECT_EQ(announced.at(0).at(0).toString(), m_shots[2].filePath);
}

// An empty or cut-short image gives no picture: the preview says so, still,
// instead of spinning for ever, and the next screenshot shows as ever.
TEST_F(DashboardPreviewTest, AFileThatGivesNoPictureSaysSoInsteadOfSpinning)
{
    for (const QString& path : writeUnreadableImages(QDir(m_dir.path()))) {
        SCOPED_TRACE(path.toStdString());
        Screenshot broken = m_shots[0];
        broken.id = QUuid::createUuid();
        broken.filePath = path;
        broken.filename = QFileInfo(path).fileName();
        DashboardPreviewView& preview = open(broken, {broken, m_shots[1]});
        ASSERT_TRUE(waitUntil([&] { return preview.isUnreadable(); }));
        EXPECT_FALSE(preview.isLoading());
        EXPECT_FALSE(preview.findChild<ActivitySpinner*>()->isVisible());
        const auto* sentence = preview.findChild<QLabel*>(u"unreadablePictureText"_s);
        ASSERT_NE(sentence, nullptr);
        EXPECT_TRUE(sentence->isVisible());
        EXPECT_EQ(sentence->text(), UnreadablePicture::text());

        QTest::mouseClick(preview.nextButton(), Qt::LeftButton);
        EXPECT_FALSE(sentence->isVisible());
        ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
        EXPECT_FALSE(preview.isUnreadable());
        EXPECT_FALSE(sentence->isVisible());
        EXPECT_EQ(shownColour(), QColor(Qt::green));
    }
}

TEST_F(DashboardPreviewTest, DeleteAsksThenDeletesOnceAndCloses)
{
    DashboardPreviewView& preview = open(m_shots[1], m_shots);
    QTest::mouseClick(preview.trashButton(), Qt::LeftButton);
    ASSERT_NE(preview.deleteConfirmation(), nullptr);
    EXPECT_EQ(preview.deleteConfirmation()->text(), u"Delete this screenshot?"_s);
    EXPECT_EQ(preview.deleteConfirmation()->informativeText(), u"This will move the file to the Trash."_s);
    press(u"Cancel"_s);
    EXPECT_TRUE(m_calls.isEmpty());

    ASSERT_TRUE(waitUntil([&] { return preview.deleteConfirmation() == nullptr; }));
    preview.setFocus();
    QTest::keyClick(&preview, Qt::Key_Delete);
    press(u"Delete"_s);
    EXPECT_EQ(m_calls, (QStringList{u"delete shot-1.png"_s, u"close"_s}));
}

TEST_F(DashboardPreviewTest, EscapeClosesAndOpenKeepsThePreview)
{
    DashboardPreviewView& preview = open(m_shots[0], m_shots);
    QTest::mouseClick(preview.openButton(), Qt::LeftButton);
    EXPECT_EQ(m_desktop.opened, QStringList{m_shots[0].filePath});
    EXPECT_TRUE(m_calls.isEmpty());
    QTest::keyClick(&preview, Qt::Key_Escape);
    QTest::mouseClick(preview.closeButton(), Qt::LeftButton);
    EXPECT_EQ(m_calls, (QStringList{u"close"_s, u"close"_s}));
}

TEST_F(DashboardPreviewTest, ARecordingPlaysAtOnceWithoutSpinnerAndZoomsThePlayer)
{
    Screenshot clip = m_shots[0];
    clip.id = QUuid::createUuid();
    clip.filename = u"clip.mp4"_s;
    clip.filePath = m_dir.filePath(clip.filename);
    DashboardPreviewView& preview = open(clip, {clip, m_shots[1]});
    EXPECT_FALSE(preview.isLoading());
    ASSERT_NE(preview.videoPlayer(), nullptr);
    EXPECT_EQ(m_video.calls, (QStringList{u"open clip.mp4"_s, u"play clip.mp4"_s}));
    EXPECT_TRUE(preview.image().isNull());
    preview.applyMagnification(1.5);
    EXPECT_EQ(preview.videoPlayer()->width(), 1350);

    // An image in between lets the player go; back on a recording, a new one plays.
    preview.setScreenshot(m_shots[1]);
    EXPECT_EQ(m_video.calls.mid(2), (QStringList{u"pause clip.mp4"_s, u"release clip.mp4"_s}));
    preview.setScreenshot(clip);
    EXPECT_EQ(m_video.calls.mid(4), (QStringList{u"open clip.mp4"_s, u"play clip.mp4"_s}));
}
} // namespace
