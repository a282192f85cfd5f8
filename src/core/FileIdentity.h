#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Which file a name holds and what it held. Under the same name, the same
// size and modification time are the same file whatever its device and inode
// (a library copied or restored with its dates), unless its bytes say
// otherwise: another file written there with the old dates, or the file
// rewritten in place with its date put back. The bytes (a fingerprint of the
// first and last ones) are looked at only where the inode, birth or change
// time differ from the record. Another size or time is the file saved again.
// Under another name, the same device and inode with the same size and
// modification time are the same file renamed or moved, but only when its
// birth time (or, where the file system keeps none, a fingerprint of its
// bytes) says so too: a new file may get the inode of a deleted one, and with
// it that file's size and date. For a symbolic link to a regular file, the
// link's own device, inode and birth time with the size and times of the
// file it leads to.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedMs = 0; // since 1970
    // When the inode was made, in nanoseconds since 1970; 0 where the file
    // system keeps no birth time, or none was recorded.
    qint64 birthNs = 0;
    // Of the file's first and last bytes (fingerprintOf); 0 when not taken.
    // A stat takes none, since it costs a read: a row records the one its
    // analysis took, or, where there is no birth time, one of its own.
    quint64 fingerprint = 0;
    // When the inode last changed (its bytes, dates, name or permissions),
    // in nanoseconds since 1970; 0 where none was recorded.
    qint64 changedNs = 0;

    // What the file found as `now` at the name a row recorded this identity
    // under is to that row.
    enum class Sameness {
        unchanged,  // nothing to record
        sameFile,   // the same bytes, with other facts to record (copied, restored, touched back)
        savedAgain, // another size or modification time
        otherFile,  // the same size and time, other bytes
    };
    struct Comparison;

    // What a stat tells, without a fingerprint. Absent when nothing, or no
    // regular file, is there.
    static std::optional<FileIdentity> of(const QString& path);

    // A hash of the first and last bytes of the file at `path`, never 0; 0
    // when it cannot be read.
    static quint64 fingerprintOf(const QString& path);

    // This identity as a row keeps it: with the fingerprint of the file at
    // `path` when there is no birth time to tell it from a later file.
    FileIdentity recordable(const QString& path) const;

    bool isSameInode(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    bool hasSameDates(const FileIdentity& other) const { return size == other.size && modifiedMs == other.modifiedMs; }
    // `now`, found at `path`, held against this identity recorded of the
    // file at that name. With the same dates, a fingerprint is taken only
    // where the inode, birth or change time differ; without one recorded to
    // compare it with, the dates stand (a row of an earlier version).
    Comparison comparedAt(const QString& path, const FileIdentity& now) const;
    // Whether `now`, found at `path` under another name, is surely the file
    // this identity was recorded of. Unsure (no birth time on either side and
    // no fingerprint recorded) is no.
    bool isMovedTo(const FileIdentity& now, const QString& path) const;

    bool operator==(const FileIdentity&) const = default;
};

struct FileIdentity::Comparison
{
    Sameness sameness = Sameness::unchanged;
    // What the row records from now on: `now`, with the fingerprint taken,
    // or the recorded one while the bytes are the same.
    FileIdentity recorded;
};

// What a stat of a folder's entry tells: a symbolic link counts as the
// regular file it leads to, a link to a folder as nothing (a link back up the
// tree would list files twice or never end).
struct FileEntry
{
    enum class Kind { directory, regularFile, other };
    Kind kind = Kind::other;
    FileIdentity identity; // of a regular file

    // `name` inside the folder open as `directory` (AT_FDCWD for a path).
    static FileEntry at(int directory, const char* name);
};
