#include "core/Clock.h"

#include <mutex>

namespace {
std::mutex g_mutex;
std::function<QDateTime()> g_source;
} // namespace

QDateTime Clock::now()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_source)
            return g_source();
    }
    return QDateTime::currentDateTime();
}

qint64 Clock::nowMSecsSinceEpoch()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_source)
            return g_source().toMSecsSinceEpoch();
    }
    return QDateTime::currentMSecsSinceEpoch();
}

void Clock::setSource(std::function<QDateTime()> source)
{
    std::lock_guard lock(g_mutex);
    g_source = std::move(source);
}
