#pragma once

#include "core/Scheduler.h"

#include <chrono>

// Gives every block of a megabyte or more (decoded pictures, the engines'
// page buffers) a mapping of its own, returned to the system when it is
// freed. Left to itself, glibc raises that threshold after the first large
// block is freed; the pictures of a run then land in the analysis threads'
// arenas, where a few small survivors among them keep hundreds of MB
// resident long after the run has ended.
//
// Call once, early in main(), before the worker threads start.
void returnLargeBlocksToSystem();

// While pictures are analysed, blocks below 16 MB stay with the allocator
// for the next line or picture: mapped afresh each time, their pages are
// zeroed again and again, and eight threads mapping at once queue in the
// kernel for the process's one address space. Cheap to call for every file;
// does nothing unless returnLargeBlocksToSystem() was called.
void holdLargeBlocksWhileAnalysing();
// After a run: large blocks are returned again, and the free pages kept
// meanwhile are given back to the system.
void returnHeldLargeBlocks();
// After a tool's run: the pages its threads freed (a space saver run's
// decoded images and encoder buffers) are given back to the system.
void returnFreePagesToSystem();

// Browsing has no end to give pages back at, as a run or a tool has: a
// closed preview's decoding and a search's scratch space leave theirs in
// the arenas of the thumbnail and search threads. They are given back once
// `freePagesQuietPeriod` has passed without another call (a search typed key
// by key, a run of previews ask again and again); each call pushes that
// moment back. GUI thread only; `scheduler` runs the wait.
inline constexpr std::chrono::milliseconds freePagesQuietPeriod{5000};
void returnFreePagesWhenQuiet(Scheduler& scheduler = Scheduler::eventLoop());
// How often returnFreePagesWhenQuiet() has given pages back.
int quietFreePagesReturns();
