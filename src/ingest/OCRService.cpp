#include "ingest/OCRService.h"

#include "core/Console.h"
#include "core/Graphemes.h"
#include "core/ImageLoader.h"
#include "core/LinkDetector.h"
#include "core/LogTimer.h"
#include "core/Logger.h"
#include "ingest/TextRecognizer.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {
const QString category = u"OCR"_s;

std::optional<QString> textOfLines(const QStringList& lines)
{
    QString text = lines.join(u' ');
    if (graphemeLength(text) < OCRService::minimumTextLength)
        return std::nullopt;
    return text;
}

std::optional<QString> recognizeFile(const QString& path, const QString& fileName)
{
    const LogMetadata file{{u"file"_s, fileName}};
    const QImage image = ImageLoader::load(path);
    if (image.isNull()) {
        Logger::log(LogLevel::warning, category, u"Failed to load image"_s, file);
        return std::nullopt;
    }
    Logger::log(LogLevel::debug, category, u"Image loaded, performing recognition"_s, file);

    const TextRecognizer::Result result = TextRecognizer::forCurrentThread().recognizeLines(image);
    switch (result.failure) {
    case TextRecognizer::Result::Failure::engine:
        Logger::log(LogLevel::error, category, u"Handler error"_s, {{u"file"_s, fileName}, {u"error"_s, result.error}});
        return std::nullopt;
    case TextRecognizer::Result::Failure::recognition:
        Logger::log(LogLevel::warning, category, u"Recognition failed"_s,
                    {{u"file"_s, fileName}, {u"error"_s, result.error.isEmpty() ? u"Unknown"_s : result.error}});
        return std::nullopt;
    case TextRecognizer::Result::Failure::none:
        break;
    }
    return textOfLines(result.lines.value_or(QStringList()));
}
} // namespace

std::optional<QString> OCRService::recognizeText(const QString& filePath)
{
    const QString fileName = QFileInfo(filePath).fileName();
    Logger::log(LogLevel::debug, category, u"Starting OCR"_s, {{u"file"_s, fileName}});
    LogTimer timer(u"ocr_"_s + fileName);
    const std::optional<QString> text = recognizeFile(filePath, fileName);
    timer.end({{u"file"_s, fileName},
               {u"success"_s, text.has_value()},
               {u"textLength"_s, qlonglong(text ? graphemeLength(*text) : 0)}});
    return text;
}

QList<QUrl> OCRService::extractUrls(const QString& text)
{
    if (text.isEmpty())
        return {};
    QString error;
    const auto detector = LinkDetector::shared(&error);
    if (!detector) {
        Console::printLine(u"⚠️ URL Extraction Error: "_s + error);
        return {};
    }
    return detector->detect(text);
}
