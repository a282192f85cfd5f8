#pragma once

#include "ingest/FileAnalyzer.h"

#include <memory>
#include <mutex>

class EmbeddingService;
class ObjectClassifier;

// The analyses of the application: text recognition and links, the object
// classifier's labels and the sentence embedding. The classifier's model is
// read on the first file that needs it, on the analysis thread, so that
// starting the application never waits for it.
class ServiceAnalyzer : public FileAnalyzer
{
public:
    explicit ServiceAnalyzer(EmbeddingService& embedding);
    ~ServiceAnalyzer() override;

    std::optional<QString> recognizeText(const QString& filePath) override;
    QList<QUrl> extractUrls(const QString& text) override;
    QStringList labels(const QString& filePath) override;
    std::optional<QList<double>> embedding(const QString& text) override;

private:
    ObjectClassifier& classifier();

    EmbeddingService& m_embedding;
    std::once_flag m_classifierLoaded;
    std::unique_ptr<ObjectClassifier> m_classifier;
};
