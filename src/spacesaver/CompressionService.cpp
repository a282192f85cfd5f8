#include "spacesaver/CompressionService.h"

#include "core/ByteCount.h"
#include "core/Console.h"
#include "core/ImageLoader.h"
#include "core/PathUtils.h"
#include "core/ToolJobs.h"
#include "core/Uuid.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FileOps.h"
#include "spacesaver/HeicRendition.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStorageInfo>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
using Type = CompressionService::ScreenshotType;

QString bytes(qint64 count)
{
    return formatFileByteCount(count, ByteUnits::kilobytesToGigabytes);
}

bool isEligibleExtension(const QString& extension)
{
    static const QStringList eligible{u"png"_s, u"jpg"_s, u"jpeg"_s, u"tiff"_s, u"tif"_s, u"bmp"_s, u"gif"_s};
    return eligible.contains(extension);
}

double sizeRatio(Type type, double quality)
{
    const bool nearLossless = quality >= 0.95;
    switch (type) {
    case Type::photo:
        return nearLossless ? 0.35 : 0.25;
    case Type::ui:
        return nearLossless ? 0.5 : 0.4;
    case Type::unknown:
        break;
    }
    return 0.45;
}

// Reading headers is mostly waiting for the disk; a few readers at once keep
// it busy without crowding out the rest of the program.
QThreadPool& headerReaders()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 2, 8));
    return pool;
}

std::optional<qint64> userFreeSpace(const QString& folder)
{
    const QStorageInfo storage(folder);
    if (!storage.isValid() || !storage.isReady())
        return std::nullopt;
    return storage.bytesAvailable();
}

// x265's "medium" preset takes half the time of libheif's default ("slow")
// for files a few per cent larger at the same quality.
HeicWriter::Encoded encodeWithHeicWriter(const QImage& image, int quality)
{
    return HeicWriter::encode(image, quality, "medium");
}
} // namespace

const QList<QSize>& CompressionService::screenSizes()
{
    static const QList<QSize> sizes{{1920, 1080}, {1080, 1920}, {2560, 1440}, {1440, 2560}, {1440, 900},
                                    {900, 1440},  {1024, 768},  {768, 1024},  {2048, 1536}, {1536, 2048}};
    return sizes;
}

QString CompressionService::localizedDescription(CompressionError error)
{
    switch (error) {
    case CompressionError::cannotLoadImage:
        return u"Failed to load image"_s;
    case CompressionError::cannotConvertToCGImage:
        return u"Failed to convert image"_s;
    case CompressionError::cannotCreateDestination:
        return u"Failed to create destination"_s;
    case CompressionError::compressionFailed:
        return u"Compression failed"_s;
    case CompressionError::invalidCompression:
        break;
    }
    return u"Invalid compression result"_s;
}

QString CompressionService::Failure::localizedDescription() const
{
    return error ? CompressionService::localizedDescription(*error) : message;
}

CompressionService::CompressionService(DatabaseManager& store, FileOps& fileOps)
    : m_store(store)
    , m_fileOps(fileOps)
    , m_encoder(&encodeWithHeicWriter)
    , m_freeSpace(&userFreeSpace)
{}

void CompressionService::setJournalFolder(const QString& folder)
{
    m_journalPath = folder.isEmpty() ? QString() : folder + u'/' + CompressionJournal::fileName;
}

CompressionJournal CompressionService::journal() const
{
    return CompressionJournal(m_fileOps, m_journalPath);
}

CompressionJournal::Recovery CompressionService::recoverInterruptedRun() const
{
    return journal().recover(m_store);
}

void CompressionService::settleAtStart()
{
    CompressionJournal::Recovery settled = recoverInterruptedRun();
    if (!settled.isEmpty())
        m_settledAtStart = std::move(settled);
}

std::optional<CompressionJournal::Recovery> CompressionService::takeSettledAtStart()
{
    return std::exchange(m_settledAtStart, std::nullopt);
}

QString CompressionService::renditionPath(const QString& imagePath, const QString& extension)
{
    const qsizetype slash = imagePath.lastIndexOf(u'/');
    const qsizetype dot = imagePath.lastIndexOf(u'.');
    const bool hasExtension = dot > slash + 1;
    return (hasExtension ? imagePath.first(dot) : imagePath) + u'.' + extension;
}

int CompressionService::encoderQuality(double quality)
{
    return std::clamp(int(std::lround(quality * 100)), 0, 100);
}

CompressionService::ScreenshotType CompressionService::detectScreenshotType(const QString& path)
{
    // Opened by hand: a folder or a pipe that carries an image's name must
    // neither be read nor make the reader wait.
    auto opened = SafeFile::openRegular(path);
    if (!opened)
        return ScreenshotType::unknown;
    QFile file;
    if (!file.open(opened->handle.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return ScreenshotType::unknown;
    const QSize size = ImageLoader::imageSize(file);
    if (!size.isValid())
        return ScreenshotType::unknown;
    if (qint64(size.width()) * size.height() > photoPixelThreshold)
        return ScreenshotType::photo;
    return screenSizes().contains(size) ? ScreenshotType::ui : ScreenshotType::photo;
}

bool CompressionService::isKnownUnreadable(const Screenshot& screenshot)
{
    // A file given up on only ran out of analysis time: large photos, the
    // ones that save the most, decode and encode like any other.
    return screenshot.analysisFailure == AnalysisFailure::unreadable || screenshot.fileSize < 1;
}

CompressionService::CompressionPlan CompressionService::analyzeForCompression(const QList<Screenshot>& screenshots,
                                                                              const CompressionOptions& options) const
{
    Console::printLine(u"📊 COMPRESS: Analyzing %1 screenshots..."_s.arg(screenshots.size()));
    QList<Screenshot> eligible;
    int notRegular = 0;
    int unreadable = 0;
    for (const Screenshot& screenshot : screenshots) {
        if (!isEligibleExtension(pathExtension(screenshot.filePath).toLower()))
            continue;
        // A symbolic link (or anything else but a file) is refused by the
        // encoder, and one refusal would roll back the whole run.
        const std::optional<SafeFile::FileStamp> stamp = SafeFile::stampOf(screenshot.filePath);
        if (!stamp && SafeFile::isTaken(screenshot.filePath)) {
            ++notRegular;
            continue;
        }
        if (isKnownUnreadable(screenshot) || (stamp && stamp->size == 0)) {
            ++unreadable;
            continue;
        }
        eligible.append(screenshot);
    }
    if (notRegular > 0)
        Console::printLine(
            u"   → Left out %1 that are not regular files (symbolic links or folders)"_s.arg(notRegular));
    if (unreadable > 0)
        Console::printLine(u"   → Left out %1 that could not be read or are empty"_s.arg(unreadable));
    const QList<ScreenshotType> types = QtConcurrent::blockingMapped<QList<ScreenshotType>>(
        &headerReaders(), eligible,
        [](const Screenshot& screenshot) { return detectScreenshotType(screenshot.filePath); });

    CompressionPlan plan;
    plan.files.reserve(eligible.size());
    for (qsizetype index = 0; index < eligible.size(); ++index) {
        const Screenshot& screenshot = eligible[index];
        const ScreenshotType type = types[index];
        const auto estimate = qint64(sizeRatio(type, options.quality) * double(screenshot.fileSize));
        plan.totalOriginalSize += screenshot.fileSize;
        plan.estimatedCompressedSize += estimate;
        plan.files.append(
            {QUuid::createUuid(), uuidText(screenshot.id), screenshot.filePath, screenshot.fileSize, estimate, type});
    }
    plan.estimatedSavings = plan.totalOriginalSize - plan.estimatedCompressedSize;
    plan.estimatedDuration = secondsPerFile * double(plan.files.size());

    // An empty plan saves nothing rather than an undefined share.
    const double percent =
        plan.totalOriginalSize > 0 ? double(plan.estimatedSavings) / double(plan.totalOriginalSize) * 100 : 0;
    Console::printLine(u"✅ COMPRESS: Analysis complete"_s);
    Console::printLine(u"   → Files to compress: %1"_s.arg(plan.files.size()));
    Console::printLine(u"   → Original size: "_s + bytes(plan.totalOriginalSize));
    Console::printLine(u"   → Estimated size: "_s + bytes(plan.estimatedCompressedSize));
    Console::printLine(
        u"   → Estimated savings: %1 (%2%)"_s.arg(bytes(plan.estimatedSavings), QString::asprintf("%.1f", percent)));
    return plan;
}

std::variant<qint64, CompressionService::Failure>
CompressionService::compressImage(const QString& source, const QString& destination, double quality) const
{
    HeicRendition rendition = HeicRendition::make(source, encoderQuality(quality), m_encoder);
    if (rendition.failure)
        return *rendition.failure;
    if (const SafeFile::Outcome written = m_fileOps.write(destination, rendition.data, FileOps::Write::CreateNew);
        !written)
        return Failure{std::nullopt, written.error};
    return rendition.size();
}

QFuture<void> CompressionService::compressInBackground(ScreenshotMonitor& monitor,
                                                       const QList<CompressionPlan::FileOperation>& files,
                                                       const CompressionOptions& options, Progress progress,
                                                       std::function<void(const CompressionResult&)> done) const
{
    monitor.pausePolling();
    QPointer<ScreenshotMonitor> guard(&monitor);
    // Progress and the result hop to the GUI thread by way of the monitor,
    // which lives there.
    auto onGuiThread = [guard](std::function<void()> work) {
        if (guard)
            QMetaObject::invokeMethod(guard.data(), std::move(work), Qt::QueuedConnection);
    };
    auto reportProgress = [onGuiThread, progress = std::move(progress)](int current, int total) {
        onGuiThread([progress, current, total] { progress(current, total); });
    };
    return QtConcurrent::run(&ToolJobs::worker(), [this, files, options, folder = monitor.monitoredPath(),
                                                   reportProgress, onGuiThread, guard, done = std::move(done),
                                                   stop = ToolJobs::stopToken()] {
        const CompressionJournal::Recovery recovered = recoverInterruptedRun();
        CompressionResult result = compress(files, options, folder, reportProgress, stop);
        onGuiThread([guard, recovered, result = std::move(result), done] {
            ScreenshotMonitor::FileChanges changes;
            for (const auto& [from, to] : recovered.moved)
                changes.moved.append({from, to});
            changes.removed.append(recovered.removed);
            for (const CompressionResult::CompressedFile& file : result.compressedFiles)
                changes.moved.append({file.originalPath, renditionPath(file.originalPath, u"heic"_s)});
            guard->takeFileChanges(changes);
            guard->resumePolling();
            done(result);
        });
    });
}
