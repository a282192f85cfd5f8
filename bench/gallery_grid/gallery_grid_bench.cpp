// The gallery grid over 100k screenshots in 2k day sections:
// - layout: the grid's whole reaction to a new list of sections;
// - paint: one 1920x1080 viewport at 200 scripted scroll positions a third
//   of a viewport apart, three frames at each, every thumbnail in view
//   already in the cache (cards new to the viewport still make their
//   picture, at most eight per frame);
// - cold fill: from an empty cache until every card of a 1920x1080 viewport
//   of 2880x1800 PNGs shows its picture, against vipsthumbnail making the
//   same 600-px thumbnails of the same files with as many threads;
// - resident memory after scrolling through the whole library.
#include "core/DatabaseManager.h"
#include "core/ImageCache.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "gallery/GalleryGridView.h"
#include "generators/MediaGenerator.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "support/BenchSupport.h"
#include "support/GalleryServices.h"
#include "support/MonitorTestAccess.h"
#include "ui/ThumbnailLoader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {
constexpr int kSections = 2000;
constexpr int kPerSection = 50;
constexpr int kScrollPositions = 200;
constexpr QSize kViewport(1920, 1080);

QList<GalleryViewModel::GallerySection> makeSections(const QStringList& files = {})
{
    QList<GalleryViewModel::GallerySection> sections;
    int n = 0;
    const QDateTime start(QDate(2024, 3, 15), QTime(12, 0));
    for (int s = 0; s < kSections; ++s) {
        GalleryViewModel::GallerySection section;
        section.title = start.date().addDays(-s).toString(u"MMMM d, yyyy"_s);
        for (int i = 0; i < kPerSection; ++i, ++n) {
            Screenshot shot;
            shot.id = QUuid::createUuid();
            shot.filePath = files.isEmpty() ? u"/bench/Screenshot %1.png"_s.arg(n) : files[n % files.size()];
            shot.filename = QFileInfo(shot.filePath).fileName();
            shot.dateCreated = start.addDays(-s).addSecs(-i * 60);
            if (n % 17 != 0)
                shot.ocrText = QString();
            section.screenshots.append(shot);
        }
        sections.append(section);
    }
    return sections;
}

QImage fakeThumbnail()
{
    QImage image(600, 375, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 140));
    return image;
}

// CPU time of the calling thread in ms: on a shared machine, wall time also
// counts the time other programs held the core.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min<qsizetype>(values.size() - 1, qsizetype(p * values.size()))];
}

void drain(GalleryGridView& grid)
{
    while (!grid.thumbnailLoader().isIdle())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Services
{
    QTemporaryDir dir;
    Settings settings{dir.filePath(u"settings.conf"_s)};
    MemoryMonitor memory{std::make_unique<PlentyOfMemory>(), std::chrono::hours(1)};
    DatabaseManager store{dir.filePath(u"store.sqlite"_s)};
    GalleryServices parts;
    ScreenshotMonitor monitor{parts.with(settings, memory, store)};
    GalleryViewModel model{parts.over(monitor, store, settings)};
    ImageCache cache;
};

double layoutMs(Services& services, GalleryGridView& grid)
{
    const auto sections = makeSections();
    QList<double> times;
    for (int round = 0; round < 15; ++round) {
        auto copy = sections; // a rebuild hands the grid a new list
        copy.detach();
        QElapsedTimer timer;
        timer.start();
        services.model.setSections(std::move(copy));
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("layout rebuild: median %.2f ms over %d rounds (%d sections, %d cards)\n", percentile(times, 0.5),
                int(times.size()), kSections, kSections * kPerSection);
    (void)grid;
    return percentile(times, 0.5);
}

// Scrolls a third of a viewport at a time; before each frame the cache
// holds the thumbnail of every card in view.
double paintP95Ms(Services& services, GalleryGridView& grid)
{
    grid.thumbnailLoader().setGenerator([](const Screenshot&, QSizeF) { return fakeThumbnail(); });
    const QImage thumbnail = fakeThumbnail();
    QImage frame(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QList<double> times, cpu;
    const double step = kViewport.height() / 3.0;
    for (int position = 0; position < kScrollPositions; ++position) {
        grid.setScrollOffset(position * step);
        const auto& layout = grid.gridLayout();
        for (const auto& span : layout.visibleItems(grid.scrollOffset(), grid.viewport()->height()))
            for (int item = span.firstItem; item < span.endItem; ++item)
                services.cache.insert(services.model.sections()[span.section].screenshots[item].id, thumbnail);
        // The frame at the new position and the two after it, which make
        // the pictures that one frame left for later.
        for (int frameNumber = 0; frameNumber < 3; ++frameNumber) {
            QElapsedTimer timer;
            timer.start();
            const double cpuStart = threadCpuMs();
            grid.viewport()->render(&frame);
            cpu.append(threadCpuMs() - cpuStart);
            times.append(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("viewport paint, thread CPU time: p50 %.2f ms, p95 %.2f ms\n", percentile(cpu, 0.5),
                percentile(cpu, 0.95));
    std::printf("viewport paint, warm cache: p50 %.2f ms, p95 %.2f ms, max %.2f ms\n", percentile(times, 0.5),
                percentile(times, 0.95), percentile(times, 1.0));
    return percentile(times, 0.95);
}

double rssAfterFullScroll(Services& services, GalleryGridView& grid)
{
    std::printf("resident memory before scrolling: %.0f MB\n", residentMemoryMB());
    grid.thumbnailLoader().setGenerator([](const Screenshot&, QSizeF) { return fakeThumbnail(); });
    QImage frame(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const int bottom = grid.verticalScrollBar()->maximum();
    for (int offset = 0; offset <= bottom; offset += kViewport.height()) {
        grid.setScrollOffset(offset);
        grid.viewport()->render(&frame);
        drain(grid);
    }
    const double rss = residentMemoryMB();
    std::printf("resident memory after scrolling all %d cards: %.0f MB, of which the shared cache's %d thumbnails "
                "are %.0f MB\n",
                kSections * kPerSection, rss, services.cache.count(),
                services.cache.count() * double(fakeThumbnail().sizeInBytes()) / (1024 * 1024));
    return rss;
}

QStringList writePngs(const QDir& folder, int count)
{
    QStringList files;
    for (int i = 0; i < count; ++i)
        files.append(folder.filePath(u"shot-%1.png"_s.arg(i, 3, 10, QChar(u'0'))));
    QThreadPool pool;
    QtConcurrent::blockingMap(&pool, files, [&files](const QString& file) {
        MediaGenerator generator(quint32(files.indexOf(file)) * 104729u + 3);
        if (!generator.screenshot(QSize(2880, 1800)).save(file, "PNG"))
            qFatal("cannot write %s", qPrintable(file));
    });
    return files;
}

// vipsthumbnail over the same files, split over `threads` processes of one
// vips thread each, as our loader runs one file per thread.
double vipsMs(const QStringList& files, int threads, const QDir& out)
{
    QList<QStringList> shares(threads);
    for (int i = 0; i < files.size(); ++i)
        shares[i % threads].append(files[i]);
    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList& share : shares) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VIPS_CONCURRENCY"_s, u"1"_s);
        process->setProcessEnvironment(environment);
        process->start(u"vipsthumbnail"_s,
                       QStringList{u"--size"_s, u"600x600"_s, u"-o"_s, out.filePath(u"tn_%s.jpg"_s)} + share);
        processes.push_back(std::move(process));
    }
    for (auto& process : processes) {
        if (!process->waitForFinished(600000) || process->exitCode() != 0)
            qFatal("vipsthumbnail failed: %s", process->readAllStandardError().constData());
    }
    return timer.nsecsElapsed() / 1e6;
}

struct Fill
{
    double oursMs = 0;
    double vipsMs = 0;
    int cards = 0;
};

Fill coldFill(Services& services, GalleryGridView& grid, const QDir& scratch)
{
    Fill fill;
    const int threads = services.parts.workers.thumbnails().maxThreadCount();
    grid.setScrollOffset(0);
    const auto& layout = grid.gridLayout();
    for (const auto& span : layout.visibleItems(0, grid.viewport()->height()))
        fill.cards += span.endItem - span.firstItem;
    const QStringList files = writePngs(scratch, fill.cards);
    const QDir out(scratch.filePath(u"vips"_s));
    QDir().mkpath(out.path());
    vipsMs(files, threads, out); // warms the page cache and the program

    QList<double> ours, vips;
    for (int round = 0; round < 3; ++round) {
        vips.append(vipsMs(files, threads, out));
        ImageCache cold;
        GalleryGridView fresh(services.model, cold);
        fresh.thumbnailLoader().setMaxRunning(threads);
        fresh.resize(kViewport);
        services.model.setSections(makeSections(files));
        QElapsedTimer timer;
        timer.start();
        QImage frame(fresh.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        fresh.viewport()->render(&frame);
        drain(fresh);
        fresh.viewport()->render(&frame);
        ours.append(timer.nsecsElapsed() / 1e6);
        if (cold.count() < fill.cards)
            qFatal("only %d of %d thumbnails were made", cold.count(), fill.cards);
    }
    fill.oursMs = percentile(ours, 0.5);
    fill.vipsMs = percentile(vips, 0.5);
    std::printf("cold fill of %d cards (2880x1800 PNG), %d threads: ours %.0f ms, vipsthumbnail %.0f ms\n", fill.cards,
                threads, fill.oursMs, fill.vipsMs);
    return fill;
}
} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (QStandardPaths::findExecutable(u"vipsthumbnail"_s).isEmpty()) {
        std::fprintf(stderr, "vipsthumbnail is missing (scripts/setup installs libvips-tools)\n");
        return 1;
    }
    Services services;
    // The view model's first (empty) rebuild lands on a later turn.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    GalleryGridView grid(services.model, services.cache);
    grid.resize(kViewport);
    grid.show();

    const double layout = layoutMs(services, grid);
    const double paint = paintP95Ms(services, grid);
    const double rss = rssAfterFullScroll(services, grid);
    QTemporaryDir scratch;
    const Fill fill = coldFill(services, grid, QDir(scratch.path()));

    ResultLine(u"gallery_grid"_s)
        .add(u"layout_ms"_s, layout)
        .add(u"paint_p95_ms"_s, paint)
        .add(u"fill_ratio_vs_vips"_s, fill.oursMs / fill.vipsMs)
        .add(u"rss_mb"_s, rss, 0)
        .print();
    return 0;
}
