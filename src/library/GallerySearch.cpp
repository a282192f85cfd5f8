#include "library/GallerySearch.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "core/Graphemes.h"
#include "ingest/EmbeddingService.h"
#include "library/SearchPool.h"
#include "library/SubstringFinder.h"
#include "library/Vocabulary.h"
#include "platform/SpellChecker.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

using namespace Qt::StringLiterals;

namespace {
// Where one term was found in one screenshot.
enum Found : quint8 {
    inFilename = 1 << 0,
    inCustomTag = 1 << 1,
    isCustomTag = 1 << 2,
    inTag = 1 << 3,
    isTag = 1 << 4,
    inNotes = 1 << 5,
    inText = 1 << 6,
};
constexpr int kFoundCombinations = 1 << 7;

// Points of one term, the whole query included.
int termPoints(int found)
{
    int points = 0;
    points += found & inFilename ? 10 : 0;
    points += found & isCustomTag ? 45 : found & inCustomTag ? 20 : 0;
    points += found & isTag ? 15 : found & inTag ? 5 : 0;
    points += found & inNotes ? 15 : 0;
    points += found & inText ? 5 : 0;
    return points;
}

// Points of the whole query, on top of its points as a term.
int queryPoints(int found)
{
    int points = 0;
    points += found & inFilename ? 50 : 0;
    points += found & isCustomTag ? 120 : found & inCustomTag ? 80 : 0;
    points += found & inTag ? 40 : 0;
    points += found & inNotes ? 60 : 0;
    points += found & inText ? 30 : 0;
    return points;
}

// Terms that fold to the same bytes are looked for once and counted as
// often as they occur in the term set. A related word is a needle of its
// own, found only as a whole word ("cart" is not in "cartoon"), whose points
// are weighed against the other words standing for the same query word.
struct Needle
{
    SubstringFinder contained;
    SubstringFinder whole; // an entire tag: separator, term, separator
    std::array<int, kFoundCombinations> points{};
    int queryWord = -1; // a related word's, else -1
    double weight = 0;  // a related word's
};

// What a related word earns, times its weight, wherever it is found: a term's
// points in recognised text, the least the query word itself earns, so
// that a word like it never counts for more than the word.
constexpr int kRelatedPoints = 5;

struct Needles
{
    std::vector<Needle> all;
    // Each reading of the query (GallerySearch::Query::readings) as the
    // needles that hold its words.
    std::vector<std::vector<size_t>> readings;
};

// The query words that related words may stand for.
constexpr int kMostQueryWords = 8;
// How many screenshots' texts a search may read looking for related words
// (some 5 MB: a few milliseconds).
constexpr qsizetype kRelatedReadingBudget = 3000;
Needles needlesFor(const GallerySearch::Query& query, const SearchIndex& index)
{
    const TextFolder& folder = index.folder();
    Needles result;
    std::vector<Needle>& needles = result.all;
    QHash<QString, size_t> needleOfTerm;
    for (const QString& term : query.terms) {
        std::string contained = folder.forContains(term);
        std::string whole = SearchIndex::separator + folder.forEquality(term) + SearchIndex::separator;
        auto same = std::find_if(needles.begin(), needles.end(), [&](const Needle& needle) {
            return needle.contained.needle() == contained && needle.whole.needle() == whole;
        });
        if (same == needles.end()) {
            needles.push_back({SubstringFinder(std::move(contained)), SubstringFinder(std::move(whole)), {}});
            same = needles.end() - 1;
        }
        needleOfTerm.insert(term, size_t(same - needles.begin()));
        const bool isQuery = term == query.text;
        for (int found = 0; found < kFoundCombinations; ++found)
            same->points[size_t(found)] += termPoints(found) + (isQuery ? queryPoints(found) : 0);
    }
    for (const QStringList& reading : query.readings) {
        std::vector<size_t> held;
        for (const QString& word : reading) {
            if (const auto needle = needleOfTerm.constFind(word); needle != needleOfTerm.cend())
                held.push_back(*needle);
        }
        if (!held.empty() && held.size() == size_t(reading.size()))
            result.readings.push_back(std::move(held));
    }
    // The related words, most relevant first, as long as the texts they make
    // the search read stay within the budget.
    qsizetype budget = kRelatedReadingBudget;
    for (const GallerySearch::RelatedTerm& related : query.related) {
        std::string contained = folder.forContains(related.word);
        const qsizetype reading = index.membersMayHolding(contained, budget);
        if (reading > budget)
            continue;
        budget -= reading;
        Needle needle{
            SubstringFinder(std::move(contained), SubstringFinder::Match::wholeWord),
            SubstringFinder(SearchIndex::separator + folder.forEquality(related.word) + SearchIndex::separator),
            {},
            related.queryWord,
            related.weight};
        // Never in a file name: "Screen Recording" tells nothing of music.
        for (int found = 0; found < kFoundCombinations; ++found)
            needle.points[size_t(found)] = (found & ~inFilename) != 0 ? kRelatedPoints : 0;
        needles.push_back(std::move(needle));
    }
    return result;
}

struct Scan
{
    SearchIndex::Field field;
    bool wholeElement;
    Found found;
};

constexpr Scan kScans[] = {
    {SearchIndex::filename, false, inFilename},
    {SearchIndex::customTagText, false, inCustomTag},
    {SearchIndex::customTagSet, true, isCustomTag},
    {SearchIndex::tagText, false, inTag},
    {SearchIndex::tagSet, true, isTag},
    {SearchIndex::userNotes, false, inNotes},
    {SearchIndex::ocrText, false, inText},
};

struct Run
{
    qsizetype from = 0;
    qsizetype to = 0; // past the last
};

// What one screenshot earned: by holding the query's own words (its terms),
// and by holding words like them.
struct Points
{
    int ownWords = 0;
    double meaning = 0;
    bool holdsEveryWord = false; // of one of the query's readings
    double sum() const { return ownWords + meaning; }
};

// The scoring of one block: which needle occurs where, then the points.
class BlockScorer
{
public:
    // A rare term is in few blocks: the others are passed over without
    // reading their text.
    BlockScorer(const SearchIndex::Placement& placement, const QList<Screenshot>& library, const Needles& needles)
        : m_block(*placement.block)
        , m_first(placement.first)
        , m_library(library)
        , m_needles(needles.all)
        , m_readings(needles.readings)
        , m_mayBeContained(needles.all.size())
        , m_mayBeWhole(needles.all.size())
    {
        for (size_t needle = 0; needle < m_needles.size(); ++needle) {
            m_mayBeContained[needle] = m_block.mayContain(m_needles[needle].contained.needle());
            m_mayBeWhole[needle] = m_block.mayContain(m_needles[needle].whole.needle());
            m_mayFindAny = m_mayFindAny || m_mayBeContained[needle] || m_mayBeWhole[needle];
        }
    }

    // False when no term is in any of the block's texts: every member then
    // scores 0 points for text.
    bool mayFindAny() const { return m_mayFindAny; }

    // The parts of `runs` in segments whose filters may hold a term: members
    // elsewhere score 0 points for text. Remembers which terms each of those
    // segments may hold, so that the others are not looked for there.
    std::vector<Run> narrowed(const std::vector<Run>& runs)
    {
        std::vector<Run> narrowed;
        if (!m_mayFindAny)
            return narrowed;
        constexpr qsizetype size = SearchIndex::Block::segmentSize;
        m_segmentContained.assign(size_t((m_block.count + size - 1) / size), 0);
        m_segmentWhole.assign(m_segmentContained.size(), 0);
        qsizetype known = -1; // the last segment asked about
        bool mayHold = false;
        for (const Run& run : runs) {
            for (qsizetype from = run.from; from < run.to;) {
                const qsizetype segment = from / size;
                const qsizetype to = std::min(run.to, (segment + 1) * size);
                if (segment != known) {
                    known = segment;
                    m_segmentContained[size_t(segment)] = needlesIn(segment, m_mayBeContained, &Needle::contained);
                    m_segmentWhole[size_t(segment)] = needlesIn(segment, m_mayBeWhole, &Needle::whole);
                    mayHold = (m_segmentContained[size_t(segment)] | m_segmentWhole[size_t(segment)]) != 0;
                }
                if (mayHold && !narrowed.empty() && narrowed.back().to == from)
                    narrowed.back().to = to;
                else if (mayHold)
                    narrowed.push_back({from, to});
                from = to;
            }
        }
        return narrowed;
    }

    void findAll(const std::vector<Run>& runs)
    {
        if (!m_mayFindAny)
            return;
        m_found.assign(size_t(m_block.count) * m_needles.size(), 0);
        const std::vector<quint8>& mayBeContained = m_mayBeContained;
        const std::vector<quint8>& mayBeWhole = m_mayBeWhole;
        std::vector<std::vector<Run>> containedRuns(m_needles.size());
        std::vector<std::vector<Run>> wholeRuns(m_needles.size());
        for (size_t needle = 0; needle < m_needles.size(); ++needle) {
            containedRuns[needle] = runsMayHolding(m_segmentContained, needle, runs);
            wholeRuns[needle] = runsMayHolding(m_segmentWhole, needle, runs);
        }
        for (const Scan& scan : kScans) {
            for (size_t needle = 0; needle < m_needles.size(); ++needle) {
                if (m_block.texts[scan.field].empty() || !(scan.wholeElement ? mayBeWhole : mayBeContained)[needle])
                    continue;
                // A related word is looked for as a whole word in every text
                // but the file name; in a tag's text it finds whole tags too.
                if ((scan.found == inFilename || scan.wholeElement) && m_needles[needle].queryWord >= 0)
                    continue;
                const SubstringFinder& finder =
                    scan.wholeElement ? m_needles[needle].whole : m_needles[needle].contained;
                for (const Run& run : (scan.wholeElement ? wholeRuns : containedRuns)[needle])
                    m_block.markFoldedHolders(scan.field, finder, run.from, run.to, marksOf(needle, scan));
            }
            if (scan.wholeElement)
                continue; // whole tags are never read in place
            // Texts read in place are each looked through for every needle
            // their segment may hold while they are in the cache.
            for (const Run& run : runs) {
                m_block.forEachInPlace(scan.field, run.from, run.to, m_library, m_first,
                                       [&](quint32 member, QStringView text) {
                                           const char16_t* begin = text.utf16();
                                           const char16_t* end = begin + text.size();
                                           const quint64 inSegment = m_segmentContained[segmentOf(member)];
                                           for (size_t needle = 0; needle < m_needles.size(); ++needle) {
                                               if (mayBeContained[needle] && (inSegment & bitOf(needle)) &&
                                                   m_needles[needle].contained.findIgnoringAsciiCase(begin, end) != end)
                                                   m_found[member * m_needles.size() + needle] |= scan.found;
                                           }
                                       });
            }
        }
    }

    // The terms' points, and for each query word the best of its related
    // words' weighted points; none of those where nothing was recognised.
    Points points(qsizetype member) const
    {
        if (m_found.empty())
            return {};
        Points points;
        std::array<double, kMostQueryWords> related{};
        const quint8* found = &m_found[size_t(member) * m_needles.size()];
        for (size_t index = 0; index < m_needles.size(); ++index) {
            const Needle& needle = m_needles[index];
            const int earned = needle.points[found[index]];
            if (needle.queryWord < 0)
                points.ownWords += earned;
            else
                related[size_t(needle.queryWord)] = std::max(related[size_t(needle.queryWord)], needle.weight * earned);
        }
        if (m_block.hasText[size_t(member)]) {
            for (const double best : related)
                points.meaning += best;
        }
        points.holdsEveryWord = std::any_of(m_readings.begin(), m_readings.end(), [found](const auto& reading) {
            return std::all_of(reading.begin(), reading.end(), [found](size_t needle) { return found[needle] != 0; });
        });
        return points;
    }

private:
    // One bit a needle; the needles past the 63rd share the last.
    static quint64 bitOf(size_t needle) { return quint64(1) << std::min<size_t>(needle, 63); }

    // The needles whose finder `finder` the segment's filters may hold,
    // among those the block may hold.
    quint64 needlesIn(qsizetype segment, const std::vector<quint8>& inBlock, SubstringFinder Needle::*finder) const
    {
        quint64 needles = 0;
        for (size_t needle = 0; needle < m_needles.size(); ++needle) {
            if (inBlock[needle] && m_block.segmentMayContain(segment, (m_needles[needle].*finder).needle()))
                needles |= bitOf(needle);
        }
        return needles;
    }

    static size_t segmentOf(qsizetype member) { return size_t(member / SearchIndex::Block::segmentSize); }

    // The parts of `runs` in segments that may hold the needle.
    static std::vector<Run> runsMayHolding(const std::vector<quint64>& segmentNeedles, size_t needle,
                                           const std::vector<Run>& runs)
    {
        constexpr qsizetype size = SearchIndex::Block::segmentSize;
        std::vector<Run> holding;
        for (const Run& run : runs) {
            for (qsizetype from = run.from; from < run.to;) {
                const qsizetype to = std::min(run.to, (from / size + 1) * size);
                if (segmentNeedles[segmentOf(from)] & bitOf(needle)) {
                    if (!holding.empty() && holding.back().to == from)
                        holding.back().to = to;
                    else
                        holding.push_back({from, to});
                }
                from = to;
            }
        }
        return holding;
    }

    SearchIndex::Block::Marks marksOf(size_t needle, const Scan& scan)
    {
        return {m_found.data() + needle, m_needles.size(), quint8(scan.found)};
    }

    const SearchIndex::Block& m_block;
    qsizetype m_first;
    const QList<Screenshot>& m_library;
    const std::vector<Needle>& m_needles;
    const std::vector<std::vector<size_t>>& m_readings;
    std::vector<quint8> m_mayBeContained; // per needle
    std::vector<quint8> m_mayBeWhole;
    bool m_mayFindAny = false;
    std::vector<quint8> m_found; // member × needle, once found
    // Per segment scanned: the needles its filters may hold, within texts
    // and as whole tags.
    std::vector<quint64> m_segmentContained;
    std::vector<quint64> m_segmentWhole;
};

// The block's members as runs of neighbours: all of it, or the given
// library positions that fall inside it.
std::vector<Run> runsOf(const SearchIndex::Placement& placement, const std::vector<qsizetype>* members)
{
    const qsizetype count = placement.block->count;
    if (!members)
        return {{0, count}};
    std::vector<Run> runs;
    auto it = std::lower_bound(members->begin(), members->end(), placement.first);
    for (; it != members->end() && *it < placement.first + count; ++it) {
        const qsizetype local = *it - placement.first;
        if (!runs.empty() && runs.back().to == local)
            ++runs.back().to;
        else
            runs.push_back({local, local + 1});
    }
    return runs;
}

double similarityBonus(const std::optional<QList<double>>& queryEmbedding, const Screenshot& screenshot)
{
    if (!queryEmbedding || !screenshot.embedding)
        return 0;
    const double similarity = EmbeddingService::cosineSimilarity(
        std::span<const double>(queryEmbedding->constData(), size_t(queryEmbedding->size())),
        std::span<const double>(screenshot.embedding->constData(), size_t(screenshot.embedding->size())));
    return similarity > 0.2 ? 5 * similarity : 0;
}

// Bounds how far a similarity estimated in floats from unit vectors may be
// from the one computed in doubles (about 1e-6 for 100 dimensions).
constexpr double kEstimateError = 1e-3;

float dotScalar(const float* a, const float* b, qsizetype n)
{
    float sum = 0;
    for (qsizetype i = 0; i < n; ++i)
        sum += a[i] * b[i];
    return sum;
}

#if defined(__x86_64__)
__attribute__((target("avx2,fma"))) float dotAvx2(const float* a, const float* b, qsizetype n)
{
    __m256 sum0 = _mm256_setzero_ps();
    __m256 sum1 = _mm256_setzero_ps();
    qsizetype i = 0;
    for (; i + 16 <= n; i += 16) {
        sum0 = _mm256_fmadd_ps(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i), sum0);
        sum1 = _mm256_fmadd_ps(_mm256_loadu_ps(a + i + 8), _mm256_loadu_ps(b + i + 8), sum1);
    }
    alignas(32) float lanes[8];
    _mm256_store_ps(lanes, _mm256_add_ps(sum0, sum1));
    float sum = 0;
    for (const float lane : lanes)
        sum += lane;
    return sum + dotScalar(a + i, b + i, n - i);
}
#endif

float dot(const float* a, const float* b, qsizetype n)
{
#if defined(__x86_64__)
    static const bool hasAvx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    if (hasAvx2)
        return dotAvx2(a, b, n);
#endif
    return dotScalar(a, b, n);
}

// The query's embedding as a unit vector of floats; empty when it has none
// or its norm is zero.
std::vector<float> unitVector(const std::optional<QList<double>>& embedding)
{
    if (!embedding)
        return {};
    double squares = 0;
    for (const double value : *embedding)
        squares += value * value;
    if (!(squares > 0) || !std::isfinite(squares))
        return {};
    std::vector<float> unit;
    unit.reserve(size_t(embedding->size()));
    for (const double value : *embedding)
        unit.push_back(float(value / std::sqrt(squares)));
    return unit;
}

double recencyBonus(qint64 nowMSecs, qint64 createdMSecs)
{
    if (createdMSecs == SearchIndex::unknownTime)
        return 0;
    const double ageSeconds = double(nowMSecs - createdMSecs) / 1000.0;
    const double days = ageSeconds / 86400.0;
    const double bonus = 2.0 * ((30.0 - days) / 30.0);
    return bonus >= 0 ? bonus : 0;
}

// Most screenshots are not like the query at all: an estimate from the
// index's unit vectors shows that their bonus is 0, or too small to make them
// hits, without reading their embeddings. Everything else gets the exact
// similarity.
class SimilarityEstimates
{
public:
    SimilarityEstimates(const std::optional<QList<double>>& queryEmbedding, bool onlyHitsMatter)
        : m_unitQuery(unitVector(queryEmbedding))
        , m_hasQuery(queryEmbedding && !queryEmbedding->isEmpty())
        , m_onlyHitsMatter(onlyHitsMatter)
    {}

    // False when no member of the block can have a similarity bonus: the
    // query has no embedding, or none of the members has one.
    bool mayAddToAny(const SearchIndex::Block& block) const { return m_hasQuery && block.dimensions != 0; }

    bool rulesOut(const SearchIndex::Block& block, qsizetype member, double points, double recency) const
    {
        if (m_unitQuery.empty() || block.dimensions != qsizetype(m_unitQuery.size()) ||
            !block.hasUnitEmbedding[size_t(member)])
            return false;
        const double estimate =
            dot(m_unitQuery.data(), &block.unitEmbeddings[size_t(member * block.dimensions)], block.dimensions);
        if (estimate + kEstimateError <= 0.2)
            return true;
        return m_onlyHitsMatter && points == 0 &&
               5 * (estimate + kEstimateError) + recency <= GallerySearch::hitThreshold;
    }

private:
    std::vector<float> m_unitQuery;
    bool m_hasQuery;
    bool m_onlyHitsMatter;
};

// A related word earns this share of the query word's points, by its
// closeness in meaning alone, always less than the word itself: a word as
// close as "flight" to "plane" (0.76) or "lisbon" to "portugal" (0.66) earns
// all it may, one at the least similarity offered two thirds. How few
// screenshots hold it chose it among others, but makes it no closer.
double relatedWeight(const RelatedWords::Word& word)
{
    return std::clamp(1.5 * word.similarity, 0.0, 0.9);
}

// The distinct blank-separated words of `text` longer than two characters.
QStringList longWords(const QString& text)
{
    QStringList terms;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text.at(i).isSpace())
            continue;
        const qsizetype length = i - start;
        // Two UTF-16 units are at most two characters.
        if (length > 2) {
            const QString word = text.sliced(start, length);
            if (graphemeLength(word) > 2 && !terms.contains(word))
                terms.append(word);
        }
        start = i + 1;
    }
    return terms;
}

// Every term of the readings once, in their order.
QStringList termsOf(const QList<QStringList>& readings)
{
    QStringList terms;
    for (const QStringList& reading : readings) {
        for (const QString& term : reading) {
            if (!terms.contains(term))
                terms.append(term);
        }
    }
    return terms;
}
} // namespace

GallerySearch::GallerySearch(std::shared_ptr<SpellChecker> spellChecker, EmbeddingProvider embeddingProvider,
                             QThreadPool& pool, std::shared_ptr<const RelatedWords> relatedWords)
    : m_spellChecker(std::move(spellChecker))
    , m_embeddingProvider(std::move(embeddingProvider))
    , m_pool(pool)
    , m_relatedWords(std::move(relatedWords))
{}

std::optional<QList<QStringList>> GallerySearch::readings(const QString& query,
                                                          const std::atomic<bool>& cancelled) const
{
    QList<QStringList> readings{{query}, longWords(query)};
    const std::optional<QString> correction =
        m_spellChecker ? m_spellChecker->correction(query, cancelled) : std::nullopt;
    if (cancelled)
        return std::nullopt;
    if (correction && !correction->isEmpty() && *correction != query)
        readings += {{*correction}, longWords(*correction)};
    readings.removeIf([](const QStringList& reading) { return reading.isEmpty(); });
    return readings;
}

std::optional<QStringList> GallerySearch::termSet(const QString& query, const std::atomic<bool>& cancelled) const
{
    const std::optional<QList<QStringList>> ways = readings(query, cancelled);
    if (!ways)
        return std::nullopt;
    return termsOf(*ways);
}

QList<GallerySearch::RelatedTerm> GallerySearch::relatedTerms(const QString& query) const
{
    QList<RelatedTerm> related;
    if (!m_relatedWords)
        return related;
    // Only words as people write them stand for something: an address, a
    // number or a code ("github.com/gorilla", "E0382") means itself.
    QStringList words;
    static const QRegularExpression blanks(u"\\s+"_s);
    for (const QString& piece : query.split(blanks, Qt::SkipEmptyParts)) {
        const bool plain = std::all_of(piece.begin(), piece.end(), [](QChar c) {
            return c.isLetter() || c.isMark() || c == u'\'' || c == u'\u2019' || c == u'-';
        });
        if (!plain)
            continue;
        Vocabulary::forEachWord(piece, [&words](qsizetype, QStringView word) {
            const QString lower = word.toString().toLower();
            if (graphemeLength(lower) > 2 && !words.contains(lower) && words.size() < kMostQueryWords)
                words.append(lower);
        });
    }
    struct Candidate
    {
        RelatedWords::Word word;
        int queryWord;
    };
    std::vector<Candidate> candidates;
    for (qsizetype i = 0; i < words.size(); ++i) {
        for (const RelatedWords::Word& candidate : m_relatedWords->closestTo(words[i])) {
            // A term already finds the words that hold a query word ("tickets").
            const bool found = std::any_of(words.begin(), words.end(),
                                           [&candidate](const QString& word) { return candidate.text.contains(word); });
            if (!found)
                candidates.push_back({candidate, int(i)});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.word.relevance > b.word.relevance; });
    for (const Candidate& candidate : candidates)
        related.append({candidate.word.text, candidate.queryWord, relatedWeight(candidate.word)});
    return related;
}

std::optional<GallerySearch::Query> GallerySearch::prepare(const QString& query,
                                                           const std::atomic<bool>& cancelled) const
{
    std::optional<QList<QStringList>> ways = readings(query, cancelled);
    if (!ways)
        return std::nullopt;
    Query prepared{query, termsOf(*ways), std::nullopt, 0, {}, std::move(*ways)};
    if (m_embeddingProvider)
        prepared.embedding = m_embeddingProvider(query);
    prepared.nowMSecs = Clock::nowMSecsSinceEpoch();
    prepared.related = relatedTerms(query);
    return prepared;
}

double GallerySearch::score(const Screenshot& screenshot, const Query& query)
{
    const QList<Screenshot> one{screenshot};
    const std::atomic<bool> running{false};
    QThreadPool callerOnly; // one screenshot is one block, scored on this thread
    const auto index = SearchIndex::build(one, nullptr, callerOnly, running);
    const auto hits =
        scoreAll(query, one, *index, nullptr, -std::numeric_limits<double>::infinity(), callerOnly, running);
    return hits->front().score;
}

std::optional<std::vector<GallerySearch::Hit>>
GallerySearch::scoreAll(const Query& query, const QList<Screenshot>& library, const SearchIndex& index,
                        const std::vector<qsizetype>* members, double threshold, QThreadPool& pool,
                        const std::atomic<bool>& cancelled)
{
    const Needles needles = needlesFor(query, index);
    const SimilarityEstimates estimates(query.embedding, threshold >= hitThreshold);
    const std::vector<SearchIndex::Placement>& blocks = index.blocks();
    std::vector<std::vector<Hit>> hitsOfBlock(blocks.size());
    SearchPool::parallelFor(pool, qsizetype(blocks.size()), [&](qsizetype k) {
        const SearchIndex::Placement& placement = blocks[size_t(k)];
        BlockScorer scorer(placement, library, needles);
        // Without text points or a similarity bonus a member scores 0 (the
        // recency bonus is only added to a positive score).
        if (threshold >= 0 && !scorer.mayFindAny() && !estimates.mayAddToAny(*placement.block))
            return;
        const std::vector<Run> runs = runsOf(placement, members);
        if (runs.empty() || cancelled)
            return;
        const std::vector<Run> scanned = scorer.narrowed(runs);
        scorer.findAll(scanned);
        // Members outside the scanned runs score 0 unless a similarity bonus
        // is possible.
        const bool everyMember = threshold < 0 || estimates.mayAddToAny(*placement.block);
        std::vector<Hit>& hits = hitsOfBlock[size_t(k)];
        for (const Run& run : everyMember ? runs : scanned) {
            for (qsizetype member = run.from; member < run.to; ++member) {
                if (cancelled.load(std::memory_order_relaxed))
                    return;
                const qsizetype position = placement.first + member;
                const Points points = scorer.points(member);
                const double recency = recencyBonus(query.nowMSecs, placement.block->createdMSecs[size_t(member)]);
                double score = points.sum();
                // A screenshot's embedding without text comes from its labels
                // or nothing: no likeness to a query worth points.
                if (placement.block->hasText[size_t(member)] &&
                    !estimates.rulesOut(*placement.block, member, score, recency))
                    score += similarityBonus(query.embedding, library.at(position));
                if (score > 0)
                    score += recency;
                if (score > threshold)
                    hits.push_back({position, score, points.holdsEveryWord, points.ownWords > 0});
            }
        }
    });
    if (cancelled)
        return std::nullopt;
    std::vector<Hit> hits;
    size_t total = 0;
    for (const auto& blockHits : hitsOfBlock)
        total += blockHits.size();
    hits.reserve(total);
    for (const auto& blockHits : hitsOfBlock)
        hits.insert(hits.end(), blockHits.begin(), blockHits.end());
    return hits;
}

void GallerySearch::order(std::vector<Hit>& hits)
{
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
        return a.holdsEveryWord != b.holdsEveryWord ? a.holdsEveryWord : a.score > b.score;
    });
    if (std::none_of(hits.begin(), hits.end(), [](const Hit& hit) { return hit.holdsAWord; }))
        return;
    qsizetype meaningOnly = 0;
    std::erase_if(hits,
                  [&meaningOnly](const Hit& hit) { return !hit.holdsAWord && ++meaningOnly > meaningOnlyBesideWords; });
}

QList<GallerySearch::ScoredResult> GallerySearch::sorted(std::vector<Hit> hits, const QList<Screenshot>& library)
{
    order(hits);
    QList<ScoredResult> results;
    results.reserve(qsizetype(hits.size()));
    for (const Hit& hit : hits)
        results.append({library.at(hit.position), hit.score});
    return results;
}

std::optional<QList<GallerySearch::ScoredResult>>
GallerySearch::rank(const Query& query, const QList<Screenshot>& library, const SearchIndex& index,
                    const std::vector<qsizetype>* members, QThreadPool& pool, const std::atomic<bool>& cancelled)
{
    std::optional<std::vector<Hit>> hits = scoreAll(query, library, index, members, hitThreshold, pool, cancelled);
    if (!hits)
        return std::nullopt;
    return sorted(std::move(*hits), library);
}

void GallerySearch::prepareIndex(const QList<Screenshot>& library, SearchIndex::Cache& cache, quint64 generation,
                                 const std::atomic<bool>& cancelled) const
{
    cache.indexFor(library, generation, m_pool, cancelled);
}

void GallerySearch::dropCaches() const
{
    if (m_spellChecker)
        m_spellChecker->dropCaches();
    if (m_relatedWords)
        m_relatedWords->dropCaches();
}

QList<Screenshot> GallerySearch::search(const QString& query, const QList<Screenshot>& library,
                                        const std::vector<qsizetype>* members, SearchIndex::Cache& cache,
                                        quint64 generation, const std::atomic<bool>& cancelled) const
{
    Console::printLine(u"🔍 Searching for: "_s + query);
    QElapsedTimer timer;
    timer.start();
    const std::optional<Query> prepared = prepare(query, cancelled);
    if (!prepared || cancelled)
        return {};
    const std::shared_ptr<const SearchIndex> index = cache.indexFor(library, generation, m_pool, cancelled);
    if (!index)
        return {};
    std::optional<std::vector<Hit>> hits =
        scoreAll(*prepared, library, *index, members, hitThreshold, m_pool, cancelled);
    if (!hits)
        return {};
    order(*hits);
    Console::printLine(u"⚡️ Search completed serially in %1s. Found %2 results."_s
                           .arg(QString::asprintf("%.3f", double(timer.nsecsElapsed()) / 1e9))
                           .arg(hits->size()));
    if (hits->empty() || cancelled)
        return {};
    QList<Screenshot> screenshots;
    screenshots.reserve(qsizetype(hits->size()));
    for (const Hit& hit : *hits)
        screenshots.append(library.at(hit.position));
    return screenshots;
}

QList<Screenshot> GallerySearch::search(const QString& query, const QList<Screenshot>& candidates,
                                        const std::atomic<bool>& cancelled) const
{
    SearchIndex::Cache cache;
    return search(query, candidates, nullptr, cache, 0, cancelled);
}
