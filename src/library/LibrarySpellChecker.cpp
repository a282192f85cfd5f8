#include "library/LibrarySpellChecker.h"

#include <algorithm>

namespace {
// Enough for every query typed in a long session; beyond it, start afresh.
constexpr qsizetype kMaximumRemembered = 4096;

bool hasLetter(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

// The replacement written the way the word was typed: all capitals, a
// capital first, or as the library has it.
QString inCaseOf(const QString& typed, const QString& replacement)
{
    if (typed.size() > 1 && typed == typed.toUpper())
        return replacement.toUpper();
    if (typed.at(0).isUpper())
        return replacement.at(0).toUpper() + replacement.mid(1);
    return replacement;
}

int distanceBetween(const QString& a, const QString& b)
{
    const QString foldedA = a.toCaseFolded();
    const QString foldedB = b.toCaseFolded();
    const std::u16string_view viewA(reinterpret_cast<const char16_t*>(foldedA.utf16()), size_t(foldedA.size()));
    const std::u16string_view viewB(reinterpret_cast<const char16_t*>(foldedB.utf16()), size_t(foldedB.size()));
    return Vocabulary::editDistance(viewA, viewB, 64);
}
} // namespace

LibrarySpellChecker::LibrarySpellChecker(std::shared_ptr<WordDictionary> dictionary)
    : m_dictionary(std::move(dictionary))
    , m_vocabulary(Vocabulary::fromTexts({}))
{}

void LibrarySpellChecker::setVocabulary(std::shared_ptr<const Vocabulary> vocabulary)
{
    std::lock_guard lock(m_mutex);
    m_vocabulary = vocabulary ? std::move(vocabulary) : Vocabulary::fromTexts({});
    m_texts.clear();
}

std::shared_ptr<const Vocabulary> LibrarySpellChecker::vocabulary() const
{
    std::lock_guard lock(m_mutex);
    return m_vocabulary;
}

std::optional<QString> LibrarySpellChecker::correction(const QString& text, const std::atomic<bool>& cancelled)
{
    std::shared_ptr<const Vocabulary> vocabulary;
    {
        std::lock_guard lock(m_mutex);
        if (const auto known = m_texts.constFind(text); known != m_texts.cend())
            return *known;
        vocabulary = m_vocabulary;
    }
    // Only the words are looked at; blanks, digits and punctuation stay as
    // typed, so the corrected text keeps the query's shape.
    QString corrected;
    corrected.reserve(text.size());
    qsizetype copied = 0;
    bool stale = false;
    Vocabulary::forEachWord(text, [&](qsizetype position, QStringView word) {
        if (stale || !hasLetter(word))
            return;
        if (cancelled) {
            stale = true;
            return;
        }
        corrected += QStringView(text).sliced(copied, position - copied);
        corrected += correctedWord(word.toString(), *vocabulary);
        copied = position + word.size();
    });
    if (stale)
        return std::nullopt; // a stale query: not worth remembering
    corrected += QStringView(text).sliced(copied);
    const std::optional<QString> result = corrected == text ? std::nullopt : std::optional<QString>(corrected);
    std::lock_guard lock(m_mutex);
    if (m_vocabulary == vocabulary) {
        if (m_texts.size() >= kMaximumRemembered)
            m_texts.clear();
        m_texts.insert(text, result);
    }
    return result;
}

QString LibrarySpellChecker::correctedWord(const QString& word, const Vocabulary& vocabulary)
{
    if (vocabulary.count(word) > 0 || (m_dictionary && m_dictionary->accepts(word)))
        return word;
    const std::optional<Vocabulary::Match> own = vocabulary.closest(word);
    if (own && own->distance <= 1)
        return inCaseOf(word, own->word);
    const std::optional<QString> suggested = m_dictionary ? m_dictionary->suggestion(word) : std::nullopt;
    if (own && (!suggested || own->distance <= distanceBetween(word, *suggested)))
        return inCaseOf(word, own->word);
    return suggested.value_or(word);
}
