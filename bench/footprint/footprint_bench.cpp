// Resident memory of the application's long-lived parts, each measured in a
// process of its own (this program started again with a mode), so that
// nothing the measuring process made before counts:
//  - at rest with a large library: the store and the monitor with every row
//    loaded, the spelling vocabulary counted and the search index folded, as
//    after the first search (rest_rss_mb);
//  - idle after an analysis run of generated screenshots with the real text
//    recognition, labels and embedding: once the run has ended and the
//    models are let go (idle_after_run_rss_mb), and its peak (run_peak_rss_mb);
//  - idle after browsing, over a fresh start of the same application on the
//    same library (idle_after_browse_rss_over_fresh_mb): the dashboard on
//    1000 analysed screenshots of screen sizes and 20 large photographs
//    (12 MP, JPEG and HEIC), each photograph double-clicked (shown in place,
//    then in the full preview, closed), then 15 searches typed key by key,
//    each with its first hit shown in the in-place and the full preview;
//    then left alone for 20 s. Browsing fills the thumbnail cache, which
//    keeps 300 thumbnails for good: what its 300 entries hold
//    (thumbnail_cache_mb, from their average size) is the most the
//    figure may grow by.
//
// bench_footprint [library files] [screenshots analysed]   (defaults 100000 and 1000)
// bench_footprint browse                                     (the browsing figures alone)

#include "app/AppServices.h"
#include "app/MainAppView.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/ImageCache.h"
#include "core/LargeBlocks.h"
#include "core/MemoryMonitor.h"
#include "core/ProcMemorySource.h"
#include "core/Settings.h"
#include "gallery/DashboardPreviewView.h"
#include "gallery/GalleryHeader.h"
#include "gallery/GalleryView.h"
#include "generators/MediaGenerator.h"
#include "generators/SampleLibrary.h"
#include "generators/TextGenerator.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ScreenshotMonitor.h"
#include "ingest/SentenceEncoder.h"
#include "ingest/ServiceAnalyzer.h"
#include "library/GallerySearch.h"
#include "library/LibrarySpellChecker.h"
#include "library/SearchIndex.h"
#include "library/Vocabulary.h"
#include "platform/FolderChooser.h"
#include "platform/HunspellSpellChecker.h"
#include "preview/ImagePreviewView.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"
#include "support/OneFolderChooser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>

using namespace Qt::StringLiterals;

namespace {
const std::atomic<bool> kRunning{false};

// Where a library's settings and store are kept in the scratch home.
struct LibraryFiles
{
    QString settings;
    QString store;

    static LibraryFiles atRest(const QString& home)
    {
        return {home + u"/settings.conf"_s, home + u"/library.sqlite"_s};
    }
    static LibraryFiles browsed(const QString& home)
    {
        return {home + u"/browse-settings.conf"_s, home + u"/browse.sqlite"_s};
    }
};

// Tiny pictures: for a library of many files, not pixels.
SampleLibrary::Options smallScreenshots(const QString& folder, int count)
{
    SampleLibrary::Options options;
    options.folder = folder;
    options.count = count;
    options.small = true;
    options.recordingEvery = 0;
    options.heicEvery = 0;
    options.duplicateShare = 0;
    options.subfolders = 6;
    return options;
}

// A folder of screenshots whose rows hold what analysis stores: a
// paragraph of text, labels and a 100-d vector of the current model, so
// that a start analyses nothing again.
void prepareLibrary(const LibraryFiles& files, const SampleLibrary::Options& options,
                    const std::function<void()>& addToFolder = {})
{
    SampleLibrary::write(options);
    if (addToFolder)
        addToFolder();
    const QString& folder = options.folder;

    Settings settings(files.settings);
    MemoryMonitor memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1));
    DatabaseManager store(files.store);
    store.setEmbeddingModel(SentenceEncoder::modelVersion);
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
    const LibraryFiles files = LibraryFiles::atRest(home);
    Settings settings(files.settings);
    MemoryMonitor memory(std::make_unique<ProcMemorySource>());
    DatabaseManager store(files.store);
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

// Twenty large photographs (four drawings under five names each) beside the
// screenshots.
constexpr int kBrowsedPhotos = 20;
constexpr int kBrowsedScreenshots = 1000;
constexpr int kBrowseSearches = 15;
// Longer than anything the application waits before it gives memory back.
constexpr int kIdleMs = 20000;

void writeBrowsedPhotos(const QString& folder)
{
    const QString photos = folder + u"/Photos"_s;
    QDir().mkpath(photos);
    constexpr int drawings = 4;
    for (int drawing = 0; drawing < drawings; ++drawing) {
        const QImage image = MediaGenerator(quint32(31 + drawing)).photo(QSize(4000, 3000));
        // Half of them as a phone saves them.
        const bool heic = drawing % 2 == 1;
        for (int copy = drawing; copy < kBrowsedPhotos; copy += drawings) {
            const QString name = photos + u"/IMG_%1"_s.arg(7000 + copy);
            if (heic)
                MediaGenerator::writeHeic(name + u".heic"_s, image);
            else
                image.save(name + u".jpg"_s, "JPEG", 90);
        }
    }
}

// Queries as people type them: words the library holds, pairs of them, and
// a few misspelt, so the spelling and the related words take part.
QStringList browseQueries()
{
    TextGenerator text(5);
    QStringList queries;
    while (queries.size() < kBrowseSearches) {
        QString query = text.word();
        if (query.size() < 4)
            continue;
        if (queries.size() % 3 == 1)
            query += u' ' + text.word();
        else if (queries.size() % 5 == 2)
            query.remove(query.size() / 2, 1);
        queries.append(query);
    }
    return queries;
}

GalleryView& galleryOf(MainAppView& view)
{
    auto* gallery = view.findChild<GalleryView*>();
    if (!gallery) {
        std::fprintf(stderr, "footprint bench: no gallery on the dashboard\n");
        std::exit(1);
    }
    return *gallery;
}

// What a person does reaches the application as an event from its loop,
// as a click or a key would: what the action lets go later (a closed
// preview) is then let go once it has returned.
void act(std::function<void()> action)
{
    QTimer::singleShot(0, qApp, std::move(action));
    settle(50);
}

// The full preview opened on `screenshot`, shown until its picture is
// there, then closed and gone.
void viewInFullPreview(GalleryView& gallery, const Screenshot& screenshot)
{
    act([&] { gallery.handleDoubleTap(screenshot); });
    waitFor([&] { return gallery.fullPreview() && !gallery.fullPreview()->image().isNull(); }, 60000);
    settle(300);
    QPointer<ImagePreviewView> preview = gallery.fullPreview();
    act([&] { gallery.setShowingPreview(false); });
    waitFor([&] { return preview.isNull(); }, 10000);
}

// Typed key by key, as fast as a person types; returns once the search of
// the whole text has answered.
void typeSearch(GalleryView& gallery, const QString& text)
{
    QLineEdit& field = *gallery.header().searchField();
    GalleryViewModel& model = gallery.viewModel();
    act([&] { field.setFocus(); });
    // A new text drops the search of the one before, whose sections never come.
    int answered = 0;
    const QMetaObject::Connection typed =
        QObject::connect(&model, &GalleryViewModel::searchTextChanged, [&answered] { answered = 0; });
    const QMetaObject::Connection counted =
        QObject::connect(&model, &GalleryViewModel::sectionsChanged, [&answered] { ++answered; });
    for (const QChar character : text) {
        settle(90);
        QCoreApplication::postEvent(&field, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(character)));
    }
    waitFor([&] { return model.searchText() == text && answered > 0; }, 60000);
    QObject::disconnect(typed);
    QObject::disconnect(counted);
}

// Each query typed, its results awaited, its first hit shown in the
// in-place and the full preview; the search cleared after each.
void searchWithPreviews(GalleryView& gallery)
{
    for (const QString& query : browseQueries()) {
        typeSearch(gallery, query);
        const QList<Screenshot> hits = gallery.viewModel().visibleScreenshots();
        std::printf("search \"%s\": %lld hits\n", qPrintable(query), qlonglong(hits.size()));
        if (!hits.isEmpty()) {
            act([&] { gallery.handleSingleTap(hits.first()); });
            waitFor([&] { return gallery.inPlacePreview() && !gallery.inPlacePreview()->image().isNull(); }, 60000);
            viewInFullPreview(gallery, hits.first());
        }
        act([&] { Q_EMIT gallery.header().clearSearchClicked(); });
        settle(300);
    }
}

// The dashboard on the browsed library, as a start shows it; with
// `browsing`, each photograph in the full preview and the searches follow.
// Then the application is left alone, and its memory read.
int browsedApplication(const QString& home, const QString& folder, bool browsing)
{
    const LibraryFiles files = LibraryFiles::browsed(home);
    AppServices services(
        {.settingsPath = files.settings, .databasePath = files.store, .dataFolder = home + u"/browse-data"_s});
    services.monitor().setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    services.monitor().requestFolderAccess();
    waitFor([&] { return services.monitor().isPolling() && !services.monitor().isProcessing(); }, 600000);
    MainAppView view(services);
    view.resize(1200, 800);
    view.show();
    GalleryView& gallery = galleryOf(view);
    settle(3000);
    if (browsing) {
        QList<Screenshot> photos = services.monitor().screenshots();
        photos.removeIf([](const Screenshot& shot) { return !shot.filename.startsWith(u"IMG_"_s); });
        // A double click: its first click shows the photograph in place.
        for (const Screenshot& photo : photos) {
            act([&] { gallery.handleSingleTap(photo); });
            viewInFullPreview(gallery, photo);
        }
        if (DashboardPreviewView* inPlace = gallery.inPlacePreview())
            act([inPlace] { inPlace->closeButton()->click(); });
        settle(3000);
        std::printf("%lld photographs viewed: %s\n", qlonglong(photos.size()), qPrintable(residentMemoryBreakdown()));
        searchWithPreviews(gallery);
    }
    settle(kIdleMs);
    const double residentMB = residentMemoryMB();
    std::printf("%s: %s\n", browsing ? "after browsing" : "fresh", qPrintable(residentMemoryBreakdown()));
    std::printf("RSS_MB=%.1f\n", residentMB);
    // Read last: each look-up makes the entry the most recent.
    const ImageCache& thumbnails = services.imageCache();
    qint64 thumbnailBytes = 0;
    for (const Screenshot& screenshot : services.monitor().screenshots())
        thumbnailBytes += thumbnails.image(screenshot.id).value_or(QImage()).sizeInBytes();
    // What its entries hold once there are as many as it keeps.
    const double fullCacheMB =
        double(thumbnailBytes) / 1048576.0 * ImageCache::countLimit / std::max(1, thumbnails.count());
    std::printf("%d thumbnails cached, %.1f MB\nTHUMBNAIL_CACHE_MB=%.1f\n", thumbnails.count(),
                double(thumbnailBytes) / 1048576.0, fullCacheMB);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    // As the application does.
    returnLargeBlocksToSystem();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The application's own files go to a scratch home, never the user's;
    // the measuring children inherit it.
    std::optional<QTemporaryDir> scratch;
    if (argc < 2 || qstrncmp(argv[1], "--", 2) != 0) {
        scratch.emplace();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            qputenv(name, scratch->path().toUtf8());
    }
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == u"--at-rest"_s)
        return libraryAtRest(arguments[2], arguments[3]);
    if (arguments.size() == 4 && arguments[1] == u"--after-run"_s)
        return afterRun(arguments[2], arguments[3].toInt());
    if (arguments.size() == 4 && (arguments[1] == u"--fresh"_s || arguments[1] == u"--browsed"_s)) {
        Console::setSink([](const QString&) {});
        return browsedApplication(arguments[2], arguments[3], arguments[1] == u"--browsed"_s);
    }

    const bool browseOnly = arguments.size() == 2 && arguments[1] == u"browse"_s;
    const int files = argc > 1 && !browseOnly ? std::max(1, std::atoi(argv[1])) : 100000;
    const int analysed = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    QTemporaryDir home;
    const QString browsedFolder = home.filePath(u"Browsed"_s);
    prepareLibrary(LibraryFiles::browsed(home.path()),
                   SampleLibrary::Options::screenshotsOnly(browsedFolder, kBrowsedScreenshots, 23),
                   [&] { writeBrowsedPhotos(browsedFolder); });
    const QString fresh = fromChild({u"--fresh"_s, home.path(), browsedFolder});
    const QString browsed = fromChild({u"--browsed"_s, home.path(), browsedFolder});
    ResultLine result(u"footprint"_s);
    if (!browseOnly) {
        const QString folder = home.filePath(u"Desktop"_s);
        prepareLibrary(LibraryFiles::atRest(home.path()), smallScreenshots(folder, files));
        const QString rest = fromChild({u"--at-rest"_s, home.path(), folder});
        const QString run = fromChild({u"--after-run"_s, home.path(), QString::number(analysed)});
        result.add(u"library_files"_s, files, 0)
            .add(u"rest_rss_mb"_s, figure(rest, u"REST_RSS_MB"_s), 1)
            .add(u"screenshots_analysed"_s, analysed, 0)
            .add(u"run_peak_rss_mb"_s, figure(run, u"RUN_PEAK_RSS_MB"_s), 1)
            .add(u"idle_after_run_rss_mb"_s, figure(run, u"IDLE_RSS_MB"_s), 1);
    }
    result.add(u"idle_after_browse_rss_over_fresh_mb"_s, figure(browsed, u"RSS_MB"_s) - figure(fresh, u"RSS_MB"_s), 1)
        .add(u"thumbnail_cache_mb"_s, figure(browsed, u"THUMBNAIL_CACHE_MB"_s), 1)
        .print();
    return 0;
}
