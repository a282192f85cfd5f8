#pragma once

#include <functional>

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns
// whether it held. For waiting on queued work, never for timing.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs the event loop until everything posted to it before the call has run,
// and what that posts in turn, `rounds` deep. For checking that something did
// not happen, where no state says that it never will.
void drainPostedEvents(int rounds = 4);
