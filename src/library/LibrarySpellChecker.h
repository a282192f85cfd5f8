#pragma once

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
// Thread-safe: searches ask from their threads while a new vocabulary is
// handed in from another.
class LibrarySpellChecker : public SpellChecker
{
public:
    // `dictionary` may be null: the library's words alone then.
    explicit LibrarySpellChecker(std::shared_ptr<WordDictionary> dictionary);

    std::optional<QString> correction(const QString& text, const std::atomic<bool>& cancelled) override;

    // The words to prefer from now on; corrections worked out with the
    // previous ones are forgotten.
    void setVocabulary(std::shared_ptr<const Vocabulary> vocabulary);
    std::shared_ptr<const Vocabulary> vocabulary() const;

private:
    // The replacement of one word, or the word itself.
    QString correctedWord(const QString& word, const Vocabulary& vocabulary);

    std::shared_ptr<WordDictionary> m_dictionary;
    mutable std::mutex m_mutex; // guards the vocabulary and the remembered texts
    std::shared_ptr<const Vocabulary> m_vocabulary;
    QHash<QString, std::optional<QString>> m_texts;
};
