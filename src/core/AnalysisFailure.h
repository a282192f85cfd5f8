#pragma once

// Why a file's analysis read nothing of it. Such a file counts as analysed
// (without text) and is read again only once its size or modification time
// change: reading it at every launch would fail or run out of time the same
// way, at the same cost.
enum class AnalysisFailure {
    none,       // read (or not analysed yet)
    unreadable, // could not be opened as a regular file, or did not decode
    givenUp,    // its time budget ran out before any of it was read
};
