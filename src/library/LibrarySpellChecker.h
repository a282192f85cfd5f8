#pragma once

#include "core/LinkDetector.h"
#include "library/Vocabulary.h"
#include "platform/SpellChecker.h"

#include <QHash>
#include <QString>

#include <memory>
#include <mutex>

// Spelling correction that knows the user's own words. A word of the query
// that neither the library nor the dictionary knows becomes the closest
// library word (a name, a brand, a command seen on a screenshot), unless the
// dictionary suggests something closer; only then the dictionary's
// suggestion. The dictionary is not asked for a suggestion when the library
// has a word one edit away, which also spares its tens of milliseconds.
//
// Words joined by punctuation ("github.com/gorilla", "tokenize_inv",
// "vml-freight.nl") become the words with blanks between them, without the
// host's top-level domain: text recognition often breaks such a join or
// misreads the domain, and the library holds the words apart. The last of
// those words, when it ends the query and begins a library word, is taken as
// not typed in full and left as it is.
//
// Thread-safe: searches ask from their threads while a new vocabulary is
// handed in from another.
class LibrarySpellChecker : public SpellChecker
{
public:
    // `dictionary` may be null: the library's words alone then. Without
    // `links`, no domain is recognised as one.
    explicit LibrarySpellChecker(std::shared_ptr<WordDictionary> dictionary,
                                 std::shared_ptr<const LinkDetector> links = nullptr);

    std::optional<QString> correction(const QString& text, const std::atomic<bool>& cancelled) override;
    // Its own remembered texts, and the dictionary's caches.
    void dropCaches() override;

    // The words to prefer from now on; corrections worked out with the
    // previous ones are forgotten.
    void setVocabulary(std::shared_ptr<const Vocabulary> vocabulary);
    std::shared_ptr<const Vocabulary> vocabulary() const;

private:
    // One blank-free piece of the query, corrected; `last`: it ends the query.
    QString correctedPiece(QStringView piece, bool last, const Vocabulary& vocabulary);
    // The replacement of one word, or the word itself; `mayBeUnfinished`:
    // kept when it begins a library word.
    QString correctedWord(const QString& word, bool mayBeUnfinished, const Vocabulary& vocabulary);

    std::shared_ptr<WordDictionary> m_dictionary;
    std::shared_ptr<const LinkDetector> m_links;
    mutable std::mutex m_mutex; // guards the vocabulary and the remembered texts
    std::shared_ptr<const Vocabulary> m_vocabulary;
    QHash<QString, std::optional<QString>> m_texts;
};
