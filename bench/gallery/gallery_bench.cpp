// Every publish of the monitor reaches each gallery on the GUI thread, which
// merges the user's pending edits and rebuilds the day sections. Over a large
// library that must fit in a frame: one title per day, never one per file.

#include "core/Clock.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "core/Workers.h"
#include "library/GalleryViewModel.h"
#include "platform/SpellChecker.h"
#include "platform/Trash.h"
#include "support/BenchSupport.h"
#include "support/FakeLibrary.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <random>

using namespace Qt::StringLiterals;

namespace {
constexpr int kScreenshots = 100'000;
constexpr int kDays = 1000;
constexpr int kLocalEdits = 20;
constexpr int kPublishes = 30;

// 100k files spread over the last 1000 days, newest first as the monitor
// publishes them; a tenth carry tags, all carry some recognised text.
QList<Screenshot> makeLibrary()
{
    std::mt19937 random(11);
    const qint64 nowSecs = Clock::now().toSecsSinceEpoch();
    std::vector<qint64> ages(kScreenshots);
    std::uniform_int_distribution<qint64> age(0, qint64(kDays) * 86400 - 1);
    for (qint64& value : ages)
        value = age(random);
    std::sort(ages.begin(), ages.end());

    QList<Screenshot> library;
    library.reserve(kScreenshots);
    for (int i = 0; i < kScreenshots; ++i) {
        Screenshot s;
        s.id = QUuid::createUuid();
        s.filename = u"Screenshot %1.png"_s.arg(i);
        s.filePath = u"/home/user/Desktop/"_s + s.filename;
        s.dateCreated = QDateTime::fromSecsSinceEpoch(nowSecs - ages[i]);
        s.fileSize = 200'000 + i;
        s.ocrText = u"Invoice %1 due on the first of the month, total %2 EUR"_s.arg(i).arg(i % 977);
        s.tags = {u"text"_s, u"document"_s};
        if (i % 10 == 0)
            s.customTags = {u"work"_s};
        library.append(s);
    }
    return library;
}

const QList<Screenshot>& library()
{
    static const QList<Screenshot> screenshots = makeLibrary();
    return screenshots;
}

qsizetype g_sectionCount = 0;

void BM_DaySections(benchmark::State& state)
{
    const QDate today = Clock::now().date();
    for (auto _ : state) {
        const auto sections = GalleryViewModel::groupByDay(library(), today);
        g_sectionCount = sections.size();
        benchmark::DoNotOptimize(sections.constData());
    }
    state.SetItemsProcessed(state.iterations() * library().size());
}
BENCHMARK(BM_DaySections)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

struct PublishFigures
{
    double medianMs = 0; // publish to new sections
    // The longest turn of the event loop the gallery took per publish: the
    // median over the publishes and the worst one (a loaded machine may
    // preempt the GUI thread in the middle of any turn).
    double guiTurnMedianMs = 0;
    double guiTurnMaxMs = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// From the monitor's publish to the gallery's new sections: the queued hop,
// the merge (with local edits the monitor has not published back, the worst
// case: every file is looked at and the list copied), the rebuild on a worker
// and its result coming back. The publish itself (the monitor's own work) is
// not part of the gallery's turns.
PublishFigures publishToSections()
{
    QTemporaryDir dir;
    Workers workers;
    Settings settings(dir.filePath(u"settings.conf"_s));
    DatabaseManager store(dir.filePath(u"store.sqlite"_s));
    SystemTrash trash;
    FakeLibrary monitor;
    const auto search = std::make_shared<GallerySearch>(std::make_shared<NullSpellChecker>(),
                                                        GallerySearch::EmbeddingProvider(), workers.search().threads());
    GalleryViewModel model(GalleryViewModel::Services{monitor, store, trash, settings, workers, search});
    bool updated = false;
    QObject::connect(&model, &GalleryViewModel::sectionsChanged, [&updated] { updated = true; });

    double longestTurnMs = 0;
    const auto publishAndWait = [&](const QList<Screenshot>& list) {
        updated = false;
        longestTurnMs = 0;
        QElapsedTimer timer;
        timer.start();
        monitor.setScreenshots(list);
        while (!updated) {
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            longestTurnMs = std::max(longestTurnMs, double(turn.nsecsElapsed()) / 1e6);
        }
        return double(timer.nsecsElapsed()) / 1e6;
    };

    publishAndWait(library());
    for (int i = 0; i < kLocalEdits; ++i) {
        Screenshot edited = library().at(i * (kScreenshots / kLocalEdits));
        edited.customTags = {u"edited"_s};
        updated = false;
        model.updateScreenshot(edited);
    }
    while (!updated)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::vector<double> times;
    std::vector<double> turns;
    for (int i = 0; i < kPublishes; ++i) {
        QList<Screenshot> list = library();
        list.detach(); // a new list each time, as the monitor publishes
        times.push_back(publishAndWait(list));
        turns.push_back(longestTurnMs);
    }
    return {median(times), median(turns), *std::max_element(turns.begin(), turns.end())};
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    library();                               // generated before timing starts
    Console::setSink([](const QString&) {}); // the model's console lines
    const auto timesNs = runRegisteredBenchmarks(argc, argv);
    const PublishFigures publish = publishToSections();
    Console::setSink({});

    double sectionsMs = 0;
    for (const auto& [name, ns] : timesNs) {
        if (name.starts_with("BM_DaySections"))
            sectionsMs = ns / 1e6;
    }
    ResultLine(u"gallery"_s)
        .add(u"sections_ms"_s, sectionsMs)
        .add(u"publish_to_sections_ms"_s, publish.medianMs)
        .add(u"gui_turn_p50_ms"_s, publish.guiTurnMedianMs)
        .add(u"gui_turn_max_ms"_s, publish.guiTurnMaxMs)
        .add(u"sections"_s, double(g_sectionCount), 0)
        .add(u"screenshots"_s, kScreenshots, 0)
        .print();
    return 0;
}
