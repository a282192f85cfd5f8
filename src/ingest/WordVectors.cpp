#include "ingest/WordVectors.h"

#include <array>

#include <sys/mman.h>

using namespace Qt::StringLiterals;

namespace {
// Every half float decoded once; 256 KB that stays hot while embedding.
const std::array<float, 65536>& halfTable()
{
    static const std::array<float, 65536> table = [] {
        std::array<float, 65536> values{};
        for (quint32 half = 0; half < values.size(); ++half)
            values[half] = WordVectorFormat::halfToFloat(quint16(half));
        return values;
    }();
    return table;
}

bool setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}
} // namespace

std::unique_ptr<WordVectors> WordVectors::open(const QString& path, QString* error)
{
    std::unique_ptr<WordVectors> vectors(new WordVectors);
    vectors->m_file.setFileName(path);
    if (!vectors->m_file.open(QIODevice::ReadOnly)) {
        setError(error, vectors->m_file.errorString());
        return nullptr;
    }
    if (vectors->m_file.size() < qint64(sizeof(WordVectorFormat::Header))) {
        setError(error, u"File too short"_s);
        return nullptr;
    }
    vectors->m_data = vectors->m_file.map(0, vectors->m_file.size());
    if (!vectors->m_data) {
        setError(error, vectors->m_file.errorString());
        return nullptr;
    }
    if (!vectors->validate(error))
        return nullptr;
    return vectors;
}

bool WordVectors::validate(QString* error)
{
    using namespace WordVectorFormat;
    std::memcpy(&m_header, m_data, sizeof m_header);
    const Header& h = m_header;
    const quint64 size = quint64(m_file.size());
    if (std::memcmp(h.magic, magic, sizeof magic) != 0)
        return setError(error, u"Not a word-vector file"_s);
    if (h.fileSize != size || h.wordCount == 0 || h.dimensions == 0 || h.tableSize / 2 < h.wordCount ||
        (h.tableSize & (h.tableSize - 1)) != 0)
        return setError(error, u"Inconsistent word-vector header"_s);
    const auto fits = [size](quint64 offset, quint64 bytes) {
        return offset % alignment == 0 && offset <= size && bytes <= size - offset;
    };
    if (!fits(h.vectorsOffset, quint64(h.wordCount) * h.dimensions * 2) ||
        !fits(h.wordOffsetsOffset, (quint64(h.wordCount) + 1) * 4) || !fits(h.tableOffset, quint64(h.tableSize) * 4) ||
        h.wordsOffset > h.tableOffset)
        return setError(error, u"Word-vector sections out of range"_s);

    m_vectors = reinterpret_cast<const quint16*>(m_data + h.vectorsOffset);
    m_wordOffsets = reinterpret_cast<const quint32*>(m_data + h.wordOffsetsOffset);
    m_words = reinterpret_cast<const char*>(m_data + h.wordsOffset);
    m_table = reinterpret_cast<const quint32*>(m_data + h.tableOffset);
    // Lookups trust the offsets and the table from here on.
    const quint64 wordBytes = h.tableOffset - h.wordsOffset;
    for (quint32 i = 0; i < h.wordCount; ++i) {
        if (m_wordOffsets[i] > m_wordOffsets[i + 1])
            return setError(error, u"Word offsets out of order"_s);
    }
    if (m_wordOffsets[h.wordCount] > wordBytes)
        return setError(error, u"Word offsets out of range"_s);
    quint32 used = 0;
    for (quint32 i = 0; i < h.tableSize; ++i) {
        if (m_table[i] > h.wordCount)
            return setError(error, u"Word table out of range"_s);
        used += m_table[i] != 0;
    }
    if (used > h.wordCount)
        return setError(error, u"Word table overfull"_s);
    halfTable();
    return true;
}

std::optional<quint32> WordVectors::find(QByteArrayView utf8Word) const
{
    const std::string_view word(utf8Word.data(), size_t(utf8Word.size()));
    const quint32 mask = m_header.tableSize - 1;
    // The table is at most half full, so an empty slot always ends the probe.
    for (quint32 slot = WordVectorFormat::wordHash(word) & mask;; slot = (slot + 1) & mask) {
        const quint32 entry = m_table[slot];
        if (entry == 0)
            return std::nullopt;
        const quint32 row = entry - 1;
        const std::string_view candidate(m_words + m_wordOffsets[row], m_wordOffsets[row + 1] - m_wordOffsets[row]);
        if (candidate == word)
            return row;
    }
}

void WordVectors::releaseReadPages() const
{
    // The mapping is read-only and backed by the file, so its pages can be
    // dropped at any time, also while another thread reads them.
    madvise(const_cast<uchar*>(m_data), size_t(m_header.fileSize), MADV_DONTNEED);
}

void WordVectors::accumulate(quint32 row, double weight, double* sum) const
{
    const auto& table = halfTable();
    const quint16* vector = m_vectors + size_t(row) * m_header.dimensions;
    for (quint32 d = 0; d < m_header.dimensions; ++d)
        sum[d] += weight * double(table[vector[d]]);
}
