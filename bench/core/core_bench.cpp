// Costs of the small shared helpers that sit on hot paths: the folder test runs
// for every file of every walk, the serial queue carries every store call.

#include "core/PathUtils.h"
#include "core/SerialQueue.h"
#include "generators/TextGenerator.h"
#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {
void BM_IsInside(benchmark::State& state)
{
    TextGenerator text(7);
    QStringList paths;
    for (int i = 0; i < 1000; ++i)
        paths.append(text.screenshotPath(QStringLiteral("/home/user/Desktop"), i % 4));
    const QString folder = QStringLiteral("/home/user/Desktop");
    size_t inside = 0;
    for (auto _ : state) {
        for (const QString& path : paths)
            inside += isInside(path, folder);
    }
    benchmark::DoNotOptimize(inside);
    state.SetItemsProcessed(state.iterations() * paths.size());
}
BENCHMARK(BM_IsInside);

void BM_SerialQueueSyncRoundTrip(benchmark::State& state)
{
    SerialQueue queue(QStringLiteral("org.brindlework.Glimmerdeck.bench"));
    int value = 0;
    for (auto _ : state)
        value = queue.sync([&value] { return value + 1; });
    benchmark::DoNotOptimize(value);
}
BENCHMARK(BM_SerialQueueSyncRoundTrip)->UseRealTime();
} // namespace

int main(int argc, char** argv)
{
    auto timesNs = runRegisteredBenchmarks(argc, argv);
    ResultLine(QStringLiteral("core"))
        .add(QStringLiteral("isinside_ns_per_path"), timesNs["BM_IsInside"] / 1000.0)
        .add(QStringLiteral("queue_sync_roundtrip_us"), timesNs["BM_SerialQueueSyncRoundTrip/real_time"] / 1000.0)
        .print();
    return 0;
}
