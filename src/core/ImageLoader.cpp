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
// alive by itself, but the context is held too so both are released together;
// a file read from memory keeps its bytes here, since libheif does not copy them.
struct HeifPrimary
{
    QByteArray bytes;
    heif::Context context;
    heif::Handle handle;
};

void initialiseHeif()
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { heif_init(nullptr); });
}

std::optional<HeifPrimary> primaryOf(HeifPrimary heif, const heif_error& read)
{
    if (!heif.context || !heif::ok(read))
        return std::nullopt;
    heif_image_handle* handle = nullptr;
    if (!heif::ok(heif_context_get_primary_image_handle(heif.context.get(), &handle)))
        return std::nullopt;
    heif.handle.reset(handle);
    return heif;
}

std::optional<HeifPrimary> openHeif(const QString& path)
{
    initialiseHeif();
    HeifPrimary heif{{}, heif::Context(heif_context_alloc()), {}};
    if (!heif.context)
        return std::nullopt;
    const heif_error read =
        heif_context_read_from_file(heif.context.get(), QFile::encodeName(path).constData(), nullptr);
    return primaryOf(std::move(heif), read);
}

std::optional<HeifPrimary> openHeif(QByteArray bytes)
{
    initialiseHeif();
    HeifPrimary heif{std::move(bytes), heif::Context(heif_context_alloc()), {}};
    if (!heif.context)
        return std::nullopt;
    const heif_error read = heif_context_read_from_memory_without_copy(heif.context.get(), heif.bytes.constData(),
                                                                       size_t(heif.bytes.size()), nullptr);
    return primaryOf(std::move(heif), read);
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

QImage decodeHeif(const std::optional<HeifPrimary>& heif, int maxPixelSize)
{
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

QSize heifSize(const std::optional<HeifPrimary>& heif)
{
    if (!heif)
        return {};
    // libheif reports the size after rotation and mirroring.
    const QSize size(heif_image_handle_get_width(heif->handle.get()), heif_image_handle_get_height(heif->handle.get()));
    return size.isEmpty() ? QSize() : size;
}

QImage decodeWithQt(QImageReader& reader, int maxPixelSize)
{
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

QSize qtSize(QImageReader& reader)
{
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

bool isHeifHead(const QByteArray& head)
{
    const auto kind = heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()));
    return kind == heif_filetype_yes_supported || kind == heif_filetype_maybe;
}

// Only asked after another decoder failed, so the extra read costs nothing
// on the usual path.
bool looksLikeHeif(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && isHeifHead(file.read(32));
}

// The device's whole content when it holds a HEIF file, read from its start.
std::optional<QByteArray> heifContent(QIODevice& device)
{
    if (!device.isSequential() && !device.seek(0))
        return std::nullopt;
    QByteArray bytes = device.readAll();
    if (!isHeifHead(bytes.first(std::min<qsizetype>(bytes.size(), 32))))
        return std::nullopt;
    return bytes;
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
    QImageReader reader(path);
    if (hasHeifExtension(path)) {
        QImage image = decodeHeif(openHeif(path), maxPixelSize);
        return image.isNull() ? decodeWithQt(reader, maxPixelSize) : image;
    }
    QImage image = decodeWithQt(reader, maxPixelSize);
    if (image.isNull() && looksLikeHeif(path))
        image = decodeHeif(openHeif(path), maxPixelSize);
    return image;
}

QSize ImageLoader::imageSize(const QString& path)
{
    raiseAllocationLimit();
    QImageReader reader(path);
    if (hasHeifExtension(path)) {
        const QSize size = heifSize(openHeif(path));
        return size.isValid() ? size : qtSize(reader);
    }
    const QSize size = qtSize(reader);
    if (!size.isValid() && looksLikeHeif(path))
        return heifSize(openHeif(path));
    return size;
}

QImage ImageLoader::load(QIODevice& device, int maxPixelSize)
{
    raiseAllocationLimit();
    QImageReader reader(&device);
    QImage image = decodeWithQt(reader, maxPixelSize);
    if (image.isNull())
        if (auto bytes = heifContent(device))
            image = decodeHeif(openHeif(std::move(*bytes)), maxPixelSize);
    return image;
}

QSize ImageLoader::imageSize(QIODevice& device)
{
    raiseAllocationLimit();
    QImageReader reader(&device);
    const QSize size = qtSize(reader);
    if (!size.isValid())
        if (auto bytes = heifContent(device))
            return heifSize(openHeif(std::move(*bytes)));
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
