#include "core/MemoryInfo.h"

#include "core/Clock.h"

#include <QFile>

#include <unistd.h>

MemoryInfo MemoryInfo::current()
{
    MemoryInfo info;
    info.timestamp = Clock::now();
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly))
        info.usedMB = residentMBFromStatm(statm.read(256), sysconf(_SC_PAGESIZE));
    return info;
}

double MemoryInfo::residentMBFromStatm(const QByteArray& statm, long pageSize)
{
    const QList<QByteArray> fields = statm.simplified().split(' ');
    if (fields.size() < 2 || pageSize <= 0)
        return 0;
    bool ok = false;
    const qulonglong pages = fields[1].toULongLong(&ok);
    if (!ok)
        return 0;
    return double(pages) * double(pageSize) / 1024.0 / 1024.0;
}
