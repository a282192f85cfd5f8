#pragma once

#include <QtGlobal>

namespace Soak {

// A folder read first by the program held to one core shared with busy
// threads (its files' real time runs out long before their processor time),
// then by a normal start, as after the load went.
struct StarvedRun
{
    int files = 0;
    // Files without their whole text after the starved run: what it cut short.
    int cutShort = 0;
    // Files whose text is missing or partial after the normal start too.
    int lostText = 0;
};
StarvedRun starvedRun(quint32 seed);

} // namespace Soak
