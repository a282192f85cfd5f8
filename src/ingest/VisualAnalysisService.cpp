#include "ingest/VisualAnalysisService.h"

#include "core/ImageLoader.h"
#include "core/LogTimer.h"
#include "core/Logger.h"

#include <QFileInfo>

#include <functional>

using namespace Qt::StringLiterals;

namespace {
const QString category = u"Vision"_s;

QStringList classifyImage(const QImage& image, const QString& fileName, ObjectClassifier& classifier)
{
    const LogMetadata file{{u"file"_s, fileName}};
    if (image.isNull()) {
        Logger::log(LogLevel::warning, category, u"Failed to load the image"_s, file);
        return {};
    }
    if (image.width() <= 0 || image.height() <= 0 || image.format() == QImage::Format_Invalid) {
        Logger::log(LogLevel::warning, category, u"Failed to get CGImage"_s, file);
        return {};
    }
    Logger::log(LogLevel::debug, category, u"Image loaded, performing classification"_s, file);

    const ObjectClassifier::Result result = classifier.classify(image);
    const QString error = result.error.isEmpty() ? u"Unknown"_s : result.error;
    if (result.failure == ObjectClassifier::Result::Failure::network) {
        Logger::log(LogLevel::error, category, u"Handler error"_s, {{u"file"_s, fileName}, {u"error"_s, error}});
        return {};
    }
    if (!result.observations) {
        Logger::log(LogLevel::warning, category, u"Classification failed"_s,
                    {{u"file"_s, fileName}, {u"error"_s, error}});
        return {};
    }
    return VisualAnalysisService::labelsFromObservations(fileName, *result.observations);
}

// The labels of the picture `decode` gives, between the start line and the
// timer's end line.
QStringList analyzeTimed(const QString& fileName, const std::function<QImage()>& decode, ObjectClassifier& classifier)
{
    Logger::log(LogLevel::debug, category, u"Starting visual analysis"_s, {{u"file"_s, fileName}});
    LogTimer timer(u"vision_"_s + fileName);
    const QStringList labels = classifyImage(decode(), fileName, classifier);
    timer.end({{u"file"_s, fileName}, {u"tagsFound"_s, qlonglong(labels.size())}, {u"tags"_s, labels.join(u", "_s)}});
    return labels;
}
} // namespace

QStringList VisualAnalysisService::analyze(const QString& path, ObjectClassifier& classifier)
{
    return analyzeTimed(
        QFileInfo(path).fileName(), [&path] { return ImageLoader::load(path, decodeSize); }, classifier);
}

QStringList VisualAnalysisService::analyze(const QImage& image, const QString& fileName, ObjectClassifier& classifier)
{
    return analyzeTimed(
        fileName, [&image] { return image; }, classifier);
}

QStringList VisualAnalysisService::labelsFromObservations(const QString& fileName,
                                                          const std::vector<Observation>& observations)
{
    const bool any = !observations.empty();
    Logger::log(LogLevel::debug, category, u"Found classifications"_s,
                {{u"file"_s, fileName},
                 {u"totalConcepts"_s, qlonglong(observations.size())},
                 {u"topConcept"_s, any ? observations.front().identifier : u"none"_s},
                 // Truncated toward zero, as an integer conversion does.
                 {u"topConfidence"_s, any ? int(observations.front().confidence * 100) : 0}});

    QStringList labels;
    for (const Observation& observation : observations) {
        if (labels.size() == maximumLabels)
            break;
        if (observation.confidence > confidenceThreshold)
            labels.append(QString(observation.identifier).replace(u'_', u' '));
    }
    return labels;
}
