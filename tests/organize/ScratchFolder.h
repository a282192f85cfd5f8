#pragma once

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

// A scratch folder in memory where the machine has one: the store commits
// every path update to disk, which on a busy disk costs more than the rest
// of a run.
inline QString scratchTemplate()
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    return memory.isDir() && memory.isWritable() ? QStringLiteral("/dev/shm/organize-XXXXXX")
                                                 : QDir::tempPath() + QStringLiteral("/organize-XXXXXX");
}
