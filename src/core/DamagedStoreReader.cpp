#include "core/DamagedStoreReader.h"

#include "core/JsonArrayCodec.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/UserDataLimits.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QUrl>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {
using Entry = DamagedStoreReader::Entry;
using Result = DamagedStoreReader::Result;

// Rows past a failure read one by one, at most: a damaged leaf page holds a
// few dozen rows; past a damaged interior page every look-up fails anyway.
constexpr qint64 lookUpWindow = 4096;
// Probes at 1, 2, 4, ... rows past a failure, up to the largest rowid.
constexpr int probeCount = 63;
// SQLite instructions between two looks at the bounds.
constexpr int instructionsPerCheck = 1000;

// No value within the limits is larger in UTF-8: the most tags, each of the
// longest and every character escaped as \uXXXX, with their quotes and
// commas. A larger value is refused by SQLite before it is read into memory.
constexpr qint64 largestValueBytes = UserDataLimits::maxTagCount * (UserDataLimits::maxTagLength * 6 + 3) + 2;
static_assert(largestValueBytes >= UserDataLimits::maxNoteLength * 3);
static_assert(largestValueBytes <= std::numeric_limits<int>::max());

// What a reading may still spend; once spent, every statement under way stops.
class Budget
{
public:
    Budget(const DamagedStoreReader::Bounds& bounds, std::stop_token stop)
        : m_deadline(bounds.time)
        , m_rowsLeft(bounds.rows)
        , m_charactersLeft(bounds.characters)
        , m_stop(std::move(stop))
    {}

    // SQLite's progress handler: non-zero interrupts the statement.
    static int onProgress(void* budget) { return static_cast<Budget*>(budget)->isSpent() ? 1 : 0; }

    bool isSpent()
    {
        m_spent = m_spent || m_deadline.hasExpired() || m_stop.stop_requested();
        return m_spent;
    }
    bool wasSpent() const { return m_spent; }
    // False, and the budget spent, when no more rows may be read.
    bool countRow()
    {
        m_spent = m_spent || --m_rowsLeft < 0;
        return !m_spent;
    }
    // False, and the budget spent, when `characters` more do not fit.
    bool keep(qint64 characters)
    {
        if (characters > m_charactersLeft)
            m_spent = true;
        else
            m_charactersLeft -= characters;
        return !m_spent;
    }

private:
    QDeadlineTimer m_deadline;
    qint64 m_rowsLeft;
    qint64 m_charactersLeft;
    std::stop_token m_stop;
    bool m_spent = false;
};

// SQLite reads the part of a page cut off the file as zeros: a value that
// ends in them is what is left of one, not what the user wrote.
bool isText(const QString& text)
{
    return !text.contains(QChar(u'\0'));
}

// One table with the user's columns, read in rowid order around its damage.
class TableWalk
{
public:
    TableWalk(sqlite3* db, const char* table, Budget& budget, Result& result)
        : m_walk(db, sql("filepath, custom_tags, user_notes", table, "rowid >= ? ORDER BY rowid").constData())
        , m_one(db, sql("filepath, custom_tags, user_notes", table, "rowid = ?").constData())
        , m_alone{SqliteStatement(db, sql("filepath", table, "rowid = ?").constData()),
                  SqliteStatement(db, sql("custom_tags", table, "rowid = ?").constData()),
                  SqliteStatement(db, sql("user_notes", table, "rowid = ?").constData())}
        , m_budget(budget)
        , m_result(result)
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
    static QByteArray sql(const char* columns, const char* table, const char* condition)
    {
        return QByteArray("SELECT rowid, ") + columns + " FROM " + table + " WHERE " + condition + ';';
    }

    // Reads the rows from `start` on, `last` following them; true at the end
    // (or once the budget is spent), false when a row could not be read.
    bool walkFrom(qint64 start, qint64& last)
    {
        m_walk.reset();
        m_walk.bindInt64(1, start);
        int step = SQLITE_DONE;
        while (!m_budget.isSpent() && (step = m_walk.step()) == SQLITE_ROW) {
            last = m_walk.columnInt64(0);
            takeRow(m_walk);
        }
        return step == SQLITE_DONE || m_budget.isSpent();
    }

    // After a failure past `last`: where a walk reads again (nothing when no
    // row past the failure can be reached), having read what lies between
    // one row at a time.
    std::optional<qint64> resumeAfter(qint64 last)
    {
        constexpr qint64 largest = std::numeric_limits<qint64>::max();
        std::optional<qint64> resume;
        qint64 reached = last < largest - lookUpWindow ? last + lookUpWindow + 1 : largest;
        for (int probe = 0; probe < probeCount && !m_budget.isSpent(); ++probe) {
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
        for (qint64 rowid = last + 1; rowid < reached && !m_budget.isSpent(); ++rowid) {
            m_one.reset();
            m_one.bindInt64(1, rowid);
            const int step = m_one.step();
            if (step == SQLITE_ROW)
                takeRow(m_one);
            else if (step == SQLITE_TOOBIG)
                takeApart(rowid);
        }
        return m_budget.isSpent() ? std::nullopt : resume;
    }

    void takeRow(const SqliteStatement& row)
    {
        if (!m_budget.countRow())
            return;
        take(row.columnOptionalText(1), row.isNull(2) ? std::nullopt : std::optional(row.columnBytes(2)),
             row.columnOptionalText(3));
    }

    // A row with a value larger than any the program keeps: its other
    // values, each read alone.
    void takeApart(qint64 rowid)
    {
        if (!m_budget.countRow())
            return;
        std::array<std::optional<QByteArray>, 3> values;
        for (std::size_t column = 0; column < values.size(); ++column) {
            SqliteStatement& alone = m_alone[column];
            alone.reset();
            alone.bindInt64(1, rowid);
            const int step = alone.step();
            if (step == SQLITE_TOOBIG)
                ++m_result.leftOut;
            else if (step == SQLITE_ROW && !alone.isNull(1))
                values[column] = alone.columnBytes(1).toByteArray();
        }
        const auto text = [](const std::optional<QByteArray>& utf8) {
            return utf8 ? std::optional(QString::fromUtf8(*utf8)) : std::nullopt;
        };
        take(text(values[0]), values[1] ? std::optional(QByteArrayView(*values[1])) : std::nullopt, text(values[2]));
    }

    void take(const std::optional<QString>& path, std::optional<QByteArrayView> tags,
              const std::optional<QString>& notes)
    {
        if (!path || !isText(*path) || !path->startsWith(u'/'))
            return;
        Entry entry{*path, {}, notes};
        if (tags)
            entry.customTags = JsonArrayCodec::decodeStrings(*tags).value_or(QStringList());
        if (!std::all_of(entry.customTags.cbegin(), entry.customTags.cend(), isText))
            entry.customTags.clear();
        if (entry.notes && (entry.notes->isEmpty() || !isText(*entry.notes)))
            entry.notes.reset();
        keepWithinLimits(entry);
        if (entry.customTags.isEmpty() && !entry.notes)
            return;
        qint64 characters = entry.filePath.size() + entry.notes.value_or(QString()).size();
        for (const QString& tag : std::as_const(entry.customTags))
            characters += tag.size();
        if (m_budget.keep(characters))
            m_result.entries.append(std::move(entry));
    }

    // What the program itself would refuse is left out, and counted.
    void keepWithinLimits(Entry& entry)
    {
        const qsizetype found = entry.customTags.size();
        entry.customTags.removeIf([](const QString& tag) { return tag.size() > UserDataLimits::maxTagLength; });
        if (entry.customTags.size() > UserDataLimits::maxTagCount)
            entry.customTags.resize(UserDataLimits::maxTagCount);
        m_result.leftOut += found - entry.customTags.size();
        if (entry.notes && entry.notes->size() > UserDataLimits::maxNoteLength) {
            entry.notes.reset();
            ++m_result.leftOut;
        }
    }

    SqliteStatement m_walk;
    SqliteStatement m_one;
    std::array<SqliteStatement, 3> m_alone; // filepath, custom_tags, user_notes
    Budget& m_budget;
    Result& m_result;
};

// A view (or a virtual table) under the table's name runs whatever query the
// file holds, without end when it recurses: only a table stored in the file
// is read.
bool isStoredTable(sqlite3* db, const char* table)
{
    SqliteStatement found(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND rootpage > 0 "
                              "AND name = ? COLLATE NOCASE;");
    found.bindText(1, QString::fromLatin1(table));
    return found.step() == SQLITE_ROW;
}

SqliteConnection openReadOnly(const QString& path)
{
    // Without a log of its own to read, the file is taken as it lies: no
    // lock, and nothing made beside it. With one, its last transactions are
    // in the log, whose index SQLite keeps in a file beside it unless the
    // connection holds the file for itself from its first read; then the
    // index is kept in memory. No one else uses a file set aside, so that
    // hold takes no lock either.
    const bool withLog = QFile::exists(path + u"-wal"_s);
    QUrl uri = QUrl::fromLocalFile(path);
    uri.setScheme(u"file"_s);
    uri.setQuery(withLog ? u"vfs=unix-none"_s : u"immutable=1"_s);
    sqlite3* handle = nullptr;
    const int opened =
        sqlite3_open_v2(uri.toEncoded().constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    SqliteConnection db(handle);
    if (opened != SQLITE_OK || (withLog && !sqliteExec(db.get(), "PRAGMA locking_mode = EXCLUSIVE;")))
        return {};
    return db;
}
} // namespace

Result DamagedStoreReader::userData(const QString& path, const QList<const char*>& tables, const Bounds& bounds,
                                    std::stop_token stop)
{
    Result result;
    Budget budget(bounds, std::move(stop));
    const SqliteConnection db = openReadOnly(path);
    if (!db)
        return result;
    sqlite3_progress_handler(db.get(), instructionsPerCheck, &Budget::onProgress, &budget);
    sqlite3_limit(db.get(), SQLITE_LIMIT_LENGTH, int(largestValueBytes));
    // A cell that does not fit its page is damage too, not a row to read.
    sqliteExec(db.get(), "PRAGMA cell_size_check = ON;");
    // Otherwise a file shorter than its header says (cut off) is refused
    // whole; this way its pages up to the cut are read. The connection
    // cannot write, so the file stays as it is.
    sqliteExec(db.get(), "PRAGMA writable_schema = ON;");
    for (const char* table : tables) {
        if (!budget.isSpent() && isStoredTable(db.get(), table))
            TableWalk(db.get(), table, budget, result).run();
    }
    result.isWhole = !budget.wasSpent();
    return result;
}
