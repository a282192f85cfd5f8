#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// On-device image classifier: a CenterNet object model over the 80 COCO
// classes, run by OpenCV's dnn module. The confidence of a class is the
// maximum of its heatmap. The model file is read once; networks are made on
// demand, at most one per concurrent caller up to a limit, and reused.
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

    static int defaultMaximumNetworks();
    static QString defaultModelPath();
    static QString defaultLabelsPath();

    // Thread-safe; blocks while every network is busy and the limit is reached.
    Result classify(const QImage& image);

    const QStringList& identifiers() const { return m_identifiers; }
    QString loadError() const { return m_loadError; }
    int networksCreated() const;

    static constexpr int inputSize = 512;

private:
    struct Network; // one OpenCV net; not safe for concurrent use
    std::unique_ptr<Network> acquire(QString* error);
    void release(std::unique_ptr<Network> network);
    Result run(Network& network, const QImage& image) const;

    QByteArray m_model;
    QStringList m_identifiers;
    QString m_loadError;
    int m_maximumNetworks;

    mutable std::mutex m_mutex;
    std::condition_variable m_networkReturned;
    std::vector<std::unique_ptr<Network>> m_idle;
    int m_created = 0;
};
