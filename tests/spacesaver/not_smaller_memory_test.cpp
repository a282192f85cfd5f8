#include "spacesaver/NotSmallerMemory.h"
#include "support/Capture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
using Files = NotSmallerMemory::Files;

class NotSmallerMemoryTest : public ::testing::Test
{
public:
    QString dataFolder() const { return m_dir.filePath(u"data"_s); }
    QString memoryFile() const { return dataFolder() + u'/' + NotSmallerMemory::fileName; }

    // A file of the library with `bytes`, and its entry as a run found it.
    std::pair<QString, SafeFile::FileStamp> image(const QString& name, const QByteArray& bytes = "pixels")
    {
        const QString file = m_dir.filePath(name);
        writeFile(file, bytes);
        return {file, *SafeFile::stampOf(file)};
    }

    static void writeFile(const QString& file, const QByteArray& bytes)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    }

    // As the next launch reads it.
    Files readAgain(int quality) const { return NotSmallerMemory(dataFolder(), m_writes).at(quality); }

    QTemporaryDir m_dir;
    // As the application's: one write at a time.
    mutable QThreadPool m_writes;

    NotSmallerMemoryTest() { m_writes.setMaxThreadCount(1); }
};
} // namespace

// Kept by quality across launches; an entry whose file changed or went is
// dropped when read, as it would never be left out again anyway.
TEST_F(NotSmallerMemoryTest, KeptByQualityUntilTheFileChangesOrGoes)
{
    const auto a = image(u"a.png"_s);
    const auto b = image(u"b.png"_s);
    const auto c = image(u"c.png"_s);
    {
        NotSmallerMemory memory(dataFolder(), m_writes);
        memory.remember(95, {a, b});
        memory.remember(85, {c});
        EXPECT_EQ(memory.at(95), (Files{a, b}));
    }
    EXPECT_EQ(readAgain(95), (Files{a, b}));
    EXPECT_EQ(readAgain(85), (Files{c}));
    EXPECT_TRUE(readAgain(90).isEmpty());

    writeFile(a.first, "other pixels");
    ASSERT_TRUE(QFile::remove(c.first));
    EXPECT_EQ(readAgain(95), (Files{b}));
    EXPECT_TRUE(readAgain(85).isEmpty());
}

// The file is only a memory: whatever is wrong with it, the space saver
// starts from nothing (and says why in the console), and the next finding
// writes a sound file again.
TEST_F(NotSmallerMemoryTest, ADamagedOrUnreadableFileIsAnEmptyMemory)
{
    const auto a = image(u"a.png"_s);
    ASSERT_TRUE(QDir().mkpath(dataFolder()));
    {
        NotSmallerMemory memory(dataFolder(), m_writes);
        memory.remember(95, {a});
    }
    QFile sound(memoryFile());
    ASSERT_TRUE(sound.open(QIODevice::ReadOnly));
    const QByteArray whole = sound.readAll();
    sound.close();

    struct Case
    {
        const char* name;
        QByteArray bytes;
        bool unreadable; // as a whole, not only in its entries
    };
    const Case cases[] = {
        {"cut short", whole.first(whole.size() / 2), true},
        {"not JSON", "\xff garbage", true},
        {"empty", "", true},
        {"not an object", "[1, 2]", true},
        {"wrong shapes", R"({"qualities": {"95": [{"path": 7, "size": "x"}], "many": [], "101": 3}})", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(memoryFile(), c.bytes);
        ConsoleCapture console;
        NotSmallerMemory memory(dataFolder(), m_writes);
        EXPECT_TRUE(memory.at(95).isEmpty());
        EXPECT_EQ(console.contains(u"Ignoring what was found not smaller before"_s), c.unreadable);
        memory.remember(95, {a});
    }
    EXPECT_EQ(readAgain(95), (Files{a})) << "written again after the damage";

    ASSERT_TRUE(QFile::remove(memoryFile()));
    ASSERT_TRUE(QDir().mkpath(memoryFile())); // nothing can read a folder as the file
    ConsoleCapture console;
    EXPECT_TRUE(readAgain(95).isEmpty());
    EXPECT_TRUE(console.contains(u"Ignoring what was found not smaller before"_s));
}
