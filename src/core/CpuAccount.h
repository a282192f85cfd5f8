#pragma once

#include <chrono>
#include <ctime>
#include <mutex>
#include <vector>

// The processor time that threads spend on one piece of work, added up over
// every thread that works on it, including the stretches still under way.
// Unlike real time, it does not run while the machine gives the thread's core
// to other programs, so it says what the work itself costs.
//
// A thread charges an account while a Charge lives on its stack. A charge
// opened inside another on the same thread (a thread waiting for its own work
// that helps with someone else's) holds the outer one until it ends, so no
// time counts twice or for the wrong work.
class CpuAccount
{
public:
    CpuAccount() = default;
    CpuAccount(const CpuAccount&) = delete;
    CpuAccount& operator=(const CpuAccount&) = delete;

    // Time charged so far; from any thread.
    std::chrono::nanoseconds spent() const;

    // The calling thread's processor time since it began.
    static std::chrono::nanoseconds threadTime();

    class Charge
    {
    public:
        // Charges `account` (nothing when null) until destroyed; the charge
        // this thread had open before is held meanwhile.
        explicit Charge(CpuAccount* account);
        ~Charge();
        Charge(const Charge&) = delete;
        Charge& operator=(const Charge&) = delete;

    private:
        void open();
        void close();

        CpuAccount* const m_account;
        Charge* const m_outer;
    };

private:
    struct Stretch
    {
        const Charge* charge = nullptr;
        clockid_t clock{};
        std::chrono::nanoseconds start{};
    };
    static std::chrono::nanoseconds timeOf(clockid_t clock);

    mutable std::mutex m_mutex;
    std::chrono::nanoseconds m_closed{0};
    std::vector<Stretch> m_open;
};
