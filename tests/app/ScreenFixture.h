#pragma once

#include "app/AppServices.h"
#include "app/Onboarding.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FolderChooser.h"
#include "platform/SpellChecker.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "ui/Motion.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

// Screens over the application's real services, with their settings file and
// store in a scratch folder; only the folder chooser (a person), the memory
// figures (the machine) and the analyses (slow, and beside the point here)
// are stand-ins.
class ScreenFixture : public ::testing::Test
{
protected:
    ScreenFixture()
    {
        m_folder = m_dir.filePath(QStringLiteral("Screenshots"));
        QDir().mkpath(m_folder);
        launch();
    }

    // Services built anew, as at launch: they restore whatever the settings
    // file holds.
    ScreenshotMonitor& makeMonitor()
    {
        launch();
        return *m_monitor;
    }

    AppServices& services() { return *m_services; }
    Settings& settings() { return m_services->settings(); }

    // The user has picked m_folder before (its bookmark is stored).
    void grantFolder()
    {
        m_chooser->answer = m_folder;
        m_monitor->requestFolderAccess();
        m_chooser->shown = 0;
        ASSERT_TRUE(m_monitor->hasFileAccess());
    }

    void setOnboarded(bool value) { Onboarding::setComplete(settings(), value); }
    bool onboarded() { return Onboarding::isComplete(settings()); }

    ConsoleCapture m_console;
    InstantMotionScope m_instant;
    QTemporaryDir m_dir;
    QString m_folder;
    std::unique_ptr<AppServices> m_services;
    ScreenshotMonitor* m_monitor = nullptr;
    FakeFolderChooser* m_chooser = nullptr;

private:
    void launch()
    {
        m_monitor = nullptr;
        m_services.reset();
        m_services = std::make_unique<AppServices>(
            AppServices::Options{.settingsPath = m_dir.filePath(QStringLiteral("settings.conf")),
                                 .databasePath = m_dir.filePath(QStringLiteral("store.sqlite")),
                                 .memorySource = std::make_unique<PlentyOfMemory>(),
                                 .analyzer = std::make_shared<NothingAnalyzer>(),
                                 .spellChecker = std::make_shared<NullSpellChecker>(),
            .dataFolder = m_dir.filePath(QStringLiteral("data"))});
        m_monitor = &m_services->monitor();
        auto chooser = std::make_unique<FakeFolderChooser>();
        m_chooser = chooser.get();
        m_monitor->setFolderChooser(std::move(chooser));
    }
};
