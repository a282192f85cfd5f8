#pragma once

// Gives every block of a megabyte or more (decoded pictures, the engines'
// page buffers) a mapping of its own, returned to the system when it is
// freed. Left to itself, glibc raises that threshold after the first large
// block is freed; the pictures of a run then land in the analysis threads'
// arenas, where a few small survivors among them keep hundreds of MB
// resident long after the run has ended.
//
// Call once, early in main(), before the worker threads start.
void returnLargeBlocksToSystem();
