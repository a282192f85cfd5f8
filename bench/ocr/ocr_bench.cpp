// Text recognition on generated screenshots, light and dark at three sizes:
// character accuracy against the text drawn in them, for a page read whole by
// one engine and for a page whose lines are shared out over the engines of
// the analysis pool (as the application reads); whether the two give the
// drawn lines in the same order; our time per image against the tesseract
// command on the same files (which pays its process start and model load
// every time); one page's time with every engine helping; and throughput
// with 1, 2 and 4 pages read at once, each by one engine.
//
// Accuracy: each drawn line is looked up in the recognised text as its
// closest substring (edit distance), so reading order and layout do not count,
// only whether every drawn character was read. accuracy = 1 - errors / length.

#include "core/Console.h"
#include "core/LeasePool.h"
#include "core/OmpThreadLimit.h"
#include "core/SharedWork.h"
#include "core/Workers.h"
#include "generators/SampleLibrary.h"
#include "ingest/OCRService.h"
#include "ingest/PageReader.h"
#include "support/BenchSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr int fileCount = 40;
constexpr quint32 seed = 2025;

struct Sample
{
    QString path;
    QStringList lines;
    bool dark = false;
};

struct Accuracy
{
    qint64 errors = 0;
    qint64 characters = 0;
    double percent() const { return characters ? 100.0 * (1.0 - double(errors) / double(characters)) : 0; }
};

// Typographic variants the eye does not tell apart count as equal.
QString comparable(QString text)
{
    text.replace(u'\u2018', u'\'').replace(u'\u2019', u'\'').replace(u'\u201C', u'"').replace(u'\u201D', u'"');
    text.replace(u'\u2014', u'-').replace(u'\u2013', u'-');
    return text.simplified();
}

// Fewest edits turning `needle` into some substring of `haystack`.
qsizetype substringDistance(const QString& needle, const QString& haystack)
{
    std::vector<qsizetype> previous(haystack.size() + 1, 0), current(haystack.size() + 1);
    for (qsizetype i = 1; i <= needle.size(); ++i) {
        current[0] = i;
        for (qsizetype j = 1; j <= haystack.size(); ++j) {
            const qsizetype substitution = previous[j - 1] + (needle[i - 1] == haystack[j - 1] ? 0 : 1);
            current[j] = std::min({substitution, previous[j] + 1, current[j - 1] + 1});
        }
        std::swap(previous, current);
    }
    return *std::min_element(previous.begin(), previous.end());
}

void score(Accuracy& accuracy, const QStringList& drawn, const QString& read)
{
    const QString haystack = comparable(read);
    for (const QString& line : drawn) {
        const QString needle = comparable(line);
        accuracy.errors += std::min(substringDistance(needle, haystack), needle.size());
        accuracy.characters += needle.size();
    }
}

std::vector<Sample> writeSamples(const QString& folder)
{
    const QSize sizes[] = {{1280, 800}, {1920, 1080}, {2880, 1800}};
    std::vector<Sample> samples;
    for (int i = 0; i < fileCount; ++i) {
        const bool dark = i % 2 == 1;
        // Each content twice, light and dark, so the two accuracies compare like with like.
        SampleLibrary::Drawing drawing = SampleLibrary::draw(
            seed, i / 2, sizes[(i / 2) % 3], dark ? SampleLibrary::Appearance::dark : SampleLibrary::Appearance::light);
        // 96 dpi in the file, which is what our engine is told as well.
        drawing.image.setDotsPerMeterX(3780);
        drawing.image.setDotsPerMeterY(3780);
        const QString path = folder + u"/shot-%1.png"_s.arg(i, 2, 10, QChar(u'0'));
        if (!drawing.image.save(path))
            qFatal("cannot write %s", qPrintable(path));
        samples.push_back({path, drawing.lines, dark});
    }
    return samples;
}

QString cliText(const QString& path)
{
    QProcess tesseract;
    tesseract.start(u"tesseract"_s, {path, u"stdout"_s, u"-l"_s, u"eng"_s, u"--oem"_s, u"1"_s, u"--psm"_s, u"3"_s});
    if (!tesseract.waitForFinished(120000) || tesseract.exitCode() != 0)
        qFatal("the tesseract command failed on %s", qPrintable(path));
    return QString::fromUtf8(tesseract.readAllStandardOutput());
}

// Engines and a reader over them; with `helpers`, the lines of a page are
// shared out over that pool's idle threads.
struct Reading
{
    Reading(Workers::Pool* helpers, int engines)
        : engines(engines, [](QString*) { return std::make_unique<TextRecognizer>(); })
        , work(helpers)
        , reader(this->engines, work)
    {}

    LeasePool<TextRecognizer> engines;
    SharedWork work;
    PageReader reader;
};

// The drawn lines found word for word in both texts, in the order of `text`.
QStringList orderIn(const QString& text, const QStringList& drawn, const QString& other)
{
    std::vector<std::pair<qsizetype, QString>> found;
    for (const QString& line : drawn) {
        const qsizetype at = text.indexOf(line);
        if (at >= 0 && other.contains(line))
            found.emplace_back(at, line);
    }
    std::sort(found.begin(), found.end());
    QStringList order;
    for (const auto& [at, line] : found)
        order.append(line);
    return order;
}

double filesPerSecond(const std::vector<Sample>& samples, int engines)
{
    Reading reading(nullptr, engines);
    std::atomic<size_t> next{0};
    std::barrier warmed(engines + 1);
    std::barrier done(engines + 1);
    std::vector<std::jthread> workers;
    for (int w = 0; w < engines; ++w) {
        workers.emplace_back([&, w] {
            OCRService::recognizeText(samples[size_t(w)].path, reading.reader); // each engine made
            warmed.arrive_and_wait();
            for (size_t i = next++; i < samples.size(); i = next++)
                OCRService::recognizeText(samples[i].path, reading.reader);
            done.arrive_and_wait();
        });
    }
    warmed.arrive_and_wait();
    QElapsedTimer timer;
    timer.start();
    done.arrive_and_wait();
    return double(samples.size()) / (double(timer.nsecsElapsed()) / 1e9);
}
} // namespace

int main(int argc, char* argv[])
{
    ensureOmpThreadLimit(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);

    QTemporaryDir folder;
    const std::vector<Sample> samples = writeSamples(folder.path());
    Workers workers; // sized as the application's
    const Workers::AnalysisSizes& sizes = workers.analysisSizes();
    Reading whole(nullptr, 1);
    Reading shared(&workers.analysis(), sizes.engines);
    // Engines made before the clocks start.
    OCRService::recognizeText(samples.front().path, whole.reader);
    OCRService::recognizeText(samples.front().path, shared.reader);

    Accuracy ours[2], split, cli[2];
    WordRecall recall;
    double oursSeconds = 0, splitSeconds = 0, cliSeconds = 0;
    int sameOrder = 0;
    for (const Sample& sample : samples) {
        QElapsedTimer timer;
        timer.start();
        const QString text = OCRService::recognizeText(sample.path, whole.reader).value_or(QString());
        oursSeconds += double(timer.nsecsElapsed()) / 1e9;
        score(ours[sample.dark], sample.lines, text);

        timer.restart();
        const QString sharedText = OCRService::recognizeText(sample.path, shared.reader).value_or(QString());
        splitSeconds += double(timer.nsecsElapsed()) / 1e9;
        score(split, sample.lines, sharedText);
        recall.add(sample.lines, sharedText);
        sameOrder += orderIn(text, sample.lines, sharedText) == orderIn(sharedText, sample.lines, text);

        timer.restart();
        const QString peer = cliText(sample.path);
        cliSeconds += double(timer.nsecsElapsed()) / 1e9;
        score(cli[sample.dark], sample.lines, peer);
    }
    const auto overall = [](const Accuracy(&pair)[2]) {
        return Accuracy{pair[0].errors + pair[1].errors, pair[0].characters + pair[1].characters};
    };
    const double oursMs = 1000.0 * oursSeconds / fileCount;
    const double splitMs = 1000.0 * splitSeconds / fileCount;
    const double cliMs = 1000.0 * cliSeconds / fileCount;
    Console::printLine(u"accuracy: one engine light %1 %, dark %2 %, all %3 %; lines shared over %4 engines %5 %; "
                       "tesseract command light %6 %, dark %7 %"_s.arg(ours[0].percent(), 0, 'f', 2)
                           .arg(ours[1].percent(), 0, 'f', 2)
                           .arg(overall(ours).percent(), 0, 'f', 2)
                           .arg(sizes.engines)
                           .arg(split.percent(), 0, 'f', 2)
                           .arg(cli[0].percent(), 0, 'f', 2)
                           .arg(cli[1].percent(), 0, 'f', 2));
    Console::printLine(
        u"drawn lines in the same order read whole and shared: %1 of %2 pages"_s.arg(sameOrder).arg(fileCount));
    Console::printLine(u"time per image: one engine %1 ms, every engine helping %2 ms (%3 parts helped), "
                       "tesseract command %4 ms"_s.arg(oursMs, 0, 'f', 1)
                           .arg(splitMs, 0, 'f', 1)
                           .arg(shared.work.helpedParts())
                           .arg(cliMs, 0, 'f', 1));

    const double rate1 = filesPerSecond(samples, 1);
    const double rate2 = filesPerSecond(samples, 2);
    const double rate4 = filesPerSecond(samples, 4);
    Console::printLine(
        u"files per second, each page on one engine: 1 engine %1, 2 engines %2, 4 engines %3 (%4 cores)"_s
            .arg(rate1, 0, 'f', 2)
            .arg(rate2, 0, 'f', 2)
            .arg(rate4, 0, 'f', 2)
            .arg(std::thread::hardware_concurrency()));

    ResultLine(u"ocr"_s)
        .add(u"accuracy_pct"_s, split.percent())
        .add(u"accuracy_whole_pct"_s, overall(ours).percent())
        .add(u"word_recall"_s, recall.ratio(), 4)
        .add(u"same_order_pct"_s, 100.0 * sameOrder / fileCount, 1)
        .add(u"ratio_vs_tesseract_cli"_s, oursMs / cliMs)
        .add(u"helped_ms_per_image"_s, splitMs, 1)
        .add(u"files_per_s_1"_s, rate1)
        .add(u"files_per_s_2"_s, rate2)
        .add(u"files_per_s_4"_s, rate4)
        .print();
    return 0;
}
