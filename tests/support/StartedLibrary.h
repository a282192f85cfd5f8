#pragma once

// The pieces a tool works over, made afresh as the application makes them at
// start: settings, the memory watch, the store and a monitor over them (not
// watching any folder until asked). Crash tests make one in the child that
// dies and another in the parent that starts over.

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"

#include <chrono>
#include <memory>

struct StartedLibrary
{
    // The analyses find nothing unless `analyzer` is given.
    StartedLibrary(const QString& settingsPath, const QString& storePath,
                   std::shared_ptr<FileAnalyzer> analyzer = std::make_shared<NothingAnalyzer>())
        : settings(settingsPath)
        , memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , store(storePath)
        , monitor(parts.with(settings, memory, store, std::move(analyzer)))
    {}

    MonitorServices parts;
    Settings settings;
    MemoryMonitor memory;
    DatabaseManager store;
    ScreenshotMonitor monitor;
};
