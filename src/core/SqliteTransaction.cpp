#include "core/SqliteTransaction.h"

#include "core/SqliteStatement.h"

SqliteTransaction::SqliteTransaction(sqlite3* db)
    : m_db(db)
    , m_isActive(sqliteExec(db, "BEGIN TRANSACTION;"))
{}

SqliteTransaction::~SqliteTransaction()
{
    if (m_isActive)
        sqliteExec(m_db, "ROLLBACK;");
}

bool SqliteTransaction::commit()
{
    if (!m_isActive)
        return false;
    if (sqliteExec(m_db, "COMMIT;")) {
        m_isActive = false;
        return true;
    }
    // A failed COMMIT may leave the transaction open (SQLITE_BUSY); the
    // destructor's ROLLBACK ends it either way.
    return false;
}
