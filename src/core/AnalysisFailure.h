#pragma once

// Why a file's analysis read nothing of it. Such a file counts as analysed
// (without text) and is read again only once its size or modification time
// change: reading it at every launch would fail or run out of time the same
// way, at the same cost.
enum class AnalysisFailure {
    none,       // read (or not analysed yet)
    unreadable, // could not be opened as a regular file, or did not decode
    givenUp,    // its processor time ran out before any of it was read, or
                // real time stopped it as often as unfinishedReadLimit allows
};

// Analyses in a row that real time alone may stop before a file stops being
// read again at each start (Screenshot::unfinishedReads): a crowded machine
// is no fault of the file, but nothing may be read again for ever.
inline constexpr int unfinishedReadLimit = 3;
// Whether a file left unfinished by `unfinishedReads` real-time stops in a
// row is read again.
constexpr bool isReadAgainAfter(int unfinishedReads)
{
    return unfinishedReads > 0 && unfinishedReads < unfinishedReadLimit;
}
