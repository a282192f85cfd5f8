// The re-organizer at library scale: a run and its undo over 10,000 real
// files in a scratch folder (moves, store rows and the undo file), and the
// plan of a 100k-row store whose files all exist.
//
// Usage: bench_organizer [files] [rows]   (defaults 10000 and 100000)

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "organize/OrganizeService.h"
#include "platform/FileOps.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
// A folder of `count` small files over two years, each with its row.
QString makeLibrary(const QTemporaryDir& dir, DatabaseManager& store, int count)
{
    const QString base = dir.filePath(u"Shots"_s);
    QDir().mkpath(base);
    QList<Screenshot> rows;
    rows.reserve(count);
    const QDateTime newest(QDate(2025, 12, 31), QTime(12, 0));
    for (int i = 0; i < count; ++i) {
        const QString path = base + u"/Screenshot %1.png"_s.arg(i);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write("x");
        file.close();
        Screenshot row(path, QUuid::createUuid());
        row.dateCreated = newest.addSecs(-qint64(i) * 6300); // two years over 10k files
        rows.append(row);
    }
    store.upsertMany(rows);
    return base;
}

struct Figures
{
    double runMsPerFile = 0;
    double undoMsPerFile = 0;
    double planMs = 0;
    qint64 planned = 0;
};

Figures measure(int files, int rows)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1));
    DatabaseManager monitorStore(dir.filePath(u"data/monitor.sqlite"_s));
    MonitorServices parts;
    ScreenshotMonitor monitor(parts.with(settings, memory, monitorStore));
    SystemFileOps fileOps;
    Figures figures;
    {
        DatabaseManager store(dir.filePath(u"data/run.sqlite"_s));
        OrganizeService service(store, monitor, fileOps, dir.filePath(u"data"_s));
        const QString base = makeLibrary(dir, store, files);
        const auto plan = service.analyze({QUrl::fromLocalFile(base), true, true, false});
        QElapsedTimer clock;
        clock.start();
        const auto result = service.organize(plan, [](int, int) {});
        figures.runMsPerFile = double(clock.nsecsElapsed()) / 1e6 / files;
        if (!result.success || !result.undoData)
            qFatal("the run failed");
        clock.restart();
        if (!service.undo(*result.undoData))
            qFatal("the undo failed");
        figures.undoMsPerFile = double(clock.nsecsElapsed()) / 1e6 / files;
    }
    {
        QTemporaryDir planDir;
        DatabaseManager store(planDir.filePath(u"plan.sqlite"_s));
        OrganizeService service(store, monitor, fileOps, planDir.path());
        const QString base = makeLibrary(planDir, store, rows);
        QElapsedTimer clock;
        clock.start();
        const auto plan = service.analyze({QUrl::fromLocalFile(base), true, true, true});
        figures.planMs = double(clock.nsecsElapsed()) / 1e6;
        figures.planned = plan.totalFiles;
    }
    return figures;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10'000;
    const int rows = argc > 2 ? std::atoi(argv[2]) : 100'000;
    // Per-file console lines would measure the terminal.
    Console::setSink([](const QString&) {});
    const Figures figures = measure(files, rows);
    Console::setSink({});
    std::printf("organizer: %d files run %.3f ms/file, undo %.3f ms/file; plan of %d rows (%lld planned) %.0f ms\n",
                files, figures.runMsPerFile, figures.undoMsPerFile, rows, figures.planned, figures.planMs);
    ResultLine(u"organizer"_s)
        .add(u"run_ms_per_file"_s, figures.runMsPerFile, 3)
        .add(u"undo_ms_per_file"_s, figures.undoMsPerFile, 3)
        .add(u"plan_100k_ms"_s, figures.planMs, 0)
        .print();
    return 0;
}
