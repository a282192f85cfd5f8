#include "core/CpuAccount.h"

#include <algorithm>

#include <pthread.h>

namespace {
// The charge open on this thread, if any.
thread_local CpuAccount::Charge* currentCharge = nullptr;

clockid_t threadClock()
{
    clockid_t clock{};
    if (pthread_getcpuclockid(pthread_self(), &clock) != 0)
        return CLOCK_THREAD_CPUTIME_ID;
    return clock;
}
} // namespace

std::chrono::nanoseconds CpuAccount::timeOf(clockid_t clock)
{
    timespec now{};
    if (clock_gettime(clock, &now) != 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

std::chrono::nanoseconds CpuAccount::threadTime()
{
    return timeOf(CLOCK_THREAD_CPUTIME_ID);
}

std::chrono::nanoseconds CpuAccount::spent() const
{
    std::lock_guard lock(m_mutex);
    std::chrono::nanoseconds total = m_closed;
    // Each open stretch's thread is alive: it removes the stretch, under this
    // lock, before it can end.
    for (const Stretch& stretch : m_open)
        total += std::max(std::chrono::nanoseconds(0), timeOf(stretch.clock) - stretch.start);
    return total;
}

CpuAccount::Charge::Charge(CpuAccount* account)
    : m_account(account)
    , m_outer(currentCharge)
{
    if (m_outer)
        m_outer->close();
    currentCharge = this;
    open();
}

CpuAccount::Charge::~Charge()
{
    close();
    currentCharge = m_outer;
    if (m_outer)
        m_outer->open();
}

void CpuAccount::Charge::open()
{
    if (!m_account)
        return;
    const clockid_t clock = threadClock();
    std::lock_guard lock(m_account->m_mutex);
    m_account->m_open.push_back({this, clock, timeOf(clock)});
}

void CpuAccount::Charge::close()
{
    if (!m_account)
        return;
    std::lock_guard lock(m_account->m_mutex);
    auto& open = m_account->m_open;
    const auto found = std::find_if(open.begin(), open.end(), [this](const Stretch& s) { return s.charge == this; });
    if (found == open.end())
        return;
    m_account->m_closed += std::max(std::chrono::nanoseconds(0), timeOf(found->clock) - found->start);
    open.erase(found);
}
