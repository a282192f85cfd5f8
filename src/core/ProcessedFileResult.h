#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <optional>

// What analysing one file found; written to the store in batches.
struct ProcessedFileResult
{
    QUuid id;
    QString ocrText; // empty when nothing was recognised
    QStringList tags;
    // Empty for a blank text; absent when no embedding could be computed.
    std::optional<QList<double>> embedding;
    QList<QUrl> urls;
};
