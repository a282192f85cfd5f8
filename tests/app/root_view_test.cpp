#include "ScreenFixture.h"

#include "app/ContentView.h"
#include "app/ProcessingView.h"
#include "app/WelcomeActionButton.h"
#include "app/WelcomeView.h"
#include "support/Wait.h"
#include "ui/AnimatedChange.h"
#include "ui/CrossFadeOverlay.h"
#include "ui/StoreProblemBanner.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>

using namespace Qt::StringLiterals;
using Screen = ContentView::Screen;

namespace {
class RootView : public ScreenFixture
{
protected:
    // Lets the view apply what changed.
    static void settle() { QCoreApplication::processEvents(); }

    int linesContaining(const QString& part) const { return int(m_console.matching(part).size()); }
};

const QString appearedLine = u"📱 ContentView appeared"_s;
const QString resetLine = u"⚠️ Onboarded but no file access (Bookmark missing/stale). Resetting onboarding."_s;
const QString completedLine = u"🔓 Onboarding newly completed - Starting Monitor via ContentView"_s;
} // namespace

TEST_F(RootView, ScreenFollowsTheFlagAndProcessingBeatsTheMainView)
{
    ScreenshotMonitor& monitor = makeMonitor();
    ContentView view(services());
    EXPECT_EQ(view.currentScreen(), Screen::welcome);
    EXPECT_NE(qobject_cast<WelcomeView*>(view.currentWidget()), nullptr);

    ScreenshotMonitorTestAccess::publishProgress(monitor, {.isProcessingBlocking = true});
    settle();
    EXPECT_EQ(view.currentScreen(), Screen::welcome) << "no processing screen before onboarding";

    setOnboarded(true);
    settle();
    EXPECT_EQ(view.currentScreen(), Screen::processing);
    EXPECT_NE(qobject_cast<ProcessingView*>(view.currentWidget()), nullptr);

    ScreenshotMonitorTestAccess::publishProgress(monitor, {.isProcessingBlocking = false});
    settle();
    EXPECT_EQ(view.currentScreen(), Screen::main);

    ScreenshotMonitorTestAccess::publishProgress(monitor, {.isProcessingBlocking = true});
    settle();
    EXPECT_EQ(view.currentScreen(), Screen::processing);

    setOnboarded(false);
    settle();
    EXPECT_EQ(view.currentScreen(), Screen::welcome);
    EXPECT_GE(view.minimumSize().width(), 800);
    EXPECT_GE(view.minimumSize().height(), 600);
}

TEST_F(RootView, AppearingOnboardedWithoutFolderAccessGoesBackToWelcome)
{
    setOnboarded(true);
    makeMonitor(); // no bookmark stored
    ContentView view(services());
    view.show();

    const QStringList lines = m_console.lines();
    const auto appeared = lines.indexOf(appearedLine);
    ASSERT_GE(appeared, 0);
    EXPECT_EQ(lines.indexOf(resetLine), appeared + 1);
    EXPECT_EQ(settings().boolValue(Onboarding::key), std::optional<bool>(false));
    EXPECT_EQ(view.currentScreen(), Screen::welcome) << "switched at once, without waiting for the event loop";
    EXPECT_EQ(linesContaining(completedLine), 0);
}

TEST_F(RootView, AnUngrantedReadableFolderIsNeitherMonitoredNorTakenWithoutTheChooser)
{
    setOnboarded(true);
    settings().setValue(ScreenshotMonitor::monitoredPathKey, m_folder); // readable, but never granted
    ScreenshotMonitor& monitor = makeMonitor();
    ContentView view(services());
    view.show();
    settle(); // whatever was queued at start-up runs
    settle();
    EXPECT_EQ(view.currentScreen(), Screen::welcome);
    EXPECT_FALSE(monitor.isMonitoringActive());
    EXPECT_FALSE(monitor.hasFileAccess());

    auto* welcome = qobject_cast<WelcomeView*>(view.currentWidget());
    ASSERT_NE(welcome, nullptr);
    welcome->actionButton()->click();
    EXPECT_EQ(m_chooser->shown, 1) << "the user chooses the folder again";
}

TEST_F(RootView, AppearingWithRestoredAccessOrBeforeOnboardingChangesNothing)
{
    makeMonitor();
    grantFolder();
    setOnboarded(true);
    ScreenshotMonitor& restored = makeMonitor(); // the next launch
    ASSERT_TRUE(restored.hasFileAccess());
    {
        ContentView view(services());
        view.show();
        EXPECT_EQ(view.currentScreen(), Screen::main);
        EXPECT_EQ(linesContaining(resetLine), 0);
        EXPECT_EQ(linesContaining(completedLine), 0) << "a launch that is already onboarded starts no monitoring here";
        EXPECT_TRUE(onboarded());
    }

    setOnboarded(false);
    makeMonitor();
    // The store opens on its own queue and starts its quiet link backfill
    // there, printing as it goes; on a busy machine those lines could come
    // after the console is cleared. Both steps are over after two turns.
    for (int turn = 0; turn < 2; ++turn)
        services().store().dbQueue().sync([] {});
    ContentView fresh(services());
    m_console.clear();
    fresh.show();
    EXPECT_EQ(m_console.lines(), QStringList{appearedLine});
}

TEST_F(RootView, CompletingOnboardingStartsMonitoringOncePerChange)
{
    ScreenshotMonitor& monitor = makeMonitor();
    grantFolder();
    ASSERT_TRUE(waitUntil([&] { return monitor.isMonitoringActive(); }));
    monitor.stopMonitoring();
    ContentView view(services());

    setOnboarded(true);
    EXPECT_EQ(linesContaining(completedLine), 1);
    EXPECT_TRUE(waitUntil([&] { return monitor.isMonitoringActive(); }));

    setOnboarded(true); // the same value again: no change
    settle();
    EXPECT_EQ(linesContaining(completedLine), 1);

    setOnboarded(false);
    setOnboarded(true);
    EXPECT_EQ(linesContaining(completedLine), 2);
}

TEST_F(RootView, OnlyAnimatedChangesCrossFade)
{
    const InstantMotionScope animated(false);
    ScreenshotMonitor& monitor = makeMonitor();
    ContentView view(services());
    view.resize(900, 700);
    view.show();
    const auto overlays = [&view] { return view.findChildren<CrossFadeOverlay*>().size(); };

    {
        const AnimatedChange change(QEasingCurve::InOutQuad, 500);
        setOnboarded(true);
    }
    settle();
    EXPECT_EQ(view.currentScreen(), Screen::main);
    EXPECT_EQ(overlays(), 1);
    EXPECT_TRUE(waitUntil([&] { return overlays() == 0; }, 3000)) << "the fade ends and removes itself";

    ScreenshotMonitorTestAccess::publishProgress(monitor,
                                                 {.isProcessingBlocking = true}); // the monitor's own change: at once
    settle();
    EXPECT_EQ(view.currentScreen(), Screen::processing);
    EXPECT_EQ(overlays(), 0);
}

TEST_F(RootView, CancelForgetsTheFolderAndTheNextChoiceAsksAgain)
{
    ScreenshotMonitor& monitor = makeMonitor();
    grantFolder();
    ASSERT_TRUE(waitUntil([&] { return monitor.isMonitoringActive(); })) << "the run begins after the start";
    setOnboarded(true);
    ScreenshotMonitorTestAccess::publishProgress(monitor, {.isProcessing = true});
    ScreenshotMonitorTestAccess::publishProgress(monitor, {.isProcessingBlocking = true});
    ContentView view(services());
    view.show();
    ASSERT_EQ(view.currentScreen(), Screen::processing);
    QSignalSpy screens(&view, &ContentView::screenChanged);

    view.currentWidget()->findChild<QPushButton*>(u"cancel"_s)->click();
    EXPECT_TRUE(m_console.contains(u"🛑 Cancelling processing and rolling back..."_s));
    EXPECT_TRUE(m_console.lines().contains(u"   ✅ Cleared folder bookmark and path"_s));
    EXPECT_FALSE(settings().contains(ScreenshotMonitor::folderBookmarkKey));
    EXPECT_FALSE(settings().contains(ScreenshotMonitor::monitoredPathKey));
    EXPECT_EQ(settings().boolValue(Onboarding::key), std::optional<bool>(false));
    EXPECT_FALSE(monitor.isProcessing());
    EXPECT_FALSE(monitor.isProcessingBlocking());
    EXPECT_FALSE(monitor.isMonitoringActive());
    EXPECT_FALSE(monitor.hasFileAccess());

    settle();
    EXPECT_EQ(view.currentScreen(), Screen::welcome);
    ASSERT_EQ(screens.size(), 1) << "straight to welcome; no main view in between";
    EXPECT_EQ(screens[0][0].value<Screen>(), Screen::welcome);

    const QString other = m_dir.filePath(u"Elsewhere"_s);
    QDir().mkpath(other);
    m_chooser->answer = other;
    auto* welcome = qobject_cast<WelcomeView*>(view.currentWidget());
    ASSERT_NE(welcome, nullptr);
    welcome->actionButton()->click();
    EXPECT_EQ(m_chooser->shown, 1) << "the chooser opens again instead of reusing the forgotten folder";
    EXPECT_EQ(monitor.monitoredPath(), other);
    EXPECT_TRUE(welcome->isShowingConfetti());
}

TEST_F(RootView, ADamagedOrUnsavableLibraryIsSaidAboveEveryScreenUntilItIsOver)
{
    // The library file's header overwritten while the program was closed.
    m_services.reset();
    const QString storePath = m_dir.filePath(u"store.sqlite"_s);
    {
        QFile store(storePath);
        ASSERT_TRUE(store.open(QIODevice::ReadWrite));
        store.write(QByteArray(100, 'x'));
    }
    makeMonitor();
    ContentView view(services());
    auto* banner = view.findChild<StoreProblemBanner*>();
    ASSERT_NE(banner, nullptr);
    ASSERT_TRUE(waitUntil([&] { return banner->text().contains(u"was moved to "_s + storePath); }));
    EXPECT_TRUE(QFileInfo(services().store().health().state().setAsidePath).isFile());

    DatabaseManager& store = services().store();
    store.simulateFault(DatabaseManager::Fault::readOnly);
    EXPECT_FALSE(store.saveUserData(QUuid::createUuid(), {u"tag"_s}, u"note"_s));
    ASSERT_TRUE(waitUntil(
        [&] { return banner->text().contains(u"Changes cannot be saved: the library file is read-only"_s); }));
    setOnboarded(true);
    ScreenshotMonitorTestAccess::publishProgress(*m_monitor, {.isProcessingBlocking = true});
    ASSERT_TRUE(waitUntil([&] { return view.currentScreen() == Screen::processing; }));
    EXPECT_TRUE(banner->isVisible() || !view.isVisible());
    EXPECT_FALSE(banner->text().isEmpty()) << "the processing screen says it too";

    store.simulateFault(DatabaseManager::Fault::none);
    store.saveUserData(QUuid::createUuid(), {}, std::nullopt); // any write that reaches the file
    ASSERT_TRUE(waitUntil([&] { return !banner->text().contains(u"cannot be saved"_s); }));
    auto* dismiss = banner->findChild<QPushButton*>();
    ASSERT_NE(dismiss, nullptr);
    dismiss->click();
    EXPECT_TRUE(banner->text().isEmpty());
}

// A library file cut short while the program was closed: the next start sets
// it aside, the screenshots the folder holds get the tags and notes still
// readable in it as the library loads, and the banner says how many.
TEST_F(RootView, ADamagedLibraryIsSetAsideWithTheTagsAndNotesThatCouldStillBeRead)
{
    constexpr int files = 150;
    QList<Screenshot> rows;
    for (int i = 0; i < files; ++i) {
        const QString path = m_folder + u"/shot %1.png"_s.arg(i);
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i % 360, 200, 200));
        ASSERT_TRUE(picture.save(path));
        rows.append(Screenshot(path, QUuid::createUuid()));
    }
    DatabaseManager& old = services().store();
    ASSERT_TRUE(old.addFiles(rows));
    QList<ProcessedFileResult> analyses;
    for (const Screenshot& row : rows)
        analyses.append({row.id, QString(300, u'x'), {}, QList<double>(64, 0.5), {}});
    ASSERT_TRUE(old.updateMetadataBatch(analyses));
    for (const Screenshot& row : rows)
        ASSERT_TRUE(old.saveUserData(row.id, {u"tag of "_s + row.filename}, u"note on "_s + row.filename));
    m_services.reset();
    const QString storePath = m_dir.filePath(u"store.sqlite"_s);
    ASSERT_TRUE(QFile::resize(storePath, QFileInfo(storePath).size() / 2));

    makeMonitor();
    ContentView view(services());
    auto* banner = view.findChild<StoreProblemBanner*>();
    ASSERT_NE(banner, nullptr);
    ASSERT_TRUE(waitUntil([&] { return banner->text().contains(u"was moved to "_s + storePath); }));
    ASSERT_TRUE(waitUntil([&] { return banner->text().contains(u"were read from it and carried over."_s); }, 60000));
    const int carried = services().store().health().state().carriedUserData;
    EXPECT_GT(carried, 0);
    EXPECT_LT(carried, files);
    EXPECT_TRUE(banner->text().contains(
        u"a new library was started. The tags and notes of %1 screenshots were read from it and carried over."_s.arg(
            carried)))
        << banner->text().toStdString();

    setOnboarded(true);
    grantFolder();
    ASSERT_TRUE(waitUntil([&] { return m_monitor->screenshots().size() == files; }, 30000));
    int withWords = 0;
    for (const Screenshot& shot : m_monitor->screenshots()) {
        if (shot.customTags.isEmpty() && !shot.userNotes)
            continue;
        ++withWords;
        // A row's tags or its note may be what the damage took.
        if (!shot.customTags.isEmpty()) {
            EXPECT_EQ(shot.customTags, QStringList{u"tag of "_s + shot.filename});
        }
        if (shot.userNotes) {
            EXPECT_EQ(shot.userNotes, u"note on "_s + shot.filename);
        }
    }
    EXPECT_EQ(withWords, carried);
}
