#include "core/DatabaseManager.h"

#include "core/Console.h"
#include "core/Graphemes.h"
#include "core/JsonArrayCodec.h"
#include "core/LinkDetector.h"
#include "core/LogTimer.h"
#include "core/Logger.h"
#include "core/PathUtils.h"
#include "core/SqliteStatement.h"
#include "core/SqliteTransaction.h"
#include "core/UserDataLimits.h"
#include "core/Uuid.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr int backfillBatchSize = 100;
constexpr qsizetype upsertChunkSize = 500;
// Tags and notes read from a damaged library file, waiting for the rows of
// their paths.
constexpr const char* salvagedTable = "salvaged_user_data";
// Damaged files set aside whose tags and notes are still to be read.
constexpr const char* toCarryFromTable = "set_aside_to_read";

constexpr const char* createTableSql = "CREATE TABLE IF NOT EXISTS screenshot (\n"
                                       "    id TEXT PRIMARY KEY,\n"
                                       "    filename TEXT,\n"
                                       "    filepath TEXT,\n"
                                       "    date_created REAL,\n"
                                       "    size_bytes INTEGER,\n"
                                       "    tags TEXT,\n"
                                       "    notes TEXT,\n"
                                       "    ocr_text TEXT,\n"
                                       "    embedding_json TEXT,\n"
                                       "    detected_urls TEXT\n"
                                       ");";

constexpr const char* upsertSql =
    "INSERT INTO screenshot (id, filename, filepath, date_created, size_bytes, source_app)\n"
    "VALUES (?, ?, ?, ?, ?, ?)\n"
    "ON CONFLICT(id) DO UPDATE SET\n"
    "    filename=excluded.filename,\n"
    "    filepath=excluded.filepath,\n"
    "    date_created=excluded.date_created,\n"
    "    size_bytes=excluded.size_bytes,\n"
    "    source_app=excluded.source_app;";

constexpr const char* selectColumns =
    "    SELECT id, filename, filepath, date_created, size_bytes, ocr_text, embedding_json, tags, source_app, "
    "detected_urls, custom_tags, user_notes, analysis_failure, unfinished_reads\n";

QByteArray byPathSql()
{
    return QByteArray(selectColumns) + "    FROM screenshot\n    WHERE filepath = ?\n    LIMIT 1;";
}

// Exact, separator-aware and case-sensitive: ?1 itself or anything in
// [?1 + "/", ?1 + "0"), "0" being the character after "/". A range on
// filepath, so idx_filepath serves it.
constexpr const char* folderFilter = "filepath = ?1 OR (filepath >= ?1 || '/' AND filepath < ?1 || '0')";

enum Column {
    Id,
    Filename,
    FilePath,
    DateCreated,
    SizeBytes,
    OcrText,
    Embedding,
    Tags,
    SourceApp,
    Urls,
    CustomTags,
    Notes,
    Failure,
    UnfinishedReads
};

// The text bound as ?1 of folderFilter: the folder without trailing slashes,
// the root as "". Absent for an empty folder, which holds nothing.
std::optional<QByteArray> folderKey(const QString& folder)
{
    QStringView key(folder);
    while (key.endsWith(u'/'))
        key.chop(1);
    if (key.isEmpty() && !folder.startsWith(u'/'))
        return std::nullopt;
    return key.toUtf8();
}

QByteArray encodeUrls(const QList<QUrl>& urls)
{
    QStringList texts;
    texts.reserve(urls.size());
    for (const QUrl& url : urls)
        texts.append(url.toString(QUrl::FullyEncoded));
    return JsonArrayCodec::encodeStrings(texts);
}

QByteArray encodeEmbedding(const std::optional<QList<double>>& embedding)
{
    if (!embedding)
        return "[]";
    return JsonArrayCodec::encodeNumbers(*embedding).value_or("[]");
}

QStringList decodeTextList(const SqliteStatement& row, int column)
{
    if (row.isNull(column))
        return {};
    return JsonArrayCodec::decodeStrings(row.columnBytes(column)).value_or(QStringList());
}

std::optional<QList<QUrl>> decodeUrls(const SqliteStatement& row, int column)
{
    if (row.isNull(column))
        return std::nullopt;
    const auto texts = JsonArrayCodec::decodeStrings(row.columnBytes(column));
    if (!texts)
        return std::nullopt;
    QList<QUrl> urls;
    for (const QString& text : *texts) {
        QUrl url(text, QUrl::StrictMode);
        if (url.isValid())
            urls.append(url);
    }
    return urls;
}

std::optional<QString> nonEmptyText(const SqliteStatement& row, int column)
{
    std::optional<QString> text = row.columnOptionalText(column);
    if (text && text->isEmpty())
        return std::nullopt;
    return text;
}

// Sorted by Unicode code point (UTF-8 byte order is code point order; UTF-16
// order is not, for characters above U+FFFF).
QStringList sortedByCodePoint(const QSet<QString>& set)
{
    std::vector<std::pair<QByteArray, QString>> keyed;
    keyed.reserve(size_t(set.size()));
    for (const QString& text : set)
        keyed.emplace_back(text.toUtf8(), text);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList sorted;
    sorted.reserve(qsizetype(keyed.size()));
    for (auto& entry : keyed)
        sorted.append(std::move(entry.second));
    return sorted;
}

// The result code of a write that just failed on `db`, read before a rollback
// or another statement replaces it.
int failureCode(sqlite3* db)
{
    const int code = sqlite3_extended_errcode(db);
    return code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE ? SQLITE_ERROR : code;
}

bool isDamage(int code)
{
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
}

enum class FileCheck { intact, damaged, unknown };

// With `thorough`, SQLite's quick integrity check, which reads every page;
// otherwise the header and the schema, which an overwritten header or a
// truncated file already fail. A file that cannot be read for another reason
// (locked, an I/O error, no memory) is not called damaged: only what is
// certainly damaged is ever moved aside.
FileCheck checkFile(sqlite3* db, bool thorough)
{
    SqliteStatement check(db, thorough ? "PRAGMA quick_check;" : "SELECT count(*) FROM sqlite_master;");
    if (!check.isPrepared())
        return isDamage(sqlite3_extended_errcode(db)) ? FileCheck::damaged : FileCheck::unknown;
    const int step = check.step();
    if (step == SQLITE_ROW)
        return !thorough || check.columnText(0) == u"ok"_s ? FileCheck::intact : FileCheck::damaged;
    return isDamage(step) ? FileCheck::damaged : FileCheck::unknown;
}

// Binds a file's device, inode, modification time, birth time, fingerprint
// and change time to six parameters from `first` on (the last three NULL
// when unknown). SQLite integers are signed: the unsigned numbers are kept
// bit for bit.
void bindIdentity(SqliteStatement& statement, int first, const FileIdentity& identity)
{
    statement.bindInt64(first, qint64(identity.device));
    statement.bindInt64(first + 1, qint64(identity.inode));
    statement.bindInt64(first + 2, identity.modifiedMs);
    for (const auto& [offset, value] : {std::pair(3, identity.birthNs), std::pair(4, qint64(identity.fingerprint)),
                                        std::pair(5, identity.changedNs)}) {
        if (value != 0)
            statement.bindInt64(first + offset, value);
        else
            statement.bindNull(first + offset);
    }
}

constexpr const char* userDataSql = "UPDATE screenshot SET custom_tags = ?, user_notes = ? WHERE id = ?;";

// Binds a row's user tags and note to two parameters from `first` on; an
// empty note is stored as none.
void bindUserData(SqliteStatement& statement, int first, const QStringList& customTags,
                  const std::optional<QString>& notes)
{
    statement.bindText(first, QByteArrayView(JsonArrayCodec::encodeStrings(customTags)));
    if (notes && !notes->isEmpty())
        statement.bindText(first + 1, *notes);
    else
        statement.bindNull(first + 1);
}

// The identity columns in bindIdentity's order, as an UPDATE sets them.
constexpr const char* identityAssignments = "file_device = ?, file_inode = ?, file_modified_ms = ?, file_birth_ns = ?, "
                                            "file_fingerprint = ?, file_changed_ns = ?";

QByteArray identitySql()
{
    return QByteArray("UPDATE screenshot SET ") + identityAssignments + ", size_bytes = ? WHERE id = ?;";
}

// A row's recorded identity, as recordedIdentityAt() reads it, and the
// condition that it has one.
constexpr const char* recordedIdentityColumns =
    "file_device, file_inode, file_modified_ms, size_bytes, file_birth_ns, file_fingerprint, file_changed_ns";
constexpr const char* hasRecordedIdentity = "file_device IS NOT NULL AND file_inode IS NOT NULL AND "
                                            "file_modified_ms IS NOT NULL AND size_bytes IS NOT NULL";

FileIdentity recordedIdentityAt(const SqliteStatement& row, int first)
{
    const auto orZero = [&](int column) { return row.isNull(column) ? 0 : row.columnInt64(column); };
    return {.device = quint64(row.columnInt64(first)),
            .inode = quint64(row.columnInt64(first + 1)),
            .size = row.columnInt64(first + 3),
            .modifiedMs = row.columnInt64(first + 2),
            .birthNs = orZero(first + 4),
            .fingerprint = quint64(orZero(first + 5)),
            .changedNs = orZero(first + 6)};
}

// Whether `note` already holds `part` as a run of whole paragraphs.
bool holdsParagraphs(const QString& note, const QString& part)
{
    const QString separator = u"\n\n"_s;
    return note == part || note.startsWith(part + separator) || note.endsWith(separator + part) ||
           note.contains(separator + part + separator);
}

// How a failure is kept in its column: NULL for none.
std::optional<QByteArray> failureText(AnalysisFailure failure)
{
    switch (failure) {
    case AnalysisFailure::none:
        break;
    case AnalysisFailure::unreadable:
        return QByteArray("unreadable");
    case AnalysisFailure::givenUp:
        return QByteArray("givenUp");
    }
    return std::nullopt;
}

// A text written by a later version reads as a failure of some kind: the
// file is left alone until it changes, as that version meant.
AnalysisFailure failureFrom(const SqliteStatement& row, int column)
{
    if (row.isNull(column))
        return AnalysisFailure::none;
    return row.columnText(column) == u"givenUp"_s ? AnalysisFailure::givenUp : AnalysisFailure::unreadable;
}

QString quotedList(const QList<QUrl>& urls)
{
    QStringList quoted;
    for (const QUrl& url : urls)
        quoted.append(u'"' + url.toString(QUrl::FullyEncoded) + u'"');
    return u'[' + quoted.join(u", "_s) + u']';
}
} // namespace

// Two passes over every row with text, a page at a time: the first reports
// what it finds (a manual rescan only), the second rewrites the links of
// every row whose text now gives other links than those stored, and empties
// those stored for a text that gives none.
struct DatabaseManager::BackfillRun
{
    bool quiet = true;
    bool reporting = false;  // in the first pass
    QByteArray afterId;      // keyset cursor: pages continue after this id
    QUuid currentId;         // the row being visited
    QByteArray currentLinks; // its stored links, as stored
    int rowsWithText = 0;    // first pass
    int rowsWithLinks = 0;   // first pass
    int rowsCollected = 0;   // second pass: rows with links
    int rowsChanged = 0;     // second pass: rows given other links than stored
    bool updateFailed = false;
    LinkRescanDone done;
};

QString DatabaseManager::dataFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : base + u"/Brindlework"_s;
}

QString DatabaseManager::defaultPath()
{
    const QString folder = dataFolder();
    return folder.isEmpty() ? QString() : folder + u"/Brindlework.sqlite"_s;
}

DatabaseManager::DatabaseManager(const QString& path)
    : m_path(path)
    , m_queue(u"org.brindlework.Glimmerdeck.db"_s)
{
    m_queue.async([this] {
        open();
        createTables();
    });
}

bool DatabaseManager::isOpen()
{
    return m_queue.sync([this] { return m_db != nullptr; });
}

DatabaseManager::~DatabaseManager()
{
    // The backfill is redone at the next start; quitting must not wait for it.
    m_closing = true;
    // Nor for the reading of a damaged file, once the work that starts one
    // has run; what it handed over before it stopped is still written.
    m_queue.sync([] {});
    m_carrying.request_stop();
    if (m_carrying.joinable())
        m_carrying.join();
}

void DatabaseManager::open()
{
    Console::printLine(u"💾 Database path: "_s + m_path);
    QString error;
    m_db = openConnection(error);
    // The thorough check reads the whole file: at every start only while that
    // is quick, and otherwise once damage was met while running.
    const QString marker = m_path + damageMarkerSuffix;
    const bool thorough = QFileInfo(m_path).size() <= thoroughCheckLimitBytes || QFileInfo::exists(marker);
    const FileCheck check = m_db ? checkFile(m_db.get(), thorough) : FileCheck::unknown;
    if (check == FileCheck::intact && thorough)
        QFile::remove(marker);
    if (check == FileCheck::damaged) {
        m_db.reset();
        QFile::remove(marker);
        const QString setAside = setDamagedFileAside();
        m_db = openConnection(error);
        if (setAside.isEmpty()) {
            // Better a damaged file whose writes fail (and say so) than none.
            Console::printLine(u"❌ The damaged library file could not be moved aside"_s);
        } else {
            Console::printLine(u"⚠️ The library file was damaged; it was moved to "_s + setAside +
                               u" and a new one was started"_s);
            Logger::log(LogLevel::error, u"Database"_s, u"Damaged database set aside"_s,
                        {{u"path"_s, m_path}, {u"setAside"_s, setAside}});
            // Read once the new file is ready (createTables).
            m_health.recordSetAside(setAside);
            if (!m_db || !rememberFileToCarryFrom(setAside))
                m_health.recordUserDataCarried(0, 0, false);
        }
    }
    if (m_db)
        return;
    m_health.recordWrite(SQLITE_CANTOPEN);
    Console::printLine(u"❌ Error opening database"_s);
    Logger::log(LogLevel::error, u"Database"_s, u"Failed to open database"_s,
                {{u"path"_s, m_path}, {u"error"_s, error}});
}

SqliteConnection DatabaseManager::openConnection(QString& error) const
{
    if (m_path.isEmpty()) {
        error = u"no data folder"_s;
        return {};
    }
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        error = u"the folder cannot be created"_s;
        return {};
    }
    sqlite3* handle = nullptr;
    const int result = sqlite3_open(m_path.toUtf8().constData(), &handle);
    SqliteConnection connection(handle); // closed again on failure
    if (result == SQLITE_OK) {
        // Write-ahead logging: a write costs one sync instead of several,
        // readers never wait for a writer, and a crash still leaves every
        // committed transaction (only the last ones may be lost on power
        // failure, never the file's consistency).
        sqliteExec(connection.get(), "PRAGMA journal_mode=WAL;");
        sqliteExec(connection.get(), "PRAGMA synchronous=NORMAL;");
        return connection;
    }
    error = QString::fromUtf8(sqlite3_errstr(result));
    return {};
}

// SQLite opens a file it may not write for reading only, and keeps it so:
// without a new connection, writes would stay refused after the file became
// writable again. A simulated fault stays until it is lifted.
void DatabaseManager::reopenIfReadOnly()
{
    // Statements of a transaction under way belong to the connection.
    if (!m_db || m_simulatedFault != Fault::none || sqlite3_get_autocommit(m_db.get()) == 0)
        return;
    const bool wasReadOnly = sqlite3_db_readonly(m_db.get(), "main") == 1;
    if (!wasReadOnly && !m_writeRefusedReadOnly)
        return;
    QString error;
    SqliteConnection writable = openConnection(error);
    if (!writable || sqlite3_db_readonly(writable.get(), "main") != 0)
        return;
    m_db = std::move(writable);
    m_pageCursor.reset();
    m_writeRefusedReadOnly = false;
    // A connection open for writing whose writes were refused (a file moved
    // under it, a folder that cannot hold the journal) is opened afresh
    // quietly: whether that helps, only the next write tells.
    if (!wasReadOnly)
        return;
    Console::printLine(u"✅ The library file can be written again: "_s + m_path);
    Logger::log(LogLevel::info, u"Database"_s, u"Database reopened for writing"_s, {{u"path"_s, m_path}});
    // Columns and indexes a read-only start could not add.
    bringSchemaUpToDate();
}

void DatabaseManager::carryUserDataFrom(const QString& damagedPath)
{
    m_queue.sync([&] {
        if (!m_db)
            return;
        m_health.recordSetAside(damagedPath);
        if (rememberFileToCarryFrom(damagedPath))
            startCarrying({damagedPath});
        else
            m_health.recordUserDataCarried(0, 0, false);
    });
}

bool DatabaseManager::rememberFileToCarryFrom(const QString& damagedPath)
{
    const QByteArray create =
        QByteArray("CREATE TABLE IF NOT EXISTS ") + toCarryFromTable + " (path TEXT PRIMARY KEY);";
    const QByteArray insertSql = QByteArray("INSERT OR IGNORE INTO ") + toCarryFromTable + " (path) VALUES (?);";
    if (!sqliteExec(m_db.get(), create.constData()))
        return noteWrite(failureCode(m_db.get()));
    SqliteStatement insert(m_db.get(), insertSql.constData());
    insert.bindText(1, damagedPath);
    return noteWrite(insert.stepDone() ? SQLITE_OK : failureCode(m_db.get()));
}

QStringList DatabaseManager::filesToCarryFrom()
{
    const QByteArray sql = QByteArray("SELECT path FROM ") + toCarryFromTable + " ORDER BY rowid;";
    SqliteStatement files(m_db.get(), sql.constData());
    QStringList paths;
    while (files.step() == SQLITE_ROW)
        paths.append(files.columnText(0));
    return paths;
}

// The reading may take long on a large or hostile file, so the store's work
// goes on meanwhile; its result is written on the queue.
void DatabaseManager::startCarrying(const QStringList& damagedPaths)
{
    if (m_carrying.joinable())
        m_carrying.join();
    m_carrying = std::jthread([this, damagedPaths](std::stop_token stop) {
        for (const QString& damagedPath : damagedPaths) {
            DamagedStoreReader::Result read =
                DamagedStoreReader::userData(damagedPath, {"screenshot", salvagedTable}, {}, stop);
            // Cut short by the store closing: read whole at the next start.
            if (!read.isWhole && stop.stop_requested())
                return;
            m_queue.async([this, damagedPath, read = std::move(read)] { finishCarrying(damagedPath, read); });
        }
    });
}

namespace {
// mergedUserData, leaving out (and counting) what the carried words would
// take past the program's limits; the kept row's own words all stay.
DatabaseManager::UserData mergedWithinLimits(const DatabaseManager::UserData& kept,
                                             const DatabaseManager::UserData& carried, qint64& leftOut)
{
    DatabaseManager::UserData merged = DatabaseManager::mergedUserData(kept, carried);
    const qsizetype room = std::max(kept.customTags.size(), UserDataLimits::maxTagCount);
    if (merged.customTags.size() > room) {
        leftOut += merged.customTags.size() - room;
        merged.customTags.resize(room);
    }
    if (merged.notes && merged.notes != kept.notes && merged.notes->size() > UserDataLimits::maxNoteLength) {
        ++leftOut;
        merged.notes = kept.notes;
    }
    return merged;
}
} // namespace

void DatabaseManager::finishCarrying(const QString& damagedPath, const DamagedStoreReader::Result& read)
{
    qint64 leftOut = read.leftOut;
    QList<QString> paths;
    QHash<QString, UserData> byPath;
    for (const DamagedStoreReader::Entry& entry : read.entries) {
        const UserData found{entry.customTags, entry.notes};
        const auto known = byPath.constFind(entry.filePath);
        if (known == byPath.cend())
            paths.append(entry.filePath);
        byPath.insert(entry.filePath, known == byPath.cend() ? found : mergedWithinLimits(*known, found, leftOut));
    }
    if (!noteWrite(writeSalvagedUserData(damagedPath, paths, byPath, leftOut))) {
        // Still remembered: read again at the next start.
        m_health.recordUserDataCarried(0, 0, false);
        return;
    }
    if (!paths.isEmpty())
        Console::printLine(
            u"🩹 Tags and notes of %1 screenshot(s) read from the damaged library file"_s.arg(paths.size()));
    if (leftOut > 0)
        Console::printLine(u"✂️ %1 tag(s) or note(s) in the damaged library file left out: beyond what a "
                           u"screenshot keeps"_s.arg(leftOut));
    if (!read.isWhole)
        Console::printLine(u"⚠️ Reading the damaged library file stopped at its limit of time or size"_s);
    Logger::log(LogLevel::info, u"Database"_s, u"User data carried from damaged database"_s,
                {{u"setAside"_s, damagedPath},
                 {u"carried"_s, int(paths.size())},
                 {u"leftOut"_s, leftOut},
                 {u"whole"_s, read.isWhole}});
    m_health.recordUserDataCarried(int(paths.size()), leftOut, !read.isWhole);
}

// In one transaction with forgetting the file, so that a file is never
// carried over twice: a row of the path takes the words at once, otherwise
// they wait for it.
int DatabaseManager::writeSalvagedUserData(const QString& damagedPath, const QList<QString>& paths,
                                           const QHash<QString, UserData>& byPath, qint64& leftOut)
{
    reopenIfReadOnly();
    if (!m_db)
        return SQLITE_CANTOPEN;
    const QByteArray create = QByteArray("CREATE TABLE IF NOT EXISTS ") + salvagedTable +
                              " (filepath TEXT PRIMARY KEY, custom_tags TEXT, user_notes TEXT);";
    if (!sqliteExec(m_db.get(), create.constData()))
        return failureCode(m_db.get());
    const QByteArray insertSql = QByteArray("INSERT OR REPLACE INTO ") + salvagedTable +
                                 " (filepath, custom_tags, user_notes) VALUES (?, ?, ?);";
    const QByteArray forgetSql = QByteArray("DELETE FROM ") + toCarryFromTable + " WHERE path = ?;";
    SqliteStatement insert(m_db.get(), insertSql.constData());
    SqliteStatement owner(m_db.get(), "SELECT id, custom_tags, user_notes FROM screenshot WHERE filepath = ?;");
    SqliteStatement give(m_db.get(), userDataSql);
    SqliteStatement forget(m_db.get(), forgetSql.constData());
    SqliteTransaction transaction(m_db.get());
    if (!insert.isPrepared() || !owner.isPrepared() || !give.isPrepared() || !forget.isPrepared() ||
        !transaction.isActive())
        return failureCode(m_db.get());
    for (const QString& path : paths) {
        const UserData carried = byPath.value(path);
        owner.bindText(1, path);
        const int found = owner.step();
        if (found == SQLITE_ROW) {
            const UserData own{decodeTextList(owner, 1), nonEmptyText(owner, 2)};
            const UserData merged = mergedWithinLimits(own, carried, leftOut);
            give.bindText(3, owner.columnText(0));
            owner.reset();
            bindUserData(give, 1, merged.customTags, merged.notes);
            if (!give.stepDone())
                return failureCode(m_db.get());
            give.reset();
            continue;
        }
        owner.reset();
        if (found != SQLITE_DONE)
            return failureCode(m_db.get());
        insert.bindText(1, path);
        bindUserData(insert, 2, carried.customTags, carried.notes);
        if (!insert.stepDone())
            return failureCode(m_db.get());
        insert.reset();
    }
    forget.bindText(1, damagedPath);
    if (!forget.stepDone() || !transaction.commit())
        return failureCode(m_db.get());
    m_salvagePending = hasSalvagedUserData();
    return SQLITE_OK;
}

// Beside the original, named after the moment, never over another file. The
// journal goes with it: left behind, it would be replayed into the new file.
QString DatabaseManager::setDamagedFileAside()
{
    const QString base = m_path + u".damaged-"_s + QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s);
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + u'-' + QString::number(n);
    if (!QFile::rename(m_path, target))
        return {};
    for (const QString& suffix : {u"-journal"_s, u"-wal"_s, u"-shm"_s}) {
        if (QFileInfo::exists(m_path + suffix))
            QFile::rename(m_path + suffix, target + suffix);
    }
    return target;
}

bool DatabaseManager::noteWrite(int code)
{
    m_writeRefusedReadOnly = (code & 0xff) == SQLITE_READONLY;
    m_health.recordWrite(code);
    noteDamage(code);
    return code == SQLITE_OK;
}

void DatabaseManager::noteRead(int lastStep)
{
    if (!isDamage(lastStep))
        return;
    m_health.recordWrite(lastStep);
    noteDamage(lastStep);
}

// Remembered on disk, so that the next start checks the whole file and sets
// it aside when the damage is real.
void DatabaseManager::noteDamage(int code)
{
    if (!isDamage(code) || m_damageNoted)
        return;
    m_damageNoted = true;
    QFile marker(m_path + damageMarkerSuffix);
    marker.open(QIODevice::WriteOnly);
    Logger::log(LogLevel::error, u"Database"_s, u"Damaged database detected"_s, {{u"path"_s, m_path}});
}

void DatabaseManager::simulateFault(Fault fault)
{
    m_queue.sync([&] {
        m_simulatedFault = fault;
        if (!m_db)
            return;
        sqliteExec(m_db.get(), fault == Fault::readOnly ? "PRAGMA query_only = 1;" : "PRAGMA query_only = 0;");
        if (fault != Fault::full) {
            sqliteExec(m_db.get(), "PRAGMA max_page_count = 2147483646;");
            return;
        }
        SqliteStatement pages(m_db.get(), "PRAGMA page_count;");
        const qint64 count = pages.step() == SQLITE_ROW ? pages.columnInt64(0) : 1;
        const QByteArray limit = "PRAGMA max_page_count = " + QByteArray::number(count) + ';';
        sqliteExec(m_db.get(), limit.constData());
    });
}

void DatabaseManager::createTables()
{
    if (!m_db)
        return;
    bringSchemaUpToDate();
    m_salvagePending = hasSalvagedUserData();
    // A file set aside now, or one whose reading a close cut short.
    if (const QStringList damaged = filesToCarryFrom(); !damaged.isEmpty()) {
        m_health.recordSetAside(damaged.last());
        startCarrying(damaged);
    }
    rescanForLinks(true);
}

bool DatabaseManager::hasSalvagedUserData()
{
    const QByteArray sql = QByteArray("SELECT 1 FROM ") + salvagedTable + " LIMIT 1;";
    SqliteStatement any(m_db.get(), sql.constData());
    return any.step() == SQLITE_ROW;
}

void DatabaseManager::bringSchemaUpToDate()
{
    {
        SqliteStatement table(m_db.get(), createTableSql);
        if (table.isPrepared() && table.stepDone())
            Console::printLine(u"✅ Screenshot table created/verified"_s);
    }
    for (const char* column :
         {"ocr_text", "embedding_json", "source_app", "detected_urls", "custom_tags", "user_notes"})
        addColumnIfMissing(QString::fromLatin1(column), u"TEXT"_s);
    // NULL: a vector of the first model, from before versions were kept.
    // Ours alone, so added without a line of its own.
    addColumnIfMissing(u"embedding_model"_s, u"INTEGER"_s, false);
    // Which file each row describes (FileIdentity); NULL until recorded.
    // Ours alone too.
    for (const char* column : {"file_device", "file_inode", "file_modified_ms"})
        addColumnIfMissing(QString::fromLatin1(column), u"INTEGER"_s, false);
    // Why the last analysis read nothing (AnalysisFailure); NULL when it read
    // the file or has not run. Ours alone too.
    addColumnIfMissing(u"analysis_failure"_s, u"TEXT"_s, false);
    addUnfinishedReads();
    // What makes the file's identity sure (FileIdentity); NULL when unknown,
    // as in rows recorded before they were kept. Ours alone too.
    for (const char* column : {"file_birth_ns", "file_fingerprint", "file_changed_ns"})
        addColumnIfMissing(QString::fromLatin1(column), u"INTEGER"_s, false);
    migrateEmptyEmbeddings();
    if (createIndexes())
        Console::printLine(u"✅ Database indexes created/verified"_s);
}

bool DatabaseManager::addColumnIfMissing(const QString& name, const QString& type, bool announce)
{
    {
        SqliteStatement columns(m_db.get(), "PRAGMA table_info(screenshot);");
        while (columns.step() == SQLITE_ROW) {
            if (!columns.isNull(1) && columns.columnText(1) == name)
                return false;
        }
    }
    const QByteArray alter = "ALTER TABLE screenshot ADD COLUMN " + name.toUtf8() + ' ' + type.toUtf8() + ';';
    SqliteStatement statement(m_db.get(), alter.constData());
    // A column that could not be added is reported as a failed write, and the
    // next start tries again.
    if (!statement.isPrepared() || !statement.stepDone()) {
        noteWrite(failureCode(m_db.get()));
        return false;
    }
    if (announce)
        Console::printLine(u"ℹ️ Added column "_s + name);
    return true;
}

// Real-time stops in a row (Screenshot::unfinishedReads); NULL for none.
// Ours alone. Files given up before a stop by real time was told from spent
// processor time may only have met a crowded machine: as the column comes,
// each is read once more. Both in one transaction, so that neither is done
// without the other.
void DatabaseManager::addUnfinishedReads()
{
    SqliteTransaction transaction(m_db.get());
    if (!transaction.isActive() || !addColumnIfMissing(u"unfinished_reads"_s, u"INTEGER"_s, false))
        return;
    SqliteStatement again(m_db.get(), "UPDATE screenshot SET analysis_failure = NULL, unfinished_reads = ? "
                                      "WHERE analysis_failure = 'givenUp';");
    if (!again.isPrepared()) {
        noteWrite(failureCode(m_db.get()));
        return;
    }
    again.bindInt(1, unfinishedReadLimit - 1);
    noteWrite(again.stepDone() && transaction.commit() ? SQLITE_OK : failureCode(m_db.get()));
}

void DatabaseManager::migrateEmptyEmbeddings()
{
    SqliteStatement repair(
        m_db.get(), "UPDATE screenshot SET embedding_json = '[]' WHERE embedding_json = '' OR embedding_json IS NULL;");
    // The first write of every start: a read-only or full store shows at once.
    if (!noteWrite(repair.isPrepared() && repair.stepDone() ? SQLITE_OK : failureCode(m_db.get())))
        return;
    if (const int fixed = sqlite3_changes(m_db.get()); fixed >= 1)
        Console::printLine(u"🔧 Migration: Fixed %1 records with empty embeddings"_s.arg(fixed));
}

bool DatabaseManager::createIndexes()
{
    for (const char* sql : {"CREATE INDEX IF NOT EXISTS idx_date_created ON screenshot(date_created DESC);",
                            "CREATE INDEX IF NOT EXISTS idx_filepath ON screenshot(filepath);",
                            "CREATE INDEX IF NOT EXISTS idx_ocr_text ON screenshot(ocr_text);"}) {
        // Only a failure is noted: an index that is there already says nothing
        // about whether the store takes writes.
        SqliteStatement index(m_db.get(), sql);
        if (!index.isPrepared() || !index.stepDone()) {
            noteWrite(failureCode(m_db.get()));
            return false;
        }
    }
    return true;
}

void DatabaseManager::rescanForLinks(bool quiet, LinkRescanDone done)
{
    Console::printLine(u"🚀 Manual Rescan Initiated (Main Thread)"_s);
    auto run = std::make_shared<BackfillRun>();
    run->quiet = quiet;
    // The first pass only reports, which a quiet run does not.
    run->reporting = !quiet;
    run->done = std::move(done);
    m_queue.async([this, run] {
        // One backfill at a time: a run's pages are queued behind other work,
        // and two runs' pages and lines would otherwise interleave.
        if (m_isBackfilling)
            m_waitingBackfills.append(run);
        else
            startBackfill(run);
    });
}

void DatabaseManager::startBackfill(std::shared_ptr<BackfillRun> run)
{
    Console::printLine(u"🚀 Manual Rescan Started (DB Queue)"_s);
    if (!m_db) {
        if (run->done)
            run->done({.rowsWithLinks = 0, .written = false});
        return;
    }
    m_isBackfilling = true;
    if (!run->quiet) {
        SqliteStatement total(m_db.get(), "SELECT COUNT(*) FROM screenshot");
        const qint64 count = total.step() == SQLITE_ROW ? total.columnInt64(0) : 0;
        Console::printLine(u"📊 Total Screenshots in DB: %1"_s.arg(count));
    }
    backfillBatch(std::move(run));
}

// One page of rows with text per queue task: a report page, or a page whose
// rows with changed links are rewritten in one transaction. The next page is
// queued behind whatever callers are waiting, so a large library's backfill
// never holds the store for long.
void DatabaseManager::backfillBatch(std::shared_ptr<BackfillRun> run)
{
    if (m_closing)
        return;
    int rowsRead = 0;
    if (run->reporting) {
        rowsRead = readLinkPage(*run, [&run = *run](const QString& text, const QList<QUrl>& links) {
            if (links.isEmpty())
                return;
            ++run.rowsWithLinks;
            Console::printLine(u"✅ Match found in: "_s + graphemePrefix(text, 20) + u"... -> "_s + quotedList(links));
        });
    } else {
        QList<LinkUpdate> updates;
        rowsRead = readLinkPage(*run, [&run = *run, &updates](const QString& text, const QList<QUrl>& links) {
            if (!run.quiet && run.rowsCollected < 3)
                Console::printLine(
                    u"🔍 Scanning: %1... Found: %2 links"_s.arg(graphemePrefix(text, 30)).arg(links.size()));
            if (!links.isEmpty())
                ++run.rowsCollected;
            // A link an earlier reading of the text made up is taken back;
            // links stored as they are found again are left as they are.
            const bool hadLinks = !run.currentLinks.isEmpty() && run.currentLinks != "[]";
            QByteArray encoded = encodeUrls(links);
            if ((links.isEmpty() && !hadLinks) || encoded == run.currentLinks)
                return;
            if (!links.isEmpty())
                ++run.rowsChanged;
            updates.append({run.currentId, std::move(encoded)});
        });
        if (!updates.isEmpty() && !noteWrite(writeLinkUpdates(updates))) {
            run->updateFailed = true;
            finishBackfill(*run);
            return;
        }
    }
    if (rowsRead < backfillBatchSize) {
        if (!run->reporting) {
            finishBackfill(*run);
            return;
        }
        Console::printLine(
            u"📉 Scanned %1 rows with text. Found %2 with links."_s.arg(run->rowsWithText).arg(run->rowsWithLinks));
        run->reporting = false;
        run->afterId.clear();
    }
    m_queue.async([this, run] { backfillBatch(run); });
}

// The next page of rows with text, in id order after the run's cursor; hands
// each row with a valid id to `visit` with the links found in its text (the
// row's id in run.currentId). Returns the number of rows read.
int DatabaseManager::readLinkPage(BackfillRun& run,
                                  const std::function<void(const QString&, const QList<QUrl>&)>& visit)
{
    int rowsRead = 0;
    SqliteStatement rows(m_db.get(), "SELECT id, ocr_text, detected_urls FROM screenshot WHERE ocr_text IS NOT NULL "
                                     "AND ocr_text != '' AND id > ? ORDER BY id LIMIT 100;");
    rows.bindText(1, QByteArrayView(run.afterId));
    int step = SQLITE_DONE;
    while ((step = rows.step()) == SQLITE_ROW) {
        ++rowsRead;
        if (run.reporting)
            ++run.rowsWithText;
        run.afterId = rows.columnBytes(0).toByteArray();
        const std::optional<QUuid> id = parseUuid(rows.columnText(0));
        if (!id)
            continue;
        QString error;
        const auto detector = LinkDetector::shared(&error);
        if (!detector) {
            Console::printLine(u"Migration error: "_s + error);
            continue;
        }
        const QString text = rows.columnText(1);
        run.currentId = *id;
        run.currentLinks = rows.columnBytes(2).toByteArray();
        visit(text, detector->detect(text));
    }
    noteRead(step);
    return rowsRead;
}

int DatabaseManager::writeLinkUpdates(const QList<LinkUpdate>& updates)
{
    SqliteStatement update(m_db.get(), "UPDATE screenshot SET detected_urls = ? WHERE id = ?;");
    SqliteTransaction transaction(m_db.get());
    if (!update.isPrepared() || !transaction.isActive())
        return failureCode(m_db.get());
    for (const LinkUpdate& entry : updates) {
        update.bindText(1, QByteArrayView(entry.encodedLinks));
        update.bindText(2, uuidText(entry.id));
        if (!update.stepDone())
            return failureCode(m_db.get());
        update.reset();
    }
    return transaction.commit() ? SQLITE_OK : failureCode(m_db.get());
}

// The summary of every page written.
void DatabaseManager::finishBackfill(const BackfillRun& run)
{
    const int found = run.rowsChanged;
    if (found > 0 || !run.quiet)
        Console::printLine(u"🔗 Found %1 screenshots with new links to backfill."_s.arg(found));
    if (found > 0) {
        Console::printLine(u"🔗 Backfilling URLs for %1 screenshots..."_s.arg(found));
        if (!run.updateFailed)
            Console::printLine(u"✅ Backfill complete."_s);
    }
    if (run.done)
        run.done({.rowsWithLinks = run.rowsCollected, .written = !run.updateFailed});
    m_isBackfilling = false;
    if (!m_waitingBackfills.isEmpty())
        m_queue.async([this, next = m_waitingBackfills.takeFirst()] { startBackfill(next); });
}

bool DatabaseManager::upsertRow(SqliteStatement& statement, const Screenshot& screenshot)
{
    statement.bindText(1, uuidText(screenshot.id));
    statement.bindText(2, screenshot.filename);
    statement.bindText(3, screenshot.filePath);
    statement.bindDouble(4, double(screenshot.dateCreated.toMSecsSinceEpoch()) / 1000.0);
    statement.bindInt64(5, screenshot.fileSize);
    statement.bindText(6, screenshot.sourceApp.value_or(QString()));
    const bool written = statement.stepDone();
    if (!written)
        Console::printLine(u"Could not upsert row."_s);
    statement.reset();
    return written;
}

bool DatabaseManager::upsert(const Screenshot& screenshot)
{
    Logger::log(LogLevel::debug, u"Database"_s, u"Upserting screenshot"_s, {{u"filename"_s, screenshot.filename}});
    return m_queue.sync([&] { return noteWrite(writeUpserts({screenshot}, false)); });
}

bool DatabaseManager::upsertMany(const QList<Screenshot>& screenshots)
{
    bool allWritten = true;
    for (qsizetype start = 0; start < screenshots.size(); start += upsertChunkSize) {
        const QList<Screenshot> chunk = screenshots.mid(start, upsertChunkSize);
        Logger::log(LogLevel::debug, u"Database"_s, u"Upserting screenshots"_s, {{u"count"_s, chunk.size()}});
        // One submission per chunk lets other callers in between chunks.
        allWritten = m_queue.sync([&] { return noteWrite(writeUpserts(chunk, true)); }) && allWritten;
    }
    return allWritten;
}

int DatabaseManager::writeUpserts(const QList<Screenshot>& screenshots, bool inTransaction)
{
    reopenIfReadOnly();
    if (!m_db)
        return SQLITE_CANTOPEN;
    SqliteStatement statement(m_db.get(), upsertSql);
    if (!statement.isPrepared()) {
        Console::printLine(u"UPSERT statement could not be prepared."_s);
        return failureCode(m_db.get());
    }
    std::optional<SqliteTransaction> transaction;
    if (inTransaction && !transaction.emplace(m_db.get()).isActive())
        return failureCode(m_db.get());
    for (const Screenshot& screenshot : screenshots) {
        if (!upsertRow(statement, screenshot))
            return failureCode(m_db.get()); // rolled back: a chunk is written whole or not at all
    }
    return !transaction || transaction->commit() ? SQLITE_OK : failureCode(m_db.get());
}

std::optional<QList<Screenshot>> DatabaseManager::addFiles(const QList<Screenshot>& records,
                                                           const QList<FileIdentity>& identities)
{
    const bool withIdentities = identities.size() == records.size();
    QList<Screenshot> stored;
    stored.reserve(records.size());
    for (qsizetype start = 0; start < records.size(); start += upsertChunkSize) {
        const QList<Screenshot> chunk = records.mid(start, upsertChunkSize);
        const QList<FileIdentity> chunkIdentities =
            withIdentities ? identities.mid(start, upsertChunkSize) : QList<FileIdentity>();
        Logger::log(LogLevel::debug, u"Database"_s, u"Upserting screenshots"_s, {{u"count"_s, chunk.size()}});
        if (!m_queue.sync([&] { return noteWrite(writeNewFiles(chunk, chunkIdentities, stored)); }))
            return std::nullopt;
    }
    return stored;
}

// What a damaged library file still held for a path, handed to the new row
// of that path once: the words move from the waiting table to the row.
class DatabaseManager::SalvagedUserData
{
public:
    explicit SalvagedUserData(sqlite3* db)
        : m_find(
              db,
              (QByteArray("SELECT custom_tags, user_notes FROM ") + salvagedTable + " WHERE filepath = ?;").constData())
        , m_forget(db, (QByteArray("DELETE FROM ") + salvagedTable + " WHERE filepath = ?;").constData())
        , m_give(db, userDataSql)
    {}

    bool isPrepared() const { return m_find.isPrepared() && m_forget.isPrepared() && m_give.isPrepared(); }
    bool gaveAny() const { return m_gaveAny; }

    // False when a statement failed.
    bool giveTo(Screenshot& record)
    {
        m_find.bindText(1, record.filePath);
        const int found = m_find.step();
        if (found != SQLITE_ROW) {
            m_find.reset();
            return found == SQLITE_DONE;
        }
        record.customTags = decodeTextList(m_find, 0);
        record.userNotes = nonEmptyText(m_find, 1);
        m_find.reset();
        bindUserData(m_give, 1, record.customTags, record.userNotes);
        m_give.bindText(3, uuidText(record.id));
        m_forget.bindText(1, record.filePath);
        const bool done = m_give.stepDone() && m_forget.stepDone();
        m_give.reset();
        m_forget.reset();
        m_gaveAny = m_gaveAny || done;
        return done;
    }

private:
    SqliteStatement m_find;
    SqliteStatement m_forget;
    SqliteStatement m_give;
    bool m_gaveAny = false;
};

// The look-up and the insert share one transaction on the queue, so no other
// writer can put a row at the path in between.
int DatabaseManager::writeNewFiles(const QList<Screenshot>& records, const QList<FileIdentity>& identities,
                                   QList<Screenshot>& stored)
{
    reopenIfReadOnly();
    if (!m_db)
        return SQLITE_CANTOPEN;
    SqliteStatement lookup(m_db.get(), byPathSql().constData());
    SqliteStatement insert(m_db.get(), upsertSql);
    SqliteStatement identify(m_db.get(), identitySql().constData());
    SqliteStatement source(m_db.get(), "UPDATE screenshot SET source_app = ? WHERE id = ?;");
    SqliteTransaction transaction(m_db.get());
    if (!lookup.isPrepared() || !insert.isPrepared() || !identify.isPrepared() || !source.isPrepared() ||
        !transaction.isActive())
        return failureCode(m_db.get());
    std::optional<SalvagedUserData> salvaged;
    if (m_salvagePending && !salvaged.emplace(m_db.get()).isPrepared())
        return failureCode(m_db.get());
    const qsizetype before = stored.size();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    for (qsizetype index = 0; index < records.size(); ++index) {
        const Screenshot& record = records[index];
        lookup.bindText(1, record.filePath);
        const int found = lookup.step();
        std::optional<Screenshot> existing = found == SQLITE_ROW ? readRecord(lookup, zone) : std::nullopt;
        lookup.reset();
        if (found != SQLITE_ROW && found != SQLITE_DONE)
            return failureCode(m_db.get());
        if (!existing) {
            if (!upsertRow(insert, record))
                return failureCode(m_db.get());
            if (index < identities.size()) {
                bindIdentity(identify, 1, identities[index]);
                identify.bindInt64(7, record.fileSize);
                identify.bindText(8, uuidText(record.id));
                if (!identify.stepDone())
                    return failureCode(m_db.get());
                identify.reset();
            }
            stored.append(record);
            if (salvaged && !salvaged->giveTo(stored.last()))
                return failureCode(m_db.get());
            continue;
        }
        if (record.sourceApp && !existing->sourceApp) {
            existing->sourceApp = record.sourceApp;
            source.bindText(1, *record.sourceApp);
            source.bindText(2, uuidText(existing->id));
            if (!source.stepDone())
                return failureCode(m_db.get());
            source.reset();
        }
        stored.append(std::move(*existing));
    }
    if (transaction.commit()) {
        if (salvaged && salvaged->gaveAny())
            m_salvagePending = hasSalvagedUserData();
        return SQLITE_OK;
    }
    stored.resize(before);
    return failureCode(m_db.get());
}

bool DatabaseManager::updateMetadataBatch(const QList<ProcessedFileResult>& results)
{
    if (results.isEmpty())
        return true;
    LogTimer timer(u"db_batch_update"_s);
    const bool written = m_queue.sync([&] { return noteWrite(writeMetadata(results)); });
    timer.end({{u"count"_s, int(results.size())}});
    return written;
}

namespace {
// Of an unfinished reading that read less than the one before, which stays.
bool writeCountOnly(SqliteStatement& statement, const ProcessedFileResult& result)
{
    if (const std::optional<QByteArray> failure = failureText(result.failure))
        statement.bindText(1, QByteArrayView(*failure));
    else
        statement.bindNull(1);
    if (result.unfinishedReads > 0)
        statement.bindInt(2, result.unfinishedReads);
    else
        statement.bindNull(2);
    statement.bindText(3, uuidText(result.id));
    const bool written = statement.stepDone();
    if (!written)
        Console::printLine(u"❌ Failed to update metadata in batch for "_s + uuidText(result.id));
    statement.reset();
    return written;
}

// The fingerprint of the file a result was read from, where it was taken:
// from then on, another file given the row's name, size and date is told
// from it.
bool writeFingerprint(SqliteStatement& statement, const ProcessedFileResult& result)
{
    if (result.fingerprint == 0)
        return true;
    statement.bindInt64(1, qint64(result.fingerprint));
    statement.bindText(2, uuidText(result.id));
    const bool done = statement.stepDone();
    statement.reset();
    return done;
}
} // namespace

int DatabaseManager::writeMetadata(const QList<ProcessedFileResult>& results)
{
    reopenIfReadOnly();
    if (!m_db)
        return SQLITE_CANTOPEN;
    // The size read with the text, so that a file still growing when it was
    // found does not keep the size it had then.
    // With a failure, the size and time are those the file had when it
    // failed: what tells, at a later look, whether it changed since.
    SqliteStatement update(m_db.get(), "UPDATE screenshot SET ocr_text = ?, tags = ?, embedding_json = ?, "
                                       "detected_urls = ?, size_bytes = coalesce(?, size_bytes), embedding_model = ?, "
                                       "file_modified_ms = coalesce(?, file_modified_ms), analysis_failure = ?, "
                                       "unfinished_reads = ? WHERE id = ?;");
    SqliteStatement countOnly(m_db.get(),
                              "UPDATE screenshot SET analysis_failure = ?, unfinished_reads = ? WHERE id = ?;");
    SqliteStatement fingerprint(m_db.get(), "UPDATE screenshot SET file_fingerprint = ? WHERE id = ?;");
    const int model = m_embeddingModel;
    SqliteTransaction transaction(m_db.get());
    if (!update.isPrepared() || !countOnly.isPrepared() || !fingerprint.isPrepared() || !transaction.isActive())
        return failureCode(m_db.get());
    for (const ProcessedFileResult& result : results) {
        if (result.keepsEarlierReading) {
            if (!writeCountOnly(countOnly, result))
                return failureCode(m_db.get());
            continue;
        }
        update.bindText(1, result.ocrText);
        update.bindText(2, QByteArrayView(JsonArrayCodec::encodeStrings(result.tags)));
        update.bindText(3, QByteArrayView(encodeEmbedding(result.embedding)));
        update.bindText(4, QByteArrayView(encodeUrls(result.urls)));
        if (result.source)
            update.bindInt64(5, result.source->size);
        else
            update.bindNull(5);
        if (model > 0)
            update.bindInt(6, model);
        else
            update.bindNull(6);
        if (result.source)
            update.bindInt64(7, result.source->modifiedMs);
        else
            update.bindNull(7);
        if (const std::optional<QByteArray> failure = failureText(result.failure))
            update.bindText(8, QByteArrayView(*failure));
        else
            update.bindNull(8);
        if (result.unfinishedReads > 0)
            update.bindInt(9, result.unfinishedReads);
        else
            update.bindNull(9);
        update.bindText(10, uuidText(result.id));
        if (!update.stepDone() || !writeFingerprint(fingerprint, result)) {
            // The batch is kept whole: nothing of it is marked analysed unless all of it is.
            Console::printLine(u"❌ Failed to update metadata in batch for "_s + uuidText(result.id));
            return failureCode(m_db.get());
        }
        update.reset();
    }
    return transaction.commit() ? SQLITE_OK : failureCode(m_db.get());
}

QList<DatabaseManager::EmbeddingSource> DatabaseManager::rowsEmbeddedByOtherModels(qint64 afterRowId, int limit)
{
    return m_queue.sync([&] {
        QList<EmbeddingSource> sources;
        if (!m_db)
            return sources;
        SqliteStatement rows(m_db.get(), "SELECT rowid, id, ocr_text, tags FROM screenshot WHERE rowid > ? AND "
                                         "ocr_text IS NOT NULL AND embedding_model IS NOT ? ORDER BY rowid LIMIT ?;");
        rows.bindInt64(1, afterRowId);
        rows.bindInt(2, m_embeddingModel);
        rows.bindInt(3, limit);
        int step = SQLITE_ROW;
        while ((step = rows.step()) == SQLITE_ROW) {
            const std::optional<QUuid> id = parseUuid(rows.columnText(1));
            if (!id)
                continue;
            sources.append({rows.columnInt64(0), *id, rows.columnText(2), decodeTextList(rows, 3)});
        }
        noteRead(step);
        return sources;
    });
}

std::optional<QList<QUuid>> DatabaseManager::replaceEmbeddings(const QList<EmbeddingUpdate>& updates)
{
    return m_queue.sync([&]() -> std::optional<QList<QUuid>> {
        reopenIfReadOnly();
        if (!m_db)
            return std::nullopt;
        SqliteStatement update(m_db.get(), "UPDATE screenshot SET embedding_json = ?, embedding_model = ? "
                                           "WHERE id = ? AND embedding_model IS NOT ?;");
        SqliteTransaction transaction(m_db.get());
        if (!update.isPrepared() || !transaction.isActive()) {
            noteWrite(failureCode(m_db.get()));
            return std::nullopt;
        }
        const int model = m_embeddingModel;
        QList<QUuid> written;
        for (const EmbeddingUpdate& entry : updates) {
            update.bindText(1, QByteArrayView(encodeEmbedding(entry.embedding)));
            update.bindInt(2, model);
            update.bindText(3, uuidText(entry.id));
            update.bindInt(4, model);
            if (!update.stepDone()) {
                noteWrite(failureCode(m_db.get()));
                return std::nullopt;
            }
            if (sqlite3_changes(m_db.get()) > 0)
                written.append(entry.id);
            update.reset();
        }
        if (!noteWrite(transaction.commit() ? SQLITE_OK : failureCode(m_db.get())))
            return std::nullopt;
        return written;
    });
}

bool DatabaseManager::saveUserData(const QUuid& id, const QStringList& customTags, const std::optional<QString>& notes)
{
    return m_queue.sync([&] {
        bool rowChanged = false;
        return noteWrite(writeUserData(id, customTags, notes, rowChanged)) && rowChanged;
    });
}

int DatabaseManager::writeUserData(const QUuid& id, const QStringList& customTags, const std::optional<QString>& notes,
                                   bool& rowChanged)
{
    reopenIfReadOnly();
    if (!m_db)
        return SQLITE_CANTOPEN;
    SqliteStatement update(m_db.get(), userDataSql);
    if (!update.isPrepared())
        return failureCode(m_db.get());
    bindUserData(update, 1, customTags, notes);
    update.bindText(3, uuidText(id));
    const bool written = update.stepDone();
    Console::printLine(written ? u"✅ User data saved for "_s + uuidText(id).left(8) : u"❌ Failed to save user data"_s);
    if (!written)
        return failureCode(m_db.get());
    rowChanged = sqlite3_changes(m_db.get()) > 0;
    return SQLITE_OK;
}

bool DatabaseManager::deleteScreenshot(const QUuid& id)
{
    return m_queue.sync([&] {
        reopenIfReadOnly();
        if (!m_db)
            return noteWrite(SQLITE_CANTOPEN);
        SqliteStatement statement(m_db.get(), "DELETE FROM screenshot WHERE id = ?;");
        if (!statement.isPrepared())
            return noteWrite(failureCode(m_db.get()));
        statement.bindText(1, uuidText(id));
        const bool done = statement.stepDone();
        Console::printLine(done ? u"Successfully deleted row."_s : u"Could not delete row."_s);
        return noteWrite(done ? SQLITE_OK : failureCode(m_db.get())) && sqlite3_changes(m_db.get()) > 0;
    });
}

DatabaseManager::UserData DatabaseManager::mergedUserData(const UserData& kept, const UserData& carried)
{
    UserData merged = kept;
    for (const QString& tag : carried.customTags)
        if (!merged.customTags.contains(tag))
            merged.customTags.append(tag);
    const QString keptNote = kept.notes.value_or(QString());
    const QString carriedNote = carried.notes.value_or(QString());
    if (keptNote.isEmpty())
        merged.notes = carriedNote.isEmpty() ? std::nullopt : carried.notes;
    else if (!carriedNote.isEmpty() && !holdsParagraphs(keptNote, carriedNote))
        merged.notes = keptNote + u"\n\n"_s + carriedNote;
    return merged;
}

std::optional<DatabaseManager::UserData> DatabaseManager::readUserData(const QUuid& id, int& code)
{
    SqliteStatement row(m_db.get(), "SELECT custom_tags, user_notes FROM screenshot WHERE id = ?;");
    row.bindText(1, uuidText(id));
    code = row.step();
    if (code != SQLITE_ROW)
        return std::nullopt;
    code = SQLITE_OK;
    return UserData{decodeTextList(row, 0), nonEmptyText(row, 1)};
}

bool DatabaseManager::deleteCarryingUserData(const QUuid& id, const QUuid& keeperId, std::optional<UserData>* kept)
{
    return m_queue.sync([&] {
        bool removed = false;
        std::optional<UserData> merged;
        const bool done = noteWrite(writeCarriedUserData(id, keeperId, removed, merged)) && removed;
        if (kept)
            *kept = done ? merged : std::nullopt;
        return done;
    });
}

int DatabaseManager::writeCarriedUserData(const QUuid& id, const QUuid& keeperId, bool& rowRemoved,
                                          std::optional<UserData>& kept)
{
    reopenIfReadOnly();
    if (!m_db)
        return SQLITE_CANTOPEN;
    SqliteTransaction transaction(m_db.get());
    SqliteStatement remove(m_db.get(), "DELETE FROM screenshot WHERE id = ?;");
    if (!transaction.isActive() || !remove.isPrepared())
        return failureCode(m_db.get());
    int code = SQLITE_OK;
    const std::optional<UserData> carried = readUserData(id, code);
    if (!carried)
        return code == SQLITE_DONE ? SQLITE_OK : code; // no row: nothing to remove
    if (!carried->customTags.isEmpty() || carried->notes) {
        // Without a row to take them, the user's words stay where they are.
        const std::optional<UserData> keeper = readUserData(keeperId, code);
        if (!keeper)
            return code == SQLITE_DONE ? SQLITE_OK : code;
        const UserData merged = mergedUserData(*keeper, *carried);
        bool keeperWritten = false;
        if (const int written = writeUserData(keeperId, merged.customTags, merged.notes, keeperWritten);
            written != SQLITE_OK)
            return written;
        kept = merged;
    }
    remove.bindText(1, uuidText(id));
    if (!remove.stepDone())
        return failureCode(m_db.get());
    rowRemoved = sqlite3_changes(m_db.get()) > 0;
    Console::printLine(u"Successfully deleted row."_s);
    return transaction.commit() ? SQLITE_OK : failureCode(m_db.get());
}

QHash<QUuid, FileIdentity> DatabaseManager::recordedIdentities(const QString& folder)
{
    return m_queue.sync([&] {
        QHash<QUuid, FileIdentity> identities;
        const std::optional<QByteArray> key = folderKey(folder);
        if (!m_db || !key)
            return identities;
        const QByteArray sql = QByteArray("SELECT id, ") + recordedIdentityColumns + " FROM screenshot WHERE " +
                               hasRecordedIdentity + " AND (" + folderFilter + ");";
        SqliteStatement rows(m_db.get(), sql.constData());
        rows.bindText(1, QByteArrayView(*key));
        int step = SQLITE_DONE;
        while ((step = rows.step()) == SQLITE_ROW) {
            if (const std::optional<QUuid> id = rows.isNull(0) ? std::nullopt : parseUuid(rows.columnText(0)))
                identities.insert(*id, recordedIdentityAt(rows, 1));
        }
        noteRead(step);
        return identities;
    });
}

std::optional<FileIdentity> DatabaseManager::recordedIdentity(const QUuid& id)
{
    return m_queue.sync([&]() -> std::optional<FileIdentity> {
        if (!m_db)
            return std::nullopt;
        const QByteArray sql = QByteArray("SELECT ") + recordedIdentityColumns + " FROM screenshot WHERE " +
                               hasRecordedIdentity + " AND id = ?;";
        SqliteStatement row(m_db.get(), sql.constData());
        row.bindText(1, uuidText(id));
        const int step = row.step();
        noteRead(step);
        return step == SQLITE_ROW ? std::optional(recordedIdentityAt(row, 0)) : std::nullopt;
    });
}

std::optional<DatabaseManager::FileFacts>
DatabaseManager::FileFacts::ofFileFound(const Screenshot& record, const std::optional<FileIdentity>& recorded,
                                        const FileIdentity& now)
{
    if (!recorded)
        return FileFacts{record.id, now.recordable(record.filePath)};
    using Sameness = FileIdentity::Sameness;
    const FileIdentity::Comparison comparison = recorded->comparedAt(record.filePath, now);
    switch (comparison.sameness) {
    case Sameness::unchanged:
        return std::nullopt;
    case Sameness::sameFile:
        return FileFacts{record.id, comparison.recorded};
    case Sameness::savedAgain:
    case Sameness::otherFile:
        return FileFacts{record.id, comparison.recorded, fileCreationDate(record.filePath), true,
                         comparison.sameness == Sameness::otherFile};
    }
    return std::nullopt;
}

void DatabaseManager::FileFacts::applyTo(Screenshot& record) const
{
    record.fileSize = identity.size;
    if (needsAnalysis) {
        if (dateCreated)
            record.dateCreated = *dateCreated;
        record.ocrText.reset();
        record.analysisFailure = AnalysisFailure::none;
        record.unfinishedReads = 0;
    }
    if (isAnotherFile) {
        record.customTags.clear();
        record.userNotes.reset();
        record.sourceApp.reset();
    }
}

bool DatabaseManager::recordFileFacts(const QList<FileFacts>& facts)
{
    if (facts.isEmpty())
        return true;
    return m_queue.sync([&] {
        reopenIfReadOnly();
        if (!m_db)
            return noteWrite(SQLITE_CANTOPEN);
        SqliteStatement update(
            m_db.get(), "UPDATE screenshot SET file_device = ?1, file_inode = ?2, file_modified_ms = ?3, "
                        "file_birth_ns = ?4, file_fingerprint = ?5, file_changed_ns = ?6, size_bytes = ?7, "
                        "date_created = coalesce(?8, date_created), ocr_text = CASE WHEN ?9 THEN NULL ELSE ocr_text "
                        "END, analysis_failure = CASE WHEN ?9 THEN NULL ELSE analysis_failure END, unfinished_reads = "
                        "CASE WHEN ?9 THEN NULL ELSE unfinished_reads END, custom_tags = CASE WHEN ?10 THEN NULL "
                        "ELSE custom_tags END, user_notes = CASE WHEN ?10 THEN NULL ELSE user_notes END, source_app = "
                        "CASE WHEN ?10 THEN NULL ELSE source_app END WHERE id = ?11;");
        SqliteTransaction transaction(m_db.get());
        if (!update.isPrepared() || !transaction.isActive())
            return noteWrite(failureCode(m_db.get()));
        for (const FileFacts& entry : facts) {
            bindIdentity(update, 1, entry.identity);
            update.bindInt64(7, entry.identity.size);
            if (entry.dateCreated)
                update.bindDouble(8, double(entry.dateCreated->toMSecsSinceEpoch()) / 1000.0);
            else
                update.bindNull(8);
            update.bindInt(9, entry.needsAnalysis ? 1 : 0);
            update.bindInt(10, entry.isAnotherFile ? 1 : 0);
            update.bindText(11, uuidText(entry.id));
            if (!update.stepDone())
                return noteWrite(failureCode(m_db.get()));
            update.reset();
        }
        return noteWrite(transaction.commit() ? SQLITE_OK : failureCode(m_db.get()));
    });
}

bool DatabaseManager::updateFilePath(const QString& newPath, const QString& id)
{
    const std::optional<QUuid> parsed = parseUuid(id);
    const QString idText = parsed ? uuidText(*parsed) : id;
    return m_queue.sync([&] {
        bool rowChanged = false;
        return noteWrite(writeFilePath(newPath, idText, rowChanged)) && rowChanged;
    });
}

int DatabaseManager::writeFilePath(const QString& newPath, const QString& idText, bool& rowChanged)
{
    reopenIfReadOnly();
    if (!m_db)
        return SQLITE_CANTOPEN;
    // The file now at the path is what the row describes from here on (a
    // copy across file systems or a rendition is another inode and size).
    // One that kept its size and date kept its bytes: the fingerprint its
    // analysis took stays.
    std::optional<FileIdentity> identity = FileIdentity::of(newPath);
    if (identity)
        identity = identity->recordable(newPath);
    const char* sql = identity ? "UPDATE screenshot SET filepath = ?1, file_device = ?2, file_inode = ?3, "
                                 "file_modified_ms = ?4, file_birth_ns = ?5, file_fingerprint = coalesce(?6, CASE WHEN "
                                 "size_bytes = ?8 AND file_modified_ms = ?4 THEN file_fingerprint END), "
                                 "file_changed_ns = ?7, size_bytes = ?8 WHERE id = ?9;"
                               : "UPDATE screenshot SET filepath = ? WHERE id = ?;";
    SqliteStatement update(m_db.get(), sql);
    SqliteStatement stale(m_db.get(), "DELETE FROM screenshot WHERE filepath = ? AND id != ?;");
    SqliteTransaction transaction(m_db.get());
    if (!update.isPrepared() || !stale.isPrepared() || !transaction.isActive())
        return failureCode(m_db.get());
    update.bindText(1, newPath);
    if (identity) {
        bindIdentity(update, 2, *identity);
        update.bindInt64(8, identity->size);
    }
    update.bindText(identity ? 9 : 2, idText);
    if (!update.stepDone()) {
        Console::printLine(u"❌ Failed to update file path for "_s + idText);
        return failureCode(m_db.get());
    }
    rowChanged = sqlite3_changes(m_db.get()) > 0;
    if (rowChanged) {
        stale.bindText(1, newPath);
        stale.bindText(2, idText);
        if (!stale.stepDone())
            return failureCode(m_db.get());
        if (const int removed = sqlite3_changes(m_db.get()); removed > 0)
            Console::printLine(u"🗑️ Removed %1 row(s) of a file no longer at "_s.arg(removed) + newPath);
    }
    return transaction.commit() ? SQLITE_OK : failureCode(m_db.get());
}

QStringList DatabaseManager::allCustomTags()
{
    return m_queue.sync([&] {
        QSet<QString> tags;
        if (!m_db)
            return QStringList();
        SqliteStatement rows(m_db.get(), "SELECT custom_tags FROM screenshot WHERE custom_tags IS NOT NULL AND "
                                         "custom_tags != '' AND custom_tags != '[]';");
        int step = SQLITE_DONE;
        while ((step = rows.step()) == SQLITE_ROW) {
            if (rows.isNull(0))
                continue;
            if (const auto decoded = JsonArrayCodec::decodeStrings(rows.columnBytes(0))) {
                for (const QString& tag : *decoded)
                    tags.insert(tag);
            }
        }
        noteRead(step);
        return sortedByCodePoint(tags);
    });
}

int DatabaseManager::count(const std::optional<QString>& folder)
{
    return m_queue.sync([&] {
        if (!m_db)
            return 0;
        std::optional<QByteArray> key;
        if (folder && !(key = folderKey(*folder)))
            return 0;
        const QByteArray sql =
            "SELECT COUNT(*) FROM screenshot" + (key ? QByteArray(" WHERE ") + folderFilter : QByteArray()) + ';';
        SqliteStatement statement(m_db.get(), sql.constData());
        if (key)
            statement.bindText(1, QByteArrayView(*key));
        const int step = statement.step();
        noteRead(step);
        return step == SQLITE_ROW ? int(statement.columnInt64(0)) : 0;
    });
}

std::optional<Screenshot> DatabaseManager::fetchByPath(const QString& path)
{
    return m_queue.sync([&]() -> std::optional<Screenshot> {
        if (!m_db)
            return std::nullopt;
        SqliteStatement statement(m_db.get(), byPathSql().constData());
        statement.bindText(1, path);
        const int step = statement.step();
        noteRead(step);
        if (step != SQLITE_ROW)
            return std::nullopt;
        return readRecord(statement, QTimeZone::systemTimeZone());
    });
}

QList<Screenshot> DatabaseManager::fetchPage(const std::optional<QString>& folder, int limit, int offset,
                                             bool skipFileCheck, LogTimer& timer)
{
    return m_queue.sync([&] {
        QList<Screenshot> records;
        const std::optional<QByteArray> key = folder ? folderKey(*folder) : std::nullopt;
        if (m_db && (!folder || key)) {
            // A negative limit means "no limit" to SQLite; the bound keeps a
            // huge one from reserving memory it will never use.
            records.reserve(std::clamp(limit, 0, 100000));
            readPage({folder.has_value(), key, limit, offset, skipFileCheck}, records);
        }
        timer.end({{u"results"_s, int(records.size())},
                   {u"limit"_s, limit},
                   {u"offset"_s, offset},
                   {u"hasFilter"_s, folder.has_value()}});
        return records;
    });
}

// Pages are read along idx_date_created: the date order is the index order,
// so a page stops after `limit` rows instead of sorting the whole folder
// (the unary "+" keeps SQLite from choosing idx_filepath and a full sort).
// A page that continues where the previous one of the same folder ended seeks
// to the previous last date instead of stepping over `offset` rows, which
// keeps reading a large library in pages linear rather than quadratic.
void DatabaseManager::readPage(const PageRequest& request, QList<Screenshot>& records)
{
    const std::optional<PageCursor> cursor = continuingCursor(request);
    SqliteStatement page(m_db.get(),
                         pageSql(selectColumns, request.folderKey.has_value(), cursor.has_value()).constData());
    int parameter = 1;
    if (request.folderKey)
        page.bindText(parameter++, QByteArrayView(*request.folderKey));
    if (cursor)
        page.bindDouble(parameter++, cursor->lastDate);
    page.bindInt(parameter++, request.limit);
    page.bindInt(parameter, cursor ? cursor->rowsAtLastDate : request.offset);

    // Dates in the system zone, like local time, but without the zone look-up
    // that local time repeats for every value.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    int rowsRead = 0;
    int rowsAtLastDate = 0;
    std::optional<double> lastDate;
    int step = SQLITE_DONE;
    while ((step = page.step()) == SQLITE_ROW) {
        ++rowsRead;
        const std::optional<double> date =
            page.isNull(DateCreated) ? std::nullopt : std::optional<double>(page.columnDouble(DateCreated));
        rowsAtLastDate = date == lastDate ? rowsAtLastDate + 1 : 1;
        lastDate = date;
        if (!request.skipFileCheck && !QFileInfo::exists(page.columnText(FilePath)))
            continue;
        if (std::optional<Screenshot> record = readRecord(page, zone))
            records.append(std::move(*record));
    }
    noteRead(step);
    rememberCursor(request, cursor, rowsRead, lastDate, rowsAtLastDate);
}

QByteArray DatabaseManager::pageSql(const QByteArray& columns, bool hasFolder, bool fromCursor)
{
    QByteArray sql = columns + "    FROM screenshot ";
    QByteArrayList conditions;
    if (hasFolder)
        conditions.append("(+filepath = ?1 OR (+filepath >= ?1 || '/' AND +filepath < ?1 || '0'))");
    if (fromCursor)
        conditions.append("date_created <= ?");
    if (!conditions.isEmpty())
        sql += " WHERE " + conditions.join(" AND ") + ' ';
    return sql + "    ORDER BY date_created DESC \n    LIMIT ? OFFSET ?;";
}

// The statement of a first page without a limit, so the order is the one a
// page of every row would have; only the three columns are decoded.
QList<DatabaseManager::FilePlace> DatabaseManager::fetchPlaces(const QString& folder, LogTimer& timer)
{
    return m_queue.sync([&] {
        QList<FilePlace> places;
        const std::optional<QByteArray> key = folderKey(folder);
        if (m_db && key) {
            SqliteStatement rows(m_db.get(),
                                 pageSql("    SELECT id, filepath, date_created\n", true, false).constData());
            rows.bindText(1, QByteArrayView(*key));
            rows.bindInt(2, -1);
            rows.bindInt(3, 0);
            int step = SQLITE_DONE;
            while ((step = rows.step()) == SQLITE_ROW) {
                if (rows.isNull(0) || rows.isNull(1))
                    continue;
                const std::optional<QUuid> id = parseUuid(rows.columnText(0));
                if (!id)
                    continue;
                FilePlace place{*id, rows.columnText(1), 0};
                place.createdMs = rows.isNull(2) ? fileCreationDate(place.filePath).toMSecsSinceEpoch()
                                                 : std::llround(rows.columnDouble(2) * 1000.0);
                places.append(std::move(place));
            }
            noteRead(step);
        }
        timer.end({{u"results"_s, int(places.size())},
                   {u"limit"_s, int(places.size())},
                   {u"offset"_s, 0},
                   {u"hasFilter"_s, true}});
        return places;
    });
}

std::optional<DatabaseManager::PageCursor> DatabaseManager::continuingCursor(const PageRequest& request) const
{
    if (!m_pageCursor || request.offset <= 0 || m_pageCursor->nextOffset != request.offset ||
        m_pageCursor->hasFolder != request.hasFolder || m_pageCursor->folderKey != request.folderKey)
        return std::nullopt;
    // Rows without a date sort last and are out of reach of a date seek.
    SqliteStatement undated(m_db.get(), "SELECT 1 FROM screenshot WHERE date_created IS NULL LIMIT 1;");
    if (undated.step() != SQLITE_DONE)
        return std::nullopt;
    return m_pageCursor;
}

void DatabaseManager::rememberCursor(const PageRequest& request, const std::optional<PageCursor>& used, int rowsRead,
                                     std::optional<double> lastDate, int rowsAtLastDate)
{
    m_pageCursor.reset();
    if (rowsRead == 0 || !lastDate)
        return;
    if (rowsAtLastDate == rowsRead) {
        // The whole page shares one date: the rows before it with that date
        // are known only when this page was itself a continuation or the first.
        if (used && used->lastDate == *lastDate)
            rowsAtLastDate += used->rowsAtLastDate;
        else if (request.offset != 0)
            return;
    }
    m_pageCursor =
        PageCursor{request.hasFolder, request.folderKey, request.offset + rowsRead, *lastDate, rowsAtLastDate};
}

// The record a row describes. Name, date and size come from the row (the name
// from the stored path, so it follows path updates) rather than from the file:
// a library load must not stat every file, and tools account for the sizes
// the store holds. Only a row missing them is completed from the file.
std::optional<Screenshot> DatabaseManager::readRecord(const SqliteStatement& row, const QTimeZone& zone) const
{
    if (row.isNull(Id) || row.isNull(FilePath))
        return std::nullopt;
    const std::optional<QUuid> id = parseUuid(row.columnText(Id));
    if (!id)
        return std::nullopt;
    Screenshot record;
    record.id = *id;
    record.filePath = row.columnText(FilePath);
    record.filename = lastPathComponent(record.filePath).toString();
    record.dateCreated =
        row.isNull(DateCreated)
            ? fileCreationDate(record.filePath)
            : QDateTime::fromMSecsSinceEpoch(std::llround(row.columnDouble(DateCreated) * 1000.0), zone);
    record.fileSize = row.isNull(SizeBytes) ? QFileInfo(record.filePath).size() : row.columnInt64(SizeBytes);
    record.ocrText = row.columnOptionalText(OcrText);
    if (!row.isNull(Embedding))
        record.embedding = JsonArrayCodec::decodeNumbers(row.columnBytes(Embedding)).value_or(QList<double>());
    record.tags = decodeTextList(row, Tags);
    record.sourceApp = nonEmptyText(row, SourceApp);
    record.detectedUrls = decodeUrls(row, Urls);
    record.customTags = decodeTextList(row, CustomTags);
    record.userNotes = nonEmptyText(row, Notes);
    record.analysisFailure = failureFrom(row, Failure);
    record.unfinishedReads = row.isNull(UnfinishedReads) ? 0 : int(row.columnInt64(UnfinishedReads));
    return record;
}
