#include "core/LargeBlocks.h"

#include <QCoreApplication>

#include <atomic>

#include <malloc.h>

namespace {
// Measured after a run of 200 screenshots and three photographs, idle with
// the models let go: ~55 MB over a fresh start at 1 MB, ~90 MB at 4 MB,
// ~170 MB at 16 MB, ~400 MB left to glibc; the mappings cost ~1.5 % more
// processor time.
constexpr int largeBlockBytes = 1 << 20;
// A picture up to a 2880 × 1800 screen and the recognition buffers of its
// longest lines; peak memory of a run on eight cores ~750–820 MB with it.
constexpr int heldBlockBytes = 16 << 20;

enum class Blocks { leftToGlibc, returned, held };
std::atomic<Blocks> g_blocks{Blocks::leftToGlibc};

// Only the newest request's wait gives pages back; both live on the GUI thread.
quint64 g_quietRequests = 0;
int g_quietReturns = 0;
} // namespace

void returnLargeBlocksToSystem()
{
    // A fixed threshold also turns glibc's dynamic raising off.
    mallopt(M_MMAP_THRESHOLD, largeBlockBytes);
    g_blocks = Blocks::returned;
}

void holdLargeBlocksWhileAnalysing()
{
    Blocks expected = Blocks::returned;
    if (g_blocks.compare_exchange_strong(expected, Blocks::held))
        mallopt(M_MMAP_THRESHOLD, heldBlockBytes);
}

void returnHeldLargeBlocks()
{
    Blocks expected = Blocks::held;
    if (g_blocks.compare_exchange_strong(expected, Blocks::returned))
        mallopt(M_MMAP_THRESHOLD, largeBlockBytes);
    returnFreePagesToSystem();
}

void returnFreePagesToSystem()
{
    malloc_trim(0);
}

void returnFreePagesWhenQuiet(Scheduler& scheduler)
{
    if (!QCoreApplication::instance())
        return;
    const quint64 request = ++g_quietRequests;
    scheduler.runAfter(freePagesQuietPeriod, QCoreApplication::instance(), [request] {
        if (request != g_quietRequests)
            return;
        // A few milliseconds for a few hundred MB, nothing else being busy.
        returnFreePagesToSystem();
        ++g_quietReturns;
    });
}

int quietFreePagesReturns()
{
    return g_quietReturns;
}
