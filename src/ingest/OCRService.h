#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// Text and links of a screenshot. Holds no state: its operations belong to
// the type and may run on any thread.
class OCRService
{
public:
    OCRService() = delete;

    // The text of the image at `filePath`: its lines in reading order, joined
    // by one blank. Absent when the file cannot be loaded as an image (videos
    // included), recognition fails, or fewer than minimumTextLength
    // user-perceived characters were read. Never fails towards the caller;
    // each outcome has its log line, and the "ocr_" timer always ends.
    // Synchronous: callers run it on worker threads, several at once, each
    // thread with an engine of its own.
    static std::optional<QString> recognizeText(const QString& filePath);

    // The links written in `text`, in order of occurrence, duplicates kept
    // (see LinkDetector). Never fails: when no detector can be built it prints
    // the reason and gives an empty list.
    static QList<QUrl> extractUrls(const QString& text);

    static constexpr int minimumTextLength = 6;
};
