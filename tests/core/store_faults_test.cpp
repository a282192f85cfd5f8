#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/UserDataLimits.h"
#include "core/Uuid.h"
#include "support/Capture.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <random>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
Screenshot record(const QString& path, std::optional<QString> sourceApp = std::nullopt)
{
    Screenshot s;
    s.id = QUuid::createUuid();
    s.filePath = path;
    s.filename = path.section(u'/', -1);
    s.dateCreated = QDateTime::fromSecsSinceEpoch(1'700'000'000);
    s.fileSize = 10;
    s.sourceApp = std::move(sourceApp);
    return s;
}

class StoreFaultsTest : public ::testing::Test
{
protected:
    QString dbPath() const { return m_dir.filePath(u"Brindlework.sqlite"_s); }

    std::unique_ptr<DatabaseManager> openStore()
    {
        auto store = std::make_unique<DatabaseManager>(dbPath());
        store->isOpen();
        store->dbQueue().sync([] {});
        return store;
    }

    // A closed library of `rows` rows with `textLength` characters of text each.
    void writeLibrary(int rows, int textLength = 400)
    {
        auto store = openStore();
        QList<Screenshot> records;
        for (int i = 0; i < rows; ++i)
            records.append(record(u"/lib/shot %1.png"_s.arg(i)));
        ASSERT_TRUE(store->upsertMany(records));
        QList<ProcessedFileResult> results;
        for (const Screenshot& s : records)
            results.append({s.id, QString(textLength, u'x'), {}, QList<double>{1.0}, {}});
        ASSERT_TRUE(store->updateMetadataBatch(results));
    }

    QByteArray readFile() const
    {
        QFile file(dbPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeFile(const QByteArray& bytes) const
    {
        QFile file(dbPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // Every page after the first (which holds the schema) scribbled on.
    static void scribbleOnPages(QByteArray& bytes)
    {
        for (qsizetype at = 4096 + 40; at + 64 < bytes.size(); at += 4096)
            bytes.replace(at, 64, QByteArray(64, '\x7f'));
    }

    QStringList setAsideFiles() const
    {
        return QDir(m_dir.path()).entryList({u"Brindlework.sqlite.damaged-*"_s}, QDir::Files);
    }

    // The tags and notes of a damaged file are read beside the store's work:
    // true once that has ended.
    static bool carryingEnded(DatabaseManager& store)
    {
        return waitUntil([&] { return !store.health().state().isCarryingUserData; }, 60000);
    }

    QTemporaryDir m_dir;
    ConsoleCapture m_console;
};

// Makes the library file one this process really cannot write while a store
// opens it, and writable again on request. Root may write any file whatever
// its mode, so as root the process takes another user's identity for the
// open; as anyone else the file is made read-only.
class UnwritableWhileOpening
{
public:
    static constexpr uid_t nobody = 65534;

    UnwritableWhileOpening(const QString& file, const QString& folder)
        : m_file(QFile::encodeName(file))
    {
        if (::geteuid() != 0) {
            m_usable = ::chmod(m_file.constData(), 0444) == 0;
            return;
        }
        // The other user reads the file and keeps SQLite's shared memory beside it.
        m_usable = ::chmod(QFile::encodeName(folder).constData(), 0777) == 0 && ::seteuid(nobody) == 0;
        m_asOtherUser = m_usable;
    }
    ~UnwritableWhileOpening() { makeWritable(); }

    bool isUsable() const { return m_usable; }
    void makeWritable()
    {
        if (m_asOtherUser)
            m_asOtherUser = ::seteuid(0) != 0;
        else if (::geteuid() != 0)
            ::chmod(m_file.constData(), 0644);
    }

private:
    QByteArray m_file;
    bool m_usable = false;
    bool m_asOtherUser = false;
};
} // namespace

// SQLite opens a file it may not write for reading only: the store must open
// it again for writing once the file allows it, or every later save (a note
// typed in the inspector, its Retry, the analyses waiting) fails until the
// program restarts.
TEST_F(StoreFaultsTest, AFileOpenedReadOnlyIsWrittenOnceItCanBe)
{
    const Screenshot kept = record(u"/lib/kept.png"_s);
    ASSERT_TRUE(openStore()->upsert(kept));

    UnwritableWhileOpening unwritable(dbPath(), m_dir.path());
    if (!unwritable.isUsable())
        GTEST_SKIP() << "the library file cannot be made unwritable to this process";
    auto store = openStore();
    EXPECT_EQ(store->count(), 1) << "it reads";
    EXPECT_FALSE(store->saveUserData(kept.id, {u"typed"_s}, u"a note"_s));
    EXPECT_EQ(store->health().state().writeProblem, u"the library file is read-only"_s);

    unwritable.makeWritable();
    EXPECT_TRUE(store->saveUserData(kept.id, {u"typed"_s}, u"a note"_s)) << "the retry";
    EXPECT_TRUE(store->health().canWrite());
    EXPECT_TRUE(store->updateMetadataBatch({{kept.id, u"waited"_s, {}, QList<double>{1.0}, {}}}));
    store.reset();
    const auto row = openStore()->fetchByPath(kept.filePath);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->userNotes, u"a note"_s);
    EXPECT_EQ(row->ocrText, u"waited"_s);
}

// A library of an older layout that could not be written at start lacks the
// columns saves need: they are added once the file can be written, or every
// save fails though writing works again.
TEST_F(StoreFaultsTest, AnOlderFileOpenedReadOnlyGainsItsColumnsOnceItCanBeWritten)
{
    const QUuid id = QUuid::createUuid();
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(dbPath().toUtf8().constData(), &raw), SQLITE_OK);
        const SqliteConnection older(raw);
        ASSERT_TRUE(sqliteExec(raw, "CREATE TABLE screenshot (id TEXT PRIMARY KEY, filename TEXT, filepath TEXT, "
                                    "date_created REAL, size_bytes INTEGER, tags TEXT, notes TEXT, ocr_text TEXT, "
                                    "embedding_json TEXT, detected_urls TEXT);"));
        const QByteArray insert =
            "INSERT INTO screenshot (id, filename, filepath, date_created, size_bytes) VALUES ('" +
            uuidText(id).toUtf8() + "', 'old.png', '/lib/old.png', 1700000000, 10);";
        ASSERT_TRUE(sqliteExec(raw, insert.constData()));
    }
    UnwritableWhileOpening unwritable(dbPath(), m_dir.path());
    if (!unwritable.isUsable())
        GTEST_SKIP() << "the library file cannot be made unwritable to this process";
    auto store = openStore();
    EXPECT_EQ(store->count(), 1) << "it reads";
    EXPECT_FALSE(store->saveUserData(id, {u"typed"_s}, u"a note"_s));

    unwritable.makeWritable();
    EXPECT_TRUE(store->saveUserData(id, {u"typed"_s}, u"a note"_s)) << "the retry";
    EXPECT_TRUE(store->updateMetadataBatch({{id, u"waited"_s, {}, QList<double>{1.0}, {}}}));
    EXPECT_TRUE(store->health().canWrite()) << store->health().state().writeProblem.toStdString();
    store.reset();
    const auto row = openStore()->fetchByPath(u"/lib/old.png"_s);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->customTags, QStringList{u"typed"_s});
    EXPECT_EQ(row->userNotes, u"a note"_s);
    EXPECT_EQ(row->ocrText, u"waited"_s);
}

TEST_F(StoreFaultsTest, ADamagedFileIsMovedAsideUntouchedAndANewOneStarted)
{
    const std::vector<std::pair<const char*, std::function<void(QByteArray&)>>> damages{
        {"header overwritten", [](QByteArray& bytes) { bytes.replace(0, 100, QByteArray(100, '\x5a')); }},
        {"truncated", [](QByteArray& bytes) { bytes.truncate(bytes.size() / 2 + 100); }},
        {"pages scribbled on", scribbleOnPages},
    };
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        QFile::remove(dbPath());
        for (const QString& old : setAsideFiles())
            QFile::remove(m_dir.filePath(old));
        writeLibrary(300);
        QByteArray bytes = readFile();
        damage(bytes);
        writeFile(bytes);
        m_console.clear();

        auto store = openStore();

        ASSERT_EQ(setAsideFiles().size(), 1);
        const QString setAside = m_dir.filePath(setAsideFiles().first());
        EXPECT_EQ(store->health().state().setAsidePath, setAside);
        QFile kept(setAside);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes) << "the damaged file is kept as it was";
        EXPECT_TRUE(m_console.contains(u"⚠️ The library file was damaged; it was moved to "_s + setAside));
        EXPECT_FALSE(m_console.contains(u"UPSERT statement could not be prepared."_s));

        // The new file works: what is written is read back.
        const Screenshot fresh = record(u"/lib/new.png"_s);
        EXPECT_TRUE(store->upsert(fresh));
        EXPECT_EQ(store->count(), 1);
        EXPECT_TRUE(store->health().canWrite());
    }
}

namespace {
QString tagOf(int row)
{
    return u"tag %1"_s.arg(row);
}
QString noteOf(int row)
{
    return u"note on shot %1"_s.arg(row);
}
QString shotPath(int row)
{
    return u"/lib/shot %1.png"_s.arg(row);
}

// The pages of `damaged` that differ from `intact` or are missing, numbered
// from 1 as SQLite numbers them.
QSet<qint64> damagedPages(const QByteArray& intact, const QByteArray& damaged, qsizetype pageSize)
{
    QSet<qint64> pages;
    for (qsizetype at = 0; at < intact.size(); at += pageSize)
        if (at + pageSize > damaged.size() || intact.mid(at, pageSize) != damaged.mid(at, pageSize))
            pages.insert(at / pageSize + 1);
    return pages;
}

// The paths of the rows of an intact library file none of whose pages is in
// `damaged`: their leaf, its cells' overflow pages and the interior pages
// above it, as SQLite's page statistics name them.
QStringList rowsOutside(const QString& intactFile, const QSet<qint64>& damaged)
{
    sqlite3* raw = nullptr;
    sqlite3_open_v2(intactFile.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const SqliteConnection db(raw);
    // Interior page paths are prefixes of their leaves' paths; an overflow
    // page's path is its cell's ("/003/002+000001": leaf "/003/", cell 2).
    QHash<QString, qint64> pageOf;
    QList<std::pair<QString, int>> leaves; // in key order, with their cells
    QSet<QString> damagedCells;
    SqliteStatement pages(db.get(), "SELECT path, pageno, pagetype, ncell FROM dbstat "
                                    "WHERE name = 'screenshot' ORDER BY path;");
    while (pages.step() == SQLITE_ROW) {
        const QString path = pages.columnText(0);
        const qint64 page = pages.columnInt64(1);
        if (pages.columnText(2) == u"overflow"_s) {
            if (damaged.contains(page))
                damagedCells.insert(path.section(u'+', 0, 0));
            continue;
        }
        pageOf.insert(path, page);
        if (pages.columnText(2) == u"leaf"_s)
            leaves.append({path, int(pages.columnInt64(3))});
    }
    QStringList paths;
    SqliteStatement rows(db.get(), "SELECT filepath FROM screenshot ORDER BY rowid;");
    for (const auto& [leaf, cells] : leaves) {
        bool reachable = true;
        for (qsizetype slash = 0; (slash = leaf.indexOf(u'/', slash)) >= 0; ++slash)
            reachable = reachable && !damaged.contains(pageOf.value(leaf.left(slash + 1)));
        for (int cell = 0; cell < cells && rows.step() == SQLITE_ROW; ++cell) {
            const QString cellPath = leaf + u"%1"_s.arg(cell, 3, 16, QChar(u'0'));
            if (reachable && !damagedCells.contains(cellPath))
                paths.append(rows.columnText(0));
        }
    }
    return paths;
}
} // namespace

// A damaged library's tags and notes are the user's own words, found nowhere
// else: what can still be read of them goes to the new library, by path, and
// the rows the library load makes for those paths take them, even a start
// later; the user is told how many.
TEST_F(StoreFaultsTest, TheTagsAndNotesStillReadableInADamagedFileGoToTheNewOne)
{
    constexpr int rows = 300;
    const std::vector<std::pair<const char*, std::function<void(QByteArray&)>>> damages{
        {"cut to half its size, mid-page", [](QByteArray& bytes) { bytes.truncate(bytes.size() / 2 + 2000); }},
        {"random bytes in its middle",
         [](QByteArray& bytes) {
             std::mt19937 random(58);
             for (qsizetype at = bytes.size() / 2; at < bytes.size() / 2 + 3 * 4096; ++at)
                 bytes[at] = char(random());
         }},
    };
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        QFile::remove(dbPath());
        for (const QString& old : setAsideFiles())
            QFile::remove(m_dir.filePath(old));
        {
            // Analysed rows, as a library holds them: text and a vector each.
            auto store = openStore();
            QList<Screenshot> records;
            for (int i = 0; i < rows; ++i)
                records.append(record(shotPath(i)));
            ASSERT_TRUE(store->addFiles(records));
            QList<ProcessedFileResult> results;
            for (const Screenshot& s : records)
                results.append({s.id, QString(300, u'x'), {u"text"_s}, QList<double>(64, 0.123456789), {}});
            ASSERT_TRUE(store->updateMetadataBatch(results));
            for (int i = 0; i < rows; ++i)
                ASSERT_TRUE(store->saveUserData(records[i].id, {tagOf(i), u"shared"_s}, noteOf(i)));
        }
        const QByteArray intact = readFile();
        QByteArray bytes = intact;
        damage(bytes);
        writeFile(bytes);
        const QString intactCopy = m_dir.filePath(u"intact.sqlite"_s);
        QFile::remove(intactCopy);
        {
            QFile copy(intactCopy);
            ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
            copy.write(intact);
        }
        const QStringList readable = rowsOutside(intactCopy, damagedPages(intact, bytes, 4096));
        ASSERT_GE(readable.size(), rows / 4) << "the damage leaves rows to read";
        ASSERT_LT(readable.size(), rows) << "the damage costs rows";

        int carried = 0;
        {
            auto store = openStore();
            ASSERT_EQ(setAsideFiles().size(), 1);
            ASSERT_TRUE(carryingEnded(*store));
            carried = store->health().state().carriedUserData;
            EXPECT_EQ(store->count(), 0) << "the new library starts empty";
        } // closed before the load ever ran: the words wait in the file
        QFile kept(m_dir.filePath(setAsideFiles().first()));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes) << "read, never changed";

        auto store = openStore();
        QList<Screenshot> found; // as the library load finds the files
        for (int i = 0; i < rows; ++i)
            found.append(record(shotPath(i)));
        const auto stored = store->addFiles(found);
        ASSERT_TRUE(stored);
        int withWords = 0;
        for (int i = 0; i < rows; ++i) {
            const Screenshot& row = (*stored)[i];
            const auto again = store->fetchByPath(shotPath(i));
            ASSERT_TRUE(again);
            EXPECT_EQ(again->customTags, row.customTags) << "the load sees what the row holds";
            EXPECT_EQ(again->userNotes, row.userNotes);
            if (row.customTags.isEmpty() && !row.userNotes) {
                EXPECT_FALSE(readable.contains(shotPath(i))) << "lost, though its pages are whole: " << i;
                continue;
            }
            ++withWords;
            EXPECT_EQ(row.customTags, (QStringList{tagOf(i), u"shared"_s})) << i;
            EXPECT_EQ(row.userNotes, noteOf(i)) << i;
        }
        EXPECT_EQ(withWords, carried) << "the number told is the number kept";
        EXPECT_GE(carried, readable.size());

        // Given once: a row made again for the path later starts bare.
        ASSERT_TRUE(store->deleteScreenshot((*stored)[0].id));
        const auto remade = store->addFiles({record(shotPath(0))});
        ASSERT_TRUE(remade);
        EXPECT_TRUE(remade->first().customTags.isEmpty());
    }
}

TEST_F(StoreFaultsTest, DamageMetInALargeFileIsSetAsideAtTheNextStart)
{
    writeLibrary(2500, 7000);
    QByteArray bytes = readFile();
    ASSERT_GT(bytes.size(), DatabaseManager::thoroughCheckLimitBytes);
    scribbleOnPages(bytes);
    writeFile(bytes);
    {
        auto store = openStore();
        EXPECT_TRUE(setAsideFiles().isEmpty()) << "too large to read whole at every start";
        LogTimer timer(u"db_query_screenshots"_s);
        store->fetchPage(std::nullopt, 5000, 0, true, timer);
        EXPECT_FALSE(store->health().canWrite());
        EXPECT_EQ(store->health().state().writeProblem, StoreHealth::problemText(SQLITE_CORRUPT));
    }
    auto store = openStore();
    ASSERT_EQ(setAsideFiles().size(), 1);
    EXPECT_FALSE(QFile::exists(dbPath() + DatabaseManager::damageMarkerSuffix));
    EXPECT_EQ(store->count(), 0);
    EXPECT_TRUE(store->health().canWrite());
}

TEST_F(StoreFaultsTest, AnIntactOrMerelyLockedFileStaysWhereItIs)
{
    writeLibrary(50);
    {
        auto store = openStore();
        EXPECT_EQ(store->count(), 50);
        EXPECT_TRUE(store->health().state().setAsidePath.isEmpty());
    }
    // Another program holding the file locked makes it unreadable for a
    // moment, not damaged.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(dbPath().toUtf8().constData(), &raw), SQLITE_OK);
    SqliteConnection locker(raw);
    ASSERT_TRUE(sqliteExec(raw, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;"));
    auto store = openStore();
    EXPECT_EQ(store->count(), 0) << "the lock keeps the store out";
    EXPECT_TRUE(setAsideFiles().isEmpty());
    EXPECT_TRUE(QFile::exists(dbPath()));
    locker.reset();
    EXPECT_EQ(store->count(), 50);
}

TEST_F(StoreFaultsTest, FailedWritesSayWhyUntilWritingWorksAgain)
{
    const std::vector<std::pair<DatabaseManager::Fault, QString>> faults{
        {DatabaseManager::Fault::readOnly, u"the library file is read-only"_s},
        {DatabaseManager::Fault::full, u"the disk holding the library is full"_s},
    };
    auto store = openStore();
    const Screenshot kept = record(u"/lib/kept.png"_s);
    ASSERT_TRUE(store->upsert(kept));
    for (const auto& [fault, reason] : faults) {
        SCOPED_TRACE(reason.toStdString());
        QSignalSpy changed(&store->health(), &StoreHealth::changed);
        store->simulateFault(fault);

        // Large enough that the file must grow.
        QList<Screenshot> many;
        for (int i = 0; i < 200; ++i)
            many.append(record(u"/lib/%1/"_s.arg(i) + QString(300, u'p') + u".png"_s));
        EXPECT_FALSE(store->upsertMany(many));
        EXPECT_FALSE(store->updateMetadataBatch({{kept.id, QString(20000, u't'), {}, QList<double>{1.0}, {}}}));
        EXPECT_FALSE(store->addFiles(many));
        EXPECT_EQ(store->health().state().writeProblem, reason);
        EXPECT_FALSE(store->health().canWrite());
        EXPECT_EQ(changed.count(), 1) << "announced once, not per write";
        EXPECT_EQ(store->count(), 1) << "nothing half-written";

        store->simulateFault(DatabaseManager::Fault::none);
        EXPECT_TRUE(store->updateMetadataBatch({{kept.id, u"saved"_s, {}, QList<double>{1.0}, {}}}));
        EXPECT_TRUE(store->health().canWrite());
        EXPECT_EQ(changed.count(), 2);
        EXPECT_EQ(store->fetchByPath(kept.filePath)->ocrText, u"saved"_s);
    }
}

TEST_F(StoreFaultsTest, AddingFilesNeverGivesAPathASecondRow)
{
    auto store = openStore();
    Screenshot tagged = record(u"/lib/a.png"_s);
    const Screenshot sourced = record(u"/lib/b.png"_s, u"Terminal"_s);
    ASSERT_TRUE(store->upsertMany({tagged, sourced}));
    ASSERT_TRUE(store->saveUserData(tagged.id, {u"Work"_s}, u"keep me"_s));

    // Fresh records, as a walk that could not look the paths up would make them.
    const Screenshot again = record(u"/lib/a.png"_s, u"Editor"_s);
    const Screenshot againSourced = record(u"/lib/b.png"_s, u"Editor"_s);
    const Screenshot fresh = record(u"/lib/c.png"_s, u"Editor"_s);
    const Screenshot freshTwice = record(u"/lib/c.png"_s);
    const auto stored = store->addFiles({again, againSourced, fresh, freshTwice});

    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 4);
    EXPECT_EQ((*stored)[0].id, tagged.id);
    EXPECT_EQ((*stored)[0].customTags, QStringList{u"Work"_s});
    EXPECT_EQ((*stored)[0].sourceApp, u"Editor"_s) << "a row without a source takes the given one";
    EXPECT_EQ((*stored)[1].id, sourced.id);
    EXPECT_EQ((*stored)[1].sourceApp, u"Terminal"_s);
    EXPECT_EQ((*stored)[2].id, fresh.id);
    EXPECT_EQ((*stored)[3].id, fresh.id) << "the same path twice is one row";
    EXPECT_EQ(store->count(), 3);
    EXPECT_EQ(store->fetchByPath(u"/lib/a.png"_s)->sourceApp, u"Editor"_s);
    EXPECT_EQ(store->fetchByPath(u"/lib/a.png"_s)->userNotes, u"keep me"_s);
}

TEST_F(StoreFaultsTest, APathUpdateTakesThePlaceOfARowLeftByAVanishedFile)
{
    auto store = openStore();
    const Screenshot moved = record(u"/lib/old.png"_s);
    const Screenshot stale = record(u"/lib/new.png"_s);
    ASSERT_TRUE(store->upsertMany({moved, stale}));
    ASSERT_TRUE(store->saveUserData(moved.id, {u"mine"_s}, std::nullopt));

    ASSERT_TRUE(store->updateFilePath(u"/lib/new.png"_s, uuidText(moved.id)));

    EXPECT_EQ(store->count(), 1);
    const auto atNew = store->fetchByPath(u"/lib/new.png"_s);
    ASSERT_TRUE(atNew);
    EXPECT_EQ(atNew->id, moved.id);
    EXPECT_EQ(atNew->customTags, QStringList{u"mine"_s});
    // User data for a row that is not there is not saved, and says so.
    EXPECT_FALSE(store->saveUserData(stale.id, {u"lost"_s}, std::nullopt));
    EXPECT_TRUE(store->health().canWrite()) << "a missing row is not a storage problem";
}

namespace {
// The user's words on one row of a library file of another making; tags as
// the JSON text stored.
struct StoredWords
{
    QString path;
    std::optional<QByteArray> tags;
    std::optional<QString> note;
};

// A file at `path` made by `statements`, then holding `rows` in `table`.
void makeLibraryFile(const QString& path, const QList<const char*>& statements, const char* table = "screenshot",
                     const QList<StoredWords>& rows = {})
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
    const SqliteConnection db(raw);
    for (const char* sql : statements)
        ASSERT_TRUE(sqliteExec(db.get(), sql)) << sql << ": " << sqlite3_errmsg(db.get());
    const QByteArray insertSql =
        QByteArray("INSERT INTO ") + table + " (filepath, custom_tags, user_notes) VALUES (?, ?, ?);";
    SqliteStatement insert(db.get(), insertSql.constData());
    for (const StoredWords& row : rows) {
        insert.bindText(1, row.path);
        row.tags ? insert.bindText(2, QByteArrayView(*row.tags)) : insert.bindNull(2);
        row.note ? insert.bindText(3, *row.note) : insert.bindNull(3);
        ASSERT_TRUE(insert.stepDone()) << sqlite3_errmsg(db.get());
        insert.reset();
    }
}

constexpr const char* userColumnsTable = "CREATE TABLE screenshot (filepath TEXT, custom_tags TEXT, user_notes TEXT);";

QByteArray tagsJson(const QStringList& tags)
{
    QStringList quoted;
    for (const QString& tag : tags)
        quoted.append(u'"' + tag + u'"');
    return (u'[' + quoted.join(u',') + u']').toUtf8();
}
} // namespace

// A file named like the library's may hold a view where the table should be:
// a view runs whatever query the file holds, without end when it recurses.
// The start goes on at once, and nothing of such a file is carried over.
TEST_F(StoreFaultsTest, ADamagedFileWhoseScreenshotsAreAViewHoldsNothingUpAndGivesNothing)
{
    const std::vector<std::pair<const char*, const char*>> views{
        {"a view of another table", "CREATE VIEW screenshot AS SELECT rowid, * FROM elsewhere;"},
        {"an endless recursive view",
         "CREATE VIEW screenshot AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
         "SELECT i AS rowid, '/lib/shot ' || i || '.png' AS filepath, '[\"endless\"]' AS custom_tags, "
         "'a note' AS user_notes FROM n;"},
    };
    for (const auto& [name, view] : views) {
        SCOPED_TRACE(name);
        QFile::remove(dbPath());
        for (const QString& old : setAsideFiles())
            QFile::remove(m_dir.filePath(old));
        QList<StoredWords> words;
        for (int i = 0; i < 20; ++i)
            words.append({shotPath(i), tagsJson({tagOf(i)}), noteOf(i)});
        makeLibraryFile(dbPath(), {"CREATE TABLE elsewhere (filepath TEXT, custom_tags TEXT, user_notes TEXT);", view},
                        "elsewhere", words);
        makeLibraryFile(dbPath(), {"CREATE TABLE filler (x TEXT);",
                                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
                                   "INSERT INTO filler SELECT printf('%.500c', 'x') FROM n;"});
        // Cut off inside the filler, past the words: damaged, yet every row of
        // the other table readable.
        ASSERT_TRUE(QFile::resize(dbPath(), QFileInfo(dbPath()).size() / 2));

        auto store = openStore();
        ASSERT_EQ(setAsideFiles().size(), 1);
        EXPECT_EQ(store->count(), 0) << "the new library answers at once";
        ASSERT_TRUE(carryingEnded(*store));

        const StoreHealth::State state = store->health().state();
        EXPECT_EQ(state.carriedUserData, 0);
        EXPECT_EQ(state.leftOutUserData, 0);
        EXPECT_FALSE(state.wasCarryingCut) << "read to its end, not stopped by the time bound";
        const auto stored = store->addFiles({record(shotPath(1))});
        ASSERT_TRUE(stored);
        EXPECT_TRUE(stored->first().customTags.isEmpty());
        EXPECT_FALSE(stored->first().userNotes);
    }
}

// What the program itself would refuse is left out and counted (each tag and
// each note); what lies within its limits, up to the limits themselves, is
// carried, the rest of the row with it. Words of one path found twice are
// held to the limits together.
TEST_F(StoreFaultsTest, OnlyWordsWithinTheProgramsLimitsAreCarriedAndTheRestIsCounted)
{
    const QString longestTag(UserDataLimits::maxTagLength, u'y');
    QStringList manyTags;
    for (int i = 0; i < 20'000; ++i)
        manyTags.append(u"t%1"_s.arg(i));
    const QString longestNote(UserDataLimits::maxNoteLength, u'n');
    QStringList firstHalf;
    QStringList secondHalf;
    for (int i = 0; i < 300; ++i) {
        firstHalf.append(u"a%1"_s.arg(i));
        secondHalf.append(u"b%1"_s.arg(i));
    }
    const QString halfNote(UserDataLimits::maxNoteLength * 3 / 5, u'h');
    const QString old = m_dir.filePath(u"old.sqlite"_s);
    makeLibraryFile(old, {userColumnsTable}, "screenshot",
                    {{u"/lib/long tag.png"_s, tagsJson({u"short"_s, QString(100'000, u'x'), longestTag}), u"a note"_s},
                     {u"/lib/many tags.png"_s, tagsJson(manyTags), std::nullopt},
                     {u"/lib/big note.png"_s, tagsJson({u"kept"_s}), QString(20 << 20, u'z')},
                     {u"/lib/longest note.png"_s, std::nullopt, longestNote},
                     {u"/lib/only a big note.png"_s, std::nullopt, QString(UserDataLimits::maxNoteLength + 1, u'z')},
                     {u"/lib/twice.png"_s, tagsJson(firstHalf), halfNote},
                     {u"/lib/twice.png"_s, tagsJson(secondHalf), halfNote + u"!"_s}});

    auto store = openStore();
    store->carryUserDataFrom(old);
    ASSERT_TRUE(carryingEnded(*store));

    const StoreHealth::State state = store->health().state();
    EXPECT_EQ(state.carriedUserData, 5) << "a screenshot left with nothing is not counted as carried";
    EXPECT_EQ(state.leftOutUserData, 1 + (20'000 - UserDataLimits::maxTagCount) + 1 + 1 + (600 - 500) + 1);
    EXPECT_FALSE(state.wasCarryingCut);
    const auto stored = store->addFiles({record(u"/lib/long tag.png"_s), record(u"/lib/many tags.png"_s),
                                         record(u"/lib/big note.png"_s), record(u"/lib/longest note.png"_s),
                                         record(u"/lib/only a big note.png"_s), record(u"/lib/twice.png"_s)});
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)[0].customTags, (QStringList{u"short"_s, longestTag}));
    EXPECT_EQ((*stored)[0].userNotes, u"a note"_s);
    EXPECT_EQ((*stored)[1].customTags, manyTags.first(UserDataLimits::maxTagCount)) << "the first ones, in order";
    EXPECT_EQ((*stored)[2].customTags, QStringList{u"kept"_s});
    EXPECT_FALSE((*stored)[2].userNotes);
    EXPECT_EQ((*stored)[3].userNotes, longestNote);
    EXPECT_TRUE((*stored)[4].customTags.isEmpty());
    EXPECT_FALSE((*stored)[4].userNotes);
    EXPECT_EQ((*stored)[5].customTags, firstHalf + secondHalf.first(200));
    EXPECT_EQ((*stored)[5].userNotes, halfNote);
}

// A file set aside with its write-ahead log holds its last transactions
// there: they are read, and nothing is made or changed beside the file.
TEST_F(StoreFaultsTest, AFileKeptWithItsLogIsReadThroughItAndNothingIsMadeBesideIt)
{
    const QString writing = m_dir.filePath(u"writing/old.sqlite"_s);
    const QString kept = m_dir.filePath(u"kept/old.sqlite"_s);
    QDir().mkpath(QFileInfo(writing).path());
    QDir().mkpath(QFileInfo(kept).path());
    {
        // Copied while the writer still has it open: every row is in the log.
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(writing.toUtf8().constData(), &raw), SQLITE_OK);
        const SqliteConnection writer(raw);
        ASSERT_TRUE(sqliteExec(writer.get(), "PRAGMA journal_mode = WAL;"));
        ASSERT_TRUE(sqliteExec(writer.get(), "PRAGMA wal_autocheckpoint = 0;"));
        ASSERT_TRUE(sqliteExec(writer.get(), userColumnsTable));
        ASSERT_TRUE(sqliteExec(writer.get(), "INSERT INTO screenshot VALUES ('/lib/a.png', '[\"from the log\"]', "
                                             "'first'), ('/lib/b.png', NULL, 'second');"));
        for (const QString& suffix : {QString(), u"-wal"_s})
            ASSERT_TRUE(QFile::copy(writing + suffix, kept + suffix));
    }
    ASSERT_GT(QFileInfo(kept + u"-wal"_s).size(), 0);
    const auto snapshot = [&] {
        QStringList files;
        for (const QFileInfo& file : QDir(QFileInfo(kept).path()).entryInfoList(QDir::Files | QDir::Hidden)) {
            QFile content(file.filePath());
            content.open(QIODevice::ReadOnly);
            files.append(file.fileName() + u' ' + QString::fromLatin1(content.readAll().toBase64()));
        }
        return files;
    };
    const QStringList before = snapshot();

    auto store = openStore();
    store->carryUserDataFrom(kept);
    ASSERT_TRUE(carryingEnded(*store));

    EXPECT_EQ(store->health().state().carriedUserData, 2);
    const auto stored = store->addFiles({record(u"/lib/a.png"_s), record(u"/lib/b.png"_s)});
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)[0].customTags, QStringList{u"from the log"_s});
    EXPECT_EQ((*stored)[0].userNotes, u"first"_s);
    EXPECT_EQ((*stored)[1].userNotes, u"second"_s);
    store.reset();
    EXPECT_EQ(snapshot(), before);
}

// The damaged file may hold a path twice (its waiting table and a row, or two
// rows): its words are carried once, together, and the banner counts it once.
TEST_F(StoreFaultsTest, APathFoundTwiceInADamagedFileIsCarriedAndCountedOnce)
{
    const QString old = m_dir.filePath(u"old.sqlite"_s);
    makeLibraryFile(old, {userColumnsTable}, "screenshot",
                    {{u"/lib/twice.png"_s, tagsJson({u"a"_s}), u"first"_s},
                     {u"/lib/once.png"_s, tagsJson({u"x"_s}), std::nullopt},
                     {u"/lib/twice.png"_s, tagsJson({u"b"_s, u"a"_s}), u"second"_s}});
    makeLibraryFile(old,
                    {"CREATE TABLE salvaged_user_data (filepath TEXT PRIMARY KEY, custom_tags TEXT, "
                     "user_notes TEXT);"},
                    "salvaged_user_data", {{u"/lib/twice.png"_s, tagsJson({u"c"_s}), u"first"_s}});

    auto store = openStore();
    store->carryUserDataFrom(old);
    ASSERT_TRUE(carryingEnded(*store));

    EXPECT_EQ(store->health().state().carriedUserData, 2);
    const auto stored = store->addFiles({record(u"/lib/twice.png"_s), record(u"/lib/once.png"_s)});
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)[0].customTags, (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    EXPECT_EQ((*stored)[0].userNotes, u"first\n\nsecond"_s);
    EXPECT_EQ((*stored)[1].customTags, QStringList{u"x"_s});
}

// The reading runs beside the library load: a row made before it ends gets
// the words after its own, one made after gets them as it is made, and the
// file is read once.
TEST_F(StoreFaultsTest, CarriedWordsReachRowsMadeBeforeOrAfterTheReadingEnds)
{
    const QString old = m_dir.filePath(u"old.sqlite"_s);
    makeLibraryFile(old, {userColumnsTable}, "screenshot",
                    {{u"/lib/before.png"_s, tagsJson({u"old"_s, u"mine"_s}), u"old note"_s},
                     {u"/lib/after.png"_s, tagsJson({u"old"_s}), std::nullopt}});
    {
        auto store = openStore();
        const auto before = store->addFiles({record(u"/lib/before.png"_s)});
        ASSERT_TRUE(before);
        ASSERT_TRUE(store->saveUserData(before->first().id, {u"mine"_s}, u"my note"_s));
        store->carryUserDataFrom(old);
        ASSERT_TRUE(carryingEnded(*store));

        EXPECT_EQ(store->health().state().carriedUserData, 2);
        const auto row = store->fetchByPath(u"/lib/before.png"_s);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->customTags, (QStringList{u"mine"_s, u"old"_s}));
        EXPECT_EQ(row->userNotes, u"my note\n\nold note"_s);
    }
    auto store = openStore();
    EXPECT_TRUE(store->health().state().setAsidePath.isEmpty()) << "read once";
    const auto after = store->addFiles({record(u"/lib/after.png"_s)});
    ASSERT_TRUE(after);
    EXPECT_EQ(after->first().customTags, QStringList{u"old"_s});
}

// Closing does not wait for the reading: the next start does it again.
TEST_F(StoreFaultsTest, AStoreClosedWhileReadingReadsTheFileAgainAtItsNextStart)
{
    // Large enough that the reading is still under way as the store closes.
    const QString old = m_dir.filePath(u"old.sqlite"_s);
    makeLibraryFile(old, {userColumnsTable,
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000) "
                          "INSERT INTO screenshot SELECT '/lib/shot ' || i || '.png', '[\"tag\"]', NULL FROM n;"});
    {
        auto store = openStore();
        store->carryUserDataFrom(old);
    }
    auto store = openStore();
    ASSERT_TRUE(carryingEnded(*store));
    const auto last = store->addFiles({record(u"/lib/shot 300000.png"_s)});
    ASSERT_TRUE(last);
    EXPECT_EQ(last->first().customTags, QStringList{u"tag"_s});
}

// However long the reading takes (here a file that cannot be opened until
// the test opens it too, as on a stalled disk), the new library answers
// meanwhile.
TEST_F(StoreFaultsTest, TheLibraryAnswersWhileADamagedFileIsStillBeingRead)
{
    const QString stalled = m_dir.filePath(u"stalled.sqlite"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(stalled).constData(), 0600), 0);
    auto store = openStore();
    auto answered = std::async(std::launch::async, [&] {
        store->carryUserDataFrom(stalled);
        return store->addFiles({record(u"/lib/a.png"_s)}).has_value() && store->count() == 1;
    });

    const bool answeredInTime = answered.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    EXPECT_TRUE(store->health().state().isCarryingUserData);
    {
        // Opened and closed without a word: the reading meets the file's end.
        QFile writer(stalled);
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(answeredInTime);
    EXPECT_TRUE(answered.get());
    ASSERT_TRUE(carryingEnded(*store));
    EXPECT_EQ(store->health().state().carriedUserData, 0);
}
