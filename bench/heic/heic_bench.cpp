// The space saver's recompression timed against heif-enc (libheif's own
// command) on the same 50 screenshots at each of the screen's three
// qualities: one file after another, and four at a time (our run with four
// encoders against `xargs -P4 heif-enc`). Both sides run as separate
// commands, so process start, decoding and writing count on both sides; ours
// also checks every rendition, updates the store and removes the originals.
// Last, three large photographs (12, 48 and 12 megapixels) with four
// encoders: the run's time and peak memory (photos_s, photos_rss_mb), which
// the memory set aside for encoding bounds.
//
//   bench_heic                                  generate the data and compare
//   bench_heic --run FOLDER QUALITY WORKERS     our command over FOLDER's PNGs and JPEGs
//   bench_heic --generate FOLDER                the screenshots only

#include "core/ByteCount.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/LargeBlocks.h"
#include "generators/MediaGenerator.h"
#include "generators/SampleLibrary.h"
#include "platform/FileOps.h"
#include "spacesaver/CompressionService.h"
#include "support/BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
constexpr int fileCount = 50;
constexpr std::array<double, 3> qualities{0.95, 0.9, 0.85};
constexpr std::array<QSize, 5> sizes{QSize(1440, 900), QSize(1680, 1050), QSize(1920, 1080), QSize(2560, 1600),
                                     QSize(2880, 1800)};

// Peak resident memory of this process (VmHWM), in MB.
double peakResidentMB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

QStringList filesIn(const QString& folder, const QString& pattern)
{
    QStringList files;
    for (const QString& name : QDir(folder).entryList({pattern}, QDir::Files, QDir::Name))
        files.append(QDir(folder).filePath(name));
    return files;
}

// Our command: the space saver's plan and run over every PNG and JPEG of the
// folder, with a store of its own beside the folder.
int runOurs(const QStringList& arguments)
{
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: --run FOLDER QUALITY WORKERS\n");
        return 2;
    }
    const QString folder = arguments[0];
    returnLargeBlocksToSystem(); // as the application does from its start
    Console::setSink([](const QString& line) {
        if (line.contains(u"❌"_s) || line.contains(u"⚠️ ["_s))
            std::fprintf(stderr, "%s\n", qPrintable(line));
    });
    DatabaseManager store(folder + u".sqlite"_s);
    QList<Screenshot> screenshots;
    for (const QString& file : filesIn(folder, u"*.png"_s) + filesIn(folder, u"*.jpg"_s))
        screenshots.append(Screenshot(file, QUuid::createUuid()));
    store.upsertMany(screenshots);

    SystemFileOps fileOps;
    const CompressionService service(store, fileOps);
    const CompressionService::CompressionOptions options{arguments[1].toDouble(), arguments[2].toInt()};
    const auto plan = service.analyzeForCompression(screenshots, options);
    const auto result = service.compress(plan.files, options, folder, {});
    std::printf("compressed=%lld peak_rss_mb=%.1f\n", qlonglong(result.compressedFiles.size()), peakResidentMB());
    return result.success ? 0 : 1;
}

struct Outcome
{
    double ms = 0;
    QString output;
};

// Wall time of one command; exits when it fails, since a failing side would
// make any ratio meaningless.
Outcome timeCommand(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(1800000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), qPrintable(process.errorString()));
    return {timer.nsecsElapsed() / 1e6, QString::fromUtf8(process.readAllStandardOutput())};
}

// A desktop as people capture it: a photographic wallpaper with a window of
// text, panels and one picture in front of it; the wallpaper gives the PNG
// the weight real screenshots have.
QImage screenshot(int index)
{
    const QSize size = sizes[size_t(index) % sizes.size()];
    MediaGenerator generator(quint32(index) * 7919u + 3u);
    // Wallpapers are smooth at screen scale: a small photo, enlarged.
    QImage image = generator.photo(size / 4)
                       .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    const QRect window(size.width() / 8, size.height() / 10, size.width() * 3 / 4, size.height() * 4 / 5);
    const auto appearance = index % 2 ? SampleLibrary::Appearance::dark : SampleLibrary::Appearance::light;
    const QImage content = SampleLibrary::draw(7, index, window.size(), appearance).image;
    QPainter painter(&image);
    painter.drawImage(window.topLeft(), content);
    const QRect picture(window.x() + window.width() / 2, window.y() + window.height() / 3, window.width() / 3,
                        window.height() / 3);
    painter.drawImage(picture, generator.photo(picture.size() / 2));
    return image;
}

void generate(const QString& folder)
{
    QDir().mkpath(folder);
    QList<int> indices(fileCount);
    std::iota(indices.begin(), indices.end(), 0);
    QtConcurrent::blockingMap(indices, [&](int index) {
        if (!screenshot(index).save(QDir(folder).filePath(u"shot-%1.png"_s.arg(index, 2, 10, QChar(u'0'))), "PNG"))
            qFatal("cannot write the screenshots");
    });
}

// A fresh copy of the generated folder for one side's run.
QString copyOf(const QString& source, const QString& target)
{
    QDir().mkpath(target);
    for (const QString& file : filesIn(source, u"*.png"_s))
        QFile::copy(file, QDir(target).filePath(QFileInfo(file).fileName()));
    return target;
}

qint64 totalSize(const QString& folder, const QString& pattern)
{
    qint64 total = 0;
    for (const QString& file : filesIn(folder, pattern))
        total += QFileInfo(file).size();
    return total;
}

struct Side
{
    double ms = 0;
    qint64 bytes = 0;
    double peakMB = 0;
};

// `replaced`: how many images the run must replace; any when negative.
Side runOursOn(const QString& folder, double quality, int workers, int replaced = fileCount)
{
    const Outcome outcome = timeCommand(QCoreApplication::applicationFilePath(),
                                        {u"--run"_s, folder, QString::number(quality), QString::number(workers)});
    if (!outcome.output.contains(replaced < 0 ? u"compressed="_s : u"compressed=%1 "_s.arg(replaced)))
        qFatal("our run did not replace every image: %s", qPrintable(outcome.output));
    const QString peak = outcome.output.section(u"peak_rss_mb="_s, 1).trimmed();
    return {outcome.ms, totalSize(folder, u"*.heic"_s), peak.toDouble()};
}

Side runHeifEnc(const QString& folder, double quality, int parallel)
{
    // xargs hands each file to its own heif-enc, as a shell loop would.
    const QString script = u"cd '%1' && ls *.png | xargs -P%2 -I{} heif-enc -q %3 -o {}.heic {} >/dev/null"_s.arg(
        folder, QString::number(parallel), QString::number(CompressionService::encoderQuality(quality)));
    const Outcome outcome = timeCommand(u"sh"_s, {u"-c"_s, script});
    if (filesIn(folder, u"*.heic"_s).size() != fileCount)
        qFatal("heif-enc wrote fewer files than it was given");
    return {outcome.ms, totalSize(folder, u"*.heic"_s), 0};
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--run") == 0) {
        QCoreApplication app(argc, argv);
        return runOurs(app.arguments().mid(2));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--generate") == 0) {
        generate(app.arguments().at(2));
        return 0;
    }
    if (QProcess::execute(u"sh"_s, {u"-c"_s, u"command -v heif-enc >/dev/null"_s}) != 0)
        qFatal("heif-enc is missing (Debian package libheif-examples)");
    QTemporaryDir workDir;
    const QDir work(workDir.path());
    QTextStream out(stdout);

    const QString source = work.filePath(u"source"_s);
    generate(source);
    out << fileCount << " screenshots, 1440×900 to 2880×1800, "
        << formatFileByteCount(totalSize(source, u"*.png"_s), ByteUnits::kilobytesToGigabytes)
        << " of PNG; wall time of the whole command, one run per side" << Qt::endl
        << Qt::endl
        << u"quality  mode"_s.leftJustified(22) << u"ours ms"_s.rightJustified(10)
        << u"heif-enc ms"_s.rightJustified(13) << u"ratio"_s.rightJustified(8) << u"ours KB"_s.rightJustified(10)
        << u"heif-enc KB"_s.rightJustified(13) << u"peak MB"_s.rightJustified(9) << Qt::endl;

    double oursSequential = 0, peerSequential = 0, oursParallel = 0, peerParallel = 0, peakMB = 0;
    qint64 oursBytes = 0, peerBytes = 0;
    for (const double quality : qualities) {
        for (const int parallel : {1, 4}) {
            const QString tag = u"%1-%2"_s.arg(quality).arg(parallel);
            const Side ours = runOursOn(copyOf(source, work.filePath(u"ours-"_s + tag)), quality, parallel);
            const Side peer = runHeifEnc(copyOf(source, work.filePath(u"peer-"_s + tag)), quality, parallel);
            (parallel == 1 ? oursSequential : oursParallel) += ours.ms;
            (parallel == 1 ? peerSequential : peerParallel) += peer.ms;
            if (parallel == 1) {
                oursBytes += ours.bytes;
                peerBytes += peer.bytes;
            }
            peakMB = std::max(peakMB, ours.peakMB);
            out << (QString::number(quality) + (parallel == 1 ? u"  one at a time"_s : u"  four at once"_s))
                       .leftJustified(22)
                << QString::number(ours.ms, 'f', 0).rightJustified(10)
                << QString::number(peer.ms, 'f', 0).rightJustified(13)
                << QString::number(ours.ms / peer.ms, 'f', 3).rightJustified(8)
                << QString::number(ours.bytes / 1000).rightJustified(10)
                << QString::number(peer.bytes / 1000).rightJustified(13)
                << QString::number(ours.peakMB, 'f', 0).rightJustified(9) << Qt::endl;
        }
    }
    out << Qt::endl;

    const QString photos = work.filePath(u"photos"_s);
    QDir().mkpath(photos);
    const int photoCount = int(MediaGenerator::writeLargePhotos(photos, 41).size());
    if (photoCount == 0)
        qFatal("the photographs could not be written");
    // Noise does not shrink: some photographs stay as they are, encoded all the same.
    const Side large = runOursOn(photos, qualities.front(), 4, -1);
    out << photoCount << " large photographs, four encoders: " << QString::number(large.ms / 1000, 'f', 1)
        << " s, peak " << QString::number(large.peakMB, 'f', 0) << " MB" << Qt::endl
        << Qt::endl;
    ResultLine(u"heic"_s)
        .add(u"ratio_vs_heifenc"_s, oursSequential / peerSequential, 3)
        .add(u"ratio_vs_heifenc_p4"_s, oursParallel / peerParallel, 3)
        .add(u"size_ratio"_s, double(oursBytes) / double(peerBytes), 3)
        .add(u"rss_mb"_s, peakMB, 0)
        .add(u"photos_s"_s, large.ms / 1000, 1)
        .add(u"photos_rss_mb"_s, large.peakMB, 0)
        .print();
    return 0;
}
