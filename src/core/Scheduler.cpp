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
    std::chrono::milliseconds now() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};
} // namespace

Scheduler& Scheduler::eventLoop()
{
    static EventLoopScheduler scheduler;
    return scheduler;
}
