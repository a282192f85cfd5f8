#pragma once

#include <QString>

#include <algorithm>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// Costly objects that are not safe for concurrent use (a text-recognition
// engine, a neural network), shared by threads that each lease one at a time.
// At most `limit` exist; they are made on demand and kept for the next lease.
// releaseIdle() gives their memory back between runs of work: idle ones go at
// once, those out on lease when they are returned (unless leased anew since).
template <typename T>
class LeasePool
{
public:
    // Makes one object, or gives nothing and says why.
    using Factory = std::function<std::unique_ptr<T>(QString* error)>;

    class Lease
    {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&& other) noexcept
        {
            giveBack();
            m_pool = std::exchange(other.m_pool, nullptr);
            m_item = std::move(other.m_item);
            m_generation = other.m_generation;
            return *this;
        }
        ~Lease() { giveBack(); }

        explicit operator bool() const { return bool(m_item); }
        T& operator*() const { return *m_item; }
        T* operator->() const { return m_item.get(); }

    private:
        friend class LeasePool;
        Lease(LeasePool* pool, std::unique_ptr<T> item, unsigned generation)
            : m_pool(pool)
            , m_item(std::move(item))
            , m_generation(generation)
        {}
        void giveBack()
        {
            if (m_pool && m_item)
                m_pool->giveBack(std::move(m_item), m_generation);
            m_pool = nullptr;
        }

        LeasePool* m_pool = nullptr;
        std::unique_ptr<T> m_item;
        unsigned m_generation = 0;
    };

    LeasePool(int limit, Factory factory)
        : m_limit(std::max(1, limit))
        , m_factory(std::move(factory))
    {}
    LeasePool(const LeasePool&) = delete;
    LeasePool& operator=(const LeasePool&) = delete;

    // Waits while `limit` objects are out. An empty lease when a new object
    // could not be made; `error` then says why.
    Lease acquire(QString* error = nullptr)
    {
        std::unique_lock lock(m_mutex);
        m_returned.wait(lock, [this] { return !m_idle.empty() || m_existing < m_limit; });
        if (!m_idle.empty()) {
            std::unique_ptr<T> item = std::move(m_idle.back());
            m_idle.pop_back();
            return Lease(this, std::move(item), m_generation);
        }
        ++m_existing;
        const unsigned generation = m_generation;
        lock.unlock();
        QString why;
        std::unique_ptr<T> item = m_factory(&why);
        if (item)
            return Lease(this, std::move(item), generation);
        if (error)
            *error = why;
        lock.lock();
        --m_existing;
        m_returned.notify_one();
        return {};
    }

    // Whether a lease now would not wait.
    bool hasFree() const
    {
        std::lock_guard lock(m_mutex);
        return !m_idle.empty() || m_existing < m_limit;
    }

    void releaseIdle()
    {
        std::vector<std::unique_ptr<T>> idle; // destroyed outside the lock
        {
            std::lock_guard lock(m_mutex);
            ++m_generation;
            idle.swap(m_idle);
            m_existing -= int(idle.size());
        }
        m_returned.notify_all();
    }

    // Objects in existence, idle or leased.
    int existing() const
    {
        std::lock_guard lock(m_mutex);
        return m_existing;
    }
    int limit() const { return m_limit; }

private:
    void giveBack(std::unique_ptr<T> item, unsigned generation)
    {
        std::unique_ptr<T> stale; // destroyed outside the lock: freeing a model takes a while
        {
            std::lock_guard lock(m_mutex);
            if (generation == m_generation) {
                m_idle.push_back(std::move(item));
            } else {
                stale = std::move(item);
                --m_existing;
            }
        }
        m_returned.notify_one();
    }

    const int m_limit;
    Factory m_factory;
    mutable std::mutex m_mutex;
    std::condition_variable m_returned;
    std::vector<std::unique_ptr<T>> m_idle;
    int m_existing = 0;
    unsigned m_generation = 0;
};
