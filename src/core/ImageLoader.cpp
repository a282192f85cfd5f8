#include "core/ImageLoader.h"

#include <QImageReader>

QImage ImageLoader::load(const QString& path, int maxPixelSize)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (maxPixelSize > 0) {
        const QSize size = reader.size();
        if (size.isValid() && qMax(size.width(), size.height()) > maxPixelSize)
            reader.setScaledSize(size.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio));
    }
    return reader.read();
}
