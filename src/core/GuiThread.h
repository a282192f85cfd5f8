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
