// Gallery search over 100k screenshots with 1-2 KB of recognised text and a
// 100-d embedding each, on two cores: end-to-end latency of 1-, 2- and
// 3-word queries and of rare terms (made-up names that 1-50 screenshots
// hold), the GUI thread's share of a keystroke, how fast a search stops when
// replaced, and the memory the index adds. Queries are corrected as the
// application does, with the library's words before the dictionary's, and
// look for the library words related in meaning to their own: what those
// cost is measured against the same search without them, and the memory,
// building and questions of their index on their own. The
// peer is an SQLite FTS5 trigram index over the same texts, answering the
// same substring terms in the same run. Also the spelling checker that knows the
// library's words: how long counting them takes, their memory, and the time
// to correct one misspelt word (with the library's words alone, and with a
// vocabulary swollen by half a million words of recognition noise).

#include "core/Clock.h"
#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/Workers.h"
#include "generators/ScreenshotCorpus.h"
#include "generators/TextGenerator.h"
#include "generators/TextLibrary.h"
#include "ingest/EmbeddingService.h"
#include "library/GallerySearch.h"
#include "library/GalleryViewModel.h"
#include "library/LibrarySpellChecker.h"
#include "library/RelatedWords.h"
#include "library/SearchIndex.h"
#include "platform/HunspellSpellChecker.h"
#include "platform/Trash.h"
#include "support/BenchSupport.h"
#include "support/FakeLibrary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

using namespace Qt::StringLiterals;

namespace {
Workers& workers()
{
    static Workers instance;
    return instance;
}

// The application's spelling: the library's words before Hunspell en_US.
std::shared_ptr<LibrarySpellChecker> appSpelling()
{
    static const auto checker = std::make_shared<LibrarySpellChecker>(std::make_shared<HunspellSpellChecker>());
    return checker;
}

EmbeddingService& appEmbedding()
{
    static EmbeddingService embedding;
    return embedding;
}

// The library words related in meaning, as the application finds them.
std::shared_ptr<RelatedWords> appRelatedWords()
{
    static const auto related = std::make_shared<RelatedWords>([] { return appEmbedding().encoder(); });
    return related;
}

// The application's search: its spelling, the sentence model and the related
// words; `withMeaning` false leaves out the related words, to tell what they
// cost.
std::shared_ptr<const GallerySearch> appSearch(bool withMeaning = true)
{
    const auto make = [](std::shared_ptr<const RelatedWords> related) {
        return std::make_shared<GallerySearch>(
            appSpelling(), [](const QString& text) { return appEmbedding().generateEmbedding(text); },
            workers().search().threads(), std::move(related));
    };
    static const auto search = make(appRelatedWords());
    static const auto plain = make(nullptr);
    return withMeaning ? search : plain;
}
constexpr int kScreenshots = 100'000;
constexpr int kCores = 2;
constexpr int kRuns = 7;
constexpr int kRareQueries = 6;
const std::atomic<bool> kRunning{false};

struct Query
{
    QString text;
    int words = 0;
};

QList<Query> queries()
{
    return {{u"receipt"_s, 1},
            {u"password"_s, 1},
            {u"garlic"_s, 1},
            {u"terminal"_s, 1},
            {u"thunderstorms"_s, 1},
            {u"payment receipt"_s, 2},
            {u"wifi password"_s, 2},
            {u"weather forecast"_s, 2},
            {u"movie tickets"_s, 2},
            {u"hotel booking"_s, 2},
            {u"bank account balance"_s, 3},
            {u"package delivery tracking"_s, 3},
            {u"login verification code"_s, 3},
            {u"job offer letter"_s, 3},
            {u"git merge conflict"_s, 3}};
}

struct Latencies
{
    std::vector<double> byWords[4];
    std::vector<double> all;
    std::vector<double> firstRuns; // spelling not yet remembered
    int withoutHits = 0;
};

// A figure over no query, or over queries that find nothing, would read as
// a pass: the bench stops instead.
void require(bool condition, const char* failure)
{
    if (condition)
        return;
    std::fprintf(stderr, "search bench: %s; no RESULT\n", failure);
    std::exit(1);
}

// Words of five letters or more that only a few screenshots hold (one to
// fifty of them), spread over that range: what a user looks for when the
// screen had a name, a code or a term of its own.
QList<Query> rareQueries(const QList<Screenshot>& library, int count)
{
    QHash<QString, int> documents;
    for (const Screenshot& s : library) {
        QSet<QString> seen;
        for (const QString& word : s.ocrText.value_or(QString()).toLower().split(u' ', Qt::SkipEmptyParts)) {
            if (word.size() >= 5 && std::all_of(word.begin(), word.end(), [](QChar c) { return c.isLetter(); }))
                seen.insert(word);
        }
        for (const QString& word : seen)
            ++documents[word];
    }
    QList<std::pair<int, QString>> rare;
    for (auto it = documents.cbegin(); it != documents.cend(); ++it) {
        if (it.value() <= 50)
            rare.append({it.value(), it.key()});
    }
    std::sort(rare.begin(), rare.end());
    if (rare.size() < count)
        return {};
    QList<Query> chosen;
    for (int i = 0; i < count && !rare.isEmpty(); ++i)
        chosen.append({rare.at(qsizetype(i) * (rare.size() - 1) / std::max(1, count - 1)).second, 1});
    return chosen;
}

// The latencies of each search in `searches`, their runs taken in turns so
// that a change in the machine's load weighs on all of them alike.
std::vector<Latencies> searchLatencies(const std::vector<const GallerySearch*>& searches,
                                       const QList<Screenshot>& library, SearchIndex::Cache& cache,
                                       const QList<Query>& asked)
{
    std::vector<Latencies> latencies(searches.size());
    for (const Query& query : asked) {
        std::vector<std::vector<double>> runs(searches.size());
        std::vector<qsizetype> found(searches.size());
        for (int run = 0; run < kRuns; ++run) {
            for (size_t s = 0; s < searches.size(); ++s) {
                QElapsedTimer timer;
                timer.start();
                found[s] = searches[s]->search(query.text, library, nullptr, cache, 1, kRunning).size();
                runs[s].push_back(msSince(timer));
            }
        }
        std::printf("  %-28s", qPrintable(query.text));
        for (size_t s = 0; s < searches.size(); ++s) {
            Latencies& of = latencies[s];
            of.firstRuns.push_back(runs[s].front());
            of.withoutHits += found[s] == 0;
            const double typical = median(runs[s]);
            of.byWords[query.words].push_back(typical);
            of.all.push_back(typical);
            std::printf(" %7.1f ms (first %6.1f ms), %6lld hits", typical, runs[s].front(), qlonglong(found[s]));
        }
        std::printf("\n");
    }
    return latencies;
}

// The peer: the same five fields in an FTS5 table with the trigram
// tokenizer (case-insensitive), asked for the rows holding any term of the
// query, as a substring index answers the text part of a search.
class Fts5Peer
{
public:
    explicit Fts5Peer(const QString& path)
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        m_db.reset(db);
        sqliteExec(m_db.get(), "PRAGMA journal_mode=OFF");
        sqliteExec(m_db.get(), "PRAGMA synchronous=OFF");
        sqliteExec(m_db.get(), "CREATE VIRTUAL TABLE shots USING fts5(filename, custom_tags, tags, notes, ocr, "
                               "tokenize='trigram')");
    }

    void load(const QList<Screenshot>& library)
    {
        sqliteExec(m_db.get(), "BEGIN");
        SqliteStatement insert(m_db.get(), "INSERT INTO shots VALUES (?, ?, ?, ?, ?)");
        bool written = true;
        for (const Screenshot& s : library) {
            insert.bindText(1, s.filename);
            insert.bindText(2, s.customTags.join(u'\n'));
            insert.bindText(3, s.tags.join(u'\n'));
            insert.bindText(4, s.userNotes.value_or(QString()));
            insert.bindText(5, s.ocrText.value_or(QString()));
            written = insert.stepDone() && written;
            insert.reset();
        }
        written = sqliteExec(m_db.get(), "COMMIT") && written;
        written = sqliteExec(m_db.get(), "INSERT INTO shots(shots) VALUES('optimize')") && written;
        require(written, "the FTS5 peer could not be written (a full disk?)");
    }

    qsizetype rowsMatching(const QStringList& terms)
    {
        QStringList phrases;
        for (QString term : terms)
            phrases.append(u'"' + term.replace(u'"', u"\"\""_s) + u'"');
        SqliteStatement select(m_db.get(), "SELECT rowid FROM shots WHERE shots MATCH ?");
        select.bindText(1, phrases.join(u" OR "_s));
        qsizetype rows = 0;
        int status = SQLITE_ROW;
        while ((status = select.step()) == SQLITE_ROW)
            ++rows;
        require(status == SQLITE_DONE, "the FTS5 peer failed to answer");
        return rows;
    }

private:
    SqliteConnection m_db;
};

std::vector<double> peerLatencies(Fts5Peer& peer, const GallerySearch& search, const QList<Query>& asked)
{
    std::vector<double> latencies;
    for (const Query& query : asked) {
        const QStringList terms = *search.termSet(query.text, kRunning);
        std::vector<double> runs;
        qsizetype rows = 0;
        for (int run = 0; run < kRuns; ++run) {
            QElapsedTimer timer;
            timer.start();
            rows = peer.rowsMatching(terms);
            runs.push_back(msSince(timer));
        }
        latencies.push_back(median(runs));
        std::printf("  FTS5 %-23s %7.1f ms, %6lld rows\n", qPrintable(query.text), latencies.back(), qlonglong(rows));
    }
    return latencies;
}

struct SpellingFigures
{
    double buildMs = 0;
    double megabytes = 0;
    qsizetype words = 0;
    double msPerWord = 0;
};

// Misspellings of words the library holds, each corrected once by a checker
// without a dictionary (the dictionary's own suggestions cost what they cost
// today; the library's index is what is new).
SpellingFigures spellingFigures(const QList<Screenshot>& library, const QStringList& noise)
{
    SpellingFigures figures;
    QElapsedTimer timer;
    timer.start();
    std::shared_ptr<const Vocabulary> vocabulary = Vocabulary::build(library, kRunning);
    if (!noise.isEmpty()) {
        QList<Screenshot> noisy = library;
        noisy.first().ocrText = *noisy.first().ocrText + u' ' + noise.join(u' ');
        timer.restart();
        vocabulary = Vocabulary::build(noisy, kRunning);
    }
    figures.buildMs = msSince(timer);
    figures.megabytes = double(vocabulary->memoryBytes()) / 1048576.0;
    figures.words = vocabulary->size();
    LibrarySpellChecker checker(nullptr);
    checker.setVocabulary(vocabulary);
    const QStringList misspelt{u"recipt"_s,   u"pasword"_s,     u"thunderstrom"_s, u"garlik"_s,  u"delivry"_s,
                               u"tracknig"_s, u"verifcation"_s, u"conflcit"_s,     u"forcast"_s, u"balanse"_s};
    std::vector<double> times;
    for (const QString& word : misspelt) {
        QElapsedTimer one;
        one.start();
        checker.correction(word, kRunning);
        times.push_back(msSince(one));
    }
    figures.msPerWord = median(times);
    return figures;
}

// Words of four to twelve letters such as recognition makes of noise.
QStringList noiseWords(int count)
{
    std::mt19937 random(3);
    QStringList words;
    words.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString word;
        for (int n = std::uniform_int_distribution<int>(4, 12)(random); n > 0; --n)
            word += QChar(u'a' + std::uniform_int_distribution<int>(0, 25)(random));
        words.append(word);
    }
    return words;
}

// The lower-case words of the en_US dictionary, each added to 1 to 150
// screenshots (fewer far more often than many): the everyday words of the
// generated texts are too few and too common for a library's related words,
// which are the words that few screenshots hold.
void addDictionaryWords(QList<Screenshot>& library)
{
    QFile dictionary(u"/usr/share/hunspell/en_US.dic"_s);
    require(dictionary.open(QIODevice::ReadOnly), "the en_US dictionary cannot be read");
    std::mt19937 random(31);
    std::uniform_real_distribution<double> logHolders(0, std::log(151.0));
    std::uniform_int_distribution<qsizetype> anyScreenshot(0, library.size() - 1);
    qsizetype added = 0;
    while (!dictionary.atEnd()) {
        const QString word = QString::fromUtf8(dictionary.readLine()).section(u'/', 0, 0).trimmed();
        if (word.size() < 3 || !std::all_of(word.begin(), word.end(), [](QChar c) { return c >= u'a' && c <= u'z'; }))
            continue;
        for (int holders = std::max(1, int(std::exp(logHolders(random)))); holders > 0; --holders) {
            Screenshot& screenshot = library[anyScreenshot(random)];
            screenshot.ocrText = *screenshot.ocrText + u' ' + word;
        }
        ++added;
    }
    std::printf("%lld dictionary words added\n", qlonglong(added));
}

struct RelatedFigures
{
    double buildMs = 0;
    double megabytes = 0;  // the index's own count
    double residentMB = 0; // what the process grew by
    qsizetype words = 0;
    double msPerWord = 0; // asked for the first time
};

// Indexes the library's words for the related words, as the application
// does after each count, and asks once about every word of the queries.
RelatedFigures relatedFigures(const std::shared_ptr<const Vocabulary>& vocabulary, const QList<Query>& asked)
{
    appEmbedding().encoder(); // the model, loaded before memory is counted
    RelatedFigures figures;
    const double before = residentMemoryMB();
    QElapsedTimer timer;
    timer.start();
    appRelatedWords()->setVocabulary(vocabulary, kRunning);
    figures.buildMs = msSince(timer);
    figures.residentMB = residentMemoryMB() - before;
    figures.megabytes = double(appRelatedWords()->memoryBytes()) / 1048576.0;
    figures.words = appRelatedWords()->size();
    std::vector<double> times;
    QSet<QString> seen;
    for (const Query& query : asked) {
        for (const QString& word : query.text.split(u' ')) {
            if (seen.contains(word))
                continue;
            seen.insert(word);
            QElapsedTimer one;
            one.start();
            appRelatedWords()->closestTo(word);
            times.push_back(msSince(one));
        }
    }
    figures.msPerWord = median(times);
    return figures;
}

// How long a search takes to return once it is cancelled halfway. The query
// has hits in every block, so no filter makes the search end before the
// cancellation arrives.
double cancellationLatency(const GallerySearch& search, const QList<Screenshot>& library, SearchIndex::Cache& cache)
{
    const QString query = u"login verification code"_s;
    QElapsedTimer whole;
    whole.start();
    search.search(query, library, nullptr, cache, 1, kRunning);
    const auto halfway = std::chrono::nanoseconds(whole.nsecsElapsed() / 2);
    std::vector<double> latencies;
    for (int run = 0; run < 15; ++run) {
        std::atomic<bool> cancelled{false};
        QElapsedTimer sinceCancel;
        std::thread worker([&] { search.search(query, library, nullptr, cache, 1, cancelled); });
        std::this_thread::sleep_for(halfway);
        sinceCancel.start();
        cancelled = true;
        worker.join();
        latencies.push_back(msSince(sinceCancel));
    }
    return median(latencies);
}

// Types queries into a real gallery one character at a time, each time
// waiting for the results, and measures the GUI thread's own work per
// keystroke (its CPU time, from taking the text to showing the results):
// the search's threads share the two cores with it, so wall-clock turns
// would also count the time it was waiting for a core.
std::vector<double> guiTimePerKeystroke(const QList<Screenshot>& library)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath(u"settings.conf"_s));
    DatabaseManager store(dir.filePath(u"store.sqlite"_s));
    SystemTrash trash;
    FakeLibrary monitor;
    GalleryViewModel model(GalleryViewModel::Services{monitor, store, trash, settings, workers(), appSearch()});
    bool updated = false;
    QObject::connect(&model, &GalleryViewModel::sectionsChanged, [&updated] { updated = true; });
    const auto waitForSections = [&] {
        while (!updated)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        updated = false;
    };
    monitor.setScreenshots(library);
    waitForSections();
    model.setSearchText(u"warm"_s); // folds the library once
    waitForSections();

    std::vector<double> perKey;
    for (const QString& text : {u"payment receipt"_s, u"wifi password"_s, u"bank account balance"_s}) {
        for (qsizetype length = 1; length <= text.size(); ++length) {
            const double before = threadCpuMs();
            model.setSearchText(text.left(length));
            waitForSections();
            perKey.push_back(threadCpuMs() - before);
        }
    }
    return perKey;
}
} // namespace

int main(int argc, char** argv)
{
    keepToCores(kCores);
    QCoreApplication app(argc, argv);
    std::printf("search threads: %d\n", workers().search().maxThreadCount());
    Console::setSink([](const QString&) {});

    std::printf("generating %d screenshots...\n", kScreenshots);
    QList<Screenshot> generated = TextLibrary::generate(kScreenshots);
    // The made-up names, chosen before the dictionary's words join them.
    const QList<Query> rare = rareQueries(generated, kRareQueries);
    addDictionaryWords(generated);
    const QList<Screenshot> library = std::move(generated);
    const std::shared_ptr<const Vocabulary> vocabulary = Vocabulary::build(library, kRunning);
    appSpelling()->setVocabulary(vocabulary);
    const RelatedFigures related = relatedFigures(vocabulary, queries());
    std::printf("related words: %lld words indexed in %.0f ms, %.1f MB (resident +%.1f MB), %.3f ms per query word\n",
                qlonglong(related.words), related.buildMs, related.megabytes, related.residentMB, related.msPerWord);
    const auto search = appSearch();
    search->search(u"warm up"_s, QList<Screenshot>{library.first()}, kRunning); // dictionary, word vectors

    const double rssBefore = residentMemoryMB();
    SearchIndex::Cache cache;
    QElapsedTimer build;
    build.start();
    const auto index = cache.indexFor(library, 1, workers().search().threads(), kRunning);
    const double buildMs = msSince(build);
    const double rssAfter = residentMemoryMB();
    std::printf("index: %.1f ms to fold, %.1f MB of folded text (resident +%.1f MB), %zu blocks\n", buildMs,
                double(index->memoryBytes()) / 1048576.0, rssAfter - rssBefore, index->blocks().size());

    std::printf("queries, with related words | without:\n");
    const std::vector<const GallerySearch*> both{search.get(), appSearch(false).get()};
    const std::vector<Latencies> common = searchLatencies(both, library, cache, queries());
    const Latencies& ours = common[0];
    const Latencies& plain = common[1];
    require(rare.size() == kRareQueries, "the library holds too few words of five letters on 1-50 screenshots");
    std::printf("rare terms:\n");
    for (const Query& query : rare) {
        const std::string folded = index->folder().forContains(query.text);
        const auto passedOver =
            std::count_if(index->blocks().begin(), index->blocks().end(),
                          [&](const auto& placement) { return !placement.block->mayContain(folded); });
        std::printf("  %-28s passed over by %lld of %zu blocks' gram filters\n", qPrintable(query.text),
                    qlonglong(passedOver), index->blocks().size());
    }
    const std::vector<Latencies> rareBoth = searchLatencies(both, library, cache, rare);
    const Latencies& oursRare = rareBoth[0];
    require(oursRare.withoutHits == 0, "a rare term found no screenshot");
    std::vector<double> relatedCosts;
    for (const auto& [with, without] : {std::pair{&ours, &plain}, {&rareBoth[0], &rareBoth[1]}}) {
        for (size_t i = 0; i < with->all.size(); ++i)
            relatedCosts.push_back(with->all[i] - without->all[i]);
    }

    QTemporaryDir dir;
    Fts5Peer peer(dir.filePath(u"fts5.sqlite"_s));
    QElapsedTimer loading;
    loading.start();
    peer.load(library);
    std::printf("FTS5 trigram index: %.1f s to build\n", msSince(loading) / 1000.0);
    const std::vector<double> theirs = peerLatencies(peer, *search, queries());
    const std::vector<double> theirsRare = peerLatencies(peer, *search, rare);

    const SpellingFigures spelling = spellingFigures(library, {});
    const SpellingFigures noisySpelling = spellingFigures(library, noiseWords(500'000));
    for (const SpellingFigures& figures : {spelling, noisySpelling})
        std::printf("spelling: %lld words counted in %.0f ms, %.1f MB, %.3f ms per misspelt word\n",
                    qlonglong(figures.words), figures.buildMs, figures.megabytes, figures.msPerWord);

    const double cancelMs = cancellationLatency(*search, library, cache);
    const std::vector<double> perKey = guiTimePerKeystroke(library);
    Console::setSink({});

    const double oursMedian = median(ours.all);
    const double theirsMedian = median(theirs);
    std::printf("first runs (spelling not remembered yet): median %.1f ms, max %.1f ms\n", median(ours.firstRuns),
                *std::max_element(ours.firstRuns.begin(), ours.firstRuns.end()));
    std::printf("GUI thread per keystroke: median %.2f ms, max %.2f ms over %zu keystrokes\n", median(perKey),
                *std::max_element(perKey.begin(), perKey.end()), perKey.size());
    ResultLine(u"search"_s)
        .add(u"p50_ms_1w"_s, median(ours.byWords[1]), 1)
        .add(u"p50_ms_2w"_s, median(ours.byWords[2]), 1)
        .add(u"p50_ms_3w"_s, median(ours.byWords[3]), 1)
        .add(u"p50_ms"_s, oursMedian, 1)
        .add(u"p50_ms_without_related"_s, median(plain.all), 1)
        .add(u"related_extra_ms"_s, median(relatedCosts), 1)
        .add(u"related_extra_max_ms"_s, *std::max_element(relatedCosts.begin(), relatedCosts.end()), 1)
        .add(u"related_ms_per_word"_s, related.msPerWord, 3)
        .add(u"related_build_ms"_s, related.buildMs, 0)
        .add(u"related_mb"_s, related.megabytes, 1)
        .add(u"related_rss_mb"_s, related.residentMB, 1)
        .add(u"gui_ms_per_key"_s, median(perKey), 2)
        .add(u"cancel_ms"_s, cancelMs, 2)
        .add(u"extra_rss_mb"_s, rssAfter - rssBefore, 1)
        .add(u"ratio_vs_fts5"_s, theirsMedian > 0 ? oursMedian / theirsMedian : 0, 2)
        .add(u"p50_ms_rare"_s, median(oursRare.all), 1)
        .add(u"p50_ms_rare_without_related"_s, median(rareBoth[1].all), 1)
        .add(u"ratio_vs_fts5_rare"_s, median(theirsRare) > 0 ? median(oursRare.all) / median(theirsRare) : 0, 2)
        .add(u"spell_ms_per_word"_s, std::max(spelling.msPerWord, noisySpelling.msPerWord), 3)
        .add(u"vocabulary_build_ms"_s, spelling.buildMs, 0)
        .add(u"vocabulary_mb"_s, spelling.megabytes, 1)
        .add(u"noisy_vocabulary_mb"_s, noisySpelling.megabytes, 1)
        .print();
    return 0;
}
