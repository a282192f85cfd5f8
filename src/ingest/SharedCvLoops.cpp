#include "ingest/SharedCvLoops.h"

#include "core/CpuAccount.h"

#include <opencv2/core.hpp>
#include <opencv2/core/parallel/parallel_backend.hpp>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace SharedCvLoops {
namespace {
thread_local const Lend* t_lent = nullptr;
} // namespace

class Backend final : public cv::parallel::ParallelForAPI
{
public:
    void parallel_for(int stripes, FN_parallel_for_body_cb_t body, void* data) override
    {
        const Lend* lent = t_lent;
        if (!lent || stripes < 2) {
            body(0, stripes, data);
            return;
        }
        // Each thread claims the next stripe until none is left: a helper
        // that comes late, when the layer is nearly done, takes little.
        std::atomic<int> next{0};
        const auto runStripes = [&next, stripes, body, data] {
            for (int stripe = next++; stripe < stripes; stripe = next++)
                body(stripe, stripe + 1, data);
        };
        // Not stopped with the file: a stripe left out would leave the
        // layer half made, and a whole pass takes a fraction of a second.
        SharedWork::Group group(lent->m_work, {}, SharedWork::Order::brief);
        std::vector<std::function<void()>> helpers;
        for (int i = 1; i < std::min(stripes, lent->m_ways); ++i) {
            helpers.push_back([&runStripes, account = lent->m_account] {
                const CpuAccount::Charge charge(account);
                runStripes();
            });
        }
        group.post(std::move(helpers));
        runStripes();
        group.wait();
    }

    // The loops number their own stripes.
    int getThreadNum() const override { return 0; }
    // The stripes a loop is cut into: one where nothing is lent.
    int getNumThreads() const override { return t_lent ? t_lent->m_ways : 1; }
    int setNumThreads(int) override { return getNumThreads(); }
    const char* getName() const override { return "shared analysis threads"; }
};

void install()
{
    static std::once_flag installed;
    std::call_once(installed, [] { cv::parallel::setParallelForBackend(std::make_shared<Backend>(), false); });
}

Lend::Lend(SharedWork& work, int ways, CpuAccount* account)
    : m_outer(t_lent)
    , m_work(work)
    , m_ways(std::max(1, ways))
    , m_account(account)
{
    t_lent = this;
}

Lend::~Lend()
{
    t_lent = m_outer;
}
} // namespace SharedCvLoops
