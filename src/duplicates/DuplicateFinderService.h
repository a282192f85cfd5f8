#pragma once

#include "core/Screenshot.h"
#include "core/Workers.h"
#include "duplicates/SameSizeComparison.h"
#include "platform/SafeFile.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <atomic>
#include <functional>
#include <optional>

// Finds byte-identical files: candidates share their size, then their SHA-256
// digest. Keeps no state between analyses. An analysis reads files for a
// while: run it on a worker thread, which reads with threads of `readers`
// (Workers::duplicateReads()) beside it.
class DuplicateFinderService
{
public:
    explicit DuplicateFinderService(Workers::Pool& readers)
        : m_readers(&readers)
    {}

    struct DuplicateGroup
    {
        QUuid id;
        QString hash; // SHA-256, 64 lower-case hexadecimal digits
        QList<Screenshot> screenshots;
        qint64 fileSize = 0;
        // Each member's file as it was when hashed, in member order: a file
        // that differs from its stamp may no longer hold this content.
        QList<SafeFile::FileStamp> stamps;

        // Latest (earliest) date; on equal dates the first in member order.
        const Screenshot& newestScreenshot() const;
        const Screenshot& oldestScreenshot() const;
        std::optional<SafeFile::FileStamp> stampOf(const QUuid& memberId) const;
    };

    struct DuplicateAnalysisResult
    {
        QList<DuplicateGroup> groups;
        int totalDuplicates = 0;
        qint64 totalSavings = 0;
        double analysisTime = 0; // seconds
    };

    struct Options
    {
        // Files read at once, 1 to 4 (as many as the readers' threads are
        // free for, besides the analysing one); the groups are the same
        // whatever the number. By default half the cores, at least 2.
        int readers = defaultReaders();
        // Compare same-size files side by side and hash one file of each
        // identical set, instead of hashing every file whole.
        bool compareFirst = true;
    };

    // Every tenth candidate as it starts, and (total, total) at the end. Called
    // on the analysing threads, one call at a time, in increasing order.
    using Progress = std::function<void(int current, int total)>;

    // What reading one file gave: its digest and the file as it was read.
    using Digest = SameSizeComparison::Digest;

    DuplicateAnalysisResult findDuplicates(const QList<Screenshot>& screenshots, const Progress& progress,
                                           const Options& options, const std::atomic<bool>* cancelled = nullptr) const;

    // The digest of a regular file's whole content; nothing (and a console
    // line) when it cannot be opened or read, or changed while being read.
    static std::optional<Digest> computeHash(const QString& path);
    // Size of the regular file at `path`; 0 on any failure.
    static qint64 fileSize(const QString& path);

    // Bytes read by analyses in this process, for measurements.
    static qint64 bytesRead();

    static int defaultReaders();
    static void sortGroups(QList<DuplicateGroup>& groups);
    static qint64 reclaimableBytes(const DuplicateGroup& group);

private:
    Workers::Pool* m_readers; // a pointer, so that a copy can run on a worker
};
