#pragma once

#include "library/Vocabulary.h"

#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class SentenceEncoder;

// The library's words that mean nearly what a word of a query means
// ("flight" and "boarding" for "plane", "lisbon" for "portugal"): those whose
// word vectors point closest to the query word's. Only words the library
// holds are offered, so each one finds something.
//
// The vectors of the library's words are kept in eight bits a dimension, each
// less its part along the direction every text shares (as the sentence
// vectors are), so comparing a query word with all of them reads a few
// megabytes. Very common words ("the", "with") carry no meaning of their own
// and are neither asked about nor offered.
//
// Thread-safe: searches ask from their threads while a new vocabulary is
// indexed on another.
class RelatedWords
{
public:
    struct Word
    {
        QString text;          // as the library holds it, lower case
        double similarity = 0; // the cosine of the two words' vectors
        // The similarity times how specific the word is to few screenshots
        // (1 for a word of one screenshot, falling towards 0 the more of the
        // library holds it: a word on every screen tells none apart).
        double relevance = 0;
        quint32 count = 0; // how often the library holds it
    };

    // The model whose word vectors are read; null while it is not loaded.
    using EncoderSource = std::function<std::shared_ptr<const SentenceEncoder>()>;

    explicit RelatedWords(EncoderSource encoder);
    ~RelatedWords();

    // At most this many words are offered for one query word, the most
    // relevant...
    static constexpr size_t maximumWords = 4;
    // ...of those at least this similar to it. Below, words share a topic
    // more than a meaning ("flowers" and "cookies", "colleague" and "dad"),
    // and a query would find half the library.
    static constexpr double minimumSimilarity = 0.4;

    // Indexes the words of `vocabulary` for the questions from now on; the
    // vocabulary of a large library takes a fraction of a second, so this is
    // a worker's job. Without a model, or when cancelled, the index is left
    // as it was.
    void setVocabulary(const std::shared_ptr<const Vocabulary>& vocabulary, const std::atomic<bool>& cancelled);

    // The library words closest in meaning to `word`, the most relevant
    // first: none for a word without a vector, a very common word, or before
    // the first vocabulary. The word itself is never among them.
    QList<Word> closestTo(const QString& word) const;
    // Lets go of the answers remembered for the keystrokes of a search, and
    // of the pages of the word vectors' file that questions read.
    void dropCaches() const;

    // How many screenshots the words were counted in.
    qsizetype documents() const;
    // How many words are indexed, and the index's bytes.
    qsizetype size() const;
    size_t memoryBytes() const;

private:
    class Index;

    std::shared_ptr<const Index> index() const;

    EncoderSource m_encoder;
    mutable std::mutex m_mutex; // guards the index and the remembered words
    std::shared_ptr<const Index> m_index;
    // Typing asks about the same words again and again.
    mutable QHash<QString, QList<Word>> m_remembered;
};
