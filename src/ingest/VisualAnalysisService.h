#pragma once

#include "ingest/ObjectClassifier.h"

#include <QString>
#include <QStringList>

#include <vector>

// Up to ten visual labels ("person", "cell phone") for one image file, from the
// on-device object classifier. Stateless; runs on the caller's (worker) thread.
class VisualAnalysisService
{
public:
    using Observation = ObjectClassifier::Observation;

    VisualAnalysisService() = delete;

    // Never fails towards the caller: a file that cannot be loaded or
    // classified gives an empty list (and its log line).
    static QStringList analyze(const QString& path, ObjectClassifier& classifier);
    // The same for a picture already decoded (null when it could not be),
    // best reduced beforehand with ObjectClassifier::networkInput().
    static QStringList analyze(const QImage& image, const QString& fileName, ObjectClassifier& classifier);

    // Logs "Found classifications", then keeps, in the order given, the first
    // ten observations above the threshold, as labels ("a_b" -> "a b").
    static QStringList labelsFromObservations(const QString& fileName, const std::vector<Observation>& observations);

    static constexpr float confidenceThreshold = 0.6f;
    static constexpr int maximumLabels = 10;
    // Decoding larger than this only costs time: the model sees 512 x 512.
    static constexpr int decodeSize = 1024;
};
