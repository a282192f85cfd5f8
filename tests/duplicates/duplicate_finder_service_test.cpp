#include "DuplicateCorpus.h"
#include "duplicates/DuplicateFinderService.h"
#include "support/Capture.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include <pthread.h>

using namespace Qt::StringLiterals;
using Group = DuplicateFinderService::DuplicateGroup;
using Result = DuplicateFinderService::DuplicateAnalysisResult;

namespace {
using Progress = QList<std::pair<int, int>>;

// The application's pool of file readers, this test's own.
Workers::Pool& readers()
{
    static Workers::Pool pool(u"duplicate-reads"_s, Workers::duplicateReadThreads);
    return pool;
}

struct Analysis
{
    Result result;
    Progress progress;
};

Analysis analyse(const QList<Screenshot>& list, DuplicateFinderService::Options options = {})
{
    Analysis run;
    run.result = DuplicateFinderService(readers()).findDuplicates(
        list,
        [&](int current, int total) {
            run.progress.append({current, total});
        },
        options);
    return run;
}

// The analysis of a corpus that holds FIFOs, given a few seconds: a reader
// that blocked on one is let go again so that the test can fail rather than
// hang.
std::optional<Analysis> analyseWithin(const DuplicateCorpus& corpus, DuplicateFinderService::Options options = {})
{
    auto done = std::async(std::launch::async, [&] { return analyse(corpus.list(), options); });
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
        return done.get();
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        for (const QString& fifo : corpus.fifos())
            DuplicateCorpus::releaseFifo(fifo);
    }
    return std::nullopt;
}

// The groups as sets of member ids, for comparing without regard to order.
QSet<QSet<QUuid>> memberSets(const QList<Group>& groups)
{
    QSet<QSet<QUuid>> sets;
    for (const Group& group : groups) {
        QSet<QUuid> ids;
        for (const Screenshot& member : group.screenshots)
            ids.insert(member.id);
        sets.insert(ids);
    }
    return sets;
}

// Brute force: every listed regular file read whole, one member per file
// (first listing wins), grouped by equal bytes.
QSet<QSet<QUuid>> oracleGroups(const QList<Screenshot>& list, qint64* savings, int* duplicates)
{
    QHash<QByteArray, QList<QUuid>> byContent;
    QSet<QString> seenFiles;
    for (const Screenshot& screenshot : list) {
        const QFileInfo info(screenshot.filePath);
        if (info.isSymLink() || !info.isFile())
            continue;
        const QString identity = DuplicateCorpus::inodeKey(screenshot.filePath);
        if (seenFiles.contains(identity))
            continue;
        seenFiles.insert(identity);
        QFile file(screenshot.filePath);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        byContent[file.readAll()].append(screenshot.id);
    }
    QSet<QSet<QUuid>> sets;
    *savings = 0;
    *duplicates = 0;
    for (auto it = byContent.cbegin(); it != byContent.cend(); ++it) {
        if (it->size() < 2)
            continue;
        sets.insert(QSet<QUuid>(it->cbegin(), it->cend()));
        *duplicates += int(it->size() - 1);
        *savings += qint64(it->size() - 1) * it.key().size();
    }
    return sets;
}

QByteArray sha256Hex(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

Progress expectedProgress(int total)
{
    Progress expected;
    for (int i = 0; i < total; i += 10)
        expected.append({i, total});
    expected.append({total, total});
    return expected;
}
} // namespace

TEST(DuplicateFinderService, RandomCorpusMatchesBruteForceWhateverTheReadersAndComparison)
{
    for (const quint32 seed : {1u, 2u, 3u}) {
        DuplicateCorpus corpus(seed);
        corpus.plantRandomLibrary(60);
        corpus.plantAwkwardMembers();
        qint64 savings = 0;
        int duplicates = 0;
        const auto expected = oracleGroups(corpus.list(), &savings, &duplicates);
        ASSERT_GE(expected.size(), 5);

        const DuplicateFinderService::Options variants[] = {{1, false}, {1, true}, {2, true}, {4, true}};
        for (const auto& options : variants) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " readers " << options.readers << " compareFirst "
                                            << options.compareFirst);
            ConsoleCapture console;
            const std::optional<Analysis> analysed = analyseWithin(corpus, options);
            ASSERT_TRUE(analysed) << "the analysis blocked on a FIFO";
            const Analysis& run = *analysed;
            EXPECT_EQ(memberSets(run.result.groups), expected);
            EXPECT_EQ(run.result.totalDuplicates, duplicates);
            EXPECT_EQ(run.result.totalSavings, savings);
            for (qsizetype i = 0; i < run.result.groups.size(); ++i) {
                const Group& group = run.result.groups[i];
                EXPECT_EQ(group.hash.toLatin1(), sha256Hex(group.screenshots.first().filePath));
                EXPECT_EQ(group.fileSize, QFileInfo(group.screenshots.first().filePath).size());
                EXPECT_EQ(group.stamps.size(), group.screenshots.size());
                if (i > 0) { // largest reclaimable space first
                    EXPECT_GE(DuplicateFinderService::reclaimableBytes(run.result.groups[i - 1]),
                              DuplicateFinderService::reclaimableBytes(group));
                }
                // Members keep the order of the analysed list.
                EXPECT_LT(corpus.indexOf(group.screenshots[0].id), corpus.indexOf(group.screenshots[1].id));
            }
            EXPECT_EQ(run.progress.first(), std::make_pair(0, run.progress.last().second));
            EXPECT_EQ(run.progress, expectedProgress(run.progress.last().second));
        }
    }
}

TEST(DuplicateFinderService, OneFileIsOneMemberHoweverItIsReached)
{
    DuplicateCorpus corpus(7);
    const Screenshot original = corpus.add(u"a.png"_s, "same bytes");
    corpus.addHardLink(u"a-link.png"_s, original);
    corpus.addSymlink(u"a-symlink.png"_s, original);
    corpus.addListing(original.filePath); // the same path again
    corpus.addListing(corpus.folder() + u"/./a.png"_s);

    const Analysis run = analyse(corpus.list());
    EXPECT_TRUE(run.result.groups.isEmpty());

    const Screenshot copy = corpus.add(u"b.png"_s, "same bytes");
    const Analysis withCopy = analyse(corpus.list());
    ASSERT_EQ(withCopy.result.groups.size(), 1);
    EXPECT_EQ(memberSets(withCopy.result.groups), (QSet<QSet<QUuid>>{{original.id, copy.id}}));
}

TEST(DuplicateFinderService, FifoNamedLikeAnImageDoesNotBlock)
{
    DuplicateCorpus corpus(9);
    corpus.add(u"a.png"_s, "x");
    corpus.add(u"b.png"_s, "x");
    corpus.addFifo(u"pipe.png"_s);
    corpus.addFifo(u"pipe2.png"_s);

    const std::optional<Analysis> run = analyseWithin(corpus);
    ASSERT_TRUE(run) << "the analysis blocked on a FIFO";
    EXPECT_EQ(run->result.groups.size(), 1);
}

TEST(DuplicateFinderService, ConsoleLinesAndTotalsOfThreeCopiesAndAStranger)
{
    DuplicateCorpus corpus(11);
    const QByteArray bytes(1000, 'k');
    for (const QString& name : {u"1.png"_s, u"2.png"_s, u"3.png"_s})
        corpus.add(name, bytes);
    corpus.add(u"other.png"_s, "different length");

    ConsoleCapture console;
    const Analysis run = analyse(corpus.list());
    ASSERT_EQ(run.result.groups.size(), 1);
    EXPECT_EQ(run.result.groups[0].screenshots.size(), 3);
    EXPECT_EQ(run.result.groups[0].fileSize, 1000);
    EXPECT_EQ(run.result.totalDuplicates, 2);
    EXPECT_EQ(run.result.totalSavings, 2000);

    const QStringList lines = console.lines();
    ASSERT_EQ(lines.size(), 11) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.mid(0, 10), (QStringList{
                                    u"🔍 DUPLICATES: Starting analysis of 4 files"_s,
                                    u"📊 DUPLICATES: Phase 1 - Grouping by size..."_s,
                                    u"   → 2 size groups found"_s,
                                    u"   → 3 files need hashing (1 skipped)"_s,
                                    u"🔐 DUPLICATES: Phase 2 - Computing hashes..."_s,
                                    u"📦 DUPLICATES: Phase 3 - Building duplicate groups..."_s,
                                    u"✅ DUPLICATES: Analysis complete!"_s,
                                    u"   → Found 1 duplicate groups"_s,
                                    u"   → 2 duplicate files"_s,
                                    u"   → 2 KB can be saved"_s,
                                }));
    EXPECT_TRUE(QRegularExpression(u"^   → Analysis took \\d+\\.\\d\\ds$"_s).match(lines.last()).hasMatch())
        << lines.last().toStdString();
}

TEST(DuplicateFinderService, GroupsSortByReclaimableSpaceWithEmptyFilesLast)
{
    DuplicateCorpus corpus(13);
    const QByteArray big(5000, 'b');
    const QByteArray small(1000, 's');
    corpus.add(u"e1.png"_s, {});
    corpus.add(u"e2.png"_s, {});
    for (int i = 0; i < 4; ++i)
        corpus.add(u"s%1.png"_s.arg(i), small);
    corpus.add(u"b1.png"_s, big);
    corpus.add(u"b2.png"_s, big);

    const Analysis run = analyse(corpus.list());
    ASSERT_EQ(run.result.groups.size(), 3);
    const QList<qint64> keys{DuplicateFinderService::reclaimableBytes(run.result.groups[0]),
                             DuplicateFinderService::reclaimableBytes(run.result.groups[1]),
                             DuplicateFinderService::reclaimableBytes(run.result.groups[2])};
    EXPECT_EQ(keys, (QList<qint64>{5000, 3000, 0}));
    EXPECT_EQ(run.result.totalSavings, 8000);
}

TEST(DuplicateFinderService, NothingToHashReportsOnlyZeroOfZero)
{
    const struct
    {
        const char* name;
        QList<QByteArray> contents;
        int groups;
    } cases[] = {
        {"empty list", {}, 0},
        {"all sizes differ", {"a", "bb", "ccc"}, 0},
        {"same size, other content", {"abc", "abd"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DuplicateCorpus corpus(17);
        for (qsizetype i = 0; i < c.contents.size(); ++i)
            corpus.add(u"f%1.png"_s.arg(i), c.contents[i]);
        ConsoleCapture console;
        const Analysis run = analyse(corpus.list());
        EXPECT_EQ(run.result.groups.size(), c.groups);
        EXPECT_EQ(run.result.totalSavings, 0);
        const int hashed = c.contents.size() == 2 ? 2 : 0;
        EXPECT_EQ(run.progress, expectedProgress(hashed));
        EXPECT_TRUE(console.contains(u"   → Zero KB can be saved"_s));
    }
}

TEST(DuplicateFinderService, UnreadableFilesAreNamedAndLeftOut)
{
    DuplicateCorpus corpus(19);
    // A vanished file counts as size 0, so it is read beside the empty file.
    corpus.add(u"a.png"_s, {});
    const Screenshot gone = corpus.add(u"b.png"_s, {});
    QFile::remove(gone.filePath);

    ConsoleCapture console;
    const Analysis run = analyse(corpus.list());
    EXPECT_TRUE(run.result.groups.isEmpty());
    EXPECT_TRUE(console.contains(u"⚠️ DUPLICATES: Cannot open file: "_s + gone.filePath));
}

// Files are read on the thread the analysis runs on and on the readers'
// threads while they are free, never on threads of the finder's own.
TEST(DuplicateFinderService, ReadsOnTheAnalysingThreadAndTheReadersGivenOnly)
{
    DuplicateCorpus corpus(31);
    constexpr int pairs = 100;
    for (int i = 0; i < pairs; ++i) {
        const QByteArray bytes(100 + i, char('a' + i % 26));
        corpus.add(u"p%1.png"_s.arg(i), bytes);
        corpus.add(u"q%1.png"_s.arg(i), bytes);
    }
    const QString poolName = u"test-reads"_s;
    Workers::Pool pool(poolName, Workers::duplicateReadThreads);
    const auto currentThread = [] {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        return std::pair{std::this_thread::get_id(), QString::fromLatin1(name)};
    };
    const auto threadsReporting = [&] {
        QList<std::pair<std::thread::id, QString>> threads;
        const Result result =
            DuplicateFinderService(pool).findDuplicates(corpus.list(),
                                                        [&](int, int) {
                                                            threads.append(currentThread());
                                                            // Holds the others up, so that each thread comes to report.
                                                            std::this_thread::sleep_for(std::chrono::milliseconds(5));
                                                        },
                                                        {4, true});
        EXPECT_EQ(result.groups.size(), pairs);
        threads.removeAll(currentThread());
        return threads;
    };

    const auto helped = threadsReporting();
    EXPECT_FALSE(helped.isEmpty()) << "the free readers took part";
    for (const auto& [id, name] : helped)
        EXPECT_EQ(name.toStdString(), poolName.toStdString());

    // Every reader busy: the analysing thread reads alone.
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    for (int i = 0; i < Workers::duplicateReadThreads; ++i)
        pool.start([released] { released.wait(); });
    EXPECT_TRUE(threadsReporting().isEmpty());
    release.set_value();
    pool.waitForDone();
}

TEST(DuplicateFinderService, TwentyFiveToHashReportEveryTenth)
{
    DuplicateCorpus corpus(23);
    for (int i = 0; i < 25; ++i)
        corpus.add(u"f%1.png"_s.arg(i), QByteArray(100, char('a' + i % 5)));
    for (const int readers : {1, 4}) {
        const Analysis run = analyse(corpus.list(), {readers, true});
        EXPECT_EQ(run.progress, (Progress{{0, 25}, {10, 25}, {20, 25}, {25, 25}}));
        EXPECT_EQ(run.result.groups.size(), 5);
    }
}

TEST(DuplicateFinderService, NewestAndOldestBreakTiesByListOrder)
{
    const QDateTime early(QDate(2024, 1, 1), QTime(9, 0));
    const QDateTime late(QDate(2024, 6, 1), QTime(9, 0));
    const auto member = [](const char* name, const QDateTime& date) {
        Screenshot screenshot;
        screenshot.id = QUuid::createUuid();
        screenshot.filename = QString::fromLatin1(name);
        screenshot.dateCreated = date;
        return screenshot;
    };
    const struct
    {
        QList<Screenshot> members;
        const char* newest;
        const char* oldest;
    } cases[] = {
        {{member("a", early), member("b", early)}, "a", "a"},
        {{member("a", early), member("b", late), member("c", late)}, "b", "a"},
        {{member("a", late), member("b", early), member("c", early)}, "a", "b"},
    };
    for (const auto& c : cases) {
        Group group;
        group.screenshots = c.members;
        EXPECT_EQ(group.newestScreenshot().filename, QLatin1String(c.newest));
        EXPECT_EQ(group.oldestScreenshot().filename, QLatin1String(c.oldest));
    }
}

TEST(DuplicateFinderService, MoreSameSizeFilesThanCanBeHeldOpenStillGroupRight)
{
    // 150 files of one size: triples that differ from one another early or
    // only late, and every fifth file alone.
    DuplicateCorpus corpus(29);
    const int size = 200'000;
    for (int i = 0; i < 150; ++i) {
        QByteArray bytes(size, 'z');
        const int set = i % 5 == 4 ? 1000 + i : i / 3;
        bytes[set % 2 ? 10 : size - 10] = char(set);
        bytes[size / 2] = char(set / 7);
        corpus.add(u"same-%1.png"_s.arg(i), bytes);
    }
    qint64 savings = 0;
    int duplicates = 0;
    const auto expected = oracleGroups(corpus.list(), &savings, &duplicates);
    ASSERT_GE(expected.size(), 30);
    for (const bool compareFirst : {true, false}) {
        const Analysis run = analyse(corpus.list(), {2, compareFirst});
        EXPECT_EQ(memberSets(run.result.groups), expected);
        EXPECT_EQ(run.result.totalSavings, savings);
    }
}

// A file appended to after the sizes were taken, read beside a file of the
// old size: the shorter one ends first, and the grown one must not be called
// its duplicate for the bytes they share (whichever is listed first).
TEST(DuplicateFinderService, AFileThatGrewBetweenSizingAndHashingIsNoDuplicate)
{
    const QByteArray block(64 * 1024, 'x');
    for (const bool compareFirst : {true, false}) {
        for (const bool grownFirst : {false, true}) {
            SCOPED_TRACE(testing::Message() << "compareFirst " << compareFirst << " grownFirst " << grownFirst);
            DuplicateCorpus corpus(11);
            const Screenshot kept = corpus.add(u"kept.png"_s, block);
            const Screenshot grown = corpus.add(u"grown.png"_s, block);
            const QList<Screenshot> list = grownFirst ? QList{grown, kept} : QList{kept, grown};
            bool appended = false;
            const Result result =
                DuplicateFinderService(readers()).findDuplicates(list,
                                                                 [&](int current, int) {
                                                                     if (current != 0 || appended)
                                                                         return;
                                                                     QFile file(grown.filePath);
                                                                     ASSERT_TRUE(file.open(QIODevice::Append));
                                                                     file.write("and a little more");
                                                                     appended = true;
                                                                 },
                                                                 {1, compareFirst});
            ASSERT_TRUE(appended);
            EXPECT_TRUE(result.groups.isEmpty());
        }
    }
}
