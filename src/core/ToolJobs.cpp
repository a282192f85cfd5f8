#include "core/ToolJobs.h"

#include <QThreadPool>

QThreadPool& ToolJobs::worker()
{
    // Made on first use and never destroyed: a job may still be queued when
    // static destruction begins.
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(1);
        return made;
    }();
    return *pool;
}

void ToolJobs::waitForAll()
{
    worker().waitForDone();
}
