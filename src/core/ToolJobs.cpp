#include "core/ToolJobs.h"

#include <QThreadPool>

#include <mutex>

namespace {
// Made on first use and never destroyed: a job may still be queued, or an
// abandoned encoding still running, when static destruction begins.
QThreadPool& serialPool()
{
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setObjectName(QStringLiteral("tools"));
        made->setMaxThreadCount(1);
        return made;
    }();
    return *pool;
}

struct StopState
{
    std::mutex mutex;
    std::stop_source source;
};

StopState& stopState()
{
    static auto* state = new StopState;
    return *state;
}
} // namespace

QThreadPool& ToolJobs::worker()
{
    return serialPool();
}

QThreadPool& ToolJobs::encoders()
{
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setObjectName(QStringLiteral("tool-encoders"));
        return made;
    }();
    return *pool;
}

std::stop_token ToolJobs::stopToken()
{
    StopState& state = stopState();
    const std::lock_guard lock(state.mutex);
    return state.source.get_token();
}

void ToolJobs::requestStop()
{
    StopState& state = stopState();
    const std::lock_guard lock(state.mutex);
    state.source.request_stop();
}

bool ToolJobs::waitForStop(QDeadlineTimer deadline)
{
    if (!worker().waitForDone(int(deadline.remainingTime())))
        return false;
    StopState& state = stopState();
    const std::lock_guard lock(state.mutex);
    state.source = std::stop_source();
    return true;
}

bool ToolJobs::encodingsLeft()
{
    return encoders().activeThreadCount() > 0;
}

void ToolJobs::waitForAll()
{
    worker().waitForDone();
    encoders().waitForDone();
}
