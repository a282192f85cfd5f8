#include "ingest/VisualAnalysisService.h"
#include "support/Capture.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>

using namespace Qt::StringLiterals;

namespace {
// The application's classifier, read once for all tests of this program.
ObjectClassifier& classifier()
{
    static ObjectClassifier instance(ObjectClassifier::defaultModelPath(), ObjectClassifier::defaultLabelsPath(), 2);
    return instance;
}

using Observation = VisualAnalysisService::Observation;

QString foundLine(const LogCapture& log)
{
    const QStringList lines = log.matching(u"Found classifications"_s);
    return lines.size() == 1 ? lines.first() : QString();
}

// A window of plain text, as most screenshots are.
QString writeTextScreenshot(const QTemporaryDir& dir)
{
    QImage image(1440, 900, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, 1440, 48, QColor(0xee, 0xee, 0xee));
    QFont font = painter.font();
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int line = 0; line < 28; ++line)
        painter.drawText(60, 100 + line * 28,
                         u"Quarterly report %1: revenue grew by 4.2 percent over the prior period."_s.arg(line));
    painter.end();
    const QString path = dir.filePath(u"Screenshot 2025-03-01 at 10.00.00.png"_s);
    image.save(path);
    return path;
}
} // namespace

TEST(VisualAnalysisLabels, KeepsOnlyConfidencesAboveTheThresholdInTheirOrder)
{
    LogCapture log;
    const QStringList labels = VisualAnalysisService::labelsFromObservations(
        u"a.png"_s, {{u"laptop"_s, 0.9f}, {u"cell_phone"_s, 0.61f}, {u"tv"_s, 0.6f}, {u"book"_s, 0.3f}});
    EXPECT_EQ(labels, (QStringList{u"laptop"_s, u"cell phone"_s}));
    EXPECT_TRUE(foundLine(log).endsWith(
        u"[Vision] [DEBUG] Found classifications | file=a.png, totalConcepts=4, topConcept=laptop, topConfidence=90"_s))
        << foundLine(log).toStdString();
}

TEST(VisualAnalysisLabels, KeepsTheFirstTenAndWritesBlanksForUnderscores)
{
    std::vector<Observation> twelve;
    for (int i = 0; i < 12; ++i)
        twelve.push_back({u"class_%1"_s.arg(i), 0.95f - float(i) * 0.01f});
    const QStringList labels = VisualAnalysisService::labelsFromObservations(u"b.png"_s, twelve);
    ASSERT_EQ(labels.size(), 10);
    EXPECT_EQ(labels.first(), u"class 0"_s);
    EXPECT_EQ(labels.last(), u"class 9"_s);

    // Later observations above the threshold still fill the ten after low ones.
    std::vector<Observation> mixed{{u"low"_s, 0.1f}};
    mixed.insert(mixed.end(), twelve.begin(), twelve.end());
    EXPECT_EQ(VisualAnalysisService::labelsFromObservations(u"b.png"_s, mixed), labels);

    EXPECT_EQ(VisualAnalysisService::labelsFromObservations(u"c.png"_s, {{u"a_b_c"_s, 0.7f}}), QStringList{u"a b c"_s});
}

TEST(VisualAnalysisLabels, ReportsTheTopObservationOrNone)
{
    LogCapture log;
    EXPECT_TRUE(VisualAnalysisService::labelsFromObservations(u"d.png"_s, {}).isEmpty());
    EXPECT_TRUE(foundLine(log).endsWith(u"totalConcepts=0, topConcept=none, topConfidence=0"_s));

    log.clear();
    VisualAnalysisService::labelsFromObservations(u"e.png"_s, {{u"hot_dog"_s, 0.876f}, {u"pizza"_s, 0.99f}});
    EXPECT_TRUE(foundLine(log).endsWith(u"totalConcepts=2, topConcept=hot_dog, topConfidence=87"_s));
}

TEST(VisualAnalysis, ClassifierGivesEveryCocoClassInOrder)
{
    QImage image(640, 480, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const ObjectClassifier::Result result = classifier().classify(image);
    ASSERT_TRUE(result.observations.has_value()) << result.error.toStdString();
    ASSERT_EQ(result.observations->size(), 80u);
    EXPECT_EQ(result.observations->front().identifier, u"person"_s);
    EXPECT_EQ(result.observations->back().identifier, u"toothbrush"_s);
    EXPECT_TRUE(classifier().identifiers().contains(u"cell_phone"_s));
    for (const Observation& observation : *result.observations) {
        EXPECT_GE(observation.confidence, 0.0f);
        EXPECT_LE(observation.confidence, 1.0f);
    }
}

TEST(VisualAnalysis, TextScreenshotGetsNoLabelAndNoError)
{
    QTemporaryDir dir;
    const QString path = writeTextScreenshot(dir);
    LogCapture log;
    EXPECT_TRUE(VisualAnalysisService::analyze(path, classifier()).isEmpty());
    EXPECT_TRUE(
        log.contains(u"[Vision] [DEBUG] Starting visual analysis | file=Screenshot 2025-03-01 at 10.00.00.png"_s));
    EXPECT_TRUE(log.contains(u"[Vision] [DEBUG] Image loaded, performing classification"_s));
    EXPECT_TRUE(foundLine(log).contains(u"totalConcepts=80, topConcept=person"_s));
    EXPECT_FALSE(log.contains(u"WARNING"_s));
    EXPECT_FALSE(log.contains(u"ERROR"_s));
    const QStringList ended = log.matching(u"Timer ended"_s);
    ASSERT_EQ(ended.size(), 1);
    EXPECT_TRUE(ended.first().contains(
        u"| file=Screenshot 2025-03-01 at 10.00.00.png, tagsFound=0, tags=, id=vision_Screenshot 2025-03-01 at 10.00.00.png"_s));
}

TEST(VisualAnalysis, UnreadableFilesGiveTheWarningAndStillEndTheTimer)
{
    QTemporaryDir dir;
    QFile video(dir.filePath(u"recording.mp4"_s));
    ASSERT_TRUE(video.open(QIODevice::WriteOnly));
    video.write(QByteArray("\0\0\0\x18"
                           "ftypmp42",
                           12) +
                QByteArray(256, '\x01'));
    video.close();

    for (const QString& name : {u"missing.png"_s, u"recording.mp4"_s}) {
        LogCapture log;
        EXPECT_TRUE(VisualAnalysisService::analyze(dir.filePath(name), classifier()).isEmpty());
        EXPECT_TRUE(log.contains(u"[Vision] [WARNING] Failed to load the image | file="_s + name))
            << name.toStdString();
        EXPECT_FALSE(log.contains(u"Found classifications"_s));
        EXPECT_TRUE(log.contains(u"Timer ended | file=%1, tagsFound=0, tags=, id=vision_%1"_s.arg(name)));
    }
}

TEST(VisualAnalysis, MissingModelIsAHandlerErrorNotACrash)
{
    QTemporaryDir dir;
    const QString path = writeTextScreenshot(dir);
    ObjectClassifier broken(dir.filePath(u"absent.onnx"_s), ObjectClassifier::defaultLabelsPath(), 1);
    LogCapture log;
    EXPECT_TRUE(VisualAnalysisService::analyze(path, broken).isEmpty());
    const QStringList errors = log.matching(u"[Vision] [ERROR] Handler error"_s);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains(u"error=Cannot read the model"_s));
    EXPECT_TRUE(log.contains(u"Timer ended"_s));
}

TEST(VisualAnalysis, ConcurrentCallersShareBoundedNetworksAndAgree)
{
    QImage image(800, 600, QImage::Format_RGB32);
    image.fill(QColor(30, 90, 160));
    QPainter painter(&image);
    painter.setBrush(QColor(220, 180, 40));
    painter.drawEllipse(250, 150, 300, 300);
    painter.end();

    ObjectClassifier classifier(ObjectClassifier::defaultModelPath(), ObjectClassifier::defaultLabelsPath(), 2);
    const ObjectClassifier::Result serial = classifier.classify(image);
    ASSERT_TRUE(serial.observations.has_value());

    std::vector<std::future<bool>> callers;
    for (int i = 0; i < 4; ++i) {
        callers.push_back(std::async(std::launch::async, [&] {
            const ObjectClassifier::Result result = classifier.classify(image);
            if (!result.observations || result.observations->size() != serial.observations->size())
                return false;
            for (size_t c = 0; c < result.observations->size(); ++c) {
                if (std::abs(result.observations->at(c).confidence - serial.observations->at(c).confidence) > 1e-5f)
                    return false;
            }
            return true;
        }));
    }
    for (auto& caller : callers)
        EXPECT_TRUE(caller.get());
    EXPECT_LE(classifier.networkCount(), 2);
}
