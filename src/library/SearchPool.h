#pragma once

#include <QThreadPool>

#include <functional>

// The threads that searches spread their work over, one per core.
namespace SearchPool {
QThreadPool& pool();

// Runs body(0) ... body(count - 1), each once, on the calling thread and on
// as many of the pool's threads as are free; returns when all are done.
// Items are handed out one at a time, so uneven items balance out.
void parallelFor(qsizetype count, const std::function<void(qsizetype)>& body);
} // namespace SearchPool
