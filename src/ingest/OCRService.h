#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// Text and links of a screenshot. Holds no state: its operations belong to
// the type and may run on any thread.
class OCRService
{
public:
    OCRService() = delete;

    // The links written in `text`, in order of occurrence, duplicates kept
    // (see LinkDetector). Never fails: when no detector can be built it prints
    // the reason and gives an empty list.
    static QList<QUrl> extractUrls(const QString& text);
};
