// The tools and the gallery's deletion change the same folder: a deletion
// asked for while a tool runs, or a second tool started while the first runs,
// waits until the earlier job has ended, and whatever the later one finds
// changed it leaves alone. Afterwards every picture is there exactly once
// (in the folder or the Trash), one row per file, each with its tags and
// notes.

#include "core/ImageLoader.h"
#include "core/LogTimer.h"
#include "core/ToolJobs.h"
#include "duplicates/DuplicateFinderViewModel.h"
#include "library/GallerySearch.h"
#include "library/GalleryViewModel.h"
#include "organize/OrganizeService.h"
#include "organize/ReOrganizerViewModel.h"
#include "platform/SpellChecker.h"
#include "spacesaver/CompressionService.h"
#include "support/ScratchTrash.h"
#include "support/StartedLibrary.h"
#include "support/SteppingFileOps.h"
#include "support/Wait.h"

#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <random>

using namespace Qt::StringLiterals;

namespace {
const QSize pictureSize(160, 120);
// However loaded the machine, the jobs end well within this.
constexpr int generousMs = 60'000;

struct Picture
{
    QByteArray bytes;
    QStringList tags;
    QString note;
};

class ToolsTogether : public ::testing::Test
{
protected:
    ToolsTogether()
        : m_app(m_dir.filePath(u"settings.conf"_s), m_dir.filePath(u"data/Brindlework.sqlite"_s))
        , m_folder(m_dir.filePath(u"Shots"_s))
        , m_trash(m_trashOps, m_dir.filePath(u"Trash"_s))
        , m_organizer(m_app.store, m_app.monitor, m_fileOps, m_dir.filePath(u"data"_s))
        , m_compression(m_app.store, m_fileOps)
    {
        QDir().mkpath(m_folder);
        watch(m_fileOps, u"tool"_s);
        watch(m_trashOps, u"trash"_s);
    }
    ~ToolsTogether() override
    {
        m_gate.release(100);
        ToolJobs::waitForAll();
    }

    // Noise (a rendition is always smaller), with its row, tag and note.
    void addPicture(const QString& relative, int daysAgo, const QString& copyOf = {})
    {
        const QString path = m_folder + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        if (copyOf.isEmpty()) {
            QImage image(pictureSize, QImage::Format_RGB32);
            std::mt19937 random(uint(m_pictures.size() + 1));
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, qRgb(int(random() % 256), int(random() % 256), int(random() % 256)));
            ASSERT_TRUE(image.save(path, "PNG"));
        } else {
            ASSERT_TRUE(QFile::copy(m_folder + u'/' + copyOf, path));
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString stem = QFileInfo(path).completeBaseName();
        const Picture picture{file.readAll(), {u"tag of "_s + stem}, u"note on "_s + stem};
        Screenshot row(path, QUuid::createUuid());
        row.dateCreated = QDateTime::currentDateTimeUtc().addDays(-daysAgo);
        ASSERT_TRUE(m_app.store.upsert(row));
        ASSERT_TRUE(m_app.store.saveUserData(row.id, picture.tags, picture.note));
        m_pictures.insert(stem, picture);
    }

    void startMonitoring()
    {
        auto chooser = std::make_unique<FakeFolderChooser>();
        chooser->answer = m_folder;
        m_app.monitor.setFolderChooser(std::move(chooser));
        m_app.monitor.requestFolderAccess();
        ASSERT_TRUE(waitUntil(
            [&] { return m_app.monitor.isPolling() && m_app.monitor.screenshots().size() == m_pictures.size(); },
            generousMs));
        m_gallery = std::make_unique<GalleryViewModel>(GalleryViewModel::Services{
            m_app.monitor, m_app.store, m_trash, m_app.settings, m_app.parts.workers,
            std::make_shared<GallerySearch>(std::make_shared<NullSpellChecker>(), GallerySearch::EmbeddingProvider(),
                                            m_app.parts.workers.search().threads())});
        ASSERT_TRUE(waitUntil([&] { return m_gallery->screenshots().size() == m_pictures.size(); }, generousMs));
    }

    // Every move of `fileOps` is logged; the `m_holdAt`th of the kind
    // `m_holdLabel` holds its thread (the tools' worker) until released.
    void watch(SteppingFileOps& fileOps, const QString& label)
    {
        fileOps.watcher = [this, label](SteppingFileOps::Step step, int number, const QString& path) {
            if (step != SteppingFileOps::Step::moved)
                return;
            {
                const std::lock_guard lock(m_logMutex);
                m_log.append(label + u' ' + QFileInfo(path).fileName());
            }
            if (label == m_holdLabel && number == m_holdAt) {
                m_held = true;
                m_gate.acquire();
            }
        };
    }
    void holdAt(const QString& label, int nth)
    {
        m_holdLabel = label;
        m_holdAt = nth;
    }
    bool waitUntilHeld()
    {
        return waitUntil([&] { return m_held.load(); }, generousMs);
    }

    // Pictures "a.png" to "e.png", monitored.
    void startWithFivePictures()
    {
        for (const QString& name : {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s})
            addPicture(name + u".png"_s, 1);
        startMonitoring();
    }

    // Starts a space saver run over the pictures named before `end`; its
    // result arrives later.
    std::shared_ptr<std::optional<CompressionService::CompressionResult>> startCompression(const QString& end)
    {
        QList<Screenshot> chosen = m_app.monitor.screenshots();
        chosen.removeIf([&end](const Screenshot& screenshot) { return screenshot.filename >= end; });
        const CompressionService::CompressionOptions options{0.5, 2};
        const auto plan = m_compression.analyzeForCompression(chosen, options);
        EXPECT_EQ(plan.files.size(), chosen.size());
        auto result = std::make_shared<std::optional<CompressionService::CompressionResult>>();
        m_compression.compressInBackground(
            m_app.monitor, plan.files, options, [](int, int) {},
            [result](const CompressionService::CompressionResult& done) { *result = done; });
        return result;
    }

    // Asks the gallery to delete the listed files of those names, as a
    // selection; the result arrives later.
    std::shared_ptr<std::optional<GalleryViewModel::DeletionResult>> galleryDeletes(const QStringList& names)
    {
        QSet<QUuid> ids;
        for (const Screenshot& screenshot : m_gallery->screenshots())
            if (names.contains(screenshot.filename))
                ids.insert(screenshot.id);
        EXPECT_EQ(ids.size(), names.size());
        auto result = std::make_shared<std::optional<GalleryViewModel::DeletionResult>>();
        m_gallery->setSelectedIds(ids);
        m_gallery->deleteSelected([result](const GalleryViewModel::DeletionResult& done) { *result = done; });
        return result;
    }

    QStringList log()
    {
        const std::lock_guard lock(m_logMutex);
        return m_log;
    }

    static QStringList filesBelow(const QString& folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next());
        return files;
    }

    // Every picture exactly once, as itself or its rendition, in the folder
    // or the Trash; one row for each file in the folder and none for any
    // other, holding the picture's tags and note first, and those of copies
    // the duplicate finder trashed for it after them, none twice.
    void expectEveryPictureOnce()
    {
        QHash<QString, int> seen;
        const QStringList inFolder = filesBelow(m_folder);
        for (const QString& path : inFolder + filesBelow(m_trash.folder())) {
            const QFileInfo info(path);
            const QString stem = info.completeBaseName();
            ASSERT_TRUE(m_pictures.contains(stem)) << path.toStdString();
            ++seen[stem];
            if (info.suffix() == u"heic"_s) {
                EXPECT_EQ(ImageLoader::load(path).size(), pictureSize) << path.toStdString();
            } else {
                QFile file(path);
                ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                EXPECT_EQ(file.readAll(), m_pictures[stem].bytes) << path.toStdString();
            }
        }
        for (auto it = m_pictures.cbegin(); it != m_pictures.cend(); ++it)
            EXPECT_EQ(seen.value(it.key()), 1) << it.key().toStdString();

        LogTimer timer(u"test"_s);
        const QList<Screenshot> rows = m_app.store.fetchPage(std::nullopt, 1000, 0, true, timer);
        EXPECT_EQ(rows.size(), inFolder.size());
        QStringList tags;
        QString notes;
        for (const Screenshot& row : rows) {
            EXPECT_TRUE(inFolder.contains(row.filePath)) << row.filePath.toStdString();
            const Picture& picture = m_pictures[QFileInfo(row.filePath).completeBaseName()];
            EXPECT_EQ(row.customTags.mid(0, picture.tags.size()), picture.tags) << row.filePath.toStdString();
            EXPECT_TRUE(row.userNotes.value_or(QString()).startsWith(picture.note)) << row.filePath.toStdString();
            tags += row.customTags;
            notes += row.userNotes.value_or(QString()) + u'\n';
        }
        for (auto it = m_pictures.cbegin(); it != m_pictures.cend(); ++it) {
            for (const QString& tag : it->tags)
                EXPECT_LE(tags.count(tag), 1) << tag.toStdString();
            EXPECT_LE(notes.count(it->note + u'\n'), 1) << it->note.toStdString();
        }
    }

    // The gallery's moves to the Trash come after every move of the tool
    // (a log line is "tool <name>" or "trash <name>").
    void expectTrashAfterTool()
    {
        const QStringList steps = log();
        const qsizetype lastTool = steps.lastIndexOf(QRegularExpression(u"tool .*"_s));
        const qsizetype firstTrash = steps.indexOf(QRegularExpression(u"trash .*"_s));
        ASSERT_GE(lastTool, 0);
        ASSERT_GE(firstTrash, 0);
        EXPECT_LT(lastTool, firstTrash) << steps.join(u", "_s).toStdString();
    }

    bool isInTrash(const QString& name)
    {
        const QStringList trashed = filesBelow(m_trash.folder());
        return std::any_of(trashed.cbegin(), trashed.cend(),
                           [&](const QString& path) { return QFileInfo(path).fileName() == name; });
    }

    QTemporaryDir m_dir;
    StartedLibrary m_app;
    QString m_folder;
    SteppingFileOps m_fileOps;
    SteppingFileOps m_trashOps;
    ScratchTrash m_trash;
    OrganizeService m_organizer;
    CompressionService m_compression;
    std::unique_ptr<GalleryViewModel> m_gallery;
    QHash<QString, Picture> m_pictures; // by name without extension

    std::mutex m_logMutex;
    QStringList m_log;
    QString m_holdLabel;
    int m_holdAt = 0;
    std::atomic<bool> m_held{false};
    QSemaphore m_gate;
};
} // namespace

// The organizer moves the folder's files; the gallery deletes one of them
// and one in a sub-folder the run leaves alone.
TEST_F(ToolsTogether, AGalleryDeletionDuringAnOrganizerRunWaitsForIt)
{
    addPicture(u"Kept/g.png"_s, 1);
    startWithFivePictures();
    ReOrganizerViewModel organizer(m_organizer, m_app.monitor);
    ASSERT_TRUE(organizer.analyze());
    ASSERT_TRUE(waitUntil([&] { return !organizer.isBusy() && organizer.plan(); }, generousMs));
    ASSERT_EQ(organizer.plan()->filesToMove.size(), 5);

    holdAt(u"tool"_s, 3);
    ASSERT_TRUE(organizer.organize());
    ASSERT_TRUE(waitUntilHeld());
    const auto deletion = galleryDeletes({u"a.png"_s, u"g.png"_s});
    EXPECT_TRUE(QFileInfo::exists(m_folder + u"/Kept/g.png"_s));
    m_gate.release();
    ASSERT_TRUE(waitUntil([&] { return !organizer.isBusy() && deletion->has_value(); }, generousMs));

    expectTrashAfterTool();
    // The moved file is not deleted from under its new place; the other goes.
    EXPECT_EQ((*deletion)->deleted, 1);
    EXPECT_EQ((*deletion)->failed, 1);
    EXPECT_TRUE(isInTrash(u"g.png"_s));
    EXPECT_TRUE(QFileInfo::exists(m_folder + u'/' + OrganizeService::targetFolderName + u"/a.png"_s));
    expectEveryPictureOnce();

    // The run stays undoable.
    ASSERT_EQ(organizer.history().operations.size(), 1);
    ASSERT_TRUE(organizer.undo(organizer.history().operations.first().id));
    ASSERT_TRUE(waitUntil([&] { return !organizer.isBusy(); }, generousMs));
    EXPECT_TRUE(QFileInfo::exists(m_folder + u"/a.png"_s));
    expectEveryPictureOnce();
}

// The space saver replaces three images; the gallery deletes one of them and
// one the run does not touch.
TEST_F(ToolsTogether, AGalleryDeletionDuringACompressionRunWaitsForIt)
{
    startWithFivePictures();
    holdAt(u"tool"_s, 2);
    const auto result = startCompression(u"d"_s);
    ASSERT_TRUE(waitUntilHeld());
    const auto deletion = galleryDeletes({u"c.png"_s, u"e.png"_s});
    m_gate.release();
    ASSERT_TRUE(waitUntil([&] { return result->has_value() && deletion->has_value(); }, generousMs));

    expectTrashAfterTool();
    EXPECT_TRUE((*result)->success);
    EXPECT_EQ((*result)->compressedFiles.size(), 3);
    // The replaced image is not deleted through its old name; the other goes.
    EXPECT_EQ((*deletion)->deleted, 1);
    EXPECT_TRUE(isInTrash(u"e.png"_s));
    EXPECT_TRUE(QFileInfo::exists(m_folder + u"/c.heic"_s));
    expectEveryPictureOnce();
}

// The duplicate finder sends the older copies to the Trash; the gallery
// deletes one of those copies and a picture of its own.
TEST_F(ToolsTogether, AGalleryDeletionDuringADuplicateDeletionWaitsForIt)
{
    addPicture(u"x1.png"_s, 3);
    addPicture(u"x2.png"_s, 2, u"x1.png"_s);
    addPicture(u"x3.png"_s, 1, u"x1.png"_s);
    addPicture(u"y.png"_s, 1);
    startMonitoring();
    DuplicateFinderViewModel duplicates(m_app.monitor, m_app.store, m_trash, m_app.parts.workers.duplicateReads());
    bool analysed = false;
    int deletions = 0;
    QObject::connect(&duplicates, &DuplicateFinderViewModel::resultChanged, [&] { analysed = true; });
    QObject::connect(&duplicates, &DuplicateFinderViewModel::deletionFinished, [&](int) { ++deletions; });
    duplicates.analyze();
    ASSERT_TRUE(waitUntil([&] { return analysed && !duplicates.isAnalyzing(); }, generousMs));
    ASSERT_EQ(duplicates.result()->groups.size(), 1);

    holdAt(u"trash"_s, 1);
    duplicates.autoDeleteKeepingNewest();
    ASSERT_TRUE(waitUntilHeld());
    const auto deletion = galleryDeletes({u"x1.png"_s, u"y.png"_s});
    m_gate.release();
    ASSERT_TRUE(waitUntil([&] { return deletions == 1 && deletion->has_value(); }, generousMs));

    // The finder's two copies first, then the gallery's one picture.
    const QStringList trashed = log();
    ASSERT_EQ(trashed.size(), 3);
    EXPECT_EQ(trashed.last(), u"trash y.png"_s);
    EXPECT_EQ(duplicates.lastDeletion()->deleted, 2);
    EXPECT_EQ((*deletion)->deleted, 1);
    EXPECT_TRUE(QFileInfo::exists(m_folder + u"/x3.png"_s));
    expectEveryPictureOnce();
}

// A run of the organizer asked for while a compression run is under way
// starts once it has ended, from a plan made before: the images replaced
// meanwhile are left where they are, the rest move, and the run undoes.
TEST_F(ToolsTogether, AnOrganizerRunAskedForDuringACompressionRunWaitsForIt)
{
    startWithFivePictures();
    ReOrganizerViewModel organizer(m_organizer, m_app.monitor);
    ASSERT_TRUE(organizer.analyze());
    ASSERT_TRUE(waitUntil([&] { return !organizer.isBusy() && organizer.plan(); }, generousMs));
    holdAt(u"tool"_s, 1);
    const auto result = startCompression(u"c"_s);
    ASSERT_TRUE(waitUntilHeld());
    ASSERT_TRUE(organizer.organize());
    m_gate.release();
    ASSERT_TRUE(waitUntil([&] { return result->has_value() && !organizer.isBusy(); }, generousMs));

    // Every rendition placed before the first move into the organizer's folder.
    const QStringList steps = log();
    const qsizetype lastRendition = steps.lastIndexOf(QRegularExpression(u"tool .*\\.heic"_s));
    const qsizetype firstMove = steps.indexOf(QRegularExpression(u"tool [a-e]\\.png"_s));
    ASSERT_GE(lastRendition, 0);
    EXPECT_LT(lastRendition, firstMove) << steps.join(u", "_s).toStdString();
    EXPECT_EQ((*result)->compressedFiles.size(), 2);
    EXPECT_FALSE(organizer.runProblem().isEmpty());
    for (const QString& name : {u"c"_s, u"d"_s, u"e"_s})
        EXPECT_TRUE(QFileInfo::exists(m_folder + u'/' + OrganizeService::targetFolderName + u'/' + name + u".png"_s));
    for (const QString& name : {u"a"_s, u"b"_s})
        EXPECT_TRUE(QFileInfo::exists(m_folder + u'/' + name + u".heic"_s));
    expectEveryPictureOnce();

    ASSERT_EQ(organizer.history().operations.size(), 1);
    ASSERT_TRUE(organizer.undo(organizer.history().operations.first().id));
    ASSERT_TRUE(waitUntil([&] { return !organizer.isBusy(); }, generousMs));
    EXPECT_TRUE(QFileInfo::exists(m_folder + u"/e.png"_s));
    expectEveryPictureOnce();
}
