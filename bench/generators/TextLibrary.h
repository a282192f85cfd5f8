#pragma once

#include "core/Screenshot.h"

#include <QList>

// A library as analysis leaves it, for searches: each screenshot a screenful
// of everyday text (a few of them the screens users look for again), order
// numbers and amounts, now and then a made-up name or term that only one to
// fifty screenshots hold, 1-2 KB, with visual labels, a 100-d embedding, custom
// tags on one in 20 and a note on one in 50; newest first, ten minutes apart.
// The same count gives the same texts.
namespace TextLibrary {
QList<Screenshot> generate(int count);
}
