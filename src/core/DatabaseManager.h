#pragma once

#include "core/DamagedStoreReader.h"
#include "core/FileIdentity.h"
#include "core/ProcessedFileResult.h"
#include "core/Screenshot.h"
#include "core/SerialQueue.h"
#include "core/SqliteConnection.h"
#include "core/StoreHealth.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class LogTimer;
class QTimeZone;
class SqliteStatement;

// The store of screenshot rows: one SQLite file, one connection kept open for
// the life of the object, and one serial queue on which every statement runs.
//
// Every operation may be called from any thread, including from work already
// running on dbQueue() (the queue runs nested submissions inline). Callers that
// need several reads to see one consistent state (a count and its first page)
// wrap them in one dbQueue().sync(...) of their own.
//
// Failures never escape as exceptions: reads show them as console lines, log
// lines and empty results; every write also returns whether it reached the
// file, so that its caller can keep what was not saved, and health() tells the
// window whether changes can be saved and why not. When the file cannot be
// opened, every operation returns its empty or false result without touching
// SQLite.
//
// A file found damaged at open is moved aside (never deleted) and a new one is
// started at once; health() names where the old one went. The tags and notes
// still readable in it are read meanwhile (carryUserDataFrom). Damage met
// while running is noted beside the file, and the next start checks it whole.
// A file that could only be opened for reading (or whose writes were refused
// as read-only) is opened again for writing before each later write, so that
// writing resumes as soon as the file allows it.
//
// Each row also keeps which file it describes (device, inode, size,
// modification time, and birth time or fingerprint, see FileIdentity),
// recorded whenever its file is added, moved or found changed: what tells a
// file renamed while the program was not running from a new one.
class DatabaseManager
{
public:
    // Up to this size every start checks every page of the file (tens of
    // milliseconds); a larger file is checked whole only when damage was
    // noted while it was in use, and otherwise by its header and schema.
    static constexpr qint64 thoroughCheckLimitBytes = 16 << 20;
    static inline const QString damageMarkerSuffix = QStringLiteral(".needs-check");

    // The folder the application's store lives in ($XDG_DATA_HOME/Brindlework).
    static QString dataFolder();
    // "Brindlework.sqlite" in dataFolder().
    static QString defaultPath();

    // Opens (creating it and its folder when missing) the file at `path`,
    // brings its schema up to date and queues a quiet link backfill, all on
    // the store's queue: the constructor returns at once, and the first call
    // waits for that work.
    explicit DatabaseManager(const QString& path);
    // Finishes queued work, except what remains of a link backfill or of
    // the reading of a damaged file (both done again at the next start), then
    // closes the file.
    ~DatabaseManager();

    DatabaseManager(const DatabaseManager&) = delete;
    DatabaseManager& operator=(const DatabaseManager&) = delete;

    SerialQueue& dbQueue() { return m_queue; }
    bool isOpen();
    const QString& path() const { return m_path; }
    StoreHealth& health() { return m_health; }

    // Inserts the record's file facts, or refreshes them (name, path, date,
    // size, source application) while keeping analysis results and user data.
    bool upsert(const Screenshot& screenshot);
    // The same rows as upserting each record, in transactions of up to 500
    // rows: for a first import of a large folder. False when any chunk failed
    // (a failed chunk is rolled back whole).
    bool upsertMany(const QList<Screenshot>& screenshots);
    // Writes text, tags, embedding, links, failure and unfinished reads (with the size and
    // modification time the file had) of each result in one transaction;
    // an id without a row changes nothing and does not stop the others. False
    // (and nothing written) when any statement failed.
    bool updateMetadataBatch(const QList<ProcessedFileResult>& results);
    // The version of the sentence model whose vectors are written from now
    // on; 0 (the default) leaves the rows' version unsaid, as an older
    // model's.
    void setEmbeddingModel(int version) { m_embeddingModel = version; }

    // An analysed row whose vector was made by another model than the one
    // set, and what its vector is made from.
    struct EmbeddingSource
    {
        qint64 rowId = 0; // to continue after
        QUuid id;
        QString text;
        QStringList tags;
    };
    // Up to `limit` such rows after `afterRowId`, in row order.
    QList<EmbeddingSource> rowsEmbeddedByOtherModels(qint64 afterRowId, int limit);
    struct EmbeddingUpdate
    {
        QUuid id;
        QList<double> embedding; // empty: no vector
    };
    // Writes each vector as the set model's, in one transaction, unless the
    // row got one of that model meanwhile (a new analysis). The ids written;
    // nothing when the write failed.
    std::optional<QList<QUuid>> replaceEmbeddings(const QList<EmbeddingUpdate>& updates);

    // Files found on disk, by path: a path without a row gets one from its
    // record (and its identity, when `identities` holds one per record); a
    // path that has a row keeps it, and the stored record stands in for the
    // given one (taking the given source application when it recorded none).
    // One row per path, whatever the caller knew. The records as stored, in
    // the given order; nothing when the write failed (then nothing of it was
    // written).
    std::optional<QList<Screenshot>> addFiles(const QList<Screenshot>& records,
                                              const QList<FileIdentity>& identities = {});
    // Empty or absent notes are stored as NULL. True only when the row was
    // written: an id without a row saves nothing.
    bool saveUserData(const QUuid& id, const QStringList& customTags, const std::optional<QString>& notes);
    // True only when a row was removed.
    bool deleteScreenshot(const QUuid& id);

    // The user's own words on a row.
    struct UserData
    {
        QStringList customTags;
        std::optional<QString> notes;
        bool operator==(const UserData&) const = default;
    };
    // What a row keeps when another's user data comes to it: every tag of
    // both, the kept row's first, each once; both notes, the kept one first,
    // joined by a blank line, a note already there (as a whole paragraph
    // run) not added again.
    static UserData mergedUserData(const UserData& kept, const UserData& carried);
    // Reads the tags and notes still readable in the damaged library file at
    // `damagedPath` on a thread of its own, within the program's limits
    // (UserDataLimits), and gives them to the rows of their paths: to a row
    // already there, after its own; otherwise they wait in this file, by
    // path, for the row a file of that path gets (addFiles), however much
    // later that is. health() tells when it is done, how many screenshots
    // gained words and how many were left out. Open does it for the file it
    // sets aside; a store closed before the reading ended does it again at
    // its next start.
    void carryUserDataFrom(const QString& damagedPath);

    // Removes the row of `id` after handing its tags and notes to the row of
    // `keeperId` (mergedUserData), in one transaction: either both happen or
    // neither. True only when the row was removed; a row with user data and
    // no keeper's row to take it stays. `kept`, when given, receives the
    // keeper's user data as it now is, if any was handed over.
    bool deleteCarryingUserData(const QUuid& id, const QUuid& keeperId, std::optional<UserData>* kept = nullptr);

    // `id` is a UUID's text in either case. True only when a row now has the
    // new path. The file now at that path is the row's, so any other row
    // left there by a vanished file is removed with it: never two rows for
    // one path. The row takes that file's size and identity too.
    bool updateFilePath(const QString& newPath, const QString& id);

    // The identity each row of `folder` (as count() delimits it) recorded of
    // its file when last seen, by id; rows that recorded none are left out.
    // The identity's size is the row's size.
    QHash<QUuid, FileIdentity> recordedIdentities(const QString& folder);
    // The same for one row.
    std::optional<FileIdentity> recordedIdentity(const QUuid& id);
    // What a row's file is now: its identity and size, and its creation date
    // when given. `needsAnalysis`: the file was saved again, so its text is
    // dropped (and any failure or unfinished read of it) and the row waits to
    // be read again. `isAnotherFile`: what is at the path now is not the file
    // the row described, so the user's tags and note and the source
    // application go too.
    struct FileFacts
    {
        QUuid id;
        FileIdentity identity;
        std::optional<QDateTime> dateCreated;
        bool needsAnalysis = false;
        bool isAnotherFile = false;

        // What the row of `record` records of the file found at its path as
        // `now`, held against what it `recorded` (FileIdentity::comparedAt);
        // a row that recorded nothing records the file as it is. Nothing
        // when the row describes the file as it is. May read the file's
        // first and last bytes.
        static std::optional<FileFacts>
        ofFileFound(const Screenshot& record, const std::optional<FileIdentity>& recorded, const FileIdentity& now);
        // `record` as its row becomes with these facts.
        void applyTo(Screenshot& record) const;
    };
    // All in one transaction; false (and nothing written) when it failed.
    bool recordFileFacts(const QList<FileFacts>& facts);

    // Every user tag of every row, once each, sorted by code point.
    QStringList allCustomTags();
    // Rows whose path is `folder` or lies below it (exact, case-sensitive,
    // separator-aware); every row when no folder is given.
    int count(const std::optional<QString>& folder = std::nullopt);
    std::optional<Screenshot> fetchByPath(const QString& path);
    // Newest first. The record's name comes from its path, date and size from
    // the stored columns. Unless `skipFileCheck`, rows whose file is gone are
    // left out. Ends `timer` (started by the caller) with the figures.
    QList<Screenshot> fetchPage(const std::optional<QString>& folder, int limit, int offset, bool skipFileCheck,
                                LogTimer& timer);

    // Where a row's file is and when it was made, without the rest of the
    // record: what a plan over a whole folder needs.
    struct FilePlace
    {
        QUuid id;
        QString filePath;
        qint64 createdMs = 0; // dateCreated, since 1970
    };
    // Every row of `folder`, in fetchPage's order, in one read; rows whose
    // file is gone included. Ends `timer` like a page.
    QList<FilePlace> fetchPlaces(const QString& folder, LogTimer& timer);

    // How a link rescan ended: the rows found with links (those whose
    // stored links differ rewritten) and whether all of that was written.
    struct LinkRescan
    {
        int rowsWithLinks = 0;
        bool written = true;
    };
    using LinkRescanDone = std::function<void(const LinkRescan&)>;

    // Queues a re-derivation of the detected links of every row with text;
    // returns at once. Quiet prints only what was written. `done` runs on
    // the store's queue once the last row is written (not when the store
    // closes first).
    void rescanForLinks(bool quiet, LinkRescanDone done = {});

    // Fault injection for tests and the soak benchmark (running as root
    // makes permissions meaningless): every later write fails as on a
    // read-only file, or as on a full disk once the file would grow; none
    // lifts it again.
    enum class Fault { none, readOnly, full };
    void simulateFault(Fault fault);

private:
    struct BackfillRun;
    class SalvagedUserData;
    struct LinkUpdate
    {
        QUuid id;
        QByteArray encodedLinks;
    };
    struct PageRequest
    {
        bool hasFolder = false;
        std::optional<QByteArray> folderKey;
        int limit = 0;
        int offset = 0;
        bool skipFileCheck = false;
    };
    // Where the last page read ended, so that the next one can continue there.
    struct PageCursor
    {
        bool hasFolder = false;
        std::optional<QByteArray> folderKey;
        int nextOffset = 0;
        double lastDate = 0;
        int rowsAtLastDate = 0; // rows with lastDate already returned
    };

    void open();
    SqliteConnection openConnection(QString& error) const;
    // Before a write: a connection that can only read is replaced by one that
    // can write, when the file allows it now.
    void reopenIfReadOnly();
    // Moves the damaged file (and its journal) aside; where it went, or empty.
    QString setDamagedFileAside();
    // Set-aside files whose tags and notes are still to be carried over,
    // kept in the file until they are.
    bool rememberFileToCarryFrom(const QString& damagedPath);
    QStringList filesToCarryFrom();
    void startCarrying(const QStringList& damagedPaths);
    void finishCarrying(const QString& damagedPath, const DamagedStoreReader::Result& read);
    int writeSalvagedUserData(const QString& damagedPath, const QList<QString>& paths,
                              const QHash<QString, UserData>& byPath, qint64& leftOut);
    bool hasSalvagedUserData();
    // Records the write's result code in health(); true when it succeeded.
    bool noteWrite(int code);
    // A read that ended in damage says so too.
    void noteRead(int lastStep);
    void noteDamage(int code);
    void createTables();
    void bringSchemaUpToDate();
    // True when the column was added now.
    bool addColumnIfMissing(const QString& name, const QString& type, bool announce = true);
    void addUnfinishedReads();
    void migrateEmptyEmbeddings();
    bool createIndexes();
    void startBackfill(std::shared_ptr<BackfillRun> run);
    void backfillBatch(std::shared_ptr<BackfillRun> run);
    int readLinkPage(BackfillRun& run, const std::function<void(const QString&, const QList<QUrl>&)>& visit);
    int writeLinkUpdates(const QList<LinkUpdate>& updates);
    void finishBackfill(const BackfillRun& run);
    bool upsertRow(SqliteStatement& statement, const Screenshot& screenshot);
    // On the queue, each returning SQLite's result code: one prepared
    // statement for all rows, in one transaction when asked.
    int writeUpserts(const QList<Screenshot>& screenshots, bool inTransaction);
    int writeNewFiles(const QList<Screenshot>& records, const QList<FileIdentity>& identities,
                      QList<Screenshot>& stored);
    int writeMetadata(const QList<ProcessedFileResult>& results);
    int writeUserData(const QUuid& id, const QStringList& customTags, const std::optional<QString>& notes,
                      bool& rowChanged);
    int writeFilePath(const QString& newPath, const QString& idText, bool& rowChanged);
    int writeCarriedUserData(const QUuid& id, const QUuid& keeperId, bool& rowRemoved, std::optional<UserData>& kept);
    std::optional<UserData> readUserData(const QUuid& id, int& code);
    void readPage(const PageRequest& request, QList<Screenshot>& records);
    static QByteArray pageSql(const QByteArray& columns, bool hasFolder, bool fromCursor);
    std::optional<PageCursor> continuingCursor(const PageRequest& request) const;
    void rememberCursor(const PageRequest& request, const std::optional<PageCursor>& used, int rowsRead,
                        std::optional<double> lastDate, int rowsAtLastDate);
    std::optional<Screenshot> readRecord(const SqliteStatement& statement, const QTimeZone& zone) const;

    QString m_path;
    StoreHealth m_health;
    bool m_damageNoted = false; // on the queue only
    // On the queue only: tags and notes of a damaged file wait for their rows.
    bool m_salvagePending = false;
    // On the queue only: the last write was refused as read-only, or a fault
    // is simulated (which no reopening may lift).
    bool m_writeRefusedReadOnly = false;
    Fault m_simulatedFault = Fault::none;
    // Declared before the queue so that the queue, destroyed first, finishes
    // its work while the connection is still open.
    SqliteConnection m_db;
    std::optional<PageCursor> m_pageCursor; // used on the queue only
    std::atomic<bool> m_closing = false;    // stops a running backfill
    std::atomic<int> m_embeddingModel = 0;
    // Link backfills, one at a time; on the queue only.
    bool m_isBackfilling = false;
    QList<std::shared_ptr<BackfillRun>> m_waitingBackfills;
    SerialQueue m_queue;
    // Reads a damaged file's tags and notes and hands them to the queue;
    // started on the queue only.
    std::jthread m_carrying;
};
