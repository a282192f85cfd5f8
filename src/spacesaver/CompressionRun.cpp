#include "spacesaver/CompressionRun.h"

#include "core/ByteCount.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/LargeBlocks.h"
#include "core/ToolJobs.h"
#include "platform/FileOps.h"

#include <QFileInfo>
#include <QHash>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {
using Service = CompressionService;

QString bytes(qint64 count)
{
    return formatFileByteCount(count, ByteUnits::kilobytesToGigabytes);
}

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).path();
}

// Room kept free beyond the renditions, for everything else on the disk.
constexpr qint64 freeSpaceReserve = 64'000'000;
} // namespace

struct CompressionRun::Encodings
{
    Encodings(Service::Encoder encoder, qint64 memory)
        : encoder(std::move(encoder))
        , memory(memory)
    {}

    const Service::Encoder encoder;
    PixelBudget memory;
    std::atomic<bool> stopped{false};
    std::mutex mutex;
    std::condition_variable_any ended;
    int running = 0; // queued or under way
};

CompressionRun::CompressionRun(const Service& service, const QList<Operation>& operations,
                               const Service::CompressionOptions& options, const QString& folder,
                               const Service::Progress& progress, std::stop_token stop)
    : m_service(service)
    , m_options(options)
    , m_folder(folder)
    , m_progress(progress)
    , m_journal(service.journal())
    , m_encodings(std::make_shared<Encodings>(service.encoder(), service.encodingMemory()))
    , m_encoderCount(std::clamp(options.maxConcurrentOperations, 1, 16))
    , m_stop(std::move(stop))
{
    m_entries.reserve(operations.size());
    for (const Operation& operation : operations) {
        Entry entry;
        entry.operation = operation;
        entry.imagePath = operation.originalPath;
        entry.temporaryPath = Service::renditionPath(operation.originalPath, u"temp.heic"_s);
        entry.heicPath = Service::renditionPath(operation.originalPath, u"heic"_s);
        m_entries.append(std::move(entry));
    }
    ToolJobs::encoders().setMaxThreadCount(m_encoderCount);
}

CompressionRun::~CompressionRun()
{
    if (!m_leavesEncodings)
        stopEncoding();
}

CompressionRun::Result CompressionRun::execute()
{
    Console::printLine(u"🚀 COMPRESS: Starting atomic compression..."_s);
    Console::printLine(u"   → Total files: %1"_s.arg(m_entries.size()));
    Console::printLine(u"   ⚠️ ONE-TIME OPERATION - Original files will be replaced"_s);
    if (auto refusal = checkFreeSpace()) {
        Console::printLine(u"❌ COMPRESS: "_s + *refusal);
        Result result;
        result.refusal = *refusal;
        return result;
    }

    for (qsizetype index = 0; index < m_entries.size(); ++index) {
        if (m_stop.stop_requested())
            return stop(index);
        encodeAhead(index);
        const Step step = commit(index);
        if (std::holds_alternative<Stopped>(step))
            return stop(index);
        if (const auto* failure = std::get_if<Service::Failure>(&step))
            return fail(index, *failure);
        if (const auto* skipped = std::get_if<Skipped>(&step)) {
            Console::printLine(u"   ⚠️ %1Skipped: %2 - %3"_s.arg(
                position(index), fileName(m_entries[index].imagePath), skipped->reason));
            m_skipped.append({m_entries[index].imagePath, skipped->kind, skipped->source});
        }
        report(index);
    }

    if (auto failure = syncRenditions())
        return fail(m_entries.size() - 1, *failure);
    Result result;
    result.success = true;
    result.compressedFiles = removeImages();
    result.skippedFiles = m_skipped;
    finishJournal();
    for (const Result::CompressedFile& file : std::as_const(result.compressedFiles))
        result.totalSavings += file.savings;
    Console::printLine(u"✅ COMPRESS: Complete"_s);
    Console::printLine(u"   → Compressed: %1"_s.arg(result.compressedFiles.size()));
    Console::printLine(u"   → Total savings: "_s + bytes(result.totalSavings));
    return result;
}

std::optional<QString> CompressionRun::checkFreeSpace() const
{
    // Images and renditions share the disk until the very end.
    QHash<QString, qint64> needed;
    for (const Entry& entry : m_entries)
        needed[folderOf(entry.imagePath)] += entry.operation.estimatedCompressedSize;
    for (auto it = needed.cbegin(); it != needed.cend(); ++it) {
        const std::optional<qint64> free = m_service.freeSpace()(it.key());
        if (free && *free < it.value() + freeSpaceReserve)
            return u"Not enough free space: the compressed copies need %1, %2 is free"_s.arg(bytes(it.value()),
                                                                                             bytes(*free));
    }
    return std::nullopt;
}

void CompressionRun::prepare(qsizetype index)
{
    Entry& entry = m_entries[index];
    if (const SafeFile::Outcome inside = SafeFile::checkInside(entry.imagePath, m_folder); !inside) {
        entry.skipReason = u"Not in the monitored folder"_s;
        entry.skipKind = Result::SkipReason::outsideFolder;
    } else if (SafeFile::isTaken(entry.temporaryPath))
        entry.skipReason = fileName(entry.temporaryPath) + u" already exists"_s;
    else if (SafeFile::isTaken(entry.heicPath))
        entry.skipReason = fileName(entry.heicPath) + u" already exists"_s;
    if (!entry.skipReason.isEmpty())
        return;
    const int quality = Service::encoderQuality(m_options.quality);
    entry.rendition = std::make_shared<std::optional<HeicRendition>>();
    {
        const std::lock_guard lock(m_encodings->mutex);
        ++m_encodings->running;
    }
    // Holds nothing of the run: a run stopped for quitting does not wait.
    ToolJobs::encoders().start([encodings = m_encodings, slot = entry.rendition, path = entry.imagePath, quality] {
        HeicRendition made;
        if (!encodings->stopped) {
            made = HeicRendition::make(path, quality, encodings->encoder, [&encodings](QSize size) {
                PixelBudget::Share memory =
                    encodings->memory.take(PixelBudget::bytesFor(size, Service::encodingBytesPerPixel));
                // A stop may have come while this one waited for memory.
                return encodings->stopped ? std::nullopt : std::optional<PixelBudget::Share>(std::move(memory));
            });
        }
        const std::lock_guard lock(encodings->mutex);
        *slot = std::move(made);
        --encodings->running;
        encodings->ended.notify_all();
    });
}

void CompressionRun::encodeAhead(qsizetype committed)
{
    // A few renditions wait in memory at most, whatever the plan's length.
    const qsizetype window = 2 * qsizetype(m_encoderCount);
    for (; m_prepared < m_entries.size() && m_prepared <= committed + window; ++m_prepared)
        prepare(m_prepared);
}

CompressionRun::Step CompressionRun::commit(qsizetype index)
{
    Entry& entry = m_entries[index];
    if (!entry.skipReason.isEmpty())
        return Skipped{entry.skipReason, entry.skipKind};
    const std::optional<HeicRendition> awaited = awaitRendition(entry);
    if (!awaited)
        return Stopped{};
    const HeicRendition& rendition = *awaited;
    if (rendition.failure)
        return *rendition.failure;
    if (rendition.size() < 1)
        return Service::Failure{Service::CompressionError::invalidCompression, {}};
    // The size on disk now, not the size the library stored some time ago.
    if (rendition.source.size <= rendition.size())
        return Skipped{u"Compression not beneficial (would be %1 vs %2)"_s.arg(bytes(rendition.size()),
                                                                               bytes(rendition.source.size)),
                       Result::SkipReason::notSmaller, rendition.source};
    return place(index, rendition);
}

CompressionRun::Step CompressionRun::place(qsizetype index, const HeicRendition& rendition)
{
    Entry& entry = m_entries[index];
    FileOps& files = m_service.fileOps();
    // The names may have been taken while the image was being encoded.
    for (const QString& path : {entry.temporaryPath, entry.heicPath})
        if (SafeFile::isTaken(path))
            return Skipped{fileName(path) + u" already exists"_s, Result::SkipReason::nameTaken};
    // Written down before anything is: a run cut short from here on is
    // settled from the journal at the next start.
    m_journalEntries.append(
        {entry.operation.screenshotId, entry.imagePath, entry.temporaryPath, entry.heicPath, rendition.source});
    if (QString why; !m_journal.write(m_journalEntries, &why)) {
        m_journalEntries.removeLast();
        return Service::Failure{std::nullopt, u"The run's journal could not be written: "_s + why};
    }
    if (const auto written = files.write(entry.temporaryPath, rendition.data, FileOps::Write::CreateNew); !written)
        return Service::Failure{std::nullopt, written.error};
    entry.temporaryMade = true;
    if (const auto moved = files.move(entry.temporaryPath, entry.heicPath); !moved) {
        if (!SafeFile::isTaken(entry.heicPath))
            return Service::Failure{std::nullopt, moved.error};
        (void)files.remove(entry.temporaryPath);
        entry.temporaryMade = false;
        return Skipped{fileName(entry.heicPath) + u" already exists"_s, Result::SkipReason::nameTaken};
    }
    entry.temporaryMade = false;
    entry.renditionPlaced = true;
    entry.source = rendition.source;
    entry.compressedSize = rendition.size();

    const SafeFile::FileTimes times = HeicRendition::timesFor(entry.imagePath, rendition.sourceTimes);
    if (const auto dated = files.setTimes(entry.heicPath, times); !dated)
        return Service::Failure{std::nullopt, dated.error};
    if (!m_service.store().updateFilePath(entry.heicPath, entry.operation.screenshotId))
        return Service::Failure{std::nullopt, u"Failed to update the library entry"_s};
    entry.rowUpdated = true;
    // Only a courtesy to the statistics, which read stored sizes: a row that
    // keeps its old size is not worth undoing the run for.
    (void)storeSize(entry.heicPath, rendition.size());

    m_committed.append(index);
    const Result::CompressedFile file = compressedFile(entry);
    Console::printLine(u"   ✅ %1%2: %3 → %4 (saved %5)"_s.arg(position(index), fileName(entry.imagePath),
                                                              bytes(file.originalSize), bytes(file.compressedSize),
                                                              bytes(file.savings)));
    return Committed{};
}

std::optional<CompressionService::Failure> CompressionRun::syncRenditions() const
{
    // Every rendition's name must be on disk before any image goes; one
    // rendition per folder stands for its folder.
    QHash<QString, QString> folders;
    for (const Entry& entry : m_entries)
        if (entry.renditionPlaced)
            folders.insert(folderOf(entry.heicPath), entry.heicPath);
    for (const QString& rendition : std::as_const(folders))
        if (const auto synced = SafeFile::syncFolderOf(rendition); !synced)
            return Service::Failure{std::nullopt, synced.error};
    return std::nullopt;
}

CompressionService::CompressionResult::CompressedFile CompressionRun::compressedFile(const Entry& entry)
{
    return {entry.operation.screenshotId, entry.imagePath, entry.source.size, entry.compressedSize,
            entry.source.size - entry.compressedSize};
}

QList<CompressionService::CompressionResult::CompressedFile> CompressionRun::removeImages()
{
    // Nothing is rolled back from here on: the renditions stand and the store
    // points at them. An image that cannot go, or that changed meanwhile,
    // stays beside its rendition and saves nothing.
    QList<Result::CompressedFile> replaced;
    for (const qsizetype index : std::as_const(m_committed)) {
        const Entry& entry = m_entries[index];
        QString problem;
        if (SafeFile::stampOf(entry.imagePath) != std::optional(entry.source))
            problem = u"it changed during the run"_s;
        else if (const auto removed = m_service.fileOps().remove(entry.imagePath); !removed)
            problem = removed.error;
        if (problem.isEmpty()) {
            replaced.append(compressedFile(entry));
        } else {
            Console::printLine(
                u"   ⚠️ Kept %1 beside its HEIC version: %2"_s.arg(fileName(entry.imagePath), problem));
            m_skipped.append({entry.imagePath, Result::SkipReason::imageKept, entry.source});
        }
    }
    return replaced;
}

CompressionRun::Result CompressionRun::fail(qsizetype index, const Service::Failure& failure)
{
    const Entry& entry = m_entries[index];
    Console::printLine(
        u"   ❌ %1Failed: %2 - %3"_s.arg(position(index), entry.operation.originalPath, failure.localizedDescription()));
    Console::printLine(u"🔄 COMPRESS: Rolling back all changes due to failure..."_s);
    stopEncoding();
    rollback(index);
    Result result;
    result.failedFiles.append({entry.operation, failure});
    result.skippedFiles = m_skipped;
    result.keptAfterRollback = m_keptAfterRollback;
    return result;
}

void CompressionRun::rollback(qsizetype upTo)
{
    const auto placed = std::count_if(m_entries.cbegin(), m_entries.cbegin() + upTo + 1,
                                      [](const Entry& entry) { return entry.renditionPlaced; });
    Console::printLine(u"   → Rolling back %1 operations..."_s.arg(placed));
    for (qsizetype index = 0; index <= upTo; ++index) {
        Entry& entry = m_entries[index];
        if (!rollBackEntry(entry))
            m_keptAfterRollback.append(entry.imagePath);
    }
    finishJournal();
    if (m_keptAfterRollback.isEmpty()) {
        Console::printLine(u"   ✅ Rollback complete - all files restored"_s);
        return;
    }
    Console::printLine(
        u"   ⚠️ Rollback incomplete - %1 image(s) kept beside their HEIC versions, settled at the next start"_s.arg(
            m_keptAfterRollback.size()));
}

bool CompressionRun::rollBackEntry(Entry& entry)
{
    FileOps& files = m_service.fileOps();
    if (entry.temporaryMade && files.remove(entry.temporaryPath))
        entry.temporaryMade = false;
    if (entry.rowUpdated) {
        // The rendition stays until the row names the image again: a row
        // must never name a file that is gone.
        if (!m_service.store().updateFilePath(entry.imagePath, entry.operation.screenshotId)) {
            Console::printLine(u"   ⚠️ Kept %1 and %2: the library could not be pointed back at the image"_s.arg(
                fileName(entry.imagePath), fileName(entry.heicPath)));
            return false;
        }
        entry.rowUpdated = false;
        // Only a courtesy to the statistics, as when the run set it.
        (void)storeSize(entry.imagePath, entry.operation.originalSize);
    }
    if (entry.renditionPlaced) {
        if (const auto removed = files.remove(entry.heicPath); !removed) {
            Console::printLine(
                u"   ⚠️ Kept %1 beside the image: %2"_s.arg(fileName(entry.heicPath), removed.error));
            return false;
        }
        entry.renditionPlaced = false;
    }
    return !entry.temporaryMade;
}

void CompressionRun::finishJournal()
{
    // Whatever is not settled yet stays written down for the next start.
    m_journalEntries.removeIf(
        [this](const CompressionJournal::Entry& written) { return !m_keptAfterRollback.contains(written.imagePath); });
    if (m_journalEntries.isEmpty())
        m_journal.clear();
    else
        (void)m_journal.write(m_journalEntries);
}

bool CompressionRun::storeSize(const QString& path, qint64 size) const
{
    DatabaseManager& store = m_service.store();
    std::optional<Screenshot> row = store.fetchByPath(path);
    if (!row)
        return false;
    row->fileSize = size;
    return store.upsert(*row);
}

std::optional<HeicRendition> CompressionRun::awaitRendition(Entry& entry)
{
    const std::shared_ptr<std::optional<HeicRendition>> slot = std::move(entry.rendition);
    std::unique_lock lock(m_encodings->mutex);
    if (!m_encodings->ended.wait(lock, m_stop, [&slot] { return slot->has_value(); }))
        return std::nullopt;
    return std::move(*slot);
}

CompressionRun::Result CompressionRun::stop(qsizetype index)
{
    // Nothing is undone and the journal stays as written: the next start
    // settles the run from it, as after a kill. An encoding under way cannot
    // be interrupted; its result is dropped.
    m_encodings->stopped = true;
    m_leavesEncodings = true;
    Console::printLine(
        u"⏹️ COMPRESS: Stopped before %1: the application is quitting; the next start settles the run"_s.arg(
            position(index).trimmed()));
    Result result;
    result.refusal = u"The run stopped because the application quit; it is settled at the next start."_s;
    result.skippedFiles = m_skipped;
    return result;
}

void CompressionRun::stopEncoding()
{
    // Encodings not yet begun end at once; none of them has written anything.
    m_encodings->stopped = true;
    std::unique_lock lock(m_encodings->mutex);
    m_encodings->ended.wait(lock, [this] { return m_encodings->running == 0; });
}

QString CompressionRun::position(qsizetype index) const
{
    return u"[%1/%2] "_s.arg(index + 1).arg(m_entries.size());
}

void CompressionRun::report(qsizetype index) const
{
    if (m_progress)
        m_progress(int(index + 1), int(m_entries.size()));
}

CompressionService::CompressionResult CompressionService::compress(const QList<CompressionPlan::FileOperation>& files,
                                                                   const CompressionOptions& options,
                                                                   const QString& folder, const Progress& progress,
                                                                   std::stop_token stop) const
{
    // A journal left by an earlier run is settled before this run writes its own.
    (void)recoverInterruptedRun();
    CompressionResult result = CompressionRun(*this, files, options, folder, progress, std::move(stop)).execute();
    returnFreePagesToSystem();
    return result;
}
