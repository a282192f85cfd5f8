#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>

#include <optional>
#include <stop_token>
#include <vector>

#include "ingest/TextRecognizer.h"

class PageReader;

// Text and links of a screenshot. Holds no state: its operations belong to
// the type and may run on any thread; the engines are the reader's.
class OCRService
{
public:
    OCRService() = delete;

    // The text of the image at `filePath`: its lines in reading order, joined
    // by one blank. Absent when the file cannot be loaded as an image (videos
    // included), recognition fails or was stopped, or fewer than
    // minimumTextLength user-perceived characters were read. Never fails
    // towards the caller; each outcome has its log line, and the "ocr_"
    // timer always ends.
    static std::optional<QString> recognizeText(const QString& filePath, PageReader& reader, std::stop_token stop = {});
    // The text of a file already decoded, and whether its reading ran into
    // the deadline (the text is then what was read until it).
    struct Reading
    {
        std::optional<QString> text;
        bool reachedDeadline = false;
        // Where the lines of the text lie on the page, and its size.
        std::vector<QRect> lineBoxes = {};
        QSize pageSize = {};
    };
    // The same for a file already decoded (`image` null when it could not
    // be), within `limits`; the image is let go as soon as it is no longer
    // needed.
    static Reading recognizeText(QImage image, const QString& fileName, PageReader& reader,
                                 const TextRecognizer::Limits& limits);

    // The links written in `text`, in order of occurrence, duplicates kept
    // (see LinkDetector). Never fails: when no detector can be built it prints
    // the reason and gives an empty list.
    static QList<QUrl> extractUrls(const QString& text);

    static constexpr int minimumTextLength = 6;
};
