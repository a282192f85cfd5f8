#pragma once

#include "core/Screenshot.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The words of a library with how often each occurs: recognised text, file
// names, labels, custom tags and notes. Words are compared ignoring case.
// Immutable once built, so any number of threads may read it.
//
// Finding the closest word to a misspelt one uses deletions, as SymSpell
// does: every word is indexed under its first seven characters and under
// each of them with one character deleted; a query looks up its own first
// seven characters with up to two deleted. Two spellings meet under a common
// key whenever they differ by a few edits, and only the words found that way
// have their edit distance computed, so a lookup costs microseconds however
// large the library. (Words whose first seven characters need two deletions
// on the library's side are missed: one key per deletion pair would triple
// the index for a rare case.)
class Vocabulary
{
public:
    struct Match
    {
        QString word; // lower case
        int distance = 0;
        quint32 count = 0;
    };

    // The words of `library` (null when cancelled).
    static std::shared_ptr<const Vocabulary> build(const QList<Screenshot>& library,
                                                   const std::atomic<bool>& cancelled);
    // The words of plain texts.
    static std::shared_ptr<const Vocabulary> fromTexts(const QStringList& texts);

    // Calls visit(position, word) for each word of `text` in order: runs of
    // letters, digits and underscores, with apostrophes between letters
    // ("don't").
    template <typename Visit>
    static void forEachWord(QStringView text, Visit&& visit);

    qsizetype size() const { return qsizetype(m_counts.size()); }
    // How many screenshots (or plain texts) the words were counted in.
    qsizetype documents() const { return m_documents; }
    // How often `word` occurs, ignoring case; 0 when it does not.
    quint32 count(QStringView word) const;
    // Whether some library word begins with `prefix`, ignoring case (a word
    // begins with itself).
    bool beginsAWord(QStringView prefix) const;
    // The library word closest to `word` by edit distance (insertions,
    // deletions, substitutions and swaps of neighbours): at most one edit
    // for words of four or five characters, two for longer ones, none for
    // shorter. Ties go to the more frequent word. Nothing when no word is
    // close enough, or `word` is itself a library word.
    std::optional<Match> closest(QStringView word) const;

    // Calls visit(word, count) for every word, folded to lower case, in
    // alphabetical order.
    template <typename Visit>
    void forEachEntry(Visit&& visit) const
    {
        for (quint32 id = 0; id < quint32(m_counts.size()); ++id) {
            const std::u16string_view word = wordAt(id);
            visit(QStringView(word.data(), qsizetype(word.size())), m_counts[id]);
        }
    }

    // Every structure's bytes.
    size_t memoryBytes() const;

    static constexpr qsizetype prefixLength = 7;
    static constexpr qsizetype shortestCorrected = 4;

private:
    class Builder;
    friend class Builder;

    Vocabulary() = default;

    std::u16string_view wordAt(quint32 id) const;
    std::optional<quint32> find(std::u16string_view folded) const;

    // Ids are in alphabetical order of the words, so the words that share a
    // beginning are neighbours.
    std::u16string m_characters; // every word, folded, back to back
    std::vector<quint32> m_offsets;
    std::vector<quint32> m_counts;
    std::vector<quint32> m_table; // open addressing: id + 1, 0 for empty
    // Deletion keys: bucket b holds the ids in m_keyedWords[m_keyStarts[b],
    // m_keyStarts[b + 1]); keys that hash alike share a bucket, so every
    // candidate is checked by its distance.
    std::vector<quint32> m_keyStarts;
    std::vector<quint32> m_keyedWords;
    qsizetype m_documents = 0;
};

template <typename Visit>
void Vocabulary::forEachWord(QStringView text, Visit&& visit)
{
    const auto isWordCharacter = [](char16_t c) {
        if (c < 0x80)
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
        const QChar character(c);
        return character.isLetterOrNumber() || character.isMark() || character.isSurrogate();
    };
    const auto isLetter = [](char16_t c) {
        return c < 0x80 ? (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') : QChar(c).isLetter();
    };
    const qsizetype size = text.size();
    qsizetype start = -1;
    for (qsizetype i = 0; i <= size; ++i) {
        const char16_t c = i < size ? text[i].unicode() : u' ';
        bool inWord = isWordCharacter(c);
        if (!inWord && start >= 0 && (c == u'\'' || c == u'\u2019') && i + 1 < size &&
            isLetter(text[i - 1].unicode()) && isLetter(text[i + 1].unicode()))
            inWord = true;
        if (inWord && start < 0) {
            start = i;
        } else if (!inWord && start >= 0) {
            visit(start, text.sliced(start, i - start));
            start = -1;
        }
    }
}
