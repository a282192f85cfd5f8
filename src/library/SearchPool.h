#pragma once

#include <QThreadPool>

#include <functional>

// Spreading one search over the threads of a pool.
namespace SearchPool {
// Runs body(0) ... body(count - 1), each once, on the calling thread and on
// as many of the pool's threads as are free; returns when all are done.
// Items are handed out one at a time, so uneven items balance out.
void parallelFor(QThreadPool& pool, qsizetype count, const std::function<void(qsizetype)>& body);
} // namespace SearchPool
