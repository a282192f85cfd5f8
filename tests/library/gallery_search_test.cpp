#include "core/Clock.h"
#include "ingest/EmbeddingService.h"
#include "library/GallerySearch.h"
#include "library/SearchIndex.h"
#include "library/SubstringFinder.h"
#include "library/TextFolder.h"
#include "platform/SpellChecker.h"
#include "support/Capture.h"

#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace Qt::StringLiterals;

namespace {
// Scores spread over every core, as in the application.
QThreadPool& searchThreads()
{
    static QThreadPool pool;
    return pool;
}
const std::atomic<bool> kRunning{false};

// Offers one fixed correction for one text.
class FixedSpellChecker : public SpellChecker
{
public:
    FixedSpellChecker(QString text, QString correction)
        : m_text(std::move(text))
        , m_correction(std::move(correction))
    {}

    std::optional<QString> correction(const QString& text, const std::atomic<bool>&) override
    {
        return text == m_text ? std::optional<QString>(m_correction) : std::nullopt;
    }

private:
    QString m_text;
    QString m_correction;
};

class GallerySearchTest : public ::testing::Test
{
protected:
    GallerySearchTest()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Clock::setSource([] { return now(); });
    }

    ~GallerySearchTest() override
    {
        Clock::setSource({});
        QLocale::setDefault(QLocale::system());
    }

    static QDateTime now() { return QDateTime(QDate(2024, 3, 15), QTime(12, 0)); }
    static QDateTime daysAgo(double days) { return now().addMSecs(-qint64(days * 86'400'000)); }

    static Screenshot shot(const QString& filename, const QDateTime& created = daysAgo(45))
    {
        Screenshot screenshot;
        screenshot.id = QUuid::createUuid();
        screenshot.filename = filename;
        screenshot.filePath = u"/home/user/Desktop/"_s + filename;
        screenshot.dateCreated = created;
        return screenshot;
    }

    GallerySearch::Query query(const QString& text, std::optional<QList<double>> embedding = std::nullopt,
                               std::shared_ptr<SpellChecker> spellChecker = std::make_shared<NullSpellChecker>())
    {
        GallerySearch search(
            std::move(spellChecker), [embedding](const QString&) { return embedding; }, searchThreads());
        return *search.prepare(text, kRunning);
    }

    static QStringList namesOf(const QList<GallerySearch::ScoredResult>& results)
    {
        QStringList names;
        for (const auto& result : results)
            names.append(result.screenshot.filename);
        return names;
    }

    static QList<GallerySearch::ScoredResult> ranked(const GallerySearch::Query& query,
                                                     const QList<Screenshot>& library,
                                                     const std::vector<qsizetype>* members = nullptr)
    {
        const auto index = SearchIndex::build(library, nullptr, searchThreads(), kRunning);
        return *GallerySearch::rank(query, library, *index, members, searchThreads(), kRunning);
    }
};

TEST_F(GallerySearchTest, TermSetHoldsTheQueryItsLongWordsAndAChangedCorrection)
{
    GallerySearch plain(std::make_shared<NullSpellChecker>(), {}, searchThreads());
    EXPECT_EQ(*plain.termSet(u"ab cd"_s, kRunning), QStringList{u"ab cd"_s});
    EXPECT_EQ(*plain.termSet(u"find\tmy  invoice\n"_s, kRunning),
              (QStringList{u"find\tmy  invoice\n"_s, u"find"_s, u"invoice"_s}));
    EXPECT_EQ(*plain.termSet(u"invoice"_s, kRunning), QStringList{u"invoice"_s});
    // Three UTF-16 units, two characters: too short.
    EXPECT_EQ(*plain.termSet(u"e\u0301x 👍🏽"_s, kRunning), QStringList{u"e\u0301x 👍🏽"_s});

    GallerySearch same(std::make_shared<FixedSpellChecker>(u"tax form"_s, u"tax form"_s), {}, searchThreads());
    EXPECT_EQ(*same.termSet(u"tax form"_s, kRunning), (QStringList{u"tax form"_s, u"tax"_s, u"form"_s}));

    GallerySearch corrected(std::make_shared<FixedSpellChecker>(u"recieve it"_s, u"receive it"_s), {}, searchThreads());
    EXPECT_EQ(*corrected.termSet(u"recieve it"_s, kRunning),
              (QStringList{u"recieve it"_s, u"recieve"_s, u"receive it"_s, u"receive"_s}));

    GallerySearch caseOnly(std::make_shared<FixedSpellChecker>(u"paris"_s, u"Paris"_s), {}, searchThreads());
    EXPECT_EQ(*caseOnly.termSet(u"paris"_s, kRunning), (QStringList{u"paris"_s, u"Paris"_s}));
}

TEST_F(GallerySearchTest, ScoresFollowTheTablesWithEachRowAtMostOnce)
{
    Screenshot tagged = shot(u"scan.png"_s);
    tagged.customTags = {u"Invoice"_s, u"INVOICE"_s, u"invoices 2024"_s};
    EXPECT_EQ(GallerySearch::score(tagged, query(u"invoice"_s)), 165); // 120 + 45, the "contains" rows not added

    Screenshot text = shot(u"scan.png"_s);
    text.ocrText = u"Your INVOICE is attached; invoice total 42"_s;
    EXPECT_EQ(GallerySearch::score(text, query(u"invoice"_s)), 35);

    Screenshot everywhere = shot(u"invoice march.png"_s);
    everywhere.customTags = {u"my invoices"_s};
    everywhere.tags = {u"invoice"_s, u"document"_s};
    everywhere.userNotes = u"pay the invoice"_s;
    everywhere.ocrText = u"Invoice"_s;
    // Query: 50 + 80 + 40 + 60 + 30; as a term: 10 + 20 + 15 + 15 + 5.
    EXPECT_EQ(GallerySearch::score(everywhere, query(u"invoice"_s)), 325);

    // A two-word query: the whole query once, then each long word as a term.
    Screenshot words = shot(u"scan.png"_s);
    words.ocrText = u"Payment received for the invoice"_s;
    words.tags = {u"receipt"_s};
    EXPECT_EQ(GallerySearch::score(words, query(u"invoice payment"_s)), 10); // 5 + 5, the query itself absent
    EXPECT_EQ(GallerySearch::score(words, query(u"invoice receipt"_s)), 20); // 5 + 15

    // Absent fields, and a visual tag that only contains the term.
    Screenshot bare = shot(u"scan.png"_s);
    bare.tags = {u"invoices"_s};
    EXPECT_EQ(GallerySearch::score(bare, query(u"invoice"_s)), 45); // 40 + 5
    EXPECT_EQ(GallerySearch::score(shot(u"scan.png"_s), query(u"invoice"_s)), 0);
}

TEST_F(GallerySearchTest, CorrectionsAndTheirWordsScoreAsTerms)
{
    Screenshot screenshot = shot(u"scan.png"_s);
    screenshot.ocrText = u"receive the parcel"_s;
    const auto spellChecker = std::make_shared<FixedSpellChecker>(u"recieve parcel"_s, u"receive parcel"_s);
    // "parcel" and "receive"; the query, "recieve" and the corrected query
    // are not in the text.
    EXPECT_EQ(GallerySearch::score(screenshot, query(u"recieve parcel"_s, std::nullopt, spellChecker)), 5 + 5);
    screenshot.ocrText = u"receive parcel"_s;
    EXPECT_EQ(GallerySearch::score(screenshot, query(u"recieve parcel"_s, std::nullopt, spellChecker)), 15);
}

TEST_F(GallerySearchTest, ContainsFollowsTheLocaleAndEqualityDoesNot)
{
    Screenshot screenshot = shot(u"CAFÉ MENU.png"_s);
    screenshot.customTags = {u"INVOICE"_s};
    screenshot.ocrText = u"cafe\u0301 crème brûlée"_s; // decomposed é
    EXPECT_EQ(GallerySearch::score(screenshot, query(u"café"_s)), 50 + 10 + 30 + 5);
    EXPECT_EQ(GallerySearch::score(screenshot, query(u"CRÈME"_s)), 35);

    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    Screenshot turkish = shot(u"INVOICE.png"_s);
    turkish.customTags = {u"INVOICE"_s};
    // In Turkish an upper-case I is a dotless ı: the name does not contain
    // "invoice", while the tag still equals it ignoring case.
    EXPECT_EQ(GallerySearch::score(turkish, query(u"invoice"_s)), 165);
}

TEST_F(GallerySearchTest, SimilarityAndRecencyBonuses)
{
    const QList<double> east{1, 0};
    Screenshot close = shot(u"a.png"_s);
    close.ocrText = u"Quarterly report"_s;
    close.embedding = QList<double>{4, 3}; // cosine 0.8: 4 points
    EXPECT_EQ(GallerySearch::score(close, query(u"zzz"_s, east)), 4.0);
    close.embedding = QList<double>{1, 3}; // cosine 0.316...
    EXPECT_NEAR(GallerySearch::score(close, query(u"zzz"_s, east)), 5 / std::sqrt(10.0), 1e-12);
    close.embedding = QList<double>{1, 5}; // cosine 0.196: no bonus, so no recency either
    close.dateCreated = now();
    EXPECT_EQ(GallerySearch::score(close, query(u"zzz"_s, east)), 0);
    close.embedding = QList<double>{4, 3};
    close.ocrText = u"zzz"_s;
    EXPECT_EQ(GallerySearch::score(close, query(u"zzz"_s, east)), 35 + 4 + 2);

    Screenshot text = shot(u"a.png"_s);
    text.ocrText = u"zzz"_s;
    const auto scoreAged = [&](const QDateTime& created) {
        text.dateCreated = created;
        return GallerySearch::score(text, query(u"zzz"_s));
    };
    EXPECT_DOUBLE_EQ(scoreAged(daysAgo(15)), 36);
    EXPECT_DOUBLE_EQ(scoreAged(daysAgo(30)), 35);
    EXPECT_DOUBLE_EQ(scoreAged(daysAgo(-15)), 38); // from the future: no cap
    text.dateCreated = QDateTime();
    EXPECT_EQ(GallerySearch::score(text, query(u"zzz"_s)), 35);
}

TEST_F(GallerySearchTest, OnlyScoresAboveFourAreHitsAndTiesKeepTheirOrder)
{
    const QList<double> east{1, 0};
    Screenshot exactlyFour = shot(u"four.png"_s, daysAgo(45));
    exactlyFour.ocrText = u"Quarterly report"_s;
    exactlyFour.embedding = QList<double>{4, 3};
    Screenshot justAbove = shot(u"above.png"_s, daysAgo(29.85));
    justAbove.ocrText = u"Quarterly report"_s;
    justAbove.embedding = QList<double>{4, 3};
    Screenshot noEmbedding = shot(u"none.png"_s, now());
    const auto close = query(u"zzz"_s, east);
    EXPECT_GT(GallerySearch::score(justAbove, close), 4.0);
    EXPECT_LT(GallerySearch::score(justAbove, close), 4.011);
    EXPECT_EQ(namesOf(ranked(close, {exactlyFour, noEmbedding, justAbove})), QStringList{u"above.png"_s});

    QList<Screenshot> library;
    for (const QString& name : {u"first.png"_s, u"second.png"_s, u"third.png"_s, u"fourth.png"_s}) {
        library.append(shot(name));
        library.last().ocrText = u"zzz"_s;
    }
    library[2].userNotes = u"zzz"_s;
    const auto results = ranked(query(u"zzz"_s), library);
    EXPECT_EQ(namesOf(results), (QStringList{u"third.png"_s, u"first.png"_s, u"second.png"_s, u"fourth.png"_s}));
    EXPECT_EQ(results.first().score, 35 + 75);

    const std::vector<qsizetype> members{1, 3};
    EXPECT_EQ(namesOf(ranked(query(u"zzz"_s), library, &members)), (QStringList{u"second.png"_s, u"fourth.png"_s}));
}

// Meaning only adds: a screenshot holding every word of the query ranks
// above one found through words like them and its likeness to the query,
// however many points those earn; one in which nothing was read earns none
// from meaning; related words are not looked for in file names.
TEST_F(GallerySearchTest, MeaningNeverOutranksTheQuerysOwnWords)
{
    const QList<double> east{1, 0};
    GallerySearch::Query q = query(u"plane seat"_s, east);
    q.related = {{u"flight"_s, 0, 0.9}, {u"window"_s, 1, 0.9}};

    Screenshot own = shot(u"own.png"_s, daysAgo(45));
    own.ocrText = u"Seat 23A. The plane leaves at six"_s; // 5 + 5
    own.embedding = QList<double>{0, 1};
    Screenshot alike = shot(u"alike.png"_s, now());
    alike.ocrText = u"Flight LH 1172, window"_s; // 4.5 + 4.5, 5 for likeness, 2 for recency
    alike.embedding = east;
    Screenshot textless = shot(u"flight window.mov"_s, now());
    textless.customTags = {u"flight"_s};
    textless.embedding = east; // of its labels
    EXPECT_EQ(GallerySearch::score(own, q), 10);
    EXPECT_DOUBLE_EQ(GallerySearch::score(alike, q), 16);
    EXPECT_EQ(GallerySearch::score(textless, q), 0);
    EXPECT_EQ(namesOf(ranked(q, {alike, textless, own})), (QStringList{u"own.png"_s, u"alike.png"_s}));
}

TEST_F(GallerySearchTest, SearchPrintsItsLinesAndStopsWhenCancelled)
{
    ConsoleCapture console;
    GallerySearch search(std::make_shared<NullSpellChecker>(), {}, searchThreads());
    Screenshot hit = shot(u"report.png"_s);
    EXPECT_EQ(search.search(u"report"_s, QList<Screenshot>{hit, shot(u"other.png"_s)}, kRunning),
              QList<Screenshot>{hit});
    EXPECT_EQ(console.matching(u"🔍 Searching for: report"_s).size(), 1);
    const QRegularExpression completed(u"^⚡️ Search completed serially in \\d+\\.\\d{3}s\\. Found 1 results\\.$"_s);
    ASSERT_EQ(console.lines().size(), 2);
    EXPECT_TRUE(completed.match(console.lines().last()).hasMatch()) << console.lines().last().toStdString();

    console.clear();
    EXPECT_TRUE(search.search(u"report"_s, QList<Screenshot>{}, kRunning).isEmpty());
    EXPECT_TRUE(console.lines().last().endsWith(u"s. Found 0 results."_s));

    console.clear();
    const std::atomic<bool> cancelled{true};
    EXPECT_TRUE(search.search(u"report"_s, QList<Screenshot>{hit}, cancelled).isEmpty());
    EXPECT_EQ(console.lines(), QStringList{u"🔍 Searching for: report"_s});
}

// The index and its block-wise scans against the rules applied one
// screenshot at a time with Qt's own case-insensitive operations, over
// enough screenshots for many blocks.
class ReferenceTest : public GallerySearchTest
{
protected:
    struct Reference
    {
        double score = 0;
        bool holdsTerm = false;
        bool holdsEveryWord = false; // of a reading
    };

    // With a folder, "contains" compares the texts as that folder folds
    // them, as the index's folded copies did.
    static Reference referenceScore(const Screenshot& s, const GallerySearch::Query& query,
                                    const TextFolder* folder = nullptr)
    {
        const auto contains = [folder](const QString& field, const QString& t) {
            if (folder)
                return folder->forContains(field).find(folder->forContains(t)) != std::string::npos;
            return field.contains(t, Qt::CaseInsensitive);
        };
        const auto anyContains = [&](const QStringList& list, const QString& t) {
            return std::any_of(list.begin(), list.end(), [&](const QString& tag) { return contains(tag, t); });
        };
        const auto anyEquals = [](const QStringList& list, const QString& t) {
            return std::any_of(list.begin(), list.end(),
                               [&](const QString& tag) { return tag.compare(t, Qt::CaseInsensitive) == 0; });
        };
        const QString notes = s.userNotes.value_or(QString());
        const QString text = s.ocrText.value_or(QString());
        const auto holds = [&](const QString& t) {
            return contains(s.filename, t) || anyContains(s.customTags, t) || anyContains(s.tags, t) ||
                   contains(notes, t) || contains(text, t);
        };
        const bool holdsEveryWord =
            std::any_of(query.readings.begin(), query.readings.end(),
                        [&](const QStringList& r) { return std::all_of(r.begin(), r.end(), holds); });
        const QString& q = query.text;
        double score = 0;
        score += contains(s.filename, q) ? 50 : 0;
        score += anyEquals(s.customTags, q) ? 120 : anyContains(s.customTags, q) ? 80 : 0;
        score += anyContains(s.tags, q) ? 40 : 0;
        score += contains(notes, q) ? 60 : 0;
        score += contains(text, q) ? 30 : 0;
        for (const QString& t : query.terms) {
            score += contains(s.filename, t) ? 10 : 0;
            score += anyEquals(s.customTags, t) ? 45 : anyContains(s.customTags, t) ? 20 : 0;
            score += anyEquals(s.tags, t) ? 15 : anyContains(s.tags, t) ? 5 : 0;
            score += contains(notes, t) ? 15 : 0;
            score += contains(text, t) ? 5 : 0;
        }
        const bool holdsTerm = score > 0;
        // Meaning only where something was read.
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); })) {
            score += relatedPoints(s, query);
            if (query.embedding && s.embedding) {
                const double similarity = EmbeddingService::cosineSimilarity(*query.embedding, *s.embedding);
                score += similarity > 0.2 ? 5 * similarity : 0;
            }
        }
        if (score > 0) {
            const double days = double(query.nowMSecs - s.dateCreated.toMSecsSinceEpoch()) / 1000.0 / 86400.0;
            score += std::max(0.0, 2.0 * ((30.0 - days) / 30.0));
        }
        return {score, holdsTerm, holdsEveryWord};
    }

    // Each query word's best related word, found as a whole word anywhere
    // but in the file name, for the points of a term in the text.
    static double relatedPoints(const Screenshot& s, const GallerySearch::Query& query)
    {
        std::map<int, double> best;
        for (const GallerySearch::RelatedTerm& related : query.related) {
            const QRegularExpression word(u"(?<![\\p{L}\\p{N}\\p{M}_])"_s + QRegularExpression::escape(related.word) +
                                              u"(?![\\p{L}\\p{N}\\p{M}_])"_s,
                                          QRegularExpression::CaseInsensitiveOption);
            const auto holds = [&](const QString& field) { return field.contains(word); };
            const auto anyHolds = [&](const QStringList& list) { return std::any_of(list.begin(), list.end(), holds); };
            const bool found = anyHolds(s.customTags) || anyHolds(s.tags) || holds(s.userNotes.value_or(QString())) ||
                               holds(s.ocrText.value_or(QString()));
            const int points = found ? 5 : 0;
            best[related.queryWord] = std::max(best[related.queryWord], related.weight * points);
        }
        double sum = 0;
        for (const auto& [queryWord, points] : best)
            sum += points;
        return sum;
    }

    static QList<Screenshot> randomLibrary(int size, quint32 seed)
    {
        const QStringList words{u"invoice"_s, u"Invoice"_s, u"payment"_s,  u"ÉCLAIR"_s, u"éclair"_s, u"über"_s,
                                u"Über"_s,    u"receipt"_s, u"terminal"_s, u"error"_s,  u"build"_s,  u"meeting"_s,
                                u"ice"_s,     u"pay"_s,     u"x"_s,        u"ZONE"_s,   u"zone"_s};
        std::mt19937 random(seed);
        const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
        const auto sentence = [&](int count) {
            QStringList parts;
            for (int i = 0; i < count; ++i)
                parts.append(words.at(pick(int(words.size()))));
            return parts.join(pick(4) == 0 ? u"\n"_s : u" "_s);
        };
        QList<Screenshot> library;
        for (int i = 0; i < size; ++i) {
            Screenshot s = shot(u"Shot %1 %2.png"_s.arg(i).arg(sentence(pick(2))), daysAgo(pick(40 * 24) / 24.0));
            if (pick(5) != 0)
                s.ocrText = sentence(pick(30));
            if (pick(3) == 0)
                s.userNotes = sentence(pick(4));
            for (int tag = pick(4); tag > 0; --tag)
                s.tags.append(sentence(1));
            for (int tag = pick(3) - 1; tag > 0; --tag)
                s.customTags.append(sentence(1 + pick(2)));
            if (pick(2) == 0)
                s.embedding = QList<double>{double(pick(5)), double(pick(5)) - 2, 1};
            library.append(s);
        }
        return library;
    }

    void expectSameAsReference(const QList<Screenshot>& library, const SearchIndex& index,
                               const std::vector<qsizetype>* members,
                               const QStringList& queries = {u"invoice"_s, u"INVOICE PAYMENT"_s, u"éclair"_s,
                                                             u"Éclair über"_s, u"ice pay"_s, u"x"_s, u"voice"_s, u" "_s,
                                                             u"receipt error"_s, u"nothing"_s, u"Shot 12"_s, u"zone"_s},
                               const TextFolder* folder = nullptr,
                               const std::optional<QList<double>>& embedding = QList<double>{1, 1, 1},
                               const QList<GallerySearch::RelatedTerm>& related = {})
    {
        for (const QString& text : queries) {
            GallerySearch::Query q = query(text, embedding);
            q.related = related;
            QList<std::pair<QString, Reference>> expected;
            for (qsizetype i = 0; i < library.size(); ++i) {
                if (members && !std::binary_search(members->begin(), members->end(), i))
                    continue;
                const Reference reference = referenceScore(library.at(i), q, folder);
                if (reference.score > 4.0)
                    expected.append({library.at(i).filename, reference});
            }
            // Holders of every word of the query first; a few of those
            // holding none where others do.
            std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
                if (a.second.holdsEveryWord != b.second.holdsEveryWord)
                    return a.second.holdsEveryWord;
                return a.second.score > b.second.score;
            });
            if (std::any_of(expected.begin(), expected.end(), [](const auto& e) { return e.second.holdsTerm; })) {
                qsizetype meaningOnly = 0;
                expected.removeIf([&](const auto& e) {
                    return !e.second.holdsTerm && ++meaningOnly > GallerySearch::meaningOnlyBesideWords;
                });
            }
            const auto actual = *GallerySearch::rank(q, library, index, members, searchThreads(), kRunning);
            ASSERT_EQ(actual.size(), expected.size()) << text.toStdString();
            for (qsizetype i = 0; i < actual.size(); ++i) {
                ASSERT_EQ(actual.at(i).screenshot.filename, expected.at(i).first) << text.toStdString() << " #" << i;
                ASSERT_NEAR(actual.at(i).score, expected.at(i).second.score, 1e-9) << text.toStdString();
            }
        }
    }
};

TEST_F(ReferenceTest, BlockScansScoreLikeOneScreenshotAtATime)
{
    const QList<Screenshot> library = randomLibrary(5000, 7);
    const auto index = SearchIndex::build(library, nullptr, searchThreads(), kRunning);
    ASSERT_GT(index->blocks().size(), 3u);
    expectSameAsReference(library, *index, nullptr);

    std::vector<qsizetype> members;
    for (qsizetype i = 0; i < library.size(); ++i) {
        if (i % 7 == 0 || (i > 1000 && i < 1800))
            members.push_back(i);
    }
    expectSameAsReference(library, *index, &members);
}

// Related words are found as whole words ("pay" not in "payment", "ice" not
// in "invoice"), in the fields and with the points of a term, weighed, and
// each query word counts only its best; segments whose filters hold one
// related word are not read for the others.
TEST_F(ReferenceTest, RelatedWordsScoreLikeOneScreenshotAtATime)
{
    // Dozens of segments, whose filters hold different words. Three words,
    // each in most segments: a search may read that much.
    const QList<Screenshot> library = randomLibrary(900, 19);
    const auto index = SearchIndex::build(library, nullptr, searchThreads(), kRunning);
    const QList<GallerySearch::RelatedTerm> related{{u"pay"_s, 0, 0.8}, {u"ice"_s, 0, 0.5}, {u"über"_s, 1, 0.7}};
    expectSameAsReference(library, *index, nullptr, {u"meeting"_s, u"nothing"_s, u"terminal error"_s}, nullptr,
                          std::nullopt, related);
    std::vector<qsizetype> members;
    for (qsizetype i = 0; i < library.size(); i += 3)
        members.push_back(i);
    expectSameAsReference(library, *index, &members, {u"meeting"_s}, nullptr, QList<double>{1, 1, 1}, related);
}

TEST_F(ReferenceTest, ARebuiltIndexRefoldsOnlyChangedBlocksAndNeverServesStaleText)
{
    QList<Screenshot> library = randomLibrary(5000, 11);
    const auto first = SearchIndex::build(library, nullptr, searchThreads(), kRunning);

    // New files arrive at the front, one is analysed, one re-dated, one gone.
    library[2500].ocrText = u"freshly recognised payment"_s;
    library[4000].dateCreated = now();
    library[4500].embedding = QList<double>{4, -2, 1};
    library.removeAt(300);
    const QList<Screenshot> arrivals = randomLibrary(3, 12);
    library = arrivals + library;
    const auto second = SearchIndex::build(library, first.get(), searchThreads(), kRunning);
    EXPECT_GE(second->reusedBlocks(), qsizetype(second->blocks().size()) - 5);
    expectSameAsReference(library, *second, nullptr);

    // Nothing changed: every block is taken over.
    const auto third = SearchIndex::build(library, second.get(), searchThreads(), kRunning);
    EXPECT_EQ(third->reusedBlocks(), qsizetype(third->blocks().size()));
}

// Texts of random words, so that most terms are rare and most blocks are
// passed over by their gram filters: whatever a filter passes over must not
// have held the term. Without a query embedding such blocks are not scored
// at all, so their members must not have been hits.
TEST_F(ReferenceTest, GramFiltersNeverDropAHitOfTheBlockScan)
{
    std::mt19937 random(41);
    const QString letters = u"abcdefghijklmnopqrstuvwxyzéüß"_s;
    const auto pick = [&](qsizetype n) { return std::uniform_int_distribution<qsizetype>(0, n - 1)(random); };
    const auto word = [&] {
        QString w;
        for (qsizetype n = 3 + pick(7); n > 0; --n)
            w += letters.at(pick(letters.size()));
        return pick(6) == 0 ? w.toUpper() : w;
    };
    const auto words = [&](qsizetype count) {
        QStringList list;
        for (qsizetype i = 0; i < count; ++i)
            list.append(word());
        return list.join(u' ');
    };
    QList<Screenshot> library;
    for (int i = 0; i < 3000; ++i) {
        // Some dated a few days ahead: their recency bonus is above 2.
        Screenshot s = shot(u"Shot %1 %2.png"_s.arg(i).arg(word()), daysAgo(double(pick(63)) - 3));
        s.ocrText = words(pick(40));
        // Embeddings in some blocks only: similarity-only hits where the
        // filters pass the block over.
        if (i < 1500 && pick(3) == 0)
            s.embedding = QList<double>{double(pick(5)), double(pick(5)) - 2, 1};
        if (pick(4) == 0)
            s.userNotes = words(1 + pick(3));
        for (qsizetype tag = pick(3); tag > 0; --tag)
            s.tags.append(word());
        if (pick(5) == 0)
            s.customTags.append(words(1 + pick(2)));
        library.append(s);
    }
    const auto index = SearchIndex::build(library, nullptr, searchThreads(), kRunning);
    // Blocks end where random ids say so, but no block holds all 3000.
    ASSERT_GT(index->blocks().size(), 1u);

    // Terms taken from the texts (whole words, pieces of words, across a
    // blank, in another case), whole tags, and words found nowhere.
    QStringList queries;
    for (int i = 0; i < 60; ++i) {
        const Screenshot& s = library.at(pick(library.size()));
        const QString text = s.ocrText->isEmpty() ? s.filename : *s.ocrText;
        const qsizetype from = pick(text.size());
        QString term = text.mid(from, 3 + pick(8));
        if (i % 3 == 0)
            term = term.toUpper();
        queries.append(term);
        if (!s.tags.isEmpty())
            queries.append(s.tags.first());
        queries.append(word());
    }
    expectSameAsReference(library, *index, nullptr, queries);
    expectSameAsReference(library, *index, nullptr, queries, nullptr, std::nullopt);
    std::vector<qsizetype> members; // a collection: runs that start and end inside segments
    for (qsizetype i = 0; i < library.size(); ++i) {
        if (i % 3 == 0 || (i > 700 && i < 1250))
            members.push_back(i);
    }
    expectSameAsReference(library, *index, &members, queries, nullptr, std::nullopt);

    // Every piece of every member's texts passes its block's filter and its
    // segment's, and an absent term is passed over by most of them.
    int segments = 0;
    int passedOver = 0;
    int blocksPassedOver = 0;
    const std::string absent = index->folder().forContains(u"0x80370102"_s);
    for (const SearchIndex::Placement& placement : index->blocks()) {
        const SearchIndex::Block& block = *placement.block;
        for (qsizetype member = 0; member < block.count; ++member) {
            const qsizetype segment = member / SearchIndex::Block::segmentSize;
            for (int field = 0; field < SearchIndex::fieldCount; ++field) {
                const auto& starts = block.starts[size_t(field)];
                std::string text = block.texts[size_t(field)].substr(
                    starts[size_t(member)], starts[size_t(member) + 1] - starts[size_t(member)]);
                if (const QString* original =
                        SearchIndex::originalText(library.at(placement.first + member), SearchIndex::Field(field));
                    original && std::binary_search(block.originals[size_t(field)].begin(),
                                                   block.originals[size_t(field)].end(), quint32(member)))
                    text = index->folder().forContains(*original);
                for (size_t at = 0; at + 3 <= text.size(); at += 1 + size_t(pick(5))) {
                    const std::string_view piece = std::string_view(text).substr(at, 3 + size_t(pick(6)));
                    ASSERT_TRUE(block.mayContain(piece));
                    ASSERT_TRUE(block.segmentMayContain(segment, piece));
                }
            }
        }
        for (qsizetype segment = 0; segment * SearchIndex::Block::segmentSize < block.count; ++segment, ++segments)
            passedOver += !block.segmentMayContain(segment, absent);
        blocksPassedOver += !block.mayContain(absent);
    }
    EXPECT_GT(blocksPassedOver, int(index->blocks().size()) / 2);
    EXPECT_GT(passedOver, segments * 3 / 4);
}

// Plain ASCII recognised text and notes are read where they are instead of
// from folded copies: searches must find exactly what the copies found, with
// such texts between accented ones in the same blocks, with characters that
// the ASCII case bit turns into other punctuation, and in a locale whose
// ASCII letters do not fold plainly (where every text is copied).
TEST_F(ReferenceTest, TextsReadInPlaceMatchAsTheirFoldedCopiesDid)
{
    const QStringList pieces{u"Invoice"_s,        u"PAYMENT"_s,  u"pay@home"_s, u"pay`home"_s, u"[Draft]"_s,
                             u"{draft}"_s,        u"^up"_s,      u"~UP"_s,      u"Über"_s,     u"STRASSE"_s,
                             u"straße"_s,         u"İstanbul"_s, u"ISTANBUL"_s, u"ıi"_s,       u"CAFÉ"_s,
                             u"cafe\u0301 bar"_s, u"x"_s,        u"Q-7"_s};
    std::mt19937 random(29);
    const auto pick = [&](qsizetype n) { return std::uniform_int_distribution<qsizetype>(0, n - 1)(random); };
    const auto sentence = [&](qsizetype count, qsizetype plainOnly) {
        QStringList words;
        for (qsizetype i = 0; i < count; ++i)
            words.append(pieces.at(pick(plainOnly ? 8 : pieces.size())));
        return words.join(u' ');
    };
    QList<Screenshot> library;
    qsizetype plainTexts = 0;
    for (int i = 0; i < 3000; ++i) {
        Screenshot s = shot(u"Shot %1.png"_s.arg(i), daysAgo(double(pick(40))));
        if (pick(6) != 0)
            s.ocrText = sentence(pick(12), pick(3));
        if (pick(4) == 0)
            s.userNotes = sentence(1 + pick(3), pick(2));
        plainTexts += s.ocrText && !s.ocrText->isEmpty() &&
                      !std::any_of(s.ocrText->begin(), s.ocrText->end(), [](QChar c) { return c.unicode() >= 0x80; });
        library.append(s);
    }
    const QStringList queries{
        u"invoice"_s, u"PAY@HOME"_s, u"pay`home"_s, u"[draft]"_s,         u"{DRAFT}"_s,  u"^UP"_s, u"~up"_s,
        u"über"_s,    u"strasse"_s,  u"straße"_s,   u"istanbul"_s,        u"İSTANBUL"_s, u"ı"_s,   u"café"_s,
        u"e b"_s,     u"x"_s,        u"q-7 inv"_s,  u"invoice payment"_s, u"t i"_s};

    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Turkish, QLocale::Turkey)}) {
        QLocale::setDefault(locale);
        const auto index = SearchIndex::build(library, nullptr, searchThreads(), kRunning);
        ASSERT_GT(index->blocks().size(), 1u);
        qsizetype inPlace = 0;
        for (const SearchIndex::Placement& placement : index->blocks())
            inPlace += qsizetype(placement.block->originals[SearchIndex::ocrText].size());
        EXPECT_EQ(inPlace, locale.language() == QLocale::Turkish ? 0 : plainTexts) << locale.name().toStdString();
        const TextFolder folder(locale);
        expectSameAsReference(library, *index, nullptr, queries, &folder);
    }
}

TEST(SubstringFinderTest, FindsTheFirstOccurrenceAtEveryOffsetAndLength)
{
    std::mt19937 random(3);
    for (int needleSize = 1; needleSize <= 40; ++needleSize) {
        for (int haystackSize = 0; haystackSize <= 90; ++haystackSize) {
            // Two letters only, so partial matches abound.
            std::string haystack(size_t(haystackSize), 'a');
            for (char& c : haystack)
                c = random() % 3 == 0 ? 'b' : 'a';
            const size_t at = haystackSize > 0 ? random() % size_t(haystackSize) : 0;
            std::string needle = haystack.substr(at, size_t(needleSize));
            if (needle.size() < size_t(needleSize))
                needle.append(size_t(needleSize) - needle.size(), 'b');
            const SubstringFinder finder(needle);
            const char* found = finder.find(haystack.data(), haystack.data() + haystack.size());
            const size_t expected = haystack.find(needle);
            EXPECT_EQ(size_t(found - haystack.data()), expected == std::string::npos ? haystack.size() : expected)
                << needle << " in " << haystack;
        }
    }
    const SubstringFinder empty{std::string()};
    const std::string text = "abc";
    EXPECT_EQ(empty.find(text.data(), text.data() + 3), text.data());
}

// Against a search of the text's ASCII-folded bytes, where units beyond
// ASCII become a byte no needle holds: letters of both cases, punctuation
// one case bit away from other punctuation ('@' and '`', '[' and '{'), and
// other scripts, at every offset and length.
TEST(SubstringFinderTest, FindsInUtf16IgnoringOnlyTheCaseOfAsciiLetters)
{
    const std::u16string units = u"aAbB@`[{\u00e1\u0141\u0161";
    std::mt19937 random(5);
    for (int needleSize = 1; needleSize <= 24; ++needleSize) {
        for (int haystackSize = 0; haystackSize <= 70; ++haystackSize) {
            std::u16string haystack;
            for (int i = 0; i < haystackSize; ++i)
                haystack.push_back(units[random() % (random() % 8 == 0 ? units.size() : 4)]);
            std::string folded;
            for (const char16_t c : haystack)
                folded.push_back(c >= 0x80 ? '\x80' : char(c >= u'A' && c <= u'Z' ? c + 32 : c));
            const size_t at = haystackSize > 0 ? random() % size_t(haystackSize) : 0;
            std::string needle = folded.substr(at, size_t(needleSize));
            std::replace(needle.begin(), needle.end(), '\x80', '@');
            if (needle.size() < size_t(needleSize))
                needle.append(size_t(needleSize) - needle.size(), 'b');
            const SubstringFinder finder(needle);
            const char16_t* found = finder.findIgnoringAsciiCase(haystack.data(), haystack.data() + haystack.size());
            const size_t expected = folded.find(needle);
            ASSERT_EQ(size_t(found - haystack.data()), expected == std::string::npos ? haystack.size() : expected)
                << needle << " in " << folded;
        }
    }
    // A needle beyond ASCII is not in any such text.
    const std::u16string text = u"CAF\u00c9 caf\u00e9";
    const SubstringFinder accented("caf\xc3\xa9");
    EXPECT_EQ(accented.findIgnoringAsciiCase(text.data(), text.data() + text.size()), text.data() + text.size());
}
TEST(SubstringFinderTest, FindsWholeWordsOnly)
{
    const SubstringFinder cart("cart", SubstringFinder::Match::wholeWord);
    const auto inBytes = [&](const std::string& text) {
        return cart.find(text.data(), text.data() + text.size()) - text.data();
    };
    const auto inUnits = [&](const std::u16string& text) {
        return cart.findIgnoringAsciiCase(text.data(), text.data() + text.size()) - text.data();
    };
    EXPECT_EQ(inBytes("cart"), 0);
    EXPECT_EQ(inBytes("my cartoon, my cart."), 15);
    EXPECT_EQ(inBytes("scart cart_x cart2 (cart)"), 20);
    EXPECT_EQ(inBytes("caf\xc3\xa9"
                      "cart \xc3\xa9"
                      "cart"),
              16); // letters beyond ASCII join words
    EXPECT_EQ(inBytes("\xe2\x80\x94"
                      "cart\xe2\x80\x99s"),
              3); // a dash and an apostrophe do not
    EXPECT_EQ(inBytes("carts"), 5);
    EXPECT_EQ(inUnits(u"My CART."), 3);
    EXPECT_EQ(inUnits(u"Cartoon écart carté Cart"), 20);
    EXPECT_EQ(inUnits(u"Cartography"), 11);
}
} // namespace
