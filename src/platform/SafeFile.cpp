#include "platform/SafeFile.h"

#include "core/PathUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QUuid>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <shared_mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace SafeFile {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Outcome failure(const QString& what, const QString& path, int error = errno)
{
    return Outcome::failed(what + u": "_s + path + u" ("_s + reason(error) + u')');
}

qint64 nanoseconds(const timespec& time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

timespec fromNanoseconds(qint64 ns)
{
    timespec time{};
    time.tv_sec = time_t(ns / 1'000'000'000);
    time.tv_nsec = long(ns % 1'000'000'000);
    if (time.tv_nsec < 0) {
        time.tv_nsec += 1'000'000'000;
        --time.tv_sec;
    }
    return time;
}

FileStamp stampFrom(const struct stat& info)
{
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size), nanoseconds(info.st_mtim)};
}

FileTimes timesFrom(const struct stat& info)
{
    return {nanoseconds(info.st_atim), nanoseconds(info.st_mtim)};
}

std::optional<struct stat> lstatOf(const QString& path)
{
    struct stat info
    {};
    if (::lstat(native(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// Puts `from` at `to` only if nothing is there. Where the file system cannot
// rename without replacing, a hard link gives the same guarantee.
Outcome placeNoReplace(const QString& from, const QString& to, int* errorOut = nullptr)
{
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return Outcome::done();
    int error = errno;
    if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return Outcome::done();
        }
        error = errno;
    }
    if (errorOut)
        *errorOut = error;
    if (error == EEXIST)
        return Outcome::failed(u"An item already exists at "_s + to);
    return failure(u"Could not move to"_s, to, error);
}

bool copyContent(FileHandle& source, FileHandle& target, qint64 size)
{
    qint64 copied = 0;
    while (copied < size) {
        const ssize_t n =
            ::copy_file_range(source.descriptor(), nullptr, target.descriptor(), nullptr, size_t(size - copied), 0);
        if (n <= 0)
            break;
        copied += n;
    }
    if (copied == size)
        return true;
    // copy_file_range is missing or refused across these file systems: the
    // rest goes through a buffer.
    if (::lseek(source.descriptor(), copied, SEEK_SET) < 0 || ::lseek(target.descriptor(), copied, SEEK_SET) < 0)
        return false;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!target.writeAll(buffer.constData(), n))
            return false;
    }
}

QString temporaryNameBeside(const QString& target)
{
    const QFileInfo info(target);
    return info.absolutePath() + u"/."_s + info.fileName() + u'.' +
           QUuid::createUuid().toString(QUuid::Id128).left(12) + u".part"_s;
}

// Fills a fresh temporary file beside `to` with the content, mode and times of
// `source`, synced to disk. Returns its path, or the reason it failed.
std::optional<QString> stageCopy(OpenedFile& source, const QString& to, QString* error)
{
    const QString staged = temporaryNameBeside(to);
    std::optional<FileHandle> target = createExclusive(staged, error);
    if (!target)
        return std::nullopt;
    const auto times = std::array{fromNanoseconds(source.times.accessedNs), fromNanoseconds(source.times.modifiedNs)};
    const bool written = copyContent(source.handle, *target, source.stamp.size) &&
                         ::fchmod(target->descriptor(), mode_t(source.mode)) == 0 &&
                         ::futimens(target->descriptor(), times.data()) == 0 && target->sync();
    if (!written) {
        *error = failure(u"Could not copy to"_s, to).error;
        ::unlink(native(staged).constData());
        return std::nullopt;
    }
    return staged;
}

} // namespace

FileHandle::FileHandle(int descriptor)
    : m_fd(descriptor)
{}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FileHandle::~FileHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 FileHandle::read(char* buffer, qint64 size)
{
    qint64 total = 0;
    while (total < size) {
        const ssize_t n = ::read(m_fd, buffer + total, size_t(size - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

std::optional<QByteArray> FileHandle::readToEnd()
{
    QByteArray content;
    struct stat info
    {};
    if (::fstat(m_fd, &info) == 0 && info.st_size > 0)
        content.reserve(qsizetype(info.st_size));
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = read(chunk.data(), chunk.size());
        if (n < 0)
            return std::nullopt;
        content.append(chunk.constData(), n);
        if (n < chunk.size())
            return content;
    }
}

bool FileHandle::writeAll(const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool FileHandle::sync()
{
    return ::fsync(m_fd) == 0;
}

void FileHandle::adviseSequential()
{
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

std::optional<OpenedFile> openRegular(const QString& path, QString* error)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = failure(u"Cannot open"_s, path).error;
        return std::nullopt;
    }
    FileHandle handle(fd);
    struct stat info
    {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (error)
            *error = u"Not a regular file: "_s + path;
        return std::nullopt;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return OpenedFile{std::move(handle), stampFrom(info), timesFrom(info), unsigned(info.st_mode & 07777)};
}

std::optional<QByteArray> readRegular(const QString& path, QString* error)
{
    std::optional<OpenedFile> file = openRegular(path, error);
    if (!file)
        return std::nullopt;
    std::optional<QByteArray> content = file->handle.readToEnd();
    if (!content && error)
        *error = failure(u"Cannot read"_s, path).error;
    return content;
}

std::optional<FileStamp> stampOf(const QString& path)
{
    const auto info = lstatOf(path);
    if (!info || !S_ISREG(info->st_mode))
        return std::nullopt;
    return stampFrom(*info);
}

std::optional<FileTimes> timesOf(const QString& path)
{
    const auto info = lstatOf(path);
    if (!info || !S_ISREG(info->st_mode))
        return std::nullopt;
    return timesFrom(*info);
}

Outcome setTimes(const QString& path, const FileTimes& times)
{
    const auto both = std::array{fromNanoseconds(times.accessedNs), fromNanoseconds(times.modifiedNs)};
    if (::utimensat(AT_FDCWD, native(path).constData(), both.data(), AT_SYMLINK_NOFOLLOW) != 0)
        return failure(u"Cannot set the dates of"_s, path);
    return Outcome::done();
}

bool isTaken(const QString& path)
{
    return lstatOf(path).has_value() || errno != ENOENT;
}

FolderLookup::FolderLookup(const QString& folder)
    : m_folder(folder)
    , m_handle(::open(native(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC))
{}

bool FolderLookup::isRegularFile(QStringView relativePath) const
{
    if (!m_handle.isOpen())
        return stampOf(m_folder + u'/' + relativePath.toString()).has_value();
    const QByteArray path = native(relativePath.toString());
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray name = path.sliced(slash + 1);
    if (name.isEmpty())
        return false;
    const Listing& listing = listingOf(slash < 0 ? QByteArray() : path.first(slash));
    return listing.readable ? listing.regularNames.contains(name) : statsAsRegular(path);
}

bool FolderLookup::statsAsRegular(const QByteArray& relativePath) const
{
    struct stat info
    {};
    return ::fstatat(m_handle.descriptor(), relativePath.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(info.st_mode);
}

const FolderLookup::Listing& FolderLookup::listingOf(const QByteArray& subfolder) const
{
    {
        const std::shared_lock reading(m_mutex);
        auto known = m_listings.constFind(subfolder);
        if (known != m_listings.cend())
            return **known;
    }
    const std::lock_guard writing(m_mutex);
    // Another thread may have read it meanwhile.
    auto known = m_listings.constFind(subfolder);
    if (known != m_listings.cend())
        return **known;
    auto listing = std::make_shared<Listing>();
    const int fd = ::openat(m_handle.descriptor(), subfolder.isEmpty() ? "." : subfolder.constData(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder that can be searched but not read is still asked name by name.
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(fd >= 0 ? ::fdopendir(fd) : nullptr, &::closedir);
    if (!folder && fd >= 0)
        ::close(fd);
    if (folder) {
        listing->readable = true;
        const QByteArray prefix = subfolder.isEmpty() ? QByteArray() : subfolder + '/';
        while (const dirent* entry = ::readdir(folder.get())) {
            const bool regular =
                entry->d_type == DT_REG || (entry->d_type == DT_UNKNOWN && statsAsRegular(prefix + entry->d_name));
            if (regular)
                listing->regularNames.insert(QByteArray(entry->d_name));
        }
    }
    return **m_listings.insert(subfolder, std::move(listing));
}

Outcome moveNoReplace(const QString& from, const QString& to)
{
    const auto source = lstatOf(from);
    if (!source)
        return failure(u"Cannot move"_s, from);
    if (!S_ISREG(source->st_mode))
        return Outcome::failed(u"Not a regular file: "_s + from);
    if (isTaken(to))
        return Outcome::failed(u"An item already exists at "_s + to);
    int error = 0;
    Outcome placed = placeNoReplace(from, to, &error);
    if (placed || error != EXDEV)
        return placed;
    return copyThenRemove(from, to);
}

Outcome copyThenRemove(const QString& from, const QString& to)
{
    return copyThenRemoveWith(from, to, syncFolderOf);
}

Outcome copyThenRemoveWith(const QString& from, const QString& to, const FolderSync& syncFolder)
{
    QString error;
    std::optional<OpenedFile> source = openRegular(from, &error);
    if (!source)
        return Outcome::failed(error);
    if (isTaken(to))
        return Outcome::failed(u"An item already exists at "_s + to);
    const std::optional<QString> staged = stageCopy(*source, to, &error);
    if (!staged)
        return Outcome::failed(error);
    if (Outcome placed = placeNoReplace(*staged, to); !placed) {
        ::unlink(native(*staged).constData());
        return placed;
    }
    // From here the file is at its new place, its bytes on disk: the move
    // counts as done, and whatever cannot be finished is only reported. A
    // failure to flush the new name leaves no reason to keep a second copy
    // that no row and no undo record would know of.
    QStringList unfinished;
    if (Outcome synced = syncFolder(to); !synced)
        unfinished.append(synced.error);
    if (::unlink(native(from).constData()) != 0 && ::unlink(native(from).constData()) != 0)
        unfinished.append(failure(u"Copied, but could not remove the original"_s, from).error);
    else if (Outcome synced = syncFolder(from); !synced)
        unfinished.append(synced.error);
    return unfinished.isEmpty() ? Outcome::done() : Outcome::doneWithWarning(unfinished.join(u"; "_s));
}

std::optional<FileHandle> createExclusive(const QString& path, QString* error)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = errno == EEXIST ? u"An item already exists at "_s + path : failure(u"Cannot create"_s, path).error;
        return std::nullopt;
    }
    return FileHandle(fd);
}

Outcome writeNewFile(const QString& path, const QByteArray& bytes)
{
    QString error;
    std::optional<FileHandle> file = createExclusive(path, &error);
    if (!file)
        return Outcome::failed(error);
    if (!file->writeAll(bytes) || !file->sync()) {
        const Outcome failed = failure(u"Cannot write"_s, path);
        ::unlink(native(path).constData());
        return failed;
    }
    return syncFolderOf(path);
}

Outcome writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& writer)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Outcome::failed(u"Cannot write "_s + path + u" ("_s + file.errorString() + u')');
    if (!writer(file)) {
        file.cancelWriting();
        return Outcome::failed(u"Writing was abandoned: "_s + path);
    }
    // QSaveFile syncs the new file before renaming it over the old one.
    if (!file.commit())
        return Outcome::failed(u"Cannot write "_s + path + u" ("_s + file.errorString() + u')');
    return syncFolderOf(path);
}

Outcome writeAtomically(const QString& path, const QByteArray& bytes)
{
    return writeAtomically(path, [&](QIODevice& device) { return device.write(bytes) == bytes.size(); });
}

Outcome syncFolderOf(const QString& path)
{
    const QString folder = folderOf(path);
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return failure(u"Cannot open the folder"_s, folder);
    FileHandle handle(fd);
    if (!handle.sync())
        return failure(u"Cannot flush the folder"_s, folder);
    return Outcome::done();
}

Outcome makeFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return Outcome::done();
    if (isTaken(path))
        return Outcome::failed(u"Something that is not a folder is in the way: "_s + path);
    if (!QDir().mkpath(path))
        return Outcome::failed(u"Cannot create the folder "_s + path);
    return Outcome::done();
}

Outcome removeRegular(const QString& path)
{
    const auto info = lstatOf(path);
    if (!info)
        return failure(u"Cannot remove"_s, path);
    if (!S_ISREG(info->st_mode))
        return Outcome::failed(u"Not a regular file: "_s + path);
    if (::unlink(native(path).constData()) != 0)
        return failure(u"Cannot remove"_s, path);
    return Outcome::done();
}

Outcome removeEmptyFolder(const QString& path)
{
    const auto info = lstatOf(path);
    if (!info || !S_ISDIR(info->st_mode))
        return Outcome::failed(u"Not a folder: "_s + path);
    // rmdir itself refuses a folder that holds anything.
    if (::rmdir(native(path).constData()) != 0)
        return failure(u"Cannot remove the folder"_s, path);
    return Outcome::done();
}

Outcome checkInside(const QString& path, const QString& folder)
{
    if (!QDir::isAbsolutePath(path) || QDir::cleanPath(path) != path)
        return Outcome::failed(u"Not a clean absolute path: "_s + path);
    if (folder.isEmpty() || !isInside(path, folder) || QDir::cleanPath(path) == QDir::cleanPath(folder))
        return Outcome::failed(u"Outside the monitored folder: "_s + path);
    // A symbolic link among the folders between would lead elsewhere. Folders
    // a tool is about to create do not exist yet: their nearest existing
    // ancestor decides.
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    QString ancestor = folderOf(path);
    while (!isTaken(ancestor) && isInside(ancestor, folder) && ancestor != folder)
        ancestor = folderOf(ancestor);
    const QString realParent = QFileInfo(ancestor).canonicalFilePath();
    if (realFolder.isEmpty() || realParent.isEmpty() || !isInside(realParent, realFolder))
        return Outcome::failed(u"Outside the monitored folder: "_s + path);
    return Outcome::done();
}

} // namespace SafeFile
