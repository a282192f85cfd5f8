#pragma once

#include "ScratchFolder.h"
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "organize/OrganizeService.h"
#include "platform/FileOps.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/FaultyFileOps.h"
#include "support/MonitorServices.h"
#include "ui/Motion.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A real monitor, a store and a screenshots folder in a scratch folder, with
// the real file operations (any step of which a test may make fail); the
// folder dialog, when a test grants the folder, is the only stand-in.
class ViewModelFixture : public ::testing::Test
{
protected:
    ViewModelFixture()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(QStringLiteral("data/Brindlework.sqlite")))
        , m_monitor(m_parts.with(m_settings, m_memory, m_store))
        , m_folder(m_dir.filePath(QStringLiteral("Shots")))
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QDir().mkpath(m_folder);
    }
    ~ViewModelFixture() override { QLocale::setDefault(QLocale::c()); }

    void grantFolder()
    {
        auto chooser = std::make_unique<FakeFolderChooser>();
        chooser->answer = m_folder;
        m_monitor.setFolderChooser(std::move(chooser));
        m_monitor.requestFolderAccess();
        ASSERT_EQ(m_monitor.monitoredURL(), m_folder);
    }

    QString dataFolder() const { return m_dir.filePath(QStringLiteral("data")); }

    QTemporaryDir m_dir{scratchTemplate()};
    ConsoleCapture m_console;
    InstantMotionScope m_instant;
    MonitorServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    ScreenshotMonitor m_monitor;
    FaultyFileOps m_fileOps;
    QString m_folder;
};
