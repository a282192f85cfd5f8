#include "generators/MediaGenerator.h"

#include "core/HeicWriter.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRadialGradient>

#include <cstring>
#include <memory>

MediaGenerator::MediaGenerator(quint32 seed)
    : m_random(seed)
{}

int MediaGenerator::between(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

QColor MediaGenerator::color()
{
    return QColor(between(0, 255), between(0, 255), between(0, 255));
}

QImage MediaGenerator::photo(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, color());
    sky.setColorAt(1, color());
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 40; ++i) {
        const QPointF centre(between(0, size.width()), between(0, size.height()));
        const double radius = between(size.width() / 30, size.width() / 5);
        QRadialGradient blob(centre, radius);
        QColor inner = color();
        inner.setAlpha(between(80, 220));
        blob.setColorAt(0, inner);
        blob.setColorAt(1, Qt::transparent);
        painter.setPen(Qt::NoPen);
        painter.setBrush(blob);
        painter.drawEllipse(centre, radius, radius);
    }
    painter.end();

    // Grain: a cheap generator per row keeps 12 megapixels fast to make.
    quint32 state = m_random();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 28) - 8;
            const QRgb pixel = row[x];
            row[x] = qRgb(std::clamp(qRed(pixel) + noise, 0, 255), std::clamp(qGreen(pixel) + noise, 0, 255),
                          std::clamp(qBlue(pixel) + noise, 0, 255));
        }
    }
    return image;
}

QImage MediaGenerator::noisyPhoto(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient ground(0, 0, size.width(), size.height());
    ground.setColorAt(0, QColor(between(150, 220), between(150, 220), between(150, 220)));
    ground.setColorAt(1, QColor(between(90, 160), between(90, 160), between(90, 160)));
    painter.fillRect(image.rect(), ground);
    painter.setRenderHint(QPainter::Antialiasing);
    // Strokes of letter size in loose rows, like a weave or gravel: each cell
    // holds one or two short dark marks.
    constexpr int cellWidth = 11;
    constexpr int cellHeight = 19;
    for (int y = 0; y < size.height(); y += cellHeight) {
        const int shift = between(0, cellWidth);
        for (int x = -shift; x < size.width(); x += cellWidth) {
            const int marks = between(1, 2);
            for (int m = 0; m < marks; ++m) {
                const int shade = between(0, 90);
                painter.setPen(QPen(QColor(shade, shade, shade), between(1, 3)));
                painter.drawLine(QPointF(x + between(0, cellWidth - 2), y + between(2, cellHeight - 4)),
                                 QPointF(x + between(0, cellWidth - 2), y + between(2, cellHeight - 4)));
            }
        }
    }
    painter.end();
    quint32 state = m_random();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 27) - 16;
            const QRgb pixel = row[x];
            row[x] = qRgb(std::clamp(qRed(pixel) + noise, 0, 255), std::clamp(qGreen(pixel) + noise, 0, 255),
                          std::clamp(qBlue(pixel) + noise, 0, 255));
        }
    }
    return image;
}

QStringList MediaGenerator::writeLargePhotos(const QString& folder, quint32 seed)
{
    MediaGenerator generator(seed);
    const struct
    {
        QString name;
        QSize size;
        bool noisy;
        const char* format;
    } photos[] = {{QStringLiteral("IMG_4023.png"), {4000, 3000}, true, "PNG"},
                  {QStringLiteral("IMG_4810.jpg"), {8000, 6000}, true, "JPEG"},
                  {QStringLiteral("IMG_5172.jpg"), {4000, 3000}, false, "JPEG"}};
    QStringList written;
    for (const auto& photo : photos) {
        const QImage image = photo.noisy ? generator.noisyPhoto(photo.size) : generator.photo(photo.size);
        if (image.save(folder + u'/' + photo.name, photo.format, 90))
            written.append(photo.name);
    }
    return written;
}

QImage MediaGenerator::wallpaper(const QSize& size, Wallpaper kind)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Patterns on a light ground, in a colour that stands out from it.
    const QColor ground = QColor::fromHsv(between(0, 359), between(20, 120), between(190, 240));
    image.fill(ground);
    switch (kind) {
    case Wallpaper::flatShapes:
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 36; ++i) {
            painter.setBrush(color());
            const QPoint centre(between(0, size.width()), between(0, size.height()));
            const int radius = between(size.width() / 20, size.width() / 4);
            if (i % 3 == 0) {
                painter.drawEllipse(centre, radius, radius);
            } else {
                QPolygon shape;
                for (int corner = 0; corner < 3 + i % 4; ++corner)
                    shape << centre + QPoint(between(-radius, radius), between(-radius, radius));
                painter.drawPolygon(shape);
            }
        }
        break;
    case Wallpaper::gradient: {
        QLinearGradient wash(0, 0, size.width(), size.height());
        wash.setColorAt(0, color());
        wash.setColorAt(0.5, color());
        wash.setColorAt(1, color());
        painter.fillRect(image.rect(), wash);
        for (int i = 0; i < 3; ++i) {
            const QPointF centre(between(0, size.width()), between(0, size.height()));
            QRadialGradient glow(centre, between(size.width() / 4, size.width() / 2));
            QColor inner = color();
            inner.setAlpha(160);
            glow.setColorAt(0, inner);
            glow.setColorAt(1, Qt::transparent);
            painter.fillRect(image.rect(), glow);
        }
        break;
    }
    case Wallpaper::gridPattern: {
        // Graph paper: fine lines every 16 pixels, bolder ones every 80.
        const QColor fine = ground.darker(160);
        const QColor bold = ground.darker(260);
        for (int at = 0; at < std::max(size.width(), size.height()); at += 16) {
            painter.setPen(QPen(at % 80 == 0 ? bold : fine, at % 80 == 0 ? 3 : 1));
            painter.drawLine(at, 0, at, size.height());
            painter.drawLine(0, at, size.width(), at);
        }
        break;
    }
    case Wallpaper::dotPattern: {
        painter.setPen(Qt::NoPen);
        const QColor dots[] = {ground.darker(300), ground.darker(200)};
        for (int y = 0, row = 0; y < size.height(); y += 18, ++row) {
            for (int x = (row % 2) * 9; x < size.width(); x += 18) {
                painter.setBrush(dots[(x / 18 + row) % 7 == 0]);
                painter.drawEllipse(QPoint(x, y), 4, 4);
            }
        }
        break;
    }
    case Wallpaper::hatchPattern:
        painter.setPen(QPen(ground.darker(300), 2));
        for (int at = -size.height(); at < size.width(); at += 9)
            painter.drawLine(at, 0, at + size.height(), size.height());
        break;
    }
    return image;
}

QStringList MediaGenerator::writeWallpapers(const QString& folder, quint32 seed)
{
    MediaGenerator generator(seed);
    const struct
    {
        QString name;
        Wallpaper kind;
    } wallpapers[] = {{QStringLiteral("Wallpaper Shapes.png"), Wallpaper::flatShapes},
                      {QStringLiteral("Wallpaper Gradient.png"), Wallpaper::gradient},
                      {QStringLiteral("Wallpaper Grid.png"), Wallpaper::gridPattern},
                      {QStringLiteral("Wallpaper Dots.png"), Wallpaper::dotPattern},
                      {QStringLiteral("Wallpaper Hatch.png"), Wallpaper::hatchPattern}};
    QStringList written;
    for (const auto& wallpaper : wallpapers) {
        if (generator.wallpaper({4096, 4096}, wallpaper.kind).save(folder + u'/' + wallpaper.name, "PNG"))
            written.append(wallpaper.name);
    }
    return written;
}

QImage MediaGenerator::screenshot(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(30, 30, 34));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font;
    font.setPixelSize(std::max(12, size.height() / 60));
    painter.setFont(font);
    const int lineHeight = font.pixelSize() * 3 / 2;

    for (int window = 0; window < 4; ++window) {
        const QRect frame(between(0, size.width() / 2), between(0, size.height() / 2),
                          between(size.width() / 3, size.width() / 2), between(size.height() / 3, size.height() / 2));
        painter.setPen(Qt::NoPen);
        painter.setBrush(window % 2 ? QColor(245, 245, 247) : QColor(44, 44, 50));
        painter.drawRoundedRect(frame, 10, 10);
        painter.setBrush(color());
        painter.drawRect(frame.x(), frame.y(), frame.width(), lineHeight * 2);
        painter.setPen(window % 2 ? QColor(20, 20, 20) : QColor(230, 230, 230));
        for (int y = frame.y() + lineHeight * 3; y < frame.bottom() - lineHeight; y += lineHeight) {
            QString line;
            const int words = between(3, 12);
            for (int w = 0; w < words; ++w)
                line += QString(between(2, 9), QChar(u'a' + between(0, 25))) + u' ';
            painter.drawText(frame.x() + lineHeight, y, line);
        }
        for (int icon = 0; icon < 6; ++icon) {
            painter.setBrush(color());
            painter.drawEllipse(QPoint(frame.x() + lineHeight * (2 * icon + 2), frame.bottom() - lineHeight),
                                lineHeight / 2, lineHeight / 2);
        }
    }
    return image;
}

bool MediaGenerator::writeHeic(const QString& path, const QImage& source, int quality)
{
    return HeicWriter::write(source, path, quality, nullptr, "fast");
}

bool MediaGenerator::writeRecording(const QString& path, const QSize& size, double seconds, int framesPerSecond)
{
    const QString source = QStringLiteral("testsrc2=s=%1x%2:r=%3:d=%4")
                               .arg(size.width())
                               .arg(size.height())
                               .arg(framesPerSecond)
                               .arg(seconds);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"), QStringLiteral("-y"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source, QStringLiteral("-c:v"),
                  QStringLiteral("libx264"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path});
    return ffmpeg.waitForFinished(300000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}
