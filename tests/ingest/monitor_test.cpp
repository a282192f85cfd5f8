#include "core/AppEvents.h"
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FolderChooser.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class MonitorTest : public ::testing::Test
{
protected:
    MonitorTest()
        : m_settings(m_dir.filePath(u"settings.conf"_s))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
    {
        m_folder = makeFolder(u"Desktop"_s);
    }

    QString makeFolder(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    // The folder's bookmark, as a choice of the user stores it; read when
    // monitoring starts, not restored.
    void storeBookmark(const QString& folder)
    {
        m_settings.setValue(ScreenshotMonitor::folderBookmarkKey, folder.toUtf8());
    }

    std::unique_ptr<ScreenshotMonitor> makeMonitor(FakeFolderChooser** chooser = nullptr)
    {
        auto monitor = std::make_unique<ScreenshotMonitor>(m_parts.with(m_settings, m_memory, m_store));
        auto fake = std::make_unique<FakeFolderChooser>();
        if (chooser)
            *chooser = fake.get();
        monitor->setFolderChooser(std::move(fake));
        return monitor;
    }

    QTemporaryDir m_dir;
    MonitorServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store{m_dir.filePath(QStringLiteral("store.sqlite"))};
    QString m_folder;
    ConsoleCapture m_console;
};
} // namespace

TEST_F(MonitorTest, FirstLaunchUsesTheDesktopAndStartsNothing)
{
    const auto monitor = makeMonitor();
    EXPECT_EQ(monitor->monitoredPath(), QDir::homePath() + u"/Desktop"_s);
    EXPECT_FALSE(monitor->hasFileAccess());
    EXPECT_FALSE(monitor->isMonitoringActive());
    EXPECT_TRUE(m_console.contains(u"⚠️ RESTORE: No bookmark found in the settings"_s));
    EXPECT_TRUE(m_console.contains(u"ℹ️ Using standard path: "_s + monitor->monitoredPath()));
    EXPECT_FALSE(m_settings.contains(ScreenshotMonitor::monitoredPathKey));
}

TEST_F(MonitorTest, GrantedFolderIsRestoredAtTheNextLaunchAndMonitored)
{
    FakeFolderChooser* chooser = nullptr;
    {
        const auto first = makeMonitor(&chooser);
        chooser->answer = m_folder;
        first->requestFolderAccess();
        EXPECT_EQ(chooser->shown, 1);
        EXPECT_EQ(chooser->lastRequest.acceptLabel, u"Grant Access"_s);
        EXPECT_EQ(chooser->lastRequest.message, u"Grant access to monitor screenshots"_s);
        EXPECT_TRUE(first->hasFileAccess());
        EXPECT_EQ(first->monitoredPath(), m_folder);
        EXPECT_TRUE(m_console.contains(u"🎉 REQUEST: Write permissions successfully granted!"_s) ||
                    QDir(m_folder).isEmpty());
    }
    m_console.clear();
    const auto second = makeMonitor();
    EXPECT_TRUE(m_console.contains(u"✅ Restored secure access to: "_s + m_folder));
    EXPECT_EQ(second->monitoredPath(), m_folder);
    EXPECT_TRUE(second->hasFileAccess());
    ASSERT_TRUE(waitUntil([&] { return second->isMonitoringActive(); }));
    EXPECT_TRUE(m_console.contains(u"✅ Monitoring started"_s));
}

TEST_F(MonitorTest, ARequestOpensOneChooserAndNoneOnceAccessIsGranted)
{
    FakeFolderChooser* chooser = nullptr;
    const auto monitor = makeMonitor(&chooser);
    chooser->answer = m_folder;
    chooser->whileOpen = [&] { monitor->requestFolderAccess(); }; // a second click while it is open
    monitor->requestFolderAccess();
    EXPECT_EQ(chooser->shown, 1);
    EXPECT_FALSE(monitor->isRequestingAccess());

    chooser->whileOpen = nullptr;
    monitor->requestFolderAccess();
    EXPECT_EQ(chooser->shown, 1);
}

TEST_F(MonitorTest, CancellingTheChooserChangesNothing)
{
    FakeFolderChooser* chooser = nullptr;
    const auto monitor = makeMonitor(&chooser);
    const QString before = monitor->monitoredPath();
    monitor->requestFolderAccess();
    EXPECT_EQ(chooser->shown, 1);
    EXPECT_FALSE(monitor->hasFileAccess());
    EXPECT_FALSE(monitor->isRequestingAccess());
    EXPECT_EQ(monitor->monitoredPath(), before);
    EXPECT_FALSE(m_settings.contains(ScreenshotMonitor::folderBookmarkKey));

    monitor->requestFolderAccess(); // the user may ask again
    EXPECT_EQ(chooser->shown, 2);
}

TEST_F(MonitorTest, ConfirmingTheMonitoredFolderAgainStoresTheBookmarkAndRestarts)
{
    m_settings.setValue(ScreenshotMonitor::monitoredPathKey, m_folder);
    FakeFolderChooser* chooser = nullptr;
    const auto monitor = makeMonitor(&chooser);
    ASSERT_EQ(monitor->monitoredPath(), m_folder);
    chooser->answer = m_folder;
    QSignalSpy listChanges(monitor.get(), &ScreenshotMonitor::screenshotsChanged);

    monitor->requestFolderAccess();

    EXPECT_EQ(m_settings.value(ScreenshotMonitor::folderBookmarkKey).toByteArray(), m_folder.toUtf8());
    EXPECT_TRUE(m_console.contains(u"🛑 Stopping file monitoring..."_s));
    EXPECT_EQ(listChanges.count(), 1);
    ASSERT_TRUE(waitUntil([&] { return monitor->isMonitoringActive(); }));
}

TEST_F(MonitorTest, ABookmarkOfADeletedFolderRestoresAndStartsNothing)
{
    const QString gone = makeFolder(u"Gone"_s);
    m_settings.setValue(ScreenshotMonitor::folderBookmarkKey, gone.toUtf8());
    m_settings.setValue(ScreenshotMonitor::monitoredPathKey, gone);
    QDir(gone).removeRecursively();

    const auto monitor = makeMonitor();
    EXPECT_TRUE(m_console.contains(u"❌ RESTORE: Failed to resolve bookmark: "_s));
    EXPECT_FALSE(monitor->hasFileAccess());
    drainPostedEvents();
    EXPECT_FALSE(monitor->isMonitoringActive());
    EXPECT_EQ(m_settings.value(ScreenshotMonitor::folderBookmarkKey).toByteArray(), gone.toUtf8())
        << "the bookmark stays until a new choice";
}

TEST_F(MonitorTest, ChangingToAMissingPathOrAFileChangesNothing)
{
    const auto monitor = makeMonitor();
    const QString file = m_dir.filePath(u"plain.png"_s);
    QFile(file).open(QIODevice::WriteOnly);
    QSignalSpy events(&m_parts.events, &AppEvents::processingStateChanged);

    monitor->changeMonitoredFolder(m_dir.filePath(u"missing"_s));
    monitor->changeMonitoredFolder(file);

    EXPECT_TRUE(m_console.contains(u"⚠️ Path does not exist: "_s + m_dir.filePath(u"missing"_s)));
    EXPECT_TRUE(m_console.contains(u"⚠️ Not a folder: "_s + file));
    EXPECT_EQ(events.count(), 0);
    EXPECT_FALSE(m_settings.contains(ScreenshotMonitor::folderBookmarkKey));
    EXPECT_NE(monitor->monitoredPath(), file);
}

TEST_F(MonitorTest, ChangingTheFolderAnnouncesNotProcessingThreeTimesAndRestarts)
{
    const auto monitor = makeMonitor();
    const QString other = makeFolder(u"Other"_s);
    QSignalSpy events(&m_parts.events, &AppEvents::processingStateChanged);
    QSignalSpy folderChanges(monitor.get(), &ScreenshotMonitor::folderChangeStarting);

    monitor->changeMonitoredFolder(other);

    ASSERT_EQ(events.count(), 3);
    for (const auto& arguments : events)
        EXPECT_FALSE(arguments.at(0).toBool());
    EXPECT_EQ(monitor->monitoredPath(), other);
    EXPECT_EQ(m_settings.value(ScreenshotMonitor::monitoredPathKey).toString(), other);
    EXPECT_EQ(monitor->monitoredURL(), other);
    EXPECT_TRUE(monitor->hasFileAccess());
    EXPECT_EQ(folderChanges.count(), 1);
    ASSERT_TRUE(waitUntil([&] { return monitor->isMonitoringActive(); }));
}

TEST_F(MonitorTest, TwoStartsInOneTurnStartOnce)
{
    m_settings.setValue(ScreenshotMonitor::monitoredPathKey, m_folder);
    const auto monitor = makeMonitor();
    storeBookmark(m_folder);
    monitor->startMonitoring();
    monitor->startMonitoring();
    ASSERT_TRUE(waitUntil([&] { return m_console.contains(u"reshing monitoring skipped (already active)"_s); }));
    EXPECT_EQ(m_console.matching(u"🔍 Starting file monitoring (Force: false)..."_s).size(), 1);

    monitor->startMonitoring();
    EXPECT_TRUE(m_console.contains(u"✅ Monitor already active, skipping start"_s));

    monitor->startMonitoringAsync(true);
    EXPECT_TRUE(m_console.contains(u"🔄 FORCE Reloading monitoring data..."_s));
}

TEST_F(MonitorTest, AnUnreadableFolderKeepsMonitoringMarkedActiveUntilARestart)
{
    m_settings.setValue(ScreenshotMonitor::monitoredPathKey, m_dir.filePath(u"absent"_s));
    const auto monitor = makeMonitor();
    storeBookmark(m_dir.filePath(u"absent"_s)); // chosen, then removed
    monitor->startMonitoringAsync(false);
    EXPECT_TRUE(m_console.contains(u"⚠️ No file access needed for: "_s + m_dir.filePath(u"absent"_s)));
    EXPECT_TRUE(monitor->isMonitoringActive());
    EXPECT_FALSE(monitor->hasFileAccess());

    monitor->startMonitoring();
    EXPECT_TRUE(m_console.contains(u"✅ Monitor already active, skipping start"_s));

    ScreenshotMonitorTestAccess::chooseFolder(*monitor, m_folder);
    ASSERT_TRUE(waitUntil([&] { return monitor->hasFileAccess(); }));
}

TEST_F(MonitorTest, FlagsAnnounceEveryAssignmentUnderTheProcessingKey)
{
    const auto monitor = makeMonitor();
    QSignalSpy events(&m_parts.events, &AppEvents::processingStateChanged);
    ScreenshotMonitorTestAccess::publishProgress(*monitor, {.hasIncompleteFiles = true});
    ScreenshotMonitorTestAccess::publishProgress(*monitor, {.isProcessing = false});
    ScreenshotMonitorTestAccess::publishProgress(*monitor, {.isProcessing = false});
    ASSERT_EQ(events.count(), 3);
    EXPECT_TRUE(events.at(0).at(0).toBool());
    EXPECT_FALSE(events.at(2).at(0).toBool());
}

TEST_F(MonitorTest, UpdatingAnUnknownScreenshotAnnouncesNothing)
{
    const auto monitor = makeMonitor();
    Screenshot known(m_folder + u"/a.png"_s, QUuid::createUuid());
    ScreenshotMonitorTestAccess::setScreenshots(*monitor, {known});
    QSignalSpy changes(monitor.get(), &ScreenshotMonitor::screenshotsChanged);

    monitor->updateScreenshot(Screenshot(m_folder + u"/b.png"_s, QUuid::createUuid()));
    EXPECT_EQ(changes.count(), 0);

    known.userNotes = u"note"_s;
    monitor->updateScreenshot(known);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(monitor->screenshots().first().userNotes, u"note"_s);
}

TEST_F(MonitorTest, ProgressStaysAFiniteShare)
{
    const auto monitor = makeMonitor();
    ScreenshotMonitorTestAccess::publishProgress(*monitor, {.value = 3.0 / 0.0});
    EXPECT_EQ(monitor->processingProgressValue(), 0.0);
    ScreenshotMonitorTestAccess::publishProgress(*monitor, {.value = 1.5});
    EXPECT_EQ(monitor->processingProgressValue(), 1.0);
    ScreenshotMonitorTestAccess::publishProgress(*monitor, {.value = -0.5});
    EXPECT_EQ(monitor->processingProgressValue(), 0.0);
}

TEST_F(MonitorTest, ForgettingTheFolderLetsTheNextRequestAskAgain)
{
    FakeFolderChooser* chooser = nullptr;
    const auto monitor = makeMonitor(&chooser);
    chooser->answer = m_folder;
    monitor->requestFolderAccess();
    ASSERT_TRUE(monitor->hasFileAccess());
    ScreenshotMonitorTestAccess::setScreenshots(*monitor, {Screenshot(m_folder + u"/a.png"_s, QUuid::createUuid())});

    monitor->forgetFolder();

    EXPECT_FALSE(monitor->hasFileAccess());
    EXPECT_FALSE(monitor->isMonitoringActive());
    EXPECT_TRUE(monitor->screenshots().isEmpty());
    EXPECT_TRUE(monitor->knownFiles().isEmpty());
    EXPECT_TRUE(monitor->monitoredURL().isEmpty());
    EXPECT_FALSE(monitor->isPolling());
    EXPECT_FALSE(m_settings.contains(ScreenshotMonitor::folderBookmarkKey));

    monitor->requestFolderAccess();
    EXPECT_EQ(chooser->shown, 2);
}

TEST_F(MonitorTest, AFolderTheUserNeverChoseOrGaveUpIsNeverMonitored)
{
    // Readable, and named by the settings, but never chosen.
    m_settings.setValue(ScreenshotMonitor::monitoredPathKey, m_folder);
    FakeFolderChooser* chooser = nullptr;
    const auto monitor = makeMonitor(&chooser);
    const auto refusedEveryWay = [&] {
        m_console.clear();
        monitor->startMonitoring();
        drainPostedEvents();
        monitor->startMonitoringAsync(false);
        monitor->startMonitoringAsync(true);
        monitor->restartMonitoring();
        drainPostedEvents();
        EXPECT_FALSE(monitor->isMonitoringActive());
        EXPECT_FALSE(monitor->hasFileAccess());
        EXPECT_FALSE(monitor->isPolling());
        EXPECT_FALSE(m_console.contains(u"📸 Loading screenshot library..."_s));
        EXPECT_EQ(m_console.matching(u"⚠️ Not monitoring a folder without granted access: "_s + m_folder).size(),
                  4);
    };
    {
        SCOPED_TRACE("never chosen");
        refusedEveryWay();
    }

    chooser->answer = m_folder;
    monitor->requestFolderAccess();
    ASSERT_TRUE(waitUntil([&] { return monitor->isPolling(); }));

    // Given up; the next start of any kind is refused again.
    monitor->forgetFolder();
    {
        SCOPED_TRACE("given up");
        refusedEveryWay();
    }

    // A bookmark of another folder grants nothing here.
    storeBookmark(makeFolder(u"Other"_s));
    monitor->startMonitoringAsync(false);
    EXPECT_FALSE(monitor->isMonitoringActive());
}

TEST_F(MonitorTest, AStartQueuedBeforeTheFolderIsForgottenDoesNotRun)
{
    m_settings.setValue(ScreenshotMonitor::monitoredPathKey, m_folder);
    const auto monitor = makeMonitor();
    storeBookmark(m_folder);
    monitor->startMonitoring();
    monitor->forgetFolder();
    drainPostedEvents();
    EXPECT_FALSE(monitor->isMonitoringActive());
    EXPECT_FALSE(monitor->hasFileAccess());
}
