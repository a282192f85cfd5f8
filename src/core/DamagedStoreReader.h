#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Reads the user's tags and notes out of a library file that SQLite calls
// damaged, without changing it: whatever rows can still be reached, by file
// path. The file is read with ordinary queries, row after row in rowid order;
// where a query fails, the reader reads the rows past the failure one by one
// and walks on from the first place a query works again, so one damaged page
// costs only the rows on it.
class DamagedStoreReader
{
public:
    struct Entry
    {
        QString filePath;
        QStringList customTags;
        std::optional<QString> notes;
    };

    // The rows of `tables` (each with the columns filepath, custom_tags and
    // user_notes) that have tags or a note; tags that are damaged read as
    // none. Table by table in rowid order; a path may come more than once.
    static QList<Entry> userData(const QString& path, const QList<const char*>& tables);
};
