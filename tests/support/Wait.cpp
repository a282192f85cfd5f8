#include "support/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <memory>

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    // A posted event (a worker's result) ends the wait for it at once; the
    // tick bounds the wait for a condition that changes without one.
    const bool hasEventLoop = QThread::currentThread()->eventDispatcher() != nullptr;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    if (hasEventLoop)
        tick.start(1);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        if (hasEventLoop) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            // And what those events post in turn, so that the condition is
            // checked once the chain has settled (a relayout after a model change).
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        } else {
            QThread::msleep(1);
        }
    }
    return true;
}

void drainPostedEvents(int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        auto reached = std::make_shared<bool>(false);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [reached] { *reached = true; }, Qt::QueuedConnection);
        waitUntil([reached] { return *reached; });
    }
}
