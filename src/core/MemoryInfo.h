#pragma once

#include <QDateTime>

// The process's resident memory, the one figure every memory line reports.
struct MemoryInfo
{
    double usedMB = 0; // resident bytes / 1024 / 1024; 0 when it cannot be read
    QDateTime timestamp;

    static MemoryInfo current();
    // Resident MB from the text of /proc/self/statm and the page size; 0 for
    // text that does not have the two leading numbers.
    static double residentMBFromStatm(const QByteArray& statm, long pageSize);
};
