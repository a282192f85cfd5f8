#pragma once

#include <functional>

// Runs the event loop until `condition` holds or `timeoutMs` passes; returns
// whether it held. For waiting on queued work, never for timing.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
