#include "CompressionFixture.h"
#include "core/MediaFixtures.h"

#include <utime.h>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {
using Step = FaultyFileOps::Step;

// A date well before the run, so that kept times cannot be the run's own.
const QDateTime kTaken = QDateTime(QDate(2021, 3, 4), QTime(10, 30, 15), Qt::UTC);
const QDateTime kOpened = QDateTime(QDate(2022, 5, 6), QTime(8, 0, 0), Qt::UTC);

void setTimes(const QString& file, const QDateTime& accessed, const QDateTime& modified)
{
    const utimbuf times{accessed.toSecsSinceEpoch(), modified.toSecsSinceEpoch()};
    ASSERT_EQ(utime(QFile::encodeName(file).constData(), &times), 0);
}

bool isTemporary(const QString& name)
{
    return name.endsWith(u".temp.heic"_s);
}
} // namespace

class CompressionRunTest : public CompressionFixture
{
public:
    // Five images that HEIC shrinks, each of its own width so that an
    // encoder can tell them apart.
    void addFive()
    {
        for (int i = 0; i < 5; ++i)
            addImage(u"shot %1.png"_s.arg(i + 1), images::photo(QSize(200 + 10 * i, 150)));
    }

    // The folder and the store as the run found them.
    void expectUntouched(const QMap<QString, QByteArray>& before)
    {
        EXPECT_EQ(snapshot(), before);
        for (const Screenshot& screenshot : std::as_const(m_screenshots))
            EXPECT_TRUE(rowPointsAt(screenshot, screenshot.filePath)) << screenshot.filePath.toStdString();
    }
};

// A folder and store of their own for each row of a table.
struct FreshRun : CompressionRunTest
{
    void TestBody() override {}
};

TEST_F(CompressionRunTest, EveryImageIsReplacedByItsCheckedRendition)
{
    addImage(u"interface.png"_s, images::photo(QSize(480, 270)));
    addImage(u"camera.jpg"_s, images::texted(QSize(403, 302)), "JPG", 98);
    const QString rotated = path(u"rotated.jpg"_s);
    ASSERT_TRUE(fixtures::writeBytes(rotated, fixtures::jpegWithOrientation(images::texted(QSize(320, 160)), 6)));
    addRow(rotated);
    addImage(u"window.png"_s, images::halfTransparent(images::photo(QSize(400, 300))));
    addImage(u"deep.png"_s, images::photo(QSize(300, 200)).convertToFormat(QImage::Format_RGBX64));
    const QList<QSize> upright{{480, 270}, {403, 302}, {160, 320}, {400, 300}, {300, 200}};
    const QList<bool> transparent{false, false, false, true, false};
    // Planning reads the images' headers, which moves their access times:
    // the times are set after it.
    const auto plan = this->plan(0.9);
    QList<QDateTime> created;
    for (const Screenshot& screenshot : std::as_const(m_screenshots)) {
        setTimes(screenshot.filePath, kOpened, kTaken);
        created.append(fileCreationDate(screenshot.filePath));
    }

    ConsoleCapture console;
    const auto result = run(plan);

    ASSERT_TRUE(result.success) << console.lines().join(u'\n').toStdString();
    ASSERT_EQ(result.compressedFiles.size(), 5) << console.lines().join(u'\n').toStdString();
    qint64 savings = 0;
    for (qsizetype i = 0; i < m_screenshots.size(); ++i) {
        const Screenshot& screenshot = m_screenshots[i];
        SCOPED_TRACE(screenshot.filename.toStdString());
        const QString heic = CompressionService::renditionPath(screenshot.filePath, u"heic"_s);
        EXPECT_FALSE(QFileInfo::exists(screenshot.filePath));
        // Times first: reading the rendition moves its access time.
        EXPECT_EQ(QFileInfo(heic).lastModified(), kTaken);
        EXPECT_EQ(QFileInfo(heic).lastRead(), kOpened);
        EXPECT_EQ(fileCreationDate(heic), created[i]); // the gallery keeps its order
        const QImage decoded = ImageLoader::load(heic);
        EXPECT_EQ(decoded.size(), upright[i]);
        // The right half of the window is see-through; nothing else is.
        EXPECT_EQ(images::alphaAt(decoded, decoded.width() - 1, decoded.height() / 2), transparent[i]);
        EXPECT_FALSE(images::alphaAt(decoded, 0, decoded.height() / 2));
        EXPECT_TRUE(rowPointsAt(screenshot, heic));
        EXPECT_EQ(m_store.fetchByPath(heic)->fileSize, QFileInfo(heic).size()); // the statistics follow
        const auto& file = result.compressedFiles[i];
        EXPECT_EQ(file.originalPath, screenshot.filePath);
        EXPECT_EQ(file.compressedSize, QFileInfo(heic).size());
        EXPECT_EQ(file.savings, file.originalSize - file.compressedSize);
        EXPECT_GE(file.savings, 1);
        savings += file.savings;
    }
    EXPECT_EQ(result.totalSavings, savings);
    EXPECT_TRUE(result.failedFiles.isEmpty());
    const QStringList left = entries();
    EXPECT_FALSE(std::any_of(left.begin(), left.end(), isTemporary));
    EXPECT_EQ(m_progress, (QList<std::pair<int, int>>{{1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));
    EXPECT_TRUE(console.contains(u"   → Compressed: 5"_s));
    EXPECT_EQ(console.matching(u"   ✅ ["_s).size(), 5);
}

TEST_F(CompressionRunTest, RenditionsNoSmallerThanTheImageAreSkipped)
{
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(Qt::darkCyan);
    addImage(u"flat.png"_s, flat); // a few hundred bytes; any HEIC is larger
    addImage(u"flat2.png"_s, flat);
    const auto before = snapshot();

    ConsoleCapture console;
    const auto result = run();

    EXPECT_TRUE(result.success);
    EXPECT_TRUE(result.compressedFiles.isEmpty());
    EXPECT_EQ(result.totalSavings, 0);
    expectUntouched(before);
    EXPECT_EQ(m_progress, (QList<std::pair<int, int>>{{1, 2}, {2, 2}}));
    // Said in the result too, with the file as it was read, so that a later
    // plan can tell whether it is still the same file.
    ASSERT_EQ(result.skippedFiles.size(), 2);
    for (qsizetype i = 0; i < 2; ++i) {
        const auto& skipped = result.skippedFiles[i];
        EXPECT_EQ(skipped.originalPath, m_screenshots[i].filePath);
        EXPECT_EQ(skipped.reason, CompressionService::CompressionResult::SkipReason::notSmaller);
        EXPECT_EQ(std::optional(skipped.source), SafeFile::stampOf(m_screenshots[i].filePath));
    }
    EXPECT_EQ(console.matching(u"Compression not beneficial (would be "_s).size(), 2);
    EXPECT_TRUE(console.contains(u"   ⚠️ [1/2] Skipped: flat.png - Compression not beneficial (would be "_s));
}

// However many workers there are, the images encoded at once fit the memory
// set aside for encoding; one larger than all of it is encoded alone.
TEST_F(CompressionRunTest, ImagesAreEncodedAtOnceOnlyAsFarAsTheirMemoryAllows)
{
    const qint64 oneImage = 240 * 150 * CompressionService::encodingBytesPerPixel; // the largest of the five
    for (const auto& [memory, most] : {std::pair{2 * oneImage, 2}, std::pair{oneImage / 2, 1}}) {
        SCOPED_TRACE(most);
        FreshRun fixture;
        fixture.addFive();
        fixture.m_service.setEncodingMemory(memory);
        std::mutex counting;
        int atOnce = 0, mostAtOnce = 0;
        fixture.m_service.setEncoder([&, real = fixture.m_service.encoder()](const QImage& image, int quality) {
            {
                const std::lock_guard lock(counting);
                mostAtOnce = std::max(mostAtOnce, ++atOnce);
            }
            QThread::msleep(30); // long enough for the other workers to start theirs
            auto encoded = real(image, quality);
            const std::lock_guard lock(counting);
            --atOnce;
            return encoded;
        });

        const auto result = fixture.run(4);

        EXPECT_TRUE(result.success);
        EXPECT_EQ(result.compressedFiles.size(), 5);
        EXPECT_GE(mostAtOnce, 1);
        EXPECT_LE(mostAtOnce, most);
    }
}

// Each way the third of five entries can fail; the run must leave the folder
// and the store exactly as it found them, whatever the third had done already.
TEST_F(CompressionRunTest, AFailureAtTheThirdOfFiveUndoesTheWholeRun)
{
    struct Case
    {
        const char* name;
        std::function<void(CompressionFixture&)> arrange;
        QString description;
    };
    const int thirdWidth = 220;
    const Case cases[] = {
        {"encoder error",
         [&](CompressionFixture& f) {
             f.m_service.setEncoder([&, real = f.m_service.encoder()](const QImage& image, int quality) {
                 return image.width() == thirdWidth ? HeicWriter::Encoded{{}, u"gave up"_s, false}
                                                    : real(image, quality);
             });
         },
         u"Compression failed"_s},
        {"result that does not decode",
         [&](CompressionFixture& f) {
             f.m_service.setEncoder([&, real = f.m_service.encoder()](const QImage& image, int quality) {
                 return image.width() == thirdWidth ? HeicWriter::Encoded{QByteArray(900, '\x07'), {}, false}
                                                    : real(image, quality);
             });
         },
         u"Invalid compression result"_s},
        {"image gone", [](CompressionFixture& f) { QFile::remove(f.path(u"shot 3.png"_s)); },
         u"Failed to load image"_s},
        {"write", [](CompressionFixture& f) { f.m_fileOps.failNth(Step::Write, 3); }, u"Injected failure: "_s},
        {"move", [](CompressionFixture& f) { f.m_fileOps.failNth(Step::Move, 3); }, u"Injected failure: "_s},
        // The third rendition is in place when these fail: it must go too.
        {"set times", [](CompressionFixture& f) { f.m_fileOps.failNth(Step::SetTimes, 3); }, u"Injected failure: "_s},
        {"store update", [](CompressionFixture& f) { f.m_store.deleteScreenshot(f.m_screenshots[2].id); },
         u"Failed to update the library entry"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshRun fixture;
        fixture.addFive();
        c.arrange(fixture);
        const auto before = fixture.snapshot();
        ConsoleCapture console;

        const auto result = fixture.run();

        EXPECT_FALSE(result.success);
        EXPECT_TRUE(result.compressedFiles.isEmpty());
        EXPECT_EQ(result.totalSavings, 0);
        ASSERT_EQ(result.failedFiles.size(), 1);
        EXPECT_EQ(result.failedFiles[0].operation.originalPath, fixture.path(u"shot 3.png"_s));
        EXPECT_EQ(fixture.snapshot(), before);
        // (The store-update case took the third row away to make its update fail.)
        const bool thirdRowGone = QString(c.name) == u"store update"_s;
        for (qsizetype i = 0; i < fixture.m_screenshots.size(); ++i) {
            const Screenshot& screenshot = fixture.m_screenshots[i];
            if (i == 2 && thirdRowGone)
                continue;
            EXPECT_TRUE(fixture.rowPointsAt(screenshot, screenshot.filePath)) << screenshot.filename.toStdString();
            EXPECT_EQ(fixture.m_store.fetchByPath(screenshot.filePath)->fileSize, screenshot.fileSize);
        }
        EXPECT_EQ(fixture.m_progress, (QList<std::pair<int, int>>{{1, 5}, {2, 5}}));
        const QStringList failed =
            console.matching(u"   ❌ [3/5] Failed: "_s + fixture.path(u"shot 3.png"_s) + u" - "_s);
        ASSERT_EQ(failed.size(), 1) << console.lines().join(u'\n').toStdString();
        EXPECT_TRUE(failed[0].contains(c.description)) << failed[0].toStdString();
        EXPECT_TRUE(console.contains(u"🔄 COMPRESS: Rolling back all changes due to failure..."_s));
        EXPECT_TRUE(console.contains(u"   ✅ Rollback complete - all files restored"_s));
    }
}

TEST_F(CompressionRunTest, TakenNamesSkipTheirEntryAndLoseNothing)
{
    struct Case
    {
        const char* name;
        QStringList images;    // in plan order
        QStringList userFiles; // already in the folder, not in the plan
        QStringList replaced;  // images expected to become HEIC
    };
    const Case cases[] = {
        {"image, then one named like its temporary",
         {u"Shot.png"_s, u"Shot.temp.png"_s},
         {},
         {u"Shot.png"_s, u"Shot.temp.png"_s}},
        {"the same two the other way round", {u"Shot.temp.png"_s, u"Shot.png"_s}, {}, {u"Shot.temp.png"_s}},
        {"a temporary name that is the user's", {u"X.png"_s, u"Y.png"_s}, {u"X.temp.heic"_s}, {u"Y.png"_s}},
        {"a HEIC name that is taken", {u"X.png"_s, u"Y.png"_s}, {u"X.heic"_s}, {u"Y.png"_s}},
        {"two images of one name", {u"a.png"_s, u"a.PNG"_s}, {}, {u"a.png"_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshRun fixture;
        for (const QString& image : c.images)
            fixture.addImage(image, images::photo(QSize(240, 160)), image.endsWith(u"jpg"_s) ? "JPG" : "PNG", 98);
        for (const QString& user : c.userFiles)
            fixtures::writeBytes(fixture.path(user), "the user's own file");
        const auto before = fixture.snapshot();
        ConsoleCapture console;

        const auto result = fixture.run();

        EXPECT_TRUE(result.success) << console.lines().join(u'\n').toStdString();
        EXPECT_EQ(result.compressedFiles.size(), c.replaced.size());
        for (const QString& user : c.userFiles) {
            EXPECT_EQ(fixture.hashOf(fixture.path(user)), before.value(user)) << user.toStdString();
        }
        for (const Screenshot& screenshot : std::as_const(fixture.m_screenshots)) {
            const QString heic = CompressionService::renditionPath(screenshot.filePath, u"heic"_s);
            if (c.replaced.contains(screenshot.filename)) {
                EXPECT_FALSE(QFileInfo::exists(screenshot.filePath)) << screenshot.filename.toStdString();
                EXPECT_TRUE(fixture.rowPointsAt(screenshot, heic));
            } else {
                EXPECT_EQ(fixture.hashOf(screenshot.filePath), before.value(screenshot.filename));
                EXPECT_TRUE(fixture.rowPointsAt(screenshot, screenshot.filePath));
            }
        }
        // "Shot.temp.png" is rightly replaced by "Shot.temp.heic"; no other
        // name of that form may be left but the user's own.
        QStringList expectedTemporaries = c.userFiles.filter(u".temp.heic"_s);
        for (const QString& image : c.replaced)
            if (const QString heic = CompressionService::renditionPath(image, u"heic"_s); isTemporary(heic))
                expectedTemporaries.append(heic);
        const QStringList left = fixture.entries();
        QStringList temporaries;
        std::copy_if(left.begin(), left.end(), std::back_inserter(temporaries), isTemporary);
        EXPECT_EQ(temporaries, expectedTemporaries);
        EXPECT_EQ(console.matching(u" already exists"_s).size(), c.images.size() - c.replaced.size());
        EXPECT_EQ(result.skippedFiles.size(), c.images.size() - c.replaced.size());
        for (const auto& skipped : result.skippedFiles)
            EXPECT_EQ(skipped.reason, CompressionService::CompressionResult::SkipReason::nameTaken);
    }
}

TEST_F(CompressionRunTest, AnImageThatCannotGoAtTheEndKeepsItsRenditionAndSavesNothing)
{
    addFive();
    const QString stubborn = path(u"shot 2.png"_s);
    m_fileOps.failWhen([&](Step step, const QString& file) { return step == Step::Remove && file == stubborn; });
    ConsoleCapture console;

    const auto result = run();

    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.compressedFiles.size(), 4);
    EXPECT_TRUE(std::none_of(result.compressedFiles.begin(), result.compressedFiles.end(),
                             [&](const auto& file) { return file.originalPath == stubborn; }));
    EXPECT_TRUE(QFileInfo::exists(stubborn));
    EXPECT_TRUE(rowPointsAt(m_screenshots[1], CompressionService::renditionPath(stubborn, u"heic"_s)));
    EXPECT_TRUE(console.contains(u"   ⚠️ Kept shot 2.png beside its HEIC version: Injected failure: "_s));
    ASSERT_EQ(result.skippedFiles.size(), 1);
    EXPECT_EQ(result.skippedFiles[0].originalPath, stubborn);
    EXPECT_EQ(result.skippedFiles[0].reason, CompressionService::CompressionResult::SkipReason::imageKept);
    qint64 savings = 0;
    for (const auto& file : result.compressedFiles)
        savings += file.savings;
    EXPECT_EQ(result.totalSavings, savings);
}

TEST_F(CompressionRunTest, RefusedWithoutRoomForTheRenditionsOrOutsideTheFolder)
{
    addFive();
    const auto before = snapshot();
    m_service.setFreeSpace([](const QString&) { return std::optional<qint64>(1'000'000); });
    ConsoleCapture console;
    const auto refused = run();
    EXPECT_FALSE(refused.success);
    EXPECT_TRUE(refused.failedFiles.isEmpty());
    EXPECT_TRUE(refused.refusal.startsWith(u"Not enough free space"_s));
    expectUntouched(before);
    EXPECT_TRUE(m_progress.isEmpty());

    // A plan entry that lies outside the monitored folder is left alone.
    m_service.setFreeSpace([](const QString&) { return std::nullopt; });
    QTemporaryDir elsewhere;
    const QString outside = QDir(elsewhere.path()).filePath(u"outside.png"_s);
    ASSERT_TRUE(images::photo(QSize(200, 100)).save(outside));
    const Operation stray{QUuid::createUuid(),
                          uuidText(QUuid::createUuid()),
                          outside,
                          60'000,
                          20'000,
                          CompressionService::ScreenshotType::photo};
    const auto result = m_service.compress({stray}, {0.9, 1}, m_folder, {});
    EXPECT_TRUE(result.success);
    EXPECT_TRUE(result.compressedFiles.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_FALSE(QFileInfo::exists(CompressionService::renditionPath(outside, u"heic"_s)));
}

// The person saves over an image while the run is still busy with later ones:
// the newer image is theirs, and only the rendition of the old one may stand
// beside it, never in its place.
TEST_F(CompressionRunTest, AnImageOverwrittenDuringTheRunIsKeptWithItsNewBytes)
{
    addFive();
    const QString edited = path(u"shot 2.png"_s);
    QByteArray newBytes;
    ConsoleCapture console;

    const auto result = m_service.compress(plan(0.9).files, {0.9, 2}, m_folder, [&](int current, int) {
        // Once the second entry is committed, and well before the images go.
        if (current != 3)
            return;
        ASSERT_TRUE(images::interface(QSize(260, 170)).save(edited));
        newBytes = hashOf(edited);
    });

    ASSERT_TRUE(result.success) << console.lines().join(u'\n').toStdString();
    ASSERT_FALSE(newBytes.isEmpty());
    EXPECT_EQ(hashOf(edited), newBytes);
    const QString rendition = CompressionService::renditionPath(edited, u"heic"_s);
    EXPECT_TRUE(QFileInfo(rendition).isFile());
    EXPECT_TRUE(rowPointsAt(m_screenshots[1], rendition));
    EXPECT_EQ(result.compressedFiles.size(), 4);
    EXPECT_TRUE(std::none_of(result.compressedFiles.begin(), result.compressedFiles.end(),
                             [&](const auto& file) { return file.originalPath == edited; }));
    EXPECT_TRUE(console.contains(u"   ⚠️ Kept shot 2.png beside its HEIC version: it changed during the run"_s));
}

// The monitor lists a symbolic link to an image as a screenshot of its own;
// the encoder refuses it, so the plan must not hold it, or every run would
// end rolled back.
TEST_F(CompressionRunTest, SymbolicLinksAreLeftOutOfThePlanAndTheRunSucceeds)
{
    addFive();
    const QString link = path(u"link to shot 1.png"_s);
    ASSERT_TRUE(QFile::link(path(u"shot 1.png"_s), link));
    addRow(link);
    QDir().mkpath(path(u"folder.png"_s));
    addRow(path(u"folder.png"_s));
    ConsoleCapture console;

    const auto plan = this->plan(0.9);
    ASSERT_EQ(plan.files.size(), 5);
    EXPECT_TRUE(std::none_of(plan.files.begin(), plan.files.end(),
                             [&](const auto& file) { return file.originalPath == link; }));
    EXPECT_TRUE(console.contains(u"   → Left out 2 that are not regular files (symbolic links or folders)"_s));

    const auto result = run(plan);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.compressedFiles.size(), 5);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

// The store stops taking writes mid-run, so a rollback cannot point the rows
// back at the images: each rendition whose row still names it stays, the
// result says which images, and the next start settles them.
TEST_F(CompressionRunTest, ARollbackTheStoreRefusesKeepsBothFilesAndTheNextStartSettlesThem)
{
    addFive();
    m_service.setJournalFolder(m_dir.filePath(u"data"_s));
    const auto before = snapshot();
    m_service.setEncoder([real = m_service.encoder()](const QImage& image, int quality) {
        return image.width() == 230 ? HeicWriter::Encoded{{}, u"gave up"_s, false} : real(image, quality);
    });
    ConsoleCapture console;

    const auto result = m_service.compress(plan(0.9).files, {0.9, 2}, m_folder, [&](int current, int) {
        if (current == 3)
            m_store.simulateFault(DatabaseManager::Fault::readOnly);
    });

    EXPECT_FALSE(result.success);
    const QStringList kept{path(u"shot 1.png"_s), path(u"shot 2.png"_s), path(u"shot 3.png"_s)};
    EXPECT_EQ(result.keptAfterRollback, kept);
    for (qsizetype i = 0; i < 3; ++i) {
        const QString heic = CompressionService::renditionPath(kept[i], u"heic"_s);
        EXPECT_TRUE(QFileInfo(kept[i]).isFile());
        EXPECT_TRUE(QFileInfo(heic).isFile()) << "a row names it";
        EXPECT_TRUE(rowPointsAt(m_screenshots[i], heic));
    }
    EXPECT_FALSE(console.contains(u"   ✅ Rollback complete - all files restored"_s));
    EXPECT_TRUE(
        console.contains(u"   ⚠️ Kept shot 1.png and shot 1.heic: the library could not be pointed back at "_s
                         u"the image"_s));
    EXPECT_TRUE(QFileInfo::exists(m_service.journal().path()));

    {
        // A start whose store still refuses settles nothing and forgets nothing.
        DatabaseManager refusing(m_store.path());
        refusing.simulateFault(DatabaseManager::Fault::readOnly);
        CompressionService next(refusing, m_fileOps);
        next.setJournalFolder(m_dir.filePath(u"data"_s));
        EXPECT_EQ(next.recoverInterruptedRun().unsettled, 3);
        ASSERT_TRUE(next.journal().load());
        EXPECT_EQ(next.journal().load()->size(), 3);
    }

    // The next start, with a store that takes writes again.
    DatabaseManager restarted(m_store.path());
    CompressionService next(restarted, m_fileOps);
    next.setJournalFolder(m_dir.filePath(u"data"_s));
    const auto recovered = next.recoverInterruptedRun();
    EXPECT_EQ(recovered.removed.size(), 3);
    EXPECT_EQ(recovered.undone, 3);
    EXPECT_EQ(snapshot(), before);
    for (const Screenshot& screenshot : std::as_const(m_screenshots)) {
        const auto row = restarted.fetchByPath(screenshot.filePath);
        EXPECT_TRUE(row && row->id == screenshot.id) << screenshot.filename.toStdString();
        if (row) {
            EXPECT_EQ(row->fileSize, QFileInfo(screenshot.filePath).size()) << screenshot.filename.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(next.journal().path()));
}
