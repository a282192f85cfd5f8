#include "support/BenchSupport.h"

#include "core/Console.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

ResultLine::ResultLine(QString name)
    : m_name(std::move(name))
{}

ResultLine& ResultLine::add(const QString& key, double value, int decimals)
{
    return add(key, QString::number(value, 'f', decimals));
}

ResultLine& ResultLine::add(const QString& key, const QString& value)
{
    m_entries.append(key + u'=' + value);
    return *this;
}

QString ResultLine::text() const
{
    return QStringLiteral("RESULT ") + m_name + u' ' + m_entries.join(u' ');
}

void ResultLine::print() const
{
    Console::printLine(text());
}

namespace {
class CollectingReporter : public benchmark::ConsoleReporter
{
public:
    // Colour codes only on a terminal: piped output is searched for lines
    // that begin with "RESULT ", and a stray reset code would hide them.
    CollectingReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
    {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                m_timesNs[run.benchmark_name()] = run.real_accumulated_time * 1e9 / double(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> m_timesNs;
};
} // namespace

std::map<std::string, double> runRegisteredBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.m_timesNs;
}

// The process keeps to the first two cores it may use, and so do the
// search's threads (Qt counts the cores the process may use).
void keepToCores(int count)
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    sched_getaffinity(0, sizeof(allowed), &allowed);
    cpu_set_t chosen;
    CPU_ZERO(&chosen);
    for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < count; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            CPU_SET(cpu, &chosen);
            ++taken;
        }
    }
    sched_setaffinity(0, sizeof(chosen), &chosen);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double residentMemoryMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double peakResidentMemoryMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void resetPeakResidentMemory()
{
    // "5" resets the high-water mark (proc(5), clear_refs).
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

QStringList wordsOf(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[^\\p{L}\\p{N}]+"));
    QStringList words;
    for (const QString& word : text.toLower().split(separators, Qt::SkipEmptyParts)) {
        if (word.size() >= 2)
            words.append(word);
    }
    return words;
}

void WordRecall::add(const QStringList& drawnLines, const QString& read)
{
    const QStringList readWords = wordsOf(read);
    const QSet<QString> seen(readWords.cbegin(), readWords.cend());
    for (const QString& line : drawnLines) {
        for (const QString& word : wordsOf(line)) {
            ++words;
            found += seen.contains(word);
        }
    }
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

void settle(int ms)
{
    waitFor([] { return false; }, ms);
}

QString fromChild(const QStringList& arguments, int timeoutMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(timeoutMs))
        return {};
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    std::fputs(qPrintable(output), stdout);
    std::fflush(stdout);
    return output;
}

double figure(const QString& output, const QString& key)
{
    const qsizetype at = output.indexOf(key + u'=');
    return at < 0 ? -1 : output.mid(at + key.size() + 1).section(u'\n', 0, 0).section(u' ', 0, 0).toDouble();
}

QString residentMemoryBreakdown()
{
    QString text;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            for (const char* key : {"RssAnon:", "RssFile:", "RssShmem:"}) {
                if (line.startsWith(key)) {
                    const double mb = line.mid(qstrlen(key)).trimmed().split(' ').first().toDouble() / 1024.0;
                    text += QString::fromLatin1(key).chopped(1) + u'=' + QString::number(mb, 'f', 1) + u' ';
                }
            }
        }
    }
    const struct mallinfo2 heap = mallinfo2();
    return text + QStringLiteral("heap_in_use=%1 heap_free_kept=%2 heap_mmapped=%3")
                      .arg(double(heap.uordblks) / 1048576.0, 0, 'f', 1)
                      .arg(double(heap.fordblks) / 1048576.0, 0, 'f', 1)
                      .arg(double(heap.hblkhd) / 1048576.0, 0, 'f', 1);
}
