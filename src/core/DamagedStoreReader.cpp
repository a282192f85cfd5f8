#include "core/DamagedStoreReader.h"

#include "core/JsonArrayCodec.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"

#include <QFile>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {
using Entry = DamagedStoreReader::Entry;

// Rows past a failure read one by one, at most: a damaged leaf page holds a
// few dozen rows; past a damaged interior page every look-up fails anyway.
constexpr qint64 lookUpWindow = 4096;
// Probes at 1, 2, 4, ... rows past a failure, up to the largest rowid.
constexpr int probeCount = 63;

// One table with the user's columns, read in rowid order around its damage.
class TableWalk
{
public:
    TableWalk(sqlite3* db, const char* table, QList<Entry>& entries)
        : m_walk(db, sql(table, "rowid >= ? ORDER BY rowid").constData())
        , m_one(db, sql(table, "rowid = ?").constData())
        , m_entries(entries)
    {}

    void run()
    {
        if (!m_walk.isPrepared() || !m_one.isPrepared())
            return;
        qint64 last = 0; // rowids the store assigns start at 1
        while (!walkFrom(last + 1, last)) {
            const std::optional<qint64> resume = resumeAfter(last);
            if (!resume)
                return;
            last = *resume - 1;
        }
    }

private:
    static QByteArray sql(const char* table, const char* condition)
    {
        return QByteArray("SELECT rowid, filepath, custom_tags, user_notes FROM ") + table + " WHERE " + condition +
               ';';
    }

    // Reads the rows from `start` on, `last` following them; true at the end,
    // false when a row could not be read.
    bool walkFrom(qint64 start, qint64& last)
    {
        m_walk.reset();
        m_walk.bindInt64(1, start);
        int step = SQLITE_DONE;
        while ((step = m_walk.step()) == SQLITE_ROW) {
            last = m_walk.columnInt64(0);
            take(m_walk);
        }
        return step == SQLITE_DONE;
    }

    // After a failure past `last`: where a walk reads again (nothing when no
    // row past the failure can be reached), having read what lies between
    // one row at a time.
    std::optional<qint64> resumeAfter(qint64 last)
    {
        constexpr qint64 largest = std::numeric_limits<qint64>::max();
        std::optional<qint64> resume;
        qint64 reached = last < largest - lookUpWindow ? last + lookUpWindow + 1 : largest;
        for (int probe = 0; probe < probeCount; ++probe) {
            const qint64 distance = qint64(1) << probe;
            if (last > largest - distance)
                break;
            m_walk.reset();
            m_walk.bindInt64(1, last + distance);
            const int step = m_walk.step();
            if (step == SQLITE_ROW || step == SQLITE_DONE) {
                reached = std::min(reached, last + distance);
                if (step == SQLITE_ROW)
                    resume = last + distance;
                break;
            }
        }
        for (qint64 rowid = last + 1; rowid < reached; ++rowid) {
            m_one.reset();
            m_one.bindInt64(1, rowid);
            if (m_one.step() == SQLITE_ROW)
                take(m_one);
        }
        return resume;
    }

    void take(const SqliteStatement& row)
    {
        if (row.isNull(1) || !isText(row.columnText(1)) || !row.columnText(1).startsWith(u'/'))
            return;
        Entry entry{row.columnText(1), {}, row.columnOptionalText(3)};
        if (!row.isNull(2))
            entry.customTags = JsonArrayCodec::decodeStrings(row.columnBytes(2)).value_or(QStringList());
        if (!std::all_of(entry.customTags.cbegin(), entry.customTags.cend(), isText))
            entry.customTags.clear();
        if (entry.notes && (entry.notes->isEmpty() || !isText(*entry.notes)))
            entry.notes.reset();
        if (!entry.customTags.isEmpty() || entry.notes)
            m_entries.append(std::move(entry));
    }

    // SQLite reads the part of a page cut off the file as zeros: a value
    // that ends in them is what is left of one, not what the user wrote.
    static bool isText(const QString& text) { return !text.contains(QChar(u'\0')); }

    SqliteStatement m_walk;
    SqliteStatement m_one;
    QList<Entry>& m_entries;
};
} // namespace

QList<Entry> DamagedStoreReader::userData(const QString& path, const QList<const char*>& tables)
{
    QList<Entry> entries;
    // Without a journal of its own to read, the file is taken as it lies: no
    // lock, and nothing made beside it.
    const bool withLog = QFile::exists(path + u"-wal"_s);
    QUrl uri = QUrl::fromLocalFile(path);
    uri.setScheme(QStringLiteral("file"));
    if (!withLog)
        uri.setQuery(QStringLiteral("immutable=1"));
    sqlite3* handle = nullptr;
    const int opened =
        sqlite3_open_v2(uri.toEncoded().constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    const SqliteConnection db(handle);
    if (opened != SQLITE_OK)
        return entries;
    // A cell that does not fit its page is damage too, not a row to read.
    sqliteExec(db.get(), "PRAGMA cell_size_check = ON;");
    // Otherwise a file shorter than its header says (cut off) is refused
    // whole; this way its pages up to the cut are read. The connection
    // cannot write, so the file stays as it is.
    sqliteExec(db.get(), "PRAGMA writable_schema = ON;");
    for (const char* table : tables)
        TableWalk(db.get(), table, entries).run();
    return entries;
}
