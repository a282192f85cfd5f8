// The pieces that let idle analysis threads help: the pool sizes, leases of
// costly objects, parts of one thread's work taken on by others, and the
// processor time those threads spend on one piece of work.

#include "core/CpuAccount.h"
#include "core/LeasePool.h"
#include "core/SharedWork.h"
#include "core/Workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace std::chrono_literals;

void PrintTo(const Workers::AnalysisSizes& sizes, std::ostream* out)
{
    *out << sizes.threads << " threads, " << sizes.engines << " engines, " << sizes.networks << " networks";
}

TEST(AnalysisSizes, FollowTheCoresWithinAnEighthOfTheMemory)
{
    struct Case
    {
        int cores;
        qint64 physicalMB;
        Workers::AnalysisSizes expected;
    };
    const Case cases[] = {
        // Four files of a batch at once even where two engines serve them.
        {1, 2048, {.threads = 4, .engines = 2, .networks = 1}},
        // Two networks on two cores: the labels of a batch not read one after another.
        {2, 4096, {.threads = 4, .engines = 2, .networks = 2}},
        {4, 8192, {.threads = 4, .engines = 4, .networks = 2}},
        {8, 24576, {.threads = 8, .engines = 8, .networks = 4}},
        {32, 65536, {.threads = 32, .engines = 32, .networks = 4}},
        {64, 262144, {.threads = 32, .engines = 32, .networks = 4}},
        // Little memory: fewer networks first, then fewer engines.
        {8, 2048, {.threads = 4, .engines = 3, .networks = 1}},
        {32, 8192, {.threads = 15, .engines = 15, .networks = 4}},
        // Unknown memory counts as 4 GB.
        {8, 0, {.threads = 7, .engines = 7, .networks = 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cores << " cores, " << c.physicalMB << " MB");
        EXPECT_EQ(Workers::AnalysisSizes::forMachine(c.cores, c.physicalMB), c.expected);
    }
}

namespace {
struct Counted
{
    explicit Counted(std::atomic<int>& alive)
        : m_alive(alive)
    {
        ++m_alive;
    }
    ~Counted() { --m_alive; }
    std::atomic<int>& m_alive;
};

// Waits up to 5 s for `condition`, polling; for conditions that other
// threads make true.
bool eventually(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}
} // namespace

TEST(LeasePool, NeverHoldsMoreThanItsLimitAndReusesWhatItMade)
{
    std::atomic<int> alive{0};
    std::atomic<int> made{0};
    LeasePool<Counted> pool(3, [&](QString*) {
        ++made;
        return std::make_unique<Counted>(alive);
    });
    std::atomic<int> leased{0};
    std::atomic<int> mostLeased{0};
    std::vector<std::future<void>> callers;
    for (int t = 0; t < 8; ++t) {
        callers.push_back(std::async(std::launch::async, [&] {
            for (int i = 0; i < 50; ++i) {
                auto lease = pool.acquire();
                const int now = ++leased;
                for (int seen = mostLeased; now > seen && !mostLeased.compare_exchange_weak(seen, now);)
                    ;
                std::this_thread::yield();
                --leased;
            }
        }));
    }
    for (auto& caller : callers)
        caller.get();
    EXPECT_LE(mostLeased, 3);
    EXPECT_LE(made, 3);
    EXPECT_EQ(alive, pool.existing());
}

TEST(LeasePool, ReleasingLetsIdleObjectsGoAtOnceAndLeasedOnesWhenReturned)
{
    std::atomic<int> alive{0};
    LeasePool<Counted> pool(4, [&](QString*) { return std::make_unique<Counted>(alive); });
    {
        auto a = pool.acquire();
        auto b = pool.acquire();
    }
    auto out = pool.acquire();
    ASSERT_EQ(alive, 2);

    pool.releaseIdle();
    EXPECT_EQ(alive, 1) << "the idle one goes";
    auto afterwards = pool.acquire(); // made anew, kept when returned
    EXPECT_EQ(alive, 2);
    out = {};
    EXPECT_EQ(alive, 1) << "the one out at the release goes when it comes back";
    afterwards = {};
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(pool.existing(), 1);
}

TEST(LeasePool, AFailedMakeGivesAnEmptyLeaseWithTheReasonAndFreesItsPlace)
{
    bool fail = true;
    std::atomic<int> alive{0};
    LeasePool<Counted> pool(1, [&](QString* error) -> std::unique_ptr<Counted> {
        if (fail) {
            *error = QStringLiteral("no model");
            return nullptr;
        }
        return std::make_unique<Counted>(alive);
    });
    QString error;
    EXPECT_FALSE(pool.acquire(&error));
    EXPECT_EQ(error, QStringLiteral("no model"));
    fail = false;
    EXPECT_TRUE(pool.acquire()) << "the failure must not use up the only place";
}

class SharedWorkTest : public ::testing::Test
{
protected:
    Workers::Pool m_pool{QStringLiteral("analysis"), 4, true};
};

TEST_F(SharedWorkTest, IdleThreadsOfThePoolTakePartsWhileThePosterWorksToo)
{
    SharedWork work(&m_pool);
    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::thread::id> threads;
    std::vector<int> ran(64, 0);
    {
        SharedWork::Group group(work);
        for (int i = 0; i < 64; ++i) {
            group.post([&, i] {
                ++ran[size_t(i)];
                std::unique_lock lock(mutex);
                threads.insert(std::this_thread::get_id());
                changed.notify_all();
                // The first parts wait (boundedly) until a second thread joins in.
                changed.wait_for(lock, 2s, [&] { return threads.size() > 1; });
            });
        }
        group.wait();
    }
    EXPECT_EQ(ran, std::vector<int>(64, 1));
    EXPECT_GT(threads.size(), 1u);
    EXPECT_GT(work.helpedParts(), 0);
    m_pool.waitForDone();
}

TEST_F(SharedWorkTest, HelpersRunAtTheLowerPriority)
{
    SharedWork work(&m_pool);
    std::mutex mutex;
    std::vector<int> helperNiceness;
    const auto poster = std::this_thread::get_id();
    {
        SharedWork::Group group(work);
        for (int i = 0; i < 32; ++i) {
            group.post([&] {
                std::this_thread::sleep_for(1ms);
                if (std::this_thread::get_id() == poster)
                    return;
                std::lock_guard lock(mutex);
                helperNiceness.push_back(getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid))));
            });
        }
    }
    ASSERT_FALSE(helperNiceness.empty());
    for (int niceness : helperNiceness)
        EXPECT_GE(niceness, 10);
    m_pool.waitForDone();
}

TEST_F(SharedWorkTest, WithoutAPoolEveryPartRunsOnTheWaitingThread)
{
    SharedWork work(nullptr);
    std::set<std::thread::id> threads;
    SharedWork::Group group(work);
    for (int i = 0; i < 8; ++i)
        group.post([&] { threads.insert(std::this_thread::get_id()); });
    group.wait();
    EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(work.helpedParts(), 0);
}

TEST_F(SharedWorkTest, AStoppedGroupDropsItsWaitingPartsAndItsRunningPartSeesTheStop)
{
    SharedWork work(&m_pool);
    std::stop_source stop;
    std::atomic<int> started{0};
    std::atomic<bool> runningSawStop{false};
    {
        SharedWork::Group group(work, stop.get_token());
        for (int i = 0; i < 40; ++i) {
            group.post([&, token = stop.get_token()] {
                if (++started == 1) {
                    stop.request_stop();
                    runningSawStop = token.stop_requested();
                    return;
                }
                // A part already taken when the stop came: it may look.
                eventually([&] { return token.stop_requested(); });
            });
        }
        group.wait();
    }
    EXPECT_TRUE(runningSawStop);
    // At most the parts that threads had taken before the stop ran.
    EXPECT_LE(started, 1 + m_pool.maxThreadCount());
    m_pool.waitForDone();
}

namespace {
// Posts `count` parts that each note the thread they ran on (the threads are
// one at a time here) and count themselves done.
void postRecorded(SharedWork::Group& group, int count, std::set<std::thread::id>& threads, std::atomic<int>& done)
{
    for (int i = 0; i < count; ++i) {
        group.post([&] {
            threads.insert(std::this_thread::get_id());
            ++done;
        });
    }
}
} // namespace

TEST(SharedWork, AThreadWaitingForItsRunningPartHelpsWithOtherGroups)
{
    // One helper thread: A's part runs on it until B's parts are all done,
    // and B's waiter is busy elsewhere, so only A's waiter can run them.
    Workers::Pool pool(QStringLiteral("analysis"), 1, true);
    SharedWork work(&pool);
    std::atomic<bool> aStarted{false};
    std::atomic<int> bDone{0};
    std::set<std::thread::id> bThreads;
    std::promise<void> bPosted;

    SharedWork::Group a(work);
    a.post([&] {
        aStarted = true;
        eventually([&] { return bDone == 5; });
    });
    ASSERT_TRUE(eventually([&] { return bool(aStarted); }));
    std::thread other([&] {
        SharedWork::Group b(work);
        postRecorded(b, 5, bThreads, bDone);
        bPosted.set_value();
        eventually([&] { return bDone == 5; });
    });
    bPosted.get_future().wait();
    a.wait();
    EXPECT_EQ(bDone, 5);
    EXPECT_EQ(bThreads, std::set<std::thread::id>{std::this_thread::get_id()});
    other.join();
    pool.waitForDone();
}

namespace {
// A pool whose one thread is kept busy until the end, so that posting
// recruits nobody.
struct BusyPool
{
    Workers::Pool pool{QStringLiteral("analysis"), 1, true};
    std::promise<void> release;

    BusyPool()
    {
        pool.start([future = release.get_future().share()] { future.wait(); });
    }
    ~BusyPool()
    {
        release.set_value();
        pool.waitForDone();
    }
};
} // namespace

TEST(SharedWork, AThreadDoneWithItsOwnWorkTakesThePartsNobodyHasTakenYet)
{
    // The pool's one thread is busy, so nothing was recruited for B's parts;
    // a thread that finished its own work runs them before it returns.
    BusyPool busy;
    SharedWork work(&busy.pool);
    std::set<std::thread::id> bThreads;
    std::atomic<int> bDone{0};
    std::promise<void> bPosted;
    std::promise<void> bHelped;
    std::thread other([&] {
        SharedWork::Group b(work);
        postRecorded(b, 5, bThreads, bDone);
        bPosted.set_value();
        bHelped.get_future().wait();
        b.wait();
    });
    bPosted.get_future().wait();
    work.helpWhileQueued();
    EXPECT_EQ(bDone, 5);
    EXPECT_EQ(bThreads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(work.helpedParts(), 5);
    bHelped.set_value();
    other.join();
    work.helpWhileQueued(); // nothing left: returns at once
}

TEST(SharedWork, PartsThatOtherWorkWaitsBehindAreTakenFirst)
{
    // The pool's one thread is busy: the queue is run in its order by a
    // thread done with its own work.
    BusyPool busy;
    SharedWork work(&busy.pool);
    std::vector<std::string> order;
    std::promise<void> posted;
    std::promise<void> ran;
    std::thread other([&] {
        SharedWork::Group lengthy(work, {}, SharedWork::Order::lengthy);
        SharedWork::Group inTurn(work);
        SharedWork::Group ahead(work, {}, SharedWork::Order::ahead);
        const auto note = [&order](std::string name) { return [&order, name] { order.push_back(name); }; };
        SharedWork::Group brief(work, {}, SharedWork::Order::brief);
        lengthy.post(note("labels"));
        inTurn.post(note("line 1"));
        ahead.post(note("ink 1"));
        inTurn.post(note("line 2"));
        brief.post({note("stripe 1"), note("stripe 2")});
        ahead.post(note("ink 2"));
        posted.set_value();
        ran.get_future().wait();
    });
    posted.get_future().wait();
    work.helpWhileQueued();
    EXPECT_EQ(order,
              (std::vector<std::string>{"ink 1", "stripe 1", "stripe 2", "ink 2", "labels", "line 1", "line 2"}));
    ran.set_value();
    other.join();
}

TEST(SharedWork, AThreadWaitingForItsOwnGroupLeavesLengthyPartsToOthers)
{
    // A's part holds the pool's one thread until B's short part is done;
    // meanwhile A's waiter runs that part but not the labels, which the
    // pool's thread takes once A's part ends.
    Workers::Pool pool(QStringLiteral("analysis"), 1, true);
    SharedWork work(&pool);
    std::atomic<bool> aStarted{false};
    std::atomic<int> shortDone{0};
    std::atomic<int> labelsDone{0};
    std::set<std::thread::id> shortThreads;
    std::thread::id labelsThread;
    std::promise<void> posted;

    SharedWork::Group a(work);
    a.post([&] {
        aStarted = true;
        eventually([&] { return shortDone == 1; });
    });
    ASSERT_TRUE(eventually([&] { return bool(aStarted); }));
    std::thread other([&] {
        SharedWork::Group labels(work, {}, SharedWork::Order::lengthy);
        SharedWork::Group lines(work);
        labels.post([&] {
            labelsThread = std::this_thread::get_id();
            ++labelsDone;
        });
        postRecorded(lines, 1, shortThreads, shortDone);
        posted.set_value();
        eventually([&] { return shortDone == 1 && labelsDone == 1; });
    });
    posted.get_future().wait();
    a.wait();
    EXPECT_EQ(shortThreads, std::set<std::thread::id>{std::this_thread::get_id()});
    ASSERT_TRUE(eventually([&] { return labelsDone == 1; }));
    EXPECT_NE(labelsThread, std::this_thread::get_id());
    other.join();
    pool.waitForDone();
}

TEST(SharedWork, AThreadWaitingForABriefGroupTakesNoPartOfAnother)
{
    // The pool's one thread runs the stripe, which gives the line a while to
    // be run elsewhere; the stripe's waiter leaves the line alone, and the
    // pool's thread takes it once the stripe ends.
    Workers::Pool pool(QStringLiteral("analysis"), 1, true);
    SharedWork work(&pool);
    std::atomic<bool> stripeStarted{false};
    std::atomic<int> lineDone{0};
    std::set<std::thread::id> lineThreads;
    std::promise<void> posted;
    std::shared_future<void> linePosted = posted.get_future().share();

    SharedWork::Group stripes(work, {}, SharedWork::Order::brief);
    stripes.post([&] {
        stripeStarted = true;
        linePosted.wait();
        const auto until = std::chrono::steady_clock::now() + 300ms;
        while (lineDone == 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
    });
    ASSERT_TRUE(eventually([&] { return bool(stripeStarted); }));
    std::thread other([&] {
        SharedWork::Group lines(work);
        postRecorded(lines, 1, lineThreads, lineDone);
        posted.set_value();
        eventually([&] { return lineDone == 1; });
    });
    linePosted.wait();
    stripes.wait();
    ASSERT_TRUE(eventually([&] { return lineDone == 1; }));
    EXPECT_EQ(lineThreads.count(std::this_thread::get_id()), 0u);
    other.join();
    pool.waitForDone();
}

namespace {
// Spends `amount` more of this thread's processor time.
void burn(std::chrono::nanoseconds amount)
{
    const auto until = CpuAccount::threadTime() + amount;
    volatile unsigned sink = 0;
    while (CpuAccount::threadTime() < until) {
        for (unsigned i = 0; i < 1000; ++i)
            sink = sink + i;
    }
}
} // namespace

TEST(CpuAccount, CountsEveryThreadAtWorkAlsoWhileItIsUnderWayButNotWhileItWaits)
{
    CpuAccount account;
    std::promise<void> burnt;
    std::promise<void> release;
    std::thread first([&] {
        const CpuAccount::Charge charge(&account);
        burn(60ms);
        burnt.set_value();
        release.get_future().wait();
    });
    burnt.get_future().wait();
    // The charge is still open; a blocked thread, like one the machine gives
    // no core to, spends nothing.
    const auto seen = account.spent();
    EXPECT_GE(seen, 60ms);
    std::this_thread::sleep_for(50ms);
    EXPECT_LT(account.spent() - seen, 20ms);

    std::thread second([&] {
        const CpuAccount::Charge charge(&account);
        burn(40ms);
    });
    second.join();
    release.set_value();
    first.join();
    EXPECT_GE(account.spent(), 100ms);
    EXPECT_LT(account.spent(), 200ms) << "the waiting thread's own time was counted";
}

TEST(CpuAccount, AChargeInsideAnotherHoldsItSoNoTimeCountsTwiceOrForTheWrongWork)
{
    CpuAccount own;
    CpuAccount other;
    {
        const CpuAccount::Charge outer(&own);
        burn(30ms);
        {
            // Helping with another file's part, then with work of nobody's.
            const CpuAccount::Charge inner(&other);
            burn(50ms);
            const CpuAccount::Charge none(nullptr);
            burn(40ms);
        }
        burn(30ms);
    }
    EXPECT_GE(own.spent(), 60ms);
    EXPECT_LT(own.spent(), 100ms);
    EXPECT_GE(other.spent(), 50ms);
    EXPECT_LT(other.spent(), 90ms);
    const auto closed = own.spent();
    burn(20ms);
    EXPECT_EQ(own.spent(), closed) << "a closed charge goes on counting";
}
