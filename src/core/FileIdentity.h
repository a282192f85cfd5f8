#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Which file a name holds and what it held. Under the same name, the same
// size and modification time are the same file whatever its device and inode
// (a library copied or restored with its dates); another size or time is the
// file saved again. Under another name, the same device and inode with the
// same size and modification time are the same file renamed or moved, but
// only when its birth time (or, where the file system keeps none, a
// fingerprint of its bytes) says so too: a new file may get the inode of a
// deleted one, and with it that file's size and date. For a symbolic link to
// a regular file, the link's own device, inode and birth time with the size
// and time of the file it leads to.
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
    // Taken only where there is no birth time, since it costs a read.
    quint64 fingerprint = 0;

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
    // At one name: still the same file, whatever its inode.
    bool hasSameDates(const FileIdentity& other) const { return size == other.size && modifiedMs == other.modifiedMs; }
    // At one name, the same file: whether a row that recorded this must
    // record `now` (another inode or birth time, or a fingerprint due).
    bool isOutdatedBy(const FileIdentity& now) const;
    // Whether `now`, found at `path` under another name, is surely the file
    // this identity was recorded of. Unsure (no birth time on either side and
    // no fingerprint recorded) is no.
    bool isMovedTo(const FileIdentity& now, const QString& path) const;

    bool operator==(const FileIdentity&) const = default;
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
