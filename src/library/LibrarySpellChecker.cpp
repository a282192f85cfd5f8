#include "library/LibrarySpellChecker.h"

#include "core/EditDistance.h"

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

struct Word
{
    qsizetype position = 0; // in the piece
    QStringView text;
};

bool isLabelJoin(QStringView separator)
{
    return separator == u"." || separator == u"-";
}

// The host's top-level domain ("com", "co.uk") and a leading "www": words
// that say nothing of what is sought and occur on countless screens.
std::vector<bool> domainWords(QStringView piece, const std::vector<Word>& words, const LinkDetector* links)
{
    std::vector<bool> dropped(words.size(), false);
    if (!links)
        return dropped;
    const auto separatorBefore = [&](size_t k) {
        const qsizetype from = words[k - 1].position + words[k - 1].text.size();
        return piece.sliced(from, words[k].position - from);
    };
    for (size_t k = 0; k < words.size(); ++k) {
        const bool dotAfter = k + 1 < words.size() && separatorBefore(k + 1) == u".";
        const bool endsLabels = k + 1 == words.size() || !isLabelJoin(separatorBefore(k + 1));
        if (dotAfter && words[k].text.compare(u"www", Qt::CaseInsensitive) == 0 &&
            (k == 0 || separatorBefore(k) != u"."))
            dropped[k] = true;
        if (k == 0 || !endsLabels || separatorBefore(k) != u".")
            continue;
        if (links->isPublicSuffix(words[k - 1].text.toString() + u'.' + words[k].text.toString())) {
            dropped[k - 1] = dropped[k] = true;
        } else if (links->isTopLevelDomain(words[k].text)) {
            dropped[k] = true;
        }
    }
    return dropped;
}

// The words of a piece that joins two or more words with letters, and
// nothing for any other piece. An underscore joins too, unless the library
// holds the joined word ("serde_json").
std::optional<std::vector<Word>> joinedWords(QStringView piece, const std::vector<Word>& words,
                                             const Vocabulary& vocabulary, const LinkDetector* links)
{
    const std::vector<bool> dropped = domainWords(piece, words, links);
    std::vector<Word> parts;
    int withLetters = 0;
    for (size_t k = 0; k < words.size(); ++k) {
        const Word& word = words[k];
        const bool split = word.text.contains(u'_') && vocabulary.count(word.text) == 0;
        qsizetype from = 0;
        for (qsizetype i = 0; i <= word.text.size(); ++i) {
            if (i < word.text.size() && !(split && word.text[i] == u'_'))
                continue;
            if (i > from) {
                const Word part{word.position + from, word.text.sliced(from, i - from)};
                withLetters += hasLetter(part.text);
                if (!dropped[k])
                    parts.push_back(part);
            }
            from = i + 1;
        }
    }
    if (withLetters < 2 || parts.empty())
        return std::nullopt;
    return parts;
}

int distanceBetween(const QString& a, const QString& b)
{
    const QString foldedA = a.toCaseFolded();
    const QString foldedB = b.toCaseFolded();
    const std::u16string_view viewA(reinterpret_cast<const char16_t*>(foldedA.utf16()), size_t(foldedA.size()));
    const std::u16string_view viewB(reinterpret_cast<const char16_t*>(foldedB.utf16()), size_t(foldedB.size()));
    return editDistance(viewA, viewB, 64);
}
} // namespace

LibrarySpellChecker::LibrarySpellChecker(std::shared_ptr<WordDictionary> dictionary,
                                         std::shared_ptr<const LinkDetector> links)
    : m_dictionary(std::move(dictionary))
    , m_links(std::move(links))
    , m_vocabulary(Vocabulary::fromTexts({}))
{}

void LibrarySpellChecker::setVocabulary(std::shared_ptr<const Vocabulary> vocabulary)
{
    std::lock_guard lock(m_mutex);
    m_vocabulary = vocabulary ? std::move(vocabulary) : Vocabulary::fromTexts({});
    m_texts.clear();
}

void LibrarySpellChecker::dropCaches()
{
    {
        std::lock_guard lock(m_mutex);
        m_texts = {};
    }
    if (m_dictionary)
        m_dictionary->dropCaches();
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
    // Blanks stay as typed, so the corrected text keeps the query's shape.
    QString corrected;
    corrected.reserve(text.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text.at(i).isSpace())
            continue;
        if (i > start) {
            if (cancelled)
                return std::nullopt; // a stale query: not worth remembering
            corrected += correctedPiece(QStringView(text).sliced(start, i - start), i == text.size(), *vocabulary);
        }
        if (i < text.size())
            corrected += text.at(i);
        start = i + 1;
    }
    const std::optional<QString> result = corrected == text ? std::nullopt : std::optional<QString>(corrected);
    std::lock_guard lock(m_mutex);
    if (m_vocabulary == vocabulary) {
        if (m_texts.size() >= kMaximumRemembered)
            m_texts.clear();
        m_texts.insert(text, result);
    }
    return result;
}

QString LibrarySpellChecker::correctedPiece(QStringView piece, bool last, const Vocabulary& vocabulary)
{
    std::vector<Word> words;
    Vocabulary::forEachWord(piece, [&words](qsizetype position, QStringView word) {
        words.push_back({position, word});
    });
    if (const std::optional<std::vector<Word>> parts = joinedWords(piece, words, vocabulary, m_links.get())) {
        // The query as typed no longer finds what its last word begins, so
        // that word is kept for the corrected text to find.
        const auto endsQuery = [&](const Word& word) {
            return last && word.position + word.text.size() == piece.size();
        };
        QString corrected;
        for (const Word& part : *parts) {
            if (!corrected.isEmpty())
                corrected += u' ';
            corrected += hasLetter(part.text) ? correctedWord(part.text.toString(), endsQuery(part), vocabulary)
                                              : part.text.toString();
        }
        return corrected;
    }
    // Only the words are looked at; digits and punctuation stay as typed.
    QString corrected;
    qsizetype copied = 0;
    for (const Word& word : words) {
        if (!hasLetter(word.text))
            continue;
        corrected += piece.sliced(copied, word.position - copied);
        corrected += correctedWord(word.text.toString(), false, vocabulary);
        copied = word.position + word.text.size();
    }
    corrected += piece.sliced(copied);
    return corrected;
}

QString LibrarySpellChecker::correctedWord(const QString& word, bool mayBeUnfinished, const Vocabulary& vocabulary)
{
    if (vocabulary.count(word) > 0 || (mayBeUnfinished && vocabulary.beginsAWord(word)) ||
        (m_dictionary && m_dictionary->accepts(word)))
        return word;
    const std::optional<Vocabulary::Match> own = vocabulary.closest(word);
    if (own && own->distance <= 1)
        return inCaseOf(word, own->word);
    const std::optional<QString> suggested = m_dictionary ? m_dictionary->suggestion(word) : std::nullopt;
    if (own && (!suggested || own->distance <= distanceBetween(word, *suggested)))
        return inCaseOf(word, own->word);
    return suggested.value_or(word);
}
