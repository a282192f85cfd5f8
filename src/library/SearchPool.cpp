#include "library/SearchPool.h"

#include <QRunnable>
#include <QSemaphore>

#include <atomic>
#include <memory>
#include <vector>

namespace {
class Helper : public QRunnable
{
public:
    Helper(const std::function<void()>& work, QSemaphore& done)
        : m_work(work)
        , m_done(done)
    {
        setAutoDelete(false);
    }

    void run() override
    {
        m_work();
        m_done.release();
    }

private:
    const std::function<void()>& m_work;
    QSemaphore& m_done;
};
} // namespace

void SearchPool::parallelFor(QThreadPool& pool, qsizetype count, const std::function<void(qsizetype)>& body)
{
    std::atomic<qsizetype> next{0};
    const std::function<void()> work = [&] {
        for (qsizetype item = next++; item < count; item = next++)
            body(item);
    };
    const qsizetype helperCount = std::min<qsizetype>(count, pool.maxThreadCount()) - 1;
    if (helperCount <= 0) {
        work();
        return;
    }
    QSemaphore done;
    std::vector<std::unique_ptr<Helper>> helpers;
    for (qsizetype i = 0; i < helperCount; ++i) {
        helpers.push_back(std::make_unique<Helper>(work, done));
        pool.start(helpers.back().get());
    }
    work();
    // A helper that has not started yet (the pool busy with another search)
    // is not waited for: there is nothing left for it to do.
    int started = 0;
    for (const auto& helper : helpers) {
        if (!pool.tryTake(helper.get()))
            ++started;
    }
    done.acquire(started);
}
