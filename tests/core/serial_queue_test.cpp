#include "core/GuiThread.h"
#include "core/SerialQueue.h"
#include "support/Wait.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

TEST(SerialQueue, RunsTasksOneAtATimeInSubmissionOrder)
{
    std::vector<int> order;
    std::atomic<int> running{0};
    bool overlapped = false;
    {
        SerialQueue queue(QStringLiteral("org.brindlework.Glimmerdeck.test"));
        for (int i = 0; i < 200; ++i) {
            queue.async([&, i] {
                overlapped |= running.fetch_add(1) != 0;
                order.push_back(i);
                running.fetch_sub(1);
            });
        }
    } // the destructor drains the queue
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[size_t(i)], i);
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueue, SyncReturnsAValueAfterEarlierTasks)
{
    SerialQueue queue(QStringLiteral("org.brindlework.Glimmerdeck.test"));
    int counter = 0;
    for (int i = 0; i < 10; ++i)
        queue.async([&counter] { ++counter; });
    EXPECT_EQ(queue.sync([&counter] { return counter; }), 10);
}

TEST(SerialQueue, SyncFromItsOwnThreadRunsInlineWithoutDeadlock)
{
    SerialQueue queue(QStringLiteral("org.brindlework.Glimmerdeck.test"));
    auto nested = std::async(std::launch::async, [&queue] {
        return queue.sync([&queue] {
            EXPECT_TRUE(queue.isCurrent());
            return queue.sync([&queue] { return queue.sync([] { return 42; }); });
        });
    });
    ASSERT_EQ(nested.wait_for(5s), std::future_status::ready) << "re-entrant sync deadlocked";
    EXPECT_EQ(nested.get(), 42);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, SyncPassesExceptionsToTheCaller)
{
    SerialQueue queue(QStringLiteral("org.brindlework.Glimmerdeck.test"));
    EXPECT_THROW(queue.sync([]() -> int { throw std::runtime_error("boom"); }), std::runtime_error);
    EXPECT_EQ(queue.sync([] { return 1; }), 1);
}

TEST(SerialQueue, SyncAndAsyncFromManyThreadsNeverOverlap)
{
    SerialQueue queue(QStringLiteral("org.brindlework.Glimmerdeck.test"));
    int shared = 0; // unguarded: only the queue's exclusion protects it
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    const auto touch = [&] {
        overlapped = overlapped || inside.fetch_add(1) != 0;
        ++shared;
        inside.fetch_sub(1);
    };
    std::vector<std::thread> callers;
    for (int t = 0; t < 8; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                if ((i + t) % 3 == 0)
                    queue.async(touch);
                else
                    queue.sync(touch);
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(queue.sync([&shared] { return shared; }), 4000);
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueue, SyncWaitsForARunningTask)
{
    SerialQueue queue(QStringLiteral("org.brindlework.Glimmerdeck.test"));
    std::atomic<bool> slowDone{false};
    std::promise<void> started;
    queue.async([&] {
        started.set_value();
        std::this_thread::sleep_for(50ms);
        slowDone = true;
    });
    started.get_future().wait();
    EXPECT_TRUE(queue.sync([&] { return slowDone.load(); }));
}

TEST(GuiThread, WorkFromAnotherThreadRunsOnTheGuiThreadLater)
{
    std::atomic<bool> ranOnGui{false};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        EXPECT_FALSE(isGuiThread());
        runOnGuiThread([&] {
            ranOnGui = isGuiThread();
            done = true;
        });
    });
    worker.join();
    EXPECT_FALSE(done) << "must be queued, not run inline";
    ASSERT_TRUE(waitUntil([&] { return done.load(); }));
    EXPECT_TRUE(ranOnGui);
}
