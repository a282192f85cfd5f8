#pragma once

#include "core/SerialQueue.h"
#include "ingest/SentenceEncoder.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <span>

// Sentence embeddings of recognised text and the similarity of two of them.
// Every model access (the lazy load and the encoding) runs on one serial queue.
class EmbeddingService : public QObject
{
    Q_OBJECT

public:
    // The model is loaded from `modelPath` now; when that fails, every later
    // call tries again until it succeeds.
    explicit EmbeddingService(QString modelPath = SentenceEncoder::defaultPath(), QObject* parent = nullptr);
    ~EmbeddingService() override;

    // The text's vector (trimmed, cut to its first 1000 characters); absent for
    // blank text or when no vector can be made. Blocks until the queue has
    // computed it; callable from any thread.
    std::optional<QList<double>> generateEmbedding(const QString& text);

    // 0 when a vector is empty, the lengths differ or a norm is zero.
    // Allocates nothing; callable from any thread.
    static double cosineSimilarity(std::span<const double> a, std::span<const double> b);
    static double cosineSimilarity(const QList<double>& a, const QList<double>& b)
    {
        return cosineSimilarity(std::span<const double>(a.constData(), size_t(a.size())),
                                std::span<const double>(b.constData(), size_t(b.size())));
    }

    bool isModelLoaded();
    // The model, shared for reading its word vectors elsewhere; null while
    // it is not loaded.
    std::shared_ptr<const SentenceEncoder> encoder();
    SerialQueue& queue() { return m_queue; }

    static constexpr qsizetype maximumCharacters = 1000;

private:
    std::optional<QList<double>> embedOnQueue(const QString& text);

    QString m_modelPath;
    std::shared_ptr<SentenceEncoder> m_embedding; // written only on m_queue after construction
    SerialQueue m_queue;
};
