#include "ScratchFolder.h"
#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "organize/OrganizeService.h"
#include "platform/FileOps.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

using namespace Qt::StringLiterals;

// A run killed part-way: the child process moves the files, the parent kills
// it right after a move whose row has not followed yet (the worst moment),
// then checks what the crash left and undoes it.
namespace {
const char* const childVariable = "ORGANIZE_CRASH_FOLDER";
constexpr int fileCount = 2000;

QString fileName(int index)
{
    return u"shot %1.png"_s.arg(index, 4, 10, QChar(u'0'));
}

// Moves like the real thing, but after move number `stopAfter` has happened,
// and before the run can record it, says so and waits to be killed.
class StoppingFileOps : public SystemFileOps
{
public:
    static constexpr int stopAfter = 501;

    SafeFile::Outcome move(const QString& from, const QString& to) override
    {
        SafeFile::Outcome outcome = SystemFileOps::move(from, to);
        if (++m_moves == stopAfter) {
            std::fprintf(stderr, "stopped after a move\n");
            std::fflush(stderr);
            std::getchar(); // the parent never writes: this is where the kill lands
        }
        return outcome;
    }

private:
    int m_moves = 0;
};

struct Services
{
    explicit Services(const QString& folder)
        : settings(folder + u"/settings.conf"_s)
        , memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , store(folder + u"/data/Brindlework.sqlite"_s)
        , monitor(parts.with(settings, memory, store))
        , service(store, monitor, fileOps, folder + u"/data"_s)
    {}

    MonitorServices parts;
    Settings settings;
    MemoryMonitor memory;
    DatabaseManager store;
    ScreenshotMonitor monitor;
    StoppingFileOps fileOps;
    OrganizeService service;
};
} // namespace

TEST(OrganizerCrash, ChildRun)
{
    const QString folder = qEnvironmentVariable(childVariable);
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of KilledRunLeavesEveryFileUndoable";
    Services services(folder);
    const auto plan = services.service.analyze({QUrl::fromLocalFile(folder + u"/Shots"_s), false, false, false});
    services.service.organize(plan, {});
}

TEST(OrganizerCrash, KilledRunLeavesEveryFileUndoable)
{
    QTemporaryDir dir(scratchTemplate());
    const QString base = dir.filePath(u"Shots"_s);
    QDir().mkpath(base);
    {
        DatabaseManager store(dir.filePath(u"data/Brindlework.sqlite"_s));
        QList<Screenshot> rows;
        for (int i = 0; i < fileCount; ++i) {
            const QString path = base + u'/' + fileName(i);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(path.toUtf8());
            file.close();
            rows.append(Screenshot(path, QUuid::createUuid()));
        }
        store.upsertMany(rows);
    }

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childVariable), dir.path());
    child.setProcessEnvironment(environment);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setReadChannel(QProcess::StandardError);
    child.start(QCoreApplication::applicationFilePath(), {u"--gtest_filter=OrganizerCrash.ChildRun"_s});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray said;
    while (!said.contains("stopped after a move") && child.waitForReadyRead(20'000))
        said += child.readAllStandardError();
    child.kill();
    child.waitForFinished();
    ASSERT_TRUE(said.contains("stopped after a move")) << said.toStdString();

    Services services(dir.path());
    const auto undoData = services.service.loadUndoData();
    ASSERT_TRUE(undoData.has_value());
    QSet<QString> covered;
    for (const auto& operation : undoData->operations)
        covered.insert(operation.newPath);
    LogTimer timer(u"test"_s);
    const QList<Screenshot> rows = services.store.fetchPage(std::nullopt, fileCount, 0, true, timer);
    ASSERT_EQ(rows.size(), fileCount);
    int moved = 0, disagreeing = 0;
    for (const Screenshot& row : rows) {
        const QString source = base + u'/' + row.filename;
        const QString target = base + u"/GLIMMERDECK/"_s + QFileInfo(row.filePath).fileName();
        const bool atSource = QFileInfo(source).isFile(), atTarget = QFileInfo(target).isFile();
        ASSERT_NE(atSource, atTarget) << row.filePath.toStdString();
        if (atTarget) {
            ++moved;
            EXPECT_TRUE(covered.contains(target)) << target.toStdString();
        }
        disagreeing += (atTarget ? target : source) != row.filePath;
    }
    EXPECT_EQ(moved, StoppingFileOps::stopAfter);
    EXPECT_EQ(disagreeing, 1); // the file moved last, whose row had no time to follow

    EXPECT_TRUE(services.service.undo(*undoData));
    for (const Screenshot& row : services.store.fetchPage(std::nullopt, fileCount, 0, true, timer)) {
        EXPECT_EQ(row.filePath, base + u'/' + QFileInfo(row.filePath).fileName());
        EXPECT_TRUE(QFileInfo(row.filePath).isFile());
    }
}
