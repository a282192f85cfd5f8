#include "OrganizerFixture.h"

#include "core/Uuid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QDateTime day(int year, int month, int dayOfMonth)
{
    return QDateTime(QDate(year, month, dayOfMonth), QTime(12, 0));
}

QString pathOf(const QUrl& url)
{
    return url.toLocalFile();
}

// About forty files in nested folders over two years, with the awkward
// neighbours a real folder has.
class OrganizeService_ : public OrganizerFixture
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < 24; ++i)
            m_direct.append(
                addFile(u"Screenshot %1.png"_s.arg(i, 2, 10, QChar(u'0')), day(2024 + i / 12, i % 12 + 1, 3)));
        for (int i = 0; i < 8; ++i)
            m_nested.append(addFile(u"Projects/Screenshot sub %1.png"_s.arg(i), day(2025, 5, 10 + i)));
        for (int i = 0; i < 6; ++i)
            m_nested.append(addFile(u"Projects/deep/clip %1.mov"_s.arg(i), day(2024, 11, 1 + i)));
        // The same name twice in one month: a clash in every layout.
        m_clashA = addFile(u"same.png"_s, day(2025, 3, 3));
        m_clashB = addFile(u"Projects/same.png"_s, day(2025, 3, 4));
        m_sibling = addFile(m_dir.filePath(u"Shots Old/x.png"_s), day(2025, 3, 3));
        const Screenshot target = addFile(u"Projects/target.png"_s, day(2025, 1, 1));
        m_nested.append(target);
        QFile::link(target.filePath, m_base + u"/link.png"_s);
        m_store.upsert(Screenshot(m_base + u"/link.png"_s, QUuid::createUuid()));
        QDir().mkpath(m_base + u"/folder.png"_s);
        m_store.upsert(Screenshot(m_base + u"/folder.png"_s, QUuid::createUuid()));
        const Screenshot gone = addFile(u"gone.png"_s, day(2025, 2, 2));
        QFile::remove(gone.filePath);
        m_original = snapshot();
    }

    // Every file below the scratch folder with its content (each file holds
    // its first path), so that moving any file anywhere shows.
    QStringList snapshot() const
    {
        QStringList files;
        for (const QString& relative : tree(m_dir.path())) {
            if (relative.startsWith(u"data/"_s))
                continue;
            QFile file(m_dir.filePath(relative));
            const bool opened = file.open(QIODevice::ReadOnly);
            files.append(relative + u" = "_s + (opened ? QString::fromUtf8(file.readAll()) : u"?"_s));
        }
        return files;
    }

    OrganizeService::HistoryOperation record(const OrganizeService::OrganizationResult& result,
                                             const OrganizeService::OrganizationOptions& used)
    {
        OrganizeService::OrganizationHistory history = m_service.loadHistory();
        const OrganizeService::HistoryOperation entry{QUuid::createUuid(),
                                                      QDateTime::currentDateTimeUtc(),
                                                      u"Organized screenshots"_s,
                                                      result.movedFiles.size(),
                                                      {used.groupByYear, used.groupByMonth, used.includeSubfolders},
                                                      *result.undoData};
        history.add(entry);
        m_service.saveHistory(history);
        return entry;
    }

    OrganizeService::OrganizationResult run(const OrganizeService::OrganizationOptions& used)
    {
        return m_service.organize(m_service.analyze(used), {});
    }

    QList<Screenshot> m_direct, m_nested;
    Screenshot m_clashA, m_clashB, m_sibling;
    QStringList m_original;
};
} // namespace

TEST_F(OrganizeService_, PlansEveryCombinationOfTheToggles)
{
    struct Case
    {
        bool year, month, subfolders;
        QString targetOfClashA; // below the base folder
        int files;
    };
    // Direct files: 24 + same.png; below: 16 more. The symlink, the folder
    // named like an image, the vanished file and the sibling folder never.
    const std::vector<Case> cases = {
        {false, false, false, u"GLIMMERDECK/same.png"_s, 25},
        {false, true, false, u"GLIMMERDECK/same.png"_s, 25},
        {true, false, false, u"GLIMMERDECK/2025/same.png"_s, 25},
        {true, true, false, u"GLIMMERDECK/2025/03-March/same.png"_s, 25},
        {false, false, true, u"GLIMMERDECK/same.png"_s, 41},
        {false, true, true, u"GLIMMERDECK/same.png"_s, 41},
        {true, false, true, u"GLIMMERDECK/2025/same.png"_s, 41},
        {true, true, true, u"GLIMMERDECK/2025/03-March/same.png"_s, 41},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << c.month << c.subfolders);
        m_console.clear();
        const auto plan = m_service.analyze(options(c.year, c.month, c.subfolders));
        EXPECT_EQ(plan.totalFiles, c.files);
        EXPECT_EQ(plan.filesToMove.size(), c.files);
        EXPECT_DOUBLE_EQ(plan.estimatedDuration, c.files * 0.01);
        EXPECT_EQ(pathOf(plan.targetBaseURL), m_base + u"/GLIMMERDECK"_s);
        QStringList sources;
        // The folders the moves go into, with their counts, newest first.
        QMap<QString, qint64> byFolder;
        for (const auto& operation : plan.filesToMove) {
            const QString folder = QFileInfo(pathOf(operation.targetURL)).path();
            ++byFolder[folder.sliced(std::min(folder.size(), pathOf(plan.targetBaseURL).size() + 1))];
        }
        QList<OrganizeService::OrganizationPlan::TargetFolder> folders;
        for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it)
            folders.prepend({it.key(), it.value()});
        EXPECT_EQ(plan.targetFolders, folders);
        using Folders = QList<OrganizeService::OrganizationPlan::TargetFolder>;
        if (!c.year) {
            EXPECT_EQ(folders, (Folders{{QString(), c.files}}));
        } else if (!c.month && !c.subfolders) {
            EXPECT_EQ(folders, (Folders{{u"2025"_s, 13}, {u"2024"_s, 12}}));
        }
        for (const auto& operation : plan.filesToMove) {
            sources.append(pathOf(operation.originalURL));
            EXPECT_EQ(operation.screenshotId, operation.screenshotId.toUpper());
            EXPECT_EQ(m_base + u'/' + operation.relativePath, pathOf(operation.originalURL));
            if (operation.screenshotId == uuidText(m_clashA.id)) {
                EXPECT_EQ(pathOf(operation.targetURL), m_base + u'/' + c.targetOfClashA);
            }
        }
        for (const QString& never :
             {m_sibling.filePath, m_base + u"/link.png"_s, m_base + u"/folder.png"_s, m_base + u"/gone.png"_s})
            EXPECT_FALSE(sources.contains(never)) << never.toStdString();
        EXPECT_EQ(sources.contains(m_clashB.filePath), c.subfolders);
        EXPECT_TRUE(m_console.contains(u"   → Found 44 screenshots"_s)); // the sibling's row is not the folder's
        EXPECT_TRUE(m_console.contains(u"   → Skipped 3 missing or non-regular files"_s));
        EXPECT_TRUE(m_console.contains(u"   → Organizing "_s + QString::number(c.files) + u" files"_s));
        EXPECT_TRUE(
            m_console.contains(u"   → Estimated time: "_s + QString::asprintf("%.1f", c.files * 0.01) + u"s"_s));
    }
    // The plan is newest first, as the store reads.
    const auto plan = m_service.analyze(options(true, true, true));
    EXPECT_EQ(plan.filesToMove.first().screenshotId, uuidText(m_direct.last().id));
}

TEST_F(OrganizeService_, AnEmptyFolderGivesAnEmptyPlanWithItsTargetFolder)
{
    const QString empty = m_dir.filePath(u"Empty"_s);
    QDir().mkpath(empty);
    m_console.clear();
    const auto plan = m_service.analyze({QUrl::fromLocalFile(empty), true, true, true});
    EXPECT_EQ(plan.totalFiles, 0);
    EXPECT_EQ(pathOf(plan.targetBaseURL), empty + u"/GLIMMERDECK"_s);
    EXPECT_EQ(m_console.matching(u"   → "_s).last(), u"   → No screenshots found"_s);
    EXPECT_FALSE(m_console.contains(u"Analysis complete"_s));
    EXPECT_FALSE(QFileInfo::exists(empty + u"/GLIMMERDECK"_s)); // analysing creates nothing
}

TEST_F(OrganizeService_, MovesWithClashNamesNeverOverwritesAndRowsFollow)
{
    const QString march = m_base + u"/GLIMMERDECK/2025/03-March"_s;
    const Screenshot occupiedTarget = addFile(u"occupied.png"_s, day(2025, 3, 9));
    const Screenshot occupiedBoth = addFile(u"both.png"_s, day(2025, 3, 9));
    const auto plan = m_service.analyze(options(true, true, true));
    // Placed after the analysis: the run sees them.
    addFile(march + u"/occupied.png"_s, day(2020, 1, 1), "foreign one");
    addFile(march + u"/both.png"_s, day(2020, 1, 1), "foreign two");
    addFile(march + u"/Shots_both.png"_s, day(2020, 1, 1), "foreign three");

    std::vector<std::pair<int, int>> progress;
    const auto result =
        m_service.organize(plan, [&progress](int current, int total) { progress.emplace_back(current, total); });
    ASSERT_EQ(int(progress.size()), plan.totalFiles);
    EXPECT_EQ(progress.back(), std::make_pair(int(plan.totalFiles), int(plan.totalFiles)));

    EXPECT_FALSE(result.success);
    ASSERT_EQ(result.failedFiles.size(), 1);
    EXPECT_EQ(result.failedFiles[0].operation.screenshotId, uuidText(occupiedBoth.id));
    EXPECT_EQ(result.movedFiles.size(), plan.totalFiles - 1);
    ASSERT_TRUE(result.undoData.has_value());
    EXPECT_EQ(result.undoData->operations.size(), result.movedFiles.size());

    // Newest first: the later of the two same.png files arrives first.
    EXPECT_EQ(rowPath(m_clashB), march + u"/same.png"_s);
    EXPECT_EQ(rowPath(m_clashA), march + u"/Shots_same.png"_s);
    EXPECT_EQ(rowPath(occupiedTarget), march + u"/Shots_occupied.png"_s);
    EXPECT_EQ(rowPath(occupiedBoth), occupiedBoth.filePath);
    QFile foreign(march + u"/Shots_both.png"_s);
    ASSERT_TRUE(foreign.open(QIODevice::ReadOnly));
    EXPECT_EQ(foreign.readAll(), "foreign three");
    EXPECT_TRUE(QFileInfo::exists(occupiedBoth.filePath));
    for (const auto& operation : result.undoData->operations) {
        EXPECT_TRUE(QFileInfo(operation.newPath).isFile()) << operation.newPath.toStdString();
        EXPECT_FALSE(QFileInfo::exists(operation.originalPath));
    }
    // Untouched neighbours.
    EXPECT_TRUE(QFileInfo(m_sibling.filePath).isFile());
    EXPECT_EQ(rowPath(m_sibling), m_sibling.filePath);
    EXPECT_TRUE(QFileInfo(m_base + u"/link.png"_s).isSymLink());
    EXPECT_TRUE(QFileInfo(m_base + u"/folder.png"_s).isDir());
    EXPECT_TRUE(m_console.contains(u"⚠️ ORGANIZE: Some files failed, but undo data saved for successful moves"_s));
}

TEST_F(OrganizeService_, TheFilesOnDiskHoldExactlyTheirKeys)
{
    const auto used = options(true, false, false);
    const auto result = run(used);
    ASSERT_TRUE(result.success);
    record(result, used);

    QFile undoFile(m_service.undoDataFileURL());
    ASSERT_TRUE(undoFile.open(QIODevice::ReadOnly));
    const QByteArray undoBytes = undoFile.readAll();
    EXPECT_FALSE(undoBytes.contains('\n')); // compact
    const QJsonObject undo = QJsonDocument::fromJson(undoBytes).object();
    EXPECT_EQ(undo.keys(), (QStringList{u"baseURL"_s, u"operations"_s, u"timestamp"_s}));
    EXPECT_EQ(undo[u"baseURL"_s].toString(), QUrl::fromLocalFile(m_base).toString(QUrl::FullyEncoded) + u'/');
    const QJsonObject firstMove = undo[u"operations"_s].toArray().first().toObject();
    EXPECT_EQ(firstMove.keys(), (QStringList{u"newPath"_s, u"originalPath"_s, u"screenshotId"_s}));

    QFile historyFile(m_service.historyFileURL());
    ASSERT_TRUE(historyFile.open(QIODevice::ReadOnly));
    const QByteArray historyBytes = historyFile.readAll();
    EXPECT_GT(historyBytes.count('\n'), 10); // pretty-printed
    const QJsonObject history = QJsonDocument::fromJson(historyBytes).object();
    EXPECT_EQ(history.keys(), (QStringList{u"maxOperations"_s, u"operations"_s}));
    const QJsonObject entry = history[u"operations"_s].toArray().first().toObject();
    EXPECT_EQ(entry.keys(),
              (QStringList{u"description"_s, u"id"_s, u"moveCount"_s, u"options"_s, u"timestamp"_s, u"undoData"_s}));
    EXPECT_EQ(entry[u"options"_s].toObject().keys(),
              (QStringList{u"groupByMonth"_s, u"groupByYear"_s, u"includeSubfolders"_s}));
    EXPECT_EQ(entry[u"moveCount"_s].toInt(), 25);
    EXPECT_TRUE(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"_s)
                    .match(entry[u"timestamp"_s].toString())
                    .hasMatch());
}

TEST_F(OrganizeService_, ASecondRunLeavesFilesAlreadyInPlace)
{
    const auto used = options(true, true, true);
    ASSERT_TRUE(run(used).success);
    const QStringList organized = snapshot();
    m_console.clear();
    const auto again = m_service.analyze(used);
    EXPECT_EQ(again.totalFiles, 0);
    EXPECT_TRUE(m_console.contains(u"   → Already in place: 41"_s));
    EXPECT_TRUE(m_service.organize(again, {}).success);
    EXPECT_EQ(snapshot(), organized);
}

TEST_F(OrganizeService_, UndoRestoresTheTreeAndTheRows)
{
    const auto used = options(true, true, true);
    const auto result = run(used);
    ASSERT_TRUE(result.success);
    const auto entry = record(result, used);
    EXPECT_NE(snapshot(), m_original);

    EXPECT_TRUE(m_service.undoOperation(entry.id, m_base));
    EXPECT_EQ(snapshot(), m_original);
    // The run's year and month folders went with its files.
    EXPECT_FALSE(QFileInfo::exists(m_base + u"/GLIMMERDECK"_s));
    for (const Screenshot& screenshot : m_direct + m_nested)
        EXPECT_EQ(rowPath(screenshot), screenshot.filePath);
    EXPECT_TRUE(m_service.loadHistory().operations.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(m_service.undoDataFileURL()));
}

TEST_F(OrganizeService_, CascadeOfTwoRunsReturnsToTheOriginalTree)
{
    const auto flat = options(false, false, false);
    const auto first = record(run(flat), flat);
    const auto dated = options(true, true, true);
    const auto second = record(run(dated), dated);
    ASSERT_EQ(m_service.loadHistory().operations.size(), 2);
    EXPECT_EQ(m_service.loadHistory().operations.first().id, second.id);

    m_console.clear();
    EXPECT_TRUE(m_service.undoOperation(first.id, m_base));
    EXPECT_TRUE(m_console.contains(u"⚠️ ORGANIZE: Cascade undo - undoing 2 operations"_s));
    EXPECT_TRUE(m_console.contains(u"✅ ORGANIZE: Successfully undone 2 operation(s)"_s));
    EXPECT_EQ(snapshot(), m_original);
    EXPECT_TRUE(m_service.loadHistory().operations.isEmpty());
}

TEST_F(OrganizeService_, APartlyFailedUndoKeepsWhatIsLeftAndARetryFinishes)
{
    const auto used = options(false, false, false);
    const auto entry = record(run(used), used);
    m_fileOps.failNth(FaultyFileOps::Step::Move, m_fileOps.calls(FaultyFileOps::Step::Move) + 3);
    EXPECT_FALSE(m_service.undoOperation(entry.id, m_base));
    const auto history = m_service.loadHistory();
    ASSERT_EQ(history.operations.size(), 1);
    EXPECT_EQ(history.operations[0].undoData.operations.size(), 1);
    EXPECT_EQ(history.operations[0].moveCount, 1);
    EXPECT_TRUE(m_console.contains(u"❌ ORGANIZE: Cascade undo stopped at operation 0"_s));

    EXPECT_TRUE(m_service.undoOperation(entry.id, m_base));
    EXPECT_EQ(snapshot(), m_original);
}

// The undo file keeps in step with the history entry an undo cut short:
// the next start finds nothing interrupted and records no second entry,
// also from an undo file that still holds the whole run.
TEST_F(OrganizeService_, AnUndoThatFailsForSomeFilesIsNotRecordedAgainAtTheNextStart)
{
    const auto used = options(false, false, false);
    const auto entry = record(run(used), used);
    m_fileOps.failNth(FaultyFileOps::Step::Move, m_fileOps.calls(FaultyFileOps::Step::Move) + 3);
    ASSERT_FALSE(m_service.undoOperation(entry.id, m_base));
    const auto left = m_service.loadHistory().operations;
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(m_service.loadUndoData(), left[0].undoData);

    m_console.clear();
    EXPECT_FALSE(m_service.recoverInterruptedRun()) << "as at the next start";
    EXPECT_EQ(m_service.loadHistory().operations, left);
    EXPECT_FALSE(m_console.contains(u"interrupted run"_s));

    ASSERT_TRUE(m_service.saveUndoData(entry.undoData));
    EXPECT_FALSE(m_service.recoverInterruptedRun());
    EXPECT_EQ(m_service.loadHistory().operations, left);

    EXPECT_TRUE(m_service.undoOperation(entry.id, m_base));
    EXPECT_EQ(snapshot(), m_original);
    EXPECT_FALSE(QFileInfo::exists(m_service.undoDataFileURL()));
}

// A run killed in a move across file systems after the copy was placed but
// before the original went: the file has not moved, so recovery neither
// lists it nor moves its row.
TEST_F(OrganizeService_, RecoveryNeverCountsAFileWhoseOriginalIsStillInPlace)
{
    const auto result = run(options(false, false, false)); // killed before its history entry
    ASSERT_TRUE(result.undoData);
    const OrganizeService::UndoOperation halfMoved = result.undoData->operations.first();
    ASSERT_TRUE(QFile::copy(halfMoved.newPath, halfMoved.originalPath));
    ASSERT_TRUE(m_store.updateFilePath(halfMoved.originalPath, halfMoved.screenshotId));

    const auto recovered = m_service.recoverInterruptedRun();
    ASSERT_TRUE(recovered);
    EXPECT_EQ(recovered->undoData.operations.size(), result.undoData->operations.size() - 1);
    EXPECT_FALSE(recovered->undoData.operations.contains(halfMoved));
    const auto row = m_store.fetchByPath(halfMoved.originalPath);
    ASSERT_TRUE(row);
    EXPECT_EQ(uuidText(row->id), halfMoved.screenshotId);
}

TEST_F(OrganizeService_, AnotherFileAtTheNewPlaceIsNotMovedBack)
{
    const auto used = options(false, false, false);
    const auto entry = record(run(used), used);
    const auto& moved = entry.undoData.operations.first();
    // The user trashed the organized file from the gallery and put another there.
    QFile::remove(moved.newPath);
    m_store.deleteScreenshot(*parseUuid(moved.screenshotId));
    QFile stranger(moved.newPath);
    ASSERT_TRUE(stranger.open(QIODevice::WriteOnly));
    stranger.write("someone else");
    stranger.close();

    EXPECT_FALSE(m_service.undoOperation(entry.id, m_base));
    EXPECT_TRUE(QFileInfo::exists(moved.newPath));
    EXPECT_FALSE(QFileInfo::exists(moved.originalPath));
    EXPECT_EQ(m_service.loadHistory().operations[0].undoData.operations, QList<OrganizeService::UndoOperation>{moved});
}

TEST_F(OrganizeService_, EntriesOfAnotherFolderRefuseTheCascade)
{
    const auto used = options(false, false, false);
    const auto entry = record(run(used), used);
    const QStringList organized = snapshot();
    for (const QString& other : {m_dir.filePath(u"Elsewhere"_s), m_dir.filePath(u"Shot"_s)}) {
        m_console.clear();
        EXPECT_FALSE(m_service.undoOperation(entry.id, other));
        EXPECT_TRUE(m_console.contains(u"❌ ORGANIZE: Directory mismatch!"_s));
        EXPECT_TRUE(m_console.contains(u"   → Current monitored: "_s + other));
    }
    EXPECT_FALSE(m_service.undoOperation(entry.id, QString()));
    EXPECT_FALSE(m_service.undoOperation(QUuid::createUuid(), m_base));
    EXPECT_TRUE(m_console.contains(u"❌ ORGANIZE: Operation not found in history"_s));
    EXPECT_EQ(snapshot(), organized);
}

TEST_F(OrganizeService_, AFailedStoreUpdatePutsTheFileBack)
{
    const auto plan = m_service.analyze(options(false, false, false));
    m_store.deleteScreenshot(m_direct.first().id);
    const auto result = m_service.organize(plan, {});
    EXPECT_FALSE(result.success);
    ASSERT_EQ(result.failedFiles.size(), 1);
    EXPECT_TRUE(QFileInfo(m_direct.first().filePath).isFile());
    EXPECT_EQ(result.undoData->operations.size(), plan.totalFiles - 1);
}

TEST_F(OrganizeService_, ARunWithSomeFailuresStaysUndoableAndOneWithoutTargetFolderMovesNothing)
{
    // Every move into the flat layout's folder fails once it has been made.
    m_fileOps.failNth(FaultyFileOps::Step::MakeFolder, 1);
    auto plan = m_service.analyze(options(false, false, false));
    auto result = m_service.organize(plan, {});
    EXPECT_FALSE(result.success);
    ASSERT_EQ(result.failedFiles.size(), 1);
    EXPECT_EQ(result.failedFiles[0].operation.screenshotId, plan.filesToMove[0].screenshotId);
    EXPECT_TRUE(result.movedFiles.isEmpty());
    EXPECT_FALSE(result.undoData);
    EXPECT_EQ(snapshot(), m_original);

    m_fileOps.failNth(FaultyFileOps::Step::Move, m_fileOps.calls(FaultyFileOps::Step::Move) + 2);
    result = m_service.organize(plan, {});
    EXPECT_EQ(result.failedFiles.size(), 1);
    ASSERT_TRUE(result.undoData);
    EXPECT_EQ(m_service.loadUndoData(), result.undoData);
    EXPECT_TRUE(m_service.undo(*result.undoData));
    EXPECT_EQ(snapshot(), m_original);
}

TEST_F(OrganizeService_, TheUndoFileIsWrittenAheadOfEveryHundredMoves)
{
    QList<Screenshot> bulk;
    for (int i = 0; i < 230; ++i)
        bulk.append(addFile(u"bulk/%1.png"_s.arg(i), day(2025, 6, 1), "x", false));
    m_store.upsertMany(bulk);
    const int writesBefore = m_fileOps.calls(FaultyFileOps::Step::Write);
    const auto result = run(options(false, false, true));
    EXPECT_TRUE(result.success);
    // Ahead of files 1, 101, 201 and at the end.
    EXPECT_EQ(m_fileOps.calls(FaultyFileOps::Step::Write) - writesBefore, 4);
}

TEST_F(OrganizeService_, UndoRemovesOnlyTheLayoutFoldersLeftEmpty)
{
    const auto flat = options(false, false, false);
    const auto first = record(run(flat), flat);
    const auto dated = options(true, true, true);
    const auto second = record(run(dated), dated);
    // The user keeps a note in one month folder and a hidden file in a year.
    const QString march = m_base + u"/GLIMMERDECK/2025/03-March"_s;
    addFile(march + u"/note.txt"_s, day(2025, 3, 3), "mine", false);
    addFile(m_base + u"/GLIMMERDECK/2024/.hidden"_s, day(2024, 1, 1), "mine too", false);
    QDir().mkpath(m_base + u"/Projects/empty of the user"_s);

    m_console.clear();
    ASSERT_TRUE(m_service.undoOperation(second.id, m_base));
    EXPECT_TRUE(m_console.contains(u"   → Removed empty folders: "_s));
    EXPECT_TRUE(QFileInfo(march + u"/note.txt"_s).isFile());
    EXPECT_TRUE(QFileInfo(m_base + u"/GLIMMERDECK/2024/.hidden"_s).isFile());
    EXPECT_FALSE(QFileInfo::exists(m_base + u"/GLIMMERDECK/2025/05-May"_s));
    EXPECT_FALSE(QFileInfo::exists(m_base + u"/GLIMMERDECK/2024/11-November"_s));
    QStringList years = QDir(m_base + u"/GLIMMERDECK"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(years, (QStringList{u"2024"_s, u"2025"_s}));
    // The first run's files still lie in GLIMMERDECK: it stays.
    EXPECT_EQ(QDir(m_base + u"/GLIMMERDECK"_s).entryList(QDir::Files).size(), first.moveCount);

    ASSERT_TRUE(m_service.undoOperation(first.id, m_base));
    EXPECT_TRUE(QFileInfo(march + u"/note.txt"_s).isFile());
    EXPECT_TRUE(QFileInfo(m_base + u"/GLIMMERDECK/2024/.hidden"_s).isFile());
    EXPECT_TRUE(QFileInfo(m_base + u"/Projects/empty of the user"_s).isDir()); // outside the layout
}

// No file moves that the undo file does not cover: when it cannot be written
// the run stops before its next move, and what moved is kept undoable. The
// reason says so in the user's words.
TEST_F(OrganizeService_, AnUndoFileThatCannotBeWrittenStopsTheRunBeforeTheNextMove)
{
    QList<Screenshot> bulk;
    for (int i = 0; i < 150; ++i)
        bulk.append(addFile(u"bulk/%1.png"_s.arg(i), day(2025, 6, 1), "x", false));
    m_store.upsertMany(bulk);
    const QStringList before = snapshot();
    // Not even the first block can be written: nothing moves.
    m_fileOps.failWhen([&](FaultyFileOps::Step step, const QString& path) {
        return step == FaultyFileOps::Step::Write && path.endsWith(OrganizeService::undoFileName);
    });
    const auto plan = m_service.analyze(options(false, false, true));
    ASSERT_GT(plan.totalFiles, 100);
    const auto refused = m_service.organize(plan, {});
    EXPECT_TRUE(refused.movedFiles.isEmpty());
    EXPECT_EQ(refused.stopReason, u"No files were moved: the record that lets you undo the moves could not be saved. "_s
                                  u"Make sure the disk has free space, then try again."_s);
    EXPECT_EQ(snapshot(), before);

    // The first block is written; the second is not.
    int undoWrites = 0;
    m_fileOps.failWhen([&](FaultyFileOps::Step step, const QString& path) {
        return step == FaultyFileOps::Step::Write && path.endsWith(OrganizeService::undoFileName) && ++undoWrites == 2;
    });

    const auto result = m_service.organize(plan, {});

    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.stopReason,
              u"The run stopped after 100 of %1 files: the record that lets you undo the moves could not be saved. "_s
              u"The files moved so far can be put back with Undo in the history. Make sure the disk has free space, "_s
              u"then try again."_s.arg(plan.totalFiles));
    EXPECT_EQ(result.movedFiles.size(), 100);
    ASSERT_TRUE(result.undoData);
    EXPECT_EQ(result.undoData->operations.size(), 100);
    EXPECT_TRUE(m_service.undo(*result.undoData));
    EXPECT_EQ(snapshot(), before);
}

// An undo writes down what it moves back before the first file goes (a kill
// between a file and its row is settled from it at the next start); when it
// cannot, nothing moves, and a later try undoes everything.
TEST_F(OrganizeService_, AnUndoThatCannotBeRecordedFirstMovesNothing)
{
    const QStringList before = snapshot();
    const auto result = m_service.organize(m_service.analyze(options(true, false, false)), {});
    ASSERT_TRUE(result.undoData);
    const QStringList organized = snapshot();
    ASSERT_NE(organized, before);
    bool refuse = true;
    m_fileOps.failWhen([&](FaultyFileOps::Step step, const QString& path) {
        return refuse && step == FaultyFileOps::Step::Write && path.endsWith(OrganizeService::undoingFileName);
    });

    QList<OrganizeService::UndoOperation> remaining;
    EXPECT_FALSE(m_service.undo(*result.undoData, &remaining));
    EXPECT_EQ(remaining, result.undoData->operations);
    EXPECT_EQ(snapshot(), organized);

    refuse = false;
    EXPECT_TRUE(m_service.undo(*result.undoData));
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(QFileInfo::exists(dataFolder() + u'/' + OrganizeService::undoingFileName));
}

// The target folder is a link to somewhere outside the monitored folder:
// every file is refused, and no year or month folder is made out there.
TEST_F(OrganizeService_, ATargetFolderLeadingOutsideGetsNoFoldersMadeThere)
{
    QTemporaryDir outside(scratchTemplate());
    ASSERT_TRUE(QFile::link(outside.path(), m_base + u"/"_s + OrganizeService::targetFolderName));
    const auto plan = m_service.analyze(options(true, true, false));
    ASSERT_GT(plan.totalFiles, 0);

    const auto result = m_service.organize(plan, {});

    EXPECT_FALSE(result.success);
    EXPECT_TRUE(result.movedFiles.isEmpty());
    EXPECT_EQ(result.failedFiles.size(), plan.totalFiles);
    EXPECT_TRUE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}
