#include "FakeTrayIcon.h"
#include "ScreenFixture.h"

#include "app/AppDelegate.h"
#include "app/BrindleworkApp.h"
#include "app/ContentView.h"
#include "core/AppEvents.h"
#include "core/AppPreferences.h"
#include "platform/SingleInstance.h"
#include "support/Wait.h"

#include <QApplication>
#include <QMainWindow>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {
const QString screenshotId = u"6F9619FF-8B86-D011-B42D-00C04FC964FF"_s;

// The running copy, listening where a later launch of the real program looks
// for it: the socket lives in the user's runtime folder (or TMPDIR without
// one), here a scratch folder of this test closed to others.
class Activation : public ScreenFixture
{
protected:
    Activation()
        : m_previousTmp(qgetenv("TMPDIR"))
        , m_previousRuntime(qgetenv("XDG_RUNTIME_DIR"))
    {
        qputenv("TMPDIR", m_sockets.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", m_sockets.path().toLocal8Bit());
        m_app = std::make_unique<BrindleworkApp>(services());
        m_delegate = std::make_unique<AppDelegate>(*m_app, *m_monitor, std::make_unique<FakeTrayIcon>());
        m_instance = std::make_unique<SingleInstance>(SingleInstance::defaultName());
        m_claimed = m_instance->claim({u"glimmerdeck"_s}) == SingleInstance::Claim::primary;
        m_app->listenForLaterLaunches(*m_instance);
        m_app->activateDashboard();
    }

    ~Activation() override
    {
        m_delegate.reset();
        m_app.reset();
        m_instance.reset();
        qputenv("TMPDIR", m_previousTmp);
        if (m_previousRuntime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", m_previousRuntime);
    }

    // Runs the program with `arguments` and waits for it to end; its exit code.
    int launchAgain(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(GLIMMERDECK_BINARY), arguments);
        EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return process.exitCode();
    }

    static int visibleWindows()
    {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += widget->isVisible() ? 1 : 0;
        return count;
    }

    QTemporaryDir m_sockets;
    QByteArray m_previousTmp;
    QByteArray m_previousRuntime;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<BrindleworkApp> m_app;
    std::unique_ptr<AppDelegate> m_delegate;
    bool m_claimed = false;
};
} // namespace

TEST(AppLinks, OnlyAnOpenLinkWithOneValidIdCarriesAScreenshot)
{
    const auto id = [](const QString& link) { return BrindleworkApp::screenshotIdFromLink(link); };
    EXPECT_EQ(id(u"glimmerdeck://open?id="_s + screenshotId), screenshotId);
    EXPECT_EQ(id(u"glimmerdeck://open?id="_s + screenshotId.toLower()), screenshotId) << "stored ids are upper-case";
    EXPECT_EQ(id(u"GLIMMERDECK://open/?id="_s + screenshotId), screenshotId);

    for (const QString& bad :
         {u"glimmerdeck://open?id=not-a-uuid"_s, u"glimmerdeck://open?id=%7B"_s + screenshotId + u"%7D"_s,
          u"glimmerdeck://open?id="_s, u"glimmerdeck://open"_s, u"glimmerdeck://delete?id="_s + screenshotId,
          u"glimmerdeck://open/elsewhere?id="_s + screenshotId,
          u"glimmerdeck://open?id="_s + screenshotId + u"&id="_s + screenshotId,
          u"glimmerdeck://open?id="_s + screenshotId + u"&then=more"_s, u"https://open?id="_s + screenshotId,
          u"glimmerdeck:open?id="_s + screenshotId})
        EXPECT_EQ(id(bad), std::nullopt) << bad.toStdString();
}

TEST_F(Activation, TheDashboardWindowIsTheMainWindowAtItsDefaultSize)
{
    const QMainWindow& window = m_app->dashboardWindow();
    EXPECT_EQ(window.objectName(), u"main"_s);
    EXPECT_EQ(window.windowTitle(), u"Glimmerdeck"_s);
    EXPECT_EQ(window.size(), QSize(1200, 800));
    EXPECT_GE(window.minimumSizeHint().width(), 800);
    EXPECT_GE(window.minimumSizeHint().height(), 600);
    EXPECT_EQ(window.centralWidget(), &m_app->contentView());
}

TEST_F(Activation, ASecondLaunchWithALinkOpensTheScreenshotInTheFirst)
{
    ASSERT_TRUE(m_claimed);
    QSignalSpy opened(&services().events(), &AppEvents::openScreenshot);
    const int windows = visibleWindows();

    EXPECT_EQ(launchAgain({u"glimmerdeck://open?id="_s + screenshotId.toLower()}), 0);
    ASSERT_TRUE(waitUntil([&] { return opened.size() == 1; }));
    drainPostedEvents();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0][0].toMap(), (QVariantMap{{u"id"_s, screenshotId}}));
    EXPECT_EQ(visibleWindows(), windows);
}

TEST_F(Activation, ASecondLaunchWithABadLinkRaisesNothing)
{
    ASSERT_TRUE(m_claimed);
    QSignalSpy opened(&services().events(), &AppEvents::openScreenshot);
    LogCapture log;
    EXPECT_EQ(launchAgain({u"glimmerdeck://open?id=12345"_s}), 0);
    ASSERT_TRUE(waitUntil([&] { return log.contains(u"Ignored a link without a valid screenshot id"_s); }));
    EXPECT_EQ(opened.size(), 0);
}

TEST_F(Activation, APlainSecondLaunchBringsTheDashboardBack)
{
    ASSERT_TRUE(m_claimed);
    QSignalSpy opened(&services().events(), &AppEvents::openScreenshot);
    m_app->dashboardWindow().hide();
    EXPECT_EQ(launchAgain({}), 0);
    EXPECT_TRUE(waitUntil([&] { return m_app->dashboardWindow().isVisible(); }));
    EXPECT_TRUE(m_console.contains(u"🔓 Activating Dashboard Window"_s)) << "through the delegate";
    EXPECT_EQ(opened.size(), 0);
}

TEST_F(Activation, TheWindowOpensWhereAndAsLargeAsItWasLeft)
{
    QMainWindow& window = m_app->dashboardWindow();
    const QRect left(QPoint(37, 21), QSize(1000, 700));
    window.setGeometry(left);
    // Written once the moves are over, without waiting for the quit.
    ASSERT_TRUE(waitUntil([&] { return settings().contains(BrindleworkApp::windowGeometryKey); }));

    const auto relaunch = [this] {
        m_delegate.reset();
        m_app.reset();
        makeMonitor();
        m_app = std::make_unique<BrindleworkApp>(services());
        m_app->activateDashboard();
        return &m_app->dashboardWindow();
    };
    QMainWindow* again = relaunch();
    EXPECT_EQ(again->geometry(), left);

    // Closing (which only hides) keeps a last resize made just before it.
    again->resize(900, 640);
    again->close();
    again = relaunch();
    EXPECT_EQ(again->size(), QSize(900, 640));
    EXPECT_EQ(again->geometry().topLeft(), left.topLeft());

    // A stored value that is no geometry gives the default size.
    m_delegate.reset();
    m_app.reset();
    settings().setValue(BrindleworkApp::windowGeometryKey, QByteArray("not a geometry"));
    m_app = std::make_unique<BrindleworkApp>(services());
    EXPECT_EQ(m_app->dashboardWindow().size(), BrindleworkApp::defaultWindowSize);
}

TEST_F(Activation, ALaunchJustAfterQuitOpensItsWindowOnceTheQuittingCopyHasEnded)
{
    ASSERT_TRUE(m_claimed);
    m_instance->stopTakingLaunches(); // what quitting runs first
    QThread::msleep(300);
    QProcess launch;
    launch.start(QStringLiteral(GLIMMERDECK_BINARY), QStringList{});
    QString output;
    const auto says = [&](const QString& line) {
        output += QString::fromUtf8(launch.readAllStandardOutput());
        return output.contains(line);
    };
    // However slowly it starts, it finds the copy quitting and waits.
    const QString waiting = u"⏳ Waiting for the running Glimmerdeck to finish quitting"_s;
    ASSERT_TRUE(waitUntil(
        [&] { return says(waiting) || says(u"📱 ContentView appeared"_s) || launch.state() == QProcess::NotRunning; },
        30000))
        << output.toStdString();
    EXPECT_TRUE(output.contains(waiting)) << output.toStdString();
    EXPECT_FALSE(output.contains(u"📱 ContentView appeared"_s)) << "it opened beside the quitting copy";
    EXPECT_EQ(launch.state(), QProcess::Running) << "it gave up on the quitting copy";
    // The services shut down meanwhile, a while, then the copy is gone.
    m_delegate.reset();
    m_app.reset();
    m_instance.reset();

    const bool opened =
        waitUntil([&] { return says(u"📱 ContentView appeared"_s) || launch.state() == QProcess::NotRunning; }, 30000);
    EXPECT_TRUE(opened && output.contains(u"📱 ContentView appeared"_s)) << output.toStdString();
    EXPECT_EQ(launch.state(), QProcess::Running);
    launch.terminate();
    launch.waitForFinished(5000);
}
