// Resident memory of the application's long-lived parts, each measured in a
// process of its own (this program started again with a mode), so that
// nothing the measuring process made before counts:
//  - at rest with a large library: the store and the monitor with every row
//    loaded, the spelling vocabulary counted and the search index folded, as
//    after the first search (rest_rss_mb);
//  - idle after an analysis run of generated screenshots with the real text
//    recognition, labels and embedding: once the run has ended and the
//    models are let go (idle_after_run_rss_mb), and its peak (run_peak_rss_mb).
//
// bench_footprint [library files] [screenshots analysed]   (defaults 100000 and 1000)

#include "core/DatabaseManager.h"
#include "core/LargeBlocks.h"
#include "core/MemoryMonitor.h"
#include "core/ProcMemorySource.h"
#include "core/Settings.h"
#include "generators/SampleLibrary.h"
#include "generators/TextGenerator.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ScreenshotMonitor.h"
#include "ingest/ServiceAnalyzer.h"
#include "library/GallerySearch.h"
#include "library/LibrarySpellChecker.h"
#include "library/SearchIndex.h"
#include "library/Vocabulary.h"
#include "platform/FolderChooser.h"
#include "platform/HunspellSpellChecker.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"
#include "support/OneFolderChooser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <random>

using namespace Qt::StringLiterals;

namespace {
const std::atomic<bool> kRunning{false};

// A folder of small screenshots whose rows hold what analysis stores: a
// paragraph of text, labels and a 100-d vector.
void prepareLibrary(const QString& home, const QString& folder, int files)
{
    SampleLibrary::Options options;
    options.folder = folder;
    options.count = files;
    options.small = true;
    options.recordingEvery = 0;
    options.heicEvery = 0;
    options.duplicateShare = 0;
    options.subfolders = 6;
    SampleLibrary::write(options);

    Settings settings(home + u"/settings.conf"_s);
    MemoryMonitor memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1));
    DatabaseManager store(home + u"/library.sqlite"_s);
    MonitorServices parts;
    ScreenshotMonitor importer(parts.with(settings, memory, store));
    importer.setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    importer.requestFolderAccess();
    waitFor([&] { return importer.isPolling(); }, 3600 * 1000);
    const QList<Screenshot> imported = importer.screenshots();
    importer.cancelProcessing();

    TextGenerator text(5);
    std::mt19937 random(9);
    std::uniform_real_distribution<double> component(-1.0, 1.0);
    QList<ProcessedFileResult> results;
    for (const Screenshot& screenshot : imported) {
        QList<double> embedding(100);
        for (double& value : embedding)
            value = component(random);
        results.append({screenshot.id, text.paragraph(300), {u"laptop"_s, u"document"_s}, embedding, {}});
        if (results.size() == 5000) {
            store.updateMetadataBatch(results);
            results.clear();
        }
    }
    store.updateMetadataBatch(results);
    std::printf("library of %lld files prepared\n", qlonglong(imported.size()));
}

int libraryAtRest(const QString& home, const QString& folder)
{
    Settings settings(home + u"/settings.conf"_s);
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(home + u"/library.sqlite"_s);
    MonitorServices parts;
    EmbeddingService embedding;
    ScreenshotMonitor monitor(parts.with(settings, memory, store));
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    monitor.requestFolderAccess();
    waitFor([&] { return monitor.isPolling() && !monitor.isProcessing(); }, 3600 * 1000);
    const QList<Screenshot> library = monitor.screenshots();

    // What the gallery and its search keep: the spelling vocabulary and the
    // folded index of the first search.
    auto spelling = std::make_shared<LibrarySpellChecker>(std::make_shared<HunspellSpellChecker>());
    spelling->setVocabulary(Vocabulary::build(library, kRunning));
    const GallerySearch search(
        spelling, [&embedding](const QString& text) { return embedding.generateEmbedding(text); },
        parts.workers.search().threads());
    SearchIndex::Cache cache;
    const qsizetype hits = search.search(u"invoice"_s, library, nullptr, cache, 1, kRunning).size();
    settle(3000);
    std::printf("at rest: %lld screenshots listed, %lld hits for a first search\n", qlonglong(library.size()),
                qlonglong(hits));
    std::printf("REST_RSS_MB=%.1f\n", residentMemoryMB());
    return 0;
}

int afterRun(const QString& home, int screenshots)
{
    const QString folder = home + u"/Analysed"_s;
    const SampleLibrary::Result samples =
        SampleLibrary::write(SampleLibrary::Options::screenshotsOnly(folder, screenshots, 17));
    Settings settings(home + u"/run-settings.conf"_s);
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(home + u"/run.sqlite"_s);
    MonitorServices parts;
    EmbeddingService embedding;
    auto analyzer = std::make_shared<ServiceAnalyzer>(embedding, parts.workers);
    ScreenshotMonitor monitor(parts.with(settings, memory, store, analyzer));
    QElapsedTimer clock;
    clock.start();
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    monitor.requestFolderAccess();
    waitFor([&] { return monitor.isPolling(); }, 3600 * 1000);
    waitFor([&] { return !monitor.isProcessing(); }, 3600 * 1000);
    std::printf("after run: %lld screenshots analysed in %.0f s\n", qlonglong(samples.entries.size()),
                double(clock.elapsed()) / 1000.0);
    const double peak = peakResidentMemoryMB();
    waitFor([&] { return analyzer->engineCount() == 0 && analyzer->networkCount() == 0; }, 60000);
    settle(3000);
    std::printf("RUN_PEAK_RSS_MB=%.1f\n", peak);
    std::printf("IDLE_RSS_MB=%.1f\n", residentMemoryMB());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    // As the application does.
    returnLargeBlocksToSystem();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == u"--at-rest"_s)
        return libraryAtRest(arguments[2], arguments[3]);
    if (arguments.size() == 4 && arguments[1] == u"--after-run"_s)
        return afterRun(arguments[2], arguments[3].toInt());

    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int analysed = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    QTemporaryDir home;
    const QString folder = home.filePath(u"Desktop"_s);
    prepareLibrary(home.path(), folder, files);
    const QString rest = fromChild({u"--at-rest"_s, home.path(), folder});
    const QString run = fromChild({u"--after-run"_s, home.path(), QString::number(analysed)});
    ResultLine(u"footprint"_s)
        .add(u"library_files"_s, files, 0)
        .add(u"rest_rss_mb"_s, figure(rest, u"REST_RSS_MB"_s), 1)
        .add(u"screenshots_analysed"_s, analysed, 0)
        .add(u"run_peak_rss_mb"_s, figure(run, u"RUN_PEAK_RSS_MB"_s), 1)
        .add(u"idle_after_run_rss_mb"_s, figure(run, u"IDLE_RSS_MB"_s), 1)
        .print();
    return 0;
}
