#pragma once

#include <QImage>
#include <QString>

// Decodes an image file upright (orientation applied). Thread-safe.
class ImageLoader
{
public:
    // A null image when the file cannot be read. With maxPixelSize > 0 the
    // longer side is bounded by it (aspect ratio kept).
    static QImage load(const QString& path, int maxPixelSize = 0);
};
