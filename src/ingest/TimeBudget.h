#pragma once

#include "core/CpuAccount.h"

#include <chrono>
#include <memory>

// What one file's analysis may take: processor time, added up over the
// threads that work on the file, and real time. A busy machine stretches the
// real time a file takes but not its processor time, so the processor time is
// what ends a costly file; the real-time bound only ends one that a crowded
// machine leaves without a core for far too long.
struct TimeBudget
{
    using Clock = std::chrono::steady_clock;

    // Never spent.
    TimeBudget() = default;
    // Real time only, until `deadline`.
    explicit TimeBudget(Clock::time_point deadline)
        : deadline(deadline)
    {}
    // From now on: `processor` time charged to a new account, and `real` time.
    static TimeBudget startingNow(std::chrono::nanoseconds processor, std::chrono::nanoseconds real,
                                  std::shared_ptr<CpuAccount> account = std::make_shared<CpuAccount>());

    bool isSpent() const { return isPastDeadline() || isProcessorTimeSpent(); }
    bool isPastDeadline() const { return deadline != Clock::time_point::max() && Clock::now() >= deadline; }
    bool isProcessorTimeSpent() const { return account && account->spent() >= processor; }
    // The account the threads at work on the file charge; null when only
    // real time counts.
    CpuAccount* cpuAccount() const { return account.get(); }

    Clock::time_point deadline = Clock::time_point::max();
    std::chrono::nanoseconds processor = std::chrono::nanoseconds::max();
    std::shared_ptr<CpuAccount> account;
};

inline TimeBudget TimeBudget::startingNow(std::chrono::nanoseconds processor, std::chrono::nanoseconds real,
                                          std::shared_ptr<CpuAccount> account)
{
    TimeBudget budget;
    if (real < Clock::time_point::max() - Clock::now())
        budget.deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(real);
    budget.processor = processor;
    budget.account = std::move(account);
    return budget;
}
