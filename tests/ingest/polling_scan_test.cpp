#include "LibraryHarness.h"

#include "ingest/FolderWalker.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <algorithm>
#include <thread>

using namespace Qt::StringLiterals;

namespace {
class PollingScanTest : public LibraryHarness
{
protected:
    // Entries of every kind the walks must tell apart, below `folder`.
    void writeMixedTree(const QString& folder)
    {
        writeFile(folder + u"/Shot.PNG"_s);
        writeFile(folder + u"/sub/inner.jpeg"_s);
        writeFile(folder + u"/x.png/inside.webp"_s);
        writeFile(folder + u"/.hidden.png"_s);
        writeFile(folder + u"/notes.txt"_s);
        // Names beyond ASCII are listed as they are, extensions in any case.
        writeFile(folder + u"/Übersicht/Écran café.Jpg"_s);
        writeFile(folder + u"/photo.pngé"_s);
        writeFile(folder + u"/.secret/a.png"_s);
        const QString outside = makeFolder(u"Outside"_s);
        writeFile(outside + u"/out.png"_s);
        QFile::link(outside, folder + u"/link"_s);
        QFile::link(folder + u"/Shot.PNG"_s, folder + u"/linked.png"_s);
        QFile::link(folder + u"/gone.png"_s, folder + u"/dangling.png"_s);
    }

    QStringList relativeListing(const QString& folder) const
    {
        QStringList relative;
        for (const QString& path : listedPaths())
            relative.append(path.mid(folder.size() + 1));
        relative.sort();
        return relative;
    }
};
} // namespace

TEST_F(PollingScanTest, ANewUpperCaseFileInASubFolderIsFoundWithinOneTick)
{
    ScreenshotMonitor& monitor = startOn(m_folder, ScreenshotMonitor::pollingIntervalMs);
    settle(2); // the walk after the load is done
    QSignalSpy announced(&monitor, &ScreenshotMonitor::newScreenshot);

    const QString path = writeFile(m_folder + u"/Work/Shot 1.PNG"_s);
    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_TRUE(waitUntil([&] { return isListed(path); }, ScreenshotMonitor::pollingIntervalMs + 600));

    const Screenshot found = monitor.screenshots().first();
    EXPECT_EQ(found.filePath, path);
    EXPECT_FALSE(found.id.isNull());
    EXPECT_EQ(found.sourceApp, appName);
    EXPECT_TRUE(monitor.knownFiles().contains(path));
    ASSERT_EQ(announced.count(), 1);
    EXPECT_EQ(announced.first().first().value<Screenshot>().filePath, path);
    ASSERT_TRUE(waitUntil([&] { return m_store->fetchByPath(path).has_value(); }));
    const auto stored = m_store->fetchByPath(path);
    EXPECT_EQ(stored->id, found.id);
    EXPECT_EQ(stored->sourceApp, appName);
    EXPECT_TRUE(m_console.contains(u"🆕 Watcher found 1 new files"_s));
}

TEST_F(PollingScanTest, BothWalksTakeOnlyVisibleRegularFilesOfTheListedKinds)
{
    // A link to a regular file is listed under its own name; links to folders
    // and dangling ones are not.
    const QStringList expected{u"Shot.PNG"_s, u"linked.png"_s, u"sub/inner.jpeg"_s, u"x.png/inside.webp"_s,
                               u"Übersicht/Écran café.Jpg"_s};

    writeMixedTree(m_folder);
    startOn(m_folder);
    settle();
    EXPECT_EQ(relativeListing(m_folder), expected) << "library load";

    const QString later = makeFolder(u"Later"_s);
    startOn(later);
    settle();
    writeMixedTree(later);
    ASSERT_TRUE(waitUntil([&] { return relativeListing(later).size() >= expected.size(); }));
    settle();
    EXPECT_EQ(relativeListing(later), expected) << "change check";
}

TEST_F(PollingScanTest, AStoredRowIsReusedByPathAndKeepsItsSource)
{
    ScreenshotMonitor& monitor = startOn(m_folder);
    settle();

    Screenshot kept(m_folder + u"/kept.png"_s, QUuid::createUuid());
    Screenshot sourced(m_folder + u"/sourced.png"_s, QUuid::createUuid(), u"Terminal"_s);
    m_store->upsertMany({kept, sourced});
    m_store->updateMetadataBatch({{kept.id, u"hello"_s, {}, QList<double>{1.0}, {}}});
    writeFile(kept.filePath);
    writeFile(sourced.filePath);
    ASSERT_TRUE(waitUntil([&] { return monitor.screenshots().size() == 2; }));

    for (const Screenshot& listed : monitor.screenshots()) {
        if (listed.filePath == kept.filePath) {
            EXPECT_EQ(listed.id, kept.id);
            EXPECT_EQ(listed.ocrText, u"hello"_s);
            EXPECT_EQ(listed.sourceApp, appName) << "a row without a source takes the frontmost application";
        } else {
            EXPECT_EQ(listed.id, sourced.id);
            EXPECT_EQ(listed.sourceApp, u"Terminal"_s);
        }
    }
    // The rows are written off the GUI thread, soon after.
    EXPECT_TRUE(waitUntil([&] { return m_store->fetchByPath(kept.filePath)->sourceApp == appName; }));
    EXPECT_EQ(m_store->count(m_folder), 2);
}

TEST_F(PollingScanTest, DeletionsAreAppliedBeforeAdditions)
{
    const QString gone = writeFile(m_folder + u"/gone.png"_s);
    const QString stays = writeFile(m_folder + u"/stays.png"_s);
    ScreenshotMonitor& monitor = startOn(m_folder);
    settle();
    QList<QStringList> published;
    // Goes before `published` does: lists the monitor publishes after the
    // test (its analyses finish later) must not reach a list that is gone.
    QObject recorder;
    QObject::connect(&monitor, &ScreenshotMonitor::screenshotsChanged, &recorder,
                     [&] { published.append(listedPaths()); });

    QFile::remove(gone);
    const QString first = writeFile(m_folder + u"/first.png"_s);
    const QString second = writeFile(m_folder + u"/second.png"_s);
    ASSERT_TRUE(waitUntil([&] { return isListed(first) && isListed(second); }));

    const QStringList lines = m_console.lines();
    const qsizetype deletions = lines.indexOf(u"🗑️ Detected 1 deletions"_s);
    const qsizetype additions = lines.indexOf(u"🆕 Watcher found 2 new files"_s);
    ASSERT_GE(deletions, 0);
    EXPECT_GT(additions, deletions);
    ASSERT_GE(published.size(), 2);
    EXPECT_EQ(published[0], QStringList{stays});
    EXPECT_EQ(published[1].size(), 3);
    EXPECT_FALSE(monitor.knownFiles().contains(gone));
    EXPECT_TRUE(m_store->fetchByPath(gone).has_value()) << "a vanished file keeps its row";
}

TEST_F(PollingScanTest, AWalkSlowerThanTheIntervalListsEveryFileOnce)
{
    ScreenshotMonitor& monitor = startOn(m_folder);
    settle();
    QSignalSpy announced(&monitor, &ScreenshotMonitor::newScreenshot);
    QString first, second;
    {
        // The walk that finds the first file waits for the store over many ticks,
        // while a second file arrives.
        QueueBlock storeBusy(m_store->dbQueue());
        first = writeFile(m_folder + u"/first.png"_s);
        settle();
        second = writeFile(m_folder + u"/second.png"_s);
        settle();
    }
    ASSERT_TRUE(waitUntil([&] { return isListed(first) && isListed(second); }));
    settle();

    QStringList paths = listedPaths();
    paths.sort();
    EXPECT_EQ(paths, QStringList({first, second}));
    EXPECT_EQ(monitor.knownFiles().size(), 2);
    EXPECT_EQ(announced.count(), 2);
    EXPECT_EQ(m_store->count(m_folder), 2);
}

TEST_F(PollingScanTest, AFolderChangeBetweenWalkAndApplyDropsTheChanges)
{
    const QString other = makeFolder(u"Other"_s);
    ScreenshotMonitor& monitor = startOn(m_folder);
    settle();
    QString late;
    {
        QueueBlock storeBusy(m_store->dbQueue());
        late = writeFile(m_folder + u"/late.png"_s);
        settle(); // the walk has found the file and waits for the store
        ScreenshotMonitorTestAccess::chooseFolder(monitor, other);
    }
    ASSERT_TRUE(waitUntil([&] { return monitor.isPolling(); }));
    settle();

    EXPECT_FALSE(isListed(late));
    EXPECT_FALSE(monitor.knownFiles().contains(late));
    // The walk may have stored the file's row; the old folder's next load takes it over by path.
    EXPECT_LE(m_store->count(m_folder), 1);
    EXPECT_FALSE(m_console.contains(u"🆕 Watcher found"_s));
}

TEST_F(PollingScanTest, APauseWaitsForTheWalkInFlightAndNoWalkRunsUntilResumed)
{
    ScreenshotMonitor& monitor = startOn(m_folder);
    settle();
    QString moved;
    {
        auto storeBusy = std::make_shared<QueueBlock>(m_store->dbQueue());
        moved = writeFile(m_folder + u"/moved.png"_s);
        settle(); // the walk has found the file and waits for the store
        std::thread releaser([storeBusy] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            storeBusy->release();
        });
        monitor.pausePolling(); // returns only once that walk is over
        releaser.join();
    }
    EXPECT_TRUE(monitor.isPollingPaused());
    settle(); // the walk's result arrives now and is dropped; no tick walks
    EXPECT_FALSE(isListed(moved));

    // A tool moves the file while polling is paused.
    const QString target = m_folder + u"/2026/moved.png"_s;
    QDir().mkpath(QFileInfo(target).path());
    ASSERT_TRUE(QFile::rename(moved, target));
    settle();
    EXPECT_FALSE(isListed(target));

    monitor.resumePolling();
    ASSERT_TRUE(waitUntil([&] { return isListed(target); }));
    settle();
    EXPECT_EQ(listedPaths(), QStringList{target});
    EXPECT_EQ(m_store->count(m_folder + u"/2026"_s), 1);
}

TEST_F(PollingScanTest, NestedPausesResumeOnlyAfterTheLast)
{
    ScreenshotMonitor& monitor = startOn(m_folder);
    monitor.pausePolling();
    monitor.pausePolling();
    monitor.resumePolling();
    const QString file = writeFile(m_folder + u"/still-paused.png"_s);
    settle();
    EXPECT_FALSE(isListed(file));
    monitor.resumePolling();
    EXPECT_FALSE(monitor.isPollingPaused());
    EXPECT_TRUE(waitUntil([&] { return isListed(file); }));
}

TEST_F(PollingScanTest, AFolderThatCannotBeReadKeepsItsFilesUntilAWalkCanReadIt)
{
    const QString inside = writeFile(m_folder + u"/Drive/on-drive.png"_s);
    const QString top = writeFile(m_folder + u"/top.png"_s);
    ScreenshotMonitor& monitor = makeMonitor();
    std::atomic<bool> driveGone{false};
    std::atomic<int> walks{0};
    ScreenshotMonitorTestAccess::scanner(monitor).setWalk([&](const QString& folder, const QStringList& extensions) {
        FolderWalker::Result result = FolderWalker::walk(folder, extensions);
        if (driveGone) {
            result.files.removeIf([](const QString& path) { return path.contains(u"/Drive/"_s); });
            result.unreadable.append(folder + u"/Drive"_s);
        }
        ++walks;
        return result;
    });
    startOn(m_folder);
    ASSERT_TRUE(waitUntil([&] { return isListed(inside) && isListed(top); }));

    driveGone = true; // unmounted: its folder cannot be opened
    QFile::remove(top);
    const int before = walks;
    monitor.forceChangeCheck();
    ASSERT_TRUE(waitUntil([&] { return walks > before && !isListed(top); }));
    EXPECT_TRUE(isListed(inside)) << "unknown is not gone";

    driveGone = false; // back, and now the file really is gone
    QFile::remove(inside);
    monitor.forceChangeCheck();
    EXPECT_TRUE(waitUntil([&] { return !isListed(inside); }));
    EXPECT_EQ(m_store->count(m_folder), 2) << "rows stay; no file was added twice";
    m_monitor.reset(); // its walks use this test's variables
}

TEST_F(PollingScanTest, AFileSystemWithoutChangeNoticesIsWalkedOnEveryCheck)
{
    for (const bool reliable : {true, false}) {
        ScreenshotMonitor& monitor = makeMonitor();
        std::atomic<int> walks{0};
        ChangeScanner& scanner = ScreenshotMonitorTestAccess::scanner(monitor);
        scanner.setNoticeCheck([reliable](const QString&) { return reliable; });
        scanner.setWalk([&walks](const QString& folder, const QStringList& extensions) {
            ++walks;
            return FolderWalker::walk(folder, extensions);
        });
        startOn(m_folder);
        // A few quiet checks: with notices only the first walk after the load
        // runs; without them every check walks.
        ASSERT_TRUE(waitUntil([&] { return walks >= 1; }));
        const int afterStart = walks;
        const QDateTime from = monitor.lastScanDate();
        ASSERT_TRUE(waitUntil([&] { return from.msecsTo(monitor.lastScanDate()) >= 400; }));
        if (reliable)
            EXPECT_LE(walks - afterStart, 1);
        else
            EXPECT_GE(walks - afterStart, 4);
        m_monitor.reset();
    }
    EXPECT_FALSE(FolderTreeWatcher().watch({m_dir.filePath(u"no such folder"_s)}))
        << "a folder that cannot be watched leaves the tree to be walked";
}
