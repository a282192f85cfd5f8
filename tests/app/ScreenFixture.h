#pragma once

#include "app/Onboarding.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FolderChooser.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "ui/Motion.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

// Screens over a real monitor and settings file in a scratch folder; only the
// folder chooser (a person) and the memory figures (the machine) are fakes.
class ScreenFixture : public ::testing::Test
{
protected:
    ScreenFixture()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
    {
        m_folder = m_dir.filePath(QStringLiteral("Screenshots"));
        QDir().mkpath(m_folder);
    }

    // A new monitor, as at launch: it restores whatever the settings hold.
    ScreenshotMonitor& makeMonitor()
    {
        m_monitor = std::make_unique<ScreenshotMonitor>(m_settings, m_memory);
        auto chooser = std::make_unique<FakeFolderChooser>();
        m_chooser = chooser.get();
        m_monitor->setFolderChooser(std::move(chooser));
        return *m_monitor;
    }

    // The user has picked m_folder before (its bookmark is stored).
    void grantFolder()
    {
        m_chooser->answer = m_folder;
        m_monitor->requestFolderAccess();
        m_chooser->shown = 0;
        ASSERT_TRUE(m_monitor->hasFileAccess());
    }

    void setOnboarded(bool value) { Onboarding::setComplete(m_settings, value); }
    bool onboarded() const { return Onboarding::isComplete(m_settings); }

    ConsoleCapture m_console;
    InstantMotionScope m_instant;
    QTemporaryDir m_dir;
    Settings m_settings;
    MemoryMonitor m_memory;
    QString m_folder;
    std::unique_ptr<ScreenshotMonitor> m_monitor;
    FakeFolderChooser* m_chooser = nullptr;
};
