#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Which file a name holds and what it held: the same device and inode with
// the same size and modification time under another name is the same file,
// renamed or moved; a different pair, size or time under the same name is a
// file saved again. For a symbolic link to a regular file, the link's own
// device and inode with the size and time of the file it leads to.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedMs = 0; // since 1970

    // Absent when nothing, or no regular file, is there.
    static std::optional<FileIdentity> of(const QString& path);

    bool isSameInode(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    bool operator==(const FileIdentity&) const = default;
};
