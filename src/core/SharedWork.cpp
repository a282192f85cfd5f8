#include "core/SharedWork.h"

#include <algorithm>
#include <numeric>

namespace {
bool isTakenFirst(SharedWork::Order order)
{
    return order == SharedWork::Order::ahead || order == SharedWork::Order::brief;
}
} // namespace

SharedWork::SharedWork(Workers::Pool* pool)
    : m_pool(pool)
{}

SharedWork::~SharedWork()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_helpers == 0; });
}

int SharedWork::helpedParts() const
{
    std::lock_guard lock(m_mutex);
    return std::accumulate(m_helped.begin(), m_helped.end(), 0);
}

int SharedWork::helpedParts(Order order) const
{
    std::lock_guard lock(m_mutex);
    return m_helped.at(size_t(order));
}

int SharedWork::droppedParts() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void SharedWork::recruit()
{
    if (!m_pool)
        return;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_helpers >= int(m_parts.size()))
                return;
            ++m_helpers;
        }
        if (!m_pool->tryStart([this] { help(); })) {
            std::lock_guard lock(m_mutex);
            --m_helpers;
            m_changed.notify_all();
            return;
        }
    }
}

void SharedWork::help()
{
    helpWhileQueued();
    std::lock_guard lock(m_mutex);
    --m_helpers;
    m_changed.notify_all();
}

void SharedWork::helpWhileQueued()
{
    std::unique_lock lock(m_mutex);
    while (!m_parts.empty()) {
        Part part = std::move(m_parts.front());
        m_parts.pop_front();
        finish(lock, part);
    }
}

bool SharedWork::take(Group& group, Part& part)
{
    auto found = std::find_if(m_parts.begin(), m_parts.end(), [&group](const Part& p) { return p.group == &group; });
    if (found == m_parts.end() && group.m_order != Order::brief)
        found = std::find_if(m_parts.begin(), m_parts.end(),
                             [](const Part& p) { return p.group->m_order != Order::lengthy; });
    if (found == m_parts.end())
        return false;
    part = std::move(*found);
    m_parts.erase(found);
    return true;
}

void SharedWork::dropQueued(Group& group)
{
    const auto dropped =
        std::remove_if(m_parts.begin(), m_parts.end(), [&group](const Part& p) { return p.group == &group; });
    const int count = int(std::distance(dropped, m_parts.end()));
    group.m_unfinished -= count;
    m_dropped += count;
    m_parts.erase(dropped, m_parts.end());
}

void SharedWork::finish(std::unique_lock<std::mutex>& lock, Part& part)
{
    if (!part.group->m_stop.stop_requested()) {
        if (std::this_thread::get_id() != part.group->m_waiter)
            ++m_helped.at(size_t(part.group->m_order));
        lock.unlock();
        part.run();
        // What the part holds goes before its group may end.
        part.run = nullptr;
        lock.lock();
    } else {
        ++m_dropped;
    }
    part.run = nullptr;
    if (--part.group->m_unfinished == 0)
        m_changed.notify_all();
}

SharedWork::Group::Group(SharedWork& work, std::stop_token stop, Order order)
    : m_work(work)
    , m_stop(std::move(stop))
    , m_order(order)
{}

SharedWork::Group::~Group()
{
    wait();
}

void SharedWork::Group::post(std::function<void()> part)
{
    std::vector<std::function<void()>> parts;
    parts.push_back(std::move(part));
    post(std::move(parts));
}

void SharedWork::Group::post(std::vector<std::function<void()>> parts)
{
    {
        std::lock_guard lock(m_work.m_mutex);
        std::deque<Part>& queue = m_work.m_parts;
        auto place =
            !isTakenFirst(m_order) ? queue.end() : std::find_if(queue.begin(), queue.end(), [](const Part& queued) {
                return !isTakenFirst(queued.group->m_order);
            });
        for (std::function<void()>& part : parts)
            place = std::next(queue.insert(place, {this, std::move(part)}));
        m_unfinished += int(parts.size());
    }
    // Threads waiting for their own groups may take them too.
    m_work.m_changed.notify_all();
    m_work.recruit();
}

void SharedWork::Group::wait()
{
    std::unique_lock lock(m_work.m_mutex);
    for (;;) {
        if (m_stop.stop_requested())
            m_work.dropQueued(*this);
        if (m_unfinished == 0)
            return;
        Part part;
        if (m_work.take(*this, part))
            m_work.finish(lock, part);
        else
            m_work.m_changed.wait(lock);
    }
}
