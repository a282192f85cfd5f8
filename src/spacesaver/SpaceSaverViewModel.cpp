#include "spacesaver/SpaceSaverViewModel.h"

#include "core/Console.h"
#include "core/PathUtils.h"
#include "core/ToolJobs.h"
#include "ingest/ScreenshotMonitor.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
bool isHeicPath(const QString& path)
{
    // As the store names them: a case-sensitive test on the whole path.
    return path.endsWith(u".heic"_s);
}

double savingsPercentFor(const QString& type)
{
    if (type == u"png")
        return 65;
    if (type == u"jpg" || type == u"jpeg")
        return 40;
    return 0;
}

// A file found no smaller at a quality is left out while it is the same
// file; promising savings from it again would promise what it cannot give.
bool isKnownNotSmaller(const SpaceSaverViewModel::NotSmallerFiles& notSmaller, const QString& path)
{
    const auto found = notSmaller.constFind(path);
    return found != notSmaller.cend() && SafeFile::stampOf(path) == std::optional(*found);
}

// The share of a type's savings still to be had: none when every one of its
// files is known to save nothing, else that of the bytes not known so.
double shareStillToTry(const SpaceSaverViewModel::FileTypeStat& stat, int leftOutCount, qint64 leftOutSize)
{
    if (leftOutCount == 0)
        return 1;
    if (leftOutCount == stat.count || stat.totalSize < 1)
        return 0;
    return double(stat.totalSize - leftOutSize) / double(stat.totalSize);
}

QList<Screenshot> compressibleOf(const QList<Screenshot>& screenshots)
{
    QList<Screenshot> compressible;
    for (const Screenshot& screenshot : screenshots)
        if (!isHeicPath(screenshot.filePath))
            compressible.append(screenshot);
    return compressible;
}
} // namespace

SpaceSaverViewModel::SpaceSaverViewModel(CompressionService& service, ScreenshotMonitor& monitor,
                                         NotSmallerMemory& notSmaller, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_monitor(monitor)
    , m_notSmaller(notSmaller)
{
    if (const std::optional<CompressionJournal::Recovery> settled = service.takeSettledAtStart())
        m_settledRunMessage = settledRunText(*settled);
}

QString SpaceSaverViewModel::settledRunText(const CompressionJournal::Recovery& settled)
{
    const auto count = [](int n, const QString& one, const QString& many) { return n == 1 ? one : many.arg(n); };
    QStringList parts;
    if (settled.finished > 0)
        parts.append(count(settled.finished, u"1 image was replaced by its HEIC version"_s,
                           u"%1 images were replaced by their HEIC versions"_s));
    if (settled.undone > 0)
        parts.append(count(settled.undone, u"1 image was left as it was"_s, u"%1 images were left as they were"_s));
    if (!settled.kept.isEmpty())
        parts.append(count(int(settled.kept.size()),
                           u"1 image changed during the run was kept beside its HEIC version"_s,
                           u"%1 images changed during the run were kept beside their HEIC versions"_s));
    if (settled.unsettled > 0)
        parts.append(count(settled.unsettled, u"1 image is settled at the next start"_s,
                           u"%1 images are settled at the next start"_s));
    return u"An unfinished space saver run was settled at start: %1."_s.arg(parts.join(u", "_s));
}

void SpaceSaverViewModel::dismissSettledRun()
{
    assign(m_settledRunMessage, std::optional<QString>());
}

// Nothing is waited for: work under way finishes on its own, and its results
// find this object gone.
SpaceSaverViewModel::~SpaceSaverViewModel() = default;

template <typename Field, typename Value>
void SpaceSaverViewModel::assign(Field& field, const Value& value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
}

double SpaceSaverViewModel::savingsPercent() const
{
    if (totalSize() < 1)
        return 0;
    return double(potentialSavings()) / double(totalSize()) * 100;
}

QString SpaceSaverViewModel::co2SavedText() const
{
    const double kilograms = double(potentialSavings()) / 1e9 * kilogramsPerGigabyte;
    if (kilograms < 1)
        return QString::number(qint64(kilograms * 1000)) + u"g"_s;
    return QString::asprintf("%.1fkg", kilograms);
}

SpaceSaverViewModel::Statistics SpaceSaverViewModel::statisticsOf(const QList<Screenshot>& screenshots,
                                                                  const NotSmallerFiles& notSmaller)
{
    struct LeftOutTally
    {
        int count = 0;
        qint64 size = 0;
    };
    Statistics statistics;
    statistics.totalFiles = int(screenshots.size());
    QHash<QString, FileTypeStat> byType;
    QHash<QString, LeftOutTally> leftOutByType;
    qint64 compressibleSize = 0;
    for (const Screenshot& screenshot : screenshots) {
        const QString type = pathExtension(screenshot.filePath).toLower();
        FileTypeStat& stat = byType[type];
        ++stat.count;
        stat.totalSize += screenshot.fileSize;
        statistics.totalSize += screenshot.fileSize;
        if (isHeicPath(screenshot.filePath))
            continue;
        ++statistics.compressibleFiles;
        if (CompressionService::isKnownUnreadable(screenshot) || isKnownNotSmaller(notSmaller, screenshot.filePath)) {
            LeftOutTally& tally = leftOutByType[type];
            ++tally.count;
            tally.size += screenshot.fileSize;
        } else {
            compressibleSize += screenshot.fileSize;
        }
    }
    for (auto it = byType.begin(); it != byType.end(); ++it) {
        FileTypeStat stat = it.value();
        stat.type = it.key();
        stat.canCompress = it.key() != u"heic";
        const LeftOutTally tally = leftOutByType.value(it.key());
        stat.potentialSavingsPercent = savingsPercentFor(it.key()) * shareStillToTry(stat, tally.count, tally.size);
        statistics.fileTypeStats.append(stat);
    }
    // Largest first; equal totals by name, so the order never flickers.
    std::sort(statistics.fileTypeStats.begin(), statistics.fileTypeStats.end(),
              [](const FileTypeStat& a, const FileTypeStat& b) {
                  return a.totalSize != b.totalSize ? a.totalSize > b.totalSize : a.type < b.type;
              });
    statistics.potentialSavings = qint64(assumedSavingsShare * double(compressibleSize));
    return statistics;
}

void SpaceSaverViewModel::analyze()
{
    // The worker counts a copy of the list and touches nothing else: this
    // object and the monitor may both be gone before it ends (a quit).
    const quint64 generation = ++m_statisticsGeneration;
    auto* watcher = new QFutureWatcher<Statistics>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        if (generation == m_statisticsGeneration) {
            applyStatistics(watcher->result());
            m_shownGeneration = generation;
        }
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(&SpaceSaverViewModel::statisticsOf, m_monitor.screenshots(),
                                         m_notSmaller.at(selectedEncoderQuality())));
}

void SpaceSaverViewModel::applyStatistics(const Statistics& statistics)
{
    assign(m_statistics.totalFiles, statistics.totalFiles);
    assign(m_statistics.totalSize, statistics.totalSize);
    assign(m_statistics.fileTypeStats, statistics.fileTypeStats);
    assign(m_statistics.compressibleFiles, statistics.compressibleFiles);
    assign(m_statistics.potentialSavings, statistics.potentialSavings);
}

int SpaceSaverViewModel::selectedEncoderQuality() const
{
    return CompressionService::encoderQuality(m_selectedQuality.quality);
}

void SpaceSaverViewModel::setSelectedQuality(const CompressionService::CompressionOptions& options)
{
    const int before = selectedEncoderQuality();
    assign(m_selectedQuality, options);
    const int quality = selectedEncoderQuality();
    if (quality == before)
        return;
    analyze();
    if (m_plan && !m_isAnalyzing && !m_isCompressing && m_notSmaller.at(quality) != m_notSmaller.at(m_planQuality))
        startPlanning();
}

bool SpaceSaverViewModel::createPlan()
{
    if (m_isAnalyzing || m_isCompressing || compressibleFiles() == 0)
        return false;
    startPlanning();
    return true;
}

void SpaceSaverViewModel::startPlanning()
{
    assign(m_isAnalyzing, true);
    const int quality = selectedEncoderQuality();
    const quint64 generation = ++m_planGeneration;
    // Planned between the tools' jobs, so that no other tool changes the
    // files while their headers are read.
    ToolJobs::worker().start([self = QPointer(this), monitor = &m_monitor, &service = m_service, generation, quality,
                              options = m_selectedQuality, screenshots = compressibleOf(m_monitor.screenshots()),
                              known = m_notSmaller.at(quality)]() mutable {
        const qsizetype before = screenshots.size();
        screenshots.removeIf(
            [&known](const Screenshot& screenshot) { return isKnownNotSmaller(known, screenshot.filePath); });
        const int leftOut = int(before - screenshots.size());
        if (leftOut > 0)
            Console::printLine(u"📊 COMPRESS: Leaving out %1 files found no smaller at this quality"_s.arg(leftOut));
        QMetaObject::invokeMethod(
            monitor,
            [self, leftOut, generation, quality, plan = service.analyzeForCompression(screenshots, options)] {
                if (!self || generation != self->m_planGeneration)
                    return;
                self->m_plan = plan;
                self->m_planQuality = quality;
                self->m_leftOutOfPlan = leftOut;
                emit self->changed();
                self->assign(self->m_isAnalyzing, false);
            },
            Qt::QueuedConnection);
    });
}

void SpaceSaverViewModel::cancelPlan()
{
    if (m_isCompressing || !m_plan)
        return;
    // A plan being made again for another quality is dropped with it.
    ++m_planGeneration;
    m_plan.reset();
    emit changed();
    assign(m_isAnalyzing, false);
}

bool SpaceSaverViewModel::compress()
{
    if (!m_plan || m_plan->files.isEmpty() || m_isCompressing || m_isAnalyzing || m_monitor.monitoredPath().isEmpty())
        return false;
    m_runQuality = selectedEncoderQuality();
    assign(m_isCompressing, true);
    assign(m_progress, CompressionProgress{0, int(m_plan->files.size())});
    // The run outlives its screen: its last hops to the GUI thread may find
    // this object gone (the console has its lines all the same).
    QPointer<SpaceSaverViewModel> self(this);
    m_run = m_service.compressInBackground(
        m_monitor, m_plan->files, m_selectedQuality,
        [self](int current, int total) {
            if (self && self->m_isCompressing)
                self->assign(self->m_progress, CompressionProgress{current, total});
        },
        [self](const CompressionService::CompressionResult& result) {
            if (self)
                self->finishCompression(result);
        });
    return true;
}

bool SpaceSaverViewModel::rememberNotSmaller(const CompressionService::CompressionResult& result)
{
    using Reason = CompressionService::CompressionResult::SkipReason;
    NotSmallerFiles found;
    for (const auto& skipped : result.skippedFiles)
        if (skipped.reason == Reason::notSmaller)
            found.insert(skipped.originalPath, skipped.source);
    m_notSmaller.remember(m_runQuality, found);
    return !found.isEmpty();
}

void SpaceSaverViewModel::finishCompression(const CompressionService::CompressionResult& result)
{
    const bool learned = rememberNotSmaller(result);
    m_lastRun = {int(m_plan ? m_plan->files.size() : 0), int(result.compressedFiles.size()), result.skippedFiles,
                 m_leftOutOfPlan};
    assign(m_isCompressing, false);
    if (!result.success) {
        // The console has the details; the person gets the gist.
        QString message = result.refusal;
        if (!result.failedFiles.isEmpty()) {
            const auto& failed = result.failedFiles.first();
            message =
                QFileInfo(failed.operation.originalPath).fileName() + u": "_s + failed.error.localizedDescription();
        }
        m_keptAfterRollback = result.keptAfterRollback;
        assign(m_failureMessage, std::optional<QString>(message));
        // What the run learned before it failed no longer counts as savings.
        if (learned)
            analyze();
        return;
    }
    assign(m_actualSavings, result.totalSavings);
    assign(m_showingSuccess, true);
    QMetaObject::invokeMethod(
        &m_monitor, [monitor = &m_monitor] { monitor->startMonitoringAsync(false); }, Qt::QueuedConnection);
    analyze();
}

void SpaceSaverViewModel::dismissSuccess()
{
    assign(m_showingSuccess, false);
    if (m_plan) {
        m_plan.reset();
        emit changed();
    }
    assign(m_progress, CompressionProgress{});
    analyze();
}

QString SpaceSaverViewModel::failureTitle() const
{
    return m_keptAfterRollback.isEmpty() ? u"Nothing Was Compressed"_s : u"Rollback Not Finished"_s;
}

QString SpaceSaverViewModel::failureOutcome() const
{
    if (m_keptAfterRollback.isEmpty())
        return u"Every change was rolled back; your files are as they were."_s;
    QStringList names;
    for (const QString& path : m_keptAfterRollback)
        names.append(QFileInfo(path).fileName());
    const QString kept =
        names.size() == 1
            ? u"%1 is still beside its HEIC version, and the gallery may show the HEIC version in its place"_s
            : u"%1 are still beside their HEIC versions, and the gallery may show the HEIC versions in their place"_s;
    const QString listed = names.size() < 2 ? names.join(QString())
                                            : names.first(names.size() - 1).join(u", "_s) + u" and "_s + names.last();
    return u"Not every change could be rolled back: "_s + kept.arg(listed) +
           u". Nothing is lost: both files are kept, and this is put right the next time the app starts."_s;
}

void SpaceSaverViewModel::dismissFailure()
{
    assign(m_failureMessage, std::optional<QString>());
}
