#include "GalleryTestSupport.h"

#include "core/DatabaseManager.h"
#include "core/Uuid.h"
#include "ingest/FolderAccessController.h"
#include "platform/FolderAccess.h"
#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {
// The real Trash, except for the files it is told to refuse: running as root
// (as CI does), no folder permission makes a move fail.
class RefusingTrash : public Trash
{
public:
    QStringList refused;
    // When set, each move waits for a permit: a deletion held mid-run.
    QSemaphore* gate = nullptr;

    Result moveToTrash(const QString& path) override
    {
        if (gate)
            gate->acquire();
        if (refused.contains(path))
            return {false, {}, u"Permission denied"_s};
        return m_system.moveToTrash(path);
    }

private:
    SystemTrash m_system;
};

class GalleryDeletionTest : public GalleryTest
{
protected:
    GalleryDeletionTest()
        : m_folder(m_dir.filePath(u"Desktop"_s))
    {
        QDir().mkpath(m_folder);
    }

    // A file in the folder, its row in the store and its record in the list.
    Screenshot addFile(const QString& name, bool writeFile = true)
    {
        const QString path = m_folder + u'/' + name;
        if (writeFile) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("pixels");
        }
        Screenshot screenshot = shot(name, at(3, 15));
        screenshot.filePath = path;
        m_store.upsert(screenshot);
        m_files.append(screenshot);
        return screenshot;
    }

    void showLibrary(GalleryViewModel& model) { publish(model, m_files); }

    bool hasRow(const Screenshot& screenshot) { return m_store.fetchByPath(screenshot.filePath).has_value(); }

    static QString trashFolder()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Trash"_s;
    }

    GalleryViewModel::DeletionResult deleteSelection(GalleryViewModel& model, const QList<Screenshot>& selection)
    {
        QSet<QUuid> ids;
        for (const Screenshot& screenshot : selection)
            ids.insert(screenshot.id);
        model.setSelectedIds(ids);
        m_console.clear();
        std::optional<GalleryViewModel::DeletionResult> result;
        model.deleteSelected([&result](const GalleryViewModel::DeletionResult& r) { result = r; });
        EXPECT_TRUE(waitUntil([&result] { return result.has_value(); }));
        return result.value_or(GalleryViewModel::DeletionResult{});
    }

    GalleryViewModel::Services services() { return GalleryTest::services({}, &m_trash); }

    QString m_folder;
    RefusingTrash m_trash;
    QList<Screenshot> m_files;
};
} // namespace

TEST_F(GalleryDeletionTest, SelectedFilesGoToTheTrashAndLeaveStoreAndList)
{
    const Screenshot first = addFile(u"first.png"_s);
    const Screenshot second = addFile(u"second.png"_s);
    const Screenshot kept = addFile(u"kept.png"_s);
    GalleryViewModel model(services());
    showLibrary(model);
    model.setIsSelectionMode(true);

    const auto result = deleteSelection(model, {first, second});
    EXPECT_EQ(result.deleted, 2);
    EXPECT_EQ(result.failed, 0);
    EXPECT_TRUE(result.errors.isEmpty());

    for (const Screenshot& gone : {first, second}) {
        EXPECT_FALSE(QFile::exists(gone.filePath));
        EXPECT_TRUE(QFile::exists(trashFolder() + u"/files/"_s + gone.filename));
        EXPECT_TRUE(QFile::exists(trashFolder() + u"/info/"_s + gone.filename + u".trashinfo"_s));
        EXPECT_FALSE(hasRow(gone));
    }
    EXPECT_TRUE(hasRow(kept));
    EXPECT_EQ(model.screenshots(), QList<Screenshot>{kept});
    EXPECT_EQ(model.visibleScreenshots(), QList<Screenshot>{kept}) << "no trashed file left in the sections";
    EXPECT_TRUE(model.selectedIds().isEmpty());
    EXPECT_TRUE(model.isSelectionMode()); // the screen leaves it itself

    EXPECT_TRUE(m_console.contains(u"🗑️ DELETE: Starting deletion of 2 file(s)"_s));
    EXPECT_TRUE(m_console.contains(u"🗑️ DELETE [1/2]: Processing first.png"_s));
    EXPECT_TRUE(m_console.contains(u"   → Trash location: "_s + trashFolder() + u"/files/first.png"_s));
    EXPECT_TRUE(m_console.contains(u"   → Screenshots: 3 → 1 (removed 2)"_s));
    EXPECT_TRUE(m_console.contains(u"   → Successfully deleted: 2"_s));
    EXPECT_EQ(m_console.lines().last(), u"🎉 DELETE: All files moved to Trash successfully!"_s);
}

TEST_F(GalleryDeletionTest, AFileTheTrashRefusesStaysOnDiskInTheStoreAndInTheList)
{
    const Screenshot moved = addFile(u"moved.png"_s);
    const Screenshot refused = addFile(u"refused.png"_s);
    m_trash.refused = {refused.filePath};
    GalleryViewModel model(services());
    showLibrary(model);

    const auto result = deleteSelection(model, {moved, refused});
    EXPECT_EQ(result.deleted, 1);
    EXPECT_EQ(result.failed, 1);
    ASSERT_EQ(result.errors.size(), 1);
    EXPECT_EQ(result.errors.first().filename, u"refused.png"_s);
    EXPECT_EQ(result.errors.first().error, u"Permission denied"_s);

    EXPECT_TRUE(QFile::exists(refused.filePath));
    EXPECT_TRUE(hasRow(refused));
    EXPECT_EQ(model.screenshots(), QList<Screenshot>{refused});
    EXPECT_TRUE(model.selectedIds().isEmpty());
    EXPECT_TRUE(m_console.contains(u"❌ DELETE: Failed to delete refused.png"_s));
    EXPECT_TRUE(m_console.contains(u"   1. refused.png: Permission denied"_s));
    EXPECT_EQ(m_console.lines().last(), u"⚠️ DELETE: Partial success - 1 deleted, 1 failed"_s);

    // When nothing can be moved, nothing leaves the list.
    const auto none = deleteSelection(model, {refused});
    EXPECT_EQ(none.deleted, 0);
    EXPECT_EQ(none.failed, 1);
    EXPECT_EQ(model.screenshots(), QList<Screenshot>{refused});
    EXPECT_EQ(m_console.lines().last(),
              u"💥 DELETE: All deletions failed - check file permissions and security settings"_s);
}

TEST_F(GalleryDeletionTest, AMissingFileOnlyLosesItsRow)
{
    const Screenshot missing = addFile(u"missing.png"_s, false);
    GalleryViewModel model(services());
    showLibrary(model);

    const auto result = deleteSelection(model, {missing});
    EXPECT_EQ(result.deleted, 1);
    EXPECT_EQ(result.failed, 0);
    EXPECT_FALSE(hasRow(missing));
    EXPECT_TRUE(model.screenshots().isEmpty());
    EXPECT_FALSE(QFile::exists(trashFolder() + u"/files/missing.png"_s));
    EXPECT_TRUE(m_console.contains(u"   → File exists: false"_s));
    EXPECT_TRUE(m_console.contains(u"⚠️ DELETE: File does not exist, skipping deletion but will remove from DB"_s));
}

TEST_F(GalleryDeletionTest, AFolderNamedLikeAnImageIsRefused)
{
    const Screenshot folder = addFile(u"x.png"_s, false);
    QDir().mkpath(folder.filePath);
    QFile inside(folder.filePath + u"/keep.txt"_s);
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.close();
    GalleryViewModel model(services());
    showLibrary(model);

    const auto result = deleteSelection(model, {folder});
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(result.errors.size(), 1);
    EXPECT_TRUE(QFile::exists(folder.filePath + u"/keep.txt"_s));
    EXPECT_TRUE(hasRow(folder));
    EXPECT_EQ(model.screenshots(), QList<Screenshot>{folder});
}

TEST_F(GalleryDeletionTest, NothingOrUnknownSelectedChangesNothing)
{
    const Screenshot file = addFile(u"file.png"_s);
    GalleryViewModel model(services());
    showLibrary(model);

    const auto empty = deleteSelection(model, {});
    EXPECT_EQ(empty.deleted + empty.failed, 0);
    EXPECT_EQ(m_console.lines(), QStringList{u"⚠️ DELETE: No files selected"_s});

    const Screenshot stranger = shot(u"stranger.png"_s, at(3, 15));
    const auto unknown = deleteSelection(model, {stranger});
    EXPECT_EQ(unknown.failed, 1);
    EXPECT_TRUE(unknown.errors.isEmpty());
    EXPECT_TRUE(m_console.contains(u"⚠️ DELETE: Screenshot with ID "_s + uuidText(stranger.id) +
                                   u" not found in screenshots array"_s));
    EXPECT_TRUE(QFile::exists(file.filePath));
    EXPECT_EQ(model.screenshots(), QList<Screenshot>{file});
}

TEST_F(GalleryDeletionTest, WithoutTheMonitorsAccessTheBookmarkIsUsedForTheDeletion)
{
    const Screenshot file = addFile(u"file.png"_s);
    GalleryViewModel model(services());
    showLibrary(model);
    ASSERT_TRUE(m_source.grantedFolder().isEmpty());

    m_settings.setValue(FolderAccessController::folderBookmarkKey, FolderAccess::createBookmark(m_folder).value());
    deleteSelection(model, {file});
    EXPECT_TRUE(m_console.contains(u"⚠️ DELETE: No security-scoped URL available, attempting to use bookmark"_s));
    EXPECT_TRUE(m_console.contains(u"✅ DELETE: Started accessing security-scoped resource: "_s + m_folder));
    const QStringList lines = m_console.lines();
    const auto stopped = lines.indexOf(u"🔒 DELETE: Stopped accessing security-scoped resource"_s);
    EXPECT_GT(stopped, lines.indexOf(u"   → Database cleanup complete"_s));
    EXPECT_LT(stopped, lines.indexOf(u"🔄 DELETE: Updating local screenshot array..."_s));

    // A bookmark of a folder that is gone: the deletion goes on without.
    const Screenshot other = addFile(u"other.png"_s);
    showLibrary(model);
    m_settings.setValue(FolderAccessController::folderBookmarkKey, QByteArray("/nowhere/at/all"));
    const auto result = deleteSelection(model, {other});
    EXPECT_TRUE(m_console.contains(u"❌ DELETE: Failed to resolve bookmark: "_s));
    EXPECT_FALSE(m_console.contains(u"🔒 DELETE"_s));
    EXPECT_EQ(result.deleted, 1);
}

TEST_F(GalleryDeletionTest, ADeletionAskedWhileAnotherRunsFollowsItAndKeepsANewSelection)
{
    const Screenshot first = addFile(u"first.png"_s);
    const Screenshot second = addFile(u"second.png"_s);
    const Screenshot chosenMeanwhile = addFile(u"meanwhile.png"_s);
    GalleryViewModel model(services());
    showLibrary(model);
    QSemaphore gate;
    m_trash.gate = &gate;

    std::optional<GalleryViewModel::DeletionResult> firstResult, secondResult;
    model.setSelectedIds({first.id});
    model.deleteSelected([&](const GalleryViewModel::DeletionResult& r) { firstResult = r; });
    ASSERT_TRUE(model.isDeleting());
    // Asked again for the file on its way and one more: only the new one follows.
    model.setSelectedIds({first.id, second.id});
    model.deleteSelected([&](const GalleryViewModel::DeletionResult& r) {
        EXPECT_TRUE(firstResult.has_value()) << "the second ran before the first was done";
        secondResult = r;
    });
    EXPECT_FALSE(secondResult.has_value()) << "answered before it ran";
    EXPECT_TRUE(m_console.contains(u"⏳ DELETE: Another deletion is running; 1 more file(s) will follow it"_s));
    model.setSelectedIds({chosenMeanwhile.id});

    gate.release(2);
    ASSERT_TRUE(waitUntil([&] { return secondResult.has_value(); }));
    EXPECT_EQ(firstResult->deleted, 1);
    EXPECT_EQ(secondResult->deleted, 1);
    EXPECT_EQ(secondResult->failed, 0) << "the file the first one took counted again";
    EXPECT_FALSE(QFile::exists(first.filePath));
    EXPECT_FALSE(QFile::exists(second.filePath));
    EXPECT_TRUE(QFile::exists(chosenMeanwhile.filePath));
    EXPECT_EQ(model.screenshots(), QList<Screenshot>{chosenMeanwhile});
    EXPECT_EQ(model.selectedIds(), QSet<QUuid>{chosenMeanwhile.id}) << "a selection made meanwhile was dropped";
    EXPECT_FALSE(model.isDeleting());

    // Asking only for what is on its way answers, after it, with nothing done.
    std::optional<GalleryViewModel::DeletionResult> again;
    model.setSelectedIds({chosenMeanwhile.id});
    model.deleteSelected();
    model.deleteSelected([&](const GalleryViewModel::DeletionResult& r) { again = r; });
    EXPECT_FALSE(again.has_value());
    gate.release();
    ASSERT_TRUE(waitUntil([&] { return again.has_value(); }));
    EXPECT_EQ(again->deleted + again->failed, 0);
    EXPECT_TRUE(model.screenshots().isEmpty());
}
