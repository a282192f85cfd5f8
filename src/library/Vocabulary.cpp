#include "library/Vocabulary.h"

#include "core/EditDistance.h"

#include <algorithm>
#include <bit>
#include <numeric>

namespace {
constexpr qsizetype kLongestIndexed = 40;
constexpr qsizetype kShortestIndexed = 3;

quint64 hashOf(std::u16string_view text)
{
    quint64 hash = 14695981039346656037ull;
    for (const char16_t c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash ^ (hash >> 29);
}

// Lower case, the same in every locale, into `out`.
void fold(QStringView word, std::u16string& out)
{
    out.resize(size_t(word.size()));
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word[i].unicode();
        if (c >= 0x80) {
            const QString full = word.toString().toCaseFolded();
            out.assign(reinterpret_cast<const char16_t*>(full.utf16()), size_t(full.size()));
            return;
        }
        out[size_t(i)] = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    }
}

std::u16string folded(QStringView word)
{
    std::u16string out;
    fold(word, out);
    return out;
}

int letterCount(std::u16string_view word)
{
    return int(std::count_if(word.begin(), word.end(), [](char16_t c) { return QChar(c).isLetter(); }));
}

bool isIndexed(std::u16string_view word)
{
    return qsizetype(word.size()) >= kShortestIndexed && qsizetype(word.size()) <= kLongestIndexed &&
           letterCount(word) >= 2;
}

// The deletion keys of a word's first characters: the prefix itself and,
// up to `deletions` times, the prefix with one more character removed.
// Removing either of two equal neighbours gives the same key once.
void deletionKeys(std::u16string_view prefix, int deletions, std::vector<std::u16string>& keys)
{
    keys.assign(1, std::u16string(prefix));
    size_t from = 0;
    for (int round = 0; round < deletions; ++round) {
        const size_t to = keys.size();
        for (size_t k = from; k < to; ++k) {
            const std::u16string key = keys[k];
            for (size_t i = 0; i < key.size(); ++i) {
                if (i > 0 && key[i] == key[i - 1])
                    continue;
                std::u16string shorter = key;
                shorter.erase(i, 1);
                keys.push_back(std::move(shorter));
            }
        }
        from = to;
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}
} // namespace

// Counts words into the vocabulary's own arrays, then indexes them.
class Vocabulary::Builder
{
public:
    Builder()
        : m_vocabulary(new Vocabulary)
    {
        m_vocabulary->m_offsets.push_back(0);
        m_vocabulary->m_table.assign(1024, 0);
    }

    void addText(QStringView text)
    {
        forEachWord(text, [this](qsizetype, QStringView word) {
            fold(word, m_word);
            add(m_word, 1);
        });
    }

    void add(std::u16string_view word, quint32 occurrences)
    {
        Vocabulary& v = *m_vocabulary;
        const quint64 mask = v.m_table.size() - 1;
        for (quint64 slot = hashOf(word) & mask;; slot = (slot + 1) & mask) {
            const quint32 entry = v.m_table[slot];
            if (entry == 0) {
                const auto id = quint32(v.m_counts.size());
                v.m_characters.append(word);
                v.m_offsets.push_back(quint32(v.m_characters.size()));
                v.m_counts.push_back(occurrences);
                v.m_table[slot] = id + 1;
                if (v.m_counts.size() * 2 > v.m_table.size())
                    grow();
                return;
            }
            if (v.wordAt(entry - 1) == word) {
                v.m_counts[entry - 1] += occurrences;
                return;
            }
        }
    }

    std::shared_ptr<const Vocabulary> finish(qsizetype documents)
    {
        m_vocabulary->m_documents = documents;
        sortAlphabetically();
        index();
        Vocabulary& v = *m_vocabulary;
        v.m_characters.shrink_to_fit();
        v.m_offsets.shrink_to_fit();
        v.m_counts.shrink_to_fit();
        return std::shared_ptr<const Vocabulary>(m_vocabulary.release());
    }

private:
    void grow() { rehash(m_vocabulary->m_table.size() * 2); }

    void rehash(size_t tableSize)
    {
        Vocabulary& v = *m_vocabulary;
        v.m_table.assign(tableSize, 0);
        const quint64 mask = v.m_table.size() - 1;
        for (quint32 id = 0; id < quint32(v.m_counts.size()); ++id) {
            quint64 slot = hashOf(v.wordAt(id)) & mask;
            while (v.m_table[slot] != 0)
                slot = (slot + 1) & mask;
            v.m_table[slot] = id + 1;
        }
    }

    // Renumbers the words in alphabetical order.
    void sortAlphabetically()
    {
        Vocabulary& v = *m_vocabulary;
        std::vector<quint32> order(v.m_counts.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&v](quint32 a, quint32 b) { return v.wordAt(a) < v.wordAt(b); });
        std::u16string characters;
        characters.reserve(v.m_characters.size());
        std::vector<quint32> offsets{0};
        offsets.reserve(v.m_offsets.size());
        std::vector<quint32> counts;
        counts.reserve(v.m_counts.size());
        for (const quint32 id : order) {
            characters.append(v.wordAt(id));
            offsets.push_back(quint32(characters.size()));
            counts.push_back(v.m_counts[id]);
        }
        v.m_characters = std::move(characters);
        v.m_offsets = std::move(offsets);
        v.m_counts = std::move(counts);
        rehash(v.m_table.size());
    }

    // Two passes over the keys of every indexed word: how many fall into
    // each bucket, then the words themselves.
    void index()
    {
        Vocabulary& v = *m_vocabulary;
        std::vector<std::u16string> keys;
        std::vector<quint64> hashes;
        size_t total = 0;
        for (quint32 id = 0; id < quint32(v.m_counts.size()); ++id) {
            const std::u16string_view word = v.wordAt(id);
            if (isIndexed(word))
                total += std::min<size_t>(word.size(), prefixLength) + 1;
        }
        const size_t buckets = std::bit_ceil(std::max<size_t>(total / 2, 16));
        v.m_keyStarts.assign(buckets + 1, 0);
        const auto forEachKey = [&](auto&& use) {
            for (quint32 id = 0; id < quint32(v.m_counts.size()); ++id) {
                const std::u16string_view word = v.wordAt(id);
                if (!isIndexed(word))
                    continue;
                deletionKeys(word.substr(0, prefixLength), 1, keys);
                hashes.clear();
                for (const std::u16string& key : keys)
                    hashes.push_back(hashOf(key) & (buckets - 1));
                // Two keys of one word in one bucket list the word once.
                std::sort(hashes.begin(), hashes.end());
                hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
                for (const quint64 bucket : hashes)
                    use(bucket, id);
            }
        };
        forEachKey([&](quint64 bucket, quint32) { ++v.m_keyStarts[bucket + 1]; });
        for (size_t b = 1; b <= buckets; ++b)
            v.m_keyStarts[b] += v.m_keyStarts[b - 1];
        v.m_keyedWords.assign(v.m_keyStarts[buckets], 0);
        std::vector<quint32> filled(v.m_keyStarts.begin(), v.m_keyStarts.end() - 1);
        forEachKey([&](quint64 bucket, quint32 id) { v.m_keyedWords[filled[bucket]++] = id; });
    }

    std::unique_ptr<Vocabulary> m_vocabulary;
    std::u16string m_word; // the word being counted, folded
};

std::shared_ptr<const Vocabulary> Vocabulary::build(const QList<Screenshot>& library,
                                                    const std::atomic<bool>& cancelled)
{
    Builder builder;
    for (const Screenshot& screenshot : library) {
        if (cancelled.load(std::memory_order_relaxed))
            return nullptr;
        builder.addText(screenshot.filename);
        if (screenshot.ocrText)
            builder.addText(*screenshot.ocrText);
        if (screenshot.userNotes)
            builder.addText(*screenshot.userNotes);
        for (const QString& tag : screenshot.tags)
            builder.addText(tag);
        for (const QString& tag : screenshot.customTags)
            builder.addText(tag);
    }
    return builder.finish(library.size());
}

std::shared_ptr<const Vocabulary> Vocabulary::fromTexts(const QStringList& texts)
{
    Builder builder;
    for (const QString& text : texts)
        builder.addText(text);
    return builder.finish(texts.size());
}

std::u16string_view Vocabulary::wordAt(quint32 id) const
{
    return std::u16string_view(m_characters).substr(m_offsets[id], m_offsets[id + 1] - m_offsets[id]);
}

std::optional<quint32> Vocabulary::find(std::u16string_view word) const
{
    const quint64 mask = m_table.size() - 1;
    for (quint64 slot = hashOf(word) & mask;; slot = (slot + 1) & mask) {
        const quint32 entry = m_table[slot];
        if (entry == 0)
            return std::nullopt;
        if (wordAt(entry - 1) == word)
            return entry - 1;
    }
}

quint32 Vocabulary::count(QStringView word) const
{
    const std::optional<quint32> id = find(folded(word));
    return id ? m_counts[*id] : 0;
}

bool Vocabulary::beginsAWord(QStringView prefix) const
{
    const std::u16string wanted = folded(prefix);
    // The first word not before the prefix is the first that may begin with it.
    quint32 low = 0;
    quint32 high = quint32(m_counts.size());
    while (low < high) {
        const quint32 middle = low + (high - low) / 2;
        if (wordAt(middle) < std::u16string_view(wanted))
            low = middle + 1;
        else
            high = middle;
    }
    return low < m_counts.size() && wordAt(low).starts_with(wanted);
}

std::optional<Vocabulary::Match> Vocabulary::closest(QStringView word) const
{
    const std::u16string query = folded(word);
    const auto length = qsizetype(query.size());
    if (length < shortestCorrected || length > kLongestIndexed || find(query))
        return std::nullopt;
    const int limit = length <= 5 ? 1 : 2;
    std::vector<std::u16string> keys;
    deletionKeys(std::u16string_view(query).substr(0, prefixLength), limit, keys);

    const size_t buckets = m_keyStarts.size() - 1;
    std::vector<quint32> seen;
    std::optional<quint32> best;
    int bestDistance = limit + 1;
    for (const std::u16string& key : keys) {
        const quint64 bucket = hashOf(key) & (buckets - 1);
        for (quint32 k = m_keyStarts[bucket]; k < m_keyStarts[bucket + 1]; ++k) {
            const quint32 id = m_keyedWords[k];
            const std::u16string_view candidate = wordAt(id);
            if (std::abs(qsizetype(candidate.size()) - length) > limit ||
                std::find(seen.begin(), seen.end(), id) != seen.end())
                continue;
            seen.push_back(id);
            const int distance = editDistance(query, candidate, limit);
            const bool better =
                distance < bestDistance ||
                (distance == bestDistance && best &&
                 (m_counts[id] > m_counts[*best] || (m_counts[id] == m_counts[*best] && candidate < wordAt(*best))));
            if (distance <= limit && better) {
                best = id;
                bestDistance = distance;
            }
        }
    }
    if (!best)
        return std::nullopt;
    const std::u16string_view found = wordAt(*best);
    return Match{QString::fromUtf16(found.data(), qsizetype(found.size())), bestDistance, m_counts[*best]};
}

size_t Vocabulary::memoryBytes() const
{
    return sizeof(Vocabulary) + m_characters.capacity() * sizeof(char16_t) +
           (m_offsets.capacity() + m_counts.capacity() + m_table.capacity() + m_keyStarts.capacity() +
            m_keyedWords.capacity()) *
               sizeof(quint32);
}
