#pragma once

#include "ingest/WordVectors.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// English sentence embedding without an inference engine: the SIF-weighted
// mean of the GloVe vectors of the text's lower-case words, L2-normalised.
// Frequent words ("the", "to") weigh little, rare ones close to 1. Thread-safe.
class SentenceEncoder
{
public:
    explicit SentenceEncoder(std::unique_ptr<WordVectors> vectors);

    // Null when the vector file cannot be opened.
    static std::unique_ptr<SentenceEncoder> load(const QString& path, QString* error = nullptr);
    static QString defaultPath();

    int dimensions() const { return m_vectors->dimensions(); }
    // Absent when the text holds no known word.
    std::optional<QList<double>> encode(const QString& text) const;

    // Lower-case runs of letters and digits, accents removed.
    static QStringList tokens(const QString& text);
    // a / (a + p(w)), with p(w) estimated from the word's frequency rank (Zipf).
    double weight(quint32 rank) const;

private:
    std::unique_ptr<WordVectors> m_vectors;
    double m_zipfNormaliser;
};
