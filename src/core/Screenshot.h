#pragma once

#include "core/AnalysisFailure.h"

#include <QByteArray>
#include <QDateTime>
#include <QHashFunctions>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <optional>

// One image or screen recording of the monitored folder, with what analysis
// and the user have added to it. A plain value: copy it freely across threads.
struct Screenshot
{
    QUuid id;
    QString filePath;
    QString filename;
    QDateTime dateCreated;
    qint64 fileSize = 0;
    std::optional<QByteArray> thumbnailData;
    std::optional<QString> ocrText;
    std::optional<QList<double>> embedding;
    QStringList tags;
    std::optional<QString> sourceApp;
    std::optional<QList<QUrl>> detectedUrls;
    QStringList customTags;
    std::optional<QString> userNotes;
    // With a failure, `ocrText` is empty because nothing of the file could
    // be read, not because it shows no text.
    AnalysisFailure analysisFailure = AnalysisFailure::none;
    // The analyses in a row that real time stopped before the file's
    // processor time was spent (a crowded machine left it without a core):
    // `ocrText` holds what the last one read, perhaps nothing. 0 when the
    // file was read to the end, or not yet.
    int unfinishedReads = 0;

    Screenshot() = default;
    // Reads name, creation date and size from the file; a missing or
    // unreadable file still gives a record (created now, size 0).
    Screenshot(const QString& filePath, const QUuid& id, std::optional<QString> sourceApp = std::nullopt);

    bool isVideo() const;
    bool couldNotBeRead() const { return analysisFailure != AnalysisFailure::none; }
    // Unfinished, and not yet as often as unfinishedReadLimit allows: the
    // next start reads it again.
    bool awaitsAnotherRead() const { return isReadAgainAfter(unfinishedReads); }

    // A preview of the file, read synchronously: call it off the GUI thread.
    // Images are fitted into `target` (logical pixels, aspect kept, enlarged
    // when the target is larger) and decoded no larger than that; the
    // returned image's devicePixelRatio is set so that its
    // deviceIndependentSize() is that fitted size, so QPainter and QPixmap
    // draw it at that size directly. A video gives its upright frame at 1.0 s,
    // else at 0 s, at the frame's own pixel size whatever the target. A null
    // image when nothing can be decoded.
    QImage generateThumbnail(QSizeF target) const;

    // Identity is the id alone: a record before and after analysis is the same.
    bool operator==(const Screenshot& other) const { return id == other.id; }

    // Keys equal the field names; dates are ISO 8601 (UTC), bytes base64,
    // absent optionals are left out.
    QJsonObject toJson() const;
    // Fails when a required key is missing or any value has the wrong type.
    static std::optional<Screenshot> fromJson(const QJsonObject& json, QString* error = nullptr);

    // The arithmetic of a preview of an image of `imageSize` fitted into
    // `target` (both in logical pixels): the aspect-fit factor, not capped at
    // 1, the size the preview declares, and the pixel bound for decoding.
    struct PreviewGeometry
    {
        double scale = 0;
        QSizeF declaredSize;
        double maxPixelSize = 0;
    };
    // Nothing for an empty image or target, where no fit exists.
    static std::optional<PreviewGeometry> previewGeometry(const QSizeF& imageSize, const QSizeF& target);
};

inline size_t qHash(const Screenshot& screenshot, size_t seed = 0) noexcept
{
    return qHash(screenshot.id, seed);
}

template <>
struct std::hash<Screenshot>
{
    size_t operator()(const Screenshot& screenshot) const noexcept { return qHash(screenshot.id); }
};

// The creation date used for a file: the earlier of its birth time (where the
// file system keeps one) and its last modification, else now. Falling back to
// "now" for every file would re-date the whole library at each load.
QDateTime fileCreationDate(const QString& filePath);
