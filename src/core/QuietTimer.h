#pragma once

#include "core/Scheduler.h"

#include <QObject>

#include <chrono>
#include <functional>

// Runs an action once `span` has passed since it was last poked: a burst of
// pokes (the answers of a search typed key by key, the pictures of a scroll)
// puts it off until the burst is over. One wait is pending at a time, however
// often it is poked. Belongs to `context` (a member of it, on its thread),
// whose thread runs the action; nothing runs once `context` is gone.
class QuietTimer
{
public:
    QuietTimer(Scheduler& scheduler, std::chrono::milliseconds span, QObject& context, std::function<void()> action);

    void poke();

private:
    void waitFor(std::chrono::milliseconds delay);

    Scheduler& m_scheduler;
    std::chrono::milliseconds m_span;
    QObject& m_context;
    std::function<void()> m_action;
    std::chrono::milliseconds m_lastPoke{0};
    bool m_isWaiting = false;
};
