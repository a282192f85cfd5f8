#include "ingest/SentenceEncoder.h"

#include "ingest/ModelAssets.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
// SIF's smoothing constant: words more frequent than about 1 in 1000 are
// damped, rarer ones keep nearly full weight.
constexpr double sifA = 1e-3;
constexpr double eulerGamma = 0.5772156649;
// Beyond this rank words add almost nothing to the shared direction, and
// their pages of the vector file need not be read.
constexpr quint32 commonDirectionWords = 50'000;
} // namespace

SentenceEncoder::SentenceEncoder(std::unique_ptr<WordVectors> vectors)
    : m_vectors(std::move(vectors))
    // Under Zipf's law p(rank r) = 1 / (r * H_N), H_N ~ ln N + gamma.
    , m_zipfNormaliser(std::log(double(m_vectors->wordCount())) + eulerGamma)
    , m_commonDirection(estimateCommonDirection())
{}

std::vector<double> SentenceEncoder::estimateCommonDirection() const
{
    // The expected vector of a text drawn from the word frequencies: each
    // word's weighted vector times its probability.
    std::vector<double> sum(size_t(dimensions()), 0.0);
    const quint32 words = std::min(m_vectors->wordCount(), commonDirectionWords);
    for (quint32 row = 0; row < words; ++row) {
        const double probability = 1.0 / (double(row + 1) * m_zipfNormaliser);
        m_vectors->accumulate(row, probability * weight(row), sum.data());
    }
    double squares = 0;
    for (double value : sum)
        squares += value * value;
    if (!(squares > 0))
        return {};
    const double norm = std::sqrt(squares);
    for (double& value : sum)
        value /= norm;
    return sum;
}

std::unique_ptr<SentenceEncoder> SentenceEncoder::load(const QString& path, QString* error)
{
    std::unique_ptr<WordVectors> vectors = WordVectors::open(path, error);
    if (!vectors)
        return nullptr;
    return std::make_unique<SentenceEncoder>(std::move(vectors));
}

QString SentenceEncoder::defaultPath()
{
    return ModelAssets::path(u"word-vectors.bin"_s);
}

QStringList SentenceEncoder::tokens(const QString& text)
{
    // The vocabulary is plain ASCII ("cafe"), so accents are folded away.
    const QString folded = text.normalized(QString::NormalizationForm_KD).toLower();
    QStringList words;
    QString word;
    for (const QChar c : folded) {
        if (c.isMark())
            continue;
        if (c.isLetterOrNumber()) {
            word += c;
        } else if (!word.isEmpty()) {
            words.append(word);
            word.clear();
        }
    }
    if (!word.isEmpty())
        words.append(word);
    return words;
}

double SentenceEncoder::weight(quint32 rank) const
{
    const double probability = 1.0 / (double(rank + 1) * m_zipfNormaliser);
    return sifA / (sifA + probability);
}

void SentenceEncoder::removeCommonDirection(double* vector) const
{
    double along = 0;
    for (size_t d = 0; d < m_commonDirection.size(); ++d)
        along += vector[d] * m_commonDirection[d];
    for (size_t d = 0; d < m_commonDirection.size(); ++d)
        vector[d] -= along * m_commonDirection[d];
}

std::optional<QList<double>> SentenceEncoder::encode(const QString& text) const
{
    std::vector<double> sum(size_t(dimensions()), 0.0);
    bool known = false;
    for (const QString& token : tokens(text)) {
        const std::optional<quint32> row = m_vectors->find(token.toUtf8());
        if (!row)
            continue;
        m_vectors->accumulate(*row, weight(*row), sum.data());
        known = true;
    }
    if (!known)
        return std::nullopt;
    removeCommonDirection(sum.data());
    double squares = 0;
    for (double value : sum)
        squares += value * value;
    if (squares == 0)
        return std::nullopt;
    const double norm = std::sqrt(squares);
    QList<double> vector;
    vector.reserve(dimensions());
    for (double value : sum)
        vector.append(value / norm);
    return vector;
}
