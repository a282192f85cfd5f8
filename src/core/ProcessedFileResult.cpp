#include "core/ProcessedFileResult.h"

#include <QFileInfo>

std::optional<FileStamp> FileStamp::of(const QString& filePath)
{
    const QFileInfo info(filePath);
    if (!info.isFile())
        return std::nullopt;
    return FileStamp{filePath, info.size(), info.lastModified().toMSecsSinceEpoch()};
}

bool FileStamp::matches(const QString& path) const
{
    const std::optional<FileStamp> now = of(path);
    return now && now->size == size && now->modifiedMs == modifiedMs;
}
