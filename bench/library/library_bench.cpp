// The library at 100k files: the first import of a folder the store has never
// seen (walk, store lookups and inserts), the load of 100k stored rows (time
// to the first publish and to the last row, the specified pauses between
// pages left out), one walk of the tree, and what the 2-second change check
// costs while nothing changes: a minute of idle ticks, its safety walk included.
//
// Usage: bench_library [files] [idle seconds]   (defaults 100000 and 60)

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "generators/SampleLibrary.h"
#include "generators/TextGenerator.h"
#include "ingest/FolderWalker.h"
#include "ingest/ScreenshotMonitor.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <random>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double peakResidentMB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Runs the event loop for `ms` without waking it for anything of our own.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition() || elapsed.elapsed() > timeoutMs)
            loop.quit();
    });
    check.start(5);
    loop.exec();
    return condition();
}

void writeFolder(const QString& folder, int files)
{
    SampleLibrary::Options options;
    options.folder = folder;
    options.count = files;
    options.small = true;
    options.recordingEvery = 0; // one encoder process per recording: too slow at this scale
    options.heicEvery = 0;
    options.duplicateShare = 0;
    options.subfolders = 6;
    QElapsedTimer clock;
    clock.start();
    const SampleLibrary::Result result = SampleLibrary::write(options);
    std::printf("wrote %lld files in %.1f s (%lld errors)\n", qlonglong(result.entries.size()),
                double(clock.elapsed()) / 1000.0, qlonglong(result.errors.size()));
}

// What analysis would have stored: a paragraph of text, a 100-d embedding and,
// for a third of the files, links.
void storeAnalysis(DatabaseManager& store, const QList<Screenshot>& screenshots)
{
    TextGenerator text(5);
    std::mt19937 random(9);
    std::uniform_real_distribution<double> component(-1.0, 1.0);
    QList<ProcessedFileResult> results;
    for (const Screenshot& screenshot : screenshots) {
        QList<double> embedding(100);
        for (double& value : embedding)
            value = component(random);
        QList<QUrl> urls;
        if (results.size() % 3 == 0)
            urls.append(QUrl(u"https://example.org/"_s + text.word()));
        results.append({screenshot.id, text.paragraph(300), {u"laptop"_s}, embedding, urls});
        if (results.size() == 5000) {
            store.updateMetadataBatch(results);
            results.clear();
        }
    }
    store.updateMetadataBatch(results);
}

struct LoadFigures
{
    double firstPublishMs = 0;
    double allRowsMs = 0;
};

LoadFigures measureLoad(ScreenshotMonitor& monitor, const QString& folder, int rows)
{
    QElapsedTimer clock;
    qint64 firstPublish = -1;
    qint64 lastPublish = -1;
    QObject::connect(&monitor, &ScreenshotMonitor::screenshotsChanged, &monitor, [&] {
        const qsizetype listed = monitor.screenshots().size();
        if (listed > 0 && firstPublish < 0)
            firstPublish = clock.nsecsElapsed();
        if (listed >= rows && lastPublish < 0)
            lastPublish = clock.nsecsElapsed();
    });
    clock.start();
    monitor.changeMonitoredFolder(folder);
    runUntil([&] { return monitor.isPolling(); }, 600000);

    // The load pauses 50 ms after each page after the first; the last publish
    // comes before the last pause.
    const int laterPages = std::max(0, (rows - 2000 + 999) / 1000);
    const double pausesMs = std::max(0, laterPages - 1) * 50.0;
    return {double(firstPublish) / 1e6, double(lastPublish) / 1e6 - pausesMs};
}

double measureWalk(const QString& folder)
{
    std::vector<double> times;
    qsizetype files = 0;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        files = FolderWalker::walk(folder, ScreenshotMonitor::supportedExtensions()).files.size();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("walk: %lld files, median %.1f ms\n", qlonglong(files), times[2]);
    return times[2];
}
} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;

    QTemporaryDir work;
    const QString folder = work.filePath(u"Desktop"_s);
    writeFolder(folder, files);

    Settings settings(work.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1));
    DatabaseManager store(work.filePath(u"Brindlework.sqlite"_s));
    MonitorServices parts;

    double firstImportMs = 0;
    {
        ScreenshotMonitor importer(parts.with(settings, memory, store));
        QElapsedTimer clock;
        clock.start();
        importer.changeMonitoredFolder(folder);
        runUntil([&] { return importer.isPolling(); }, 600000);
        firstImportMs = double(clock.nsecsElapsed()) / 1e6;
        std::printf("first import: %lld files listed in %.0f ms\n", qlonglong(importer.screenshots().size()),
                    firstImportMs);
        const QList<Screenshot> imported = importer.screenshots();
        importer.cancelProcessing();
        storeAnalysis(store, imported);
    }

    ScreenshotMonitor monitor(parts.with(settings, memory, store));
    const LoadFigures load = measureLoad(monitor, folder, store.count(folder));
    std::printf("load: first publish %.1f ms, all rows %.1f ms\n", load.firstPublishMs, load.allRowsMs);

    const double walkMs = measureWalk(folder);

    // The first tick after the load walks once (the watches have just begun);
    // the idle minute starts after it and includes one safety walk.
    runFor(3000);
    const double cpuBefore = cpuSeconds();
    runFor(idleSeconds * 1000);
    const double idleCpuPct = (cpuSeconds() - cpuBefore) / idleSeconds * 100.0;

    ResultLine(u"library"_s)
        .add(u"first_publish_ms"_s, load.firstPublishMs, 1)
        .add(u"all_rows_ms"_s, load.allRowsMs, 1)
        .add(u"first_import_ms"_s, firstImportMs, 0)
        .add(u"walk_ms"_s, walkMs, 1)
        .add(u"idle_cpu_pct"_s, idleCpuPct, 3)
        .add(u"peak_rss_mb"_s, peakResidentMB(), 1)
        .print();
    return 0;
}
