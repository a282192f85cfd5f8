#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// The four analyses of one file. Called on the analysis pool's threads, up to
// four files at once.
class FileAnalyzer
{
public:
    virtual ~FileAnalyzer() = default;
    virtual std::optional<QString> recognizeText(const QString& filePath) = 0;
    virtual QList<QUrl> extractUrls(const QString& text) = 0;
    virtual QStringList labels(const QString& filePath) = 0;
    virtual std::optional<QList<double>> embedding(const QString& text) = 0;
};
