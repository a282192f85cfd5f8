#include "core/DamagedStoreReader.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stop_token>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
class DamagedStoreReaderTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath(u"old.sqlite"_s); }

    void make(const QList<const char*>& statements) const
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path().toUtf8().constData(), &raw), SQLITE_OK);
        const SqliteConnection db(raw);
        for (const char* sql : statements)
            ASSERT_TRUE(sqliteExec(db.get(), sql)) << sql << ": " << sqlite3_errmsg(db.get());
    }

    DamagedStoreReader::Result read(const DamagedStoreReader::Bounds& bounds, std::stop_token stop = {}) const
    {
        return DamagedStoreReader::userData(path(), {"screenshot"}, bounds, std::move(stop));
    }

    QTemporaryDir m_dir;
};

constexpr const char* userColumns = "CREATE TABLE screenshot (filepath TEXT, custom_tags TEXT, user_notes TEXT);";
} // namespace

// A damaged or hostile file must not hold the reading: it ends at a bound of
// rows, of characters kept, of time, or when asked to stop, and says that it
// did not read the whole file.
TEST_F(DamagedStoreReaderTest, TheReadingEndsAtItsBoundsAndSaysSo)
{
    make({userColumns, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
                       "INSERT INTO screenshot SELECT '/lib/' || i || '.png', '[\"tag\"]', 'note' FROM n;"});

    const DamagedStoreReader::Result whole = read({});
    EXPECT_EQ(whole.entries.size(), 1000);
    EXPECT_TRUE(whole.isWhole);

    const DamagedStoreReader::Result rows = read({.rows = 100});
    EXPECT_EQ(rows.entries.size(), 100);
    EXPECT_EQ(rows.entries.last().filePath, u"/lib/100.png"_s);
    EXPECT_FALSE(rows.isWhole);

    // "/lib/1.png", "tag" and "note": 17 characters each.
    const DamagedStoreReader::Result characters = read({.characters = 17 * 5 + 16});
    EXPECT_EQ(characters.entries.size(), 5);
    EXPECT_FALSE(characters.isWhole);

    const DamagedStoreReader::Result late = read({.time = 0ms});
    EXPECT_TRUE(late.entries.isEmpty());
    EXPECT_FALSE(late.isWhole);

    std::stop_source closing;
    closing.request_stop();
    const DamagedStoreReader::Result stopped = read({}, closing.get_token());
    EXPECT_TRUE(stopped.entries.isEmpty());
    EXPECT_FALSE(stopped.isWhole);
}

// A value larger than any the program keeps is never read into memory whole:
// it is left out and counted, and the rest of its row is still carried.
TEST_F(DamagedStoreReaderTest, AValueTooLargeToReadCostsOnlyItself)
{
    make({userColumns,
          "INSERT INTO screenshot VALUES ('/lib/a.png', '[\"kept\"]', replace(hex(zeroblob(50000000)), '0', 'z')), "
          "('/lib/b.png', replace(hex(zeroblob(50000000)), '0', 'z'), 'kept note'), "
          "('/lib/c.png', '[\"after\"]', NULL);"});

    const DamagedStoreReader::Result result = read({});

    ASSERT_EQ(result.entries.size(), 3);
    EXPECT_EQ(result.entries[0].customTags, QStringList{u"kept"_s});
    EXPECT_FALSE(result.entries[0].notes);
    EXPECT_TRUE(result.entries[1].customTags.isEmpty());
    EXPECT_EQ(result.entries[1].notes, u"kept note"_s);
    EXPECT_EQ(result.entries[2].customTags, QStringList{u"after"_s});
    EXPECT_EQ(result.leftOut, 2);
    EXPECT_TRUE(result.isWhole);
}
