#pragma once

#include <QImage>
#include <QString>

// Encodes an image as HEIC (HEVC) with a lossy quality of 0 to 100.
namespace HeicWriter {
// False with the encoder's reason in `error` when the file could not be written.
// `preset` names an x265 speed preset ("ultrafast" … "veryslow"); none keeps
// the encoder's default.
bool write(const QImage& image, const QString& path, int quality, QString* error = nullptr,
           const char* preset = nullptr);
} // namespace HeicWriter
