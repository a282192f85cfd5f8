// Search of a gallery. For now a plain match of the whole query in the
// screenshot's texts, in library order; scoring, extra terms, spelling and
// similarity replace it here without touching the view model.

#include "library/GalleryViewModel.h"

#include "core/Console.h"

using namespace Qt::StringLiterals;

namespace {
bool containsQuery(const Screenshot& screenshot, const QString& query)
{
    const auto inText = [&query](const QString& text) { return text.contains(query, Qt::CaseInsensitive); };
    const auto inList = [&inText](const QStringList& list) { return std::any_of(list.begin(), list.end(), inText); };
    return inText(screenshot.filename) || inList(screenshot.customTags) || inList(screenshot.tags) ||
           inText(screenshot.userNotes.value_or(QString())) || inText(screenshot.ocrText.value_or(QString()));
}
} // namespace

QList<Screenshot> GalleryViewModel::performSearch(const QString& query, const QList<Screenshot>& candidates,
                                                  const std::atomic<bool>& cancelled)
{
    Console::printLine(u"🔍 Searching for: "_s + query);
    QList<Screenshot> results;
    for (const Screenshot& screenshot : candidates) {
        if (cancelled)
            return {};
        if (containsQuery(screenshot, query))
            results.append(screenshot);
    }
    return results;
}
