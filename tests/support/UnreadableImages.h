#pragma once

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringList>

#include <utility>

// Files that carry an image's name but give no picture, as real folders hold
// them: an empty one, and a PNG cut off halfway (a copy that stopped short).
// Written into `folder`; their paths, in that order.
inline QStringList writeUnreadableImages(const QDir& folder)
{
    QImage image(160, 100, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x * y) % 256));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const std::pair<QString, QByteArray> files[] = {{QStringLiteral("empty.png"), {}},
                                                    {QStringLiteral("cut.png"), png.first(png.size() / 2)}};
    QStringList paths;
    for (const auto& [name, bytes] : files) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        paths.append(file.fileName());
    }
    return paths;
}
