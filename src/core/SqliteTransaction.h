#pragma once

#include <sqlite3.h>

// One transaction on a connection: begun on construction, rolled back when it
// goes out of scope without a successful commit(), so an early return or a
// failed statement never leaves half a batch in the file.
class SqliteTransaction
{
public:
    explicit SqliteTransaction(sqlite3* db);
    ~SqliteTransaction();

    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    // False when the transaction could not be begun; nothing should be written then.
    bool isActive() const { return m_isActive; }
    // False when the commit failed; the transaction is rolled back then.
    bool commit();

private:
    sqlite3* m_db;
    bool m_isActive = false;
};
