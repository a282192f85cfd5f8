#include "core/FileIdentity.h"

#include <QCryptographicHash>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

namespace {
constexpr qint64 fingerprintPart = 16 * 1024;

qint64 milliseconds(const struct statx_timestamp& time)
{
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1'000'000;
}

qint64 nanoseconds(const struct statx_timestamp& time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

bool statxAt(int directory, const char* name, int flags, struct statx& result)
{
    return ::statx(directory, name, flags, STATX_BASIC_STATS | STATX_BTIME, &result) == 0;
}
} // namespace

std::optional<FileIdentity> FileIdentity::of(const QString& path)
{
    const FileEntry entry = FileEntry::at(AT_FDCWD, QFile::encodeName(path).constData());
    if (entry.kind != FileEntry::Kind::regularFile)
        return std::nullopt;
    return entry.identity;
}

FileEntry FileEntry::at(int directory, const char* name)
{
    struct statx own
    {};
    if (!statxAt(directory, name, AT_SYMLINK_NOFOLLOW, own))
        return {};
    if (S_ISDIR(own.stx_mode))
        return {Kind::directory, {}};
    struct statx content = own;
    if (S_ISLNK(own.stx_mode) && !statxAt(directory, name, 0, content))
        return {};
    if (!S_ISREG(content.stx_mode))
        return {};
    const FileIdentity identity{.device = quint64(makedev(own.stx_dev_major, own.stx_dev_minor)),
                                .inode = quint64(own.stx_ino),
                                .size = qint64(content.stx_size),
                                .modifiedMs = milliseconds(content.stx_mtime),
                                .birthNs = (own.stx_mask & STATX_BTIME) != 0 ? nanoseconds(own.stx_btime) : 0,
                                .changedNs = nanoseconds(content.stx_ctime)};
    return {Kind::regularFile, identity};
}

// The head holds a picture's header, the tail its last rows (a clock, a
// status bar): two different screenshots of one size share neither.
quint64 FileIdentity::fingerprintOf(const QString& path)
{
    // Without blocking: a FIFO put in the file's place would wait for a
    // writer for ever.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return 0;
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return 0;
    }
    struct stat opened
    {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode))
        return 0;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QByteArray head = file.read(fingerprintPart);
    if (file.error() != QFileDevice::NoError)
        return 0;
    hash.addData(head);
    const qint64 tailStart = std::max(qint64(opened.st_size) - fingerprintPart, qint64(head.size()));
    if (file.seek(tailStart))
        hash.addData(file.read(fingerprintPart));
    quint64 value = 0;
    const QByteArray digest = hash.result();
    for (int i = 0; i < 8; ++i)
        value = value << 8 | uchar(digest[i]);
    return value == 0 ? 1 : value;
}

FileIdentity FileIdentity::recordable(const QString& path) const
{
    FileIdentity recorded = *this;
    if (birthNs == 0 && fingerprint == 0)
        recorded.fingerprint = fingerprintOf(path);
    return recorded;
}

FileIdentity::Comparison FileIdentity::comparedAt(const QString& path, const FileIdentity& now) const
{
    if (!hasSameDates(now))
        return {Sameness::savedAgain, now.recordable(path)};
    FileIdentity recorded = now;
    recorded.fingerprint = fingerprint;
    // A time not recorded yet (by a row of an earlier version) is no sign of
    // change: it is recorded now.
    const auto differs = [](qint64 before, qint64 after) { return before != 0 && before != after; };
    if (isSameInode(now) && !differs(birthNs, now.birthNs) && !differs(changedNs, now.changedNs)) {
        const bool isDue =
            birthNs != now.birthNs || changedNs != now.changedNs || (now.birthNs == 0 && fingerprint == 0);
        return {isDue ? Sameness::sameFile : Sameness::unchanged, recorded.recordable(path)};
    }
    const quint64 taken = now.fingerprint != 0 ? now.fingerprint : fingerprintOf(path);
    const bool isOtherFile = fingerprint != 0 && taken != 0 && taken != fingerprint;
    if (taken != 0)
        recorded.fingerprint = taken;
    return {isOtherFile ? Sameness::otherFile : Sameness::sameFile, recorded};
}

bool FileIdentity::isMovedTo(const FileIdentity& now, const QString& path) const
{
    if (!isSameInode(now) || !hasSameDates(now))
        return false;
    if (birthNs != 0 && now.birthNs != 0)
        return birthNs == now.birthNs;
    return fingerprint != 0 && fingerprint == (now.fingerprint != 0 ? now.fingerprint : fingerprintOf(path));
}
