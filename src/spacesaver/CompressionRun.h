#pragma once

#include "ingest/PixelBudget.h"
#include "platform/SafeFile.h"
#include "spacesaver/CompressionService.h"
#include "spacesaver/HeicRendition.h"

#include <memory>
#include <optional>
#include <stop_token>
#include <variant>

// One run of a compression plan. Images are encoded ahead on a few workers,
// as many at once as their memory allows;
// each entry is committed on the calling thread in plan order: rendition
// written beside the image under a temporary name, moved to its final name,
// dated, and its store row pointed at it. Only when every entry is committed
// and on disk are the images removed. The first failure undoes exactly what
// this run did. A stop (the application quitting) ends the run between two
// entries without undoing anything: the journal holds what the run placed,
// and the next start settles it as after a kill.
class CompressionRun
{
public:
    using Service = CompressionService;
    using Operation = CompressionService::CompressionPlan::FileOperation;
    using Result = CompressionService::CompressionResult;

    CompressionRun(const Service& service, const QList<Operation>& operations,
                   const Service::CompressionOptions& options, const QString& folder, const Service::Progress& progress,
                   std::stop_token stop = {});
    ~CompressionRun();

    CompressionRun(const CompressionRun&) = delete;
    CompressionRun& operator=(const CompressionRun&) = delete;

    Result execute();

private:
    // What this run has done to one entry, so that a rollback undoes exactly that.
    struct Entry
    {
        Operation operation;
        QString imagePath;
        QString temporaryPath;
        QString heicPath;
        QString skipReason; // known before encoding
        Result::SkipReason skipKind = Result::SkipReason::nameTaken;
        // Filled by its encoding, under Encodings::mutex.
        std::shared_ptr<std::optional<HeicRendition>> rendition;
        SafeFile::FileStamp source;
        qint64 compressedSize = 0;
        bool temporaryMade = false;
        bool renditionPlaced = false;
        bool rowUpdated = false;
    };
    struct Skipped
    {
        QString reason;
        Result::SkipReason kind;
        SafeFile::FileStamp source = {};
    };
    struct Committed
    {};
    struct Stopped
    {};
    using Step = std::variant<Committed, Skipped, Service::Failure, Stopped>;
    // What the encodings share with the run; they may outlive a stopped run.
    struct Encodings;

    std::optional<QString> checkFreeSpace() const;
    void prepare(qsizetype index);
    void encodeAhead(qsizetype committed);
    Step commit(qsizetype index);
    // The entry's rendition once encoded; nothing when a stop came first.
    std::optional<HeicRendition> awaitRendition(Entry& entry);
    Result stop(qsizetype index);
    Step place(qsizetype index, const HeicRendition& rendition);
    std::optional<Service::Failure> syncRenditions() const;
    static Result::CompressedFile compressedFile(const Entry& entry);
    QList<Result::CompressedFile> removeImages();
    Result fail(qsizetype index, const Service::Failure& failure);
    void rollback(qsizetype upTo);
    // Whether the entry was undone whole; otherwise both files stay.
    bool rollBackEntry(Entry& entry);
    void finishJournal();
    // Ends the encodings not yet begun and waits for those under way.
    void stopEncoding();
    // Sets the stored size of the row at `path`.
    bool storeSize(const QString& path, qint64 size) const;

    QString position(qsizetype index) const;
    void report(qsizetype index) const;

    const Service& m_service;
    Service::CompressionOptions m_options;
    QString m_folder;
    const Service::Progress& m_progress;
    QList<Entry> m_entries;
    QList<qsizetype> m_committed; // entries replaced by their renditions, in plan order
    QList<Result::SkippedFile> m_skipped;
    CompressionJournal m_journal;
    QList<CompressionJournal::Entry> m_journalEntries; // written ahead of each rendition
    QStringList m_keptAfterRollback;
    std::shared_ptr<Encodings> m_encodings;
    int m_encoderCount = 1;
    std::stop_token m_stop;
    bool m_leavesEncodings = false; // stopped: the encodings under way are not waited for
    qsizetype m_prepared = 0;
};
