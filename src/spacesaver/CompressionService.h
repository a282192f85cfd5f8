#pragma once

#include "core/HeicWriter.h"
#include "core/Screenshot.h"
#include "platform/SafeFile.h"
#include "spacesaver/CompressionJournal.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>
#include <stop_token>
#include <variant>

class DatabaseManager;
class FileOps;
class ScreenshotMonitor;

// Replaces images of the monitored folder by smaller HEIC renditions of them.
// It plans (which files, what they might save) and runs a plan: every
// rendition is made beside its image, the store's rows follow the renditions,
// and the images are removed only once every entry is in place. The first
// failure undoes the whole run. Nothing is overwritten, ever.
//
// The service keeps no state between calls; its operations run on whatever
// thread calls them (the screen calls them from a worker), and it may encode
// several images at once while committing them one at a time in plan order.
class CompressionService
{
public:
    struct CompressionOptions
    {
        double quality = 0.95; // 0 to 1
        int maxConcurrentOperations = 4;

        bool operator==(const CompressionOptions&) const = default;
    };

    enum class ScreenshotType { photo, ui, unknown };

    struct CompressionPlan
    {
        struct FileOperation
        {
            QUuid id;
            QString screenshotId; // the store row's key, upper-case UUID text
            QString originalPath;
            qint64 originalSize = 0; // as stored
            qint64 estimatedCompressedSize = 0;
            ScreenshotType type = ScreenshotType::unknown;
        };

        QList<FileOperation> files;
        qint64 totalOriginalSize = 0;
        qint64 estimatedCompressedSize = 0;
        qint64 estimatedSavings = 0;
        double estimatedDuration = 0; // seconds
    };

    enum class CompressionError {
        cannotLoadImage,
        cannotConvertToCGImage,
        cannotCreateDestination,
        compressionFailed,
        invalidCompression,
    };
    static QString localizedDescription(CompressionError error);

    // Why one entry failed: one of the cases above, or a file-system or
    // store failure in words.
    struct Failure
    {
        std::optional<CompressionError> error;
        QString message;

        QString localizedDescription() const;
        bool operator==(const Failure&) const = default;
    };

    struct CompressionResult
    {
        struct CompressedFile
        {
            QString screenshotId;
            QString originalPath;
            qint64 originalSize = 0; // the image's size on disk when it was replaced
            qint64 compressedSize = 0;
            qint64 savings = 0; // at least 1
        };
        struct FailedFile
        {
            CompressionPlan::FileOperation operation;
            Failure error;
        };
        // Why an entry was left as it was.
        enum class SkipReason {
            notSmaller,    // its rendition at this quality was no smaller
            nameTaken,     // a file already had the rendition's name
            outsideFolder, // not inside the monitored folder
            imageKept,     // the rendition stands, but the image could not go
        };
        struct SkippedFile
        {
            QString originalPath;
            SkipReason reason = SkipReason::notSmaller;
            SafeFile::FileStamp source; // the image as it was read (notSmaller)
        };

        bool success = false;
        QList<CompressedFile> compressedFiles;
        // Entries left as they were, in plan order (those of a successful
        // run, and those passed before a failure).
        QList<SkippedFile> skippedFiles;
        // The one failing entry of a rolled-back run.
        QList<FailedFile> failedFiles;
        qint64 totalSavings = 0;
        // Set when the run was refused before any entry was touched (not
        // enough free space), or stopped for quitting; failedFiles is empty
        // then.
        QString refusal;
        // Images a rollback could not restore fully: each stays beside its
        // rendition until the next start settles it.
        QStringList keptAfterRollback;
    };

    // (entries handled, entries planned), called on the thread of the run.
    using Progress = std::function<void(int current, int total)>;
    // Turns an upright image into HEIC bytes at a quality of 0 to 100.
    using Encoder = std::function<HeicWriter::Encoded(const QImage& image, int quality)>;
    // Bytes free for the user on the file system holding `folder`, or nothing
    // when unknown.
    using FreeSpace = std::function<std::optional<qint64>(const QString& folder)>;

    // The screen sizes of interface captures, width by height.
    static const QList<QSize>& screenSizes();
    static constexpr qint64 photoPixelThreshold = 4'000'000;
    static constexpr double secondsPerFile = 0.5;
    // What the renditions made at once may take: a 48-megapixel photograph
    // takes about 1.3 GB while it is encoded, so four of them at once would
    // take more memory than many machines have.
    static constexpr qint64 defaultEncodingMemory = qint64(1) << 30;
    // Decoded pixels, their 8-bit copy, the encoder's own and the check's decoding.
    static constexpr qint64 encodingBytesPerPixel = 28;

    CompressionService(DatabaseManager& store, FileOps& fileOps);

    // The eligible images of `screenshots` (png, jpg, jpeg, tiff, tif, bmp,
    // gif), in input order, with estimates at the options' quality; known
    // unreadable and empty files are left out. Reads only image headers;
    // touches nothing.
    CompressionPlan analyzeForCompression(const QList<Screenshot>& screenshots,
                                          const CompressionOptions& options) const;
    static ScreenshotType detectScreenshotType(const QString& path);
    // Whether the library already knows that the file cannot be encoded: its
    // analysis found that it does not decode, or it is empty. Planned, it would fail
    // every run, and one failure rolls back the whole run.
    static bool isKnownUnreadable(const Screenshot& screenshot);

    // Encodes the image at `source` into a new file at `destination` (which
    // must not exist) and checks that the file decodes to the same size, and
    // with transparency where the image had some. The file's size, or why not.
    std::variant<qint64, Failure> compressImage(const QString& source, const QString& destination,
                                                double quality) const;

    // Runs a plan on the images inside `folder`; blocks until done. Never
    // overwrites: an entry whose rendition name is taken is skipped. A
    // `stop` ends the run between two entries, leaving its journal for the
    // next start to settle (the result is then a refusal).
    CompressionResult compress(const QList<CompressionPlan::FileOperation>& files, const CompressionOptions& options,
                               const QString& folder, const Progress& progress, std::stop_token stop = {}) const;

    // On the GUI thread: pauses the monitor's polling, runs compress() on a
    // worker over the monitored folder, and hands the result to `done` on the
    // GUI thread once polling has resumed. `progress` is called on the GUI
    // thread too. Returns at once; the future ends with the worker.
    QFuture<void> compressInBackground(ScreenshotMonitor& monitor, const QList<CompressionPlan::FileOperation>& files,
                                       const CompressionOptions& options, Progress progress,
                                       std::function<void(const CompressionResult&)> done) const;

    // Where runs keep their journal (none when empty): a run cut short is
    // settled from it by recoverInterruptedRun().
    void setJournalFolder(const QString& folder);
    CompressionJournal journal() const;
    // At start, and before every run: finishes or rolls back what a run cut
    // short (or a rollback that failed) left behind. What it changed.
    CompressionJournal::Recovery recoverInterruptedRun() const;
    // recoverInterruptedRun() at the application's start, keeping what it
    // settled for the space saver screen to tell once.
    void settleAtStart();
    // What the start settled: nothing when nothing was left unfinished, and
    // nothing after the first call.
    std::optional<CompressionJournal::Recovery> takeSettledAtStart();

    // Seams for tests; the defaults are the HEIC writer and the file system.
    void setEncoder(Encoder encoder) { m_encoder = std::move(encoder); }
    void setFreeSpace(FreeSpace freeSpace) { m_freeSpace = std::move(freeSpace); }
    void setEncodingMemory(qint64 bytes) { m_encodingMemory = bytes; }

    DatabaseManager& store() const { return m_store; }
    FileOps& fileOps() const { return m_fileOps; }
    const Encoder& encoder() const { return m_encoder; }
    const FreeSpace& freeSpace() const { return m_freeSpace; }
    qint64 encodingMemory() const { return m_encodingMemory; }

    // "Shot 1.png" → "Shot 1.<extension>"; earlier dots stay in the name.
    static QString renditionPath(const QString& imagePath, const QString& extension);
    static int encoderQuality(double quality);

private:
    DatabaseManager& m_store;
    FileOps& m_fileOps;
    Encoder m_encoder;
    FreeSpace m_freeSpace;
    qint64 m_encodingMemory = defaultEncodingMemory;
    QString m_journalPath;
    std::optional<CompressionJournal::Recovery> m_settledAtStart;
};
