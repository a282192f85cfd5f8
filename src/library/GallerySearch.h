#pragma once

#include "core/Screenshot.h"
#include "library/RelatedWords.h"
#include "library/SearchIndex.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class SpellChecker;

// Ranks screenshots against a search query. Each screenshot collects points
// for the whole query and for every term (the query, its words of three or
// more characters, and its spelling correction with that correction's long
// words) found in its file name, custom tags, visual tags, notes and
// recognised text; then a bonus for a query embedding close to its own, and
// one for being recent. Screenshots scoring above 4 are hits, best first.
//
// The meaning side adds to that: each word of the query stands for the
// library words closest to it in meaning (RelatedWords), found as whole
// words in the tags, notes and recognised text (never the file name). A
// related word earns the points of the query word in recognised text times
// a weight below 1 that falls with its distance in meaning, so it never
// counts for more than the word itself; each query word counts only its best
// related word. Meaning only adds: the hits that hold every word of the
// query come first whatever the others' points; a screenshot in which
// nothing was recognised (a recording, a photograph, a picture that did not
// decode) gets no points from meaning, from neither related words nor its
// embedding (which its labels alone made); and when words of the query are
// found, only a few hits found by meaning alone follow. A search reads
// the texts around a few thousand screenshots at most for related words:
// the most relevant are looked for first, and those that would make it read
// more are left out.
//
// Runs off the GUI thread: the spelling correction and the query embedding
// may take tens of milliseconds. Each screenshot is scored once, over an
// immutable index of the library, on every core for a large library.
class GallerySearch
{
public:
    struct ScoredResult
    {
        Screenshot screenshot;
        double score = 0;
    };

    // A library word standing for a word of the query.
    struct RelatedTerm
    {
        QString word;
        int queryWord = 0; // which word of the query it stands for
        double weight = 0; // of a term's points, below 1
    };

    // What every screenshot is scored against, worked out once per search.
    struct Query
    {
        QString text;      // as typed
        QStringList terms; // distinct, the query first
        std::optional<QList<double>> embedding;
        qint64 nowMSecs = 0; // for the recency bonus
        QList<RelatedTerm> related;
        // The ways of holding every word of the query, each a set of terms:
        // the query itself, its long words, and the same of the spelling
        // correction. A screenshot that holds all the terms of one of them
        // holds the query's own words.
        QList<QStringList> readings;
    };

    using EmbeddingProvider = std::function<std::optional<QList<double>>(const QString& text)>;

    // The score a screenshot must exceed to be a hit.
    static constexpr double hitThreshold = 4.0;
    // When some hit holds a word of the query, at most this many of those
    // holding none (the best) are kept.
    static constexpr qsizetype meaningOnlyBesideWords = 5;

    // Scores spread over the threads of `pool`. Without `relatedWords` the
    // search has no meaning side beyond the embedding.
    GallerySearch(std::shared_ptr<SpellChecker> spellChecker, EmbeddingProvider embeddingProvider, QThreadPool& pool,
                  std::shared_ptr<const RelatedWords> relatedWords = nullptr);

    // The query, each of its blank-separated words longer than two
    // characters, and the spelling correction with its own long words when
    // the spell checker changes anything. Nothing when cancelled.
    std::optional<QStringList> termSet(const QString& query, const std::atomic<bool>& cancelled) const;
    // The query's readings (Query::readings); nothing when cancelled.
    std::optional<QList<QStringList>> readings(const QString& query, const std::atomic<bool>& cancelled) const;
    // The library words standing for the words of `query`, the most
    // relevant first, none that a term already finds. The words of a
    // spelling correction are a guess and stand for nothing more.
    QList<RelatedTerm> relatedTerms(const QString& query) const;
    // The terms, the query's embedding, the current time and the related
    // words.
    std::optional<Query> prepare(const QString& query, const std::atomic<bool>& cancelled) const;

    // One screenshot's score, by the same rules as a search.
    static double score(const Screenshot& screenshot, const Query& query);

    // The hits among `library` (only the positions in `members`, ascending,
    // when given): those holding every word of the query, then the others,
    // each part best first, equal scores in the library's order; at most
    // meaningOnlyBesideWords of those holding no word of the query when
    // others do.
    // Nothing when cancelled.
    static std::optional<QList<ScoredResult>> rank(const Query& query, const QList<Screenshot>& library,
                                                   const SearchIndex& index, const std::vector<qsizetype>* members,
                                                   QThreadPool& pool, const std::atomic<bool>& cancelled);

    // A whole search with its console lines: "🔍 Searching for: <query>",
    // then, unless cancelled first, "⚡️ Search completed serially in <s>s.
    // Found <n> results.". The index comes from `cache` (`generation` names
    // the library's version). Empty when cancelled.
    QList<Screenshot> search(const QString& query, const QList<Screenshot>& library,
                             const std::vector<qsizetype>* members, SearchIndex::Cache& cache, quint64 generation,
                             const std::atomic<bool>& cancelled) const;
    // The same over a list of candidates of its own.
    QList<Screenshot> search(const QString& query, const QList<Screenshot>& candidates,
                             const std::atomic<bool>& cancelled) const;
    // Makes `cache` hold the index of `library` as of `generation`, as the
    // first search of it would.
    void prepareIndex(const QList<Screenshot>& library, SearchIndex::Cache& cache, quint64 generation,
                      const std::atomic<bool>& cancelled) const;
    // Lets go of what the spelling and the related words keep for the next
    // keystroke.
    void dropCaches() const;

private:
    struct Hit
    {
        qsizetype position = 0;
        double score = 0;
        bool holdsEveryWord = false; // of one of the query's readings
        bool holdsAWord = false;     // some term, not only words like them
    };

    // Every member scoring above `threshold`, in library order.
    static std::optional<std::vector<Hit>> scoreAll(const Query& query, const QList<Screenshot>& library,
                                                    const SearchIndex& index, const std::vector<qsizetype>* members,
                                                    double threshold, QThreadPool& pool,
                                                    const std::atomic<bool>& cancelled);
    // In the order of `rank`, and as many.
    static void order(std::vector<Hit>& hits);
    static QList<ScoredResult> sorted(std::vector<Hit> hits, const QList<Screenshot>& library);

    std::shared_ptr<SpellChecker> m_spellChecker;
    EmbeddingProvider m_embeddingProvider;
    QThreadPool& m_pool;
    std::shared_ptr<const RelatedWords> m_relatedWords;
};
