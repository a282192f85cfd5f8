// The two on-device models: classifier latency with 1, 2 and 4 concurrent
// callers (one network per caller against one shared guarded network), the
// encoder's cost per sentence, the resident memory each adds once loaded, and
// how well cosine similarity alone finds a sought screenshot among 200.

#include "core/Console.h"
#include "generators/ScreenshotCorpus.h"
#include "ingest/EmbeddingService.h"
#include "ingest/VisualAnalysisService.h"
#include "support/BenchSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <future>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
QString writeScreenshot(const QTemporaryDir& dir)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(QColor(0xf4, 0xf4, 0xf6));
    QPainter painter(&image);
    painter.fillRect(0, 0, 1920, 56, QColor(0x2a, 0x2a, 0x2a));
    painter.fillRect(0, 56, 320, 1024, QColor(0xe6, 0xe6, 0xea));
    painter.setBrush(QColor(0x63, 0x66, 0xf1));
    painter.drawRoundedRect(1400, 200, 400, 300, 24, 24);
    painter.setBrush(QColor(0xf5, 0x9e, 0x0b));
    painter.drawEllipse(1500, 600, 220, 220);
    QFont font = painter.font();
    font.setPixelSize(20);
    painter.setFont(font);
    for (int line = 0; line < 30; ++line)
        painter.drawText(360, 110 + line * 30, u"Line %1: the build finished with 3 warnings and 0 errors"_s.arg(line));
    painter.end();
    const QString path = dir.filePath(u"bench.png"_s);
    image.save(path);
    return path;
}

// Mean milliseconds of one analysis (decode included) while `threads`
// callers run at once.
double classifyMs(ObjectClassifier& classifier, const QString& path, int threads, int perThread)
{
    const auto runMany = [&](int count) {
        std::vector<std::future<double>> callers;
        for (int t = 0; t < threads; ++t) {
            callers.push_back(std::async(std::launch::async, [&] {
                QElapsedTimer timer;
                timer.start();
                for (int i = 0; i < count; ++i)
                    VisualAnalysisService::analyze(path, classifier);
                return double(timer.nsecsElapsed()) / 1e6 / count;
            }));
        }
        double sum = 0;
        for (auto& caller : callers)
            sum += caller.get();
        return sum / threads;
    };
    runMany(1); // networks made and warmed
    return runMany(perThread);
}

EmbeddingService& embeddingService()
{
    static EmbeddingService service;
    return service;
}

double embedMicroseconds(const QStringList& sentences)
{
    EmbeddingService& service = embeddingService();
    for (const QString& sentence : sentences)
        service.generateEmbedding(sentence);
    QElapsedTimer timer;
    timer.start();
    const int rounds = 20;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& sentence : sentences)
            service.generateEmbedding(sentence);
    }
    return double(timer.nsecsElapsed()) / 1e3 / (rounds * sentences.size());
}

double meanReciprocalRank(const ScreenshotCorpus& corpus)
{
    EmbeddingService& service = embeddingService();
    QList<QList<double>> vectors;
    for (const QString& text : corpus.texts)
        vectors.append(service.generateEmbedding(text).value_or(QList<double>{}));
    double sum = 0;
    for (const ScreenshotCorpus::Query& query : corpus.queries) {
        const QList<double> q = service.generateEmbedding(query.text).value_or(QList<double>{});
        const double target = EmbeddingService::cosineSimilarity(q, vectors.at(query.target));
        int rank = 1;
        for (qsizetype i = 0; i < vectors.size(); ++i)
            rank += i != query.target && EmbeddingService::cosineSimilarity(q, vectors.at(i)) >= target;
        Console::printLine(u"   → \"%1\": rank %2"_s.arg(query.text).arg(rank));
        sum += 1.0 / rank;
    }
    return sum / double(corpus.queries.size());
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLoggingCategory::setFilterRules(u"org.brindlework.Glimmerdeck.*=false"_s);
    QTemporaryDir dir;
    const QString image = writeScreenshot(dir);
    const ScreenshotCorpus corpus = ScreenshotCorpus::generate(11);

    const double baseMB = residentMemoryMB();
    QStringList sentences;
    for (const ScreenshotCorpus::Query& query : corpus.queries)
        sentences.append(query.text + u" and the details on the screen"_s);
    const double embedUs = embedMicroseconds(sentences);
    const double mrr = meanReciprocalRank(corpus);
    const double embeddingMB = residentMemoryMB() - baseMB;

    const double beforeClassifierMB = residentMemoryMB();
    ObjectClassifier pooled(ObjectClassifier::defaultModelPath(), ObjectClassifier::defaultLabelsPath(), 2);
    const double ms1 = classifyMs(pooled, image, 1, 12);
    const double classifierMB = residentMemoryMB() - beforeClassifierMB;
    const double ms2 = classifyMs(pooled, image, 2, 8);
    const double ms4 = classifyMs(pooled, image, 4, 6);
    const double pooledMB = residentMemoryMB() - beforeClassifierMB;

    ObjectClassifier guarded(ObjectClassifier::defaultModelPath(), ObjectClassifier::defaultLabelsPath(), 1);
    const double guardedMs4 = classifyMs(guarded, image, 4, 6);
    ObjectClassifier pair(ObjectClassifier::defaultModelPath(), ObjectClassifier::defaultLabelsPath(), 2);
    const double pairMs4 = classifyMs(pair, image, 4, 6);

    Console::printLine(
        u"📊 classifier, ms per image (decode included) with 1/2/4 callers: %1 / %2 / %3"_s.arg(ms1, 0, 'f', 1)
            .arg(ms2, 0, 'f', 1)
            .arg(ms4, 0, 'f', 1));
    Console::printLine(u"   → 4 callers, one shared guarded network: %1 ms per image; two: %2 ms; %3: %4 ms"_s
                           .arg(guardedMs4, 0, 'f', 1)
                           .arg(pairMs4, 0, 'f', 1)
                           .arg(pooled.networkCount())
                           .arg(ms4, 0, 'f', 1));
    Console::printLine(u"   → resident memory: %1 MB with one network, %2 MB with %3"_s.arg(classifierMB, 0, 'f', 1)
                           .arg(pooledMB, 0, 'f', 1)
                           .arg(pooled.networkCount()));
    Console::printLine(
        u"📊 encoder: %1 µs per sentence, %2 MB resident, MRR %3 over %4 queries in %5 texts"_s.arg(embedUs, 0, 'f', 1)
            .arg(embeddingMB, 0, 'f', 1)
            .arg(mrr, 0, 'f', 3)
            .arg(corpus.queries.size())
            .arg(corpus.texts.size()));

    ResultLine(u"models"_s)
        .add(u"classify_ms_1"_s, ms1, 1)
        .add(u"classify_ms_4"_s, ms4, 1)
        .add(u"embed_us"_s, embedUs, 1)
        .add(u"classifier_rss_mb"_s, classifierMB, 1)
        .add(u"embedding_rss_mb"_s, embeddingMB, 1)
        .add(u"mrr"_s, mrr, 3)
        .print();
    return 0;
}
