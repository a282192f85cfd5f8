#include "ui/LibrarySummary.h"

#include "ingest/ScreenshotMonitor.h"

#include <QDir>

using namespace Qt::StringLiterals;

QString librarySummary(const ScreenshotMonitor& monitor)
{
    const qsizetype count = monitor.screenshots().size();
    const QString files = count == 1 ? u"1 screenshot"_s : u"%1 screenshots"_s.arg(count);
    return files + u" in "_s + QDir::toNativeSeparators(monitor.monitoredPath());
}
