#pragma once

#include "core/LeasePool.h"
#include "core/SharedWork.h"
#include "core/Workers.h"
#include "ingest/FileAnalyzer.h"
#include "ingest/ObjectClassifier.h"
#include "ingest/PageReader.h"
#include "ingest/PixelBudget.h"
#include "ingest/ScreenKindClassifier.h"
#include "ingest/TextRecognizer.h"

class EmbeddingService;

// The analyses of the application: text recognition and links, the object
// classifier's labels with the kind of screen, and the sentence embedding.
// Each picture is decoded once for recognition and labels; the labels run as
// a part of the file's work beside its recognition, and idle threads of
// `helpers` take on parts of every page and stripes of the layers of its
// label network. Engines and networks are made on first need, on the
// analysis threads, and released by releaseModels().
class ServiceAnalyzer : public FileAnalyzer
{
public:
    // Up to `sizes.engines` engines and `sizes.networks` networks; without
    // `helpers` each file is analysed on its own thread alone.
    ServiceAnalyzer(EmbeddingService& embedding, const Workers::AnalysisSizes& sizes, Workers::Pool* helpers,
                    qint64 pixelBudgetBytes = PixelBudget::defaultBytes);
    // The application's: sized and helped by `workers`.
    ServiceAnalyzer(EmbeddingService& embedding, Workers& workers);
    ~ServiceAnalyzer() override;

    std::optional<QString> recognizeText(const QString& filePath) override;
    QList<QUrl> extractUrls(const QString& text) override;
    QStringList labels(const QString& filePath) override;
    std::optional<QList<double>> embedding(const QString& text) override;
    Sight look(const QString& filePath, std::stop_token stop, const TimeBudget& budget) override;
    void releaseModels() override;

    // Engines and networks in existence now.
    int engineCount() const { return m_engines.existing(); }
    int networkCount() const { return m_classifier.networkCount(); }
    // How the parts of the pages were shared out.
    const SharedWork& sharedWork() const { return m_work; }
    const PixelBudget& pixelBudget() const { return m_budget; }

private:
    // The kinds of screen the text and look tell, after the object labels,
    // by the same threshold and within the same number of labels.
    static void addScreenKinds(QStringList& labels, const QString& text, const ScreenKindClassifier::Look& look);

    EmbeddingService& m_embedding;
    LeasePool<TextRecognizer> m_engines;
    ObjectClassifier m_classifier;
    PixelBudget m_budget;
    SharedWork m_work;
    PageReader m_reader;
    // Whether the labels' copy of a page is made by the part that reads
    // them: only where a spare thread for each file of a batch takes that
    // part as soon as it is posted; elsewhere it would wait, with the whole
    // page held until then, and the threads that read labels are what the
    // batch waits for.
    const bool m_isInputMadeAside;
    // Stripes that a network's layers are cut into.
    const int m_loopWays;
};
