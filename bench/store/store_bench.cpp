// The store at library scale: 100k rows with 1 KB of text and a 100-d
// embedding each. Measures what a library load does (count and first page,
// then every page), the cost per decoded row, single upserts against the
// chunked first-import path, and the sqlite3 command-line tool dumping the
// same table as the peer for reading it all.
//
// Usage: bench_store [rows]   (default 100000)

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "generators/TextGenerator.h"
#include "support/BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>

using namespace Qt::StringLiterals;

namespace {
const QString folder = u"/home/user/Desktop"_s;

struct Library
{
    QList<Screenshot> records;
    QList<ProcessedFileResult> results;
};

Library generate(int rows)
{
    TextGenerator text(42);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> component(-1.0, 1.0);
    Library library;
    library.records.reserve(rows);
    library.results.reserve(rows);
    const double newest = 1'700'000'000.0;
    for (int i = 0; i < rows; ++i) {
        Screenshot s;
        s.id = QUuid::createUuid();
        s.filePath = text.screenshotPath(folder, i % 3);
        s.filename = s.filePath.section(u'/', -1);
        s.dateCreated = QDateTime::fromMSecsSinceEpoch(qint64((newest - i * 37.0) * 1000));
        s.fileSize = 200'000 + i;
        s.sourceApp = i % 2 ? std::optional<QString>(u"Firefox"_s) : std::nullopt;
        library.records.append(s);

        QList<double> embedding(100);
        for (double& value : embedding)
            value = component(random);
        library.results.append({s.id,
                                text.paragraph(1000),
                                {u"text"_s, u"document"_s, u"screen"_s},
                                embedding,
                                {QUrl(u"https://example.com/item/%1"_s.arg(i))}});
    }
    return library;
}

double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// What the library load does: count and the first 2000 rows in one
// submission, then pages of 1000 until a short page.
struct LoadFigures
{
    double firstPageMs = 0;
    double allPagesMs = 0;
    qsizetype rows = 0;
};

LoadFigures loadLibrary(DatabaseManager& db)
{
    LoadFigures figures;
    QElapsedTimer clock;
    clock.start();
    QList<Screenshot> first;
    db.dbQueue().sync([&] {
        db.count(folder);
        LogTimer timer(u"db_query_screenshots"_s);
        first = db.fetchPage(folder, 2000, 0, true, timer);
    });
    figures.firstPageMs = elapsedMs(clock);
    figures.rows = first.size();
    for (qsizetype offset = first.size(), got = first.size(); got > 0; offset += got) {
        QList<Screenshot> page = db.dbQueue().sync([&] {
            LogTimer timer(u"db_query_screenshots"_s);
            return db.fetchPage(folder, 1000, int(offset), true, timer);
        });
        got = page.size();
        figures.rows += got;
    }
    figures.allPagesMs = elapsedMs(clock);
    return figures;
}

double timeSqlite3(const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(u"sqlite3"_s, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 failed: %s\n", qPrintable(process.readAllStandardError()));
        return -1;
    }
    return elapsedMs(clock);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100'000;
    QTemporaryDir dir;

    std::printf("Generating %d rows...\n", rows);
    const Library library = generate(rows);

    double upsertMs = 0;
    {
        DatabaseManager db(dir.filePath(u"single.sqlite"_s));
        QElapsedTimer clock;
        clock.start();
        for (const Screenshot& s : library.records.mid(0, 10))
            db.upsert(s);
        upsertMs = elapsedMs(clock);
    }

    const QString path = dir.filePath(u"Brindlework.sqlite"_s);
    double upsertManyMs = 0;
    double metadataMs = 0;
    {
        DatabaseManager db(path);
        QElapsedTimer clock;
        clock.start();
        db.upsertMany(library.records);
        upsertManyMs = elapsedMs(clock);
        clock.restart();
        for (qsizetype i = 0; i < library.results.size(); i += 5000)
            db.updateMetadataBatch(library.results.mid(i, 5000));
        metadataMs = elapsedMs(clock);
    }

    // A normal start: schema checks, then the library load while the quiet
    // link backfill pages through every row on the same queue.
    QElapsedTimer startClock;
    startClock.start();
    DatabaseManager db(path);
    const double openMs = elapsedMs(startClock);
    const LoadFigures startLoad = loadLibrary(db);
    const double startToLoadedMs = elapsedMs(startClock);

    // The figures below are read with the store to itself: a loud rescan
    // queued behind the quiet one ends after it.
    QElapsedTimer backfillClock;
    backfillClock.start();
    {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        Console::setSink([&](const QString& line) {
            if (!line.startsWith(u"📉 Scanned"_s))
                return;
            std::lock_guard lock(mutex);
            done = true;
            ended.notify_all();
        });
        db.rescanForLinks(false);
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return done; });
    }
    Console::setSink({});
    const double backfillMs = elapsedMs(backfillClock);
    const LoadFigures load = loadLibrary(db);

    const double dumpMs = timeSqlite3({path, u".dump screenshot"_s});
    const double selectMs =
        timeSqlite3({path, u"SELECT id, filename, filepath, date_created, size_bytes, ocr_text, embedding_json, tags, "
                           "source_app, detected_urls, custom_tags, user_notes FROM screenshot "
                           "ORDER BY date_created DESC;"_s});

    const double usPerRow = load.rows ? load.allPagesMs * 1000.0 / double(load.rows) : 0;
    std::printf("\nrows read: %lld\n", static_cast<long long>(load.rows));
    std::printf("open + schema checks:          %10.1f ms\n", openMs);
    std::printf("count + first page (2000):     %10.1f ms\n", load.firstPageMs);
    std::printf("all pages (2000, then 1000s):  %10.1f ms  (%.2f us per decoded row)\n", load.allPagesMs, usPerRow);
    std::printf("upsert x%d:                %10.1f ms\n", rows, upsertMs);
    std::printf("upsertMany x%d:            %10.1f ms\n", rows, upsertManyMs);
    std::printf("metadata batches of 5000:      %10.1f ms\n", metadataMs);
    std::printf("sqlite3 .dump screenshot:      %10.1f ms\n", dumpMs);
    std::printf("sqlite3 SELECT ... ORDER BY:   %10.1f ms\n", selectMs);
    std::printf("start to library loaded, with the start's backfill running alongside: %.1f ms (%lld rows)\n",
                startToLoadedMs, static_cast<long long>(startLoad.rows));
    std::printf("loud link rescan of every row: %10.1f ms\n", backfillMs);
    std::fflush(stdout);

    ResultLine(u"store"_s)
        .add(u"first_page_ms"_s, load.firstPageMs, 1)
        .add(u"all_pages_ms"_s, load.allPagesMs, 1)
        .add(u"us_per_row"_s, usPerRow, 2)
        .add(u"upsert_ms"_s, upsertMs, 1)
        .add(u"upsertmany_ms"_s, upsertManyMs, 1)
        .add(u"ratio_vs_sqlite3"_s, dumpMs > 0 ? load.allPagesMs / dumpMs : 0, 2)
        .print();
    return 0;
}
