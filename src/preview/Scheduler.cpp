#include "preview/Scheduler.h"

#include <QTimer>

Scheduler timerScheduler()
{
    return [](std::chrono::milliseconds delay, QObject* context, std::function<void()> fn) {
        QTimer::singleShot(delay, Qt::PreciseTimer, context, std::move(fn));
    };
}
