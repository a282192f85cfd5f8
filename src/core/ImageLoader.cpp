#include "core/ImageLoader.h"

#include "core/Heif.h"
#include "core/PathUtils.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

namespace {

// The primary image of a HEIF file. The handle keeps the context's data
// alive by itself, but the context is held too so both are released together.
// libheif reads what the boxes point at only as it decodes, so the device it
// was opened from must outlive this.
struct HeifPrimary
{
    heif::Context context;
    heif::Handle handle;
};

void initialiseHeif()
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { heif_init(nullptr); });
}

bool isHeifHead(const QByteArray& head)
{
    const auto kind = heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()));
    return kind == heif_filetype_yes_supported || kind == heif_filetype_maybe;
}

// The decoders read a device from its start.
bool rewound(QIODevice& device)
{
    return !device.isSequential() && device.seek(0);
}

QIODevice& deviceOf(void* userdata)
{
    return *static_cast<QIODevice*>(userdata);
}

int readFromDevice(void* data, size_t size, void* userdata)
{
    char* into = static_cast<char*>(data);
    for (qint64 left = qint64(size); left > 0;) {
        const qint64 read = deviceOf(userdata).read(into, left);
        if (read <= 0)
            return -1;
        into += read;
        left -= read;
    }
    return 0;
}

// libheif asks for the bytes its boxes point at, and no more.
const heif_reader deviceReader{
    .reader_api_version = 1,
    .get_position = [](void* userdata) -> int64_t { return deviceOf(userdata).pos(); },
    .read = readFromDevice,
    .seek = [](int64_t position, void* userdata) { return deviceOf(userdata).seek(position) ? 0 : -1; },
    .wait_for_file_size =
        [](int64_t target, void* userdata) {
            return target <= deviceOf(userdata).size() ? heif_reader_grow_status_size_reached
                                                       : heif_reader_grow_status_size_beyond_eof;
        },
};

// Only a device whose head says HEIF is handed to libheif.
std::optional<HeifPrimary> openHeif(QIODevice& device)
{
    if (!rewound(device) || !isHeifHead(device.peek(32)))
        return std::nullopt;
    initialiseHeif();
    HeifPrimary heif{heif::Context(heif_context_alloc()), {}};
    if (!heif.context || !heif::ok(heif_context_read_from_reader(heif.context.get(), &deviceReader, &device, nullptr)))
        return std::nullopt;
    heif_image_handle* handle = nullptr;
    if (!heif::ok(heif_context_get_primary_image_handle(heif.context.get(), &handle)))
        return std::nullopt;
    heif.handle.reset(handle);
    return heif;
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

// The segments ahead of a JPEG's frame (EXIF, colour profiles, XMP) run to a
// few megabytes at most. Without a bound, a file of something else would be
// read to its end by a decoder looking for a marker, however large it is.
constexpr qint64 headerBytes = qint64(ImageLoader::headerLimitMB) * 1024 * 1024;

// The start of a device that can seek, as a device of its own: the decoders
// read no further than the window, which is moved to the picture's extent
// once the header is understood. Reads and seeks go through to the device, as
// QFile's do to its file.
class DeviceWindow : public QIODevice
{
public:
    DeviceWindow(QIODevice& device, qint64 limit)
        : m_device(device)
        , m_limit(limit)
    {
        open(QIODevice::ReadOnly);
    }

    void setLimit(qint64 limit) { m_limit = limit; }

    bool isSequential() const override { return false; }
    qint64 size() const override { return std::min(m_device.size(), m_limit); }
    bool seek(qint64 position) override { return m_device.seek(position) && QIODevice::seek(position); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 allowed = std::min(maxSize, m_limit - m_device.pos());
        return allowed > 0 ? m_device.read(data, allowed) : 0;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_device;
    qint64 m_limit;
};

// How far a decoder may read once the header is understood. A WebP file says
// its own length, and Qt's decoder would otherwise take in whatever follows
// (the zeros of a download cut short, gigabytes of them).
qint64 extentOf(const QByteArray& head)
{
    if (head.size() < 12 || !head.startsWith("RIFF") || head.sliced(8, 4) != "WEBP")
        return std::numeric_limits<qint64>::max();
    return qint64(qFromLittleEndian<quint32>(head.constData() + 4)) + 8;
}

QSize uprightSize(QImageReader& reader)
{
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isEmpty())
        return {};
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}

QSize qtSize(QIODevice& device)
{
    if (!rewound(device))
        return {};
    DeviceWindow window(device, headerBytes);
    QImageReader reader(&window);
    return uprightSize(reader);
}

// A header that gives no size is no picture Qt can decode.
QImage decodeWithQt(QIODevice& device, int maxPixelSize)
{
    if (!rewound(device))
        return {};
    const QByteArray head = device.peek(12);
    DeviceWindow window(device, headerBytes);
    QImageReader reader(&window);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isEmpty())
        return {};
    window.setLimit(extentOf(head));
    // The scaled size applies before the orientation, which keeps the
    // longer side the longer side.
    const QSize target = boundedSize(stored, maxPixelSize);
    if (target != stored)
        reader.setScaledSize(target);
    return bounded(reader.read(), maxPixelSize);
}

bool hasHeifExtension(const QString& path)
{
    const QString extension = pathExtension(path).toLower();
    return extension == u"heic" || extension == u"heif";
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Names lie now and then (a JPEG saved as .heic, a HEIC renamed .png);
    // the other decoder gets its turn before the file counts as unreadable.
    if (hasHeifExtension(path)) {
        QImage image = decodeHeif(openHeif(file), maxPixelSize);
        return image.isNull() ? decodeWithQt(file, maxPixelSize) : image;
    }
    return load(file, maxPixelSize);
}

QSize ImageLoader::imageSize(const QString& path)
{
    raiseAllocationLimit();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (hasHeifExtension(path)) {
        const QSize size = heifSize(openHeif(file));
        return size.isValid() ? size : qtSize(file);
    }
    return imageSize(file);
}

QImage ImageLoader::load(QIODevice& device, int maxPixelSize)
{
    raiseAllocationLimit();
    QImage image = decodeWithQt(device, maxPixelSize);
    if (image.isNull())
        image = decodeHeif(openHeif(device), maxPixelSize);
    return image;
}

QSize ImageLoader::imageSize(QIODevice& device)
{
    raiseAllocationLimit();
    const QSize size = qtSize(device);
    return size.isValid() ? size : heifSize(openHeif(device));
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
