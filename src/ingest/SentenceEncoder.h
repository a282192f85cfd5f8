#pragma once

#include "ingest/WordVectors.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// English sentence embedding without an inference engine: the SIF-weighted
// mean of the GloVe vectors of the text's lower-case words, less its part
// along the direction every text shares, L2-normalised. Frequent words
// ("the", "to") weigh little, rare ones close to 1. Thread-safe.
//
// The shared direction is the mean of the weighted word vectors over the
// vocabulary's own frequencies: what any English text adds up to before
// its particular words. Left in, it makes unrelated screens of many words
// look alike; it is fixed by the vector file, so all vectors of one model
// stay comparable.
class SentenceEncoder
{
public:
    explicit SentenceEncoder(std::unique_ptr<WordVectors> vectors);

    // Null when the vector file cannot be opened.
    static std::unique_ptr<SentenceEncoder> load(const QString& path, QString* error = nullptr);
    static QString defaultPath();

    // Changes whenever the same text is given another vector: stored
    // vectors of another version are made again.
    static constexpr int modelVersion = 2;

    int dimensions() const { return m_vectors->dimensions(); }
    const WordVectors& vectors() const { return *m_vectors; }
    // Absent when the text holds no known word.
    std::optional<QList<double>> encode(const QString& text) const;

    // Lower-case runs of letters and digits, accents removed.
    static QStringList tokens(const QString& text);
    // a / (a + p(w)), with p(w) estimated from the word's frequency rank (Zipf).
    double weight(quint32 rank) const;

    // The unit direction removed from every vector.
    const std::vector<double>& commonDirection() const { return m_commonDirection; }
    // Takes the part along that direction out of a vector of `dimensions()`
    // values.
    void removeCommonDirection(double* vector) const;

private:
    std::vector<double> estimateCommonDirection() const;

    std::unique_ptr<WordVectors> m_vectors;
    double m_zipfNormaliser;
    std::vector<double> m_commonDirection;
};
