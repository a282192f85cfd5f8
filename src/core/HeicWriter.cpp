#include "core/HeicWriter.h"

#include "core/Heif.h"

#include <QFile>

#include <cstring>

namespace {
bool failed(const heif_error& result, QString* error)
{
    if (heif::ok(result))
        return false;
    if (error)
        *error = QString::fromUtf8(result.message);
    return true;
}

// An 8-bit interleaved RGB copy of `source` in a libheif image.
heif::Image toHeifImage(const QImage& source, QString* error)
{
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    heif_image* raw = nullptr;
    if (failed(heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &raw),
               error))
        return nullptr;
    heif::Image image(raw);
    if (failed(heif_image_add_plane(raw, heif_channel_interleaved, rgb.width(), rgb.height(), 8), error))
        return nullptr;
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + qsizetype(y) * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    return image;
}
} // namespace

bool HeicWriter::write(const QImage& image, const QString& path, int quality, QString* error, const char* preset)
{
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("No image to encode");
        return false;
    }
    heif::Context context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    if (failed(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder), error))
        return false;
    heif::Encoder encoder(rawEncoder);
    heif_encoder_set_lossy_quality(encoder.get(), quality);
    if (preset)
        heif_encoder_set_parameter(encoder.get(), "preset", preset);

    const heif::Image heifImage = toHeifImage(image, error);
    if (!heifImage)
        return false;
    heif_image_handle* rawHandle = nullptr;
    if (failed(heif_context_encode_image(context.get(), heifImage.get(), encoder.get(), nullptr, &rawHandle), error))
        return false;
    heif::Handle handle(rawHandle);
    return !failed(heif_context_write_to_file(context.get(), QFile::encodeName(path).constData()), error);
}
