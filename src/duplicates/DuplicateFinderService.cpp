#include "duplicates/DuplicateFinderService.h"

#include "core/ByteCount.h"
#include "core/Console.h"
#include "core/SharedWork.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr int kProgressEvery = 10;

std::atomic<qint64> g_bytesRead = 0;

// One file per place, however it is named: a path listed twice, or another
// name of the same file (a hard link), is the same member.
struct Candidate
{
    int index = 0; // in the analysed list
    qint64 size = 0;
};

struct SizeBuckets
{
    QList<QList<Candidate>> buckets; // in order of first appearance
    int distinctSizes = 0;
};

SizeBuckets bucketBySize(const QList<Screenshot>& screenshots)
{
    SizeBuckets result;
    QHash<qint64, qsizetype> bucketOfSize;
    QSet<QString> seenPaths;
    QSet<QPair<quint64, quint64>> seenFiles;
    for (int i = 0; i < screenshots.size(); ++i) {
        const QString clean = QDir::cleanPath(screenshots[i].filePath);
        if (seenPaths.contains(clean))
            continue;
        seenPaths.insert(clean);
        qint64 size = 0;
        if (const auto stamp = SafeFile::stampOf(clean)) {
            const QPair<quint64, quint64> identity{stamp->device, stamp->inode};
            if (seenFiles.contains(identity))
                continue;
            seenFiles.insert(identity);
            size = stamp->size;
        }
        auto bucket = bucketOfSize.constFind(size);
        if (bucket == bucketOfSize.cend()) {
            bucket = bucketOfSize.insert(size, result.buckets.size());
            result.buckets.append(QList<Candidate>{});
        }
        result.buckets[*bucket].append({i, size});
    }
    result.distinctSizes = int(bucketOfSize.size());
    result.buckets.removeIf([](const QList<Candidate>& bucket) { return bucket.size() < 2; });
    return result;
}

// Hands out size buckets to the reading threads and counts the files they
// start, reporting every tenth in order.
class HashingRun
{
public:
    HashingRun(const QList<Screenshot>& screenshots, const QList<QList<Candidate>>& buckets, int total,
               const DuplicateFinderService::Progress& progress, const DuplicateFinderService::Options& options,
               const std::atomic<bool>* cancelled)
        : m_screenshots(screenshots)
        , m_buckets(buckets)
        , m_total(total)
        , m_progress(progress)
        , m_options(options)
        , m_cancelled(cancelled)
        , m_digests(size_t(screenshots.size()))
    {}

    // Every reader takes buckets until none is left: the calling thread, and
    // threads of `readers` while they are free.
    void run(Workers::Pool& readers)
    {
        const int count = std::clamp(m_options.readers, 1, Workers::duplicateReadThreads + 1);
        SharedWork sharing(&readers);
        SharedWork::Group reading(sharing);
        reading.post(std::vector<std::function<void()>>(size_t(count), [this] { work(); }));
        reading.wait();
    }

    // Digest by position in the analysed list; empty for files not read whole.
    const std::vector<std::optional<DuplicateFinderService::Digest>>& digests() const { return m_digests; }

private:
    bool isCancelled() const { return m_cancelled && m_cancelled->load(); }

    void work()
    {
        for (;;) {
            const qsizetype next = m_nextBucket++;
            if (next >= m_buckets.size() || isCancelled())
                return;
            hashBucket(m_buckets[next]);
        }
    }

    void startFile()
    {
        const std::lock_guard lock(m_progressMutex);
        const int started = m_started++;
        if (started % kProgressEvery == 0 && m_progress)
            m_progress(started, m_total);
    }

    const QString& pathOf(const Candidate& candidate) const { return m_screenshots[candidate.index].filePath; }

    void hashBucket(const QList<Candidate>& bucket)
    {
        QStringList paths;
        for (const Candidate& candidate : bucket) {
            startFile();
            paths.append(m_screenshots[candidate.index].filePath);
        }
        if (isCancelled())
            return;
        if (m_options.compareFirst) {
            const QList<std::optional<DuplicateFinderService::Digest>> digests =
                SameSizeComparison::compare(paths, g_bytesRead);
            for (qsizetype i = 0; i < bucket.size(); ++i)
                m_digests[size_t(bucket[i].index)] = digests[i];
            return;
        }
        for (qsizetype i = 0; i < bucket.size() && !isCancelled(); ++i)
            m_digests[size_t(bucket[i].index)] = SameSizeComparison::digestOf(paths[i], g_bytesRead);
    }

    const QList<Screenshot>& m_screenshots;
    const QList<QList<Candidate>>& m_buckets;
    const int m_total;
    const DuplicateFinderService::Progress& m_progress;
    const DuplicateFinderService::Options m_options;
    const std::atomic<bool>* m_cancelled;
    std::atomic<qsizetype> m_nextBucket = 0;
    std::mutex m_progressMutex;
    int m_started = 0;
    std::vector<std::optional<DuplicateFinderService::Digest>> m_digests;
};

QList<DuplicateFinderService::DuplicateGroup>
makeGroups(const QList<Screenshot>& screenshots,
           const std::vector<std::optional<DuplicateFinderService::Digest>>& digests)
{
    QHash<QString, qsizetype> groupOfDigest;
    QList<DuplicateFinderService::DuplicateGroup> groups;
    for (size_t i = 0; i < digests.size(); ++i) {
        if (!digests[i])
            continue;
        auto group = groupOfDigest.constFind(digests[i]->hash);
        if (group == groupOfDigest.cend()) {
            group = groupOfDigest.insert(digests[i]->hash, groups.size());
            groups.append({QUuid::createUuid(), digests[i]->hash, {}, 0, {}});
        }
        groups[*group].screenshots.append(screenshots[qsizetype(i)]);
        groups[*group].stamps.append(digests[i]->stamp);
    }
    groups.removeIf([](const auto& group) { return group.screenshots.size() < 2; });
    for (auto& group : groups)
        group.fileSize = DuplicateFinderService::fileSize(group.screenshots.first().filePath);
    return groups;
}

template <typename Later>
const Screenshot& firstBy(const QList<Screenshot>& members, Later later)
{
    const Screenshot* chosen = &members.first();
    for (const Screenshot& member : members) {
        if (later(member.dateCreated, chosen->dateCreated))
            chosen = &member;
    }
    return *chosen;
}
} // namespace

const Screenshot& DuplicateFinderService::DuplicateGroup::newestScreenshot() const
{
    return firstBy(screenshots, [](const QDateTime& a, const QDateTime& b) { return a > b; });
}

const Screenshot& DuplicateFinderService::DuplicateGroup::oldestScreenshot() const
{
    return firstBy(screenshots, [](const QDateTime& a, const QDateTime& b) { return a < b; });
}

std::optional<SafeFile::FileStamp> DuplicateFinderService::DuplicateGroup::stampOf(const QUuid& memberId) const
{
    for (qsizetype i = 0; i < screenshots.size() && i < stamps.size(); ++i) {
        if (screenshots[i].id == memberId)
            return stamps[i];
    }
    return std::nullopt;
}

std::optional<DuplicateFinderService::Digest> DuplicateFinderService::computeHash(const QString& path)
{
    return SameSizeComparison::digestOf(path, g_bytesRead);
}

qint64 DuplicateFinderService::fileSize(const QString& path)
{
    const auto stamp = SafeFile::stampOf(path);
    return stamp ? stamp->size : 0;
}

int DuplicateFinderService::defaultReaders()
{
    return std::clamp(int(std::thread::hardware_concurrency()) / 2, 2, Workers::duplicateReadThreads + 1);
}

qint64 DuplicateFinderService::bytesRead()
{
    return g_bytesRead.load();
}

qint64 DuplicateFinderService::reclaimableBytes(const DuplicateGroup& group)
{
    return qint64(group.screenshots.size() - 1) * group.fileSize;
}

void DuplicateFinderService::sortGroups(QList<DuplicateGroup>& groups)
{
    std::stable_sort(groups.begin(), groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
        return reclaimableBytes(a) > reclaimableBytes(b);
    });
}

DuplicateFinderService::DuplicateAnalysisResult
DuplicateFinderService::findDuplicates(const QList<Screenshot>& screenshots, const Progress& progress,
                                       const Options& options, const std::atomic<bool>* cancelled) const
{
    QElapsedTimer clock;
    clock.start();
    const int total = int(screenshots.size());
    Console::printLine(u"🔍 DUPLICATES: Starting analysis of "_s + QString::number(total) + u" files"_s);

    Console::printLine(u"📊 DUPLICATES: Phase 1 - Grouping by size..."_s);
    const SizeBuckets sizes = bucketBySize(screenshots);
    Console::printLine(u"   → "_s + QString::number(sizes.distinctSizes) + u" size groups found"_s);
    int toHash = 0;
    for (const auto& bucket : sizes.buckets)
        toHash += int(bucket.size());
    Console::printLine(u"   → "_s + QString::number(toHash) + u" files need hashing ("_s +
                       QString::number(total - toHash) + u" skipped)"_s);

    Console::printLine(u"🔐 DUPLICATES: Phase 2 - Computing hashes..."_s);
    HashingRun hashing(screenshots, sizes.buckets, toHash, progress, options, cancelled);
    hashing.run(*m_readers);
    if (cancelled && cancelled->load())
        return {};
    if (progress)
        progress(toHash, toHash);

    Console::printLine(u"📦 DUPLICATES: Phase 3 - Building duplicate groups..."_s);
    DuplicateAnalysisResult result;
    result.groups = makeGroups(screenshots, hashing.digests());
    sortGroups(result.groups);
    for (const DuplicateGroup& group : std::as_const(result.groups)) {
        result.totalDuplicates += int(group.screenshots.size() - 1);
        result.totalSavings += reclaimableBytes(group);
    }
    result.analysisTime = double(clock.nsecsElapsed()) / 1e9;

    Console::printLine(u"✅ DUPLICATES: Analysis complete!"_s);
    Console::printLine(u"   → Found "_s + QString::number(result.groups.size()) + u" duplicate groups"_s);
    Console::printLine(u"   → "_s + QString::number(result.totalDuplicates) + u" duplicate files"_s);
    Console::printLine(u"   → "_s + formatFileByteCount(result.totalSavings) + u" can be saved"_s);
    Console::printLine(u"   → Analysis took "_s + QString::asprintf("%.2f", result.analysisTime) + u"s"_s);
    return result;
}
