#include "core/Workers.h"

#include <QThread>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

namespace {
// Analysis may take every core it is given; the person at the desktop comes first.
constexpr int backgroundNiceness = 10;

void nameCurrentThread(const QString& name)
{
    // The kernel keeps 15 bytes of a thread's name.
    pthread_setname_np(pthread_self(), name.left(15).toUtf8().constData());
}

void lowerCurrentThreadPriority()
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), backgroundNiceness);
}

int cores()
{
    return std::max(1, QThread::idealThreadCount());
}
} // namespace

Workers::Pool::Pool(QString name, int maxThreads, bool isBackground)
    : m_name(std::move(name))
    , m_isBackground(isBackground)
{
    m_pool.setObjectName(m_name);
    m_pool.setMaxThreadCount(std::max(1, maxThreads));
}

void Workers::Pool::start(std::function<void()> task)
{
    m_pool.start([name = m_name, background = m_isBackground, task = std::move(task)] {
        nameCurrentThread(name);
        if (background)
            lowerCurrentThreadPriority();
        task();
    });
}

Workers::Workers()
    : m_fileQueue(std::make_unique<SerialQueue>(applicationId + QStringLiteral(".filemonitor")))
    , m_analysis(QStringLiteral("analysis"), analysisThreads, true)
    , m_storeWrites(QStringLiteral("store-writes"), 1)
    , m_gallery(QStringLiteral("gallery"), std::max(2, cores()))
    , m_search(QStringLiteral("search"), cores())
    , m_collections(QStringLiteral("collections"), 1)
    , m_thumbnails(QStringLiteral("thumbnails"), std::max(2, cores()))
    , m_tasks(QStringLiteral("tasks"), 1)
{}

Workers::~Workers()
{
    waitForAll();
}

void Workers::waitForAll()
{
    m_fileQueue->sync([] {});
    for (Pool* pool : {&m_analysis, &m_storeWrites, &m_gallery, &m_search, &m_collections, &m_thumbnails, &m_tasks})
        pool->waitForDone();
}
