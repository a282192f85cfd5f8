#include "spacesaver/HeicRendition.h"

#include "core/ImageLoader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace {
using Failure = CompressionService::Failure;
using Error = CompressionService::CompressionError;

HeicRendition failed(HeicRendition rendition, Error error, const QString& detail = {})
{
    rendition.data.clear();
    rendition.failure = Failure{error, detail};
    return rendition;
}

// The upright image of an already opened file, in a format with 8 bits per
// channel (16-bit sources are reduced here), with or without transparency.
QImage eightBitImage(const QImage& image)
{
    if (HeicWriter::hasVisibleAlpha(image))
        return image.convertToFormat(QImage::Format_RGBA8888);
    return image.convertToFormat(QImage::Format_RGB888);
}

// Decoding the bytes again catches an encoder that wrote something no viewer
// can show before it replaces anything.
bool decodesAs(const QByteArray& data, const QImage& source)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const QImage decoded = ImageLoader::load(buffer);
    return !decoded.isNull() && decoded.size() == source.size() &&
           (!source.hasAlphaChannel() || HeicWriter::hasVisibleAlpha(decoded));
}
} // namespace

HeicRendition HeicRendition::make(const QString& imagePath, int quality, const CompressionService::Encoder& encoder,
                                  const Admission& admit)
{
    HeicRendition rendition;
    QString why;
    auto opened = SafeFile::openRegular(imagePath, &why);
    if (!opened)
        return failed(std::move(rendition), Error::cannotLoadImage, why);
    rendition.source = opened->stamp;
    rendition.sourceTimes = opened->times;

    QFile file;
    if (!file.open(opened->handle.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return failed(std::move(rendition), Error::cannotLoadImage, file.errorString());
    opened->handle.adviseSequential();
    // Read through the opened file, so the image's times taken above stay
    // the ones it had before the run.
    const std::optional<PixelBudget::Share> memory =
        admit ? admit(ImageLoader::imageSize(file)) : std::optional<PixelBudget::Share>();
    if (admit && !memory)
        return {};
    if (!file.seek(0))
        return failed(std::move(rendition), Error::cannotLoadImage, file.errorString());
    const QImage image = ImageLoader::load(file);
    if (image.isNull())
        return failed(std::move(rendition), Error::cannotLoadImage);
    const QImage pixels = eightBitImage(image);
    if (pixels.isNull())
        return failed(std::move(rendition), Error::cannotConvertToCGImage);

    HeicWriter::Encoded encoded = encoder(pixels, quality);
    if (encoded.encoderUnavailable)
        return failed(std::move(rendition), Error::cannotCreateDestination, encoded.error);
    if (encoded.data.isEmpty() && !encoded.error.isEmpty())
        return failed(std::move(rendition), Error::compressionFailed, encoded.error);
    if (encoded.data.isEmpty() || !decodesAs(encoded.data, pixels))
        return failed(std::move(rendition), Error::invalidCompression);
    rendition.data = std::move(encoded.data);
    return rendition;
}

SafeFile::FileTimes HeicRendition::timesFor(const QString& imagePath, const SafeFile::FileTimes& imageTimes)
{
    SafeFile::FileTimes times = imageTimes;
    const QDateTime born = QFileInfo(imagePath).birthTime();
    if (born.isValid()) {
        const qint64 bornNs = born.toMSecsSinceEpoch() * 1'000'000;
        if (bornNs < times.modifiedNs)
            times.modifiedNs = bornNs;
    }
    return times;
}
