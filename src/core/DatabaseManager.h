#pragma once

#include "core/ProcessedFileResult.h"
#include "core/Screenshot.h"
#include "core/SerialQueue.h"
#include "core/SqliteConnection.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <atomic>
#include <optional>

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
// file, so that its caller can keep what was not saved. When the file cannot be
// opened, every operation returns its empty or false result without touching
// SQLite.
class DatabaseManager
{
public:
    // The folder the application's store lives in ($XDG_DATA_HOME/Brindlework).
    static QString dataFolder();
    // "Brindlework.sqlite" in dataFolder().
    static QString defaultPath();

    // Opens (creating it and its folder when missing) the file at `path`,
    // brings its schema up to date and queues a quiet link backfill, all on
    // the store's queue: the constructor returns at once, and the first call
    // waits for that work.
    explicit DatabaseManager(const QString& path);
    // Finishes queued work, except what remains of a link backfill, then
    // closes the file.
    ~DatabaseManager();

    DatabaseManager(const DatabaseManager&) = delete;
    DatabaseManager& operator=(const DatabaseManager&) = delete;

    SerialQueue& dbQueue() { return m_queue; }
    bool isOpen();
    const QString& path() const { return m_path; }

    // Inserts the record's file facts, or refreshes them (name, path, date,
    // size, source application) while keeping analysis results and user data.
    bool upsert(const Screenshot& screenshot);
    // The same rows as upserting each record, in transactions of up to 500
    // rows: for a first import of a large folder. False when any chunk failed
    // (a failed chunk is rolled back whole).
    bool upsertMany(const QList<Screenshot>& screenshots);
    // Writes text, tags, embedding and links of each result in one transaction;
    // an id without a row changes nothing and does not stop the others. False
    // (and nothing written) when any statement failed.
    bool updateMetadataBatch(const QList<ProcessedFileResult>& results);
    // Empty or absent notes are stored as NULL. True when the statement ran,
    // also for an id without a row.
    bool saveUserData(const QUuid& id, const QStringList& customTags, const std::optional<QString>& notes);
    // True only when a row was removed.
    bool deleteScreenshot(const QUuid& id);
    // `id` is a UUID's text in either case. True only when a row now has the new path.
    bool updateFilePath(const QString& newPath, const QString& id);

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

    // Queues a re-derivation of the detected links of every row with text;
    // returns at once. Quiet prints only what was written.
    void rescanForLinks(bool quiet);

private:
    struct BackfillRun;
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
    void createTables();
    void addColumnIfMissing(const QString& name, const QString& type);
    void migrateEmptyEmbeddings();
    void createIndexes();
    void backfillBatch(std::shared_ptr<BackfillRun> run);
    QList<LinkUpdate> collectLinkUpdates(BackfillRun& run, int& rowsRead);
    bool writeLinkUpdates(const QList<LinkUpdate>& updates);
    void finishBackfill(const BackfillRun& run);
    bool upsertRow(SqliteStatement& statement, const Screenshot& screenshot);
    // On the queue: one prepared statement for all rows, in one transaction when asked.
    bool writeUpserts(const QList<Screenshot>& screenshots, bool inTransaction);
    bool writeMetadata(const QList<ProcessedFileResult>& results);
    void readPage(const PageRequest& request, QList<Screenshot>& records);
    std::optional<PageCursor> continuingCursor(const PageRequest& request) const;
    void rememberCursor(const PageRequest& request, const std::optional<PageCursor>& used, int rowsRead,
                        std::optional<double> lastDate, int rowsAtLastDate);
    std::optional<Screenshot> readRecord(const SqliteStatement& statement, const QTimeZone& zone) const;

    QString m_path;
    // Declared before the queue so that the queue, destroyed first, finishes
    // its work while the connection is still open.
    SqliteConnection m_db;
    std::optional<PageCursor> m_pageCursor; // used on the queue only
    std::atomic<bool> m_closing = false;    // stops a running backfill
    SerialQueue m_queue;
};
