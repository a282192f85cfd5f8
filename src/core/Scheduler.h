#pragma once

#include <QObject>

#include <chrono>
#include <functional>

// When delayed work runs: the event loop's timers in the application, a clock
// that tests move forward by hand, so that a pause of a second costs a test
// nothing.
class Scheduler
{
public:
    virtual ~Scheduler() = default;

    // Runs `task` on the thread of `context` once `delay` has passed; nothing
    // runs when `context` is gone by then.
    virtual void runAfter(std::chrono::milliseconds delay, QObject* context, std::function<void()> task) = 0;
    // The time on the scheduler's clock (from an arbitrary start), so that
    // durations that decide a delay are measured on the clock that runs it.
    virtual std::chrono::milliseconds now() const = 0;

    // The event loop's timers. Stateless, so one instance serves everyone.
    static Scheduler& eventLoop();
};
