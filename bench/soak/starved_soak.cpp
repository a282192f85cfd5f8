// A crowded machine: the program reads a folder held to one core that six
// busy threads share with it, so that its files' real time runs out long
// before their processor time; then a normal start reads the folder again,
// as once the load went. Whatever the crowded run could not finish must be
// read by that start: no file may keep part of its text, or none, as if
// that were all of it.

#include "StarvedSoak.h"

#include "SoakHarness.h"

#include "core/CpuAccount.h"
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/AnalysisPipeline.h"
#include "ingest/ScreenshotMonitor.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/OneFolderChooser.h"

#include <QDir>
#include <QTemporaryDir>

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr int fileCount = 100;
constexpr int busyThreads = 6;
// What reading one picture costs the processor, spread over its words.
constexpr std::chrono::milliseconds readingCost{40};
// The crowded run's real-time bound per file: ten times the reading's cost,
// so that a file given less than a tenth of a core runs out of it.
constexpr std::chrono::milliseconds crowdedRealTime{400};

// Reads a picture's caption word by word, as an engine reads line by line,
// each word costing the processor its share of readingCost; stops with the
// words read so far once the budget runs out.
class WordByWordAnalyzer : public FileAnalyzer
{
public:
    std::optional<QString> recognizeText(const QString& path) override { return look(path, {}, {}).text; }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>{0.5}; }

    Sight look(const QString& path, std::stop_token stop, const TimeBudget& budget) override
    {
        Sight sight;
        const std::optional<QString> caption = Soak::captionOf(path);
        if (!caption) {
            sight.unreadable = true;
            return sight;
        }
        const QStringList words = caption->split(u' ');
        QStringList read;
        for (const QString& word : words) {
            if (stop.stop_requested()) {
                sight.stopped = true;
                return sight;
            }
            if (budget.isSpent()) {
                sight.reachedDeadline = true;
                break;
            }
            spend(std::chrono::nanoseconds(readingCost) / words.size());
            read.append(word);
        }
        sight.text = read.join(u' ');
        return sight;
    }

private:
    static void spend(std::chrono::nanoseconds cost)
    {
        const std::chrono::nanoseconds until = CpuAccount::threadTime() + cost;
        while (CpuAccount::threadTime() < until) {
        }
    }
};

cpu_set_t onlyCpu(int cpu)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return set;
}

// Every thread of this process on `cpu` alone; the threads they start
// inherit it.
void pinProcessTo(int cpu)
{
    const cpu_set_t set = onlyCpu(cpu);
    for (const QString& task : QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        sched_setaffinity(pid_t(task.toInt()), sizeof set, &set);
}

// The last core this process may run on.
int lastAllowedCpu()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu)
            if (CPU_ISSET(cpu, &set))
                return cpu;
    return 0;
}

// Threads that keep one core busy while they live, as busy programs would.
class BusyCore
{
public:
    explicit BusyCore(int cpu)
    {
        for (int i = 0; i < busyThreads; ++i)
            m_threads.emplace_back([cpu](std::stop_token stop) {
                const cpu_set_t set = onlyCpu(cpu);
                pthread_setaffinity_np(pthread_self(), sizeof set, &set);
                volatile unsigned sink = 0;
                while (!stop.stop_requested())
                    sink = sink + 1;
            });
    }

private:
    std::vector<std::jthread> m_threads;
};

// One start of the program over the folder until its analyses are over:
// with "--cpu", held to that core with the crowded run's real-time bound.
int child(const QStringList& arguments)
{
    const QString data = Soak::argument(arguments, u"--data"_s);
    const int cpu = Soak::argument(arguments, u"--cpu"_s, u"-1"_s).toInt();
    if (cpu >= 0)
        pinProcessTo(cpu);
    Settings settings(data + u"/settings.conf"_s);
    MemoryMonitor memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1));
    DatabaseManager store(data + u"/library.sqlite"_s);
    MonitorServices parts;
    ScreenshotMonitor monitor(parts.with(settings, memory, store, std::make_shared<WordByWordAnalyzer>()));
    if (cpu >= 0) {
        AnalysisPipeline::Budget budget = AnalysisPipeline::fileBudget;
        budget.realTime = crowdedRealTime;
        ScreenshotMonitorTestAccess::pipeline(monitor).setTimeBudget(budget);
    }
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(Soak::argument(arguments, u"--folder"_s)));
    monitor.requestFolderAccess();
    // A load starts its run before it starts polling.
    const bool finished = waitFor([&] { return monitor.isPolling() && !monitor.isProcessing(); }, 600000);
    monitor.shutDown();
    parts.workers.waitForAll(false);
    std::printf("%s\n", finished ? "DONE" : "TIMED OUT");
    return finished ? 0 : 3;
}

// Files whose stored text is not what a reading of the whole file finds.
int withoutTheirText(const QString& folder, const QString& dbPath)
{
    const Soak::LibraryCheck check = Soak::LibraryCheck::of(folder, dbPath);
    return check.missingRows + check.unanalysed + check.wrongText;
}

const bool registered = Soak::add({u"starved"_s, {}, child});
} // namespace

Soak::StarvedRun Soak::starvedRun(quint32 seed)
{
    std::mt19937 random(seed);
    QTemporaryDir home;
    const QString folder = home.filePath(u"Shots"_s);
    const QString data = home.filePath(u"data"_s);
    QDir().mkpath(folder);
    QDir().mkpath(data);
    for (int i = 0; i < fileCount; ++i)
        writePicture(folder + u"/Screenshot %1.png"_s.arg(i, 3, 10, QChar(u'0')),
                     u"picture %1 seed %2 read one word after another"_s.arg(i).arg(random() % 1000000), random);
    const QStringList arguments{u"--folder"_s, folder, u"--data"_s, data};
    const QString dbPath = data + u"/library.sqlite"_s;

    StarvedRun run{.files = fileCount};
    {
        const int cpu = lastAllowedCpu();
        const BusyCore busy(cpu);
        Child crowded(u"starved"_s, arguments + QStringList{u"--cpu"_s, QString::number(cpu)});
        crowded.waitForExit(900000);
    }
    run.cutShort = withoutTheirText(folder, dbPath);
    Child normal(u"starved"_s, arguments);
    normal.waitForExit(900000);
    run.lostText = withoutTheirText(folder, dbPath);
    return run;
}
