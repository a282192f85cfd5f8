#pragma once

#include "platform/SpellChecker.h"

#include <QHash>
#include <QString>

#include <memory>
#include <mutex>
#include <string>

class Hunspell;

// Hunspell with the system's en_US dictionary. Each word that the dictionary
// rejects is replaced by its first suggestion; words and whole texts are
// remembered, since a suggestion costs 20 to 40 ms and a query is corrected
// again at every keystroke. The dictionary is read on first use, not when
// the checker is made, and again after it was let go.
class HunspellSpellChecker : public SpellChecker, public WordDictionary
{
public:
    // Empty paths: en_US.aff and en_US.dic in a "hunspell" folder of the XDG
    // data folders (normally /usr/share/hunspell).
    explicit HunspellSpellChecker(QString affixPath = {}, QString dictionaryPath = {});
    ~HunspellSpellChecker() override;

    std::optional<QString> correction(const QString& text, const std::atomic<bool>& cancelled) override;
    bool accepts(const QString& word) override;
    std::optional<QString> suggestion(const QString& word) override;
    // The remembered words and texts, and the dictionary (some 5 MB, read
    // again in some 25 ms).
    void dropCaches() override;

    // False when the dictionary cannot be read; it then corrects nothing.
    bool isAvailable();

private:
    bool loadLocked();
    // The word's replacement; the word itself when it is accepted or the
    // dictionary has nothing to offer. Nothing when it cannot be encoded.
    QString correctWordLocked(const QString& word);
    // Whether the dictionary takes the word (or cannot check it).
    bool spellsLocked(const QString& word);
    std::string encodedLocked(const QString& word) const;
    QString decodedLocked(const std::string& text) const;
    void rememberLocked(const QString& text, const std::optional<QString>& correction);

    QString m_affixPath;
    QString m_dictionaryPath;
    std::mutex m_mutex; // Hunspell is not thread-safe; it also guards the caches
    bool m_loadTried = false;
    std::unique_ptr<Hunspell> m_hunspell;
    bool m_isUtf8 = true;
    QHash<QString, QString> m_words;
    QHash<QString, std::optional<QString>> m_texts;
};
