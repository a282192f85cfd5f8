#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

// The one way this program decodes still images (png, jpg, jpeg, webp, heic):
// results are always upright (EXIF or HEIF orientation applied), and a bounded
// load never decodes the full image where the codec can avoid it. A file is
// read only as far as its format needs: the header alone until it has told
// the picture's size, so a large file of something else costs the reading of
// its first bytes. Every function is safe to call from any thread and returns
// QImage, never QPixmap.
class ImageLoader
{
public:
    // Qt refuses images above 128 MB by default, which a large panorama or a
    // 16-bit screenshot of a 6K display exceeds. The loader raises the bound
    // once, process-wide, to this many megabytes.
    static constexpr int allocationLimitMB = 512;

    // A header tells the picture's size within this many megabytes (a
    // JPEG's metadata segments included); a file is read no further before.
    static constexpr int headerLimitMB = 16;

    // The image at `path`, upright. With `maxPixelSize` > 0 its longer side is
    // at most that many pixels (never enlarged). A null image when the file is
    // missing, unreadable or not an image.
    static QImage load(const QString& path, int maxPixelSize = 0);

    // The upright pixel size from the file's header alone, without decoding
    // the pixels; an invalid size when the file cannot be read as an image.
    static QSize imageSize(const QString& path);

    // The same from an open device that can seek (a file that the caller
    // opened itself, having checked what it is, or a buffer), read from its
    // start and never closed; a sequential device gives nothing.
    static QImage load(QIODevice& device, int maxPixelSize = 0);
    static QSize imageSize(QIODevice& device);

    // Applies allocationLimitMB; load() and imageSize() call it themselves.
    // Idempotent and thread-safe.
    static void raiseAllocationLimit();

    // `image` in `format` without transparency: transparent areas (window
    // shadows) become white, as they look in a viewer.
    static QImage flattenedOnWhite(const QImage& image, QImage::Format format);
};
