#include "ScratchFolder.h"
#include "core/LogTimer.h"
#include "organize/OrganizeService.h"
#include "support/CrashPoint.h"
#include "support/StartedLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// A run killed part-way: the child process moves the files and dies right
// after a move whose row has not followed yet (the worst moment), then the
// parent checks what the crash left and undoes it.
namespace {
constexpr int fileCount = 2000;
constexpr int killedAfterMove = 501;

QString fileName(int index)
{
    return u"shot %1.png"_s.arg(index, 4, 10, QChar(u'0'));
}

struct Services : StartedLibrary
{
    explicit Services(const QString& folder)
        : StartedLibrary(folder + u"/settings.conf"_s, folder + u"/data/Brindlework.sqlite"_s)
        , service(store, monitor, fileOps, folder + u"/data"_s)
    {
        CrashPoint::atFileSteps(fileOps, OrganizeService::undoFileName);
    }

    SteppingFileOps fileOps;
    OrganizeService service;
};
} // namespace

TEST(OrganizerCrash, ChildRun)
{
    if (!CrashPoint::isChild())
        GTEST_SKIP() << "runs only as the child of KilledRunLeavesEveryFileUndoable";
    Services services(CrashPoint::folder());
    const auto plan =
        services.service.analyze({QUrl::fromLocalFile(CrashPoint::folder() + u"/Shots"_s), false, false, false});
    services.service.organize(plan, {});
    FAIL() << "the run ended without reaching its point";
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

    const CrashPoint::ChildEnd child =
        CrashPoint::runChild(u"OrganizerCrash.ChildRun"_s, u"move-%1"_s.arg(killedAfterMove), dir.path());
    ASSERT_TRUE(child.killed) << child.output.toStdString();

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
    EXPECT_EQ(moved, killedAfterMove);
    EXPECT_EQ(disagreeing, 1); // the file moved last, whose row had no time to follow

    EXPECT_TRUE(services.service.undo(*undoData));
    for (const Screenshot& row : services.store.fetchPage(std::nullopt, fileCount, 0, true, timer)) {
        EXPECT_EQ(row.filePath, base + u'/' + QFileInfo(row.filePath).fileName());
        EXPECT_TRUE(QFileInfo(row.filePath).isFile());
    }
}
