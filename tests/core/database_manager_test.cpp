#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/Uuid.h"
#include "support/Capture.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {
// A second connection to the same file, to see and shape rows as stored.
class RawDatabase
{
public:
    explicit RawDatabase(const QString& path)
    {
        sqlite3* handle = nullptr;
        sqlite3_open(path.toUtf8().constData(), &handle);
        m_db.reset(handle);
    }
    void exec(const char* sql) { ASSERT_TRUE(sqliteExec(m_db.get(), sql)) << sqlite3_errmsg(m_db.get()); }
    // Column 0 of the first row; "NULL" for NULL, "" when there is no row.
    QString text(const QString& sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        SqliteStatement statement(m_db.get(), utf8.constData());
        if (statement.step() != SQLITE_ROW)
            return {};
        return statement.isNull(0) ? u"NULL"_s : statement.columnText(0);
    }
    QStringList columns()
    {
        QStringList names;
        SqliteStatement statement(m_db.get(), "PRAGMA table_info(screenshot);");
        while (statement.step() == SQLITE_ROW)
            names.append(statement.columnText(1));
        return names;
    }

private:
    SqliteConnection m_db;
};

Screenshot record(const QString& path, double secondsSince1970 = 1'700'000'000.0, qint64 size = 1000)
{
    Screenshot s;
    s.id = QUuid::createUuid();
    s.filePath = path;
    s.filename = path.section(u'/', -1);
    s.dateCreated = QDateTime::fromMSecsSinceEpoch(qint64(secondsSince1970 * 1000));
    s.fileSize = size;
    return s;
}

ProcessedFileResult result(const QUuid& id, const QString& text)
{
    return {id, text, {}, QList<double>{}, {}};
}

class DatabaseManagerTest : public ::testing::Test
{
protected:
    // A folder that does not exist yet: the store creates it.
    QString dbPath() const { return m_dir.filePath(u"data/Brindlework/Brindlework.sqlite"_s); }
    // Returns once the store has opened and its start-up backfill has run.
    std::unique_ptr<DatabaseManager> openStore()
    {
        auto store = std::make_unique<DatabaseManager>(dbPath());
        store->isOpen();
        store->dbQueue().sync([] {});
        return store;
    }

    QList<Screenshot> page(DatabaseManager& db, const std::optional<QString>& folder, int limit = 1000, int offset = 0)
    {
        LogTimer timer(u"db_query_screenshots"_s);
        return db.fetchPage(folder, limit, offset, true, timer);
    }
    QStringList pathsOf(const QList<Screenshot>& records)
    {
        QStringList paths;
        for (const Screenshot& s : records)
            paths.append(s.filePath);
        paths.sort();
        return paths;
    }

    QTemporaryDir m_dir;
    ConsoleCapture m_console;
};

const QStringList oldLayoutColumns{u"id"_s,   u"filename"_s, u"filepath"_s, u"date_created"_s,   u"size_bytes"_s,
                                   u"tags"_s, u"notes"_s,    u"ocr_text"_s, u"embedding_json"_s, u"detected_urls"_s};
const QStringList addedColumns{u"source_app"_s,       u"custom_tags"_s,   u"user_notes"_s,       u"embedding_model"_s,
                               u"file_device"_s,      u"file_inode"_s,    u"file_modified_ms"_s, u"analysis_failure"_s,
                               u"unfinished_reads"_s, u"file_birth_ns"_s, u"file_fingerprint"_s, u"file_changed_ns"_s};
} // namespace

TEST_F(DatabaseManagerTest, FreshStartCreatesFolderFileAndSchemaAndSaysSo)
{
    openStore().reset();

    EXPECT_TRUE(QFile::exists(dbPath()));
    EXPECT_EQ(m_console.lines(),
              QStringList({u"💾 Database path: "_s + dbPath(), u"✅ Screenshot table created/verified"_s,
                           u"ℹ️ Added column source_app"_s, u"ℹ️ Added column custom_tags"_s,
                           u"ℹ️ Added column user_notes"_s, u"✅ Database indexes created/verified"_s,
                           u"🚀 Manual Rescan Initiated (Main Thread)"_s, u"🚀 Manual Rescan Started (DB Queue)"_s}));
    RawDatabase raw(dbPath());
    EXPECT_EQ(raw.columns(), oldLayoutColumns + addedColumns);
    EXPECT_EQ(raw.text(u"SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE type = 'index' AND "
                       u"name LIKE 'idx%' ORDER BY name)"_s),
              u"idx_date_created,idx_filepath,idx_ocr_text"_s);

    m_console.clear();
    openStore().reset();
    EXPECT_TRUE(m_console.contains(u"✅ Screenshot table created/verified"_s));
    EXPECT_FALSE(m_console.contains(u"Added column"_s));
    EXPECT_FALSE(m_console.contains(u"Migration"_s));
}

TEST_F(DatabaseManagerTest, OldLayoutGainsMissingColumnsAndEmptyEmbeddingsAreRepaired)
{
    QDir().mkpath(QFileInfo(dbPath()).absolutePath());
    {
        RawDatabase raw(dbPath());
        raw.exec("CREATE TABLE screenshot (id TEXT PRIMARY KEY, filename TEXT, filepath TEXT, date_created REAL, "
                 "size_bytes INTEGER, tags TEXT, notes TEXT, ocr_text TEXT, embedding_json TEXT, detected_urls TEXT);"
                 "INSERT INTO screenshot (id, filepath, embedding_json) VALUES "
                 "('A', '/x/a.png', NULL), ('B', '/x/b.png', ''), ('C', '/x/c.png', '[0.5]');");
    }
    openStore().reset();

    EXPECT_EQ(m_console.matching(u"Added column"_s).size(), 3); // the model's version is added quietly
    EXPECT_TRUE(m_console.contains(u"🔧 Migration: Fixed 2 records with empty embeddings"_s));
    RawDatabase raw(dbPath());
    EXPECT_EQ(raw.columns(), oldLayoutColumns + addedColumns);
    EXPECT_EQ(raw.text(u"SELECT group_concat(embedding_json, '|') FROM screenshot"_s), u"[]|[]|[0.5]"_s);

    m_console.clear();
    openStore().reset();
    EXPECT_FALSE(m_console.contains(u"Migration"_s));
}

// Another program writing the file meanwhile: the columns stay missing, the
// start says so through the store's health instead of claiming them added,
// and the next start adds them.
TEST_F(DatabaseManagerTest, ColumnsThatCannotBeAddedAtStartAreReportedAndAddedNextTime)
{
    QDir().mkpath(QFileInfo(dbPath()).absolutePath());
    RawDatabase writer(dbPath());
    writer.exec("PRAGMA journal_mode=WAL;"
                "CREATE TABLE screenshot (id TEXT PRIMARY KEY, filename TEXT, filepath TEXT, date_created REAL, "
                "size_bytes INTEGER, tags TEXT, notes TEXT, ocr_text TEXT, embedding_json TEXT, detected_urls TEXT);"
                "BEGIN IMMEDIATE;");
    {
        auto store = openStore();
        EXPECT_FALSE(m_console.contains(u"Added column"_s));
        EXPECT_FALSE(m_console.contains(u"✅ Database indexes created/verified"_s));
        EXPECT_FALSE(store->health().canWrite());
    }
    writer.exec("COMMIT;");
    m_console.clear();
    auto store = openStore();
    EXPECT_EQ(m_console.matching(u"Added column"_s).size(), 3);
    EXPECT_TRUE(m_console.contains(u"✅ Database indexes created/verified"_s));
    EXPECT_TRUE(store->health().canWrite());
    EXPECT_EQ(writer.columns(), oldLayoutColumns + addedColumns);
}

TEST_F(DatabaseManagerTest, AFileThatCannotBeOpenedLeavesEveryOperationEmpty)
{
    QFile blocker(m_dir.filePath(u"data"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    LogCapture log;

    auto db = openStore();
    EXPECT_FALSE(db->isOpen());
    EXPECT_TRUE(m_console.contains(u"❌ Error opening database"_s));
    EXPECT_TRUE(log.contains(u"[Database] [ERROR] Failed to open database"_s));

    const Screenshot s = record(u"/x/a.png"_s);
    // Every write says it did not reach the file.
    EXPECT_FALSE(db->upsert(s));
    EXPECT_FALSE(db->upsertMany({s}));
    EXPECT_FALSE(db->updateMetadataBatch({result(s.id, u"text"_s)}));
    EXPECT_FALSE(db->saveUserData(s.id, {u"Work"_s}, u"note"_s));
    EXPECT_FALSE(db->updateFilePath(u"/y"_s, uuidText(s.id)));
    EXPECT_FALSE(db->deleteScreenshot(s.id));
    EXPECT_EQ(db->count(), 0);
    EXPECT_FALSE(db->fetchByPath(u"/x/a.png"_s));
    EXPECT_TRUE(db->allCustomTags().isEmpty());
    EXPECT_TRUE(page(*db, std::nullopt).isEmpty());
    EXPECT_TRUE(log.contains(u"results=0"_s)); // the page's timer still ends
    // Nothing reached SQLite, so no statement reported a failure either.
    for (const char* line : {"Could not", "Failed", "UPSERT", "Successfully", "saved"})
        EXPECT_FALSE(m_console.contains(QString::fromLatin1(line))) << line;
}

TEST_F(DatabaseManagerTest, ColumnsEncodeAndDecodeAsStored)
{
    auto db = openStore();
    Screenshot s = record(u"/a/Desk\"top/100% _x 'q' 😀.png"_s, 1'700'000'123.456, 4242);
    db->upsert(s);

    RawDatabase raw(dbPath());
    const QString where = u" FROM screenshot WHERE id = '"_s + uuidText(s.id) + u"'"_s;
    EXPECT_EQ(raw.text(u"SELECT source_app"_s + where), u""_s); // absent is stored as empty text
    EXPECT_EQ(raw.text(u"SELECT id"_s + where), uuidText(s.id));

    auto read = db->fetchByPath(s.filePath);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->id, s.id);
    EXPECT_EQ(read->filename, u"100% _x 'q' 😀.png"_s);
    EXPECT_EQ(read->dateCreated, s.dateCreated);
    EXPECT_EQ(read->fileSize, 4242); // the stored size: the file does not exist
    EXPECT_FALSE(read->sourceApp || read->ocrText || read->embedding || read->detectedUrls || read->userNotes);

    // Empty text and an absent embedding are present-but-empty once analysed.
    ProcessedFileResult analysed{s.id,
                                 u""_s,
                                 {u"text"_s, u"cell phone"_s},
                                 std::nullopt,
                                 {QUrl(u"https://a.b/c?d=1"_s), QUrl(u"http://x.org"_s)}};
    db->updateMetadataBatch({analysed});
    EXPECT_EQ(raw.text(u"SELECT ocr_text"_s + where), u""_s);
    EXPECT_EQ(raw.text(u"SELECT embedding_json"_s + where), u"[]"_s);
    EXPECT_EQ(raw.text(u"SELECT tags"_s + where), u"[\"text\",\"cell phone\"]"_s);
    EXPECT_EQ(raw.text(u"SELECT detected_urls"_s + where), u"[\"https:\\/\\/a.b\\/c?d=1\",\"http:\\/\\/x.org\"]"_s);
    read = db->fetchByPath(s.filePath);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->ocrText, u""_s);
    EXPECT_EQ(read->embedding, QList<double>());
    EXPECT_EQ(read->tags, analysed.tags);
    EXPECT_EQ(read->detectedUrls, analysed.urls);

    analysed.embedding = QList<double>{0.1, -2.5, 1e-7, 0.12345678901234568};
    db->updateMetadataBatch({analysed});
    EXPECT_EQ(db->fetchByPath(s.filePath)->embedding, analysed.embedding);

    // User data: an empty note is NULL, an empty tag list "[]".
    db->saveUserData(s.id, {}, u""_s);
    EXPECT_EQ(raw.text(u"SELECT user_notes"_s + where), u"NULL"_s);
    EXPECT_EQ(raw.text(u"SELECT custom_tags"_s + where), u"[]"_s);
    EXPECT_TRUE(m_console.contains(u"✅ User data saved for "_s + uuidText(s.id).left(8)));
    db->saveUserData(s.id, {u"Work/Home"_s}, u"remember \"this\""_s);
    read = db->fetchByPath(s.filePath);
    EXPECT_EQ(read->customTags, QStringList{u"Work/Home"_s});
    EXPECT_EQ(read->userNotes, u"remember \"this\""_s);

    // Upserting again with a new path keeps analysis and user data.
    s.filePath = u"/b/moved.png"_s;
    s.sourceApp = u"Firefox"_s;
    db->upsert(s);
    EXPECT_EQ(db->count(), 1);
    read = db->fetchByPath(u"/b/moved.png"_s);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->sourceApp, u"Firefox"_s);
    EXPECT_EQ(read->ocrText, u""_s);
    EXPECT_EQ(read->userNotes, u"remember \"this\""_s);
}

// A failure is kept with the size and time the file had, read back by every
// kind of read, replaced by the next analysis, and dropped with the text
// when the file is found saved again (but not when it is only recorded).
TEST_F(DatabaseManagerTest, AFailureToReadIsKeptWithItsFileFactsUntilTheFileChanges)
{
    auto db = openStore();
    const Screenshot s = record(u"/a/empty.png"_s);
    db->upsert(s);
    RawDatabase raw(dbPath());
    const QString where = u" FROM screenshot WHERE id = '"_s + uuidText(s.id) + u"'"_s;

    for (const AnalysisFailure failure : {AnalysisFailure::unreadable, AnalysisFailure::givenUp}) {
        ASSERT_TRUE(db->updateMetadataBatch(
            {ProcessedFileResult::failed(s.id, failure, FileStamp{s.filePath, 0, 1'700'000'000'123})}));
        EXPECT_EQ(raw.text(u"SELECT size_bytes || ' ' || file_modified_ms"_s + where), u"0 1700000000123"_s);
        EXPECT_EQ(db->fetchByPath(s.filePath)->analysisFailure, failure);
        const QList<Screenshot> rows = page(*db, u"/a"_s);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows.first().analysisFailure, failure);
        EXPECT_EQ(rows.first().ocrText, QString());
    }
    EXPECT_EQ(raw.text(u"SELECT analysis_failure"_s + where), u"givenUp"_s);

    const FileIdentity identity{7, 8, 0, 1'700'000'000'123};
    ASSERT_TRUE(db->recordFileFacts({{s.id, identity, std::nullopt, false}}));
    EXPECT_EQ(db->fetchByPath(s.filePath)->analysisFailure, AnalysisFailure::givenUp);
    ASSERT_TRUE(db->recordFileFacts({{s.id, {7, 8, 512, 1'700'000'999'000}, std::nullopt, true}}));
    const std::optional<Screenshot> changed = db->fetchByPath(s.filePath);
    EXPECT_EQ(changed->analysisFailure, AnalysisFailure::none);
    EXPECT_FALSE(changed->ocrText.has_value());

    ASSERT_TRUE(db->updateMetadataBatch(
        {ProcessedFileResult::failed(s.id, AnalysisFailure::unreadable, FileStamp{s.filePath, 512, 1})}));
    ASSERT_TRUE(db->updateMetadataBatch({result(s.id, u"read at last"_s)}));
    EXPECT_EQ(db->fetchByPath(s.filePath)->analysisFailure, AnalysisFailure::none);
    EXPECT_EQ(raw.text(u"SELECT analysis_failure"_s + where), u"NULL"_s);
}

// The count of real-time stops in a row goes with the text read, through
// every kind of read, until a whole reading or a change of the file.
TEST_F(DatabaseManagerTest, UnfinishedReadsAreKeptUntilTheFileIsReadWholeOrChanges)
{
    auto db = openStore();
    const Screenshot s = record(u"/a/shot.png"_s);
    db->upsert(s);
    ProcessedFileResult partial = result(s.id, u"the first lines"_s);
    partial.unfinishedReads = 2;
    ASSERT_TRUE(db->updateMetadataBatch({partial}));
    EXPECT_EQ(db->fetchByPath(s.filePath)->unfinishedReads, 2);
    ASSERT_EQ(page(*db, u"/a"_s).size(), 1);
    EXPECT_EQ(page(*db, u"/a"_s).first().unfinishedReads, 2);
    EXPECT_EQ(page(*db, u"/a"_s).first().ocrText, u"the first lines"_s);

    ASSERT_TRUE(db->recordFileFacts({{s.id, {7, 8, 1000, 1'700'000'000'123}, std::nullopt, false}}));
    EXPECT_EQ(db->fetchByPath(s.filePath)->unfinishedReads, 2);
    ASSERT_TRUE(db->recordFileFacts({{s.id, {7, 8, 512, 1'700'000'999'000}, std::nullopt, true}}));
    EXPECT_EQ(db->fetchByPath(s.filePath)->unfinishedReads, 0);

    partial.unfinishedReads = 1;
    ASSERT_TRUE(db->updateMetadataBatch({partial}));
    ASSERT_TRUE(db->updateMetadataBatch({result(s.id, u"all of it"_s)}));
    EXPECT_EQ(db->fetchByPath(s.filePath)->unfinishedReads, 0);
    EXPECT_EQ(RawDatabase(dbPath()).text(u"SELECT unfinished_reads FROM screenshot"_s), u"NULL"_s);
}

// The fingerprint a reading took stays with the row while the bytes are
// those it read (a result without one, a rename); a file of another size at
// the row's name drops it. Another file at the name takes the user's words
// and the source application with the text, and leaves other rows alone.
TEST_F(DatabaseManagerTest, AReadingsFingerprintStaysWithItsBytesAndAnotherFileTakesNoUserData)
{
    auto db = openStore();
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    };
    Screenshot shot = record(write(u"shot.png"_s, "shown bytes"));
    shot.sourceApp = u"Editor"_s;
    const Screenshot neighbour = record(write(u"neighbour.png"_s, "other bytes"));
    for (const Screenshot& s : {shot, neighbour}) {
        ASSERT_TRUE(db->upsert(s));
        ASSERT_TRUE(db->recordFileFacts({{s.id, *FileIdentity::of(s.filePath)}}));
        ASSERT_TRUE(db->saveUserData(s.id, {u"tag"_s}, u"note"_s));
    }
    const auto fingerprint = [&] { return db->recordedIdentity(shot.id)->fingerprint; };
    ProcessedFileResult read = result(shot.id, u"total 42"_s);
    read.fingerprint = 77;
    ASSERT_TRUE(db->updateMetadataBatch({read, result(neighbour.id, u"neighbour text"_s)}));
    EXPECT_EQ(fingerprint(), 77u);
    ASSERT_TRUE(db->updateMetadataBatch({result(shot.id, u"total 42"_s)}));
    EXPECT_EQ(fingerprint(), 77u) << "a result without one leaves it";

    const QString moved = m_dir.filePath(u"moved.png"_s);
    ASSERT_TRUE(QFile::rename(shot.filePath, moved));
    ASSERT_TRUE(db->updateFilePath(moved, uuidText(shot.id)));
    EXPECT_EQ(fingerprint(), 77u) << "renamed, the same bytes";
    const QString rendition = write(u"rendition.png"_s, "smaller");
    ASSERT_TRUE(db->updateFilePath(rendition, uuidText(shot.id)));
    EXPECT_NE(fingerprint(), 77u) << "another size, other bytes";

    ASSERT_TRUE(
        db->recordFileFacts({{shot.id, *FileIdentity::of(rendition), QDateTime::currentDateTime(), true, true}}));
    const std::optional<Screenshot> row = db->fetchByPath(rendition);
    EXPECT_FALSE(row->ocrText.has_value());
    EXPECT_TRUE(row->customTags.isEmpty());
    EXPECT_FALSE(row->userNotes.has_value());
    EXPECT_FALSE(row->sourceApp.has_value());
    const std::optional<Screenshot> untouched = db->fetchByPath(neighbour.filePath);
    EXPECT_EQ(untouched->customTags, QStringList{u"tag"_s});
    EXPECT_EQ(untouched->userNotes, u"note"_s);
    EXPECT_EQ(untouched->ocrText, u"neighbour text"_s);
}

// Files given up before real time and processor time were told apart may only
// have met a busy machine: the first start that keeps the count reads each
// once more; later starts leave a file given up since alone.
TEST_F(DatabaseManagerTest, FilesGivenUpByAnEarlierVersionAreReadOnceMore)
{
    QDir().mkpath(QFileInfo(dbPath()).absolutePath());
    RawDatabase(dbPath()).exec(
        "CREATE TABLE screenshot (id TEXT PRIMARY KEY, filename TEXT, filepath TEXT, date_created REAL, "
        "size_bytes INTEGER, tags TEXT, notes TEXT, ocr_text TEXT, embedding_json TEXT, detected_urls TEXT, "
        "analysis_failure TEXT);"
        "INSERT INTO screenshot (id, filepath, ocr_text, embedding_json, analysis_failure) VALUES "
        "('00000000-0000-0000-0000-00000000000A', '/x/late.png', '', '[]', 'givenUp'), "
        "('00000000-0000-0000-0000-00000000000B', '/x/broken.png', '', '[]', 'unreadable'), "
        "('00000000-0000-0000-0000-00000000000C', '/x/read.png', 'text', '[]', NULL);");
    {
        auto db = openStore();
        const std::optional<Screenshot> late = db->fetchByPath(u"/x/late.png"_s);
        ASSERT_TRUE(late.has_value());
        EXPECT_EQ(late->analysisFailure, AnalysisFailure::none);
        EXPECT_TRUE(late->awaitsAnotherRead());
        EXPECT_EQ(late->unfinishedReads, unfinishedReadLimit - 1) << "read more than once more";
        EXPECT_EQ(db->fetchByPath(u"/x/broken.png"_s)->analysisFailure, AnalysisFailure::unreadable);
        EXPECT_FALSE(db->fetchByPath(u"/x/broken.png"_s)->awaitsAnotherRead());
        EXPECT_FALSE(db->fetchByPath(u"/x/read.png"_s)->awaitsAnotherRead());
        ASSERT_TRUE(db->updateMetadataBatch(
            {ProcessedFileResult::failed(late->id, AnalysisFailure::givenUp, FileStamp{late->filePath, 0, 1})}));
    }
    auto db = openStore();
    EXPECT_EQ(db->fetchByPath(u"/x/late.png"_s)->analysisFailure, AnalysisFailure::givenUp);
    EXPECT_FALSE(db->fetchByPath(u"/x/late.png"_s)->awaitsAnotherRead());
}

TEST_F(DatabaseManagerTest, DamagedColumnsReadBackAsTheirFallbacks)
{
    auto db = openStore();
    const Screenshot s = record(u"/x/a.png"_s);
    db->upsert(s);
    RawDatabase raw(dbPath());
    raw.exec(QByteArray("UPDATE screenshot SET detected_urls = 'not json', tags = '[1]', custom_tags = '{', "
                        "embedding_json = '', user_notes = '' WHERE id = '" +
                        uuidText(s.id).toUtf8() + "';")
                 .constData());
    raw.exec("INSERT INTO screenshot (id, filepath, date_created) VALUES ('not-a-uuid', '/x/b.png', 2e9), "
             "('"
             "00000000-0000-0000-0000-00000000000Z"
             "', '/x/c.png', 2e9), (NULL, '/x/d.png', 2e9);");

    auto read = db->fetchByPath(u"/x/a.png"_s);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->detectedUrls);
    EXPECT_TRUE(read->tags.isEmpty());
    EXPECT_TRUE(read->customTags.isEmpty());
    EXPECT_EQ(read->embedding, QList<double>());
    EXPECT_FALSE(read->userNotes);

    raw.exec(QByteArray("UPDATE screenshot SET detected_urls = '[]' WHERE id = '" + uuidText(s.id).toUtf8() + "';")
                 .constData());
    EXPECT_EQ(db->fetchByPath(u"/x/a.png"_s)->detectedUrls, QList<QUrl>());

    // Rows without a usable id are never returned.
    EXPECT_FALSE(db->fetchByPath(u"/x/b.png"_s));
    EXPECT_FALSE(db->fetchByPath(u"/x/c.png"_s));
    EXPECT_EQ(pathsOf(page(*db, std::nullopt)), QStringList{u"/x/a.png"_s});
    EXPECT_EQ(db->count(), 4);
}

TEST_F(DatabaseManagerTest, FolderFilterIsExactCaseSensitiveAndSeparatorAware)
{
    auto db = openStore();
    const QStringList paths{u"/a/Desktop/one.png"_s,   u"/a/Desktop/sub/z.png"_s, u"/a/Desktop2/x.png"_s,
                            u"/a/desktop/x.png"_s,     u"/a/Desktopx/y.png"_s,    u"/a/Desktop"_s,
                            u"/a/Desk_top/u.png"_s,    u"/a/DeskXtop/v.png"_s,    u"/a/100%/w.png"_s,
                            u"/a/100 percent/w.png"_s, u"/a/Desktop 2/x.png"_s,   u"/a/Desktop-old/y.png"_s,
                            u"/a/Desktop.bak/z.png"_s};
    for (const QString& path : paths)
        db->upsert(record(path));

    // Siblings whose names go on with a character that sorts before the
    // separator (" ", "-", ".") are other folders.
    const QStringList desktop{u"/a/Desktop"_s, u"/a/Desktop/one.png"_s, u"/a/Desktop/sub/z.png"_s};
    for (const QString& folder : {u"/a/Desktop"_s, u"/a/Desktop/"_s}) {
        EXPECT_EQ(db->count(folder), 3) << folder.toStdString();
        EXPECT_EQ(pathsOf(page(*db, folder)), desktop) << folder.toStdString();
    }
    // "_" and "%" are plain characters.
    EXPECT_EQ(pathsOf(page(*db, u"/a/Desk_top"_s)), QStringList{u"/a/Desk_top/u.png"_s});
    EXPECT_EQ(pathsOf(page(*db, u"/a/100%"_s)), QStringList{u"/a/100%/w.png"_s});
    EXPECT_EQ(db->count(u"/a/Desktop/sub"_s), 1);
    EXPECT_EQ(db->count(u"/b"_s), 0);
    EXPECT_EQ(db->count(u"/"_s), paths.size());
    EXPECT_EQ(db->count(std::nullopt), paths.size());
    EXPECT_EQ(db->count(u""_s), 0);
}

TEST_F(DatabaseManagerTest, PagesComeNewestFirstAndEndTheirTimer)
{
    auto db = openStore();
    QList<Screenshot> records;
    for (int i = 0; i < 25; ++i)
        records.append(record(u"/p/%1.png"_s.arg(i), 1'600'000'000.0 + i * 60));
    db->upsertMany(records);

    LogCapture log;
    const QList<Screenshot> first = page(*db, u"/p"_s, 10, 0);
    ASSERT_EQ(first.size(), 10);
    EXPECT_EQ(first[0].filePath, u"/p/24.png"_s);
    EXPECT_EQ(first[9].filePath, u"/p/15.png"_s);
    EXPECT_EQ(page(*db, u"/p"_s, 10, 20).size(), 5);
    EXPECT_TRUE(log.contains(u"results=10, limit=10, offset=0, hasFilter=true"_s));

    log.clear();
    EXPECT_TRUE(page(*db, std::nullopt, 10, 25).isEmpty());
    EXPECT_TRUE(log.contains(u"id=db_query_screenshots"_s));
    EXPECT_TRUE(log.contains(u"results=0, limit=10, offset=25, hasFilter=false"_s));

    // Without skipping the check, rows of missing files are left out.
    const QString existing = m_dir.filePath(u"real.png"_s);
    QFile(existing).open(QIODevice::WriteOnly);
    db->upsert(record(existing));
    LogTimer timer(u"db_query_screenshots"_s);
    EXPECT_EQ(pathsOf(db->fetchPage(std::nullopt, 100, 0, false, timer)), QStringList{existing});
}

TEST_F(DatabaseManagerTest, PagingThroughAFolderReturnsEveryRowOnceEvenWithEqualDates)
{
    auto db = openStore();
    QList<Screenshot> records;
    for (int i = 0; i < 300; ++i) {
        // Runs of equal dates, one of 35 rows that spans several pages.
        const double date = i >= 100 && i < 135 ? 1'600'000'500.0 : 1'600'000'000.0 + (i / 7) * 60.0;
        records.append(record(u"/f/%1.png"_s.arg(i), date));
    }
    records.append(record(u"/elsewhere/x.png"_s, 1'700'000'000.0));
    db->upsertMany(records);

    QList<Screenshot> continued;
    QList<Screenshot> byOffset;
    for (int offset = 0; offset < 320; offset += 10) {
        continued += page(*db, u"/f"_s, 10, offset);
        page(*db, u"/elsewhere"_s, 1, 0); // forget where the folder's last page ended
        byOffset += page(*db, u"/f"_s, 10, offset);
    }
    ASSERT_EQ(continued.size(), 300);
    for (qsizetype i = 0; i < continued.size(); ++i) {
        EXPECT_EQ(continued[i].id, byOffset[i].id) << i;
        if (i > 0) {
            EXPECT_GE(continued[i - 1].dateCreated, continued[i].dateCreated);
        }
    }
    const QStringList paths = pathsOf(continued);
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), 300);

    // A newer row arriving between two pages shifts nothing into the next page.
    const QList<Screenshot> first = page(*db, u"/f"_s, 10, 0);
    db->upsert(record(u"/f/new.png"_s, 1'800'000'000.0));
    const QList<Screenshot> second = page(*db, u"/f"_s, 10, 10);
    EXPECT_EQ(second.first().id, byOffset[10].id);
}

TEST_F(DatabaseManagerTest, PlacesOfAFolderAreItsWholePageInOneRead)
{
    auto db = openStore();
    const QString folder = m_dir.filePath(u"f"_s);
    QList<Screenshot> records;
    for (int i = 0; i < 120; ++i) {
        // Runs of equal dates, whose order only the index decides.
        records.append(record(folder + u"/%1.png"_s.arg(i), 1'600'000'000.0 + (i / 9) * 60.5));
    }
    records.append(record(folder + u"/sub/deep.png"_s, 1'650'000'000.25));
    records.append(record(folder + u"2/sibling.png"_s, 1'700'000'000.0));
    db->upsertMany(records);
    // A file of its own, so that a row without a date is dated by it.
    const QString undatedPath = folder + u"/undated.png"_s;
    QDir().mkpath(folder);
    QFile(undatedPath).open(QIODevice::WriteOnly);
    RawDatabase raw(dbPath());
    raw.exec(QByteArray("INSERT INTO screenshot (id, filepath, date_created) VALUES ('" +
                        uuidText(QUuid::createUuid()).toUtf8() + "', '" + undatedPath.toUtf8() +
                        "', NULL), ('not-a-uuid', '" + folder.toUtf8() + "/bad.png', 2e9);")
                 .constData());

    const QList<Screenshot> whole = page(*db, folder, db->count(folder), 0);
    LogCapture log;
    LogTimer timer(u"db_query_screenshots"_s);
    const QList<DatabaseManager::FilePlace> places = db->fetchPlaces(folder + u'/', timer);
    ASSERT_EQ(places.size(), 122); // the row without a usable id is left out
    ASSERT_EQ(places.size(), whole.size());
    for (qsizetype i = 0; i < places.size(); ++i) {
        EXPECT_EQ(places[i].id, whole[i].id) << i;
        EXPECT_EQ(places[i].filePath, whole[i].filePath) << i;
        EXPECT_EQ(places[i].createdMs, whole[i].dateCreated.toMSecsSinceEpoch()) << i;
    }
    EXPECT_TRUE(log.contains(u"results=122, limit=122, offset=0, hasFilter=true"_s));

    // An empty folder text names no folder.
    LogTimer again(u"db_query_screenshots"_s);
    EXPECT_TRUE(db->fetchPlaces(QString(), again).isEmpty());
}

TEST_F(DatabaseManagerTest, UpsertManyWritesTheSameRowsAsUpsert)
{
    auto db = openStore();
    QList<Screenshot> records;
    for (int i = 0; i < 1203; ++i)
        records.append(record(u"/m/%1.png"_s.arg(i)));
    records[7].sourceApp = u"Terminal"_s;
    db->upsertMany(records);
    EXPECT_EQ(db->count(), 1203);
    EXPECT_EQ(db->fetchByPath(u"/m/7.png"_s)->sourceApp, u"Terminal"_s);

    // A second import refreshes instead of duplicating.
    records[0].filePath = u"/m/renamed.png"_s;
    db->upsertMany(records);
    EXPECT_EQ(db->count(), 1203);
    EXPECT_EQ(db->fetchByPath(u"/m/renamed.png"_s)->id, records[0].id);
}

TEST_F(DatabaseManagerTest, MetadataBatchWithAnUnknownIdCommitsTheOthers)
{
    auto db = openStore();
    const Screenshot a = record(u"/x/a.png"_s);
    const Screenshot b = record(u"/x/b.png"_s);
    db->upsertMany({a, b});

    LogCapture log;
    db->updateMetadataBatch(
        {result(a.id, u"alpha"_s), result(QUuid::createUuid(), u"ghost"_s), result(b.id, u"beta"_s)});
    EXPECT_EQ(db->fetchByPath(u"/x/a.png"_s)->ocrText, u"alpha"_s);
    EXPECT_EQ(db->fetchByPath(u"/x/b.png"_s)->ocrText, u"beta"_s);
    EXPECT_EQ(db->count(), 2);
    EXPECT_FALSE(m_console.contains(u"Failed"_s));
    EXPECT_TRUE(log.contains(u"Timer ended | count=3, id=db_batch_update"_s));

    log.clear();
    db->updateMetadataBatch({});
    EXPECT_TRUE(log.entries().isEmpty());
}

TEST_F(DatabaseManagerTest, AStatementFailingMidBatchRollsTheWholeBatchBackAndSaysSo)
{
    auto db = openStore();
    const Screenshot a = record(u"/x/a.png"_s), b = record(u"/x/b.png"_s), c = record(u"/x/c.png"_s);
    ASSERT_TRUE(db->upsertMany({a, b}));
    // A trigger stands in for a full disk or an I/O error on one row.
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(dbPath().toUtf8().constData(), &raw), SQLITE_OK);
        SqliteConnection injector(raw);
        sqlite3_busy_timeout(raw, 5000); // the store's own start-up work may hold the file for a moment
        ASSERT_TRUE(sqliteExec(raw,
                               "CREATE TRIGGER fail_update BEFORE UPDATE ON screenshot WHEN NEW.ocr_text = 'boom' "
                               "BEGIN SELECT RAISE(ABORT, 'injected'); END;"
                               "CREATE TRIGGER fail_insert BEFORE INSERT ON screenshot WHEN NEW.filepath = '/x/c.png' "
                               "BEGIN SELECT RAISE(ABORT, 'injected'); END;"));
    }

    EXPECT_FALSE(db->updateMetadataBatch({result(a.id, u"alpha"_s), result(b.id, u"boom"_s)}));
    EXPECT_FALSE(db->fetchByPath(u"/x/a.png"_s)->ocrText) << "the row before the failure is rolled back too";
    EXPECT_FALSE(db->upsertMany({record(u"/x/d.png"_s), c}));
    EXPECT_FALSE(db->fetchByPath(u"/x/d.png"_s)) << "a failed chunk is written whole or not at all";

    // The store stays usable: the next batch is written.
    EXPECT_TRUE(db->updateMetadataBatch({result(a.id, u"alpha"_s)}));
    EXPECT_EQ(db->fetchByPath(u"/x/a.png"_s)->ocrText, u"alpha"_s);
}

TEST_F(DatabaseManagerTest, UserTagsPathUpdatesAndDeletion)
{
    auto db = openStore();
    const Screenshot a = record(u"/x/a.png"_s), b = record(u"/x/b.png"_s), c = record(u"/x/c.png"_s);
    db->upsertMany({a, b, c});
    db->saveUserData(a.id, {u"Work"_s}, std::nullopt);
    db->saveUserData(b.id, {u"home"_s, u"😀"_s, u"\uFFFD"_s}, std::nullopt);
    db->saveUserData(c.id, {u"Work"_s}, std::nullopt);
    // Code point order: U+FFFD comes before U+1F600, unlike UTF-16 order.
    EXPECT_EQ(db->allCustomTags(), QStringList({u"Work"_s, u"home"_s, u"\uFFFD"_s, u"😀"_s}));

    // An id in lower case still finds its row; the name follows the path. An
    // unknown id changes nothing and says so.
    EXPECT_TRUE(db->updateFilePath(u"/y/renamed.png"_s, a.id.toString(QUuid::WithoutBraces)));
    EXPECT_FALSE(db->updateFilePath(u"/y/other.png"_s, uuidText(QUuid::createUuid())));
    const auto moved = db->fetchByPath(u"/y/renamed.png"_s);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->filename, u"renamed.png"_s);

    // Only a row really removed counts as deleted.
    EXPECT_TRUE(db->deleteScreenshot(a.id));
    EXPECT_FALSE(db->deleteScreenshot(QUuid::createUuid()));
    EXPECT_EQ(m_console.matching(u"Successfully deleted row."_s).size(), 2);
    EXPECT_EQ(db->count(), 2);
    EXPECT_FALSE(db->fetchByPath(u"/y/renamed.png"_s));
}

// A row removed for a copy that stays hands its user data over in the same
// transaction: every tag once, both notes, nothing said twice.
TEST_F(DatabaseManagerTest, ARowRemovedForACopyHandsItsTagsAndNotesToTheCopy)
{
    using UserData = DatabaseManager::UserData;
    const struct
    {
        UserData kept, carried, merged;
    } cases[] = {
        {{{u"Work"_s}, u"keep"_s},
         {{u"invoice"_s, u"Work"_s}, u"paid"_s},
         {{u"Work"_s, u"invoice"_s}, u"keep\n\npaid"_s}},
        {{{}, std::nullopt}, {{u"a"_s}, u"only there"_s}, {{u"a"_s}, u"only there"_s}},
        {{{u"a"_s}, u"same"_s}, {{u"a"_s}, u"same"_s}, {{u"a"_s}, u"same"_s}},
        // Carried once already (a chain of copies): not added again.
        {{{}, u"mine\n\npaid"_s}, {{}, u"paid"_s}, {{}, u"mine\n\npaid"_s}},
        {{{}, u"unpaid"_s}, {{}, u"paid"_s}, {{}, u"unpaid\n\npaid"_s}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DatabaseManager::mergedUserData(c.kept, c.carried), c.merged) << c.carried.notes->toStdString();

    auto db = openStore();
    const Screenshot copy = record(u"/x/(37).png"_s), tagged = record(u"/x/Work/invoice-draft.png"_s);
    db->upsertMany({copy, tagged});
    ASSERT_TRUE(db->saveUserData(copy.id, {u"Work"_s}, std::nullopt));
    ASSERT_TRUE(db->saveUserData(tagged.id, {u"invoice"_s, u"Work"_s}, u"sent"_s));
    EXPECT_TRUE(db->deleteCarryingUserData(tagged.id, copy.id));
    EXPECT_FALSE(db->fetchByPath(tagged.filePath));
    const auto kept = db->fetchByPath(copy.filePath);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->customTags, QStringList({u"Work"_s, u"invoice"_s}));
    EXPECT_EQ(kept->userNotes, u"sent"_s);

    // Nothing to take them: the row and its words stay.
    const Screenshot lone = record(u"/x/lone.png"_s);
    db->upsert(lone);
    ASSERT_TRUE(db->saveUserData(lone.id, {u"mine"_s}, std::nullopt));
    EXPECT_FALSE(db->deleteCarryingUserData(lone.id, tagged.id));
    EXPECT_EQ(db->fetchByPath(lone.filePath)->customTags, QStringList{u"mine"_s});
}

TEST_F(DatabaseManagerTest, OperationsNestInsideQueueSubmissionsWithoutDeadlock)
{
    auto db = openStore();
    const Screenshot s = record(u"/n/a.png"_s);
    std::thread other([&db] {
        for (int i = 0; i < 200; ++i)
            db->upsert(record(u"/other/%1.png"_s.arg(i)));
    });
    const int counted = db->dbQueue().sync([&] {
        db->upsert(s);
        db->updateMetadataBatch({result(s.id, u"nested"_s)});
        db->saveUserData(s.id, {u"tag"_s}, std::nullopt);
        const int count = db->count(u"/n"_s);
        EXPECT_EQ(page(*db, u"/n"_s).size(), 1);
        EXPECT_EQ(db->fetchByPath(u"/n/a.png"_s)->ocrText, u"nested"_s);
        EXPECT_EQ(db->allCustomTags(), QStringList{u"tag"_s});
        db->rescanForLinks(true); // only queues
        return count;
    });
    other.join();
    EXPECT_EQ(counted, 1);
    EXPECT_EQ(db->count(), 201);
}

TEST_F(DatabaseManagerTest, BackfillPagesThroughEveryRowWithText)
{
    QList<Screenshot> records;
    {
        auto db = openStore();
        QList<ProcessedFileResult> results;
        for (int i = 0; i < 250; ++i) {
            records.append(record(u"/b/%1.png"_s.arg(i)));
            results.append(result(records.last().id, u"Row %1 see https://example.com/%1 or mail a%1@b.org"_s.arg(i)));
        }
        records.append(record(u"/b/plain.png"_s));
        results.append(result(records.last().id, u"no links in this text at all"_s));
        records.append(record(u"/b/untouched.png"_s)); // no text
        db->upsertMany(records);
        db->updateMetadataBatch(results); // stored without links
        RawDatabase(dbPath()).exec("INSERT INTO screenshot (id, filepath, ocr_text) VALUES ('bad-id', '/b/bad.png', "
                                   "'https://example.com/bad');");
    }

    // The quiet backfill of every start: only what was written is printed.
    m_console.clear();
    auto db = openStore();
    ASSERT_TRUE(waitUntil([&] { return m_console.contains(u"✅ Backfill complete."_s); }));
    const QStringList quietLines =
        m_console.lines().mid(m_console.lines().indexOf(u"🚀 Manual Rescan Started (DB Queue)"_s) + 1);
    EXPECT_EQ(quietLines, QStringList({u"🔗 Found 250 screenshots with new links to backfill."_s,
                                       u"🔗 Backfilling URLs for 250 screenshots..."_s, u"✅ Backfill complete."_s}));
    for (int i : {0, 99, 100, 249}) {
        const auto read = db->fetchByPath(u"/b/%1.png"_s.arg(i));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->detectedUrls,
                  QList<QUrl>({QUrl(u"https://example.com/%1"_s.arg(i)), QUrl(u"mailto:a%1@b.org"_s.arg(i))}));
    }
    EXPECT_EQ(db->fetchByPath(u"/b/plain.png"_s)->detectedUrls, QList<QUrl>());
    EXPECT_FALSE(db->fetchByPath(u"/b/untouched.png"_s)->detectedUrls);
    EXPECT_EQ(RawDatabase(dbPath()).text(u"SELECT detected_urls FROM screenshot WHERE id = 'bad-id'"_s), u"NULL"_s);

    // The next start rewrites only the links that changed (one row's were
    // lost meanwhile); a trigger counts the rewrites.
    db.reset();
    RawDatabase(dbPath()).exec("UPDATE screenshot SET detected_urls = '[]' WHERE filepath = '/b/7.png';");
    RawDatabase(dbPath()).exec("CREATE TABLE rewrites (n INTEGER); INSERT INTO rewrites VALUES (0); "
                               "CREATE TRIGGER counted AFTER UPDATE OF detected_urls ON screenshot "
                               "BEGIN UPDATE rewrites SET n = n + 1; END;");
    const auto rewrites = [this] { return RawDatabase(dbPath()).text(u"SELECT n FROM rewrites"_s); };
    m_console.clear();
    db = openStore();
    ASSERT_TRUE(waitUntil([&] { return m_console.contains(u"✅ Backfill complete."_s); }));
    db->dbQueue().sync([] {});
    EXPECT_EQ(rewrites(), u"1"_s);
    EXPECT_TRUE(m_console.contains(u"🔗 Found 1 screenshots with new links to backfill."_s));
    EXPECT_EQ(db->fetchByPath(u"/b/7.png"_s)->detectedUrls,
              QList<QUrl>({QUrl(u"https://example.com/7"_s), QUrl(u"mailto:a7@b.org"_s)}));

    // Two starts in a row over the same library: the second finds nothing new
    // and says nothing.
    db.reset();
    m_console.clear();
    db = openStore();
    // A manual rescan queued behind that start's backfill reports its two
    // passes one after the other, and still counts every row with links.
    std::optional<DatabaseManager::LinkRescan> outcome;
    db->rescanForLinks(false, [&outcome](const DatabaseManager::LinkRescan& done) { outcome = done; });
    ASSERT_TRUE(waitUntil([&] { return m_console.contains(u"🔗 Found 0 screenshots with new links to backfill."_s); }));
    db->dbQueue().sync([] {});
    EXPECT_EQ(rewrites(), u"1"_s);
    EXPECT_EQ(m_console.matching(u"🔗"_s), QStringList{u"🔗 Found 0 screenshots with new links to backfill."_s});
    EXPECT_FALSE(m_console.contains(u"✅ Backfill complete."_s));
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->rowsWithLinks, 250);
    EXPECT_TRUE(outcome->written);

    const QStringList all = m_console.lines();
    const QStringList manual = all.mid(all.indexOf(u"📊 Total Screenshots in DB: 253"_s) + 1);
    ASSERT_GE(manual.size(), 250 + 1 + 3 + 1);
    for (int i = 0; i < 250; ++i)
        EXPECT_TRUE(manual.at(i).startsWith(u"✅ Match found in: Row "_s)) << manual.at(i).toStdString();
    EXPECT_EQ(manual.at(250), u"📉 Scanned 252 rows with text. Found 250 with links."_s);
    // The second pass shows every row it examines until three with links are
    // collected (rows are read in id order, so link-less ones may come first).
    const QStringList scanning = manual.mid(251, manual.size() - 251 - 1);
    for (const QString& line : scanning)
        EXPECT_TRUE(line.startsWith(u"🔍 Scanning: "_s)) << line.toStdString();
    EXPECT_EQ(scanning.size() - scanning.filter(u"Found: 0 links"_s).size(), 3);
    EXPECT_FALSE(scanning.last().endsWith(u"Found: 0 links"_s));
}

// A link stored from a text read with a broken host is made right, or taken
// back when the text holds no link after all; a row with no link is left be.
TEST_F(DatabaseManagerTest, TheStartBackfillMendsOrTakesBackLinksItNoLongerFinds)
{
    const QList<QUrl> madeUp{QUrl(u"http://example.org/event/1734"_s)};
    const Screenshot withScheme = record(u"/c/scheme.png"_s);
    const Screenshot bare = record(u"/c/bare.png"_s);
    const Screenshot plain = record(u"/c/plain.png"_s);
    {
        auto db = openStore();
        db->upsertMany({withScheme, bare, plain});
        db->updateMetadataBatch(
            {{withScheme.id, u"Invite https://calendar. example. org/event/1734"_s, {}, QList<double>{}, madeUp},
             {bare.id, u"Invite calendar. example. org/event/1734"_s, {}, QList<double>{}, madeUp},
             {plain.id, u"Lunch at noon"_s, {}, QList<double>{}, {}}});
        ASSERT_EQ(db->fetchByPath(bare.filePath)->detectedUrls, madeUp);
    }
    auto db = openStore();
    db->dbQueue().sync([] {});
    EXPECT_EQ(db->fetchByPath(withScheme.filePath)->detectedUrls,
              QList<QUrl>({QUrl(u"https://calendar.example.org/event/1734"_s)}));
    EXPECT_EQ(db->fetchByPath(bare.filePath)->detectedUrls, QList<QUrl>());
    EXPECT_EQ(db->fetchByPath(plain.filePath)->detectedUrls, QList<QUrl>());
}

TEST_F(DatabaseManagerTest, BackfillLineFormatsAndAnEmptyManualRescan)
{
    auto db = openStore();
    db->dbQueue().sync([] {}); // the start-up backfill has run
    m_console.clear();
    db->rescanForLinks(false);
    ASSERT_TRUE(waitUntil([&] { return m_console.contains(u"🔗 Found 0"_s); }));
    db->dbQueue().sync([] {});
    EXPECT_EQ(m_console.lines(),
              QStringList({u"🚀 Manual Rescan Initiated (Main Thread)"_s, u"🚀 Manual Rescan Started (DB Queue)"_s,
                           u"📊 Total Screenshots in DB: 0"_s, u"📉 Scanned 0 rows with text. Found 0 with links."_s,
                           u"🔗 Found 0 screenshots with new links to backfill."_s}));

    const Screenshot s = record(u"/x/a.png"_s);
    db->upsert(s);
    db->updateMetadataBatch(
        {result(s.id, u"👩‍👩‍👧 family photos at https://photos.example.com/album/1 today"_s)});
    m_console.clear();
    db->rescanForLinks(false);
    ASSERT_TRUE(waitUntil([&] { return m_console.contains(u"✅ Backfill complete."_s); }));
    // Prefixes count user-perceived characters: the family emoji is one.
    EXPECT_TRUE(
        m_console.contains(u"🔍 Scanning: 👩‍👩‍👧 family photos at https://pho... Found: 1 links"_s));
    EXPECT_TRUE(m_console.contains(
        u"✅ Match found in: 👩‍👩‍👧 family photos at h... -> [\"https://photos.example.com/album/1\"]"_s));
}

TEST(DatabaseManagerDefault, LivesInTheDataFolder)
{
    const QString expected =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Brindlework/Brindlework.sqlite"_s;
    EXPECT_EQ(DatabaseManager::defaultPath(), expected);
    DatabaseManager db(DatabaseManager::defaultPath());
    EXPECT_EQ(db.path(), expected);
    EXPECT_TRUE(db.isOpen());
    EXPECT_TRUE(QFile::exists(expected));
    EXPECT_EQ(db.dbQueue().label(), u"org.brindlework.Glimmerdeck.db"_s);
}
