// 600-px previews as the gallery makes them, timed against the tools people
// would otherwise use: vipsthumbnail on the same batch of images and
// `ffmpeg -ss 1 -frames:v 1` on the same recording. Both sides run as
// separate commands over the same files in the same run, so process start,
// decoding and writing the preview count on both sides.
//
//   bench_thumbnails                       generate the data and compare
//   bench_thumbnails --previews DIR FILE…  our command: DIR/tn_<name>.jpg per file

#include "core/Screenshot.h"
#include "generators/MediaGenerator.h"
#include "support/BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
constexpr int batchSize = 50;
constexpr int previewSize = 600;
constexpr int rounds = 3;

// The command under test: one preview per file, written as JPEG at the
// quality vipsthumbnail uses by default.
int writePreviews(const QStringList& arguments)
{
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: --previews DIR FILE...\n");
        return 2;
    }
    const QDir output(arguments.first());
    int failures = 0;
    for (const QString& file : arguments.mid(1)) {
        const QImage preview = Screenshot(file, QUuid()).generateThumbnail(QSizeF(previewSize, previewSize));
        const QString target = output.filePath(u"tn_"_s + QFileInfo(file).completeBaseName() + u".jpg"_s);
        if (preview.isNull() || !preview.save(target, "JPG", 75)) {
            std::fprintf(stderr, "no preview for %s\n", qPrintable(file));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

struct Batch
{
    QString kind;
    QStringList files;
};

QStringList generateImages(const QDir& folder, const QString& kind, int count)
{
    QStringList files;
    for (int i = 0; i < count; ++i)
        files.append(folder.filePath(u"%1-%2.%3"_s.arg(kind).arg(i, 2, 10, QChar(u'0')).arg(kind)));
    QThreadPool pool;
    pool.setMaxThreadCount(4);
    QtConcurrent::blockingMap(&pool, files, [&kind, &files](const QString& file) {
        MediaGenerator generator(quint32(files.indexOf(file)) * 7919u + quint32(kind.size()));
        bool written = false;
        if (kind == u"jpg")
            written = generator.photo(QSize(4000, 3000)).save(file, "JPG", 90);
        else if (kind == u"png")
            written = generator.screenshot(QSize(2880, 1800)).save(file, "PNG");
        else
            written = MediaGenerator::writeHeic(file, generator.screenshot(QSize(1440, 900)), 80);
        if (!written)
            qFatal("cannot write %s", qPrintable(file));
    });
    return files;
}

// Wall time of one command in milliseconds; exits when it fails, since a
// failing side would make any ratio meaningless.
double timeCommand(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), qPrintable(process.errorString()));
    return timer.nsecsElapsed() / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int countFiles(const QDir& folder)
{
    return int(folder.entryList(QDir::Files).size());
}

struct Comparison
{
    double oursMs;
    double peerMs;
    double ratio() const { return oursMs / peerMs; }
};

// Alternates the two commands so that drift in the machine's load hits both
// alike; one untimed round first warms the page cache and both programs.
Comparison compare(const std::function<double()>& ours, const std::function<double()>& peer)
{
    ours();
    peer();
    QList<double> oursMs, peerMs;
    for (int round = 0; round < rounds; ++round) {
        oursMs.append(ours());
        peerMs.append(peer());
    }
    return {median(oursMs), median(peerMs)};
}

Comparison compareImages(const Batch& batch, const QDir& work)
{
    const QString oursDir = work.filePath(u"ours-"_s + batch.kind);
    const QString vipsDir = work.filePath(u"vips-"_s + batch.kind);
    QDir().mkpath(oursDir);
    QDir().mkpath(vipsDir);
    const QString self = QCoreApplication::applicationFilePath();
    const QStringList oursArguments = QStringList{u"--previews"_s, oursDir} + batch.files;
    const QStringList vipsArguments =
        QStringList{u"--size"_s, QString::number(previewSize), u"-o"_s, vipsDir + u"/tn_%s.jpg"_s} + batch.files;
    const Comparison result = compare([&] { return timeCommand(self, oursArguments); },
                                      [&] { return timeCommand(u"vipsthumbnail"_s, vipsArguments); });
    if (countFiles(QDir(oursDir)) != batch.files.size() || countFiles(QDir(vipsDir)) != batch.files.size())
        qFatal("a side wrote fewer previews than files for %s", qPrintable(batch.kind));
    return result;
}

Comparison compareVideo(const QString& recording, const QDir& work)
{
    const QString oursDir = work.filePath(u"ours-video"_s);
    QDir().mkpath(oursDir);
    const QString self = QCoreApplication::applicationFilePath();
    const QString ffmpegOutput = work.filePath(u"ffmpeg-frame.jpg"_s);
    return compare(
        [&] {
            return timeCommand(self, {u"--previews"_s, oursDir, recording});
        },
        [&] {
            return timeCommand(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-nostdin"_s, u"-y"_s, u"-ss"_s, u"1"_s, u"-i"_s,
                                             recording, u"-frames:v"_s, u"1"_s, ffmpegOutput});
        });
}

void printRow(QTextStream& out, const QString& kind, const QString& peer, const Comparison& c)
{
    out << kind.leftJustified(28) << QString::number(c.oursMs, 'f', 1).rightJustified(10)
        << QString::number(c.peerMs, 'f', 1).rightJustified(10) << "  " << peer.leftJustified(14)
        << QString::number(c.ratio(), 'f', 3).rightJustified(7) << Qt::endl;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--previews") == 0) {
        QCoreApplication app(argc, argv);
        return writePreviews(app.arguments().mid(2));
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir workDir;
    const QDir work(workDir.path());
    QTextStream out(stdout);

    out << "Generating " << batchSize << " files of each kind and a 1080p recording..." << Qt::endl;
    QElapsedTimer generation;
    generation.start();
    const QList<Batch> batches{{u"jpg"_s, generateImages(work, u"jpg"_s, batchSize)},
                               {u"png"_s, generateImages(work, u"png"_s, batchSize)},
                               {u"heic"_s, generateImages(work, u"heic"_s, batchSize)}};
    const QString recording = work.filePath(u"recording.mp4"_s);
    if (!MediaGenerator::writeRecording(recording, QSize(1920, 1080), 5.0))
        qFatal("cannot write the recording (is ffmpeg installed?)");
    out << "  done in " << generation.elapsed() / 1000.0 << " s; median of " << rounds
        << " alternating runs per side, wall time of the whole command" << Qt::endl
        << Qt::endl;

    out << u"kind"_s.leftJustified(28) << u"ours ms"_s.rightJustified(10) << u"peer ms"_s.rightJustified(10) << "  "
        << u"peer"_s.leftJustified(14) << u"ratio"_s.rightJustified(7) << Qt::endl;
    const Comparison jpeg = compareImages(batches[0], work);
    printRow(out, u"50 × 4000×3000 JPEG"_s, u"vipsthumbnail"_s, jpeg);
    const Comparison png = compareImages(batches[1], work);
    printRow(out, u"50 × 2880×1800 PNG"_s, u"vipsthumbnail"_s, png);
    const Comparison heic = compareImages(batches[2], work);
    printRow(out, u"50 × 1440×900 HEIC"_s, u"vipsthumbnail"_s, heic);
    const Comparison video = compareVideo(recording, work);
    printRow(out, u"1080p H.264, frame at 1.0 s"_s, u"ffmpeg"_s, video);
    out << Qt::endl;

    ResultLine(u"thumbnails"_s)
        .add(u"ratio_jpeg_vs_vips"_s, jpeg.ratio(), 3)
        .add(u"ratio_png_vs_vips"_s, png.ratio(), 3)
        .add(u"ratio_heic_vs_vips"_s, heic.ratio(), 3)
        .add(u"ratio_video_vs_ffmpeg"_s, video.ratio(), 3)
        .print();
    return 0;
}
