#include "ingest/ServiceAnalyzer.h"

#include "ingest/EmbeddingService.h"
#include "ingest/OCRService.h"
#include "ingest/ObjectClassifier.h"
#include "ingest/VisualAnalysisService.h"

ServiceAnalyzer::ServiceAnalyzer(EmbeddingService& embedding)
    : m_embedding(embedding)
{}

ServiceAnalyzer::~ServiceAnalyzer() = default;

std::optional<QString> ServiceAnalyzer::recognizeText(const QString& filePath)
{
    return OCRService::recognizeText(filePath);
}

QList<QUrl> ServiceAnalyzer::extractUrls(const QString& text)
{
    return OCRService::extractUrls(text);
}

QStringList ServiceAnalyzer::labels(const QString& filePath)
{
    return VisualAnalysisService::analyze(filePath, classifier());
}

std::optional<QList<double>> ServiceAnalyzer::embedding(const QString& text)
{
    return m_embedding.generateEmbedding(text);
}

ObjectClassifier& ServiceAnalyzer::classifier()
{
    std::call_once(m_classifierLoaded, [this] {
        m_classifier = std::make_unique<ObjectClassifier>(ObjectClassifier::defaultModelPath(),
                                                          ObjectClassifier::defaultLabelsPath(),
                                                          ObjectClassifier::defaultMaximumNetworks());
    });
    return *m_classifier;
}
