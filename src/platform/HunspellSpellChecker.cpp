#include "platform/HunspellSpellChecker.h"

#include "core/Logger.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTextBoundaryFinder>

#include <hunspell/hunspell.hxx>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
// Enough for every query typed in a long session; beyond it, start afresh.
constexpr qsizetype kMaximumRemembered = 4096;

QString dictionaryFile(const QString& name)
{
    const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation, u"hunspell/"_s + name);
    return found.isEmpty() ? u"/usr/share/hunspell/"_s + name : found;
}

bool hasLetter(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}
} // namespace

HunspellSpellChecker::HunspellSpellChecker(QString affixPath, QString dictionaryPath)
    : m_affixPath(affixPath.isEmpty() ? dictionaryFile(u"en_US.aff"_s) : std::move(affixPath))
    , m_dictionaryPath(dictionaryPath.isEmpty() ? dictionaryFile(u"en_US.dic"_s) : std::move(dictionaryPath))
{}

HunspellSpellChecker::~HunspellSpellChecker() = default;

bool HunspellSpellChecker::isAvailable()
{
    std::lock_guard lock(m_mutex);
    return loadLocked();
}

bool HunspellSpellChecker::loadLocked()
{
    if (m_loadTried)
        return m_hunspell != nullptr;
    m_loadTried = true;
    if (!QFileInfo(m_affixPath).isReadable() || !QFileInfo(m_dictionaryPath).isReadable()) {
        Logger::log(LogLevel::warning, u"General"_s, u"Spelling dictionary not found"_s,
                    {{u"path"_s, m_dictionaryPath}});
        return false;
    }
    auto hunspell = std::make_unique<Hunspell>(QFile::encodeName(m_affixPath).constData(),
                                               QFile::encodeName(m_dictionaryPath).constData());
    const QString encoding = QString::fromStdString(hunspell->get_dict_encoding()).toUpper();
    m_isUtf8 = encoding == u"UTF-8"_s;
    if (!m_isUtf8 && encoding != u"ISO8859-1"_s) {
        Logger::log(LogLevel::warning, u"General"_s, u"Spelling dictionary in an unsupported encoding"_s,
                    {{u"encoding"_s, encoding}});
        return false;
    }
    m_hunspell = std::move(hunspell);
    return true;
}

std::optional<QString> HunspellSpellChecker::correction(const QString& text, const std::atomic<bool>& cancelled)
{
    std::lock_guard lock(m_mutex);
    if (const auto known = m_texts.constFind(text); known != m_texts.cend())
        return *known;
    if (!loadLocked())
        return std::nullopt;

    // Only the words are looked at; blanks, digits and punctuation stay as
    // typed, so the corrected text keeps the query's shape.
    QString corrected;
    corrected.reserve(text.size());
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    qsizetype start = 0;
    for (qsizetype end = words.toNextBoundary(); end != -1; end = words.toNextBoundary()) {
        const QString piece = text.sliced(start, end - start);
        if (hasLetter(piece)) {
            if (cancelled)
                return std::nullopt; // a stale query: not worth remembering
            corrected += correctWordLocked(piece);
        } else {
            corrected += piece;
        }
        start = end;
    }
    const std::optional<QString> result = corrected == text ? std::nullopt : std::optional<QString>(corrected);
    rememberLocked(text, result);
    return result;
}

bool HunspellSpellChecker::accepts(const QString& word)
{
    std::lock_guard lock(m_mutex);
    if (!loadLocked())
        return true;
    if (const auto known = m_words.constFind(word); known != m_words.cend())
        return *known == word;
    return spellsLocked(word);
}

std::optional<QString> HunspellSpellChecker::suggestion(const QString& word)
{
    std::lock_guard lock(m_mutex);
    if (!loadLocked())
        return std::nullopt;
    const QString replacement = correctWordLocked(word);
    return replacement == word ? std::nullopt : std::optional<QString>(replacement);
}

void HunspellSpellChecker::dropCaches()
{
    std::lock_guard lock(m_mutex);
    m_words = {};
    m_texts = {};
    // A dictionary that could not be read is not tried again.
    if (m_hunspell) {
        m_hunspell.reset();
        m_loadTried = false;
    }
}

QString HunspellSpellChecker::correctWordLocked(const QString& word)
{
    if (const auto known = m_words.constFind(word); known != m_words.cend())
        return *known;
    QString replacement = word;
    if (!spellsLocked(word)) {
        const std::vector<std::string> suggestions = m_hunspell->suggest(encodedLocked(word));
        if (!suggestions.empty())
            replacement = decodedLocked(suggestions.front());
    }
    if (m_words.size() >= kMaximumRemembered)
        m_words.clear();
    m_words.insert(word, replacement);
    return replacement;
}

std::string HunspellSpellChecker::encodedLocked(const QString& word) const
{
    return m_isUtf8 ? word.toStdString() : word.toLatin1().toStdString();
}

QString HunspellSpellChecker::decodedLocked(const std::string& text) const
{
    return m_isUtf8 ? QString::fromStdString(text) : QString::fromLatin1(text.data(), qsizetype(text.size()));
}

bool HunspellSpellChecker::spellsLocked(const QString& word)
{
    // A word outside the dictionary's alphabet cannot be checked: it stays.
    const std::string encoded = encodedLocked(word);
    return decodedLocked(encoded) != word || m_hunspell->spell(encoded);
}

void HunspellSpellChecker::rememberLocked(const QString& text, const std::optional<QString>& correction)
{
    if (m_texts.size() >= kMaximumRemembered)
        m_texts.clear();
    m_texts.insert(text, correction);
}
