#include "ingest/ObjectClassifier.h"

#include "core/ImageLoader.h"
#include "ingest/ModelAssets.h"

#include <QFile>
#include <QPainter>
#include <QThread>

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

using namespace Qt::StringLiterals;

struct ObjectClassifier::Network
{
    cv::dnn::Net net;
};

namespace {
QStringList readIdentifiers(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = u"Cannot read the class list %1: %2"_s.arg(path, file.errorString());
        return {};
    }
    QStringList identifiers;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            identifiers.append(QString::fromUtf8(line.trimmed()));
    }
    return identifiers;
}

} // namespace

ObjectClassifier::ObjectClassifier(QString modelPath, QString labelsPath, int maximumNetworks)
    : m_maximumNetworks(qMax(1, maximumNetworks))
{
    QFile model(modelPath);
    if (!model.open(QIODevice::ReadOnly)) {
        m_loadError = u"Cannot read the model %1: %2"_s.arg(modelPath, model.errorString());
        return;
    }
    m_model = model.readAll();
    m_identifiers = readIdentifiers(labelsPath, &m_loadError);
    if (m_identifiers.isEmpty() && m_loadError.isEmpty())
        m_loadError = u"The class list %1 is empty"_s.arg(labelsPath);
}

ObjectClassifier::~ObjectClassifier() = default;

int ObjectClassifier::defaultMaximumNetworks()
{
    // Each network holds about 100 MB of working memory at 512 x 512. Two keep
    // the resident size of a large library within budget; text recognition,
    // not classification, is what the other analysis threads spend most time on.
    return qMin(2, QThread::idealThreadCount());
}

QString ObjectClassifier::defaultModelPath()
{
    return ModelAssets::path(u"centernet.onnx"_s);
}

QString ObjectClassifier::defaultLabelsPath()
{
    return ModelAssets::path(u"centernet-labels.txt"_s);
}

int ObjectClassifier::networksCreated() const
{
    std::lock_guard lock(m_mutex);
    return m_created;
}

std::unique_ptr<ObjectClassifier::Network> ObjectClassifier::acquire(QString* error)
{
    std::unique_lock lock(m_mutex);
    m_networkReturned.wait(lock, [this] { return !m_idle.empty() || m_created < m_maximumNetworks; });
    if (!m_idle.empty()) {
        std::unique_ptr<Network> network = std::move(m_idle.back());
        m_idle.pop_back();
        return network;
    }
    ++m_created;
    lock.unlock();
    try {
        auto network = std::make_unique<Network>();
        network->net = cv::dnn::readNetFromONNX(m_model.constData(), size_t(m_model.size()));
        network->net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
        return network;
    } catch (const cv::Exception& exception) {
        *error = QString::fromUtf8(exception.what()).trimmed();
    }
    lock.lock();
    --m_created;
    m_networkReturned.notify_one();
    return nullptr;
}

void ObjectClassifier::release(std::unique_ptr<Network> network)
{
    {
        std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(network));
    }
    m_networkReturned.notify_one();
}

ObjectClassifier::Result ObjectClassifier::classify(const QImage& image)
{
    if (!m_loadError.isEmpty())
        return {std::nullopt, Result::Failure::network, m_loadError};
    QString error;
    std::unique_ptr<Network> network = acquire(&error);
    if (!network)
        return {std::nullopt, Result::Failure::network, error};
    Result result;
    try {
        result = run(*network, image);
    } catch (const cv::Exception& exception) {
        result = {std::nullopt, Result::Failure::network, QString::fromUtf8(exception.what()).trimmed()};
    }
    release(std::move(network));
    return result;
}

ObjectClassifier::Result ObjectClassifier::run(Network& network, const QImage& image) const
{
    const QImage rgb = ImageLoader::flattenedOnWhite(image, QImage::Format_RGB888);
    if (rgb.isNull())
        return {std::nullopt, Result::Failure::network, u"Cannot convert the image to RGB"_s};
    const cv::Mat pixels(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                         size_t(rgb.bytesPerLine()));
    cv::Mat resized;
    // The model takes the whole picture squeezed to 512 x 512, raw 0..255 RGB.
    cv::resize(pixels, resized, cv::Size(inputSize, inputSize), 0, 0, cv::INTER_AREA);
    network.net.setInput(cv::dnn::blobFromImage(resized, 1.0, cv::Size(), cv::Scalar(), false, false, CV_32F));
    const cv::Mat heatmap = network.net.forward();

    if (heatmap.dims != 4 || heatmap.size[1] != m_identifiers.size())
        return {std::nullopt, Result::Failure::output, u"Unexpected model output"_s};
    const int height = heatmap.size[2];
    const int width = heatmap.size[3];
    std::vector<Observation> observations;
    observations.reserve(size_t(m_identifiers.size()));
    for (int c = 0; c < heatmap.size[1]; ++c) {
        const cv::Mat plane(height, width, CV_32F, const_cast<float*>(heatmap.ptr<float>(0, c)));
        double maximum = 0;
        cv::minMaxLoc(plane, nullptr, &maximum);
        observations.push_back({m_identifiers.at(c), float(maximum)});
    }
    return {std::move(observations), Result::Failure::none, {}};
}
