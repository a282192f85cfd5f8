#pragma once

#include "core/DatabaseManager.h"
#include "core/ImageCache.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "support/Fakes.h"
#include "support/GalleryServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"
#include "ui/Motion.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A gallery view model over a real monitor that never starts; tests hand it
// sections directly.
class GridFixture : public ::testing::Test
{
protected:
    GridFixture()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(QStringLiteral("store.sqlite")))
        , m_monitor(m_parts.with(m_settings, m_memory, m_store))
        , m_model(m_parts.over(m_monitor, m_store, m_settings))
    {}

    static Screenshot shot(int n, bool analysed = true)
    {
        Screenshot s;
        s.id = QUuid::createUuid();
        s.filename = QStringLiteral("Screenshot %1.png").arg(n);
        s.filePath = QStringLiteral("/nowhere/") + s.filename;
        s.dateCreated = QDateTime(QDate(2024, 3, 15), QTime(12, 0)).addSecs(-n * 60);
        if (analysed)
            s.ocrText = QString();
        return s;
    }

    // `days` days of `perDay` screenshots each, newest first.
    static QList<Screenshot> library(int days, int perDay)
    {
        QList<Screenshot> result;
        const QDateTime noon(QDate::currentDate(), QTime(12, 0));
        for (int day = 0; day < days; ++day) {
            for (int i = 0; i < perDay; ++i) {
                Screenshot s = shot(int(result.size()));
                s.dateCreated = noon.addDays(-day).addSecs(-i);
                result.append(s);
            }
        }
        return result;
    }

    // Publishes `list` through the monitor and waits until the view model
    // shows all of it in day sections.
    void publish(const QList<Screenshot>& list)
    {
        ScreenshotMonitorTestAccess::setScreenshots(m_monitor, list);
        ASSERT_TRUE(waitUntil([&] {
            return m_model.screenshots().size() == list.size() && m_model.visibleScreenshots().size() == list.size();
        }));
    }

    InstantMotionScope m_instant;
    QTemporaryDir m_dir;
    GalleryServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    ScreenshotMonitor m_monitor;
    GalleryViewModel m_model;
    ImageCache m_cache;
};
