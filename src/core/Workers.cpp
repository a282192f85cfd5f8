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

qint64 physicalMemoryMB()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize / (1024 * 1024) : 0;
}

// What one engine and one network hold while they work, in MB, with room to spare.
constexpr qint64 engineMB = 40;
constexpr qint64 networkMB = 100;

// Runs `task` on the calling pool thread, named after its pool and, for
// background pools, at the lower priority.
auto wrapped(const QString& name, bool background, std::function<void()> task)
{
    return [name, background, task = std::move(task)] {
        nameCurrentThread(name);
        if (background)
            lowerCurrentThreadPriority();
        task();
    };
}
} // namespace

Workers::AnalysisSizes Workers::AnalysisSizes::forMachine(int cores, qint64 physicalMB)
{
    // Models may take an eighth of the memory; an unknown size counts as 4 GB.
    const qint64 budgetMB = (physicalMB > 0 ? physicalMB : 4096) / 8;
    const int usableCores = std::clamp(cores, 2, 32);
    AnalysisSizes sizes;
    // Two networks at least where memory allows: with one, the labels of a
    // batch's four files run one after another, and on two cores the batch
    // ends with one core reading labels while the other has nothing to do.
    sizes.networks =
        int(std::clamp<qint64>(std::min<qint64>(std::max(2, usableCores / 2), budgetMB / 2 / networkMB), 1, 4));
    sizes.engines = int(
        std::clamp<qint64>(std::min<qint64>(usableCores, (budgetMB - sizes.networks * networkMB) / engineMB), 2, 32));
    sizes.threads = std::max(batchFiles, sizes.engines);
    return sizes;
}

Workers::Pool::Pool(QString name, int maxThreads, bool isBackground)
    : m_name(std::move(name))
    , m_isBackground(isBackground)
{
    m_pool.setObjectName(m_name);
    m_pool.setMaxThreadCount(std::max(1, maxThreads));
}

void Workers::Pool::start(std::function<void()> task)
{
    m_pool.start(wrapped(m_name, m_isBackground, std::move(task)));
}

bool Workers::Pool::tryStart(std::function<void()> task)
{
    return m_pool.tryStart(wrapped(m_name, m_isBackground, std::move(task)));
}

Workers::Workers()
    : m_analysisSizes(AnalysisSizes::forMachine(cores(), physicalMemoryMB()))
    , m_fileQueue(std::make_unique<SerialQueue>(applicationId + QStringLiteral(".filemonitor")))
    , m_analysis(QStringLiteral("analysis"), m_analysisSizes.threads, true)
    , m_storeWrites(QStringLiteral("store-writes"), 1)
    , m_gallery(QStringLiteral("gallery"), std::max(2, cores()))
    , m_search(QStringLiteral("search"), cores())
    , m_collections(QStringLiteral("collections"), 1)
    , m_thumbnails(QStringLiteral("thumbnails"), std::max(2, cores()))
    , m_duplicateReads(QStringLiteral("duplicate-reads"), duplicateReadThreads)
    , m_tasks(QStringLiteral("tasks"), 1)
{}

Workers::~Workers()
{
    waitForAll();
}

void Workers::waitForAll(bool withAnalysis)
{
    m_fileQueue->sync([] {});
    if (withAnalysis)
        m_analysis.waitForDone();
    for (Pool* pool :
         {&m_storeWrites, &m_gallery, &m_search, &m_collections, &m_thumbnails, &m_duplicateReads, &m_tasks})
        pool->waitForDone();
}
