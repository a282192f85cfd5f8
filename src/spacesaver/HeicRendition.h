#pragma once

#include "ingest/PixelBudget.h"
#include "platform/SafeFile.h"
#include "spacesaver/CompressionService.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// One image turned into checked HEIC bytes, held in memory until the run
// writes them. Made on any thread; touches no file but the one it reads.
struct HeicRendition
{
    QByteArray data;
    // The image as it was read: the run removes it only while it is still
    // this file, and gives the rendition its times.
    SafeFile::FileStamp source;
    SafeFile::FileTimes sourceTimes;
    std::optional<CompressionService::Failure> failure;

    qint64 size() const { return data.size(); }

    // Given an image's size before it is decoded, waits until there is
    // memory for it and holds that memory until the rendition is made;
    // nothing when the rendition is no longer wanted.
    using Admission = std::function<std::optional<PixelBudget::Share>(QSize size)>;

    // Reads the regular file at `imagePath`, encodes it upright at `quality`
    // (0 to 100) with `encoder`, and decodes the result again to check its
    // size and transparency. An image `admit` turns away gives an empty
    // rendition without a failure.
    static HeicRendition make(const QString& imagePath, int quality, const CompressionService::Encoder& encoder,
                              const Admission& admit = {});

    // The times a rendition takes from its image: the image's access time,
    // and as its modification time the image's creation date where the file
    // system keeps an earlier one, so that the library dates the rendition
    // as it dated the image.
    static SafeFile::FileTimes timesFor(const QString& imagePath, const SafeFile::FileTimes& imageTimes);
};
