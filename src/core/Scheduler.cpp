#include "core/Scheduler.h"

#include <QTimer>

namespace {
class EventLoopScheduler : public Scheduler
{
public:
    void runAfter(std::chrono::milliseconds delay, QObject* context, std::function<void()> task) override
    {
        QTimer::singleShot(delay, context, std::move(task));
    }
};
} // namespace

Scheduler& Scheduler::eventLoop()
{
    static EventLoopScheduler scheduler;
    return scheduler;
}
