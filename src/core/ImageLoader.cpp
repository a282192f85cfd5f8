#include "core/ImageLoader.h"

#include "core/Heif.h"
#include "core/PathUtils.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

namespace {

// The primary image of a HEIF file. The handle keeps the context's data
// alive by itself, but the context is held too so both are released together.
struct HeifPrimary
{
    heif::Context context;
    heif::Handle handle;
};

std::optional<HeifPrimary> openHeif(const QString& path)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { heif_init(nullptr); });

    heif::Context context(heif_context_alloc());
    if (!context || !heif::ok(heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr)))
        return std::nullopt;
    heif_image_handle* handle = nullptr;
    if (!heif::ok(heif_context_get_primary_image_handle(context.get(), &handle)))
        return std::nullopt;
    return HeifPrimary{std::move(context), heif::Handle(handle)};
}

QSize boundedSize(const QSize& size, int maxPixelSize)
{
    const int longer = std::max(size.width(), size.height());
    if (maxPixelSize <= 0 || longer <= maxPixelSize)
        return size;
    const double factor = double(maxPixelSize) / longer;
    return QSize(std::max(1, qRound(size.width() * factor)), std::max(1, qRound(size.height() * factor)));
}

QImage bounded(const QImage& image, int maxPixelSize)
{
    const QSize target = boundedSize(image.size(), maxPixelSize);
    if (image.isNull() || target == image.size())
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage decodeHeif(const QString& path, int maxPixelSize)
{
    auto heif = openHeif(path);
    if (!heif)
        return {};
    const bool hasAlpha = heif_image_handle_has_alpha_channel(heif->handle.get());
    const bool premultiplied = heif_image_handle_is_premultiplied_alpha(heif->handle.get());

    heif::DecodingOptions options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image* raw = nullptr;
    // RGBA even without alpha: four-byte pixels are what Qt scales and paints
    // without another conversion.
    if (!heif::ok(heif_decode_image(heif->handle.get(), &raw, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                                    options.get())))
        return {};
    heif::Image decoded(raw);

    int stride = 0;
    const uint8_t* pixels = heif_image_get_plane_readonly(raw, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(raw, heif_channel_interleaved);
    const int height = heif_image_get_height(raw, heif_channel_interleaved);
    if (!pixels || width <= 0 || height <= 0)
        return {};

    const QImage::Format format = !hasAlpha       ? QImage::Format_RGBX8888
                                  : premultiplied ? QImage::Format_RGBA8888_Premultiplied
                                                  : QImage::Format_RGBA8888;
    // The image takes over libheif's buffer instead of copying it.
    const QImage image(
        pixels, width, height, stride, format, [](void* info) { heif_image_release(static_cast<heif_image*>(info)); },
        decoded.release());
    return bounded(image, maxPixelSize);
}

QSize heifSize(const QString& path)
{
    auto heif = openHeif(path);
    if (!heif)
        return {};
    // libheif reports the size after rotation and mirroring.
    const QSize size(heif_image_handle_get_width(heif->handle.get()), heif_image_handle_get_height(heif->handle.get()));
    return size.isEmpty() ? QSize() : size;
}

QImage decodeWithQt(const QString& path, int maxPixelSize)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (maxPixelSize > 0) {
        // The scaled size applies before the orientation, which keeps the
        // longer side the longer side.
        const QSize stored = reader.size();
        const QSize target = boundedSize(stored, maxPixelSize);
        if (stored.isValid() && target != stored)
            reader.setScaledSize(target);
    }
    return bounded(reader.read(), maxPixelSize);
}

QSize qtSize(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isEmpty())
        return {};
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}

bool hasHeifExtension(const QString& path)
{
    const QString extension = pathExtension(path).toLower();
    return extension == u"heic" || extension == u"heif";
}

// Only asked after another decoder failed, so the extra read costs nothing
// on the usual path.
bool looksLikeHeif(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(32);
    const auto kind = heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()));
    return kind == heif_filetype_yes_supported || kind == heif_filetype_maybe;
}
} // namespace

void ImageLoader::raiseAllocationLimit()
{
    static std::once_flag raised;
    std::call_once(raised, [] {
        const int current = QImageReader::allocationLimit();
        if (current != 0 && current < allocationLimitMB)
            QImageReader::setAllocationLimit(allocationLimitMB);
    });
}

QImage ImageLoader::load(const QString& path, int maxPixelSize)
{
    raiseAllocationLimit();
    // Names lie now and then (a JPEG saved as .heic, a HEIC renamed .png);
    // the other decoder gets its turn before the file counts as unreadable.
    if (hasHeifExtension(path)) {
        QImage image = decodeHeif(path, maxPixelSize);
        return image.isNull() ? decodeWithQt(path, maxPixelSize) : image;
    }
    QImage image = decodeWithQt(path, maxPixelSize);
    if (image.isNull() && looksLikeHeif(path))
        image = decodeHeif(path, maxPixelSize);
    return image;
}

QSize ImageLoader::imageSize(const QString& path)
{
    raiseAllocationLimit();
    if (hasHeifExtension(path)) {
        const QSize size = heifSize(path);
        return size.isValid() ? size : qtSize(path);
    }
    const QSize size = qtSize(path);
    if (!size.isValid() && looksLikeHeif(path))
        return heifSize(path);
    return size;
}

QImage ImageLoader::flattenedOnWhite(const QImage& image, QImage::Format format)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(format);
    QImage canvas(image.size(), QImage::Format_RGB32);
    if (canvas.isNull())
        return canvas;
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, image);
    painter.end();
    return canvas.convertToFormat(format);
}
