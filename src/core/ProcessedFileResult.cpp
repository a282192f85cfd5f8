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

ProcessedFileResult ProcessedFileResult::failed(const QUuid& id, AnalysisFailure failure,
                                                std::optional<FileStamp> source)
{
    ProcessedFileResult result;
    result.id = id;
    result.embedding = QList<double>();
    result.source = std::move(source);
    result.reachedTimeBudget = failure == AnalysisFailure::givenUp;
    result.failure = failure;
    return result;
}

void ProcessedFileResult::endAtBudget(bool byRealTimeAlone, const Screenshot& before)
{
    reachedTimeBudget = true;
    unfinishedReads = byRealTimeAlone ? before.unfinishedReads + 1 : 0;
    // How far a stopped reading gets depends on the machine's load, not on
    // the file: a later one may read less than the one before.
    keepsEarlierReading = before.unfinishedReads > 0 && before.ocrText && before.ocrText->size() > ocrText.size();
    const bool keepsNoText = ocrText.isEmpty() && !keepsEarlierReading;
    failure = keepsNoText && !isReadAgainAfter(unfinishedReads) ? AnalysisFailure::givenUp : AnalysisFailure::none;
}
