#include "support/BenchSupport.h"

#include "core/Console.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <unistd.h>

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
