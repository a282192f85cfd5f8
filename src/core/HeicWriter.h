#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Encodes an image as HEIC (HEVC) with a lossy quality of 0 to 100. The image
// is taken as it stands (already upright; no metadata is written); real
// transparency becomes an alpha plane, an embedded colour profile is carried
// over, and deeper formats (16 bits per channel) are reduced to 8.
namespace HeicWriter {
struct Encoded
{
    QByteArray data; // the whole file; empty when encoding failed
    QString error;   // the encoder's reason when it failed
    // The failure came before any pixel was encoded: no encoder or context.
    bool encoderUnavailable = false;
};

// `preset` names an x265 speed preset ("ultrafast" … "veryslow"); none keeps
// the encoder's default.
Encoded encode(const QImage& image, int quality, const char* preset = nullptr);

// False with the encoder's reason in `error` when the file could not be written.
bool write(const QImage& image, const QString& path, int quality, QString* error = nullptr,
           const char* preset = nullptr);

// True when some pixel of `image` is not fully opaque. An alpha channel that
// is opaque everywhere is not worth an alpha plane.
bool hasVisibleAlpha(const QImage& image);
} // namespace HeicWriter
