#include "ingest/ObjectClassifier.h"

#include "core/ImageLoader.h"
#include "ingest/ModelAssets.h"

#include <QFile>

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

QString errorText(const cv::Exception& exception)
{
    return QString::fromUtf8(exception.what()).trimmed();
}

// The pixels of `image` as an OpenCV matrix of the same channels, shared, and
// the format they are in; images of other formats are converted first.
std::pair<cv::Mat, QImage> matOf(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        return {cv::Mat(image.height(), image.width(), CV_8UC4, const_cast<uchar*>(image.constBits()),
                        size_t(image.bytesPerLine())),
                image};
    case QImage::Format_Grayscale8:
        return {cv::Mat(image.height(), image.width(), CV_8UC1, const_cast<uchar*>(image.constBits()),
                        size_t(image.bytesPerLine())),
                image};
    default:
        // Palettes, 16-bit and packed formats: rare enough to pay a conversion.
        return matOf(image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32));
    }
}
} // namespace

ObjectClassifier::ObjectClassifier(QString modelPath, QString labelsPath, int maximumNetworks)
    : m_modelPath(std::move(modelPath))
    , m_networks(maximumNetworks, [this](QString* error) -> std::unique_ptr<Network> {
        try {
            auto network = std::make_unique<Network>();
            network->net = cv::dnn::readNetFromONNX(QFile::encodeName(m_modelPath).toStdString());
            network->net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
            return network;
        } catch (const cv::Exception& exception) {
            *error = errorText(exception);
        }
        return nullptr;
    })
{
    QFile model(m_modelPath);
    if (!model.open(QIODevice::ReadOnly)) {
        m_loadError = u"Cannot read the model %1: %2"_s.arg(m_modelPath, model.errorString());
        return;
    }
    m_identifiers = readIdentifiers(labelsPath, &m_loadError);
    if (m_identifiers.isEmpty() && m_loadError.isEmpty())
        m_loadError = u"The class list %1 is empty"_s.arg(labelsPath);
}

ObjectClassifier::~ObjectClassifier() = default;

QString ObjectClassifier::defaultModelPath()
{
    return ModelAssets::path(u"centernet.onnx"_s);
}

QString ObjectClassifier::defaultLabelsPath()
{
    return ModelAssets::path(u"centernet-labels.txt"_s);
}

void ObjectClassifier::releaseNetworks()
{
    m_networks.releaseIdle();
}

int ObjectClassifier::networkCount() const
{
    return m_networks.existing();
}

QImage ObjectClassifier::networkInput(const QImage& image)
{
    if (image.isNull())
        return {};
    if (image.size() == QSize(inputSize, inputSize))
        return ImageLoader::flattenedOnWhite(image, QImage::Format_RGB888);
    const auto [pixels, source] = matOf(image);
    cv::Mat squeezed;
    // Averaging before flattening only differs where the picture is partly
    // transparent, a border of the window's shadow at most.
    cv::resize(pixels, squeezed, cv::Size(inputSize, inputSize), 0, 0, cv::INTER_AREA);
    const QImage small(squeezed.data, inputSize, inputSize, int(squeezed.step), source.format());
    return ImageLoader::flattenedOnWhite(small, QImage::Format_RGB888);
}

ObjectClassifier::Result ObjectClassifier::classify(const QImage& image)
{
    if (!m_loadError.isEmpty())
        return {std::nullopt, Result::Failure::network, m_loadError};
    QString error;
    LeasePool<Network>::Lease network = m_networks.acquire(&error);
    if (!network)
        return {std::nullopt, Result::Failure::network, error};
    try {
        return run(*network, image);
    } catch (const cv::Exception& exception) {
        return {std::nullopt, Result::Failure::network, errorText(exception)};
    }
}

ObjectClassifier::Result ObjectClassifier::run(Network& network, const QImage& image) const
{
    const QImage rgb = networkInput(image);
    if (rgb.isNull())
        return {std::nullopt, Result::Failure::network, u"Cannot convert the image to RGB"_s};
    const cv::Mat pixels(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                         size_t(rgb.bytesPerLine()));
    // The model takes raw 0..255 RGB.
    network.net.setInput(cv::dnn::blobFromImage(pixels, 1.0, cv::Size(), cv::Scalar(), false, false, CV_32F));
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
