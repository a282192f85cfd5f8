#include "core/HeicWriter.h"

#include "core/Heif.h"

#include <QColorSpace>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
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

// An 8-bit interleaved copy of `source` in a libheif image: RGBA when some
// pixel is transparent (straight alpha, as HEIF stores it), RGB otherwise.
heif::Image toHeifImage(const QImage& source, QString* error)
{
    const bool alpha = HeicWriter::hasVisibleAlpha(source);
    const QImage pixels = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (pixels.isNull()) {
        if (error)
            *error = QStringLiteral("Not enough memory to convert the image");
        return nullptr;
    }
    heif_image* raw = nullptr;
    const heif_chroma chroma = alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    if (failed(heif_image_create(pixels.width(), pixels.height(), heif_colorspace_RGB, chroma, &raw), error))
        return nullptr;
    heif::Image image(raw);
    if (failed(heif_image_add_plane(raw, heif_channel_interleaved, pixels.width(), pixels.height(), 8), error))
        return nullptr;
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
    const size_t rowBytes = size_t(pixels.width()) * (alpha ? 4 : 3);
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(plane + qsizetype(y) * stride, pixels.constScanLine(y), rowBytes);

    const QByteArray profile = source.colorSpace().iccProfile();
    if (!profile.isEmpty() &&
        failed(heif_image_set_raw_color_profile(raw, "prof", profile.constData(), size_t(profile.size())), error))
        return nullptr;
    return image;
}

heif_error appendTo(heif_context*, const void* data, size_t size, void* buffer)
{
    static_cast<QByteArray*>(buffer)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

template <typename T>
bool alphaBelowOpaque(const QImage& image, T opaque, int shift, T mask)
{
    for (int y = 0; y < image.height(); ++y) {
        const T* row = reinterpret_cast<const T*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (((row[x] >> shift) & mask) != opaque)
                return true;
    }
    return false;
}
} // namespace

bool HeicWriter::hasVisibleAlpha(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return false;
    // Palette images: a transparent palette entry only counts when used, but
    // any such entry is rare enough to keep the plane.
    if (image.format() == QImage::Format_Indexed8) {
        const auto table = image.colorTable();
        return std::any_of(table.begin(), table.end(), [](QRgb colour) { return qAlpha(colour) != 255; });
    }
    if (image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_ARGB32_Premultiplied)
        return alphaBelowOpaque<quint32>(image, 0xff, 24, 0xff);
    if (image.format() == QImage::Format_RGBA64 || image.format() == QImage::Format_RGBA64_Premultiplied)
        return alphaBelowOpaque<quint64>(image, 0xffff, 48, 0xffff);
    return alphaBelowOpaque<quint32>(image.convertToFormat(QImage::Format_ARGB32), 0xff, 24, 0xff);
}

HeicWriter::Encoded HeicWriter::encode(const QImage& image, int quality, const char* preset)
{
    Encoded result;
    if (image.isNull()) {
        result.error = QStringLiteral("No image to encode");
        return result;
    }
    heif::Context context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    if (!context ||
        failed(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder), &result.error)) {
        result.encoderUnavailable = true;
        return result;
    }
    heif::Encoder encoder(rawEncoder);
    heif_encoder_set_lossy_quality(encoder.get(), quality);
    if (preset)
        heif_encoder_set_parameter(encoder.get(), "preset", preset);

    const heif::Image heifImage = toHeifImage(image, &result.error);
    if (!heifImage)
        return result;
    heif_image_handle* rawHandle = nullptr;
    if (failed(heif_context_encode_image(context.get(), heifImage.get(), encoder.get(), nullptr, &rawHandle),
               &result.error))
        return result;
    heif::Handle handle(rawHandle);
    heif_writer writer{1, &appendTo};
    QByteArray data;
    if (failed(heif_context_write(context.get(), &writer, &data), &result.error))
        return result;
    result.data = std::move(data);
    return result;
}

bool HeicWriter::write(const QImage& image, const QString& path, int quality, QString* error, const char* preset)
{
    const Encoded encoded = encode(image, quality, preset);
    if (encoded.data.isEmpty()) {
        if (error)
            *error = encoded.error;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(encoded.data) != encoded.data.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
