#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Files of gigabytes that take no disk (their tail is a hole), and what a
// piece of work costs this process in reading and memory, from the kernel's
// own counts: bytes read through system calls (rchar of /proc/self/io), and
// the peak resident memory over what was resident before (VmHWM, reset first
// through /proc/self/clear_refs).

// `head` followed by zeros up to `size` bytes.
inline bool writeSparse(const QString& path, const QByteArray& head, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

namespace readcost {
// A figure of a /proc/self file ("rchar:", "VmRSS:"); -1 when absent.
inline qint64 figure(const char* file, const QByteArray& key)
{
    QFile source(QString::fromLatin1(file));
    if (!source.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : source.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}
} // namespace readcost

struct ReadCost
{
    double readMB = 0;
    // Below zero when the peak could not be reset.
    double peakOverStartMB = -1;
};

template <typename Work>
ReadCost readCostOf(Work&& work)
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    const bool peakReset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
    clear.close();
    const qint64 residentKB = readcost::figure("/proc/self/status", "VmRSS:");
    const qint64 readBefore = readcost::figure("/proc/self/io", "rchar:");
    work();
    const qint64 readAfter = readcost::figure("/proc/self/io", "rchar:");
    const qint64 peakKB = readcost::figure("/proc/self/status", "VmHWM:");
    ReadCost cost;
    cost.readMB = double(readAfter - readBefore) / (1024.0 * 1024.0);
    if (peakReset && residentKB > 0 && peakKB > 0)
        cost.peakOverStartMB = double(peakKB - residentKB) / 1024.0;
    return cost;
}
