#include "ingest/OCRService.h"

#include "core/Console.h"
#include "core/Graphemes.h"
#include "core/ImageLoader.h"
#include "core/LinkDetector.h"
#include "core/LogTimer.h"
#include "core/Logger.h"
#include "ingest/PageReader.h"

#include <QFileInfo>

#include <functional>
#include <utility>

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

OCRService::Reading recognizeImage(QImage image, const QString& fileName, PageReader& reader,
                                   const TextRecognizer::Limits& limits)
{
    const LogMetadata file{{u"file"_s, fileName}};
    if (image.isNull()) {
        Logger::log(LogLevel::warning, category, u"Failed to load image"_s, file);
        return {};
    }
    Logger::log(LogLevel::debug, category, u"Image loaded, performing recognition"_s, file);

    const TextRecognizer::Result result = reader.read(std::move(image), limits);
    switch (result.failure) {
    case TextRecognizer::Result::Failure::engine:
        Logger::log(LogLevel::error, category, u"Handler error"_s, {{u"file"_s, fileName}, {u"error"_s, result.error}});
        return {};
    case TextRecognizer::Result::Failure::recognition:
        Logger::log(LogLevel::warning, category, u"Recognition failed"_s,
                    {{u"file"_s, fileName}, {u"error"_s, result.error.isEmpty() ? u"Unknown"_s : result.error}});
        return {};
    case TextRecognizer::Result::Failure::stopped:
        Logger::log(LogLevel::debug, category, u"Recognition stopped"_s, file);
        return {};
    case TextRecognizer::Result::Failure::none:
        break;
    }
    return {textOfLines(result.lines.value_or(QStringList())), result.reachedDeadline, result.boxes, result.page};
}

// The text of the picture `decode` gives, between the start line and the
// timer's end line.
OCRService::Reading recognizeTimed(const QString& fileName, const std::function<QImage()>& decode, PageReader& reader,
                                   const TextRecognizer::Limits& limits)
{
    Logger::log(LogLevel::debug, category, u"Starting OCR"_s, {{u"file"_s, fileName}});
    LogTimer timer(u"ocr_"_s + fileName);
    OCRService::Reading reading = recognizeImage(decode(), fileName, reader, limits);
    const std::optional<QString>& text = reading.text;
    timer.end({{u"file"_s, fileName},
               {u"success"_s, text.has_value()},
               {u"textLength"_s, qlonglong(text ? graphemeLength(*text) : 0)}});
    return reading;
}
} // namespace

std::optional<QString> OCRService::recognizeText(const QString& filePath, PageReader& reader, std::stop_token stop)
{
    return recognizeTimed(QFileInfo(filePath).fileName(), [&filePath] { return ImageLoader::load(filePath); }, reader,
                          {std::move(stop), {}})
        .text;
}

OCRService::Reading OCRService::recognizeText(QImage image, const QString& fileName, PageReader& reader,
                                              const TextRecognizer::Limits& limits)
{
    return recognizeTimed(
        fileName, [&image] { return std::exchange(image, QImage()); }, reader, limits);
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
