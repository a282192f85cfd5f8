#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <stop_token>

// Reads the user's tags and notes out of a library file that SQLite calls
// damaged, without changing it or making any file beside it: whatever rows
// can still be reached, by file path. The file is read with ordinary queries,
// row after row in rowid order; where a query fails, the reader reads the rows
// past the failure one by one and walks on from the first place a query works
// again, so one damaged page costs only the rows on it.
//
// The file may be anything at all, so only tables stored in it are read, and
// the reading ends at a bound of time, rows and memory. What it keeps stays
// within the program's own limits (UserDataLimits); the rest is left out and
// counted.
class DamagedStoreReader
{
public:
    struct Entry
    {
        QString filePath;
        QStringList customTags;
        std::optional<QString> notes;
    };

    struct Bounds
    {
        std::chrono::milliseconds time = std::chrono::seconds(30);
        // Rows looked at, with words or without.
        qint64 rows = 1'000'000;
        // Characters kept: paths, tags and notes.
        qint64 characters = qint64(64) << 20;
    };

    struct Result
    {
        QList<Entry> entries;
        // Tags and notes found but left out: beyond the program's limits.
        qint64 leftOut = 0;
        // False when a bound or a stop request ended the reading early.
        bool isWhole = true;
    };

    // The rows of `tables` (each with the columns filepath, custom_tags and
    // user_notes) that have tags or a note; tags that are damaged read as
    // none. Table by table in rowid order; a path may come more than once.
    static Result userData(const QString& path, const QList<const char*>& tables, const Bounds& bounds,
                           std::stop_token stop = {});
};
