#pragma once

#include "core/Clock.h"
#include "core/DatabaseManager.h"
#include "core/Settings.h"
#include "core/Workers.h"
#include "library/GalleryViewModel.h"
#include "platform/SpellChecker.h"
#include "platform/Trash.h"
#include "support/Capture.h"
#include "support/FakeLibrary.h"
#include "support/Wait.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A library that tests publish themselves, a real store and settings file
// of its own, and the desktop's Trash of the test's scratch home.
class GalleryTest : public ::testing::Test
{
protected:
    GalleryTest()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_store(m_dir.filePath(QStringLiteral("store.sqlite")))
        , m_search(std::make_shared<GallerySearch>(
              std::make_shared<NullSpellChecker>(), [](const QString&) { return std::nullopt; },
              m_workers.search().threads()))
    {
        // The store's opening work and its first link backfill print before
        // any test's own lines.
        m_store.isOpen();
        m_store.dbQueue().sync([] {});
        m_source.setMonitoredPath(QStringLiteral("/home/user/Desktop"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        pinClock(QDateTime(QDate(2024, 3, 15), QTime(12, 0)));
    }

    ~GalleryTest() override
    {
        Clock::setSource({});
        QLocale::setDefault(QLocale::system());
    }

    static void pinClock(const QDateTime& now)
    {
        Clock::setSource([now] { return now; });
    }

    static Screenshot shot(const QString& name, const QDateTime& created)
    {
        Screenshot screenshot;
        screenshot.id = QUuid::createUuid();
        screenshot.filename = name;
        screenshot.filePath = QStringLiteral("/home/user/Desktop/") + name;
        screenshot.dateCreated = created;
        return screenshot;
    }

    static QDateTime at(int month, int day, int hour = 12, int minute = 0, int year = 2024)
    {
        return QDateTime(QDate(year, month, day), QTime(hour, minute));
    }

    // Publishes `list` and waits until `model` has taken it and shown it.
    // Sections that change after the list did come from a rebuild of it: the
    // model drops every rebuild that started before.
    void publish(GalleryViewModel& model, const QList<Screenshot>& list)
    {
        bool delivered = false;
        bool rebuilt = false;
        QObject context;
        QObject::connect(&model, &GalleryViewModel::screenshotsChanged, &context, [&] { delivered = true; });
        QObject::connect(&model, &GalleryViewModel::sectionsChanged, &context, [&] { rebuilt = delivered; });
        m_source.setScreenshots(list);
        ASSERT_TRUE(waitUntil([&] { return rebuilt && isShowing(model, list); }));
    }

    static QStringList titles(const GalleryViewModel& model)
    {
        QStringList result;
        for (const auto& section : model.sections())
            result.append(section.title);
        return result;
    }

    static QStringList names(const QList<Screenshot>& screenshots)
    {
        QStringList result;
        for (const Screenshot& screenshot : screenshots)
            result.append(screenshot.filename);
        return result;
    }

    // Whether the day sections show exactly `list` (in any order).
    static bool isShowing(const GalleryViewModel& model, const QList<Screenshot>& list)
    {
        if (model.screenshots() != list || !model.searchText().isEmpty())
            return false;
        QStringList shown = names(model.visibleScreenshots());
        QStringList expected = names(list);
        shown.sort();
        expected.sort();
        return shown == expected;
    }

    // Lets every rebuild and search under way finish and deliver what it
    // found, so that a test can check what was never shown.
    void settle()
    {
        for (int round = 0; round < 3; ++round) {
            m_workers.gallery().waitForDone();
            m_workers.search().waitForDone();
            drainPostedEvents();
        }
    }

    GalleryViewModel::Services services(std::shared_ptr<const GallerySearch> search = {}, Trash* trash = nullptr)
    {
        return {.library = m_source,
                .store = m_store,
                .trash = trash ? *trash : m_systemTrash,
                .settings = m_settings,
                .workers = m_workers,
                .search = search ? std::move(search) : m_search};
    }

    QTemporaryDir m_dir;
    Workers m_workers;
    Settings m_settings;
    DatabaseManager m_store;
    SystemTrash m_systemTrash;
    FakeLibrary m_source;
    std::shared_ptr<const GallerySearch> m_search;
    ConsoleCapture m_console;
};
