// The batch analysis pipeline: (a) its own cost per batch beyond the fixed
// pauses, with analyses that cost nothing; (b) throughput, GUI-thread stalls
// and peak resident memory with the real services on generated screenshots
// of mixed sizes, against the rate of one file at a time on one engine
// (measured in the same run, on a thread of the same lower priority).
//
// efficiency: files per second / (the four files of a batch x the single
// rate); efficiency_all_cores: the same against every core. Both rates are
// measured in three rounds, back to back; the median round is reported.
// (c) a folder of 200 screenshots, three large photographs (a noisy 12 MP
// texture, a noisy 48 MP one, a camera-like 12 MP JPEG) and five 4096 x 4096
// wallpapers (flat shapes, a gradient, graph paper, dots, hatching: made of
// flat areas, they pass for screens), loaded and analysed as the application
// does: each large picture's time and processor time on one engine alone
// (worst_file_s, worst_file_cpu_s) and the text read in them
// (photo_text_chars: none is there to read); the processor time the process
// still spends on one of them once its budget is spent or it is given up,
// with every engine helping (busy_after_giveup_ms); then, in a process of its own that builds the services
// as the application does, the run's throughput, an organize run, its undo
// and a compression run with polling on (files analysed again afterwards:
// reanalysed_after_tools) and its resident memory once idle with the models
// let go, against a fresh process that loads the same library
// (idle_rss_over_fresh_mb); last, how long a cancel and a quit take with the
// photographs under way (cancel_ms: until their analyses have returned and
// the monitor is idle; quit_ms).
// (d) A folder of eleven empty pictures, a damaged one, a 4096 x 4096 noisy
// texture and a few screenshots, analysed at a first launch with the real
// analyses (on a budget of a fifth of a second of processor time, so that
// some run out of it) and started again three times, each start followed by
// the settings' "Rescan Quick Links": the starts that read again a file
// whose first reading found nothing (unreadable, or out of time before a
// word was read, or given up) (retried_after_giveup).
// (e) quit_during_tools_ms: the slowest of an organize run, a duplicate
// deletion and a space saver run (with an encoding under way) quit halfway,
// each in a process of its own, from the quit until the process is gone.
// (f) Whether the program, launched 0.3 s after the running copy was told
// to quit, opens its window once that copy has ended
// (relaunch_after_quit_ok).
// (g) A 2 GB file named .png that is no picture (random bytes at its head,
// a hole after them, as a disk image or a download cut short leaves it),
// analysed by a run of the pipeline with the real analyses: the megabytes the
// process read meanwhile (undecodable_2gb_read_mb) and its peak resident
// memory over what was resident before (undecodable_2gb_peak_rss_mb). Files
// with other heads are measured and printed alongside.
//
// bench_pipeline [--only worst|overhead|throughput|giveup|undecodable|quit|relaunch]   one section alone, in
// a process of its own (its peak memory is then its own); all by default.
// Run it on two cores too: taskset -c 0,1 build/bench/bench_pipeline

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/ImageLoader.h"
#include "core/LargeBlocks.h"
#include "core/MemoryMonitor.h"
#include "core/OmpThreadLimit.h"
#include "core/ProcMemorySource.h"
#include "core/Settings.h"
#include "generators/MediaGenerator.h"
#include "generators/SampleLibrary.h"
#include "ingest/EmbeddingService.h"
#include "ingest/PageReader.h"
#include "ingest/ScreenshotMonitor.h"
#include "ingest/ServiceAnalyzer.h"
#include "organize/OrganizeService.h"
#include "platform/FileOps.h"
#include "platform/FolderChooser.h"
#include "platform/SingleInstance.h"
#include "spacesaver/CompressionService.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/OneFolderChooser.h"
#include "support/QuitDuringTool.h"
#include "support/ReadCost.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

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

// The real analyses, counting the files they are asked to look at and
// those whose analysis has not returned yet.
class CountingAnalyzer : public FileAnalyzer
{
public:
    explicit CountingAnalyzer(std::shared_ptr<ServiceAnalyzer> real)
        : m_real(std::move(real))
    {}
    std::atomic<int> looks{0};
    std::atomic<int> inFlight{0};
    // The models are not let go at the end of a run while set: runs one
    // after another then go as the batches of one long import do, with the
    // models made once.
    std::atomic<bool> keepsModels{false};

    std::optional<QString> recognizeText(const QString& path) override { return m_real->recognizeText(path); }
    QList<QUrl> extractUrls(const QString& text) override { return m_real->extractUrls(text); }
    QStringList labels(const QString& path) override { return m_real->labels(path); }
    std::optional<QList<double>> embedding(const QString& text) override { return m_real->embedding(text); }
    Sight look(const QString& path, std::stop_token stop, const TimeBudget& budget) override
    {
        ++looks;
        ++inFlight;
        const std::unique_ptr<std::atomic<int>, void (*)(std::atomic<int>*)> returned(
            &inFlight, [](std::atomic<int>* count) { --*count; });
        return m_real->look(path, std::move(stop), budget);
    }
    void releaseModels() override
    {
        if (!keepsModels)
            m_real->releaseModels();
    }
    bool holdsModels() const { return m_real->engineCount() > 0 || m_real->networkCount() > 0; }

private:
    std::shared_ptr<ServiceAnalyzer> m_real;
};

void grantFolder(ScreenshotMonitor& monitor, const QString& folder)
{
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    monitor.requestFolderAccess();
}

struct Worst
{
    double worstFileS = 0;
    double worstFileCpuS = 0;
    qint64 photoTextChars = 0;
    double runSeconds = 0;
    int runFiles = 0;
    int reanalysed = 0;
    double idleOverFreshMB = 0;
    double cancelMs = 0;
    int writtenAfterCancel = 0;
    double quitMs = 0;
    double busyAfterGiveUpMs = 0;
};

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Each large picture analysed as the application analyses it, every engine
// helping, twice: with a budget of a second of processor time, and with
// none but given up (stopped) after a second. Processor time of the whole
// process from the moment the budget is spent, or the stop requested, until
// the analysis has returned and every helper is idle; the worst, in ms.
double busyAfterGiveUpMs(EmbeddingService& embedding, const QString& folder, const QStringList& pictures)
{
    using namespace std::chrono_literals;
    constexpr auto allowed = 1s;
    Workers workers;
    ServiceAnalyzer analyzer(embedding, workers);
    double worst = 0;
    for (const QString& name : pictures) {
        for (const bool givenUp : {false, true}) {
            const Screenshot file(folder + u'/' + name, QUuid::createUuid());
            const TimeBudget budget =
                TimeBudget::startingNow(givenUp ? std::chrono::nanoseconds(10min) : allowed, 10min);
            std::stop_source stop;
            std::atomic<bool> returned{false};
            workers.analysis().start([&] {
                AnalysisPipeline::processFile(analyzer, file, folder, stop.get_token(), budget);
                returned = true;
            });
            double from = -1;
            while (!returned) {
                if (from < 0 && budget.account->spent() >= allowed) {
                    from = processCpuMs();
                    if (givenUp)
                        stop.request_stop();
                }
                std::this_thread::sleep_for(2ms);
            }
            workers.analysis().waitForDone();
            const double busy = from < 0 ? 0 : processCpuMs() - from;
            Console::printLine(u"(c) %1 %2 after a second: %3 ms of processor time until it returned"_s.arg(name)
                                   .arg(givenUp ? u"given up"_s : u"out of budget"_s)
                                   .arg(busy, 0, 'f', 0));
            worst = std::max(worst, busy);
        }
    }
    analyzer.releaseModels();
    return worst;
}

// Each large picture analysed alone on one engine, one thread, no helpers.
void measureWorstFiles(EmbeddingService& embedding, const QString& folder, const QStringList& photos, Worst& worst)
{
    ServiceAnalyzer alone(embedding, {.threads = 1, .engines = 1, .networks = 1}, nullptr);
    Workers::Pool thread(u"single"_s, 1, true);
    thread.start([&] {
        for (const QString& name : photos) {
            const Screenshot file(folder + u'/' + name, QUuid::createUuid());
            const AnalysisPipeline::Budget& bounds = AnalysisPipeline::fileBudget;
            const TimeBudget budget = TimeBudget::startingNow(bounds.processor, bounds.realTime);
            QElapsedTimer timer;
            timer.start();
            const double cpuBefore = std::chrono::duration<double>(CpuAccount::threadTime()).count();
            const std::optional<ProcessedFileResult> result =
                AnalysisPipeline::processFile(alone, file, folder, {}, budget);
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            const double cpuSeconds = std::chrono::duration<double>(CpuAccount::threadTime()).count() - cpuBefore;
            const qsizetype chars = result ? result->ocrText.size() : 0;
            const bool screen = !PageReader::isPhotograph(ImageLoader::load(file.filePath));
            Console::printLine(
                u"(c) %1 alone on one engine: %2 s, %3 s of processor time, %4 characters of text%5%6"_s.arg(name)
                    .arg(seconds, 0, 'f', 2)
                    .arg(cpuSeconds, 0, 'f', 2)
                    .arg(chars)
                    .arg(result && result->reachedTimeBudget ? u" (time budget reached)"_s : QString())
                    .arg(screen ? u"; read as a screen"_s : QString()));
            worst.worstFileS = std::max(worst.worstFileS, seconds);
            worst.worstFileCpuS = std::max(worst.worstFileCpuS, cpuSeconds);
            worst.photoTextChars += chars;
        }
    });
    thread.waitForDone();
}

int freshRssChild(const QString& home, const QString& folder)
{
    Settings settings(home + u"/settings.conf"_s);
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(home + u"/worst.sqlite"_s);
    MonitorServices parts;
    EmbeddingService embedding;
    ScreenshotMonitor monitor(
        parts.with(settings, memory, store, std::make_shared<ServiceAnalyzer>(embedding, parts.workers)));
    grantFolder(monitor, folder);
    waitFor([&] { return monitor.isPolling() && !monitor.isProcessing(); }, 120000);
    settle(1500);
    std::printf("fresh: %s\n", qPrintable(residentMemoryBreakdown()));
    std::printf("FRESH_RSS_MB=%.1f\n", residentMemoryMB());
    return 0;
}

// The folder's first run and the tools, with the services built as the
// application builds them, in a process that has done nothing else; then
// its resident memory once the models are let go.
int afterRunChild(const QString& home, const QString& folder)
{
    Settings settings(home + u"/settings.conf"_s);
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(home + u"/worst.sqlite"_s);
    MonitorServices parts;
    EmbeddingService embedding;
    auto analyzer = std::make_shared<CountingAnalyzer>(std::make_shared<ServiceAnalyzer>(embedding, parts.workers));
    ScreenshotMonitor monitor(parts.with(settings, memory, store, analyzer));
    monitor.setPollingInterval(200);
    QElapsedTimer run;
    run.start();
    grantFolder(monitor, folder);
    waitFor([&] { return monitor.isProcessing(); }, 60000);
    waitFor([&] { return monitor.isPolling() && !monitor.isProcessing(); }, 1800000);
    const double runSeconds = double(run.nsecsElapsed()) / 1e9;
    const int runFiles = int(monitor.screenshots().size());
    const double runPeakMB = peakResidentMemoryMB();

    // The tools, with polling on; whatever they move must not be analysed again.
    const int looksBefore = analyzer->looks;
    SystemFileOps files;
    OrganizeService organizer(store, monitor, files, home + u"/data"_s);
    const OrganizeService::OrganizationResult organized =
        organizer.organize(organizer.analyze({QUrl::fromLocalFile(folder), true, true, false}), {});
    settle(600);
    if (organized.undoData)
        organizer.undo(*organized.undoData);
    settle(600);
    CompressionService compression(store, files);
    QList<Screenshot> screens = monitor.screenshots();
    screens.removeIf([](const Screenshot& screenshot) { return !screenshot.filename.startsWith(u"Screenshot "_s); });
    const auto plan = compression.analyzeForCompression(screens.mid(0, 24), {0.9, 4});
    bool compressed = false;
    compression
        .compressInBackground(
            monitor, plan.files, {0.9, 4}, [](int, int) {},
            [&](const CompressionService::CompressionResult&) { compressed = true; })
        .waitForFinished();
    waitFor([&] { return compressed; }, 300000);
    for (int walk = 0; walk < 3; ++walk) {
        monitor.forceChangeCheck();
        settle(400);
    }
    waitFor([&] { return !monitor.isProcessing(); }, 600000);
    const int reanalysed = analyzer->looks - looksBefore;
    std::printf("(c) after organize (%lld moved), undo and compression (%lld files): %d files analysed again\n",
                qlonglong(organized.movedFiles.size()), qlonglong(plan.files.size()), reanalysed);

    // Idle: the models are let go once the last run has ended.
    const bool released = waitFor([&] { return !analyzer->holdsModels(); }, 60000);
    settle(1500);
    std::printf("after the run: %s%s\n", qPrintable(residentMemoryBreakdown()), released ? "" : " (models still held)");
    std::printf("RUN_SECONDS=%.3f\nRUN_FILES=%d\nRUN_PEAK_RSS_MB=%.1f\nREANALYSED=%d\nIDLE_RSS_MB=%.1f\n", runSeconds,
                runFiles, runPeakMB, reanalysed, residentMemoryMB());
    return 0;
}

// Copies of the photographs under new names, with rows not analysed yet.
QList<Screenshot> freshPhotoRecords(DatabaseManager& store, const QString& folder, const QStringList& photos,
                                    const QString& copyName)
{
    QDir().mkpath(folder + u'/' + copyName);
    QList<Screenshot> records;
    for (const QString& name : photos) {
        const QString copy = folder + u'/' + copyName + u'/' + name;
        if (QFile::copy(folder + u'/' + name, copy))
            records.append(Screenshot(copy, QUuid::createUuid()));
    }
    store.upsertMany(records);
    return records;
}

// Cancel and quit with the photographs under way.
void measureCancelAndQuit(const QString& home, EmbeddingService& embedding, const QString& folder,
                          const QStringList& photos, Worst& worst)
{
    Settings settings(home + u"/settings.conf"_s);
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(home + u"/worst.sqlite"_s);
    MonitorServices parts;
    auto analyzer = std::make_shared<CountingAnalyzer>(std::make_shared<ServiceAnalyzer>(embedding, parts.workers));
    for (const bool quit : {false, true}) {
        const QList<Screenshot> records = freshPhotoRecords(store, folder, photos, quit ? u"quit"_s : u"cancel"_s);
        settings.setValue(ScreenshotMonitor::monitoredPathKey, folder);
        ScreenshotMonitor monitor(parts.with(settings, memory, store, analyzer));
        monitor.startBatchProcessing(records, folder);
        settle(1500); // well into the photographs' layout and recognition
        QElapsedTimer timer;
        timer.start();
        if (quit) {
            monitor.shutDown();
            worst.quitMs = double(timer.nsecsElapsed()) / 1e6;
        } else {
            monitor.cancelProcessing();
            waitFor([&] { return analyzer->inFlight == 0 && !monitor.isProcessing(); }, 600000);
            worst.cancelMs = double(timer.nsecsElapsed()) / 1e6;
            // Whatever the cancelled run might still write has had its chance.
            parts.workers.analysis().waitForDone();
            parts.workers.storeWrites().waitForDone();
            settle(500);
            for (const Screenshot& record : records) {
                const std::optional<Screenshot> row = store.fetchByPath(record.filePath);
                worst.writtenAfterCancel += row && row->ocrText.has_value();
            }
            Console::printLine(u"(c) cancel with the photographs under way: %1 ms until their analyses returned; "
                               "%2 of them written afterwards"_s.arg(worst.cancelMs, 0, 'f', 0)
                                   .arg(worst.writtenAfterCancel));
        }
        parts.workers.analysis().waitForDone();
    }
}

// Analysis, tools, memory, cancel and quit on the folder of screenshots and
// photographs, as the application meets them.
Worst measureWorstCase(const QString& home, EmbeddingService& embedding)
{
    Worst worst;
    const QString folder = home + u"/Worst"_s;
    SampleLibrary::write(SampleLibrary::Options::screenshotsOnly(folder, 200, 11));
    const QStringList photos = MediaGenerator::writeLargePhotos(folder, 11);
    const QStringList pictures = photos + MediaGenerator::writeWallpapers(folder, 11);
    measureWorstFiles(embedding, folder, pictures, worst);
    worst.busyAfterGiveUpMs = busyAfterGiveUpMs(embedding, folder, pictures);

    const QString run = fromChild({u"--run-rss"_s, home, folder});
    worst.runSeconds = figure(run, u"RUN_SECONDS"_s);
    worst.runFiles = int(figure(run, u"RUN_FILES"_s));
    worst.reanalysed = int(figure(run, u"REANALYSED"_s));
    const double idleMB = figure(run, u"IDLE_RSS_MB"_s);
    const double freshMB = figure(fromChild({u"--fresh-rss"_s, home, folder}), u"FRESH_RSS_MB"_s);
    worst.idleOverFreshMB = idleMB - freshMB;
    Console::printLine(u"(c) resident memory idle after the run and the tools %1 MB (peak %2 MB); a fresh process "
                       "with the same library %3 MB"_s.arg(idleMB, 0, 'f', 1)
                           .arg(figure(run, u"RUN_PEAK_RSS_MB"_s), 0, 'f', 1)
                           .arg(freshMB, 0, 'f', 1));

    measureCancelAndQuit(home, embedding, folder, photos, worst);
    return worst;
}

// The real analyses, noting the files each start looks at and those whose
// first reading found nothing.
class FailureWatch : public FileAnalyzer
{
public:
    explicit FailureWatch(std::shared_ptr<ServiceAnalyzer> real)
        : m_real(std::move(real))
    {}

    std::optional<QString> recognizeText(const QString& path) override { return m_real->recognizeText(path); }
    QList<QUrl> extractUrls(const QString& text) override { return m_real->extractUrls(text); }
    QStringList labels(const QString& path) override { return m_real->labels(path); }
    std::optional<QList<double>> embedding(const QString& text) override { return m_real->embedding(text); }
    Sight look(const QString& path, std::stop_token stop, const TimeBudget& budget) override
    {
        Sight sight = m_real->look(path, std::move(stop), budget);
        const bool readNothing =
            sight.unreadable || sight.stopped || (sight.reachedDeadline && sight.text.value_or(QString()).isEmpty());
        const std::lock_guard lock(m_mutex);
        m_looked.insert(path);
        if (readNothing)
            m_readNothing.insert(path);
        return sight;
    }
    void releaseModels() override { m_real->releaseModels(); }

    QSet<QString> looked() const
    {
        const std::lock_guard lock(m_mutex);
        return m_looked;
    }
    QSet<QString> readNothing() const
    {
        const std::lock_guard lock(m_mutex);
        return m_readNothing;
    }

private:
    std::shared_ptr<ServiceAnalyzer> m_real;
    mutable std::mutex m_mutex;
    QSet<QString> m_looked;
    QSet<QString> m_readNothing;
};

// What one start of the program read: the files it looked at, and those
// whose reading found nothing.
struct Reading
{
    QSet<QString> looked;
    QSet<QString> readNothing;
};

// One start of the program over the folder: the load and its run, then the
// link rescan's reload and whatever it runs.
Reading launchOver(const QString& home, const QString& folder, EmbeddingService& embedding, bool first)
{
    using namespace std::chrono_literals;
    Settings settings(home + u"/giveup.conf"_s);
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(home + u"/giveup.sqlite"_s);
    MonitorServices parts;
    auto analyzer = std::make_shared<FailureWatch>(std::make_shared<ServiceAnalyzer>(embedding, parts.workers));
    ScreenshotMonitor monitor(parts.with(settings, memory, store, analyzer));
    ScreenshotMonitorTestAccess::pipeline(monitor).setTimeBudget({1000ms, 30s, 1000ms});
    if (first)
        grantFolder(monitor, folder);
    const auto idle = [&] { return monitor.isPolling() && !monitor.isProcessing(); };
    waitFor(idle, 600000);
    store.rescanForLinks(true);
    monitor.startMonitoringAsync(true);
    waitFor(idle, 600000);
    settle(2500); // a file still being written would be read again by now
    waitFor(idle, 600000);
    return {analyzer->looked(), analyzer->readNothing()};
}

int retriedAfterGiveUp(const QString& home, EmbeddingService& embedding)
{
    const QString folder = home + u"/GiveUp"_s;
    SampleLibrary::write(SampleLibrary::Options::screenshotsOnly(folder, 4, 13));
    for (int i = 0; i < 11; ++i)
        QFile(folder + u"/Empty %1.png"_s.arg(i)).open(QIODevice::WriteOnly);
    QFile damaged(folder + u"/Damaged.png"_s);
    if (damaged.open(QIODevice::WriteOnly))
        damaged.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(4096, 'z'));
    damaged.close();
    MediaGenerator(13).noisyPhoto(QSize(4096, 4096)).save(folder + u"/Texture.png"_s);

    const QSet<QString> failed = launchOver(home, folder, embedding, true).readNothing;
    QStringList names;
    for (const QString& path : failed)
        names.append(path.section(u'/', -1));
    names.sort();
    Console::printLine(u"(d) read nothing at the first start: "_s + names.join(u", "_s));
    int retried = 0;
    for (int start = 1; start <= 3; ++start) {
        const QSet<QString> looked = launchOver(home, folder, embedding, false).looked;
        const QSet<QString> again = looked & failed;
        retried += again.isEmpty() ? 0 : 1;
        Console::printLine(u"(d) start %1 after it: %2 files read, %3 of them again"_s.arg(start)
                               .arg(looked.size())
                               .arg(again.size()));
    }
    Console::printLine(u"(d) %1 of 3 later starts read again files that read nothing at first"_s.arg(retried));
    return retried;
}

struct Throughput
{
    double filesPerSecond = 0;
    double singleRate = 0;
    double maxWorkMs = 0;
    double maxGapMs = 0;
    double peakMB = 0;
};

// Rounds of one file at a time, then the pipeline over the same files. This
// machine's speed drifts by a tenth within minutes, so each round pairs two
// rates taken moments apart, and the round of the median ratio stands for
// the run (with the worst stall, gap and peak of every round).
Throughput measureThroughput(ScreenshotMonitor& monitor, EmbeddingService& embedding, DatabaseManager& store,
                             const QString& folder, const QStringList& paths)
{
    constexpr int rounds = 3;
    runPipeline(monitor, store, recordsFor(folder, paths.mid(0, 8))); // the models made once
    std::vector<Throughput> measured;
    for (int round = 0; round < rounds; ++round) {
        Throughput figures;
        figures.singleRate = singleFileRate(embedding, recordsFor(folder, paths), folder);
        StallProbe probe;
        resetPeakResidentMemory();
        const double seconds = runPipeline(monitor, store, recordsFor(folder, paths), &probe);
        figures.filesPerSecond = paths.size() / seconds;
        figures.maxWorkMs = probe.maxWorkMs();
        figures.maxGapMs = probe.maxGapMs();
        figures.peakMB = peakResidentMemoryMB();
        Console::printLine(u"    round %1: %2 files/s; one at a time %3 files/s"_s.arg(round + 1)
                               .arg(figures.filesPerSecond, 0, 'f', 2)
                               .arg(figures.singleRate, 0, 'f', 2));
        measured.push_back(figures);
    }
    std::sort(measured.begin(), measured.end(), [](const Throughput& a, const Throughput& b) {
        return a.filesPerSecond / a.singleRate < b.filesPerSecond / b.singleRate;
    });
    Throughput result = measured[measured.size() / 2];
    for (const Throughput& figures : measured) {
        result.maxWorkMs = std::max(result.maxWorkMs, figures.maxWorkMs);
        result.maxGapMs = std::max(result.maxGapMs, figures.maxGapMs);
        result.peakMB = std::max(result.peakMB, figures.peakMB);
    }
    return result;
}
// The real program is launched 0.3 s after Quit. The copy that quits is
// this process, doing what quitting does to the running copy: it stops
// taking launches at once and ends as long after as a quit during analysis
// takes. 1 when the launch opens its window (and keeps running) once that
// copy has ended.
int relaunchAfterQuitOk(const QString& home)
{
    constexpr int quitTakesMs = 2500;
    const QString runtime = home + u"/runtime"_s;
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    auto running = std::make_unique<SingleInstance>(SingleInstance::defaultName());
    if (running->claim({}) != SingleInstance::Claim::primary)
        return 0;
    running->stopTakingLaunches();
    settle(300);
    QProcess launch;
    launch.start(QStringLiteral(GLIMMERDECK_BINARY), QStringList{});
    settle(quitTakesMs - 300);
    const QString appeared = u"📱 ContentView appeared"_s;
    QString output = QString::fromUtf8(launch.readAllStandardOutput());
    // A window beside the quitting copy would be two copies on one store.
    const bool besideQuittingCopy = output.contains(appeared);
    running.reset();

    waitFor(
        [&] {
            output += QString::fromUtf8(launch.readAllStandardOutput());
            return output.contains(appeared) || launch.state() == QProcess::NotRunning;
        },
        60000);
    const bool opened = output.contains(appeared) && launch.state() == QProcess::Running && !besideQuittingCopy;
    launch.terminate();
    launch.waitForFinished(10000);
    Console::printLine(
        u"(f) a launch 0.3 s after Quit, the quitting copy gone %1 s later: %2"_s.arg(quitTakesMs / 1000.0, 0, 'f', 1)
            .arg(opened ? u"its window opened"_s : u"no window: "_s + output.simplified()));
    return opened ? 1 : 0;
}

// (g): each file analysed by a run of its own; the figures of the first.
ReadCost measureUndecodable(ScreenshotMonitor& monitor, DatabaseManager& store)
{
    constexpr qint64 size = 2LL * 1024 * 1024 * 1024;
    const QString folder = monitor.monitoredPath() + u"/undecodable"_s;
    QDir().mkpath(folder);
    QByteArray randomHead(64 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < randomHead.size(); ++i)
        randomHead[i] = char((quint64(i) * 2654435761u) >> 13);
    const std::pair<QString, QByteArray> heads[] = {
        {u"Disk image.png"_s, randomHead},
        {u"Zeros.png"_s, {}},
        {u"PNG signature.png"_s, QByteArray("\x89PNG\r\n\x1a\n", 8) + randomHead},
        {u"HEIF signature.png"_s, QByteArray::fromHex("000000186674797068656963000000006d69663168656963")},
        {u"Endless JPEG header.png"_s, QByteArray::fromHex("ffd8ffe00010")},
    };
    // The image decoders' plugins and the store's statements are ready in a
    // program that has run before: a small file that is no picture first.
    const QString small = folder + u"/Small.png"_s;
    QFile warm(small);
    if (warm.open(QIODevice::WriteOnly))
        warm.write(randomHead.first(4096));
    warm.close();
    runPipeline(monitor, store, {Screenshot(small, QUuid::createUuid())});
    std::vector<ReadCost> measured;
    for (const auto& [name, head] : heads) {
        const QString path = folder + u'/' + name;
        if (!writeSparse(path, head, size))
            return {-1, -1};
        const QList<Screenshot> records{Screenshot(path, QUuid::createUuid())};
        store.upsertMany(records);
        const double residentMB = residentMemoryMB();
        const ReadCost figures = readCostOf([&] { runPipeline(monitor, store, records); });
        const std::optional<Screenshot> row = store.fetchByPath(path);
        Console::printLine(u"(g) %1 (2 GB): %2 MB read, peak %3 MB over the %4 MB resident before; %5"_s.arg(name)
                               .arg(figures.readMB, 0, 'f', 2)
                               .arg(std::max(0.0, figures.peakOverStartMB), 0, 'f', 2)
                               .arg(residentMB, 0, 'f', 1)
                               .arg(row && row->analysisFailure == AnalysisFailure::unreadable
                                        ? u"remembered as unreadable"_s
                                        : u"NOT remembered as unreadable"_s));
        measured.push_back(figures);
        QFile::remove(path);
    }
    return measured.front();
}
} // namespace

// The slowest quit of three tools, each run halfway in a child; -1 when one
// did not get under way or was not gone within 10 s.
double slowestQuitDuringTools()
{
    double slowest = 0;
    for (const QString& tool : {u"organize"_s, u"deletion"_s, u"spacesaver"_s}) {
        QTemporaryDir home;
        QuitDuringTool::prepare(home.path(), tool);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        const QuitDuringTool::Quit quit = QuitDuringTool::timeQuit(
            QCoreApplication::applicationFilePath(), {u"--quit-tool"_s, tool, home.path()}, environment, 10'000);
        Console::printLine(u"(e) quit during %1: %2 ms%3"_s.arg(tool).arg(quit.ms).arg(
            quit.gone && quit.exitCode == 0 ? QString() : u" (did not end cleanly)"_s));
        if (!quit.quitting || !quit.gone)
            return -1;
        slowest = std::max(slowest, double(quit.ms));
    }
    return slowest;
}

int main(int argc, char** argv)
{
    // As the application does: one OpenMP thread per text-recognition engine.
    ensureOmpThreadLimit(argc, argv);
    returnLargeBlocksToSystem();
    if (argc == 4 && qstrcmp(argv[1], "--quit-tool") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return QuitDuringTool::runChild(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2]));
    }
    const bool isChild = argc == 4 && (qstrcmp(argv[1], "--fresh-rss") == 0 || qstrcmp(argv[1], "--run-rss") == 0);
    const QString only = argc == 3 && qstrcmp(argv[1], "--only") == 0 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (!isChild && argc > 1 &&
        (only.isEmpty() || !QStringList{u"worst"_s, u"overhead"_s, u"throughput"_s, u"giveup"_s, u"undecodable"_s,
                                        u"quit"_s, u"relaunch"_s}
                                .contains(only))) {
        std::fprintf(stderr, "usage: %s [--only worst|overhead|throughput|giveup|undecodable|quit|relaunch]\n",
                     argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (isChild) {
        QGuiApplication app(argc, argv);
        QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);
        Console::setSink([](const QString&) {});
        const QString home = QString::fromLocal8Bit(argv[2]);
        const QString folder = QString::fromLocal8Bit(argv[3]);
        return qstrcmp(argv[1], "--fresh-rss") == 0 ? freshRssChild(home, folder) : afterRunChild(home, folder);
    }
    const auto runs = [&only](const QString& section) { return only.isEmpty() || only == section; };
    // The monitor's folder comes from the home folder: never the user's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + u"/.local/share"_s).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + u"/.config"_s).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + u"/.cache"_s).toUtf8());
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);

    Settings settings(home.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(home.filePath(u"store.sqlite"_s));
    EmbeddingService embedding;
    const int cores = QThread::idealThreadCount();
    ResultLine result(u"pipeline"_s);
    result.add(u"cores"_s, cores, 0);
    // First, while the process holds nothing else.
    if (runs(u"worst"_s)) {
        const Worst worst = measureWorstCase(home.path(), embedding);
        result.add(u"worst_file_s"_s, worst.worstFileS)
            .add(u"worst_file_cpu_s"_s, worst.worstFileCpuS)
            .add(u"photo_text_chars"_s, worst.photoTextChars, 0)
            .add(u"with_photos_files_per_s"_s, worst.runFiles / worst.runSeconds)
            .add(u"cancel_ms"_s, worst.cancelMs, 0)
            .add(u"quit_ms"_s, worst.quitMs, 0)
            .add(u"busy_after_giveup_ms"_s, worst.busyAfterGiveUpMs, 0)
            .add(u"reanalysed_after_tools"_s, worst.reanalysed, 0)
            .add(u"idle_rss_over_fresh_mb"_s, worst.idleOverFreshMB, 1);
    }
    if (runs(u"giveup"_s))
        result.add(u"retried_after_giveup"_s, retriedAfterGiveUp(home.path(), embedding), 0);
    MonitorServices parts;
    if (runs(u"undecodable"_s)) {
        ScreenshotMonitor monitor(
            parts.with(settings, memory, store, std::make_shared<ServiceAnalyzer>(embedding, parts.workers)));
        const ReadCost undecodable = measureUndecodable(monitor, store);
        result.add(u"undecodable_2gb_read_mb"_s, undecodable.readMB)
            .add(u"undecodable_2gb_peak_rss_mb"_s, std::max(0.0, undecodable.peakOverStartMB));
    }
    double freeWorkMs = 0;
    if (runs(u"overhead"_s)) {
        ScreenshotMonitor free(parts.with(settings, memory, store, std::make_shared<FreeAnalyzer>()));
        QDir().mkpath(free.monitoredPath());
        result.add(u"overhead_ms_per_batch"_s, overheadPerBatchMs(free, store, free.monitoredPath(), freeWorkMs), 3);
    }
    if (runs(u"throughput"_s)) {
        const auto analyzer = std::make_shared<ServiceAnalyzer>(embedding, parts.workers);
        const auto kept = std::make_shared<CountingAnalyzer>(analyzer);
        kept->keepsModels = true;
        ScreenshotMonitor monitor(parts.with(settings, memory, store, kept));
        const QString folder = monitor.monitoredPath();
        const SampleLibrary::Result samples =
            SampleLibrary::write(SampleLibrary::Options::screenshotsOnly(folder + u"/real"_s, 60, 3));
        QStringList paths;
        for (const SampleLibrary::Entry& entry : samples.entries)
            paths.append(u"real/"_s + entry.relativePath);

        const int parallel = std::min(cores, ScreenshotMonitor::BATCH_SIZE);
        const Throughput figures = measureThroughput(monitor, embedding, store, folder, paths);
        const double efficiency = figures.filesPerSecond / (parallel * figures.singleRate);
        const double efficiencyAllCores = figures.filesPerSecond / (cores * figures.singleRate);
        const Workers::AnalysisSizes& sizes = parts.workers.analysisSizes();
        Console::printLine(
            u"(b) %1 screenshots: %2 files/s; one at a time on one engine %3 files/s; %4 of (%5 x that), "
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
        Console::printLine(
            u"   %1 cores: %2 analysis threads, %3 engines, %4 label networks; batches of %5"_s.arg(cores)
                .arg(sizes.threads)
                .arg(sizes.engines)
                .arg(sizes.networks)
                .arg(ScreenshotMonitor::BATCH_SIZE));
        result.add(u"files_per_s"_s, figures.filesPerSecond)
            .add(u"single_files_per_s"_s, figures.singleRate)
            .add(u"efficiency"_s, efficiency)
            .add(u"efficiency_all_cores"_s, efficiencyAllCores)
            .add(u"max_gui_gap_ms"_s, figures.maxGapMs)
            .add(u"peak_rss_mb"_s, figures.peakMB, 1);
        freeWorkMs = std::max(freeWorkMs, figures.maxWorkMs);
    }
    if (runs(u"overhead"_s) || runs(u"throughput"_s))
        result.add(u"max_gui_stall_ms"_s, freeWorkMs);
    if (runs(u"quit"_s))
        result.add(u"quit_during_tools_ms"_s, slowestQuitDuringTools(), 0);
    if (runs(u"relaunch"_s))
        result.add(u"relaunch_after_quit_ok"_s, relaunchAfterQuitOk(home.path()), 0);
    result.print();
    return 0;
}
