#pragma once

#include <QDateTime>

#include <functional>

// The one source of "now" for everything that shows or records a time, so
// tests can pin it.
namespace Clock {
QDateTime now();
// The same instant as milliseconds since 1970, without building a local time:
// cheap enough for tests that run once per file of a large library.
qint64 nowMSecsSinceEpoch();

// Replaces the time source; an empty function restores the system clock.
void setSource(std::function<QDateTime()> source);
} // namespace Clock
