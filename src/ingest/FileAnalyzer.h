#pragma once

#include "ingest/TimeBudget.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <stop_token>

// The four analyses of one file. Called on the analysis pool's threads, up to
// four files at once.
class FileAnalyzer
{
public:
    // What recognition and classification make of one file.
    struct Sight
    {
        std::optional<QString> text;
        QStringList labels;
        // Cut short by a stop request: nothing of it may be kept.
        bool stopped = false;
        // Reading ran into the budget: `text` is what was read until then.
        bool reachedDeadline = false;
        // A picture that could not be decoded: nothing was seen, so nothing
        // may be kept but that it could not be read.
        bool unreadable = false;
        // The file could not be opened now (no regular file, no permission,
        // no descriptor left): it is tried again at the next run.
        bool unopened = false;
    };

    virtual ~FileAnalyzer() = default;
    virtual std::optional<QString> recognizeText(const QString& filePath) = 0;
    virtual QList<QUrl> extractUrls(const QString& text) = 0;
    virtual QStringList labels(const QString& filePath) = 0;
    virtual std::optional<QList<double>> embedding(const QString& text) = 0;

    // Text and labels of the file, read until `budget` is spent at most. The
    // calling thread charges the budget's account already; work handed to
    // other threads charges it there. This one asks recognizeText, then
    // labels; an analyzer that decodes a picture once for both, or can stop
    // midway, does better.
    virtual Sight look(const QString& filePath, std::stop_token /*stop*/, const TimeBudget& /*budget*/)
    {
        std::optional<QString> text = recognizeText(filePath);
        return {std::move(text), labels(filePath)};
    }

    // No run needs the analyses for now: models may give their memory back.
    // Called on the GUI thread; analyses may still be winding down.
    virtual void releaseModels() {}
};
