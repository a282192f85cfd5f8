// Findability: screens of fifteen kinds are drawn, analysed by the
// application's own analysis (text recognition, labels, embedding) and
// searched with the queries of FindabilitySet, worded as users remember
// things. For each kind of query: how often the sought screen is first
// (top-1), among the first three (top-3), and the mean reciprocal rank. The
// peer is an SQLite FTS5 index of the same recognised texts, ranked by bm25.
// Also the precision and recall of the screen-type labels against the kind
// each screen was drawn as.
//
// Files without text lie among the screens (recordings, wallpapers, a
// picture cut short), named and tagged with words near some queries in
// meaning, and a few screens carry such custom tags: how many queries have
// a file without text among the first three (textless_top3), and for how
// many every result holding the query's own words ranks above every result
// found by meaning alone (exact_first_pct).
//
// Paraphrases are split by their position in the set (FindabilitySet::Query::
// heldOut): the search is tuned on one half and judged on the other, and both
// are reported.
//
// bench_findability [--verbose] [--show-held-out]   (--verbose: every query with
// both ranks, the library words related to its own, and what was read on the
// screens not found first; the held-out paraphrases only with --show-held-out,
// so that tuning does not look at them)

#include "core/Console.h"
#include "core/LinkDetector.h"
#include "core/OmpThreadLimit.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/Workers.h"
#include "generators/FindabilitySet.h"
#include "generators/MediaGenerator.h"
#include "ingest/AnalysisPipeline.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ServiceAnalyzer.h"
#include "library/GallerySearch.h"
#include "library/LibrarySpellChecker.h"
#include "library/RelatedWords.h"
#include "platform/HunspellSpellChecker.h"
#include "support/BenchSupport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <array>
#include <cstdio>
#include <map>
#include <random>

using namespace Qt::StringLiterals;

namespace {
using QueryKind = FindabilitySet::QueryKind;
constexpr quint32 kSeed = 37;
constexpr int kKinds = int(QueryKind::count);
const std::atomic<bool> kRunning{false};

QSize screenSize(int index)
{
    static const QSize sizes[] = {{1440, 900}, {1280, 800}, {1680, 1050}, {1920, 1080}, {2560, 1600}};
    return sizes[index % int(std::size(sizes))];
}

// Every screen as a file, dated within the last 90 days, newest first as a
// library lists them.
QList<Screenshot> writeScreens(const FindabilitySet& set, const QString& folder, QList<QStringList>& drawnLines)
{
    std::mt19937 random(kSeed);
    const QDateTime now = QDateTime::currentDateTime();
    QList<Screenshot> library;
    drawnLines.clear();
    for (qsizetype i = 0; i < set.screens.size(); ++i) {
        const ScreenTypes::Drawing drawing = ScreenTypes::draw(set.screens[i], screenSize(int(i)), quint32(i));
        const QDateTime taken = now.addSecs(-std::uniform_int_distribution<qint64>(600, 90LL * 86400)(random));
        const QString name = u"Screenshot %1 (%2).png"_s.arg(taken.toString(u"yyyy-MM-dd 'at' HH.mm.ss"_s)).arg(i);
        const QString path = folder + u'/' + name;
        if (!drawing.image.save(path))
            qFatal("cannot write %s", qPrintable(path));
        Screenshot screenshot;
        screenshot.id = QUuid::createUuidV5(QUuid(), QString::number(i));
        screenshot.filePath = path;
        screenshot.filename = name;
        screenshot.dateCreated = taken;
        library.append(screenshot);
        drawnLines.append(drawing.lines);
    }
    return library;
}

// The files without text after the screens, taken in the last month (a
// recording made yesterday is as recent as the screens sought).
void writeTextless(const FindabilitySet& set, const QString& folder, QList<Screenshot>& library)
{
    using Kind = FindabilitySet::TextlessFile::Kind;
    std::mt19937 random(kSeed + 1);
    MediaGenerator media(kSeed);
    const QDateTime now = QDateTime::currentDateTime();
    int pictures = 0;
    for (const FindabilitySet::TextlessFile& file : set.textless) {
        const QString path = folder + u'/' + file.name;
        bool written = false;
        if (file.kind == Kind::recording) {
            written = MediaGenerator::writeRecording(path, {640, 400}, 1.0, 10);
        } else if (file.kind == Kind::wallpaper) {
            const bool photo = pictures++ % 2 == 0;
            written = (photo ? media.photo({1920, 1080})
                             : media.wallpaper({1920, 1080}, MediaGenerator::Wallpaper::flatShapes))
                          .save(path);
        } else {
            // The first part of a picture only, as a copy cut short leaves it.
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            media.photo({1280, 800}).save(&buffer, "PNG");
            QFile cut(path);
            written = cut.open(QIODevice::WriteOnly) && cut.write(buffer.data().left(2000)) == 2000;
        }
        if (!written)
            qFatal("cannot write %s", qPrintable(path));
        Screenshot screenshot;
        screenshot.id = QUuid::createUuidV5(QUuid(), file.name);
        screenshot.filePath = path;
        screenshot.filename = file.name;
        screenshot.dateCreated = now.addSecs(-std::uniform_int_distribution<qint64>(600, 30LL * 86400)(random));
        screenshot.customTags = file.customTags;
        library.append(screenshot);
    }
}

// The application's analysis of every file, four at a time as its pipeline runs.
void analyse(QList<Screenshot>& library, const QString& folder, EmbeddingService& embedding)
{
    Workers workers;
    ServiceAnalyzer analyzer(embedding, workers);
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
    QtConcurrent::blockingMap(&pool, library, [&](Screenshot& screenshot) {
        const std::optional<ProcessedFileResult> result = AnalysisPipeline::processFile(analyzer, screenshot, folder);
        if (!result)
            qFatal("no analysis for %s", qPrintable(screenshot.filename));
        screenshot.ocrText = result->ocrText;
        screenshot.tags = result->tags;
        screenshot.embedding = result->embedding;
    });
}

// The peer: the same recognised texts, file names and labels in FTS5
// (unicode61, diacritics folded), every word of the query as a prefix, any
// of them matching, ranked by bm25.
class Fts5Peer
{
public:
    explicit Fts5Peer(const QList<Screenshot>& library)
    {
        sqlite3* db = nullptr;
        sqlite3_open(":memory:", &db);
        m_db.reset(db);
        sqliteExec(m_db.get(), "CREATE VIRTUAL TABLE shots USING fts5(filename, tags, ocr, "
                               "tokenize='unicode61 remove_diacritics 2')");
        SqliteStatement insert(m_db.get(), "INSERT INTO shots(rowid, filename, tags, ocr) VALUES (?, ?, ?, ?)");
        for (qsizetype i = 0; i < library.size(); ++i) {
            insert.bindInt64(1, i);
            insert.bindText(2, library[i].filename);
            insert.bindText(3, library[i].tags.join(u' '));
            insert.bindText(4, library[i].ocrText.value_or(QString()));
            insert.step();
            insert.reset();
        }
    }

    // Positions in the library, best first.
    QList<qsizetype> search(const QString& query)
    {
        static const QRegularExpression nonWord(u"[^\\p{L}\\p{N}]+"_s);
        QStringList words;
        for (const QString& word : query.split(nonWord, Qt::SkipEmptyParts))
            words.append(u'"' + word + u"\"*"_s);
        if (words.isEmpty())
            return {};
        SqliteStatement select(m_db.get(), "SELECT rowid FROM shots WHERE shots MATCH ? ORDER BY bm25(shots)");
        select.bindText(1, words.join(u" OR "_s));
        QList<qsizetype> found;
        while (select.step() == SQLITE_ROW)
            found.append(qsizetype(select.columnInt64(0)));
        return found;
    }

private:
    SqliteConnection m_db;
};

struct Tally
{
    int queries = 0;
    int top1 = 0;
    int top3 = 0;
    double reciprocalRanks = 0;

    void add(int rank) // 0: not found
    {
        ++queries;
        top1 += rank == 1;
        top3 += rank >= 1 && rank <= 3;
        reciprocalRanks += rank > 0 ? 1.0 / rank : 0;
    }
    double top1Pct() const { return queries ? 100.0 * top1 / queries : 0; }
    double top3Pct() const { return queries ? 100.0 * top3 / queries : 0; }
    double mrr() const { return queries ? reciprocalRanks / queries : 0; }
};

int rankOf(qsizetype target, const QList<qsizetype>& found)
{
    const qsizetype at = found.indexOf(target);
    return at < 0 ? 0 : int(at + 1);
}

// A query of the text kinds must be on its screen as drawn, a misspelling
// must not be, and a paraphrase must not be there whole: otherwise the set
// measures something else than it says.
void checkQueries(const FindabilitySet& set, const QList<QStringList>& drawnLines)
{
    for (const FindabilitySet::Query& query : set.queries) {
        const QString drawn = drawnLines[query.target].join(u'\n');
        const bool onScreen = drawn.contains(query.text, Qt::CaseInsensitive);
        const bool shouldBe = query.kind != QueryKind::misspelt && query.kind != QueryKind::paraphrase;
        if (onScreen != shouldBe)
            qFatal("query \"%s\" (%s) is %s its screen", qPrintable(query.text),
                   qPrintable(FindabilitySet::kindName(query.kind)), onScreen ? "on" : "not on");
    }
}

// The files without text and the custom tags must hold no term of any query
// (its words, their spelling correction): what finds them then is meaning
// alone.
void checkMeaningOnly(const FindabilitySet& set, const GallerySearch& search)
{
    QStringList texts;
    for (const FindabilitySet::TextlessFile& file : set.textless)
        texts << file.name << file.customTags;
    for (const QStringList& tags : set.customTags)
        texts << tags;
    for (const FindabilitySet::Query& query : set.queries) {
        for (const QString& term : search.termSet(query.text, kRunning).value_or(QStringList())) {
            for (const QString& text : texts) {
                if (text.contains(term, Qt::CaseInsensitive))
                    qFatal("\"%s\" holds \"%s\" of query \"%s\"", qPrintable(text), qPrintable(term),
                           qPrintable(query.text));
            }
        }
    }
}

// Whether a letter or a digit was read in the file.
bool hasText(const Screenshot& screenshot)
{
    const QString text = screenshot.ocrText.value_or(QString());
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// Whether `term` is in any field of the screenshot.
bool holds(const Screenshot& screenshot, const QString& term)
{
    return screenshot.filename.contains(term, Qt::CaseInsensitive) ||
           !screenshot.customTags.filter(term, Qt::CaseInsensitive).isEmpty() ||
           !screenshot.tags.filter(term, Qt::CaseInsensitive).isEmpty() ||
           screenshot.userNotes.value_or(QString()).contains(term, Qt::CaseInsensitive) ||
           screenshot.ocrText.value_or(QString()).contains(term, Qt::CaseInsensitive);
}

// Every result holding the query's own words (all the terms of one of its
// readings: the query, its words, a spelling correction) above every result
// holding none of its terms, found by meaning alone.
bool ownWordsFirst(const QList<qsizetype>& found, const QList<Screenshot>& library, const QList<QStringList>& readings)
{
    bool meaningOnlySeen = false;
    for (const qsizetype position : found) {
        const Screenshot& screenshot = library[position];
        const auto holdsAll = [&](const QStringList& reading) {
            return std::all_of(reading.begin(), reading.end(),
                               [&](const QString& term) { return holds(screenshot, term); });
        };
        const auto holdsAny = [&](const QStringList& reading) {
            return std::any_of(reading.begin(), reading.end(),
                               [&](const QString& term) { return holds(screenshot, term); });
        };
        if (meaningOnlySeen && std::any_of(readings.begin(), readings.end(), holdsAll))
            return false;
        meaningOnlySeen = meaningOnlySeen || std::none_of(readings.begin(), readings.end(), holdsAny);
    }
    return true;
}

struct LabelScore
{
    double precision = 0;
    double recall = 0;
    int labelled = 0;
    // Per kind: screens drawn as it, labelled as it, and both.
    struct Counts
    {
        int drawn = 0;
        int labelled = 0;
        int right = 0;
        double precision() const { return labelled ? double(right) / labelled : 1.0; }
        double recall() const { return drawn ? double(right) / drawn : 1.0; }
    };
    std::map<QString, Counts> kinds;
};

// Labels that name a screen kind, against the kind each screen was drawn as.
LabelScore labelScore(const FindabilitySet& set, const QList<Screenshot>& library)
{
    int predicted = 0;
    int correct = 0;
    int found = 0;
    LabelScore score;
    for (qsizetype i = 0; i < set.screens.size(); ++i) {
        bool hit = false;
        bool any = false;
        ++score.kinds[set.screens[i].kind].drawn;
        for (const QString& tag : library[i].tags) {
            if (!ScreenTypes::kinds().contains(tag))
                continue;
            any = true;
            ++predicted;
            ++score.kinds[tag].labelled;
            if (tag == set.screens[i].kind) {
                ++correct;
                ++score.kinds[tag].right;
                hit = true;
            }
        }
        found += hit;
        score.labelled += any;
    }
    score.precision = predicted ? double(correct) / predicted : 0;
    score.recall = set.screens.isEmpty() ? 0 : double(found) / double(set.screens.size());
    return score;
}

// How alike the vectors of screens of different kinds are, on average: the
// closer to 0, the more the similarity bonus tells related screens apart.
double unrelatedCosine(const FindabilitySet& set, const QList<Screenshot>& library)
{
    double sum = 0;
    int pairs = 0;
    for (qsizetype i = 0; i < set.screens.size(); ++i) {
        for (qsizetype j = i + 1; j < set.screens.size(); ++j) {
            if (set.screens[i].kind == set.screens[j].kind || !library[i].embedding || !library[j].embedding)
                continue;
            sum += EmbeddingService::cosineSimilarity(*library[i].embedding, *library[j].embedding);
            ++pairs;
        }
    }
    return pairs ? sum / pairs : 0;
}
} // namespace

int main(int argc, char** argv)
{
    ensureOmpThreadLimit(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);
    const bool verbose = app.arguments().contains(u"--verbose"_s);
    const bool showHeldOut = app.arguments().contains(u"--show-held-out"_s);

    const FindabilitySet set = FindabilitySet::make(kSeed);
    QTemporaryDir folder;
    QList<QStringList> drawnLines;
    QList<Screenshot> library = writeScreens(set, folder.path(), drawnLines);
    writeTextless(set, folder.path(), library);
    for (auto tagged = set.customTags.cbegin(); tagged != set.customTags.cend(); ++tagged)
        library[tagged.key()].customTags = tagged.value();
    checkQueries(set, drawnLines);

    EmbeddingService embedding;
    QElapsedTimer timer;
    timer.start();
    analyse(library, folder.path(), embedding);
    WordRecall recall;
    for (qsizetype i = 0; i < set.screens.size(); ++i)
        recall.add(drawnLines[i], library[i].ocrText.value_or(QString()));
    std::printf("%lld screens analysed in %.1f s; %lld queries\n", qlonglong(library.size()), msSince(timer) / 1000,
                qlonglong(set.queries.size()));

    Console::setSink([](const QString&) {});
    // Spelling as the application corrects: the library's words, then Hunspell.
    const auto spelling =
        std::make_shared<LibrarySpellChecker>(std::make_shared<HunspellSpellChecker>(), LinkDetector::shared());
    const std::shared_ptr<const Vocabulary> vocabulary = Vocabulary::build(library, kRunning);
    spelling->setVocabulary(vocabulary);
    // Meaning as the application relates words: the library's own.
    const auto related = std::make_shared<RelatedWords>([&embedding] { return embedding.encoder(); });
    related->setVocabulary(vocabulary, kRunning);
    const GallerySearch search(
        spelling, [&embedding](const QString& text) { return embedding.generateEmbedding(text); },
        *QThreadPool::globalInstance(), related);
    checkMeaningOnly(set, search);
    Fts5Peer peer(library);
    std::array<Tally, kKinds> ours{}, theirs{};
    Tally oursAll, theirsAll;
    Tally paraphraseTuned, paraphraseHeldOut;
    int textlessTop3 = 0;
    int ownWordsFirstQueries = 0;
    for (const FindabilitySet::Query& query : set.queries) {
        QList<qsizetype> found;
        for (const Screenshot& screenshot : search.search(query.text, library, kRunning))
            found.append(library.indexOf(screenshot));
        // Every query is answered by the text of its screen.
        const bool textlessFirst = std::any_of(found.begin(), found.begin() + std::min<qsizetype>(3, found.size()),
                                               [&](qsizetype position) { return !hasText(library[position]); });
        textlessTop3 += textlessFirst;
        const bool ownFirst =
            ownWordsFirst(found, library, search.readings(query.text, kRunning).value_or(QList<QStringList>()));
        ownWordsFirstQueries += ownFirst;
        const int rank = rankOf(query.target, found);
        const int peerRank = rankOf(query.target, peer.search(query.text));
        ours[size_t(query.kind)].add(rank);
        theirs[size_t(query.kind)].add(peerRank);
        oursAll.add(rank);
        theirsAll.add(peerRank);
        if (query.kind == QueryKind::paraphrase)
            (query.heldOut ? paraphraseHeldOut : paraphraseTuned).add(rank);
        if (query.heldOut && !showHeldOut)
            continue;
        if (verbose)
            std::printf("  %-11s %-40s ours %3d  fts5 %3d\n", qPrintable(FindabilitySet::kindName(query.kind)),
                        qPrintable(u'"' + query.text + u'"'), rank, peerRank);
        if (verbose) {
            const std::optional<GallerySearch::Query> prepared = search.prepare(query.text, kRunning);
            QStringList related;
            for (const GallerySearch::RelatedTerm& term : prepared->related)
                related.append(u"%1 %2"_s.arg(term.word).arg(term.weight, 0, 'f', 2));
            if (!related.isEmpty())
                std::printf("      related: %s\n", qPrintable(related.join(u", "_s)));
        }
        if (verbose && textlessFirst)
            std::printf("      a file without text among the first three\n");
        if (verbose && !ownFirst)
            std::printf("      a match by meaning alone above one holding the query's words\n");
        if (verbose && rank != 1)
            std::printf("      read: %s [%s]\n", qPrintable(library[query.target].ocrText.value_or(QString())),
                        qPrintable(library[query.target].tags.join(u", "_s)));
    }
    Console::setSink({});

    std::printf("%-11s %7s %7s %7s | %7s %7s %7s  (top-1 %%, top-3 %%, MRR: ours | FTS5 bm25)\n", "kind", "top1",
                "top3", "mrr", "top1", "top3", "mrr");
    int kindsAhead = 0;
    for (int kind = 0; kind < kKinds; ++kind) {
        const Tally& a = ours[size_t(kind)];
        const Tally& b = theirs[size_t(kind)];
        kindsAhead += a.top3 > b.top3 || (a.top3 == b.top3 && a.top3 == a.queries);
        std::printf("%-11s %7.1f %7.1f %7.3f | %7.1f %7.1f %7.3f  (%d queries)\n",
                    qPrintable(FindabilitySet::kindName(QueryKind(kind))), a.top1Pct(), a.top3Pct(), a.mrr(),
                    b.top1Pct(), b.top3Pct(), b.mrr(), a.queries);
    }
    for (const auto& [name, tally] : {std::pair{"  tuned on", &paraphraseTuned}, {"  held out", &paraphraseHeldOut}})
        std::printf("%-11s %7.1f %7.1f %7.3f |                          (%d queries)\n", name, tally->top1Pct(),
                    tally->top3Pct(), tally->mrr(), tally->queries);
    LabelScore labels = labelScore(set, library);
    std::printf("screen-type labels: precision %.3f, recall %.3f, %d of %lld screens labelled\n", labels.precision,
                labels.recall, labels.labelled, qlonglong(library.size()));
    // The kinds a user searches by.
    double searchedPrecision = 1.0;
    double searchedRecall = 1.0;
    for (const QString& kind :
         {u"chat"_s, u"email"_s, u"code"_s, u"terminal"_s, u"spreadsheet"_s, u"settings"_s, u"web page"_s}) {
        const LabelScore::Counts& counts = labels.kinds[kind];
        std::printf("  %-12s drawn %2d, labelled %2d, right %2d: precision %.3f, recall %.3f\n", qPrintable(kind),
                    counts.drawn, counts.labelled, counts.right, counts.precision(), counts.recall());
        searchedPrecision = std::min(searchedPrecision, counts.precision());
        searchedRecall = std::min(searchedRecall, counts.recall());
    }
    if (verbose) {
        for (qsizetype i = 0; i < set.screens.size(); ++i) {
            const QStringList kinds =
                library[i].tags.filter(QRegularExpression(u"^("_s + ScreenTypes::kinds().join(u'|') + u")$"_s));
            if (kinds != QStringList{set.screens[i].kind})
                std::printf("  drawn as %-14s labelled [%s]: %s\n", qPrintable(set.screens[i].kind),
                            qPrintable(kinds.join(u", "_s)),
                            qPrintable(library[i].ocrText.value_or(QString()).left(160)));
        }
    }
    const double unrelated = unrelatedCosine(set, library);
    std::printf("mean cosine between screens of different kinds: %.3f\n", unrelated);

    ResultLine(u"findability"_s)
        .add(u"top1_pct"_s, oursAll.top1Pct(), 1)
        .add(u"top3_pct"_s, oursAll.top3Pct(), 1)
        .add(u"mrr"_s, oursAll.mrr(), 3)
        .add(u"misspelt_top3_pct"_s, ours[size_t(QueryKind::misspelt)].top3Pct(), 1)
        .add(u"paraphrase_top3_pct"_s, ours[size_t(QueryKind::paraphrase)].top3Pct(), 1)
        .add(u"paraphrase_tuned_top3_pct"_s, paraphraseTuned.top3Pct(), 1)
        .add(u"paraphrase_held_out_top3_pct"_s, paraphraseHeldOut.top3Pct(), 1)
        .add(u"paraphrase_held_out_queries"_s, paraphraseHeldOut.queries, 0)
        .add(u"fts5_top3_pct"_s, theirsAll.top3Pct(), 1)
        .add(u"fts5_mrr"_s, theirsAll.mrr(), 3)
        .add(u"kinds_ahead_of_fts5"_s, kindsAhead, 0)
        .add(u"label_precision"_s, labels.precision, 3)
        .add(u"label_recall"_s, labels.recall, 3)
        .add(u"searched_kind_precision_min"_s, searchedPrecision, 3)
        .add(u"searched_kind_recall_min"_s, searchedRecall, 3)
        .add(u"unrelated_cosine"_s, unrelated, 3)
        .add(u"word_recall"_s, recall.ratio(), 4)
        .add(u"textless_top3"_s, textlessTop3, 0)
        .add(u"exact_first_pct"_s, 100.0 * ownWordsFirstQueries / double(set.queries.size()), 1)
        .print();
    return 0;
}
