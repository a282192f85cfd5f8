#include "ingest/EmbeddingService.h"
#include "ingest/WordVectors.h"
#include "support/Capture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <thread>

using namespace Qt::StringLiterals;

namespace {
EmbeddingService& service()
{
    static EmbeddingService instance;
    return instance;
}

QList<double> embed(const QString& text)
{
    std::optional<QList<double>> vector = service().generateEmbedding(text);
    EXPECT_TRUE(vector.has_value()) << text.toStdString();
    return vector.value_or(QList<double>{});
}

double similarity(const QString& a, const QString& b)
{
    return EmbeddingService::cosineSimilarity(embed(a), embed(b));
}

// `count` user-perceived characters of distinct words.
QString wordsOfLength(const QStringList& words, qsizetype count)
{
    QString text;
    for (int i = 0; text.size() < count; ++i)
        text += words.at(i % words.size()) + u' ';
    return text.left(count - 1) + u'x';
}
} // namespace

TEST(EmbeddingService, LoadsTheModelAtCreationAndAnnouncesIt)
{
    ConsoleCapture console;
    EmbeddingService loaded;
    EXPECT_TRUE(loaded.isModelLoaded());
    EXPECT_EQ(console.lines(), QStringList{u"🧠 Embedding model loaded successfully"_s});
    EXPECT_EQ(loaded.queue().label(), u"org.brindlework.Glimmerdeck.embedding"_s);
}

TEST(EmbeddingService, MissingModelIsRetriedOnEveryCallUntilItAppears)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"word-vectors.bin"_s);
    ConsoleCapture console;
    EmbeddingService lazy(path);
    EXPECT_EQ(console.lines(), QStringList{u"⚠️ Failed to load the sentence embedding model"_s});

    LogCapture log;
    EXPECT_FALSE(lazy.generateEmbedding(u"invoice payment due"_s).has_value());
    EXPECT_TRUE(log.contains(u"[Embedding] [WARNING] Model not loaded, attempting lazy load"_s));
    EXPECT_TRUE(log.contains(u"[Embedding] [ERROR] Failed to load model"_s));
    EXPECT_TRUE(log.contains(u"[Embedding] [WARNING] Generation failed"_s));

    ASSERT_TRUE(QFile::link(SentenceEncoder::defaultPath(), path));
    log.clear();
    const std::optional<QList<double>> vector = lazy.generateEmbedding(u"invoice payment due"_s);
    ASSERT_TRUE(vector.has_value());
    EXPECT_EQ(*vector, embed(u"invoice payment due"_s));
    EXPECT_TRUE(log.contains(u"[Embedding] [INFO] Model loaded successfully (lazy)"_s));
    EXPECT_TRUE(log.contains(u"Generated successfully | dimensions=100"_s));
    log.clear();
    lazy.generateEmbedding(u"bill"_s);
    EXPECT_FALSE(log.contains(u"lazy"_s));
}

TEST(EmbeddingService, BlankTextIsAbsentWithoutTouchingTheQueue)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    service().queue().async([released] { released.wait(); });

    LogCapture log;
    auto blank = std::async(std::launch::async, [] { return service().generateEmbedding(u" \n\t  \r\n "_s); });
    const bool finished = blank.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    release.set_value();
    ASSERT_TRUE(finished) << "blank text waited for the busy queue";
    EXPECT_FALSE(blank.get().has_value());
    EXPECT_EQ(log.matching(u"[Embedding]"_s), QStringList{log.matching(u"[Embedding] [DEBUG] Skipped - empty text"_s)});
    EXPECT_EQ(log.matching(u"Skipped - empty text"_s).size(), 1);
}

TEST(EmbeddingService, TruncatesToTheFirstThousandCharacters)
{
    const QString head = wordsOfLength({u"invoice"_s, u"payment"_s, u"bank"_s, u"transfer"_s}, 1000);
    const QString tail = wordsOfLength({u"cat"_s, u"sofa"_s, u"kitten"_s}, 500);

    LogCapture log;
    const QList<double> long1500 = embed(head + tail);
    EXPECT_TRUE(log.contains(u"Generating embedding | textLength=1500, truncated=true"_s));
    EXPECT_EQ(long1500, embed(head));
    EXPECT_TRUE(log.contains(u"Generating embedding | textLength=1000, truncated=false"_s));

    // Characters are user-perceived: an emoji with a skin tone counts once.
    log.clear();
    QString emoji;
    for (int i = 0; i < 1000; ++i)
        emoji += u"👍🏽"_s;
    service().generateEmbedding(u"  invoice "_s + emoji + u"\n"_s);
    EXPECT_TRUE(log.contains(u"textLength=1008, truncated=true"_s));
}

TEST(EmbeddingService, VectorsAreUnitLengthAndIgnoreCaseAndPunctuation)
{
    const QList<double> vector = embed(u"Invoice, PAYMENT due!"_s);
    ASSERT_EQ(vector.size(), 100);
    double squares = 0;
    for (double value : vector)
        squares += value * value;
    EXPECT_NEAR(squares, 1.0, 1e-12);
    EXPECT_EQ(vector, embed(u"invoice payment due"_s));
    EXPECT_EQ(embed(u"Café RÉSUMÉ"_s), embed(u"cafe resume"_s));

    LogCapture log;
    EXPECT_FALSE(service().generateEmbedding(u"zzqxv qqwvjx ✓✓"_s).has_value());
    EXPECT_TRUE(log.contains(u"[Embedding] [WARNING] Generation failed"_s));
}

TEST(EmbeddingService, RelatedTextsAreCloserThanUnrelatedOnes)
{
    const double bill = similarity(u"invoice payment due"_s, u"bill to pay"_s);
    const double cat = similarity(u"invoice payment due"_s, u"cat sleeping on sofa"_s);
    EXPECT_GT(bill, cat + 0.2) << bill << " vs " << cat;
    EXPECT_GT(similarity(u"error in terminal"_s, u"command not found: segmentation fault (core dumped)"_s),
              similarity(u"error in terminal"_s, u"flight to paris boarding pass gate 12"_s));
}

TEST(EmbeddingService, ConcurrentCallersGetTheSerialVectors)
{
    QStringList texts;
    for (int i = 0; i < 40; ++i)
        texts.append(u"meeting notes %1 budget review quarterly report slide %2"_s.arg(i).arg(i * 7));
    QList<QList<double>> serial;
    for (const QString& text : texts)
        serial.append(embed(text));

    std::vector<std::future<bool>> callers;
    for (int thread = 0; thread < 8; ++thread) {
        callers.push_back(std::async(std::launch::async, [&texts, &serial, thread] {
            bool same = true;
            for (qsizetype i = 0; i < texts.size(); ++i) {
                const qsizetype index = (i + thread * 5) % texts.size();
                same = same && service().generateEmbedding(texts.at(index)) == serial.at(index);
            }
            return same;
        }));
    }
    for (auto& caller : callers)
        EXPECT_TRUE(caller.get());
}

TEST(EmbeddingService, CosineSimilarityTable)
{
    using V = QList<double>;
    EXPECT_NEAR(EmbeddingService::cosineSimilarity(V{1, 0}, V{0, 1}), 0.0, 1e-12);
    EXPECT_NEAR(EmbeddingService::cosineSimilarity(V{1, 2}, V{2, 4}), 1.0, 1e-12);
    EXPECT_NEAR(EmbeddingService::cosineSimilarity(V{1, 2}, V{-1, -2}), -1.0, 1e-12);
    EXPECT_EQ(EmbeddingService::cosineSimilarity(V{1, 2, 3}, V{1, 2}), 0.0);
    EXPECT_EQ(EmbeddingService::cosineSimilarity(V{}, V{}), 0.0);
    EXPECT_EQ(EmbeddingService::cosineSimilarity(V{0, 0}, V{1, 1}), 0.0);
    EXPECT_EQ(EmbeddingService::cosineSimilarity(V{1, 1}, V{0, 0}), 0.0);

    // Lengths that are not a multiple of the four lanes, against a plain loop.
    V a, b;
    for (int i = 0; i < 103; ++i) {
        a.append(std::sin(i * 0.7));
        b.append(std::cos(i * 0.3) + 0.1);
    }
    double dot = 0, sa = 0, sb = 0;
    for (int i = 0; i < 103; ++i) {
        dot += a[i] * b[i];
        sa += a[i] * a[i];
        sb += b[i] * b[i];
    }
    EXPECT_NEAR(EmbeddingService::cosineSimilarity(a, b), dot / (std::sqrt(sa) * std::sqrt(sb)), 1e-12);
}

TEST(WordVectors, RejectsFilesNotInTheFormat)
{
    QTemporaryDir dir;
    QFile real(SentenceEncoder::defaultPath());
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray head = real.read(1 << 16);

    const auto rejected = [&dir](const QByteArray& bytes) {
        QFile file(dir.filePath(u"vectors.bin"_s));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
        file.close();
        QString error;
        return WordVectors::open(file.fileName(), &error) == nullptr && !error.isEmpty();
    };
    EXPECT_TRUE(rejected(head)) << "truncated";
    EXPECT_TRUE(rejected(QByteArray(64, '\0'))) << "no magic";
    EXPECT_TRUE(rejected("GDWVEC01")) << "short header";
    QString error;
    EXPECT_EQ(WordVectors::open(dir.filePath(u"absent.bin"_s), &error), nullptr);
}

TEST(WordVectors, FindsWordsByFrequencyRank)
{
    std::unique_ptr<WordVectors> vectors = WordVectors::open(SentenceEncoder::defaultPath());
    ASSERT_TRUE(vectors);
    EXPECT_EQ(vectors->dimensions(), 100);
    EXPECT_GT(vectors->wordCount(), 300000u);
    EXPECT_EQ(vectors->find("the"), 0u);
    const std::optional<quint32> invoice = vectors->find("invoice");
    const std::optional<quint32> payment = vectors->find("payment");
    ASSERT_TRUE(invoice && payment);
    EXPECT_GT(*invoice, *payment);
    EXPECT_FALSE(vectors->find("Invoice").has_value());
    EXPECT_FALSE(vectors->find("").has_value());
}

TEST(WordVectorFormat, HalfFloatsRoundTripAndRoundToNearestEven)
{
    using namespace WordVectorFormat;
    for (float value : {0.0f, 1.0f, -2.5f, 0.333251953125f, 65504.0f, -0.000060975552f})
        EXPECT_EQ(halfToFloat(floatToHalf(value)), value) << value;
    EXPECT_EQ(floatToHalf(1.0f + 1.0f / 2048), floatToHalf(1.0f)) << "tie rounds to even";
    EXPECT_EQ(floatToHalf(1.0f + 3.0f / 2048), floatToHalf(1.0f + 4.0f / 2048)) << "tie rounds to even";
    EXPECT_TRUE(std::isinf(halfToFloat(floatToHalf(1e6f))));
    EXPECT_NEAR(halfToFloat(floatToHalf(1e-6f)), 1e-6f, 6e-8f) << "subnormal";
}
