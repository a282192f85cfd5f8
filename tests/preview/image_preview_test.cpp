#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "preview/ImagePreviewView.h"
#include "preview/MetadataInspectorView.h"
#include "support/FakeDesktop.h"
#include "support/FakeVideoBackend.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/UnreadableImages.h"
#include "support/Wait.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/FullImageLoader.h"
#include "ui/Motion.h"
#include "ui/UnreadablePicture.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// The preview over image files of distinct colours, with a real store and
// monitor for its inspector; the desktop and the video backend are fakes,
// and the caller's side is a list of what it was told.
class ImagePreviewTest : public ::testing::Test
{
protected:
    ImagePreviewTest()
        : m_settings(m_dir.filePath(u"settings.conf"_s))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_database(m_dir.filePath(u"store.sqlite"_s))
        , m_monitor(m_parts.with(m_settings, m_memory, m_database))
    {
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
        for (int i = 0; i < colours.size(); ++i)
            m_shots.append(imageShot(u"shot-%1.png"_s.arg(i), colours[i]));
    }

    ~ImagePreviewTest() override
    {
        m_preview.reset();
        m_parts.workers.thumbnails().waitForDone();
    }

    Screenshot imageShot(const QString& name, const QColor& colour)
    {
        QImage image(80, 60, QImage::Format_RGB32);
        image.fill(colour);
        Screenshot shot(m_dir.filePath(name), QUuid::createUuid());
        image.save(shot.filePath);
        shot = Screenshot(shot.filePath, shot.id);
        return shot;
    }

    ImagePreviewView& open(std::optional<Screenshot> shown, QList<Screenshot> all)
    {
        m_preview = std::make_unique<ImagePreviewView>(
            std::move(shown), std::move(all),
            ImagePreviewView::Services{m_database, m_monitor, m_desktop, m_video, m_parts.workers},
            ImagePreviewView::Callbacks{
                .onNavigate = [this](const Screenshot& s) { m_calls.append(u"navigate "_s + s.filename); },
                .onClose = [this] { m_calls.append(u"close"_s); },
                .onDelete = [this](const Screenshot& s) { m_calls.append(u"delete "_s + s.filename); },
                .onScreenshotUpdated = [this](const Screenshot& s) { m_calls.append(u"updated "_s + s.filename); }});
        m_preview->resize(1200, 800);
        m_preview->show();
        m_preview->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_preview.get()));
        m_preview->setFocus();
        return *m_preview;
    }

    QColor shownColour() const { return m_preview->image().isNull() ? QColor() : m_preview->image().pixelColor(1, 1); }
    void key(Qt::Key k, QWidget* target = nullptr) { QTest::keyClick(target ? target : m_preview.get(), k); }

    InstantMotionScope m_instant;
    QTemporaryDir m_dir;
    MonitorServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_database;
    ScreenshotMonitor m_monitor;
    FakeDesktop m_desktop;
    FakeVideoBackend m_video;
    QList<Screenshot> m_shots;
    QStringList m_calls;
    std::unique_ptr<ImagePreviewView> m_preview;
};

TEST_F(ImagePreviewTest, ArrowKeysStepWithoutWrapAndResetTheZoom)
{
    ImagePreviewView& preview = open(m_shots[0], m_shots);
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    EXPECT_FALSE(preview.previousButton()->isVisible());

    key(Qt::Key_Left);
    EXPECT_EQ(preview.screenshot()->id, m_shots[0].id);
    EXPECT_TRUE(m_calls.isEmpty());

    preview.applyMagnification(2.5);
    key(Qt::Key_Right);
    EXPECT_EQ(preview.screenshot()->id, m_shots[1].id);
    EXPECT_EQ(preview.scale(), 1.0);
    EXPECT_TRUE(preview.isLoading()) << "\"Loading high-res...\" until the new file is decoded";
    const auto labels = preview.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
        return label->isVisible() && label->text() == u"Loading high-res..."_s;
    }));
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    EXPECT_EQ(shownColour(), QColor(Qt::green));

    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(preview.screenshot()->id, m_shots[2].id);
    EXPECT_FALSE(preview.nextButton()->isVisible());
    EXPECT_EQ(m_calls, (QStringList{u"navigate shot-1.png"_s, u"navigate shot-2.png"_s}));

    // Outside the list: no arrows, and the keys still count as handled.
    const Screenshot stranger = imageShot(u"stranger.png"_s, Qt::white);
    preview.setScreenshot(stranger);
    EXPECT_FALSE(preview.previousButton()->isVisible() || preview.nextButton()->isVisible());
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&preview, &right);
    EXPECT_TRUE(right.isAccepted());
}

TEST_F(ImagePreviewTest, ZoomStepsSliderAndPinch)
{
    ImagePreviewView& preview = open(m_shots[0], m_shots);
    struct Case
    {
        const char* what;
        double from;
        std::function<void()> action;
        double to;
    };
    const Case cases[] = {
        {"out from 0.3", 0.3, [&] { preview.zoomOut(); }, 0.1},
        {"in from 4.8", 4.8, [&] { preview.zoomIn(); }, 5.0},
        {"in after a pinch to 7", 7.0, [&] { preview.zoomIn(); }, 5.0},
        {"out from 1", 1.0, [&] { preview.zoomOut(); }, 0.5},
        {"slider", 1.0, [&] { preview.zoomSlider()->setValue(250); }, 2.5},
        {"a pinch starts again from 1", 3.0, [&] { preview.applyMagnification(1.02); }, 1.02},
    };
    for (const Case& c : cases) {
        preview.applyMagnification(c.from);
        c.action();
        EXPECT_DOUBLE_EQ(preview.scale(), c.to) << c.what;
    }
    // The slider shows a pinch beyond its range at its end, not the other way round.
    preview.applyMagnification(7.0);
    EXPECT_EQ(preview.zoomSlider()->value(), 500);
    EXPECT_DOUBLE_EQ(preview.scale(), 7.0);
}

TEST_F(ImagePreviewTest, EscapeClosesTheInspectorFirstAndTheLetterIBelongsToTheTagField)
{
    ImagePreviewView& preview = open(m_shots[0], m_shots);
    EXPECT_TRUE(preview.infoBar()->isVisible());
    key(Qt::Key_I);
    EXPECT_TRUE(preview.isInspectorVisible());
    EXPECT_TRUE(preview.inspector().isVisible());
    EXPECT_FALSE(preview.infoBar()->isVisible());

    QLineEdit* field = preview.inspector().tagField();
    field->setFocus();
    ASSERT_TRUE(preview.isInspectorEditing());
    QTest::keyClicks(field, u"ui"_s);
    EXPECT_EQ(field->text(), u"ui"_s);
    EXPECT_TRUE(preview.isInspectorVisible());

    preview.setFocus();
    key(Qt::Key_Escape);
    EXPECT_FALSE(preview.isInspectorVisible());
    EXPECT_TRUE(m_calls.isEmpty());
    key(Qt::Key_Escape);
    EXPECT_EQ(m_calls, QStringList{u"close"_s});
}

TEST_F(ImagePreviewTest, DeleteAsksAndCancelCallsNothing)
{
    ImagePreviewView& preview = open(m_shots[1], m_shots);
    key(Qt::Key_Backspace);
    QMessageBox* box = preview.deleteConfirmation();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), u"Delete this screenshot?"_s);
    box->reject();
    EXPECT_TRUE(m_calls.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return preview.deleteConfirmation() == nullptr; }));

    QTest::mouseClick(preview.deleteButton(), Qt::LeftButton);
    for (QAbstractButton* button : preview.deleteConfirmation()->buttons())
        if (button->text() == u"Delete"_s)
            button->click();
    EXPECT_EQ(m_calls, (QStringList{u"delete shot-1.png"_s, u"close"_s}));
}

TEST_F(ImagePreviewTest, TheBackdropClosesButThePictureDoesNot)
{
    ImagePreviewView& preview = open(m_shots[0], m_shots);
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    QTest::mouseClick(&preview, Qt::LeftButton, {}, QPoint(600, 400)); // the middle of the picture
    EXPECT_TRUE(m_calls.isEmpty());
    QTest::mouseClick(&preview, Qt::LeftButton, {}, QPoint(30, 600)); // beside it
    EXPECT_EQ(m_calls, QStringList{u"close"_s});

    m_calls.clear();
    QTest::mouseClick(preview.revealButton(), Qt::LeftButton);
    EXPECT_EQ(m_desktop.shown, QStringList{m_shots[0].filePath});
    QTest::mouseClick(preview.closeButton(), Qt::LeftButton);
    EXPECT_EQ(m_calls, QStringList{u"close"_s});
}

namespace {
void sendMouse(QWidget& widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, widget.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void drag(QWidget& widget, QPointF from, QPointF by)
{
    sendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseMove, from + by / 2, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseMove, from + by, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, from + by, Qt::NoButton);
}

void scroll(QWidget& widget, QPoint angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF at = QRectF(widget.rect()).center();
    QWheelEvent event(at, widget.mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

// Pixels of the picture's own colour in the rows above `bottom`.
int greenPixelsAbove(QWidget& widget, int bottom)
{
    const QImage shot = widget.grab().toImage();
    int count = 0;
    for (int y = 0; y < bottom; ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            count += c.green() > 200 && c.red() < 60 && c.blue() < 60 ? 1 : 0;
        }
    return count;
}
} // namespace

// The picture lies below the top bar at every zoom, and a zoomed picture is
// moved about by dragging it or scrolling, never further than its own edges.
TEST_F(ImagePreviewTest, AZoomedPictureStaysBelowTheTopBarAndMovesByDraggingAndScrolling)
{
    ImagePreviewView& preview = open(m_shots[1], m_shots); // green
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    const QRect bar = preview.findChild<QWidget*>(u"topBar"_s)->geometry();
    const QRectF area = preview.imageArea();
    EXPECT_EQ(area.top(), bar.bottom() + 1);
    EXPECT_EQ(preview.pictureRect().top(), area.top()) << "fitted to the height below the bar";

    preview.setScale(3.0);
    EXPECT_EQ(greenPixelsAbove(preview, bar.bottom() + 1), 0);
    EXPECT_GT(greenPixelsAbove(preview, bar.bottom() + 20), 0);

    const QRectF centred = preview.pictureRect();
    EXPECT_EQ(centred.center(), area.center());
    drag(preview, area.center(), QPointF(100, 50));
    EXPECT_EQ(preview.pictureRect(), centred.translated(100, 50));
    EXPECT_TRUE(m_calls.isEmpty()) << "a drag on the picture does not close";
    // No further than the picture's edge meeting the area's edge.
    drag(preview, area.center(), QPointF(5000, 5000));
    EXPECT_EQ(preview.pictureRect().topLeft(), area.topLeft());

    // The wheel moves it too: down by a notch shows what lies lower.
    const QRectF before = preview.pictureRect();
    scroll(preview, QPoint(0, -120));
    EXPECT_EQ(preview.pictureRect(), before.translated(0, -60));
    scroll(preview, QPoint(0, -120), Qt::ShiftModifier);
    EXPECT_EQ(preview.pictureRect(), before.translated(-60, -60));
    // With Ctrl it zooms, as before.
    scroll(preview, QPoint(0, -120), Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(preview.scale(), 2.5);

    // Back at the fitted size it cannot move; another screenshot starts centred.
    preview.setScale(1.0);
    EXPECT_EQ(preview.pictureRect().center(), area.center());
    drag(preview, area.center(), QPointF(80, 0));
    EXPECT_EQ(preview.pictureRect().center(), area.center());
    preview.setScale(3.0);
    drag(preview, area.center(), QPointF(80, 0));
    key(Qt::Key_Right);
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    preview.setScale(3.0);
    EXPECT_EQ(preview.pictureRect().center(), area.center());
}

TEST_F(ImagePreviewTest, AStaleDecodeFinishingLateIsDropped)
{
    ImagePreviewView& preview = open(m_shots[0], m_shots);
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    QSemaphore gate;
    const QString slow = m_shots[1].filePath;
    preview.imageLoader().setDecoder([&gate, slow](const QString& path) {
        if (path == slow)
            gate.acquire();
        return QImage(path);
    });
    QSignalSpy announced(&preview.imageLoader(), &FullImageLoader::loaded);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    gate.release();
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    EXPECT_EQ(shownColour(), QColor(Qt::blue));
    EXPECT_EQ(announced.size(), 1);
}

// An empty or cut-short image gives no picture: the preview says so, still,
// instead of "Loading high-res..." for ever, and the next one shows as ever.
TEST_F(ImagePreviewTest, AFileThatGivesNoPictureSaysSoInsteadOfLoadingForEver)
{
    const auto shown = [&](const QString& text) {
        for (const QLabel* label : m_preview->findChildren<QLabel*>())
            if (label->text() == text && label->isVisible())
                return true;
        return false;
    };
    for (const QString& path : writeUnreadableImages(QDir(m_dir.path()))) {
        SCOPED_TRACE(path.toStdString());
        const Screenshot broken(path, QUuid::createUuid());
        ImagePreviewView& preview = open(broken, {broken, m_shots[0]});
        ASSERT_TRUE(waitUntil([&] { return preview.isUnreadable(); }));
        EXPECT_FALSE(preview.isLoading());
        EXPECT_FALSE(shown(u"Loading high-res..."_s));
        EXPECT_TRUE(shown(UnreadablePicture::text()));

        key(Qt::Key_Right);
        ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
        EXPECT_FALSE(preview.isUnreadable());
        EXPECT_FALSE(shown(UnreadablePicture::text()));
        EXPECT_EQ(shownColour(), QColor(Qt::red));
    }
}

TEST_F(ImagePreviewTest, RecordingsPlayAndMissingScreenshotsShowNothing)
{
    Screenshot clip(m_dir.filePath(u"clip.mov"_s), QUuid::createUuid());
    clip.sourceApp = u"Recorder"_s;
    ImagePreviewView& preview = open(clip, {clip});
    EXPECT_FALSE(preview.isLoading());
    ASSERT_NE(preview.videoPlayer(), nullptr);
    EXPECT_EQ(m_video.calls, (QStringList{u"open clip.mov"_s, u"play clip.mov"_s}));
    EXPECT_TRUE(preview.findChild<QWidget*>(u"sourceBadge"_s)->isVisible());

    // Straight to another recording: the new file plays, not the old one.
    const Screenshot other(m_dir.filePath(u"other.mp4"_s), QUuid::createUuid());
    preview.setScreenshot(other);
    EXPECT_EQ(m_video.calls.mid(2),
              (QStringList{u"pause clip.mov"_s, u"release clip.mov"_s, u"open other.mp4"_s, u"play other.mp4"_s}));

    preview.setScreenshot(m_shots[0]);
    EXPECT_FALSE(preview.findChild<QWidget*>(u"sourceBadge"_s)->isVisible());
    EXPECT_EQ(m_video.calls.mid(6), (QStringList{u"pause other.mp4"_s, u"release other.mp4"_s}));

    // Nothing to show: no file buttons, nothing to delete, Esc still closes.
    open(std::nullopt, m_shots);
    EXPECT_FALSE(m_preview->deleteButton()->isVisible());
    EXPECT_FALSE(m_preview->isLoading());
    key(Qt::Key_Delete);
    EXPECT_EQ(m_preview->deleteConfirmation(), nullptr);
    key(Qt::Key_Escape);
    EXPECT_EQ(m_calls, QStringList{u"close"_s});
}
} // namespace
