#pragma once

#include "core/SharedWork.h"

class CpuAccount;

// OpenCV's parallel loops (the layers of a label network) shared with idle
// analysis threads. A loop is shared only on a thread that lends a
// SharedWork for the time a Lend lives on its stack, and only one loop at a
// time (OpenCV runs a loop begun while another is under way whole on its
// caller). Anywhere else a loop runs whole on its caller, as with one OpenCV
// thread, and OpenCV starts no threads of its own.
namespace SharedCvLoops {
// Hands OpenCV's loops here from now on; once per process is enough.
void install();

class Lend
{
public:
    // Loops of this thread are cut into `ways` stripes, which up to
    // `ways` - 1 idle threads of `work` take on beside it, charged to
    // `account`.
    Lend(SharedWork& work, int ways, CpuAccount* account);
    ~Lend();
    Lend(const Lend&) = delete;
    Lend& operator=(const Lend&) = delete;

private:
    friend class Backend;
    const Lend* const m_outer;
    SharedWork& m_work;
    const int m_ways;
    CpuAccount* const m_account;
};
} // namespace SharedCvLoops
