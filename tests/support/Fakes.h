#pragma once

#include "core/MemoryMonitor.h"
#include "platform/FolderChooser.h"

#include <functional>
#include <optional>

// A machine with memory to spare: never under pressure.
class PlentyOfMemory : public MemoryMonitor::Source
{
public:
    double residentMB() override { return 100; }
    std::optional<qint64> availableBytes() override { return qint64(8) << 30; }
    qint64 physicalBytes() override { return qint64(16) << 30; }
};

// Stands in for the person at the folder dialog: answers with `answer`
// (nothing: cancelled) and counts how often it was shown.
class FakeFolderChooser : public FolderChooser
{
public:
    std::optional<QString> answer;
    int shown = 0;
    Request lastRequest;
    // Runs while the chooser is "open", e.g. to click again.
    std::function<void()> whileOpen;

    std::optional<QString> chooseFolder(const Request& request) override
    {
        ++shown;
        lastRequest = request;
        if (whileOpen)
            whileOpen();
        return answer;
    }
};
