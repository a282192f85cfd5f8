#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>

class QIODevice;

// Operations on the user's files that can neither overwrite nor half-write a
// file, and that act on regular files only. The tools change the monitored
// folder through these (or through the FileOps seam over them).
namespace SafeFile {

// What an operation came to: an empty error means it was done.
struct [[nodiscard]] Outcome
{
    QString error;
    // Done, but with something left to tell (a copy that stayed behind).
    QString warning;

    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }
    static Outcome done() { return {}; }
    static Outcome failed(QString why) { return {std::move(why), {}}; }
    static Outcome doneWithWarning(QString what) { return {{}, std::move(what)}; }
};

// Enough of a file's identity and state to tell later whether the name still
// holds the same, unchanged file.
struct FileStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0; // since 1970

    bool operator==(const FileStamp&) const = default;
};

struct FileTimes
{
    qint64 accessedNs = 0; // since 1970
    qint64 modifiedNs = 0;

    bool operator==(const FileTimes&) const = default;
};

// An open file descriptor, closed when the handle goes.
class FileHandle
{
public:
    FileHandle() = default;
    explicit FileHandle(int descriptor);
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    // Fills `buffer` as far as the file allows; 0 at the end, -1 on an error.
    qint64 read(char* buffer, qint64 size);
    // The rest of the file, or nothing on a read error.
    std::optional<QByteArray> readToEnd();
    bool writeAll(const char* data, qint64 size);
    bool writeAll(const QByteArray& bytes) { return writeAll(bytes.constData(), bytes.size()); }
    bool sync();
    // Tells the kernel the file will be read once from start to end.
    void adviseSequential();

private:
    int m_fd = -1;
};

// A regular file opened for reading. A FIFO, device, folder or symbolic link
// at the path is refused at once, without blocking.
struct OpenedFile
{
    FileHandle handle;
    FileStamp stamp;
    FileTimes times;
    unsigned mode = 0; // permission bits
};
std::optional<OpenedFile> openRegular(const QString& path, QString* error = nullptr);

// The whole content of a regular file, or nothing.
std::optional<QByteArray> readRegular(const QString& path, QString* error = nullptr);

// The stamp of the regular file at `path` (not following a final symbolic
// link), or nothing when anything else or nothing is there.
std::optional<FileStamp> stampOf(const QString& path);
std::optional<FileTimes> timesOf(const QString& path);
Outcome setTimes(const QString& path, const FileTimes& times);

// True when anything is at `path`, a dangling symbolic link included.
bool isTaken(const QString& path);

// Looks names up below one folder, opened once. Each folder below it is read
// once, when first asked about, so that testing a hundred thousand files
// costs a few hundred directory reads instead of a path walk and a stat each.
// Answers therefore describe each folder as it was when first read. Several
// threads may ask at once.
class FolderLookup
{
public:
    explicit FolderLookup(const QString& folder);
    // As stampOf(folder + "/" + relativePath) has a value.
    bool isRegularFile(QStringView relativePath) const;

private:
    struct Listing
    {
        bool readable = false; // false: ask the file system name by name
        QSet<QByteArray> regularNames;
    };
    const Listing& listingOf(const QByteArray& subfolder) const;
    bool statsAsRegular(const QByteArray& relativePath) const;

    QString m_folder;
    FileHandle m_handle;
    mutable std::shared_mutex m_mutex;
    // Held by pointer so that a listing stays put while others are added.
    mutable QHash<QByteArray, std::shared_ptr<const Listing>> m_listings;
};

// Moves a regular file to `to`, which must be free: an existing file, folder
// or dangling link there makes the move fail and both stay as they were.
// Across file systems the file is copied (mode and times kept, synced to
// disk) before the source is removed; once the copy is in place the move is
// done, and what could not be finished after that (flushing a folder entry,
// removing the source) is named in the warning.
Outcome moveNoReplace(const QString& from, const QString& to);

// The cross-file-system path of moveNoReplace, usable on one file system too.
Outcome copyThenRemove(const QString& from, const QString& to);
// The same, with the step that flushes a folder entry to disk given (a seam
// for tests: the real one is syncFolderOf).
using FolderSync = std::function<Outcome(const QString& path)>;
Outcome copyThenRemoveWith(const QString& from, const QString& to, const FolderSync& syncFolder);

// Creates a new file for writing; fails when anything is at `path`.
std::optional<FileHandle> createExclusive(const QString& path, QString* error = nullptr);

// Writes a new file that did not exist, and makes it and its folder entry
// durable before returning. A failure leaves no partial file behind.
Outcome writeNewFile(const QString& path, const QByteArray& bytes);

// Replaces (or creates) the file at `path` all at once: readers see either the
// old content or the new one, never a mix, also after a crash. `writer` fills
// the new content; returning false abandons it and keeps the old file.
Outcome writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& writer);
Outcome writeAtomically(const QString& path, const QByteArray& bytes);

// Flushes the folder entry of `path` (its creation, rename or removal) to disk.
Outcome syncFolderOf(const QString& path);

// Creates the folder and its parents; an existing folder is fine, anything
// else in the way is an error.
Outcome makeFolder(const QString& path);

// Removes a regular file (never a folder, and never what a link points to).
Outcome removeRegular(const QString& path);

// Removes a folder only if it holds nothing at all (hidden entries count);
// a symbolic link to a folder is not removed.
Outcome removeEmptyFolder(const QString& path);

// Whether a tool may act on `path` within the monitored `folder`: the path is
// absolute and already clean (no "." or ".." steps, no doubled separators),
// lies inside the folder by the separator-aware test, and its parent folder
// does not lead outside the folder through a symbolic link.
Outcome checkInside(const QString& path, const QString& folder);

} // namespace SafeFile
