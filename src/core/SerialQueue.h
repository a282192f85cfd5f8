#pragma once

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

// One named worker thread that runs tasks one after another in the order they
// were submitted. `sync` called from a task already running on this queue runs
// inline, so a queue never deadlocks on itself. Like a dispatch queue, `sync`
// on an idle queue runs the task on the caller's thread while holding the
// queue (a thread hand-off costs tens of microseconds; the store makes
// thousands of such calls), so tasks must not depend on which thread runs them.
class SerialQueue
{
public:
    explicit SerialQueue(QString label);
    // Runs every task already submitted, then stops the thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const QString& label() const { return m_label; }
    bool isCurrent() const;

    void async(std::function<void()> task);

    template <typename Fn>
    std::invoke_result_t<Fn> sync(Fn&& fn)
    {
        if (isCurrent() || tryEnterIdle()) {
            InlineRun guard(*this);
            return fn();
        }
        using Result = std::invoke_result_t<Fn>;
        auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<Fn>(fn));
        std::future<Result> result = task->get_future();
        async([task] { (*task)(); });
        return result.get();
    }

private:
    // Marks this queue busy and current on the calling thread, then undoes it.
    class InlineRun
    {
    public:
        explicit InlineRun(SerialQueue& queue);
        ~InlineRun();

    private:
        SerialQueue& m_queue;
        const SerialQueue* m_previous;
        bool m_owns;
    };

    bool tryEnterIdle();
    void leave();
    void run();

    QString m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false; // a task runs, on the worker or inline
    bool m_stopping = false;
    std::thread m_thread;
};
