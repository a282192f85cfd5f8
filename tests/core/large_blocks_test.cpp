// Large blocks freed on a worker thread leave nothing resident, even after
// a large block freed earlier would have raised the allocator's threshold
// and with small blocks still alive among them; blocks held for reuse during
// an analysis run are given back once it ends, and pages freed while
// browsing once it pauses.

#include "core/LargeBlocks.h"
#include "support/ManualScheduler.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <thread>
#include <vector>

namespace {
double anonymousResidentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

void* touchedBlock(size_t bytes)
{
    void* block = std::malloc(bytes);
    std::memset(block, 0x5a, bytes);
    asm volatile("" : : "g"(block) : "memory"); // kept, not optimised away
    return block;
}
} // namespace

TEST(LargeBlocks, FreedOnAWorkerThreadAmongSurvivorsTheyLeaveNothingResident)
{
    returnLargeBlocksToSystem();
    std::free(touchedBlock(8 << 20));

    std::thread worker([] {
        const double before = anonymousResidentMB();
        ASSERT_GE(before, 0);
        std::vector<void*> pictures;
        std::vector<void*> survivors;
        for (int i = 0; i < 40; ++i) {
            pictures.push_back(touchedBlock(3 << 20));
            survivors.push_back(touchedBlock(256));
        }
        EXPECT_GT(anonymousResidentMB() - before, 100);
        for (void* picture : pictures)
            std::free(picture);
        EXPECT_LT(anonymousResidentMB() - before, 16);
        for (void* survivor : survivors)
            std::free(survivor);
    });
    worker.join();
}

namespace {
// Whether a block of `bytes` gets a mapping of its own.
bool isMappedAlone(size_t bytes)
{
    const size_t mappedBefore = mallinfo2().hblks;
    void* block = touchedBlock(bytes);
    const bool mapped = mallinfo2().hblks > mappedBefore;
    std::free(block);
    return mapped;
}
} // namespace

TEST(LargeBlocks, HeldWhileAnalysingAndGivenBackAfterwards)
{
    returnLargeBlocksToSystem();
    EXPECT_TRUE(isMappedAlone(4 << 20));
    holdLargeBlocksWhileAnalysing();
    holdLargeBlocksWhileAnalysing(); // every file asks; once is enough
    EXPECT_FALSE(isMappedAlone(4 << 20));
    EXPECT_TRUE(isMappedAlone(32 << 20)) << "a block above the held size is still mapped alone";

    std::thread worker([] {
        const double before = anonymousResidentMB();
        std::vector<void*> pictures;
        std::vector<void*> survivors;
        for (int i = 0; i < 40; ++i) {
            pictures.push_back(touchedBlock(3 << 20));
            survivors.push_back(touchedBlock(256));
        }
        for (void* picture : pictures)
            std::free(picture);
        // Much of it kept for the next picture while the run goes on...
        EXPECT_GT(anonymousResidentMB() - before, 32);
        returnHeldLargeBlocks();
        // ...and given back when it ends, survivors and all.
        EXPECT_LT(anonymousResidentMB() - before, 16);
        for (void* survivor : survivors)
            std::free(survivor);
    });
    worker.join();
    EXPECT_TRUE(isMappedAlone(4 << 20));
}

TEST(LargeBlocks, BrowsingGivesFreePagesBackOnceWhenItPauses)
{
    ManualScheduler scheduler;
    const int returns = quietFreePagesReturns();
    for (int search = 0; search < 5; ++search) {
        returnFreePagesWhenQuiet(scheduler);
        scheduler.advance(freePagesQuietPeriod / 2);
    }
    EXPECT_EQ(quietFreePagesReturns(), returns) << "not while browsing goes on";
    scheduler.advance(freePagesQuietPeriod);
    EXPECT_EQ(quietFreePagesReturns(), returns + 1);
    scheduler.advance(freePagesQuietPeriod * 3);
    EXPECT_EQ(quietFreePagesReturns(), returns + 1);
}
