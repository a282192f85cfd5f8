#include "core/SerialQueue.h"

#include <pthread.h>

namespace {
thread_local const SerialQueue* t_currentQueue = nullptr;

// Linux keeps 15 bytes of a thread name: the label's last component
// ("filemonitor", "db") is the part worth seeing in a debugger.
void nameThisThread(const QString& label)
{
    const QString shortName = label.section(u'.', -1).left(15);
    pthread_setname_np(pthread_self(), shortName.toUtf8().constData());
}
} // namespace

SerialQueue::SerialQueue(QString label)
    : m_label(std::move(label))
    , m_thread([this] { run(); })
{}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool SerialQueue::isCurrent() const
{
    return t_currentQueue == this;
}

void SerialQueue::async(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

bool SerialQueue::tryEnterIdle()
{
    std::lock_guard lock(m_mutex);
    if (m_busy || !m_tasks.empty())
        return false;
    m_busy = true;
    return true;
}

void SerialQueue::leave()
{
    {
        std::lock_guard lock(m_mutex);
        m_busy = false;
    }
    m_wake.notify_one();
}

SerialQueue::InlineRun::InlineRun(SerialQueue& queue)
    : m_queue(queue)
    , m_previous(t_currentQueue)
    , m_owns(t_currentQueue != &queue)
{
    t_currentQueue = &queue;
}

SerialQueue::InlineRun::~InlineRun()
{
    t_currentQueue = m_previous;
    if (m_owns)
        m_queue.leave();
}

void SerialQueue::run()
{
    nameThisThread(m_label);
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock,
                        [this] { return (m_stopping && m_tasks.empty() && !m_busy) || (!m_busy && !m_tasks.empty()); });
            if (m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
            m_busy = true;
        }
        t_currentQueue = this;
        task();
        t_currentQueue = nullptr;
        leave();
    }
}
