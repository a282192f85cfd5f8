#include "ingest/OCRService.h"

#include "core/Console.h"
#include "core/LinkDetector.h"

using namespace Qt::StringLiterals;

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
