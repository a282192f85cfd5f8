#pragma once

#include <sqlite3.h>

#include <memory>

// An open SQLite connection, closed when the owner goes. sqlite3_close_v2
// tolerates statements that are still alive and closes once they finish.
struct SqliteConnectionCloser
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteConnection = std::unique_ptr<sqlite3, SqliteConnectionCloser>;
