#include "platform/SafeFile.h"
#include "support/FaultyFileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using SafeFile::Outcome;

namespace {
QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

using MoveFunction = std::function<Outcome(const QString&, const QString&)>;

struct NamedMove
{
    const char* name;
    MoveFunction move;
};

const NamedMove kMoves[] = {
    {"moveNoReplace", SafeFile::moveNoReplace},
    {"copyThenRemove", SafeFile::copyThenRemove},
};

// A folder on another file system than the temporary folder, when the
// machine has one (a tmpfs at /dev/shm on most Linux systems).
std::optional<QString> otherDeviceFolder(const QString& reference)
{
    struct stat here
    {};
    struct stat there
    {};
    if (::stat(QFile::encodeName(reference).constData(), &here) != 0 || ::stat("/dev/shm", &there) != 0 ||
        here.st_dev == there.st_dev || ::access("/dev/shm", W_OK) != 0)
        return std::nullopt;
    return u"/dev/shm"_s;
}

// Runs `work` and fails the test if it has not returned within two seconds.
// A FIFO that blocks is then opened for writing, which releases the reader.
template <typename Work>
void expectReturnsPromptly(Work work, const QString& fifo)
{
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        done.wait();
        if (writer >= 0)
            ::close(writer);
        FAIL() << "blocked on a FIFO";
    }
    done.get();
}
} // namespace

TEST(SafeFileMove, NeverReplacesWhateverIsAtTheTarget)
{
    for (const NamedMove& move : kMoves) {
        SCOPED_TRACE(move.name);
        QTemporaryDir dir;
        const QString source = writeFile(dir.filePath(u"a.png"_s), "source");

        const QString existing = writeFile(dir.filePath(u"existing.png"_s), "keep me");
        const QString dangling = dir.filePath(u"dangling.png"_s);
        ASSERT_TRUE(QFile::link(dir.filePath(u"nowhere"_s), dangling));
        const QString folder = dir.filePath(u"folder.png"_s);
        ASSERT_TRUE(QDir().mkpath(folder));

        for (const QString& target : {existing, dangling, folder}) {
            const Outcome outcome = move.move(source, target);
            EXPECT_FALSE(outcome.ok()) << target.toStdString();
            EXPECT_FALSE(outcome.error.isEmpty());
        }
        EXPECT_EQ(contentOf(source), "source");
        EXPECT_EQ(contentOf(existing), "keep me");
        EXPECT_TRUE(QFileInfo(dangling).isSymLink());
        EXPECT_TRUE(QFileInfo(folder).isDir());
        EXPECT_EQ(entriesOf(dir.path()).size(), 4) << entriesOf(dir.path()).join(u", "_s).toStdString();
    }
}

TEST(SafeFileMove, MovesTheFileAndKeepsModeAndTimesWhenCopying)
{
    for (const NamedMove& move : kMoves) {
        SCOPED_TRACE(move.name);
        QTemporaryDir dir;
        const QString source = writeFile(dir.filePath(u"a.png"_s), QByteArray(300'000, 'x') + "end");
        ::chmod(QFile::encodeName(source).constData(), 0640);
        const SafeFile::FileTimes old{1'600'000'000'123'456'789, 1'500'000'000'987'654'321};
        ASSERT_TRUE(SafeFile::setTimes(source, old).ok());

        const QString target = dir.filePath(u"sub/b.png"_s);
        ASSERT_TRUE(SafeFile::makeFolder(dir.filePath(u"sub"_s)).ok());
        const Outcome outcome = move.move(source, target);
        ASSERT_TRUE(outcome.ok()) << outcome.error.toStdString();

        EXPECT_FALSE(QFileInfo::exists(source));
        EXPECT_TRUE(contentOf(target).endsWith("end"));
        EXPECT_EQ(contentOf(target).size(), 300'003);
        EXPECT_EQ(QFileInfo(target).permissions() & QFile::ReadGroup, QFile::ReadGroup);
        EXPECT_EQ(SafeFile::timesOf(target)->modifiedNs, old.modifiedNs);
        EXPECT_EQ(entriesOf(dir.filePath(u"sub"_s)), QStringList{u"b.png"_s}); // no temporary left
    }
}

TEST(SafeFileMove, AcrossFileSystemsCopiesWithModeAndTimesAndNeverReplaces)
{
    QTemporaryDir here;
    const auto elsewhere = otherDeviceFolder(here.path());
    if (!elsewhere)
        GTEST_SKIP() << "no second file system to move across";
    QTemporaryDir there(*elsewhere + u"/safe-file-XXXXXX"_s);
    ASSERT_TRUE(there.isValid());

    const QString source = writeFile(here.filePath(u"a.png"_s), "pixels");
    ::chmod(QFile::encodeName(source).constData(), 0600);
    const SafeFile::FileTimes old{1'400'000'000'000'000'000, 1'300'000'000'500'000'000};
    ASSERT_TRUE(SafeFile::setTimes(source, old).ok());

    const QString taken = writeFile(there.filePath(u"taken.png"_s), "other");
    EXPECT_FALSE(SafeFile::moveNoReplace(source, taken).ok());
    EXPECT_EQ(contentOf(taken), "other");

    const QString target = there.filePath(u"a.png"_s);
    const Outcome outcome = SafeFile::moveNoReplace(source, target);
    ASSERT_TRUE(outcome.ok()) << outcome.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(source));
    EXPECT_EQ(SafeFile::timesOf(target), old); // before reading it changes the access time
    EXPECT_EQ(contentOf(target), "pixels");
    struct stat info
    {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(entriesOf(there.path()).size(), 2);
}

// Once the copy is placed the file has moved: a folder entry that cannot be
// flushed afterwards is told, but neither fails the move nor leaves a second
// copy behind.
TEST(SafeFileMove, APlacedCopyCountsAsMovedWhenItsFolderCannotBeFlushed)
{
    QTemporaryDir dir;
    const QString source = writeFile(dir.filePath(u"a.png"_s), "pixels");
    QDir().mkpath(dir.filePath(u"sub"_s));
    const QString target = dir.filePath(u"sub/a.png"_s);
    QStringList flushed;
    const Outcome outcome = SafeFile::copyThenRemoveWith(source, target, [&](const QString& path) {
        flushed.append(path);
        return Outcome::failed(u"flush refused"_s);
    });
    EXPECT_TRUE(outcome.ok()) << outcome.error.toStdString();
    EXPECT_TRUE(outcome.warning.contains(u"flush refused"_s)) << outcome.warning.toStdString();
    EXPECT_EQ(contentOf(target), "pixels");
    EXPECT_FALSE(QFileInfo::exists(source));
    EXPECT_EQ(flushed, QStringList({target, source}));
    EXPECT_EQ(entriesOf(dir.filePath(u"sub"_s)), QStringList{u"a.png"_s}) << "no staged copy left";
}

TEST(SafeFileMove, RefusesSourcesThatAreNotRegularFiles)
{
    QTemporaryDir dir;
    const QString real = writeFile(dir.filePath(u"real.png"_s), "x");
    const QString link = dir.filePath(u"link.png"_s);
    ASSERT_TRUE(QFile::link(real, link));
    const QString folder = dir.filePath(u"folder.png"_s);
    ASSERT_TRUE(QDir().mkpath(folder));

    for (const NamedMove& move : kMoves) {
        for (const QString& source : {link, folder, dir.filePath(u"missing.png"_s)}) {
            SCOPED_TRACE(std::string(move.name) + " " + source.toStdString());
            EXPECT_FALSE(move.move(source, dir.filePath(u"moved.png"_s)).ok());
        }
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"moved.png"_s)));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

TEST(SafeFileRegular, FifoNamedLikeAnImageIsRefusedWithoutBlocking)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(u"x.png"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);

    expectReturnsPromptly([&] { EXPECT_FALSE(SafeFile::openRegular(fifo).has_value()); }, fifo);
    expectReturnsPromptly([&] { EXPECT_FALSE(SafeFile::readRegular(fifo).has_value()); }, fifo);
    expectReturnsPromptly([&] { EXPECT_FALSE(SafeFile::moveNoReplace(fifo, dir.filePath(u"y.png"_s)).ok()); }, fifo);
    expectReturnsPromptly([&] { EXPECT_FALSE(SafeFile::copyThenRemove(fifo, dir.filePath(u"y.png"_s)).ok()); }, fifo);
    EXPECT_FALSE(SafeFile::removeRegular(fifo).ok());
    EXPECT_FALSE(SafeFile::stampOf(fifo).has_value());
    EXPECT_TRUE(QFileInfo::exists(fifo));
}

TEST(SafeFileRegular, ReadsRegularFilesOnlyAndStampsTellChanges)
{
    QTemporaryDir dir;
    const QString file = writeFile(dir.filePath(u"a.png"_s), "first");
    const QString link = dir.filePath(u"link.png"_s);
    ASSERT_TRUE(QFile::link(file, link));

    QString error;
    EXPECT_EQ(SafeFile::readRegular(file, &error), QByteArray("first"));
    EXPECT_FALSE(SafeFile::readRegular(link, &error).has_value());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(SafeFile::readRegular(dir.path()).has_value());
    EXPECT_FALSE(SafeFile::stampOf(link).has_value());

    const auto before = SafeFile::stampOf(file);
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(SafeFile::openRegular(file)->stamp, *before);
    writeFile(file, "second!");
    ASSERT_TRUE(SafeFile::setTimes(file, {0, before->modifiedNs}).ok());
    EXPECT_NE(SafeFile::stampOf(file), before); // same time, other size
}

TEST(SafeFileRegular, AFolderLookupSeesOnlyRegularFilesBelowItsFolder)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(u"Shots"_s);
    ASSERT_TRUE(QDir().mkpath(base + u"/sub/x.png"_s));
    writeFile(base + u"/a.png"_s, "a");
    writeFile(base + u"/sub/b.png"_s, "b");
    ASSERT_TRUE(QFile::link(base + u"/a.png"_s, base + u"/link.png"_s));
    ASSERT_EQ(::mkfifo(QFile::encodeName(base + u"/pipe.png"_s).constData(), 0600), 0);

    const SafeFile::FolderLookup lookup(base);
    EXPECT_TRUE(lookup.isRegularFile(u"a.png"));
    EXPECT_TRUE(lookup.isRegularFile(u"sub/b.png"));
    for (const QStringView name : {u"link.png", u"pipe.png", u"sub/x.png", u"sub", u"gone.png", u""})
        EXPECT_FALSE(lookup.isRegularFile(name)) << name.toString().toStdString();

    // A folder that cannot be opened finds nothing in it.
    const SafeFile::FolderLookup missing(dir.filePath(u"Gone"_s));
    EXPECT_FALSE(missing.isRegularFile(u"a.png"));
}

TEST(SafeFileRegular, AFolderLookupAnswersManyThreadsAtOnce)
{
    QTemporaryDir dir;
    constexpr int folders = 40;
    constexpr int filesEach = 10;
    for (int f = 0; f < folders; ++f) {
        ASSERT_TRUE(QDir().mkpath(dir.filePath(u"d%1"_s.arg(f))));
        for (int i = 0; i < filesEach; ++i)
            writeFile(dir.filePath(u"d%1/f%2.png"_s.arg(f).arg(i)), "x");
    }
    const SafeFile::FolderLookup lookup(dir.path());
    std::atomic<int> wrong = 0;
    std::vector<std::thread> askers;
    for (int t = 0; t < 8; ++t)
        askers.emplace_back([&, t] {
            // Each thread walks the folders in its own order, so listings are
            // added while others are being read.
            for (int k = 0; k < folders; ++k) {
                const int f = (k * 7 + t * 5) % folders;
                for (int i = 0; i < filesEach; ++i)
                    wrong += !lookup.isRegularFile(u"d%1/f%2.png"_s.arg(f).arg(i));
                wrong += lookup.isRegularFile(u"d%1/none.png"_s.arg(f));
            }
        });
    for (std::thread& asker : askers)
        asker.join();
    EXPECT_EQ(wrong, 0);
}

TEST(SafeFileCreate, ExclusiveCreationCollidesWithAnythingThere)
{
    QTemporaryDir dir;
    const QString existing = writeFile(dir.filePath(u"a.heic"_s), "old");
    const QString dangling = dir.filePath(u"b.heic"_s);
    ASSERT_TRUE(QFile::link(dir.filePath(u"nowhere"_s), dangling));

    QString error;
    EXPECT_FALSE(SafeFile::createExclusive(existing, &error).has_value());
    EXPECT_TRUE(error.contains(u"already exists"_s)) << error.toStdString();
    EXPECT_FALSE(SafeFile::createExclusive(dangling).has_value());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"nowhere"_s))); // not created through the link
    EXPECT_FALSE(SafeFile::writeNewFile(existing, "new").ok());
    EXPECT_EQ(contentOf(existing), "old");

    const QString fresh = dir.filePath(u"c.heic"_s);
    ASSERT_TRUE(SafeFile::writeNewFile(fresh, "rendition").ok());
    EXPECT_EQ(contentOf(fresh), "rendition");
    EXPECT_FALSE(SafeFile::writeNewFile(dir.filePath(u"missing/d.heic"_s), "x").ok());
}

TEST(SafeFileWrite, AtomicWriteReplacesWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const QString history = writeFile(dir.filePath(u"organize_history.json"_s), R"({"old":true})");

    const Outcome abandoned = SafeFile::writeAtomically(history, [](QIODevice& device) {
        device.write(R"({"new":)");
        return false; // fails half-way
    });
    EXPECT_FALSE(abandoned.ok());
    EXPECT_EQ(contentOf(history), R"({"old":true})");

    ASSERT_TRUE(SafeFile::writeAtomically(history, QByteArray(R"({"new":true})")).ok());
    EXPECT_EQ(contentOf(history), R"({"new":true})");

    const QString created = dir.filePath(u"organize_undo.json"_s);
    ASSERT_TRUE(SafeFile::writeAtomically(created, QByteArray("{}")).ok());
    EXPECT_EQ(entriesOf(dir.path()), (QStringList{u"organize_history.json"_s, u"organize_undo.json"_s}));

    EXPECT_FALSE(SafeFile::writeAtomically(dir.filePath(u"missing/x.json"_s), QByteArray("{}")).ok());
}

TEST(SafeFileFolders, MakeFolderAndRemoveActOnlyOnWhatTheyShould)
{
    QTemporaryDir dir;
    EXPECT_TRUE(SafeFile::makeFolder(dir.filePath(u"GLIMMERDECK/2025/03-March"_s)).ok());
    EXPECT_TRUE(SafeFile::makeFolder(dir.filePath(u"GLIMMERDECK/2025"_s)).ok());
    const QString file = writeFile(dir.filePath(u"GLIMMERDECK/2024"_s), "a file");
    EXPECT_FALSE(SafeFile::makeFolder(file).ok());
    EXPECT_FALSE(SafeFile::makeFolder(file + u"/01-January"_s).ok());

    const QString link = dir.filePath(u"link.png"_s);
    ASSERT_TRUE(QFile::link(file, link));
    EXPECT_FALSE(SafeFile::removeRegular(link).ok());
    EXPECT_FALSE(SafeFile::removeRegular(dir.filePath(u"GLIMMERDECK/2025"_s)).ok());
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(SafeFile::removeRegular(file).ok());
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST(SafeFileContainment, EveryToolInputMustLieCleanlyInsideTheFolder)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"Desktop"_s);
    ASSERT_TRUE(QDir().mkpath(folder + u"/sub"_s));
    QTemporaryDir outside;
    ASSERT_TRUE(QFile::link(outside.path(), folder + u"/escape"_s));
    ASSERT_TRUE(QFile::link(outside.filePath(u"later"_s), folder + u"/dangling"_s));

    const struct
    {
        QString path;
        bool allowed;
    } cases[] = {
        {folder + u"/a.png"_s, true},
        {folder + u"/sub/a.png"_s, true},
        {folder + u"/sub/deeper/a.png"_s, true}, // parent need not exist yet
        {folder + u"2/a.png"_s, false},
        {folder + u"_x/a.png"_s, false},
        {folder + u"/../a.png"_s, false},
        {folder + u"/sub/../a.png"_s, false},
        {folder + u"//a.png"_s, false},
        {folder + u"/./a.png"_s, false},
        {folder, false},
        {u"Desktop/a.png"_s, false},
        {folder + u"/escape/a.png"_s, false},
        {folder + u"/escape/new/a.png"_s, false},
        {folder + u"/dangling/a.png"_s, false},
        {QString(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeFile::checkInside(c.path, folder).ok(), c.allowed) << c.path.toStdString();
    EXPECT_FALSE(SafeFile::checkInside(folder + u"/a.png"_s, QString()).ok());
    EXPECT_TRUE(SafeFile::checkInside(folder + u"/a.png"_s, folder + u"/"_s).ok());
}

TEST(FaultyFileOps, FailsExactlyTheChosenStepAndTouchesNothing)
{
    QTemporaryDir dir;
    FaultyFileOps ops;
    ops.failNth(FaultyFileOps::Step::Move, 2);
    const QString a = writeFile(dir.filePath(u"a.png"_s), "a");
    const QString b = writeFile(dir.filePath(u"b.png"_s), "b");

    EXPECT_TRUE(ops.move(a, dir.filePath(u"a2.png"_s)).ok());
    const Outcome failed = ops.move(b, dir.filePath(u"b2.png"_s));
    EXPECT_TRUE(failed.error.startsWith(u"Injected failure"_s));
    EXPECT_TRUE(QFileInfo::exists(b));
    EXPECT_EQ(ops.calls(FaultyFileOps::Step::Move), 2);

    ops.failWhen([](FaultyFileOps::Step step, const QString& path) {
        return step == FaultyFileOps::Step::Write && path.endsWith(u".json"_s);
    });
    EXPECT_FALSE(ops.write(dir.filePath(u"h.json"_s), "{}", FileOps::Write::Replace).ok());
    EXPECT_TRUE(ops.write(dir.filePath(u"r.heic"_s), "x", FileOps::Write::CreateNew).ok());
    EXPECT_FALSE(ops.write(dir.filePath(u"r.heic"_s), "y", FileOps::Write::CreateNew).ok());
    EXPECT_EQ(contentOf(dir.filePath(u"r.heic"_s)), "x");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"h.json"_s)));
}
