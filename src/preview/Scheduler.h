#pragma once

#include <chrono>
#include <functional>

class QObject;

// Runs `fn` once on the GUI thread after `delay`; nothing runs once `context`
// is gone. Views take one so that tests can drive their delays by hand.
using Scheduler = std::function<void(std::chrono::milliseconds delay, QObject* context, std::function<void()> fn)>;

// The event loop's timers.
Scheduler timerScheduler();
