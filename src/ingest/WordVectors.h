#pragma once

#include "ingest/WordVectorFormat.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <memory>
#include <optional>

// Read-only word vectors memory-mapped from the file of WordVectorFormat.h:
// only the pages of words actually looked up become resident. Thread-safe.
class WordVectors
{
public:
    // Null when the file is missing, truncated or not in the expected format.
    static std::unique_ptr<WordVectors> open(const QString& path, QString* error = nullptr);

    quint32 wordCount() const { return m_header.wordCount; }
    int dimensions() const { return int(m_header.dimensions); }

    // The row of a word (its frequency rank, 0 = most frequent), if known.
    std::optional<quint32> find(QByteArrayView utf8Word) const;
    // sum[d] += weight * vector(row)[d] for every dimension.
    void accumulate(quint32 row, double weight, double* sum) const;
    // Lets go of the pages read so far, which count as the process's
    // resident memory: after reading many rows at once, the few read later
    // come back from the file (normally from the system's cache).
    void releaseReadPages() const;

private:
    WordVectors() = default;
    bool validate(QString* error);

    QFile m_file;
    const uchar* m_data = nullptr;
    WordVectorFormat::Header m_header{};
    const quint16* m_vectors = nullptr;
    const quint32* m_wordOffsets = nullptr;
    const char* m_words = nullptr;
    const quint32* m_table = nullptr;
};
