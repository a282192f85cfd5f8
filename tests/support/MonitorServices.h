#pragma once

#include "core/AppEvents.h"
#include "core/Workers.h"
#include "ingest/ScreenshotMonitor.h"

#include <memory>

// Analyses that find nothing, at once: for tests about the library rather
// than about what is in the pictures.
class NothingAnalyzer : public FileAnalyzer
{
public:
    std::optional<QString> recognizeText(const QString&) override { return QString(); }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>(); }
};

// The threads and announcements a monitor under test works with, its own.
struct MonitorServices
{
    Workers workers;
    AppEvents events;

    ScreenshotMonitor::Services with(Settings& settings, MemoryMonitor& memory, DatabaseManager& store,
                                     std::shared_ptr<FileAnalyzer> analyzer = std::make_shared<NothingAnalyzer>(),
                                     Scheduler* scheduler = nullptr)
    {
        return {.settings = settings,
                .memoryMonitor = memory,
                .store = store,
                .events = events,
                .workers = workers,
                .analyzer = std::move(analyzer),
                .scheduler = scheduler};
    }
};
