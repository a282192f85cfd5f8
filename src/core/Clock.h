#pragma once

#include <QDateTime>

#include <functional>

// The one source of "now" for everything that shows or records a time, so
// tests can pin it.
namespace Clock {
QDateTime now();

// Replaces the time source; an empty function restores the system clock.
void setSource(std::function<QDateTime()> source);
} // namespace Clock
