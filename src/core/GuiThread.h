#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <utility>

// Queues `fn` to run on the thread of `context` (normally the GUI thread) in a
// later turn of its event loop; nothing runs if `context` is gone by then.
template <typename Fn>
void runOnThreadOf(QObject* context, Fn&& fn)
{
    QMetaObject::invokeMethod(context, std::forward<Fn>(fn), Qt::QueuedConnection);
}

template <typename Fn>
void runOnGuiThread(Fn&& fn)
{
    runOnThreadOf(QCoreApplication::instance(), std::forward<Fn>(fn));
}

inline bool isGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// For entry points that touch state only the GUI thread may change; compiled
// out of release builds like every Q_ASSERT.
#define assertGuiThread() Q_ASSERT_X(isGuiThread(), Q_FUNC_INFO, "called off the GUI thread")
