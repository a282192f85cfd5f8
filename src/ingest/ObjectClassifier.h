#pragma once

#include "core/LeasePool.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// On-device image classifier: a CenterNet object model over the 80 COCO
// classes, run by OpenCV's dnn module. The confidence of a class is the
// maximum of its heatmap. Networks are read from the model file on demand,
// at most one per concurrent caller up to a limit, and reused until
// releaseNetworks().
class ObjectClassifier
{
public:
    struct Observation
    {
        QString identifier; // "cell_phone": blanks written as "_"
        float confidence = 0;
    };

    // Either the observations (one per class, in class order) or why none:
    // the network could not run, or it ran and gave no usable output.
    struct Result
    {
        enum class Failure { none, network, output };

        std::optional<std::vector<Observation>> observations;
        Failure failure = Failure::none;
        QString error;
    };

    ObjectClassifier(QString modelPath, QString labelsPath, int maximumNetworks);
    ~ObjectClassifier();

    static QString defaultModelPath();
    static QString defaultLabelsPath();

    // Thread-safe; blocks while every network is busy and the limit is reached.
    Result classify(const QImage& image);

    // What the network sees of `image`: the whole picture squeezed to
    // inputSize x inputSize, flattened on white, RGB. Made from any size in
    // one pass on the calling thread; classify() takes it as it is.
    static QImage networkInput(const QImage& image);

    // Lets the networks go (those at work when they finish); the next call
    // makes them again.
    void releaseNetworks();
    // Networks in existence, at work or idle.
    int networkCount() const;

    const QStringList& identifiers() const { return m_identifiers; }
    QString loadError() const { return m_loadError; }

    static constexpr int inputSize = 512;

private:
    struct Network; // one OpenCV net; not safe for concurrent use
    Result run(Network& network, const QImage& image) const;

    QString m_modelPath;
    QStringList m_identifiers;
    QString m_loadError;
    LeasePool<Network> m_networks;
};
