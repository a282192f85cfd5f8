#pragma once

#include <QByteArrayView>
#include <QString>

#include <sqlite3.h>

#include <memory>
#include <optional>

// One prepared statement, finalized when it goes out of scope. Texts are bound
// as UTF-8 with their byte length and copied by SQLite, so a text may hold any
// character (quotes, "%", NUL) and the caller's buffer need not outlive the bind.
class SqliteStatement
{
public:
    // An unprepared statement (isPrepared() false) when `db` is null or the
    // SQL does not compile; binds and steps on it do nothing.
    SqliteStatement(sqlite3* db, const char* sql);

    bool isPrepared() const { return m_statement != nullptr; }

    void bindText(int index, const QString& text);
    void bindText(int index, QByteArrayView utf8);
    void bindNull(int index);
    void bindDouble(int index, double value);
    void bindInt(int index, int value);
    void bindInt64(int index, qint64 value);

    // SQLITE_ROW, SQLITE_DONE or an error code (SQLITE_MISUSE when unprepared).
    int step();
    bool stepDone() { return step() == SQLITE_DONE; }
    // Makes the statement ready to run again; bindings stay until rebound.
    void reset();

    bool isNull(int column) const;
    double columnDouble(int column) const;
    qint64 columnInt64(int column) const;
    // The column's UTF-8 bytes, valid until the next step, reset or the end of the statement.
    QByteArrayView columnBytes(int column) const;
    QString columnText(int column) const;
    // Absent for NULL.
    std::optional<QString> columnOptionalText(int column) const;

private:
    struct Finalizer
    {
        void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> m_statement;
};

// Runs statements that return no rows (transaction control); false on failure.
bool sqliteExec(sqlite3* db, const char* sql);
