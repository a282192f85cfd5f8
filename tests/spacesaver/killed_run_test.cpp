#include "CompressionFixture.h"
#include "core/LogTimer.h"
#include "support/CrashPoint.h"

using namespace Qt::StringLiterals;

// The space saver killed at its worst moments, in a child process, then the
// application's start over what it left: each image is exactly one file
// (itself or its rendition) with exactly one row, which keeps its tags and
// notes, and no temporary is left.
namespace {
constexpr int imageCount = 6;

QString desktop(const QString& folder)
{
    return folder + u"/Desktop"_s;
}

QString imagePath(const QString& folder, int i)
{
    return desktop(folder) + u"/shot %1.png"_s.arg(i);
}

QList<Screenshot> storedRows(DatabaseManager& store)
{
    LogTimer timer(u"test"_s);
    return store.fetchPage(std::nullopt, 1000, 0, true, timer);
}
} // namespace

TEST(SpaceSaverKilled, ChildRun)
{
    if (!CrashPoint::isChild())
        GTEST_SKIP() << "runs only as the child of ARunKilledAtItsWorstMomentsEndsAsOneFileAndOneRowPerImage";
    const QString folder = CrashPoint::folder();
    DatabaseManager store(folder + u"/data/Brindlework.sqlite"_s);
    SteppingFileOps fileOps;
    CrashPoint::atFileSteps(fileOps, CompressionJournal::fileName);
    CompressionService service(store, fileOps);
    service.setJournalFolder(folder + u"/data"_s);
    if (CrashPoint::named().startsWith(u"remove-"_s) && CrashPoint::named() != u"remove-3"_s) {
        // The fourth image cannot be encoded: the run rolls back.
        service.setEncoder([real = service.encoder()](const QImage& image, int quality) {
            return image.width() == 230 ? HeicWriter::Encoded{{}, u"gave up"_s, false} : real(image, quality);
        });
    }
    const auto plan = service.analyzeForCompression(storedRows(store), {0.9, 2});
    service.compress(plan.files, {0.9, 2}, desktop(folder), {});
    FAIL() << "the run ended without reaching its point";
}

TEST(SpaceSaverKilled, ARunKilledAtItsWorstMomentsEndsAsOneFileAndOneRowPerImage)
{
    const char* const points[] = {
        "move-2",    // the second rendition in place, its row not yet moved
        "journal-3", // the second row on its rendition, the third not begun
        "remove-2",  // rolling back: the first rendition gone, the second's row back
        "remove-3",  // removing the images at the end: two gone, four still there
    };
    for (const char* point : points) {
        SCOPED_TRACE(point);
        QTemporaryDir dir;
        QDir().mkpath(desktop(dir.path()));
        QList<Screenshot> rows;
        {
            DatabaseManager store(dir.filePath(u"data/Brindlework.sqlite"_s));
            for (int i = 0; i < imageCount; ++i) {
                ASSERT_TRUE(images::photo(QSize(200 + 10 * i, 150)).save(imagePath(dir.path(), i)));
                rows.append(Screenshot(imagePath(dir.path(), i), QUuid::createUuid()));
                ASSERT_TRUE(store.upsert(rows.last()));
                ASSERT_TRUE(store.saveUserData(rows.last().id, {u"tag %1"_s.arg(i)}, u"note %1"_s.arg(i)));
            }
        }
        QList<QByteArray> originals;
        for (int i = 0; i < imageCount; ++i)
            originals.append(CompressionFixture::hashOf(imagePath(dir.path(), i)));

        const CrashPoint::ChildEnd child =
            CrashPoint::runChild(u"SpaceSaverKilled.ChildRun"_s, QString::fromLatin1(point), dir.path());
        ASSERT_TRUE(child.killed) << child.output.toStdString();

        DatabaseManager store(dir.filePath(u"data/Brindlework.sqlite"_s));
        SystemFileOps fileOps;
        CompressionService service(store, fileOps);
        service.setJournalFolder(dir.filePath(u"data"_s));
        (void)service.recoverInterruptedRun(); // as at start

        int renditions = 0;
        for (int i = 0; i < imageCount; ++i) {
            SCOPED_TRACE(i);
            const QString image = imagePath(dir.path(), i);
            const QString heic = CompressionService::renditionPath(image, u"heic"_s);
            const bool hasImage = QFileInfo::exists(image), hasRendition = QFileInfo::exists(heic);
            ASSERT_NE(hasImage, hasRendition);
            if (hasImage)
                EXPECT_EQ(CompressionFixture::hashOf(image), originals[i]);
            else
                EXPECT_EQ(ImageLoader::load(heic).size(), QSize(200 + 10 * i, 150));
            renditions += hasRendition;
            const auto row = store.fetchByPath(hasImage ? image : heic);
            ASSERT_TRUE(row.has_value());
            EXPECT_EQ(row->id, rows[i].id);
            // The size the run wrote into the row goes with what it undid.
            EXPECT_EQ(row->fileSize, QFileInfo(hasImage ? image : heic).size());
            EXPECT_EQ(row->customTags, QStringList{u"tag %1"_s.arg(i)});
            EXPECT_EQ(row->userNotes, u"note %1"_s.arg(i));
        }
        EXPECT_EQ(storedRows(store).size(), imageCount);
        EXPECT_EQ(QDir(desktop(dir.path())).entryList(QDir::Files | QDir::Hidden).size(), imageCount);
        EXPECT_FALSE(QFileInfo::exists(service.journal().path()));
        // What a run finishes stays finished; what it began is undone.
        if (QString(point) == u"remove-3"_s) {
            EXPECT_EQ(renditions, 2);
        } else if (QString(point).startsWith(u"remove-"_s)) {
            EXPECT_EQ(renditions, 0);
        }
    }
}
