#include "core/Clock.h"
#include "core/MemoryMonitor.h"
#include "core/ProcMemorySource.h"
#include "support/Capture.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 MiB = 1048576;

// Figures the test sets; the monitor owns the source, the test keeps the figures.
struct Figures
{
    std::atomic<qint64> availableBytes{8000 * MiB};
    std::atomic<bool> availableKnown{true};
    std::atomic<qint64> physicalBytes{16384 * MiB};
    std::atomic<double> residentMB{402.7};
    std::atomic<int> samples{0};
};

struct FakeSource : MemoryMonitor::Source
{
    explicit FakeSource(std::shared_ptr<Figures> f)
        : figures(std::move(f))
    {}
    double residentMB() override
    {
        ++figures->samples;
        return figures->residentMB;
    }
    std::optional<qint64> availableBytes() override
    {
        return figures->availableKnown ? std::optional<qint64>(figures->availableBytes) : std::nullopt;
    }
    qint64 physicalBytes() override { return figures->physicalBytes; }
    std::shared_ptr<Figures> figures;
};

class MemoryMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clock::setSource([] { return QDateTime(QDate(2026, 3, 1), QTime(14, 3, 7, 412)); });
    }
    void TearDown() override { Clock::setSource({}); }

    std::unique_ptr<MemoryMonitor> makeMonitor(std::chrono::milliseconds interval = MemoryMonitor::checkInterval)
    {
        return std::make_unique<MemoryMonitor>(std::make_unique<FakeSource>(m_figures), interval);
    }
    QStringList memoryLines() const { return m_log.matching(u"[Memory]"_s); }

    std::shared_ptr<Figures> m_figures = std::make_shared<Figures>();
    LogCapture m_log;
};
} // namespace

TEST_F(MemoryMonitorTest, PressureIsStrictlyBelowFiveHundredMB)
{
    m_figures->availableBytes = 500 * MiB;
    auto monitor = makeMonitor();
    EXPECT_FALSE(monitor->isUnderPressure());
    EXPECT_EQ(monitor->availableMemoryMB(), 500);

    // One byte short of 500 MB truncates to 499.
    m_figures->availableBytes = 500 * MiB - 1;
    monitor->checkMemory();
    EXPECT_TRUE(monitor->isUnderPressure());
    EXPECT_EQ(monitor->availableMemoryMB(), 499);
    EXPECT_DOUBLE_EQ(monitor->appMemoryUsageMB(), 402.7);
}

TEST_F(MemoryMonitorTest, EachCrossingIsLoggedOnceWithItsFigures)
{
    m_figures->availableBytes = 499 * MiB; // short of memory at launch warns at once
    auto monitor = makeMonitor();
    for (qint64 mb : {300, 200, 500, 812, 700}) {
        m_figures->availableBytes = mb * MiB;
        monitor->checkMemory();
    }
    const QStringList lines = memoryLines();
    ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines[0], u"⚠️ [14:03:07.412] [Memory] [WARNING] System under memory pressure | "
                        "availableMB=499, appUsageMB=402.7, thresholdMB=500"_s);
    EXPECT_EQ(lines[1],
              u"[14:03:07.412] [Memory] [INFO] Memory pressure relieved | availableMB=500, appUsageMB=402.7"_s);
}

TEST_F(MemoryMonitorTest, UnknownAvailableMemoryIsEstimatedFromPhysicalMemory)
{
    m_figures->availableKnown = false;
    m_figures->physicalBytes = 16384 * MiB;
    m_figures->residentMB = 600.4;
    auto monitor = makeMonitor();
    EXPECT_EQ(monitor->availableMemoryMB(), 16384 - 600 - 1000);
    EXPECT_FALSE(monitor->isUnderPressure());

    // The estimate never goes negative, and nothing left means pressure.
    m_figures->physicalBytes = 1200 * MiB;
    monitor->checkMemory();
    EXPECT_EQ(monitor->availableMemoryMB(), 0);
    EXPECT_TRUE(monitor->isUnderPressure());
}

TEST_F(MemoryMonitorTest, EverySampleNotifiesAllThreeProperties)
{
    auto monitor = makeMonitor();
    QSignalSpy pressure(monitor.get(), &MemoryMonitor::isUnderPressureChanged);
    QSignalSpy available(monitor.get(), &MemoryMonitor::availableMemoryMBChanged);
    QSignalSpy usage(monitor.get(), &MemoryMonitor::appMemoryUsageMBChanged);
    monitor->checkMemory();
    monitor->checkMemory(); // unchanged figures still notify
    EXPECT_EQ(pressure.count(), 2);
    EXPECT_EQ(available.count(), 2);
    ASSERT_EQ(usage.count(), 2);
    EXPECT_EQ(available.last().first().toLongLong(), 8000);
    EXPECT_EQ(monitor->property("availableMemoryMB").toLongLong(), 8000);
    EXPECT_EQ(monitor->property("isUnderPressure").toBool(), false);
}

TEST_F(MemoryMonitorTest, TheTimerSamplesOnTheGuiThreadWhoeverMadeTheMonitor)
{
    std::unique_ptr<MemoryMonitor> monitor;
    std::unique_ptr<QThread> worker(QThread::create([&] { monitor = makeMonitor(std::chrono::milliseconds(10)); }));
    worker->start();
    worker->wait();
    ASSERT_EQ(monitor->thread(), qApp->thread());
    const int samplesAtCreation = m_figures->samples;
    EXPECT_TRUE(waitUntil([&] { return m_figures->samples >= samplesAtCreation + 3; }));
}

TEST_F(MemoryMonitorTest, SamplesFromWorkersNotifyOnTheGuiThreadAndLogACrossingOnce)
{
    auto monitor = makeMonitor();
    std::atomic<int> offThreadNotifications{0};
    QObject::connect(
        monitor.get(), &MemoryMonitor::isUnderPressureChanged, monitor.get(),
        [&] {
            if (QThread::currentThread() != qApp->thread())
                ++offThreadNotifications;
        },
        Qt::DirectConnection);
    QSignalSpy pressure(monitor.get(), &MemoryMonitor::isUnderPressureChanged);

    m_figures->availableBytes = 200 * MiB;
    std::vector<std::unique_ptr<QThread>> workers;
    for (int i = 0; i < 8; ++i) {
        workers.emplace_back(QThread::create([&] { monitor->checkMemory(); }));
        workers.back()->start();
    }
    for (auto& worker : workers)
        worker->wait();
    EXPECT_TRUE(monitor->isUnderPressure()); // readable right after, from any thread
    EXPECT_TRUE(waitUntil([&] { return pressure.count() == 8; }));
    EXPECT_EQ(offThreadNotifications, 0);
    EXPECT_EQ(memoryLines().size(), 1);
}

TEST(ProcMemoryParsing, MemAvailableInBytesNarrowedByTheCgroupHeadroom)
{
    const QByteArray meminfo = "MemTotal:       24682404 kB\n"
                               "MemFree:         1234567 kB\n"
                               "MemAvailable:   23515176 kB\n"
                               "HugePages_Total:       0\n";
    EXPECT_EQ(ProcMemorySource::meminfoBytes(meminfo, "MemAvailable"), 23515176LL * 1024);
    EXPECT_EQ(ProcMemorySource::meminfoBytes(meminfo, "HugePages_Total"), 0);
    EXPECT_EQ(ProcMemorySource::meminfoBytes(meminfo, "MemAvail"), std::nullopt);
    EXPECT_EQ(ProcMemorySource::meminfoBytes("MemAvailable: lots kB\n", "MemAvailable"), std::nullopt);
    // Old kernels have no MemAvailable: the monitor then falls back to its estimate.
    EXPECT_EQ(ProcMemorySource::availableBytes("MemTotal: 1000 kB\nMemFree: 10 kB\n", std::nullopt), std::nullopt);

    const qint64 machine = 23515176LL * 1024;
    EXPECT_EQ(ProcMemorySource::availableBytes(meminfo, std::nullopt), machine);
    EXPECT_EQ(ProcMemorySource::availableBytes(meminfo, 300 * MiB), 300 * MiB);
    EXPECT_EQ(ProcMemorySource::availableBytes(meminfo, machine + 1), machine);
}

TEST(ProcMemoryParsing, FindsTheUnifiedHierarchyAndThisProcessesGroup)
{
    const QByteArray hybridMountinfo =
        "25 30 0:23 / /sys rw,nosuid,nodev,noexec,relatime shared:7 - sysfs sysfs rw\n"
        "34 25 0:29 / /sys/fs/cgroup ro,nosuid shared:9 - tmpfs tmpfs ro,mode=755\n"
        "35 34 0:30 / /sys/fs/cgroup/unified rw,nosuid shared:10 - cgroup2 cgroup2 rw,nsdelegate\n"
        "38 34 0:33 / /sys/fs/cgroup/memory rw,nosuid shared:14 - cgroup cgroup rw,memory\n";
    EXPECT_EQ(ProcMemorySource::cgroup2MountPoint(hybridMountinfo), u"/sys/fs/cgroup/unified"_s);
    EXPECT_EQ(ProcMemorySource::cgroup2MountPoint("38 34 0:33 / /sys/fs/cgroup/memory rw - cgroup cgroup rw\n"),
              std::nullopt);

    EXPECT_EQ(ProcMemorySource::cgroup2Path("4:memory:/docker/abc\n0::/user.slice/app-glimmerdeck.scope\n"),
              u"/user.slice/app-glimmerdeck.scope"_s);
    EXPECT_EQ(ProcMemorySource::cgroup2Path("4:memory:/docker/abc\n1:cpu:/\n"), std::nullopt);

    EXPECT_EQ(ProcMemorySource::cgroupLimitBytes("max\n"), std::nullopt);
    EXPECT_EQ(ProcMemorySource::cgroupLimitBytes("1073741824\n"), 1024 * MiB);
    EXPECT_EQ(ProcMemorySource::cgroupLimitBytes(""), std::nullopt);
}

TEST(ProcMemoryParsing, HeadroomIsTheTightestLimitOnThePathToTheRoot)
{
    QTemporaryDir root;
    auto write = [&](const QString& group, const QByteArray& max, const QByteArray& current) {
        QDir().mkpath(root.path() + group);
        QFile maxFile(root.path() + group + u"/memory.max"_s);
        ASSERT_TRUE(maxFile.open(QIODevice::WriteOnly));
        maxFile.write(max);
        QFile currentFile(root.path() + group + u"/memory.current"_s);
        ASSERT_TRUE(currentFile.open(QIODevice::WriteOnly));
        currentFile.write(current);
    };
    write(u"/box"_s, QByteArray::number(1024 * MiB) + '\n', QByteArray::number(700 * MiB) + '\n');
    write(u"/box/app"_s, "max\n", QByteArray::number(600 * MiB) + '\n');
    EXPECT_EQ(ProcMemorySource::cgroupHeadroomBytes(root.path(), u"/box/app"_s), 324 * MiB);

    write(u"/box/app"_s, QByteArray::number(800 * MiB), QByteArray::number(600 * MiB));
    EXPECT_EQ(ProcMemorySource::cgroupHeadroomBytes(root.path(), u"/box/app"_s), 200 * MiB);

    // Usage above the limit (reclaim pending) leaves no room, not negative room.
    write(u"/box"_s, QByteArray::number(512 * MiB), QByteArray::number(700 * MiB));
    EXPECT_EQ(ProcMemorySource::cgroupHeadroomBytes(root.path(), u"/box/app"_s), 0);

    // Page cache of files no longer in use counts as room: 300 MiB of it in
    // the box leaves 512 - (700 - 300).
    QFile stat(root.path() + u"/box/memory.stat"_s);
    ASSERT_TRUE(stat.open(QIODevice::WriteOnly));
    stat.write("anon 100000\nactive_file 5\ninactive_file " + QByteArray::number(300 * MiB) + "\nshmem 0\n");
    stat.close();
    EXPECT_EQ(ProcMemorySource::cgroupHeadroomBytes(root.path(), u"/box/app"_s), 112 * MiB);

    EXPECT_EQ(ProcMemorySource::cgroupHeadroomBytes(root.path(), u"/elsewhere"_s), std::nullopt);
}

TEST(ProcMemoryParsing, TheRealSourceReportsThisMachine)
{
    ProcMemorySource source;
    const std::optional<qint64> available = source.availableBytes();
    ASSERT_TRUE(available.has_value());
    EXPECT_GT(*available, 0);
    EXPECT_LE(*available, source.physicalBytes());
    EXPECT_GT(source.residentMB(), 0);
}
