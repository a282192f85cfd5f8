#include "ingest/SentenceEncoder.h"

#include "ingest/ModelAssets.h"

#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
// SIF's smoothing constant: words more frequent than about 1 in 1000 are
// damped, rarer ones keep nearly full weight.
constexpr double sifA = 1e-3;
constexpr double eulerGamma = 0.5772156649;
} // namespace

SentenceEncoder::SentenceEncoder(std::unique_ptr<WordVectors> vectors)
    : m_vectors(std::move(vectors))
    // Under Zipf's law p(rank r) = 1 / (r * H_N), H_N ~ ln N + gamma.
    , m_zipfNormaliser(std::log(double(m_vectors->wordCount())) + eulerGamma)
{}

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
    double squares = 0;
    for (double value : sum)
        squares += value * value;
    if (!known || squares == 0)
        return std::nullopt;
    const double norm = std::sqrt(squares);
    QList<double> vector;
    vector.reserve(dimensions());
    for (double value : sum)
        vector.append(value / norm);
    return vector;
}
