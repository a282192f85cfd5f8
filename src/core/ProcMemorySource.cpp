#include "core/ProcMemorySource.h"

#include "core/MemoryInfo.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QByteArray readFile(const QString& path)
{
    QFile file(path);
    // /proc and /sys files report size 0, so read to the end rather than by size.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<qint64> toBytes(const QByteArray& text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok && value >= 0 ? std::optional(value) : std::nullopt;
}
} // namespace

double ProcMemorySource::residentMB()
{
    return MemoryInfo::current().usedMB;
}

std::optional<qint64> ProcMemorySource::availableBytes()
{
    std::optional<qint64> headroom;
    const auto mountPoint = cgroup2MountPoint(readFile(u"/proc/self/mountinfo"_s));
    const auto path = cgroup2Path(readFile(u"/proc/self/cgroup"_s));
    if (mountPoint && path)
        headroom = cgroupHeadroomBytes(*mountPoint, *path);
    return availableBytes(readFile(u"/proc/meminfo"_s), headroom);
}

qint64 ProcMemorySource::physicalBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
}

std::optional<qint64> ProcMemorySource::meminfoBytes(const QByteArray& meminfo, const QByteArray& name)
{
    const QByteArray prefix = name + ':';
    for (const QByteArray& line : meminfo.split('\n')) {
        if (!line.startsWith(prefix))
            continue;
        const QList<QByteArray> fields = line.mid(prefix.size()).simplified().split(' ');
        const std::optional<qint64> value = toBytes(fields.value(0));
        if (!value)
            return std::nullopt;
        const bool inKiB = fields.value(1) == "kB";
        return inKiB ? *value * 1024 : *value;
    }
    return std::nullopt;
}

std::optional<QString> ProcMemorySource::cgroup2MountPoint(const QByteArray& mountinfo)
{
    // "36 25 0:30 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw": the mount
    // point is the fifth field, the type follows the " - " separator.
    for (const QByteArray& line : mountinfo.split('\n')) {
        const qsizetype separator = line.indexOf(" - ");
        if (separator < 0 || !line.mid(separator + 3).startsWith("cgroup2 "))
            continue;
        const QList<QByteArray> fields = line.left(separator).split(' ');
        if (fields.size() >= 5)
            return QString::fromUtf8(fields[4]);
    }
    return std::nullopt;
}

std::optional<QString> ProcMemorySource::cgroup2Path(const QByteArray& cgroup)
{
    for (const QByteArray& line : cgroup.split('\n')) {
        if (line.startsWith("0::/"))
            return QString::fromUtf8(line.mid(3).trimmed());
    }
    return std::nullopt;
}

std::optional<qint64> ProcMemorySource::cgroupLimitBytes(const QByteArray& memoryMax)
{
    return toBytes(memoryMax);
}

std::optional<qint64> ProcMemorySource::statBytes(const QByteArray& memoryStat, QByteArrayView key)
{
    // "inactive_file 123456" lines, in bytes.
    for (const QByteArray& line : memoryStat.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() == 2 && fields[0] == key)
            return toBytes(fields[1]);
    }
    return std::nullopt;
}

std::optional<qint64> ProcMemorySource::cgroupHeadroomBytes(const QString& mountPoint, const QString& cgroupPath)
{
    std::optional<qint64> headroom;
    QString path = QDir::cleanPath(cgroupPath);
    while (true) {
        const QString folder = QDir::cleanPath(mountPoint + u'/' + path);
        const std::optional<qint64> limit = cgroupLimitBytes(readFile(folder + u"/memory.max"_s));
        const std::optional<qint64> usage = toBytes(readFile(folder + u"/memory.current"_s));
        if (limit && usage) {
            // The page cache of files read and no longer in use is counted
            // in the usage, but the kernel hands it back on demand: after
            // reading many images it would otherwise look like a full box.
            const qint64 reclaimable = statBytes(readFile(folder + u"/memory.stat"_s), "inactive_file").value_or(0);
            const qint64 room = std::max<qint64>(0, *limit - std::max<qint64>(0, *usage - reclaimable));
            headroom = std::min(headroom.value_or(room), room);
        }
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash < 0 || path == u"/"_s)
            break;
        path = slash == 0 ? u"/"_s : path.left(slash);
    }
    return headroom;
}

std::optional<qint64> ProcMemorySource::availableBytes(const QByteArray& meminfo, std::optional<qint64> cgroupHeadroom)
{
    const std::optional<qint64> available = meminfoBytes(meminfo, "MemAvailable");
    if (!available)
        return std::nullopt;
    return cgroupHeadroom ? std::min(*available, *cgroupHeadroom) : *available;
}
