#pragma once

#include "core/AnalysisFailure.h"
#include "core/Screenshot.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <optional>

// A file's size and modification time when it was read: what it held then.
struct FileStamp
{
    QString filePath;
    qint64 size = 0;
    qint64 modifiedMs = 0;

    // Absent when the file cannot be looked at.
    static std::optional<FileStamp> of(const QString& filePath);
    // Whether the file at `path` still has this size and modification time.
    bool matches(const QString& path) const;
    bool operator==(const FileStamp&) const = default;
};

// What analysing one file found; written to the store in batches.
struct ProcessedFileResult
{
    QUuid id;
    QString ocrText; // empty when nothing was recognised
    QStringList tags;
    // Empty for a blank text; absent when no embedding could be computed.
    std::optional<QList<double>> embedding;
    QList<QUrl> urls;
    // The file as it was read; the result is written only while the file is
    // still so. Absent: written whatever the file became.
    std::optional<FileStamp> source;
    // Reading ran out of time: the text is what was read until then.
    bool reachedTimeBudget = false;
    // Nothing could be read: the text is empty for that reason, and the file
    // is left alone while it stays as `source` describes it.
    AnalysisFailure failure = AnalysisFailure::none;
    // Real-time stops in a row, this one included (Screenshot::unfinishedReads).
    int unfinishedReads = 0;
    // Stopped again after an unfinished reading that read more: that text,
    // and what was made of it, stays in the store and the list; only the
    // count and the failure of this result are written.
    bool keepsEarlierReading = false;
    // Of the file that was read (FileIdentity::fingerprintOf): what tells
    // another file given its name, size and date from it. 0 when not taken.
    quint64 fingerprint = 0;

    // What a file that could not be read, or was given up, is stored as: an
    // analysis that found nothing, and why.
    static ProcessedFileResult failed(const QUuid& id, AnalysisFailure failure, std::optional<FileStamp> source);
    // Reading ran out of budget after `ocrText` was read. With the processor
    // time spent, that text is all there is, and a file of which nothing was
    // read is given up. Stopped by real time alone, the file is not at fault:
    // it is unfinished (`before.unfinishedReads` such stops came right
    // before this one) and read again, unless that limit is reached. Of two
    // unfinished readings in a row, the longer text is kept.
    void endAtBudget(bool byRealTimeAlone, const Screenshot& before);
};
