#include "core/QuietTimer.h"

QuietTimer::QuietTimer(Scheduler& scheduler, std::chrono::milliseconds span, QObject& context,
                       std::function<void()> action)
    : m_scheduler(scheduler)
    , m_span(span)
    , m_context(context)
    , m_action(std::move(action))
{}

void QuietTimer::poke()
{
    m_lastPoke = m_scheduler.now();
    if (!m_isWaiting)
        waitFor(m_span);
}

void QuietTimer::waitFor(std::chrono::milliseconds delay)
{
    m_isWaiting = true;
    m_scheduler.runAfter(delay, &m_context, [this] {
        const std::chrono::milliseconds quiet = m_scheduler.now() - m_lastPoke;
        if (quiet < m_span) {
            waitFor(m_span - quiet);
            return;
        }
        m_isWaiting = false;
        m_action();
    });
}
