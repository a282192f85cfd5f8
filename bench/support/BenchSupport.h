#pragma once

#include "core/MemoryMonitor.h"
#include "support/Fakes.h" // PlentyOfMemory: no benchmark run pauses for pressure

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>

#include <map>
#include <string>
#include <vector>

// The closing line of a benchmark program: "RESULT <name> key=value ...",
// keys in the order they were added, figures with their unit in the key.
class ResultLine
{
public:
    explicit ResultLine(QString name);
    ResultLine& add(const QString& key, double value, int decimals = 2);
    ResultLine& add(const QString& key, const QString& value);
    QString text() const;
    void print() const;

private:
    QString m_name;
    QStringList m_entries;
};

// Runs the registered Google Benchmark cases with the usual console report and
// returns each case's real time per iteration in nanoseconds, keyed by name.
std::map<std::string, double> runRegisteredBenchmarks(int argc, char** argv);

// Keeps the process, and the threads it starts later, to the first `count`
// cores it may use (Qt's pools size themselves from the same set).
void keepToCores(int count);

double median(std::vector<double> values);
double msSince(const QElapsedTimer& timer);
// CPU time of the calling thread: what a thread itself spent, not waits.
double threadCpuMs();

// Resident memory of this process in MB, for memory figures of a benchmark.
double residentMemoryMB();
// The most resident memory since the start or the last reset, in MB.
double peakResidentMemoryMB();
// Starts the peak anew from the present resident memory.
void resetPeakResidentMemory();

// The words of `text` as they are counted: lower-cased runs of two or more
// letters or digits.
QStringList wordsOf(const QString& text);

// How many of the words drawn on screens were read: words of two or more
// letters or digits, lower-cased, counted once per line they are drawn on.
// Words read that were never drawn (junk from textures) do not count here.
struct WordRecall
{
    qint64 found = 0;
    qint64 words = 0;

    void add(const QStringList& drawnLines, const QString& read);
    double ratio() const { return words ? double(found) / double(words) : 0; }
};

// What this program printed when started again with `arguments` (a mode
// that measures in a process of its own); its output is passed on to ours.
QString fromChild(const QStringList& arguments, int timeoutMs = 3600 * 1000);
// The value of the line "<key>=<value>" in `output`; -1 when there is none.
double figure(const QString& output, const QString& key);
// Where this process's resident memory is, one line: anonymous and
// file-backed pages (/proc/self/status) and what the allocator holds
// free (in use vs kept in its arenas), in MB.
QString residentMemoryBreakdown();

// Handles the event loop until `condition` holds or `timeoutMs` passes;
// returns whether it held.
bool waitFor(const std::function<bool()>& condition, int timeoutMs);
// Handles the event loop for `ms`, letting queued work and timers run.
void settle(int ms);
