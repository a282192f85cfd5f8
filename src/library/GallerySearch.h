#pragma once

#include "core/Screenshot.h"
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

    // What every screenshot is scored against, worked out once per search.
    struct Query
    {
        QString text;      // as typed
        QStringList terms; // distinct, the query first
        std::optional<QList<double>> embedding;
        qint64 nowMSecs = 0; // for the recency bonus
    };

    using EmbeddingProvider = std::function<std::optional<QList<double>>(const QString& text)>;

    // The score a screenshot must exceed to be a hit.
    static constexpr double hitThreshold = 4.0;

    // Scores spread over the threads of `pool`.
    GallerySearch(std::shared_ptr<SpellChecker> spellChecker, EmbeddingProvider embeddingProvider, QThreadPool& pool);

    // The query, each of its blank-separated words longer than two
    // characters, and the spelling correction with its own long words when
    // the spell checker changes anything. Nothing when cancelled.
    std::optional<QStringList> termSet(const QString& query, const std::atomic<bool>& cancelled) const;
    // The terms, the query's embedding and the current time.
    std::optional<Query> prepare(const QString& query, const std::atomic<bool>& cancelled) const;

    // One screenshot's score, by the same rules as a search.
    static double score(const Screenshot& screenshot, const Query& query);

    // The hits among `library` (only the positions in `members`, ascending,
    // when given), best first; equal scores keep the library's order.
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

private:
    struct Hit
    {
        qsizetype position = 0;
        double score = 0;
    };

    // Every member scoring above `threshold`, in library order.
    static std::optional<std::vector<Hit>> scoreAll(const Query& query, const QList<Screenshot>& library,
                                                    const SearchIndex& index, const std::vector<qsizetype>* members,
                                                    double threshold, QThreadPool& pool,
                                                    const std::atomic<bool>& cancelled);
    // Best first; equal scores keep their order.
    static void sortByScore(std::vector<Hit>& hits);
    static QList<ScoredResult> sorted(std::vector<Hit> hits, const QList<Screenshot>& library);

    std::shared_ptr<SpellChecker> m_spellChecker;
    EmbeddingProvider m_embeddingProvider;
    QThreadPool& m_pool;
};
