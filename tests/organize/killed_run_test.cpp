#include "ScratchFolder.h"
#include "core/LogTimer.h"
#include "organize/OrganizeService.h"
#include "organize/ReOrganizerViewModel.h"
#include "support/CrashPoint.h"
#include "support/StartedLibrary.h"
#include "support/Wait.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// The re-organizer killed at its worst moments, in a child process, then the
// application's start over what it left: every file once, one row per file
// with its tags and notes, and the run undoable from the screen.
namespace {
constexpr int fileCount = 250; // three blocks of the undo file

// The application's pieces over the scratch folder, started afresh; the
// process dies at the file step named, if any.
struct Application : StartedLibrary
{
    explicit Application(const QString& folder)
        : StartedLibrary(folder + u"/settings.conf"_s, folder + u"/data/Brindlework.sqlite"_s)
        , service(store, monitor, fileOps, folder + u"/data"_s)
    {
        CrashPoint::atFileSteps(fileOps, OrganizeService::undoFileName);
    }

    SteppingFileOps fileOps;
    OrganizeService service;
};

QString shots(const QString& folder)
{
    return folder + u"/Shots"_s;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct UserData
{
    QStringList tags;
    QString notes;
};

// Files each with content, tags and notes of their own; keyed by content.
QHash<QByteArray, UserData> makeLibrary(const QString& folder)
{
    QDir().mkpath(shots(folder));
    DatabaseManager store(folder + u"/data/Brindlework.sqlite"_s);
    QHash<QByteArray, UserData> expected;
    QList<Screenshot> rows;
    for (int i = 0; i < fileCount; ++i) {
        const QString path = shots(folder) + u"/shot %1.png"_s.arg(i, 3, 10, QChar(u'0'));
        const QByteArray content = "screenshot number " + QByteArray::number(i);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        rows.append(Screenshot(path, QUuid::createUuid()));
        expected.insert(content, {{u"tag %1"_s.arg(i)}, u"note %1"_s.arg(i)});
    }
    EXPECT_TRUE(store.upsertMany(rows));
    for (int i = 0; i < fileCount; ++i)
        EXPECT_TRUE(store.saveUserData(rows[i].id, {u"tag %1"_s.arg(i)}, u"note %1"_s.arg(i)));
    return expected;
}

// Every content once, one row per file, each row on an existing file and
// holding that file's tags and notes.
void expectWholeLibrary(DatabaseManager& store, const QString& folder, const QHash<QByteArray, UserData>& expected)
{
    QHash<QByteArray, int> seen;
    int files = 0;
    QDirIterator it(shots(folder), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        ++seen[contentOf(it.next())];
        ++files;
    }
    EXPECT_EQ(files, fileCount);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        EXPECT_EQ(seen.value(it.key()), 1) << it.key().toStdString();
    LogTimer timer(u"test"_s);
    const QList<Screenshot> rows = store.fetchPage(std::nullopt, 10 * fileCount, 0, true, timer);
    EXPECT_EQ(rows.size(), files);
    for (const Screenshot& row : rows) {
        const UserData wanted = expected.value(contentOf(row.filePath));
        EXPECT_EQ(row.customTags, wanted.tags) << row.filePath.toStdString();
        EXPECT_EQ(row.userNotes.value_or(QString()), wanted.notes) << row.filePath.toStdString();
    }
}
} // namespace

TEST(OrganizerKilled, ChildRun)
{
    if (!CrashPoint::isChild())
        GTEST_SKIP() << "runs only as the child of ARunKilledAtItsWorstMomentsIsRecoveredAndUndoable";
    Application application(CrashPoint::folder());
    const auto plan =
        application.service.analyze({QUrl::fromLocalFile(shots(CrashPoint::folder())), true, true, false});
    const auto result = application.service.organize(plan, {});
    if (result.undoData) // the point lies in the undo
        application.service.undo(*result.undoData);
    FAIL() << "the run ended without reaching its point";
}

TEST(OrganizerKilled, ARunKilledAtItsWorstMomentsIsRecoveredAndUndoable)
{
    const struct
    {
        const char* point;
        int movedBeforeKill;
    } cases[] = {
        {"move-150", 150},  // between the move of a file and its row
        {"journal-2", 100}, // between two blocks of the undo file
        {"move-300", 200},  // undoing the whole run: the 50th file back, its row not yet
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.point);
        QTemporaryDir dir(scratchTemplate());
        const QHash<QByteArray, UserData> expected = makeLibrary(dir.path());

        const CrashPoint::ChildEnd child =
            CrashPoint::runChild(u"OrganizerKilled.ChildRun"_s, QString::fromLatin1(c.point), dir.path());
        ASSERT_TRUE(child.killed) << child.output.toStdString();

        Application application(dir.path());
        const auto entry = application.service.recoverInterruptedRun(); // as at start
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->moveCount, c.movedBeforeKill);
        expectWholeLibrary(application.store, dir.path(), expected);

        // A second start finds nothing more to recover.
        EXPECT_FALSE(application.service.recoverInterruptedRun().has_value());

        auto chooser = std::make_unique<FakeFolderChooser>();
        chooser->answer = shots(dir.path());
        application.monitor.setFolderChooser(std::move(chooser));
        application.monitor.requestFolderAccess();
        ReOrganizerViewModel viewModel(application.service, application.monitor);
        viewModel.loadOnAppear();
        ASSERT_EQ(viewModel.history().operations.size(), 1);
        ASSERT_TRUE(viewModel.undo(viewModel.history().operations.first().id));
        ASSERT_TRUE(waitUntil([&] { return !viewModel.isUndoing(); }, 60'000));
        EXPECT_TRUE(viewModel.history().operations.isEmpty());
        expectWholeLibrary(application.store, dir.path(), expected);
        EXPECT_EQ(QDir(shots(dir.path())).entryList(QDir::Files).size(), fileCount);
    }
}
