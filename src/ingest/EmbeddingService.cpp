#include "ingest/EmbeddingService.h"

#include "core/Console.h"
#include "core/Graphemes.h"
#include "core/Logger.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
const QString category = u"Embedding"_s;
}

EmbeddingService::EmbeddingService(QString modelPath, QObject* parent)
    : QObject(parent)
    , m_modelPath(std::move(modelPath))
    , m_embedding(SentenceEncoder::load(m_modelPath))
    , m_queue(u"org.brindlework.Glimmerdeck.embedding"_s)
{
    if (m_embedding)
        Console::printLine(u"🧠 Embedding model loaded successfully"_s);
    else
        Console::printLine(u"⚠️ Failed to load the sentence embedding model"_s);
}

EmbeddingService::~EmbeddingService() = default;

bool EmbeddingService::isModelLoaded()
{
    return m_queue.sync([this] { return m_embedding != nullptr; });
}

std::shared_ptr<const SentenceEncoder> EmbeddingService::encoder()
{
    return m_queue.sync([this] { return std::shared_ptr<const SentenceEncoder>(m_embedding); });
}

std::optional<QList<double>> EmbeddingService::generateEmbedding(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        Logger::log(LogLevel::debug, category, u"Skipped - empty text"_s);
        return std::nullopt;
    }
    const qsizetype length = graphemeLength(trimmed);
    const bool truncated = length > maximumCharacters;
    const QString input = truncated ? graphemePrefix(trimmed, maximumCharacters) : trimmed;
    Logger::log(LogLevel::debug, category, u"Generating embedding"_s,
                {{u"textLength"_s, qlonglong(length)}, {u"truncated"_s, truncated}});

    std::optional<QList<double>> vector = m_queue.sync([this, &input] { return embedOnQueue(input); });
    if (!vector) {
        Logger::log(LogLevel::warning, category, u"Generation failed"_s);
        return std::nullopt;
    }
    Logger::log(LogLevel::debug, category, u"Generated successfully"_s, {{u"dimensions"_s, qlonglong(vector->size())}});
    return vector;
}

std::optional<QList<double>> EmbeddingService::embedOnQueue(const QString& text)
{
    if (!m_embedding) {
        Logger::log(LogLevel::warning, category, u"Model not loaded, attempting lazy load"_s);
        m_embedding = SentenceEncoder::load(m_modelPath);
        if (!m_embedding) {
            Logger::log(LogLevel::error, category, u"Failed to load model"_s);
            return std::nullopt;
        }
        Logger::log(LogLevel::info, category, u"Model loaded successfully (lazy)"_s);
    }
    return m_embedding->encode(text);
}

double EmbeddingService::cosineSimilarity(std::span<const double> a, std::span<const double> b)
{
    if (a.empty() || a.size() != b.size())
        return 0;
    // Four independent lanes let the compiler keep the sums in vector registers.
    double dot[4] = {}, sa[4] = {}, sb[4] = {};
    const size_t n = a.size();
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        for (size_t lane = 0; lane < 4; ++lane) {
            dot[lane] += a[i + lane] * b[i + lane];
            sa[lane] += a[i + lane] * a[i + lane];
            sb[lane] += b[i + lane] * b[i + lane];
        }
    }
    for (; i < n; ++i) {
        dot[0] += a[i] * b[i];
        sa[0] += a[i] * a[i];
        sb[0] += b[i] * b[i];
    }
    const double dotSum = (dot[0] + dot[1]) + (dot[2] + dot[3]);
    const double aSquares = (sa[0] + sa[1]) + (sa[2] + sa[3]);
    const double bSquares = (sb[0] + sb[1]) + (sb[2] + sb[3]);
    if (aSquares == 0 || bSquares == 0)
        return 0;
    return dotSum / (std::sqrt(aSquares) * std::sqrt(bSquares));
}
