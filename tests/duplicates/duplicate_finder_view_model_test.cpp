#include "DuplicateLibrary.h"
#include "support/MonitorTestAccess.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;

// Readable failure messages.
inline void PrintTo(const DatabaseManager::UserData& data, std::ostream* out)
{
    *out << '[' << data.customTags.join(u", "_s).toStdString() << "] \""
         << data.notes.value_or(u"(none)"_s).toStdString() << '"';
}

namespace {
const QByteArray kShot(4000, 's');
const QByteArray kOther(2500, 'o');

QStringList pathsIn(const QString& folder, const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names)
        paths.append(folder + u'/' + name);
    paths.sort();
    return paths;
}
} // namespace

class DuplicateFinderViewModelTest : public DuplicateLibrary
{
protected:
    // a, b and c hold the same bytes (c newest, a oldest); x and y another.
    void plantTwoGroups()
    {
        plant(u"a.png"_s, kShot, 30);
        plant(u"b.png"_s, kShot, 20);
        plant(u"c.png"_s, kShot, 10);
        plant(u"x.png"_s, kOther, 5);
        plant(u"y.png"_s, kOther, 3);
        plant(u"single.png"_s, "alone", 2);
        startMonitoring(6);
    }

    QStringList remaining() const
    {
        QStringList names = QDir(m_folder).entryList(QDir::Files);
        names.sort();
        return names;
    }

    DatabaseManager::UserData userDataAt(const QString& name)
    {
        const auto row = m_store.fetchByPath(m_folder + u'/' + name);
        return row ? DatabaseManager::UserData{row->customTags, row->userNotes} : DatabaseManager::UserData{};
    }
    DatabaseManager::UserData listedUserData(const QString& name)
    {
        drainPostedEvents();
        const Screenshot record = listed(name);
        return {record.customTags, record.userNotes};
    }
};

TEST_F(DuplicateFinderViewModelTest, AnalysisPublishesGroupsAndProgressAndKeepsTheOldResultMeanwhile)
{
    plantTwoGroups();
    QSignalSpy progress(&model(), &DuplicateFinderViewModel::progressChanged);
    analyse();
    ASSERT_TRUE(model().result().has_value());
    const auto& groups = model().result()->groups;
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].screenshots.size(), 3); // 8000 reclaimable before 2500
    EXPECT_EQ(model().result()->totalDuplicates, 3);
    EXPECT_EQ(model().result()->totalSavings, 2 * 4000 + 2500);
    EXPECT_EQ(model().progress(), (DuplicateFinderViewModel::Progress{5, 5}));

    const QUuid firstId = groups[0].id;
    model().analyze();
    EXPECT_TRUE(model().isAnalyzing());
    EXPECT_EQ(model().progress(), (DuplicateFinderViewModel::Progress{0, 0}));
    ASSERT_TRUE(model().result().has_value());
    EXPECT_EQ(model().result()->groups[0].id, firstId);
    ASSERT_TRUE(waitUntil([&] { return !model().isAnalyzing(); }));
    EXPECT_NE(model().result()->groups[0].id, firstId); // every analysis makes new groups
}

TEST_F(DuplicateFinderViewModelTest, ANewerAnalysisDropsTheOlderOnesResult)
{
    plantTwoGroups();
    QSignalSpy results(&model(), &DuplicateFinderViewModel::resultChanged);
    model().analyze();
    QList<Screenshot> fewer = m_monitor->screenshots();
    fewer.removeIf([](const Screenshot& s) { return s.filename == u"y.png"_s; });
    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, fewer);
    model().analyze();
    ASSERT_TRUE(waitUntil([&] { return !model().isAnalyzing(); }));
    drainPostedEvents(); // a late result would arrive now
    EXPECT_EQ(results.count(), 1);
    EXPECT_EQ(model().result()->groups.size(), 1);
}

TEST_F(DuplicateFinderViewModelTest, KeepNewestTrashesTheOthersAndRemovesTheirRows)
{
    plantTwoGroups();
    analyse();
    m_console.clear();
    QSignalSpy finished(&model(), &DuplicateFinderViewModel::deletionFinished);
    model().autoDeleteKeepingNewest();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1 && !model().isAnalyzing(); }));
    EXPECT_EQ(finished.first().first().toInt(), 3);

    EXPECT_EQ(remaining(), (QStringList{u"c.png"_s, u"single.png"_s, u"y.png"_s}));
    EXPECT_EQ(trashedOriginals(), pathsIn(m_folder, {u"a.png"_s, u"b.png"_s, u"x.png"_s}));
    EXPECT_FALSE(hasRow(m_folder + u"/a.png"_s));
    EXPECT_FALSE(hasRow(m_folder + u"/x.png"_s));
    EXPECT_TRUE(hasRow(m_folder + u"/c.png"_s));
    EXPECT_EQ(model().trashedIds().size(), 3);

    const QStringList lines = m_console.lines();
    EXPECT_TRUE(lines.contains(u"🤖 AUTO-DELETE: Automatically deleting all duplicates, keeping newest files"_s));
    EXPECT_TRUE(lines.contains(u"📊 Will delete 3 files, keeping 2 newest"_s));
    EXPECT_TRUE(lines.contains(u"🗑️ DUPLICATES: Deleting 3 duplicate files"_s));
    EXPECT_TRUE(lines.contains(u"✅ Deleted 3 duplicate files"_s));
    EXPECT_TRUE(m_console.contains(u"monitoring skipped (already active)"_s)); // the monitor was asked to refresh
    ASSERT_TRUE(model().result().has_value());
    EXPECT_TRUE(model().result()->groups.isEmpty()); // analysed again
}

// "Auto Delete All" keeps the newest copy of each group; the tags and notes
// of every copy it trashes go to that copy's row (and record in the list):
// every tag once, the notes one after another.
TEST_F(DuplicateFinderViewModelTest, AutoDeleteHandsTheTrashedCopiesTagsAndNotesToTheCopyKept)
{
    plantTwoGroups();
    ASSERT_TRUE(m_store.saveUserData(idOf(u"a.png"_s), {u"invoice"_s, u"Work"_s}, u"sent to Anna"_s));
    ASSERT_TRUE(m_store.saveUserData(idOf(u"b.png"_s), {u"Work"_s}, std::nullopt));
    ASSERT_TRUE(m_store.saveUserData(idOf(u"c.png"_s), {u"Work"_s}, u"kept copy"_s));
    ASSERT_TRUE(m_store.saveUserData(idOf(u"x.png"_s), {u"receipt"_s}, std::nullopt));
    analyse();
    QSignalSpy finished(&model(), &DuplicateFinderViewModel::deletionFinished);
    model().autoDeleteKeepingNewest();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1 && !model().isAnalyzing(); }));
    ASSERT_EQ(remaining(), (QStringList{u"c.png"_s, u"single.png"_s, u"y.png"_s}));

    const DatabaseManager::UserData kept{{u"Work"_s, u"invoice"_s}, u"kept copy\n\nsent to Anna"_s};
    EXPECT_EQ(userDataAt(u"c.png"_s), kept);
    EXPECT_EQ(listedUserData(u"c.png"_s), kept);
    EXPECT_EQ(userDataAt(u"y.png"_s), (DatabaseManager::UserData{{u"receipt"_s}, std::nullopt}));
    EXPECT_EQ(m_store.count(m_folder), 3);
}

// A note is the user's words whether or not the copy was tagged.
TEST_F(DuplicateFinderViewModelTest, ANoteOnAnUntaggedCopyGoesToTheCopyKept)
{
    plantTwoGroups();
    ASSERT_TRUE(m_store.saveUserData(idOf(u"x.png"_s), {}, u"paid in cash"_s));
    ASSERT_TRUE(m_store.saveUserData(idOf(u"a.png"_s), {}, u"the first one"_s));
    ASSERT_TRUE(m_store.saveUserData(idOf(u"c.png"_s), {u"Work"_s}, std::nullopt));
    analyse();
    QSignalSpy finished(&model(), &DuplicateFinderViewModel::deletionFinished);
    model().autoDeleteKeepingNewest();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1 && !model().isAnalyzing(); }));
    ASSERT_EQ(remaining(), (QStringList{u"c.png"_s, u"single.png"_s, u"y.png"_s}));

    const DatabaseManager::UserData y{{}, u"paid in cash"_s};
    EXPECT_EQ(userDataAt(u"y.png"_s), y);
    EXPECT_EQ(listedUserData(u"y.png"_s), y);
    const DatabaseManager::UserData c{{u"Work"_s}, u"the first one"_s};
    EXPECT_EQ(userDataAt(u"c.png"_s), c);
    EXPECT_EQ(listedUserData(u"c.png"_s), c);
}

// The preview's "Delete This" and "Keep This" hand the words on too, to a
// copy that stays; a member an earlier "Delete This" trashed passes nothing
// twice.
TEST_F(DuplicateFinderViewModelTest, DeleteThisAndKeepThisHandTheWordsToACopyThatStays)
{
    plantTwoGroups();
    const QUuid b = idOf(u"b.png"_s);
    ASSERT_TRUE(m_store.saveUserData(b, {u"mine"_s}, u"b's note"_s));
    analyse();
    deleteInTurn({{b}}); // "Delete This" on b: the newest of the others takes it
    EXPECT_EQ(userDataAt(u"c.png"_s), (DatabaseManager::UserData{{u"mine"_s}, u"b's note"_s}));

    deleteInTurn({{b, idOf(u"c.png"_s)}}); // "Keep This" on a
    ASSERT_EQ(remaining(), (QStringList{u"a.png"_s, u"single.png"_s, u"x.png"_s, u"y.png"_s}));
    EXPECT_EQ(userDataAt(u"a.png"_s), (DatabaseManager::UserData{{u"mine"_s}, u"b's note"_s}));
    EXPECT_EQ(listedUserData(u"a.png"_s), (DatabaseManager::UserData{{u"mine"_s}, u"b's note"_s}));
}

// The analysis a deletion starts reads what is left: deletions asked for in
// a row may each run before the analysis of the one before, and a list taken
// before a deletion still names the files it trashed.
TEST_F(DuplicateFinderViewModelTest, AnalysesAfterDeletionsNeverReadTheTrashedFiles)
{
    plantTwoGroups();
    analyse();
    const QList<Screenshot> before = m_monitor->screenshots();
    m_console.clear();
    deleteInTurn({{idOf(u"a.png"_s)}, {idOf(u"x.png"_s)}});
    ASSERT_EQ(remaining(), (QStringList{u"b.png"_s, u"c.png"_s, u"single.png"_s, u"y.png"_s}));
    ASSERT_EQ(model().result()->groups.size(), 1);
    EXPECT_EQ(model().result()->groups[0].screenshots.size(), 2);

    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, before);
    analyse();
    EXPECT_EQ(model().result()->groups.size(), 1) << "b and c";
    EXPECT_TRUE(m_console.matching(u"Cannot open file"_s).isEmpty()) << m_console.lines().join(u'\n').toStdString();
}

TEST_F(DuplicateFinderViewModelTest, AutoDeleteBeforeAnyAnalysisDoesNothing)
{
    plantTwoGroups();
    m_console.clear();
    model().autoDeleteKeepingNewest();
    drainPostedEvents();
    EXPECT_TRUE(m_console.lines().isEmpty());
    EXPECT_FALSE(model().isAnalyzing());
}

TEST_F(DuplicateFinderViewModelTest, NoGroupCanLoseItsLastCopyWhateverTheOrder)
{
    // Each case is a sequence of deletion requests sent without waiting, as
    // a preview's "Delete This" and "Keep This" and a row's delete button can.
    const struct
    {
        const char* name;
        QList<QStringList> requests;
        QStringList survivors; // of a, b, c
    } cases[] = {
        {"all three at once", {{u"a.png"_s, u"b.png"_s, u"c.png"_s}}, {u"c.png"_s}},
        {"delete this, then keep this on the deleted one", {{u"a.png"_s}, {u"b.png"_s, u"c.png"_s}}, {u"c.png"_s}},
        {"delete this on every member in turn", {{u"c.png"_s}, {u"b.png"_s}, {u"a.png"_s}}, {u"a.png"_s}},
        {"row delete, then keep this on a deleted one", {{u"a.png"_s, u"b.png"_s}, {u"c.png"_s}}, {u"c.png"_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& name : {u"a.png"_s, u"b.png"_s, u"c.png"_s})
            QFile::remove(m_folder + u'/' + name);
        m_model.reset();
        m_monitor.reset();
        plant(u"a.png"_s, kShot, 30);
        plant(u"b.png"_s, kShot, 20);
        plant(u"c.png"_s, kShot, 10);
        startMonitoring(3);
        analyse();

        QList<QList<QUuid>> requests;
        for (const QStringList& names : c.requests) {
            requests.append(QList<QUuid>{});
            for (const QString& name : names)
                requests.last().append(idOf(name));
        }
        m_console.clear();
        deleteInTurn(requests);
        EXPECT_EQ(remaining(), c.survivors);
        EXPECT_TRUE(m_console.contains(u"no other copy of it would remain"_s));
    }
}

TEST_F(DuplicateFinderViewModelTest, AFileChangedSinceHashingIsNotTrashed)
{
    plant(u"a.png"_s, kShot, 30);
    plant(u"b.png"_s, kShot, 20);
    plant(u"c.png"_s, kShot, 10);
    startMonitoring(3);
    analyse();

    // Same size, other bytes: the victim no longer holds the group's content.
    QByteArray edited = kShot;
    edited[100] = 'e';
    plant(u"a.png"_s, edited, 30);
    // Touched but unchanged: re-hashing shows the content is still the same.
    plant(u"b.png"_s, kShot, 25);

    m_console.clear();
    deleteInTurn({{idOf(u"a.png"_s), idOf(u"b.png"_s)}});
    EXPECT_TRUE(m_console.lines().contains(u"❌ Failed to delete: a.png"_s));
    EXPECT_EQ(remaining(), (QStringList{u"a.png"_s, u"c.png"_s}));
    EXPECT_TRUE(hasRow(m_folder + u"/a.png"_s));
    EXPECT_TRUE(m_console.lines().contains(u"✅ Deleted 1 duplicate files"_s));
}

TEST_F(DuplicateFinderViewModelTest, AVictimWhoseOnlyKeeperChangedIsKept)
{
    plant(u"a.png"_s, kShot, 30);
    plant(u"b.png"_s, kShot, 20);
    startMonitoring(2);
    analyse();
    QByteArray edited = kShot;
    edited[0] = 'e';
    plant(u"b.png"_s, edited, 20);

    m_console.clear();
    deleteInTurn({{idOf(u"a.png"_s)}});
    EXPECT_EQ(remaining(), (QStringList{u"a.png"_s, u"b.png"_s}));
    EXPECT_TRUE(hasRow(m_folder + u"/a.png"_s));
    EXPECT_TRUE(m_console.lines().contains(u"❌ Failed to delete: a.png"_s));
    EXPECT_TRUE(m_console.lines().contains(u"✅ Deleted 0 duplicate files"_s));
}

TEST_F(DuplicateFinderViewModelTest, ARefusedTrashMoveKeepsTheRowAndTheFile)
{
    plantTwoGroups();
    analyse();
    m_trash.refused.append(m_folder + u"/a.png"_s);
    m_console.clear();
    deleteInTurn({{idOf(u"a.png"_s), idOf(u"b.png"_s)}});

    EXPECT_TRUE(m_console.lines().contains(u"❌ Failed to delete: a.png"_s));
    EXPECT_TRUE(m_console.lines().contains(u"✅ Deleted 1 duplicate files"_s));
    EXPECT_TRUE(hasRow(m_folder + u"/a.png"_s));
    EXPECT_FALSE(hasRow(m_folder + u"/b.png"_s));
    EXPECT_FALSE(model().trashedIds().contains(idOf(u"a.png"_s)));
    ASSERT_TRUE(model().result().has_value());
    EXPECT_EQ(model().result()->groups[0].screenshots.size(), 2); // a and c are still copies
}

TEST_F(DuplicateFinderViewModelTest, IdsOutsideTheListOrFolderDeleteNothing)
{
    plantTwoGroups();
    // A copy outside the monitored folder, listed by mistake.
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(u"a.png"_s);
    QFile::copy(m_folder + u"/a.png"_s, outside);
    Screenshot stray = listed(u"a.png"_s);
    stray.id = QUuid::createUuid();
    stray.filePath = outside;
    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, QList<Screenshot>(m_monitor->screenshots()) << stray);
    analyse();
    ASSERT_EQ(model().result()->groups[0].screenshots.size(), 4);

    m_console.clear();
    deleteInTurn({{QUuid::createUuid(), stray.id}});
    EXPECT_TRUE(QFile::exists(outside));
    EXPECT_TRUE(m_console.lines().contains(u"✅ Deleted 0 duplicate files"_s));
    EXPECT_EQ(m_console.matching(u"Failed to delete"_s).size(), 1);
    EXPECT_TRUE(model().result().has_value());
}

TEST_F(DuplicateFinderViewModelTest, PollingPausesWhileDeletingAndResumesWhateverHappens)
{
    plantTwoGroups();
    analyse();
    model().deleteDuplicates({idOf(u"a.png"_s)});
    EXPECT_TRUE(m_monitor->isPollingPaused());
    deleteInTurn({});
    EXPECT_FALSE(m_monitor->isPollingPaused());

    // The screen closes while a deletion is under way: the window does not
    // wait for it, and the deletion still ends its pause.
    model().deleteDuplicates({idOf(u"b.png"_s)});
    m_model.reset();
    ASSERT_TRUE(waitUntil([&] { return !m_monitor->isPollingPaused(); }));
    EXPECT_EQ(remaining(), (QStringList{u"c.png"_s, u"single.png"_s, u"x.png"_s, u"y.png"_s}));
    EXPECT_FALSE(hasRow(m_folder + u"/b.png"_s));
}

// The store stops taking writes: a file already in the Trash is not counted
// as deleted while its row stays, the report names it, the list no longer
// shows it, and the next start removes the row.
TEST_F(DuplicateFinderViewModelTest, ARowTheStoreWillNotRemoveIsReportedAndRemovedAtTheNextStart)
{
    plantTwoGroups();
    ASSERT_TRUE(m_store.saveUserData(idOf(u"a.png"_s), {u"oldest"_s}, u"first of three"_s));
    analyse();
    const QString a = m_folder + u"/a.png"_s;
    m_trash.afterMove = [&](const QString&) { m_store.simulateFault(DatabaseManager::Fault::readOnly); };
    QSignalSpy finished(&model(), &DuplicateFinderViewModel::deletionFinished);
    m_console.clear();
    deleteInTurn({{idOf(u"a.png"_s)}});

    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.first().first().toInt(), 0);
    ASSERT_TRUE(model().lastDeletion().has_value());
    EXPECT_EQ(model().lastDeletion()->rowsRemaining, QStringList{u"a.png"_s});
    EXPECT_EQ(model().lastDeletion()->deleted, 0);
    EXPECT_TRUE(m_console.lines().contains(u"✅ Deleted 0 duplicate files"_s));
    EXPECT_EQ(trashedOriginals(), QStringList{a});
    EXPECT_TRUE(hasRow(a));
    EXPECT_TRUE(std::none_of(m_monitor->screenshots().cbegin(), m_monitor->screenshots().cend(),
                             [&](const Screenshot& s) { return s.filePath == a; }));

    DatabaseManager restarted(m_store.path());
    EXPECT_EQ(DuplicateFinderViewModel::recoverInterruptedDeletion(restarted), QStringList{a});
    EXPECT_FALSE(restarted.fetchByPath(a).has_value());
    // Its words went to the copy the deletion left, as the deletion would have.
    const auto kept = restarted.fetchByPath(m_folder + u"/c.png"_s);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->customTags, QStringList{u"oldest"_s});
    EXPECT_EQ(kept->userNotes, u"first of three"_s);
}
