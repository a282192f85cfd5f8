#pragma once

#include "ScratchFolder.h"
#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "organize/OrganizeService.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/FaultyFileOps.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A monitored folder on disk with a real store and the real file operations
// (any step of which a test may make fail), in a scratch folder.
class OrganizerFixture : public ::testing::Test
{
protected:
    OrganizerFixture()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(QStringLiteral("data/Brindlework.sqlite")))
        , m_monitor(m_settings, m_memory)
        , m_base(m_dir.filePath(QStringLiteral("Shots")))
        , m_service(m_store, m_monitor, m_fileOps, m_dir.filePath(QStringLiteral("data")))
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QDir().mkpath(m_base);
    }
    ~OrganizerFixture() override { QLocale::setDefault(QLocale::c()); }

    // A file below the base folder (or anywhere, given an absolute path),
    // dated `date`, with its row in the store unless the caller stores it.
    Screenshot addFile(const QString& path, const QDateTime& date, const QByteArray& content = {}, bool store = true)
    {
        const QString absolute = QDir::isAbsolutePath(path) ? path : m_base + u'/' + path;
        QDir().mkpath(QFileInfo(absolute).absolutePath());
        QFile file(absolute);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.isEmpty() ? absolute.toUtf8() : content);
        file.close();
        Screenshot screenshot(absolute, QUuid::createUuid());
        screenshot.dateCreated = date;
        if (store)
            m_store.upsert(screenshot);
        return screenshot;
    }

    OrganizeService::OrganizationOptions options(bool year, bool month, bool subfolders) const
    {
        return {QUrl::fromLocalFile(m_base), year, month, subfolders};
    }

    QString rowPath(const Screenshot& screenshot)
    {
        for (const Screenshot& row : pageOfAll())
            if (row.id == screenshot.id)
                return row.filePath;
        return {};
    }

    QList<Screenshot> pageOfAll()
    {
        LogTimer timer(QStringLiteral("test"));
        return m_store.fetchPage(std::nullopt, 1'000'000, 0, true, timer);
    }

    // Every regular file below `folder`, relative to it, sorted.
    static QStringList tree(const QString& folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(QDir(folder).relativeFilePath(it.next()));
        files.sort();
        return files;
    }

    QTemporaryDir m_dir{scratchTemplate()};
    ConsoleCapture m_console;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    ScreenshotMonitor m_monitor;
    FaultyFileOps m_fileOps;
    QString m_base;
    OrganizeService m_service;
};
