// Text recognition on generated screenshots, light and dark at three sizes:
// character accuracy against the text drawn in them, for a page read by one
// engine and for a page whose lines are shared out over the engines of the
// analysis pool (as the application reads); our time per image against the
// tesseract command on the same files (which pays its process start and
// model load every time); one page's time with every engine helping; and
// throughput with 1, 2 and 4 pages read at once, each by one engine.
//
// Accuracy: each drawn line is looked up in the recognised text as its
// closest substring (edit distance), so reading order and layout do not count,
// only whether every drawn character was read. accuracy = 1 - errors / length.
//
// Reading order (same_order_pct): windows whose sidebar runs beside a column
// of notes or code, their lines falling between one another; a page counts
// when the drawn lines read word for word come in the order a person reads
// them (title, the sidebar top to bottom, then the note).
//
// Lines beside icons and in two greys (address_bar_pct, dialog_title_pct):
// browser windows whose address bar shows a padlock, the scheme in grey and
// a long address in dark text (or all of it in one dark colour), and
// dialogs, dark more often than not, with an icon beside a bold title;
// hosts, paths, fonts, sizes, light and dark and a scale of 1 or 2 vary. A
// window counts when its whole address (a dialog: its title) is in the text
// read.
//
// Addresses of other schemes (written_scheme_kept_pct): terminals and
// configuration files holding tcp://, rtmp://, smtps://, redis://, help:/
// and other addresses beside web addresses, in brackets and quotes and
// followed by " &" or by a path. A screen counts when its text keeps every
// address as written, with the signs around it, and its links are exactly
// the web addresses shown.
//
// A library of 194 screenshots as a new user's folder holds them: words read
// that are not on the screen (extra_words_pct, of the words read), the files
// that have any, word recall, the pages read in the order drawn (title bar,
// sidebar, content: library_same_order_pct), and the screen kinds told from
// the text against the kind each screen was drawn as (precision per kind).

#include "core/Console.h"
#include "core/LeasePool.h"
#include "core/OmpThreadLimit.h"
#include "core/SharedWork.h"
#include "core/Workers.h"
#include "generators/AddressScreens.h"
#include "generators/SampleLibrary.h"
#include "ingest/OCRService.h"
#include "ingest/ObjectClassifier.h"
#include "ingest/PageReader.h"
#include "ingest/ScreenKindClassifier.h"
#include "ingest/VisualAnalysisService.h"
#include "support/BenchSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <map>
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

// Whether the drawn lines that occur once on the page, and are read word
// for word, come in the drawn order; false when fewer than half are read so.
bool isInDrawnOrder(const QString& read, const QStringList& drawn)
{
    const QString text = comparable(read);
    qsizetype previous = -1;
    int unique = 0;
    int found = 0;
    for (const QString& raw : drawn) {
        const QString line = comparable(raw);
        if (line.size() < 4 || drawn.count(raw) > 1)
            continue;
        ++unique;
        const qsizetype at = text.indexOf(line);
        if (at < 0 || text.indexOf(line, at + 1) >= 0)
            continue;
        ++found;
        if (at < previous)
            return false;
        previous = at;
    }
    return found * 2 >= unique;
}

// Words read that are not on the screen, against the words read.
struct ExtraWords
{
    qint64 extra = 0;
    qint64 read = 0;
    int files = 0;
    int filesWithExtra = 0;

    QStringList add(const QStringList& drawnLines, const QString& text)
    {
        const QStringList drawnWords = wordsOf(drawnLines.join(u' '));
        const QSet<QString> drawn(drawnWords.cbegin(), drawnWords.cend());
        QStringList extras;
        for (const QString& word : wordsOf(text)) {
            ++read;
            if (!drawn.contains(word))
                extras.append(word);
        }
        extra += extras.size();
        ++files;
        filesWithExtra += !extras.isEmpty();
        return extras;
    }
    double percent() const { return read ? 100.0 * double(extra) / double(read) : 0; }
};

// Screen kinds told from the text, against the kind drawn.
struct KindScore
{
    struct Counts
    {
        int drawn = 0;
        int labelled = 0;
        int right = 0;
    };
    std::map<QString, Counts> kinds;

    void add(const QString& drawnKind, const QStringList& labels)
    {
        ++kinds[drawnKind].drawn;
        for (const QString& label : labels) {
            ++kinds[label].labelled;
            kinds[label].right += label == drawnKind;
        }
    }
    static double precision(const Counts& c) { return c.labelled ? double(c.right) / c.labelled : 1.0; }
    static double recall(const Counts& c) { return c.drawn ? double(c.right) / c.drawn : 1.0; }
};

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

QString readText(const QImage& image, PageReader& reader)
{
    return OCRService::recognizeText(image, u"screen.png"_s, reader, {}).text.value_or(QString());
}

// The share of windows with a sidebar read column by column.
double sameOrderPercent(PageReader& reader, bool verbose)
{
    constexpr int screens = 24;
    const QSize sizes[] = {{1280, 800}, {1920, 1080}, {2880, 1800}, {1440, 900}};
    int inOrder = 0;
    for (int i = 0; i < screens; ++i) {
        const SampleLibrary::Drawing drawing = SampleLibrary::drawColumns(
            seed, i, sizes[i % 4], i % 2 ? SampleLibrary::Appearance::dark : SampleLibrary::Appearance::light);
        const QString text = readText(drawing.image, reader);
        const bool ordered = isInDrawnOrder(text, drawing.lines);
        inOrder += ordered;
        if (verbose && !ordered)
            Console::printLine(u"  column page %1 out of order:\n    drawn: %2\n    read:  %3"_s.arg(i).arg(
                drawing.lines.join(u" | "_s), text));
    }
    Console::printLine(
        u"reading order: %1 of %2 windows with a sidebar read column by column"_s.arg(inOrder).arg(screens));
    return 100.0 * inOrder / screens;
}

// The share of the drawings by `draw` whose marked line is read whole; the
// lines after it read whole are counted too.
double markedLinePercent(PageReader& reader, SampleLibrary::Marked (*draw)(quint32, int), const QString& what,
                         bool verbose)
{
    constexpr int screens = 32;
    int found = 0;
    int nextFound = 0;
    for (int i = 0; i < screens; ++i) {
        const SampleLibrary::Marked marked = draw(seed, i);
        const QString text = comparable(readText(marked.drawing.image, reader));
        const bool isRead = text.contains(comparable(marked.line));
        found += isRead;
        nextFound += !marked.next.isEmpty() && text.contains(comparable(marked.next));
        if (verbose && !isRead)
            Console::printLine(u"  %1 %2 (%3x%4) lost \"%5\":\n    read: %6"_s.arg(what)
                                   .arg(i)
                                   .arg(marked.drawing.image.width())
                                   .arg(marked.drawing.image.height())
                                   .arg(marked.line, text));
    }
    Console::printLine(
        u"%1: %2 of %3 read whole (the line after it: %4)"_s.arg(what).arg(found).arg(screens).arg(nextFound));
    return 100.0 * found / screens;
}

// The share of terminals and configuration files read as written.
double writtenSchemePercent(PageReader& reader, bool verbose)
{
    constexpr int screens = 24;
    int kept = 0;
    for (int i = 0; i < screens; ++i) {
        const AddressScreens::Screen screen = AddressScreens::draw(i);
        const QString read = readText(screen.drawing.image, reader);
        const QString text = comparable(read);
        QStringList lost;
        for (const QString& address : screen.written)
            if (!text.contains(comparable(address)))
                lost.append(address);
        QStringList links;
        for (const QUrl& url : OCRService::extractUrls(read))
            links.append(url.toString());
        const bool isKept = lost.isEmpty() && links == screen.links;
        kept += isKept;
        if (verbose && !isKept)
            Console::printLine(u"  address screen %1: lost %2; links %3 (shown: %4)\n    read: %5"_s.arg(i).arg(
                lost.join(u" | "_s), links.join(u' '), screen.links.join(u' '), read));
    }
    Console::printLine(u"addresses of other schemes: %1 of %2 screens read as written"_s.arg(kept).arg(screens));
    return 100.0 * kept / screens;
}

struct Library
{
    ExtraWords extras;
    WordRecall recall;
    KindScore kinds;
    int inDrawnOrder = 0;
    int files = 0;
};

// A new user's folder of 194 screenshots.
Library readLibrary(PageReader& reader, bool verbose)
{
    constexpr int files = 194;
    Library library;
    for (int i = 0; i < files; ++i) {
        const SampleLibrary::Drawing drawing = SampleLibrary::draw(1, i, false);
        ScreenKindClassifier::Look look = ScreenKindClassifier::lookAt(ObjectClassifier::networkInput(drawing.image));
        const OCRService::Reading reading = OCRService::recognizeText(drawing.image, u"screen.png"_s, reader, {});
        ScreenKindClassifier::addLineLayout(look, reading.lineBoxes, reading.pageSize);
        const QString text = reading.text.value_or(QString());
        const QStringList extras = library.extras.add(drawing.lines, text);
        library.recall.add(drawing.lines, text);
        const QStringList kinds = ScreenKindClassifier::labels(text, look, VisualAnalysisService::confidenceThreshold);
        library.kinds.add(drawing.kind, kinds);
        ++library.files;
        // Title bar, sidebar, then the window's content.
        const bool ordered = isInDrawnOrder(text, drawing.lines);
        library.inDrawnOrder += ordered;
        if (verbose && !ordered)
            Console::printLine(u"  library %1 (%2) out of order:\n    drawn: %3\n    read:  %4"_s.arg(i).arg(
                drawing.kind, drawing.lines.join(u" | "_s), text));
        if (verbose && (!extras.isEmpty() || kinds != QStringList{drawing.kind}))
            Console::printLine(u"  library %1 (%2, labelled %3): not on the screen: %4\n    read: %5"_s.arg(i).arg(
                drawing.kind, kinds.join(u", "_s), extras.join(u' '), text));
    }
    Console::printLine(u"library of %1 screens: %2 of %3 words read are not on the screen (%4 %), in %5 files; "
                       "word recall %6"_s.arg(files)
                           .arg(library.extras.extra)
                           .arg(library.extras.read)
                           .arg(library.extras.percent(), 0, 'f', 2)
                           .arg(library.extras.filesWithExtra)
                           .arg(library.recall.ratio(), 0, 'f', 4));
    Console::printLine(u"  %1 of %2 read in the drawn order (title bar, sidebar, content)"_s.arg(library.inDrawnOrder)
                           .arg(library.files));
    for (const auto& [kind, counts] : library.kinds.kinds)
        Console::printLine(u"  kind %1: drawn %2, labelled %3, right %4: precision %5, recall %6"_s.arg(kind)
                               .arg(counts.drawn)
                               .arg(counts.labelled)
                               .arg(counts.right)
                               .arg(KindScore::precision(counts), 0, 'f', 3)
                               .arg(KindScore::recall(counts), 0, 'f', 3));
    return library;
}
} // namespace

int main(int argc, char* argv[])
{
    ensureOmpThreadLimit(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);
    const bool verbose = app.arguments().contains(u"--verbose"_s);

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
    Console::printLine(u"time per image: one engine %1 ms, every engine helping %2 ms (%3 parts helped), "
                       "tesseract command %4 ms"_s.arg(oursMs, 0, 'f', 1)
                           .arg(splitMs, 0, 'f', 1)
                           .arg(shared.work.helpedParts())
                           .arg(cliMs, 0, 'f', 1));

    const double sameOrder = sameOrderPercent(shared.reader, verbose);
    const double addressBars =
        markedLinePercent(shared.reader, &SampleLibrary::drawBrowser, u"browser addresses"_s, verbose);
    const double dialogTitles =
        markedLinePercent(shared.reader, &SampleLibrary::drawDialog, u"dialog titles"_s, verbose);
    const double writtenSchemes = writtenSchemePercent(shared.reader, verbose);
    const Library library = readLibrary(shared.reader, verbose);
    double kindPrecision = 1.0;
    for (const QString& kind :
         {u"chat"_s, u"email"_s, u"code"_s, u"terminal"_s, u"spreadsheet"_s, u"settings"_s, u"web page"_s}) {
        if (const auto found = library.kinds.kinds.find(kind); found != library.kinds.kinds.end())
            kindPrecision = std::min(kindPrecision, KindScore::precision(found->second));
    }
    double kindRecall = 1.0;
    for (const QString& kind : {u"chat"_s, u"code"_s, u"terminal"_s})
        if (const auto found = library.kinds.kinds.find(kind); found != library.kinds.kinds.end())
            kindRecall = std::min(kindRecall, KindScore::recall(found->second));
        else
            kindRecall = 0;

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
        .add(u"same_order_pct"_s, sameOrder, 1)
        .add(u"address_bar_pct"_s, addressBars, 1)
        .add(u"dialog_title_pct"_s, dialogTitles, 1)
        .add(u"written_scheme_kept_pct"_s, writtenSchemes, 1)
        .add(u"extra_words_pct"_s, library.extras.percent())
        .add(u"files_with_extra_words"_s, library.extras.filesWithExtra, 0)
        .add(u"library_word_recall"_s, library.recall.ratio(), 4)
        .add(u"library_same_order_pct"_s, 100.0 * library.inDrawnOrder / std::max(1, library.files), 1)
        .add(u"library_kind_precision_min"_s, kindPrecision, 3)
        .add(u"library_kind_recall_min"_s, kindRecall, 3)
        .add(u"ratio_vs_tesseract_cli"_s, oursMs / cliMs)
        .add(u"helped_ms_per_image"_s, splitMs, 1)
        .add(u"files_per_s_1"_s, rate1)
        .add(u"files_per_s_2"_s, rate2)
        .add(u"files_per_s_4"_s, rate4)
        .print();
    return 0;
}
