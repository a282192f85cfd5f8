#include "core/SqliteStatement.h"

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql)
{
    if (!db)
        return;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK)
        m_statement.reset(statement);
    else
        sqlite3_finalize(statement);
}

void SqliteStatement::bindText(int index, const QString& text)
{
    bindText(index, QByteArrayView(text.toUtf8()));
}

void SqliteStatement::bindText(int index, QByteArrayView utf8)
{
    if (!m_statement)
        return;
    // A null view would bind NULL; an empty text must stay an empty text.
    const char* data = utf8.data() ? utf8.data() : "";
    sqlite3_bind_text64(m_statement.get(), index, data, sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqliteStatement::bindNull(int index)
{
    if (m_statement)
        sqlite3_bind_null(m_statement.get(), index);
}

void SqliteStatement::bindDouble(int index, double value)
{
    if (m_statement)
        sqlite3_bind_double(m_statement.get(), index, value);
}

void SqliteStatement::bindInt(int index, int value)
{
    if (m_statement)
        sqlite3_bind_int(m_statement.get(), index, value);
}

void SqliteStatement::bindInt64(int index, qint64 value)
{
    if (m_statement)
        sqlite3_bind_int64(m_statement.get(), index, value);
}

int SqliteStatement::step()
{
    return m_statement ? sqlite3_step(m_statement.get()) : SQLITE_MISUSE;
}

void SqliteStatement::reset()
{
    if (m_statement)
        sqlite3_reset(m_statement.get());
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement.get(), column) == SQLITE_NULL;
}

double SqliteStatement::columnDouble(int column) const
{
    return sqlite3_column_double(m_statement.get(), column);
}

qint64 SqliteStatement::columnInt64(int column) const
{
    return sqlite3_column_int64(m_statement.get(), column);
}

QByteArrayView SqliteStatement::columnBytes(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement.get(), column));
    // The length must be asked after the text, so that it counts the UTF-8 form.
    const int size = sqlite3_column_bytes(m_statement.get(), column);
    return text ? QByteArrayView(text, size) : QByteArrayView();
}

QString SqliteStatement::columnText(int column) const
{
    const QByteArrayView bytes = columnBytes(column);
    return QString::fromUtf8(bytes.data(), bytes.size());
}

std::optional<QString> SqliteStatement::columnOptionalText(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return columnText(column);
}

bool sqliteExec(sqlite3* db, const char* sql)
{
    return db && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}
