// The batch analysis pipeline: (a) its own cost per batch beyond the fixed
// pauses, with analyses that cost nothing; (b) throughput, GUI-thread stalls
// and peak resident memory with the real services on generated screenshots
// of mixed sizes, against the rate of one file at a time on one engine
// (measured in the same run, on a thread of the same lower priority).
//
// efficiency: files per second / (the four files of a batch x the single
// rate); efficiency_all_cores: the same against every core.
// Run it on two cores too: taskset -c 0,1 build/bench/bench_pipeline

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/OmpThreadLimit.h"
#include "core/ProcMemorySource.h"
#include "core/Settings.h"
#include "generators/SampleLibrary.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ScreenshotMonitor.h"
#include "ingest/ServiceAnalyzer.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {
class FreeAnalyzer : public FileAnalyzer
{
public:
    std::optional<QString> recognizeText(const QString&) override { return u"Invoice due at example.com"_s; }
    QList<QUrl> extractUrls(const QString&) override { return {QUrl(u"http://example.com"_s)}; }
    QStringList labels(const QString&) override { return {u"screen"_s}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>(100, 0.1); }
};

// Watches the GUI thread while a run goes on, with 1 ms ticks: the longest
// stretch of GUI-thread work between two ticks (its CPU time, what our code
// costs), and the longest wall-clock gap (which also holds time the scheduler
// gave to other processes on a busy machine).
class StallProbe
{
public:
    StallProbe()
    {
        m_ticks.setTimerType(Qt::PreciseTimer);
        m_ticks.setInterval(1);
        QObject::connect(&m_ticks, &QTimer::timeout, [this] { tick(); });
        restart();
        m_ticks.start();
    }
    // Forgets what was seen so far (setup work done on the GUI thread).
    void restart()
    {
        m_maxWorkMs = 0;
        m_maxGapMs = 0;
        m_sinceTick.start();
        m_lastCpuMs = threadCpuMs();
    }
    double maxWorkMs() const { return m_maxWorkMs; }
    double maxGapMs() const { return std::max(0.0, m_maxGapMs); }

private:
    static double threadCpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }
    void tick()
    {
        const double cpuMs = threadCpuMs();
        m_maxWorkMs = std::max(m_maxWorkMs, cpuMs - m_lastCpuMs);
        m_maxGapMs = std::max(m_maxGapMs, double(m_sinceTick.nsecsElapsed()) / 1e6 - 1.0);
        m_sinceTick.start();
        m_lastCpuMs = threadCpuMs();
    }

    QTimer m_ticks;
    QElapsedTimer m_sinceTick;
    double m_lastCpuMs = 0;
    double m_maxWorkMs = 0;
    double m_maxGapMs = 0;
};

QList<Screenshot> recordsFor(const QString& folder, const QStringList& relativePaths)
{
    QList<Screenshot> files;
    for (const QString& relative : relativePaths)
        files.append(Screenshot(folder + u'/' + relative, QUuid::createUuid()));
    return files;
}

// Runs one pipeline over `files` and returns its wall time in seconds.
double runPipeline(ScreenshotMonitor& monitor, DatabaseManager& store, const QList<Screenshot>& files,
                   StallProbe* probe = nullptr)
{
    store.upsertMany(files);
    ScreenshotMonitorTestAccess::setScreenshots(monitor, files);
    QEventLoop loop;
    const auto connection = QObject::connect(&monitor, &ScreenshotMonitor::isProcessingChanged, [&](bool processing) {
        if (!processing)
            loop.quit();
    });
    if (probe)
        probe->restart();
    QElapsedTimer timer;
    timer.start();
    monitor.startBatchProcessing(files);
    if (monitor.isProcessing())
        loop.exec();
    QObject::disconnect(connection);
    return double(timer.nsecsElapsed()) / 1e9;
}

// (a): milliseconds per batch beyond the 10 ms pause that follows each batch,
// and the longest stretch of GUI-thread work meanwhile.
double overheadPerBatchMs(ScreenshotMonitor& monitor, DatabaseManager& store, const QString& folder, double& maxWorkMs)
{
    QStringList paths;
    for (int i = 0; i < 1000; ++i)
        paths.append(u"free/shot%1.png"_s.arg(i));
    runPipeline(monitor, store, recordsFor(folder, paths.mid(0, 40))); // warm
    StallProbe probe;
    const double seconds = runPipeline(monitor, store, recordsFor(folder, paths), &probe);
    maxWorkMs = probe.maxWorkMs();
    const int batches = 1000 / ScreenshotMonitor::BATCH_SIZE;
    const double pauseMs = double(AnalysisPipeline::pauseAfterBatch(0).count());
    const double overhead = (seconds * 1000.0 - batches * pauseMs) / batches;
    Console::printLine(u"(a) 1000 free files: %1 s for %2 batches, %3 ms per batch beyond the %4 ms pause; "
                       "GUI thread busy at most %5 ms at a stretch"_s.arg(seconds, 0, 'f', 3)
                           .arg(batches)
                           .arg(overhead, 0, 'f', 3)
                           .arg(pauseMs)
                           .arg(maxWorkMs, 0, 'f', 2));
    return overhead;
}

// Files per second analysing one file after another with one engine and one
// network and no helpers, on a thread as low in priority as the pipeline's.
double singleFileRate(EmbeddingService& embedding, const QList<Screenshot>& files, const QString& folder)
{
    ServiceAnalyzer alone(embedding, {.threads = 1, .engines = 1, .networks = 1}, nullptr);
    Workers::Pool thread(u"single"_s, 1, true);
    double seconds = 0;
    thread.start([&] {
        AnalysisPipeline::processFile(alone, files.first(), folder); // models loaded
        QElapsedTimer timer;
        timer.start();
        for (const Screenshot& file : files)
            AnalysisPipeline::processFile(alone, file, folder);
        seconds = double(timer.nsecsElapsed()) / 1e9;
    });
    thread.waitForDone();
    return files.size() / seconds;
}

struct Throughput
{
    double filesPerSecond = 0;
    double singleRate = 0;
    double maxWorkMs = 0;
    double maxGapMs = 0;
    double peakMB = 0;
};

// One file at a time, then the pipeline over the same files.
Throughput measureThroughput(ScreenshotMonitor& monitor, EmbeddingService& embedding, DatabaseManager& store,
                             const QString& folder, const QStringList& paths)
{
    Throughput result;
    result.singleRate = singleFileRate(embedding, recordsFor(folder, paths), folder);
    runPipeline(monitor, store, recordsFor(folder, paths.mid(0, 8))); // the models made once
    StallProbe probe;
    resetPeakResidentMemory();
    const double seconds = runPipeline(monitor, store, recordsFor(folder, paths), &probe);
    result.filesPerSecond = paths.size() / seconds;
    result.maxWorkMs = probe.maxWorkMs();
    result.maxGapMs = probe.maxGapMs();
    result.peakMB = peakResidentMemoryMB();
    return result;
}
} // namespace

int main(int argc, char** argv)
{
    // As the application does: one OpenMP thread per text-recognition engine.
    ensureOmpThreadLimit(argc, argv);
    // The monitor's folder comes from the home folder: never the user's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + u"/.local/share"_s).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + u"/.config"_s).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + u"/.cache"_s).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);

    Settings settings(home.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(home.filePath(u"store.sqlite"_s));
    MonitorServices parts;
    EmbeddingService embedding;
    const auto analyzer = std::make_shared<ServiceAnalyzer>(embedding, parts.workers);
    double freeWorkMs = 0;
    double overheadMs = 0;
    {
        ScreenshotMonitor free(parts.with(settings, memory, store, std::make_shared<FreeAnalyzer>()));
        QDir().mkpath(free.monitoredPath());
        overheadMs = overheadPerBatchMs(free, store, free.monitoredPath(), freeWorkMs);
    }
    ScreenshotMonitor monitor(parts.with(settings, memory, store, analyzer));
    const QString folder = monitor.monitoredPath();

    const SampleLibrary::Result samples =
        SampleLibrary::write(SampleLibrary::Options::screenshotsOnly(folder + u"/real"_s, 60, 3));
    QStringList paths;
    for (const SampleLibrary::Entry& entry : samples.entries)
        paths.append(u"real/"_s + entry.relativePath);

    const int cores = QThread::idealThreadCount();
    const int parallel = std::min(cores, ScreenshotMonitor::BATCH_SIZE);
    const Throughput figures = measureThroughput(monitor, embedding, store, folder, paths);
    const double efficiency = figures.filesPerSecond / (parallel * figures.singleRate);
    const double efficiencyAllCores = figures.filesPerSecond / (cores * figures.singleRate);
    const Workers::AnalysisSizes& sizes = parts.workers.analysisSizes();

    Console::printLine(u"(b) %1 screenshots: %2 files/s; one at a time on one engine %3 files/s; %4 of (%5 x that), "
                       "%6 of (%7 cores x that); %8 parts of pages helped; GUI thread busy at most %9 ms at a stretch, "
                       "longest gap %10 ms; peak %11 MB"_s.arg(paths.size())
                           .arg(figures.filesPerSecond, 0, 'f', 2)
                           .arg(figures.singleRate, 0, 'f', 2)
                           .arg(efficiency, 0, 'f', 2)
                           .arg(parallel)
                           .arg(efficiencyAllCores, 0, 'f', 2)
                           .arg(cores)
                           .arg(analyzer->sharedWork().helpedParts())
                           .arg(figures.maxWorkMs, 0, 'f', 2)
                           .arg(figures.maxGapMs, 0, 'f', 2)
                           .arg(figures.peakMB, 0, 'f', 1));
    Console::printLine(u"   %1 cores: %2 analysis threads, %3 engines, %4 label networks; batches of %5"_s.arg(cores)
                           .arg(sizes.threads)
                           .arg(sizes.engines)
                           .arg(sizes.networks)
                           .arg(ScreenshotMonitor::BATCH_SIZE));

    ResultLine(u"pipeline"_s)
        .add(u"cores"_s, cores, 0)
        .add(u"overhead_ms_per_batch"_s, overheadMs, 3)
        .add(u"files_per_s"_s, figures.filesPerSecond)
        .add(u"single_files_per_s"_s, figures.singleRate)
        .add(u"efficiency"_s, efficiency)
        .add(u"efficiency_all_cores"_s, efficiencyAllCores)
        .add(u"max_gui_stall_ms"_s, std::max(freeWorkMs, figures.maxWorkMs))
        .add(u"max_gui_gap_ms"_s, figures.maxGapMs)
        .add(u"peak_rss_mb"_s, figures.peakMB, 1)
        .print();
    return 0;
}
