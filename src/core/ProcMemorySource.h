#pragma once

#include "core/MemoryMonitor.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The machine's figures as Linux reports them: MemAvailable of /proc/meminfo,
// narrowed to the headroom under this process's cgroup v2 memory limits when
// any is set (a container's limit is what really bounds us there).
class ProcMemorySource : public MemoryMonitor::Source
{
public:
    double residentMB() override;
    std::optional<qint64> availableBytes() override;
    qint64 physicalBytes() override;

    // A "Name:   1234 kB" field of /proc/meminfo in bytes; none when missing.
    static std::optional<qint64> meminfoBytes(const QByteArray& meminfo, const QByteArray& name);
    // The folder of the unified (v2) hierarchy in /proc/self/mountinfo text.
    static std::optional<QString> cgroup2MountPoint(const QByteArray& mountinfo);
    // This process's v2 cgroup ("0::/path") in /proc/self/cgroup text.
    static std::optional<QString> cgroup2Path(const QByteArray& cgroup);
    // memory.max text: a byte count, or none for "max" and anything unreadable.
    static std::optional<qint64> cgroupLimitBytes(const QByteArray& memoryMax);
    // Smallest (limit − usage) over the cgroup and its ancestors that have a
    // limit, never below 0; none when no level is limited.
    static std::optional<qint64> cgroupHeadroomBytes(const QString& mountPoint, const QString& cgroupPath);
    // One "key value" line of a cgroup's memory.stat, in bytes.
    static std::optional<qint64> statBytes(const QByteArray& memoryStat, QByteArrayView key);
    // MemAvailable, narrowed by the cgroup headroom when there is one.
    static std::optional<qint64> availableBytes(const QByteArray& meminfo, std::optional<qint64> cgroupHeadroom);
};
