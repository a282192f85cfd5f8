#pragma once

// A monitored temporary folder with planted duplicates, a store of its own, a
// real Trash in the temporary home and a duplicate finder view model over it.

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "core/ToolJobs.h"
#include "duplicates/DuplicateFinderViewModel.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/SafeFile.h"
#include "platform/Trash.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Analyses nothing, so that the monitor's pipeline stays out of the way.
class NoAnalysis : public ScreenshotMonitor::FileAnalyzer
{
public:
    std::optional<QString> recognizeText(const QString&) override { return QString(); }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>{}; }
};

// The real Trash, except for the paths a test makes it refuse.
class RefusingTrash : public Trash
{
public:
    QStringList refused;
    // Called after each move that worked.
    std::function<void(const QString&)> afterMove;
    Result moveToTrash(const QString& path) override
    {
        if (refused.contains(path))
            return {false, {}, QStringLiteral("refused")};
        Result result = m_real.moveToTrash(path);
        if (result.ok && afterMove)
            afterMove(path);
        return result;
    }

private:
    SystemTrash m_real;
};

class DuplicateLibrary : public ::testing::Test
{
protected:
    DuplicateLibrary()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(QStringLiteral("store.sqlite")))
        , m_folder(m_dir.filePath(QStringLiteral("Desktop")))
    {
        QDir().mkpath(m_folder);
    }
    // Deletions outlive their view model; the fixture's store and Trash must
    // outlive them.
    ~DuplicateLibrary() override { ToolJobs::waitForAll(); }

    // Writes a file modified `daysAgo` days back. Its row, stored beforehand
    // with that date, is what the monitor lists: the file system's creation
    // times of files written in one go are too coarse to order them.
    QString plant(const QString& name, const QByteArray& bytes, int daysAgo = 1)
    {
        const QString path = m_folder + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        const qint64 when = QDateTime::currentDateTime().addDays(-daysAgo).toMSecsSinceEpoch() * 1'000'000;
        EXPECT_TRUE(SafeFile::setTimes(path, {when, when}).ok());
        if (!m_store.fetchByPath(path)) {
            Screenshot row(path, QUuid::createUuid());
            row.dateCreated = QDateTime::currentDateTime().addDays(-daysAgo);
            m_store.upsert(row);
        }
        return path;
    }

    // Starts monitoring the folder and waits until it lists `expected` files.
    void startMonitoring(int expected)
    {
        m_monitor = std::make_unique<ScreenshotMonitor>(
            m_parts.with(m_settings, m_memory, m_store, std::make_shared<NoAnalysis>()));
        ScreenshotMonitorTestAccess::chooseFolder(*m_monitor, m_folder);
        ASSERT_TRUE(waitUntil([&] { return m_monitor->isPolling() && m_monitor->screenshots().size() == expected; }))
            << m_monitor->screenshots().size();
        m_model =
            std::make_unique<DuplicateFinderViewModel>(*m_monitor, m_store, m_trash, m_parts.workers.duplicateReads());
    }

    DuplicateFinderViewModel& model() { return *m_model; }

    Screenshot listed(const QString& name) const
    {
        for (const Screenshot& screenshot : m_monitor->screenshots()) {
            if (screenshot.filename == name)
                return screenshot;
        }
        ADD_FAILURE() << "not listed: " << name.toStdString();
        return {};
    }

    QUuid idOf(const QString& name) const { return listed(name).id; }

    // Runs an analysis and waits for its result.
    void analyse()
    {
        bool done = false;
        QObject context;
        QObject::connect(m_model.get(), &DuplicateFinderViewModel::resultChanged, &context, [&] { done = true; });
        m_model->analyze();
        ASSERT_TRUE(waitUntil([&] { return done && !m_model->isAnalyzing(); }));
    }

    // Asks for the deletions in order, without waiting in between, then waits
    // for the analysis that follows the last one.
    void deleteInTurn(const QList<QList<QUuid>>& requests)
    {
        int finished = 0;
        QObject context;
        QObject::connect(m_model.get(), &DuplicateFinderViewModel::deletionFinished, &context,
                         [&](int) { ++finished; });
        for (const QList<QUuid>& ids : requests)
            m_model->deleteDuplicates(ids);
        // With no request of its own, waits for those already asked for.
        const int expected = requests.isEmpty() ? 1 : int(requests.size());
        ASSERT_TRUE(waitUntil([&] { return finished == expected && !m_model->isAnalyzing(); }));
    }

    bool hasRow(const QString& path) { return m_store.fetchByPath(path).has_value(); }

    static QString trashFiles()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
    }

    // The original paths recorded for what this test put in the Trash.
    QStringList trashedOriginals() const
    {
        QStringList paths;
        QDir info(trashFiles() + QStringLiteral("/info"));
        for (const QString& name : info.entryList({QStringLiteral("*.trashinfo")}, QDir::Files)) {
            QFile record(info.filePath(name));
            record.open(QIODevice::ReadOnly);
            for (const QByteArray& line : record.readAll().split('\n')) {
                const QString path = QUrl::fromPercentEncoding(line.mid(5));
                if (line.startsWith("Path=") && path.startsWith(m_folder + QLatin1Char('/')))
                    paths.append(path);
            }
        }
        paths.sort();
        return paths;
    }

    QTemporaryDir m_dir;
    MonitorServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    QString m_folder;
    RefusingTrash m_trash;
    ConsoleCapture m_console;
    std::unique_ptr<ScreenshotMonitor> m_monitor;
    std::unique_ptr<DuplicateFinderViewModel> m_model;
};
