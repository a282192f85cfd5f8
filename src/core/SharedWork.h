#pragma once

#include "core/Workers.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

// Work that a thread cuts into parts for the idle threads of a pool to share.
// The parts of a group run on whichever thread takes them first: an idle
// thread of the pool, recruited when they are posted, or the thread waiting
// for the group, which works through its own parts first and then helps with
// other groups' parts until its own are done. Helpers take parts in the order
// they were posted, those of groups that other work waits behind first, and
// leave when none is left, so nothing keeps a thread of the pool once the
// work is done.
//
// A part of a stopped group that has not started is dropped; a running part
// sees the stop through the group's token, if it looks.
//
// Without a pool no thread is recruited: every part runs on the thread that
// waits for its group.
class SharedWork
{
public:
    explicit SharedWork(Workers::Pool* pool);
    // Waits for the helpers still leaving.
    ~SharedWork();
    SharedWork(const SharedWork&) = delete;
    SharedWork& operator=(const SharedWork&) = delete;

    enum class Order {
        inTurn,
        // Other work waits behind these parts (a page's layout cannot start
        // before its ink is made): they are taken before any part in turn.
        ahead,
        // Long parts that nothing waits behind but their own group (a
        // picture's labels): a thread waiting for a group of its own does
        // not take them, as it would be held far past its own group's end.
        lengthy,
        // Parts of a few milliseconds that their waiter is held behind (a
        // layer of a network cut in stripes): taken as soon as ahead parts,
        // and their waiter takes no other group's part, which would hold it
        // far longer than the stripes it waits for.
        brief,
    };

    class Group
    {
    public:
        explicit Group(SharedWork& work, std::stop_token stop = {}, Order order = Order::inTurn);
        // Waits for the parts still running.
        ~Group();
        Group(const Group&) = delete;
        Group& operator=(const Group&) = delete;

        void post(std::function<void()> part);
        // Posts them all at once: threads are woken once, not for each.
        void post(std::vector<std::function<void()>> parts);
        // Returns when every part posted so far has run or was dropped.
        void wait();

        const std::stop_token& stopToken() const { return m_stop; }

    private:
        friend class SharedWork;
        SharedWork& m_work;
        const std::stop_token m_stop;
        const Order m_order;
        const std::thread::id m_waiter = std::this_thread::get_id();
        int m_unfinished = 0; // guarded by the work's mutex
    };

    // Runs the parts waiting to be taken on the calling thread until none is
    // left: a thread done with its own work helps before it goes back to the
    // pool, where no post would recruit it for parts posted earlier.
    void helpWhileQueued();

    bool isShared() const { return m_pool != nullptr; }
    // Parts run by a thread other than the one that waits for their group:
    // all of them, or those of groups of `order`.
    int helpedParts() const;
    int helpedParts(Order order) const;
    // Parts dropped because their group was stopped before they started.
    int droppedParts() const;

private:
    struct Part
    {
        Group* group = nullptr;
        std::function<void()> run;
    };

    void recruit();
    void help();
    // Takes a part of `group`, else, unless `group` is brief, the first of
    // another group that is not lengthy.
    bool take(Group& group, Part& part);
    void dropQueued(Group& group);
    // Runs `part` unlocked, unless its group stopped, and counts it done.
    void finish(std::unique_lock<std::mutex>& lock, Part& part);

    Workers::Pool* const m_pool;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Part> m_parts;
    int m_helpers = 0;
    std::array<int, size_t(Order::brief) + 1> m_helped{}; // by order
    int m_dropped = 0;
};
