// The duplicate analysis against the tools people use for the same job:
// `jdupes -r`, `rdfind -dryrun true` and `fdupes -r`, on one generated tree in
// the same run, with the page cache warm for every side. Our side is timed
// from the folder walk to the finished groups, as the peers' commands are.
//
//   bench_duplicates [--files N] [--rounds N] [--tree DIR]
//
// The tree (by default 20,000 files of 50 KB to 5 MB, 10 % of them copies of
// others, 5 % of an existing size with other content) is generated once and
// kept under the cache folder for later runs.

#include "duplicates/DuplicateFinderService.h"
#include "support/BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>

using namespace Qt::StringLiterals;

namespace {
using GroupSet = QSet<QStringList>; // each group's paths, sorted

struct Measurement
{
    double ms = 0;
    qint64 bytesRead = 0;
    GroupSet groups;
};

struct Options
{
    int files = 20000;
    int rounds = 3;
    QString tree;
};

QByteArray randomBytes(std::mt19937_64& random, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    auto* words = reinterpret_cast<quint64*>(bytes.data());
    for (qint64 i = 0; i < size / 8; ++i)
        words[i] = random();
    for (qint64 i = size / 8 * 8; i < size; ++i)
        bytes[i] = char(random());
    return bytes;
}

// Mostly screenshot-sized files, a few large ones: 98 % of 50-500 KB and 2 %
// of 0.5-5 MB, each range evenly spread on a log scale.
qint64 drawSize(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> unit(0, 1);
    const bool large = unit(random) < 0.02;
    const double low = large ? 500e3 : 50e3;
    return qint64(low * std::pow(10.0, unit(random)));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void generateTree(const QString& root, int count)
{
    std::printf("generating %d files in %s\n", count, qPrintable(root));
    std::mt19937_64 random(20240601);
    const int copies = count / 10;
    const int sameSize = count / 20;
    const int originals = count - copies - sameSize;
    QList<QString> paths;
    QList<qint64> sizes;
    const auto pathOf = [&root](int i) {
        return root + u"/folder-%1/shot-%2.png"_s.arg(i % 40, 2, 10, QChar(u'0')).arg(i, 5, 10, QChar(u'0'));
    };
    for (int i = 0; i < 40; ++i)
        QDir().mkpath(root + u"/folder-%1"_s.arg(i, 2, 10, QChar(u'0')));
    for (int i = 0; i < originals; ++i) {
        sizes.append(drawSize(random));
        paths.append(pathOf(i));
        writeFile(paths.last(), randomBytes(random, sizes.last()));
    }
    std::uniform_int_distribution<int> pick(0, originals - 1);
    for (int i = 0; i < copies; ++i) {
        const int of = pick(random);
        QFile::copy(paths[of], pathOf(originals + i));
    }
    for (int i = 0; i < sameSize; ++i) {
        // Another file of an existing size; where it differs varies.
        const int like = pick(random);
        QFile source(paths[like]);
        source.open(QIODevice::ReadOnly);
        QByteArray bytes = source.readAll();
        const qint64 at = std::uniform_int_distribution<qint64>(0, bytes.size() - 1)(random);
        bytes[at] = char(bytes[at] ^ 0xff);
        writeFile(pathOf(originals + copies + i), bytes);
    }
    writeFile(root + u"/complete"_s, QByteArray::number(count));
}

QString treeFor(const Options& options)
{
    if (!options.tree.isEmpty())
        return options.tree;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString root = cache + u"/glimmerdeck-bench/duplicates-%1"_s.arg(options.files);
    QFile stamp(root + u"/complete"_s);
    if (!stamp.open(QIODevice::ReadOnly) || stamp.readAll().toInt() != options.files) {
        QDir(root).removeRecursively();
        generateTree(root, options.files);
    }
    return root;
}

QStringList filesOf(const QString& root)
{
    QStringList files;
    QDirIterator it(root, {u"*.png"_s}, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

// Reads every file once so that every side finds the page cache warm.
void warmCache(const QStringList& files)
{
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (const QString& path : files) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            while (file.read(buffer.data(), buffer.size()) > 0) {
            }
    }
}

GroupSet normalised(QList<QStringList> groups)
{
    GroupSet set;
    for (QStringList& group : groups) {
        if (group.size() < 2)
            continue;
        group.sort();
        set.insert(group);
    }
    return set;
}

// The application's pool of file readers, the benchmark's own.
Workers::Pool& readerThreads()
{
    static Workers::Pool pool(QStringLiteral("duplicate-reads"), Workers::duplicateReadThreads);
    return pool;
}

Measurement runOurs(const QString& root, int readers)
{
    const qint64 readBefore = DuplicateFinderService::bytesRead();
    QElapsedTimer clock;
    clock.start();
    QList<Screenshot> list;
    for (const QString& path : filesOf(root)) {
        Screenshot screenshot;
        screenshot.id = QUuid::createUuid();
        screenshot.filePath = path;
        list.append(screenshot);
    }
    DuplicateFinderService::Options options;
    options.readers = readers;
    const auto result = DuplicateFinderService(readerThreads()).findDuplicates(list, {}, options);
    Measurement measurement;
    measurement.ms = double(clock.nsecsElapsed()) / 1e6;
    measurement.bytesRead = DuplicateFinderService::bytesRead() - readBefore;
    QList<QStringList> groups;
    for (const auto& group : result.groups) {
        groups.append(QStringList{});
        for (const Screenshot& member : group.screenshots)
            groups.last().append(member.filePath);
    }
    measurement.groups = normalised(groups);
    return measurement;
}

// Groups printed as blocks of paths separated by blank lines (jdupes, fdupes).
QList<QStringList> blocksOf(const QString& output)
{
    QList<QStringList> groups{{}};
    for (const QString& line : output.split(u'\n')) {
        if (line.isEmpty()) {
            if (!groups.last().isEmpty())
                groups.append(QStringList{});
        } else {
            groups.last().append(line);
        }
    }
    return groups;
}

// rdfind's results file: "duptype id depth size device inode priority name",
// duplicates carrying the negated id of their first occurrence.
QList<QStringList> rdfindGroups(const QString& resultsFile)
{
    QFile file(resultsFile);
    file.open(QIODevice::ReadOnly);
    QHash<qint64, QStringList> byId;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u' ');
        if (fields.size() < 8)
            continue;
        byId[std::abs(fields[1].toLongLong())].append(fields.mid(7).join(u' '));
    }
    return byId.values();
}

// Runs a peer through a shell that reports, after the peer has ended, the
// bytes its waited-for children read.
Measurement runPeer(const QString& command, const QString& workDir,
                    const std::function<QList<QStringList>(const QString&)>& groupsOf)
{
    QProcess shell;
    shell.setWorkingDirectory(workDir);
    QElapsedTimer clock;
    clock.start();
    shell.start(u"bash"_s, {u"-c"_s, command + u" > peer-output.txt 2>/dev/null; grep ^rchar /proc/$$/io"_s});
    shell.waitForFinished(-1);
    Measurement measurement;
    measurement.ms = double(clock.nsecsElapsed()) / 1e6;
    measurement.bytesRead = QString::fromUtf8(shell.readAllStandardOutput()).section(u' ', 1).trimmed().toLongLong();
    QFile output(workDir + u"/peer-output.txt"_s);
    output.open(QIODevice::ReadOnly);
    measurement.groups = normalised(groupsOf(QString::fromUtf8(output.readAll())));
    return measurement;
}

template <typename Run>
Measurement medianOf(int rounds, Run run)
{
    QList<Measurement> runs;
    for (int i = 0; i < rounds; ++i)
        runs.append(run());
    std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a.ms < b.ms; });
    return runs[runs.size() / 2];
}

Options parse(const QStringList& arguments)
{
    Options options;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == u"--files")
            options.files = arguments[i + 1].toInt();
        else if (arguments[i] == u"--rounds")
            options.rounds = std::max(1, arguments[i + 1].toInt());
        else if (arguments[i] == u"--tree")
            options.tree = arguments[i + 1];
    }
    return options;
}

void report(const char* name, const Measurement& m, const GroupSet& reference)
{
    std::printf("%-22s %9.1f ms  %8.1f MB read  %5lld groups%s\n", name, m.ms, double(m.bytesRead) / 1e6,
                qlonglong(m.groups.size()), m.groups == reference ? "" : "  (groups differ)");
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Options options = parse(app.arguments());
    const QString root = treeFor(options);
    warmCache(filesOf(root));
    QTemporaryDir work;

    const int readers = DuplicateFinderService::Options().readers;
    const Measurement ours = medianOf(options.rounds, [&] { return runOurs(root, readers); });
    const Measurement oneReader = medianOf(options.rounds, [&] { return runOurs(root, 1); });

    struct Peer
    {
        const char* name;
        QString command;
        std::function<QList<QStringList>(const QString&)> groupsOf;
    };
    const QString quoted = u"'"_s + root + u"'"_s;
    const Peer peers[] = {
        {"jdupes -r", u"jdupes -r -q "_s + quoted, blocksOf},
        {"rdfind -dryrun true", u"rdfind -dryrun true -outputname rdfind.txt "_s + quoted,
         [&](const QString&) { return rdfindGroups(work.filePath(u"rdfind.txt"_s)); }},
        {"fdupes -r", u"fdupes -r -q "_s + quoted, blocksOf},
    };
    report("ours", ours, ours.groups);
    report("ours, one reader", oneReader, ours.groups);
    double bestPeer = 0;
    bool groupsMatch = oneReader.groups == ours.groups;
    for (const Peer& peer : peers) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(peer.name).section(u' ', 0, 0)).isEmpty()) {
            std::printf("%s is not installed (scripts/setup installs the benchmark peers)\n", peer.name);
            groupsMatch = false;
            continue;
        }
        const Measurement m =
            medianOf(options.rounds, [&] { return runPeer(peer.command, work.path(), peer.groupsOf); });
        report(peer.name, m, ours.groups);
        groupsMatch = groupsMatch && m.groups == ours.groups;
        bestPeer = bestPeer == 0 ? m.ms : std::min(bestPeer, m.ms);
    }

    ResultLine(u"duplicates"_s)
        .add(u"ms"_s, ours.ms, 1)
        .add(u"ratio_vs_best_peer"_s, bestPeer > 0 ? ours.ms / bestPeer : 0, 3)
        .add(u"groups_match"_s, groupsMatch ? 1 : 0, 0)
        .add(u"files"_s, options.files, 0)
        .add(u"readers"_s, readers, 0)
        .add(u"read_mb"_s, double(ours.bytesRead) / 1e6, 1)
        .add(u"one_reader_ms"_s, oneReader.ms, 1)
        .add(u"best_peer_ms"_s, bestPeer, 1)
        .print();
    return 0;
}
