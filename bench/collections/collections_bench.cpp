// The main view rebuilds every smart collection whenever the monitor publishes
// a new list, so one build over a large library must stay well below a frame
// budget's worth of waiting: recent days, videos, domains, folders and tags.

#include "core/Clock.h"
#include "library/CollectionService.h"
#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QSet>

#include <algorithm>
#include <random>

using namespace Qt::StringLiterals;

namespace {
constexpr int kScreenshots = 100'000;
constexpr int kHosts = 500;
constexpr int kFolders = 50;
constexpr int kTags = 40;
const QString kDesktop = u"/home/user/Desktop"_s;

// 100k files over the last year: a third at the top level, the rest in 50
// folders (some nested); 30 % link to 1–3 of 500 hosts written in mixed case
// and with or without "www."; 10 % carry user tags; 5 % are recordings.
QList<Screenshot> makeLibrary()
{
    std::mt19937 random(13);
    auto chance = [&random](double p) { return std::bernoulli_distribution(p)(random); };
    auto pick = [&random](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };

    const qint64 nowSecs = Clock::now().toSecsSinceEpoch();
    QList<Screenshot> library;
    library.reserve(kScreenshots);
    for (int i = 0; i < kScreenshots; ++i) {
        Screenshot s;
        s.id = QUuid::createUuid();
        const int folder = pick(kFolders);
        const QString dir = chance(1.0 / 3) ? kDesktop
                                            : kDesktop + u"/Project %1"_s.arg(folder / 5) +
                                                  (folder % 5 ? u"/Part %1"_s.arg(folder % 5) : QString());
        s.filename = u"Screenshot %1.%2"_s.arg(i).arg(chance(0.05) ? u"mov"_s : u"png"_s);
        s.filePath = dir + u'/' + s.filename;
        // Rows come from the store as seconds since 1970 in local time.
        s.dateCreated = QDateTime::fromSecsSinceEpoch(nowSecs - pick(365 * 86400));
        if (chance(0.30)) {
            QList<QUrl> urls;
            for (int link = pick(3) + 1; link > 0; --link) {
                const QString host = u"%1site%2.%3"_s.arg(chance(0.3) ? u"WWW."_s : QString())
                                         .arg(pick(kHosts))
                                         .arg(chance(0.5) ? u"com"_s : u"org"_s);
                urls.append(QUrl(u"https://"_s + host + u"/page/"_s + QString::number(pick(1000))));
            }
            s.detectedUrls = urls;
        }
        if (chance(0.10)) {
            s.customTags.append(u"Tag %1"_s.arg(pick(kTags)));
            if (chance(0.3))
                s.customTags.append(u" Tag %1 "_s.arg(pick(kTags)));
        }
        library.append(s);
    }
    return library;
}

const QList<Screenshot>& library()
{
    static const QList<Screenshot> screenshots = makeLibrary();
    return screenshots;
}

qsizetype g_collectionCount = 0;

const CollectionService& service()
{
    static const CollectionService instance;
    return instance;
}

void BM_BuildCollections(benchmark::State& state)
{
    const QList<Screenshot>& screenshots = library();
    for (auto _ : state) {
        const QList<SmartCollection> collections = service().generateCollections(screenshots, kDesktop);
        g_collectionCount = collections.size();
        benchmark::DoNotOptimize(collections.constData());
    }
    state.SetItemsProcessed(state.iterations() * screenshots.size());
}
BENCHMARK(BM_BuildCollections)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// What a gallery pays to show one collection: its test on every file. One
// collection of each kind; "Today" asks the clock on every call, "Last 30
// Days" only compares the date.
const QList<SmartCollection>& oneOfEachKind()
{
    static const QList<SmartCollection> sample = [] {
        QList<SmartCollection> picked;
        QSet<CollectionType> seen;
        for (const SmartCollection& c : service().generateCollections(library(), kDesktop)) {
            if (c.name == u"Today" || c.name == u"Last 30 Days" || !seen.contains(c.type))
                picked.append(c);
            seen.insert(c.type);
        }
        return picked;
    }();
    return sample;
}

void BM_FilterLibrary(benchmark::State& state)
{
    const SmartCollection& collection = oneOfEachKind().at(state.range(0));
    state.SetLabel(collection.name.toStdString());
    qint64 members = 0;
    for (auto _ : state) {
        for (const Screenshot& s : library())
            members += collection.contains(s);
    }
    benchmark::DoNotOptimize(members);
}
BENCHMARK(BM_FilterLibrary)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

int main(int argc, char** argv)
{
    library(); // generated before timing starts
    const auto timesNs = runRegisteredBenchmarks(argc, argv);
    double buildMs = 0;
    double slowestFilterMs = 0;
    for (const auto& [name, ns] : timesNs) {
        if (name.starts_with("BM_BuildCollections"))
            buildMs = ns / 1e6;
        if (name.starts_with("BM_FilterLibrary"))
            slowestFilterMs = std::max(slowestFilterMs, ns / 1e6);
    }
    ResultLine(u"collections"_s)
        .add(u"build_ms"_s, buildMs)
        .add(u"filter_slowest_ms"_s, slowestFilterMs)
        .add(u"collections"_s, double(g_collectionCount), 0)
        .add(u"screenshots"_s, kScreenshots, 0)
        .print();
    return 0;
}
