#pragma once

#include "support/ManualScheduler.h"

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "ingest/ScreenshotMonitor.h"
#include "preview/CapsuleChip.h"
#include "preview/MetadataInspectorView.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"
#include "ui/Motion.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

// The labels of chips or rows, in order.
inline QStringList texts(const QList<CapsuleChip*>& chips)
{
    QStringList result;
    for (const CapsuleChip* chip : chips)
        result.append(chip->text());
    return result;
}

// The inspector in a window beside a plain line edit (somewhere else to put
// the focus), over a real store and monitor in a scratch folder. Delays run
// on a hand-driven clock; links go to a recorder instead of the desktop.
class InspectorFixture : public ::testing::Test
{
protected:
    InspectorFixture()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_database(m_dir.filePath(QStringLiteral("Brindlework.sqlite")))
        , m_monitor(m_parts.with(m_settings, m_memory, m_database))
    {
        auto* row = new QHBoxLayout(&m_window);
        m_outside = new QLineEdit(&m_window);
        row->addWidget(m_outside);
        m_inspector = makeInspector();
        row->addWidget(m_inspector);
        m_window.resize(700, 900);
    }

    MetadataInspectorView* makeInspector()
    {
        auto* inspector = new MetadataInspectorView(m_database, m_monitor, &m_window);
        inspector->setScheduler(m_clock);
        inspector->setUrlOpener([this](const QUrl& url) {
            m_opened.append(url);
            return true;
        });
        inspector->setOnScreenshotUpdated([this](const Screenshot& copy) { m_updates.append(copy); });
        inspector->setFixedWidth(320);
        return inspector;
    }

    // A record with a row in the store and a place in the monitor's list.
    Screenshot stored(const QString& name, QStringList customTags = {}, std::optional<QString> notes = {})
    {
        Screenshot shot;
        shot.id = QUuid::createUuid();
        shot.filename = name;
        shot.filePath = m_dir.filePath(name);
        shot.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(9, 41));
        shot.fileSize = 1234;
        shot.customTags = customTags;
        shot.userNotes = notes;
        m_database.upsert(shot);
        if (!customTags.isEmpty() || notes)
            m_database.saveUserData(shot.id, customTags, notes);
        QList<Screenshot> list = m_monitor.screenshots();
        list.append(shot);
        ScreenshotMonitorTestAccess::setScreenshots(m_monitor, list);
        m_console.clear();
        return shot;
    }

    // A store that turns down every write of user data, as a full disk or a
    // locked file would; false lifts it.
    void refuseUserDataWrites(bool refuse)
    {
        sqlite3* handle = nullptr;
        sqlite3_open(m_database.path().toUtf8().constData(), &handle);
        SqliteConnection connection(handle);
        const char* sql = refuse ? "CREATE TRIGGER refuse BEFORE UPDATE OF custom_tags ON screenshot "
                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END;"
                                 : "DROP TRIGGER refuse;";
        ASSERT_TRUE(sqliteExec(connection.get(), sql)) << sqlite3_errmsg(connection.get());
    }

    std::optional<Screenshot> readBack(const Screenshot& shot) { return m_database.fetchByPath(shot.filePath); }
    qsizetype writes() const { return m_console.matching(QStringLiteral("✅ User data saved for ")).size(); }

    void show(const std::optional<Screenshot>& shot)
    {
        m_inspector->setScreenshot(shot);
        m_window.show();
        // The stored tags arrive from a worker thread.
        const QStringList expected = m_database.allCustomTags();
        EXPECT_TRUE(waitUntil([&] { return m_inspector->allExistingTags() == expected; }));
    }

    ConsoleCapture m_console;
    InstantMotionScope m_instant;
    QTemporaryDir m_dir;
    MonitorServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_database;
    ScreenshotMonitor m_monitor;
    ManualScheduler m_clock;
    QWidget m_window;
    QLineEdit* m_outside = nullptr;
    MetadataInspectorView* m_inspector = nullptr;
    QList<QUrl> m_opened;
    QList<Screenshot> m_updates;
};
