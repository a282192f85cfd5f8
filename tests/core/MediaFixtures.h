#pragma once

// Images and recordings for the decoding tests, generated on the spot:
// pictures drawn with QPainter, EXIF written byte by byte, HEIC through
// libheif's encoder, recordings through the ffmpeg command.

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "core/HeicWriter.h"

#include <gtest/gtest.h>

#include <memory>

namespace fixtures {

enum class Quadrant { Red, Green, Blue, White, Unknown };

// Four solid quadrants, so any turn or mirror of the picture shows.
inline QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const int halfW = width / 2, halfH = height / 2;
    painter.fillRect(0, 0, halfW, halfH, Qt::red);
    painter.fillRect(halfW, 0, width - halfW, halfH, Qt::green);
    painter.fillRect(0, halfH, halfW, height - halfH, Qt::blue);
    painter.fillRect(halfW, halfH, width - halfW, height - halfH, Qt::white);
    return image;
}

// The colour in the middle of a quadrant, named loosely (lossy codecs blur).
inline Quadrant quadrantAt(const QImage& image, bool right, bool bottom)
{
    const int x = image.width() * (right ? 3 : 1) / 4;
    const int y = image.height() * (bottom ? 3 : 1) / 4;
    const QColor c = image.pixelColor(x, y);
    const auto high = [](int v) { return v > 160; };
    const auto low = [](int v) { return v < 90; };
    if (high(c.red()) && low(c.green()) && low(c.blue()))
        return Quadrant::Red;
    if (low(c.red()) && high(c.green()) && low(c.blue()))
        return Quadrant::Green;
    if (low(c.red()) && low(c.green()) && high(c.blue()))
        return Quadrant::Blue;
    if (high(c.red()) && high(c.green()) && high(c.blue()))
        return Quadrant::White;
    return Quadrant::Unknown;
}

// Quadrants read top-left, top-right, bottom-left, bottom-right.
inline std::array<Quadrant, 4> layoutOf(const QImage& image)
{
    return {quadrantAt(image, false, false), quadrantAt(image, true, false), quadrantAt(image, false, true),
            quadrantAt(image, true, true)};
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A JPEG whose APP1 segment carries an EXIF orientation tag (1 to 8).
inline QByteArray jpegWithOrientation(const QImage& image, quint16 orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);

    // Big-endian TIFF header, one IFD with one entry: tag 0x0112, SHORT, count 1.
    QByteArray tiff = QByteArray::fromHex("4d4d002a00000008"
                                          "0001"
                                          "011200030000000100");
    tiff.append(char(orientation));
    tiff.append(QByteArray::fromHex("0000"
                                    "00000000"));
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment = QByteArray::fromHex("ffe1");
    segment.append(char(length >> 8));
    segment.append(char(length & 0xff));
    segment.append(payload);
    return jpeg.insert(2, segment); // right after the start-of-image marker
}

inline bool writeHeic(const QString& path, const QImage& source, int quality = 85)
{
    return HeicWriter::write(source, path, quality, nullptr, "ultrafast");
}

// Runs the ffmpeg command quietly; the test fails with its message otherwise.
inline bool runFfmpeg(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error"),
                                                        QStringLiteral("-nostdin"), QStringLiteral("-y")} +
                                                arguments);
    const bool finished = process.waitForFinished(120000);
    const bool ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    EXPECT_TRUE(ok) << "ffmpeg " << arguments.join(u' ').toStdString() << ": "
                    << (process.error() == QProcess::FailedToStart ? std::string("not installed")
                                                                   : process.readAllStandardError().toStdString());
    return ok;
}

// Frame-number recordings: every frame shows its own index as eight black or
// white blocks across its width, least significant bit on the left, coded
// with key frames every 12 frames and reordered (B) frames between, so a key
// frame is decoded before the frames shown just ahead of it.
constexpr int patternWidth = 160;
constexpr int patternHeight = 96;
constexpr int patternFps = 30;

// `extra` adds output options, e.g. a fragmented MP4 as some screen recorders
// write (its header names no start time, and its key frames are found by
// decoding time).
inline bool writeFrameNumberVideo(const QString& path, double seconds, const QStringList& extra = {})
{
    const QString source = QStringLiteral("color=c=black:s=%1x%2:r=%3:d=%4,format=yuv420p,"
                                          "geq=lum='255*mod(floor(N/pow(2\\,floor(X/20)))\\,2)':cb=128:cr=128")
                               .arg(patternWidth)
                               .arg(patternHeight)
                               .arg(patternFps)
                               .arg(seconds);
    return runFfmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source,
                                 QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-qp"),
                                 QStringLiteral("10"), QStringLiteral("-x264-params"),
                                 QStringLiteral("keyint=12:min-keyint=12:scenecut=0:bframes=2:b-adapt=0"),
                                 QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")} +
                     extra + QStringList{path});
}

// The same recording with a display matrix that turns it a quarter turn
// counter-clockwise (what ffmpeg 5's "rotate=90" tag writes: the picture's top
// shows on the left).
inline bool writeRotatedFrameNumberVideo(const QString& path, const QString& scratch, double seconds)
{
    return writeFrameNumberVideo(scratch, seconds) &&
           runFfmpeg({QStringLiteral("-i"), scratch, QStringLiteral("-c"), QStringLiteral("copy"),
                      QStringLiteral("-metadata:s:v:0"), QStringLiteral("rotate=90"), path});
}

// Reads the index back from an upright pattern frame; -1 when it is not one.
inline int frameNumberOf(const QImage& frame)
{
    if (frame.width() != patternWidth || frame.height() != patternHeight)
        return -1;
    int number = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const int gray = qGray(frame.pixel(bit * 20 + 10, patternHeight / 2));
        if (gray > 64 && gray < 192)
            return -1;
        if (gray >= 192)
            number |= 1 << bit;
    }
    return number;
}

} // namespace fixtures
