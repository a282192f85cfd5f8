#include "library/RelatedWords.h"

#include "ingest/SentenceEncoder.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace {
// Dimensions are padded to this many bytes, so the comparison runs over
// whole 32-byte lanes.
constexpr int kStride = 128;
// The most frequent English words (by the vectors' own frequency ranks)
// are function words: "the", "with", "after", "where".
constexpr quint32 kCommonRanks = 100;
// Remembered answers are forgotten past this many words.
constexpr qsizetype kRememberedWords = 2000;

using Quantised = std::array<qint8, kStride>;

int dotScalar(const qint8* a, const qint8* b)
{
    int sum = 0;
    for (int i = 0; i < kStride; ++i)
        sum += int(a[i]) * int(b[i]);
    return sum;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) int dotAvx2(const qint8* a, const qint8* b)
{
    // maddubs multiplies unsigned by signed bytes: |a| times b with a's
    // sign. Two products of at most 127 x 127 never saturate 16 bits.
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i sum = _mm256_setzero_si256();
    for (int i = 0; i < kStride; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const __m256i pairs = _mm256_maddubs_epi16(_mm256_sign_epi8(x, x), _mm256_sign_epi8(y, x));
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(pairs, ones));
    }
    const __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    const __m128i quarter = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0b01001110));
    return _mm_cvtsi128_si32(_mm_add_epi32(quarter, _mm_shuffle_epi32(quarter, 0b10110001)));
}
#endif

int dot(const qint8* a, const qint8* b)
{
#if defined(__x86_64__)
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    if (hasAvx2)
        return dotAvx2(a, b);
#endif
    return dotScalar(a, b);
}

// The key of a library word in the vectors' vocabulary (lower case, plain
// ASCII letters: "café" is "cafe"); empty when the word is not made of
// letters alone.
QString vectorKey(QStringView word)
{
    const bool plain = std::all_of(word.begin(), word.end(), [](QChar c) { return c >= u'a' && c <= u'z'; });
    if (plain)
        return word.toString();
    const QStringList tokens = SentenceEncoder::tokens(word.toString());
    if (tokens.size() != 1 || !std::all_of(tokens[0].begin(), tokens[0].end(), [](QChar c) { return c.isLetter(); }))
        return {};
    return tokens[0];
}
} // namespace

class RelatedWords::Index
{
public:
    static std::shared_ptr<const Index> build(const Vocabulary& vocabulary,
                                              std::shared_ptr<const SentenceEncoder> encoder,
                                              const std::atomic<bool>& cancelled)
    {
        if (encoder->dimensions() > kStride)
            return nullptr;
        auto index = std::make_shared<Index>(std::move(encoder));
        index->m_documents = std::max<qsizetype>(1, vocabulary.documents());
        bool stopped = false;
        vocabulary.forEachEntry([&](QStringView word, quint32 count) {
            if (stopped || word.size() < 3)
                return;
            if (cancelled.load(std::memory_order_relaxed)) {
                stopped = true;
                return;
            }
            float scale = 0;
            Quantised values;
            if (!index->vectorOf(vectorKey(word), values, scale))
                return;
            index->m_vectors.insert(index->m_vectors.end(), values.begin(), values.end());
            index->m_scales.push_back(scale);
            index->m_counts.push_back(count);
            index->m_characters.append(reinterpret_cast<const char16_t*>(word.utf16()), size_t(word.size()));
            index->m_offsets.push_back(quint32(index->m_characters.size()));
        });
        // Reading a vector for every word of a large library makes most of
        // the vector file resident; the index holds its own copy.
        index->m_encoder->vectors().releaseReadPages();
        if (stopped)
            return nullptr;
        index->m_vectors.shrink_to_fit();
        index->m_scales.shrink_to_fit();
        index->m_counts.shrink_to_fit();
        index->m_characters.shrink_to_fit();
        index->m_offsets.shrink_to_fit();
        return index;
    }

    explicit Index(std::shared_ptr<const SentenceEncoder> encoder)
        : m_encoder(std::move(encoder))
    {}

    QList<Word> closestTo(const QString& word) const
    {
        Quantised query;
        float queryScale = 0;
        const QString key = vectorKey(word.toLower());
        if (!vectorOf(key, query, queryScale))
            return {};
        // The best few seen so far, the least relevant last.
        struct Candidate
        {
            float relevance;
            float similarity;
            quint32 row;
        };
        std::vector<Candidate> best;
        for (quint32 row = 0; row < quint32(m_scales.size()); ++row) {
            const float similarity =
                float(dot(query.data(), &m_vectors[size_t(row) * kStride])) * queryScale * m_scales[row];
            if (similarity < minimumSimilarity)
                continue;
            const auto relevance = float(similarity * specificity(row));
            // One more than offered: the word itself may be among them.
            if (best.size() == maximumWords + 1 && relevance <= best.back().relevance)
                continue;
            best.insert(std::upper_bound(best.begin(), best.end(), relevance,
                                         [](float r, const Candidate& entry) { return r > entry.relevance; }),
                        {relevance, similarity, row});
            if (best.size() > maximumWords + 1)
                best.pop_back();
        }
        QList<Word> words;
        for (const Candidate& candidate : best) {
            const QString text = wordAt(candidate.row);
            if (text != key && size_t(words.size()) < maximumWords)
                words.append(
                    {text, double(candidate.similarity), double(candidate.relevance), m_counts[candidate.row]});
        }
        return words;
    }

    qsizetype size() const { return qsizetype(m_scales.size()); }
    qsizetype documents() const { return m_documents; }
    // Questions (and the query's own sentence vector) read the word
    // vectors' file here and there; the index holds its own copy.
    void releaseReadPages() const { m_encoder->vectors().releaseReadPages(); }

    size_t memoryBytes() const
    {
        return sizeof(Index) + m_vectors.capacity() + m_scales.capacity() * sizeof(float) +
               m_characters.capacity() * sizeof(char16_t) + m_offsets.capacity() * sizeof(quint32);
    }

private:
    double specificity(quint32 row) const
    {
        const double documents = double(m_documents);
        return std::clamp(std::log1p(documents / double(std::max<quint32>(1, m_counts[row]))) / std::log1p(documents),
                          0.0, 1.0);
    }

    QString wordAt(quint32 row) const
    {
        return QString::fromUtf16(m_characters.data() + m_offsets[row], qsizetype(m_offsets[row + 1] - m_offsets[row]));
    }

    // The unit vector of `key` less its part along the shared direction, in
    // bytes with `scale` to undo the rounding; false for words without a
    // vector and the most common ones.
    bool vectorOf(const QString& key, Quantised& values, float& scale) const
    {
        if (key.isEmpty())
            return false;
        const WordVectors& vectors = m_encoder->vectors();
        const std::optional<quint32> row = vectors.find(key.toUtf8());
        if (!row || *row < kCommonRanks)
            return false;
        std::array<double, kStride> vector{};
        vectors.accumulate(*row, 1.0, vector.data());
        m_encoder->removeCommonDirection(vector.data());
        double squares = 0;
        double largest = 0;
        for (const double value : vector) {
            squares += value * value;
            largest = std::max(largest, std::abs(value));
        }
        if (!(squares > 0) || !std::isfinite(squares))
            return false;
        const double norm = std::sqrt(squares);
        const double step = largest / norm / 127.0;
        for (int d = 0; d < kStride; ++d)
            values[size_t(d)] = qint8(std::lround(vector[size_t(d)] / norm / step));
        scale = float(step);
        return true;
    }

    std::shared_ptr<const SentenceEncoder> m_encoder;
    std::vector<qint8> m_vectors; // kStride bytes a word
    std::vector<float> m_scales;
    std::vector<quint32> m_counts; // per word: how often the library holds it
    qsizetype m_documents = 1;
    std::u16string m_characters; // every word, back to back
    std::vector<quint32> m_offsets{0};
};

RelatedWords::RelatedWords(EncoderSource encoder)
    : m_encoder(std::move(encoder))
{}

RelatedWords::~RelatedWords() = default;

void RelatedWords::setVocabulary(const std::shared_ptr<const Vocabulary>& vocabulary,
                                 const std::atomic<bool>& cancelled)
{
    std::shared_ptr<const SentenceEncoder> encoder = m_encoder ? m_encoder() : nullptr;
    if (!vocabulary || !encoder)
        return;
    std::shared_ptr<const Index> index = Index::build(*vocabulary, std::move(encoder), cancelled);
    if (!index)
        return;
    std::lock_guard lock(m_mutex);
    m_index = std::move(index);
    m_remembered.clear();
}

std::shared_ptr<const RelatedWords::Index> RelatedWords::index() const
{
    std::lock_guard lock(m_mutex);
    return m_index;
}

QList<RelatedWords::Word> RelatedWords::closestTo(const QString& word) const
{
    std::shared_ptr<const Index> index;
    {
        std::lock_guard lock(m_mutex);
        if (const auto remembered = m_remembered.constFind(word); remembered != m_remembered.cend())
            return *remembered;
        index = m_index;
    }
    if (!index)
        return {};
    QList<Word> words = index->closestTo(word);
    std::lock_guard lock(m_mutex);
    // Remembered only while the index it came from is current.
    if (m_index == index) {
        if (m_remembered.size() >= kRememberedWords)
            m_remembered.clear();
        m_remembered.insert(word, words);
    }
    return words;
}

void RelatedWords::dropCaches() const
{
    std::shared_ptr<const Index> index;
    {
        std::lock_guard lock(m_mutex);
        m_remembered = {};
        index = m_index;
    }
    if (index)
        index->releaseReadPages();
}

qsizetype RelatedWords::documents() const
{
    const std::shared_ptr<const Index> current = index();
    return current ? current->documents() : 0;
}

qsizetype RelatedWords::size() const
{
    const std::shared_ptr<const Index> current = index();
    return current ? current->size() : 0;
}

size_t RelatedWords::memoryBytes() const
{
    const std::shared_ptr<const Index> current = index();
    return sizeof(RelatedWords) + (current ? current->memoryBytes() : 0);
}
