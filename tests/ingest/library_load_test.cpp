#include "LibraryHarness.h"

#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {
class LibraryLoadTest : public LibraryHarness
{};

struct PagingCase
{
    int rows;
    QList<int> offsets;
    QStringList publishes; // the "📊 Loaded" lines, in order
};
} // namespace

TEST_F(LibraryLoadTest, StoredRowsArriveInPagesWithTheirPublishPoints)
{
    const QList<PagingCase> cases{
        {2000, {0}, {}},
        {2500, {0, 2000}, {u"📊 Loaded 2500/2500 screenshots"_s}},
        {12000,
         {0, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 11000},
         {u"📊 Loaded 5000/12000 screenshots"_s, u"📊 Loaded 10000/12000 screenshots"_s,
          u"📊 Loaded 12000/12000 screenshots"_s}},
    };
    for (const PagingCase& expected : cases) {
        SCOPED_TRACE(expected.rows);
        const QString folder = makeFolder(u"Rows%1"_s.arg(expected.rows));
        storeRows(folder, expected.rows, true);
        m_console.clear();
        m_log.clear();

        ScreenshotMonitor& monitor = startOn(folder, 60000);

        EXPECT_EQ(pageOffsets(), expected.offsets);
        EXPECT_EQ(m_console.matching(u"📊 Loaded "_s), expected.publishes);
        EXPECT_TRUE(m_console.contains(u"✅ Gallery ready with 2000 screenshots"_s));
        EXPECT_EQ(m_console.contains(u"📥 Loading remaining"_s), expected.rows > 2000);
        EXPECT_EQ(monitor.screenshots().size(), expected.rows);
        EXPECT_EQ(monitor.knownFiles().size(), expected.rows);
        EXPECT_FALSE(monitor.isProcessingBlocking());
        EXPECT_FALSE(monitor.hasIncompleteFiles());
        EXPECT_TRUE(m_log.contains(u"All files already processed"_s));
    }
}

TEST_F(LibraryLoadTest, APageLoadedWhileTheGuiThreadIsBusyIsLeftOutButTheLastAlwaysArrives)
{
    const QString folder = makeFolder(u"Busy"_s);
    storeRows(folder, 12000, true);
    m_console.clear();
    ScreenshotMonitor& monitor = makeMonitor(60000);
    ScreenshotMonitorTestAccess::chooseFolder(monitor, folder);
    ASSERT_TRUE(waitUntil([&] { return m_console.contains(u"✅ Gallery ready with 2000 screenshots"_s); }));

    // From the first page on, the GUI thread takes nothing until every page
    // is loaded: each page published meanwhile would wait with a copy of
    // every row so far.
    QElapsedTimer waited;
    waited.start();
    while (!m_console.contains(u"✅ All 12000 screenshots loaded from database"_s) && waited.elapsed() < 30000)
        QThread::msleep(10);
    ASSERT_TRUE(m_console.contains(u"✅ All 12000 screenshots loaded from database"_s));

    EXPECT_TRUE(waitUntil([&] { return monitor.isPolling(); }));
    EXPECT_EQ(m_console.matching(u"📊 Loaded "_s),
              (QStringList{u"📊 Loaded 5000/12000 screenshots"_s, u"📊 Loaded 12000/12000 screenshots"_s}));
    EXPECT_EQ(monitor.screenshots().size(), 12000);
}

TEST_F(LibraryLoadTest, ElevenFilesNeedingAnalysisBlockAndTenDoNot)
{
    for (const int files : {10, 11}) {
        SCOPED_TRACE(files);
        const QString folder = makeFolder(u"Files%1"_s.arg(files));
        for (int i = 0; i < files; ++i)
            writeFile(folder + u"/Shot %1.png"_s.arg(i));
        m_log.clear();
        ScreenshotMonitor& monitor = makeMonitor(60000);
        QSignalSpy blocking(&monitor, &ScreenshotMonitor::isProcessingBlockingChanged);
        QSignalSpy totals(&monitor, &ScreenshotMonitor::totalToProcessChanged);

        startOn(folder);

        EXPECT_EQ(blocking.count() > 0 && blocking.first().first().toBool(), files > 10);
        ASSERT_FALSE(totals.isEmpty());
        EXPECT_EQ(totals.first().first().toInt(), files);
        EXPECT_TRUE(monitor.hasIncompleteFiles());
        EXPECT_EQ(monitor.screenshots().size(), files);
        // The first import writes its rows in one go, not one statement each.
        EXPECT_EQ(m_store->count(folder), files);
        EXPECT_EQ(m_log.matching(u"Upserting screenshots | count=%1"_s.arg(files)).size(), 1);
        EXPECT_FALSE(m_log.contains(u"Upserting screenshot |"_s));
        EXPECT_TRUE(m_log.contains(u"Scan complete | total=%1, needProcessing=%1, alreadyProcessed=0"_s.arg(files)));
    }
}

TEST_F(LibraryLoadTest, ASiblingFolderSharingTheNamePrefixNeverEntersTheList)
{
    const QString sibling = makeFolder(u"Desktop2"_s);
    storeRows(sibling, 3);
    writeFile(sibling + u"/on disk.png"_s);
    storeRows(m_folder, 2);

    ScreenshotMonitor& monitor = startOn(m_folder);
    settle();

    for (const QString& path : monitor.knownFiles())
        EXPECT_TRUE(path.startsWith(m_folder + u'/')) << path.toStdString();
    EXPECT_TRUE(listedPaths().filter(u"Desktop2"_s).isEmpty());
}

TEST_F(LibraryLoadTest, ALoadOutlivedByAFolderChangeAppliesNothing)
{
    for (int i = 0; i < 12; ++i)
        writeFile(m_folder + u"/Shot %1.png"_s.arg(i));
    ScreenshotMonitor& monitor = makeMonitor();
    QSignalSpy blocking(&monitor, &ScreenshotMonitor::isProcessingBlockingChanged);
    QSignalSpy totals(&monitor, &ScreenshotMonitor::totalToProcessChanged);
    QSignalSpy incomplete(&monitor, &ScreenshotMonitor::hasIncompleteFilesChanged);
    {
        QueueBlock storeBusy(m_store->dbQueue());
        ScreenshotMonitorTestAccess::chooseFolder(monitor, m_folder);
        waitUntil([&] { return m_console.contains(u"📸 Loading screenshot library..."_s); });
        // The load now waits for the store; the user picks a folder that is gone.
        ScreenshotMonitorTestAccess::chooseFolder(monitor, m_dir.filePath(u"missing"_s));
        waitUntil([&] { return m_console.contains(u"⚠️ No file access needed for: "_s); });
    }
    // On a busy machine the load may only begin after the change and stop at
    // its folder check; otherwise it reads the store once released.
    ASSERT_TRUE(waitUntil([&] {
        return m_console.contains(u"📚 Found 0 screenshots in database for: "_s) ||
               m_console.contains(u"🛑 Scan cancelled - Folder changed from "_s);
    }));
    settle();

    EXPECT_TRUE(monitor.screenshots().isEmpty());
    EXPECT_TRUE(monitor.knownFiles().isEmpty());
    EXPECT_EQ(blocking.count(), 0);
    EXPECT_EQ(totals.count(), 0);
    EXPECT_EQ(incomplete.count(), 0);
    EXPECT_FALSE(monitor.isPolling());
}

// Tags and notes carried over from a damaged library file after the library
// was listed reach the listed records too, not only the rows.
TEST_F(LibraryLoadTest, WordsCarriedFromADamagedFileAfterTheLoadReachTheListedRecords)
{
    const QString shot = writeFile(m_folder + u"/a.png"_s);
    writeFile(m_folder + u"/b.png"_s);
    ScreenshotMonitor& monitor = startOn(m_folder);
    settle();
    ASSERT_EQ(monitor.screenshots().size(), 2);
    const QString old = m_dir.filePath(u"old.sqlite"_s);
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(old.toUtf8().constData(), &raw), SQLITE_OK);
        const SqliteConnection db(raw);
        const QByteArray sql = "CREATE TABLE screenshot (filepath TEXT, custom_tags TEXT, user_notes TEXT);"
                               "INSERT INTO screenshot VALUES ('" +
                               shot.toUtf8() + "', '[\"old\"]', 'old note');";
        ASSERT_TRUE(sqliteExec(db.get(), sql.constData()));
    }

    m_store->carryUserDataFrom(old);

    EXPECT_TRUE(waitUntil(
        [&] {
            for (const Screenshot& listed : monitor.screenshots()) {
                if (listed.filePath == shot)
                    return listed.customTags == QStringList{u"old"_s} && listed.userNotes == u"old note"_s;
            }
            return false;
        },
        30000));
}
