#include "CompressionFixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
using Type = CompressionService::ScreenshotType;

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::gray);
    return image;
}

Screenshot recordOf(const QString& path, qint64 storedSize)
{
    Screenshot screenshot(path, QUuid::createUuid());
    screenshot.fileSize = storedSize; // the plan trusts the store, not the disk
    return screenshot;
}
} // namespace

class CompressionPlanTest : public CompressionFixture
{};

TEST_F(CompressionPlanTest, TypesAndTruncatedEstimatesAtBothRatios)
{
    const QString fifo = path(u"pipe.png"_s);
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QImage interface = images::interface(QSize(1920, 1080));
    struct Case
    {
        QString path;
        qint64 storedSize;
        Type type;
        qint64 estimateAt95;
        qint64 estimateAt90;
    };
    const Case cases[] = {
        {addImage(u"interface.png"_s, interface), 2'000'000, Type::ui, 1'000'000, 800'000},
        {addImage(u"portrait.png"_s, blank(1080, 1920)), 1'000, Type::ui, 500, 400},
        {addImage(u"camera.jpg"_s, blank(4032, 3024), "JPG"), 1'001, Type::photo, 350, 250},
        // Above four million pixels the table of screen sizes is not asked.
        {addImage(u"uhd.png"_s, blank(3840, 2160)), 1'000, Type::photo, 350, 250},
        {addImage(u"retina.png"_s, blank(2880, 1800)), 1'000, Type::photo, 350, 250},
        {addImage(u"small.png"_s, blank(800, 600)), 1'000, Type::photo, 350, 250},
        {addBytes(u"noise.png"_s, images::randomBytes(4096)), 1'000, Type::unknown, 450, 450},
        {path(u"missing.png"_s), 1'000, Type::unknown, 450, 450},
    };
    QList<Screenshot> records;
    for (const Case& c : cases)
        records.append(recordOf(c.path, c.storedSize));
    // A pipe carrying an image's name is neither read nor waited on, and not
    // planned: it is no regular file.
    records.append(recordOf(fifo, 1'000));

    QElapsedTimer timer;
    timer.start();
    const auto near = m_service.analyzeForCompression(records, {0.95, 4});
    const auto balanced = m_service.analyzeForCompression(records, {0.9, 4});
    EXPECT_LT(timer.elapsed(), 5000) << "a pipe held the analysis up";

    ASSERT_EQ(near.files.size(), qsizetype(std::size(cases)));
    for (qsizetype i = 0; i < near.files.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(near.files[i].type, c.type);
        EXPECT_EQ(near.files[i].estimatedCompressedSize, c.estimateAt95);
        EXPECT_EQ(balanced.files[i].estimatedCompressedSize, c.estimateAt90);
        EXPECT_EQ(near.files[i].originalSize, c.storedSize);
    }
}

TEST_F(CompressionPlanTest, OnlyConvertibleImagesInInputOrderWithTotals)
{
    const QStringList names{u"a.PNG"_s,  u"b.heic"_s, u"c.HEIF"_s, u"d.mov"_s, u"e.webp"_s, u"f"_s,
                            u"g.jpeg"_s, u"h.tif"_s,  u"i.bmp"_s,  u"j.gif"_s, u"k.tiff"_s, u"l.jpg"_s};
    QList<Screenshot> records;
    for (const QString& name : names)
        records.append(recordOf(path(name), 10'000)); // none exists: each is unknown, 45 %

    const auto plan = m_service.analyzeForCompression(records, {0.85, 4});

    QStringList planned;
    QSet<QUuid> ids;
    for (const auto& file : plan.files) {
        planned.append(QFileInfo(file.originalPath).fileName());
        ids.insert(file.id);
    }
    EXPECT_EQ(planned,
              (QStringList{u"a.PNG"_s, u"g.jpeg"_s, u"h.tif"_s, u"i.bmp"_s, u"j.gif"_s, u"k.tiff"_s, u"l.jpg"_s}));
    EXPECT_EQ(ids.size(), plan.files.size());
    EXPECT_EQ(plan.files.first().screenshotId, uuidText(records.first().id));
    EXPECT_EQ(plan.files.first().screenshotId, plan.files.first().screenshotId.toUpper());
    EXPECT_EQ(plan.totalOriginalSize, 70'000);
    EXPECT_EQ(plan.estimatedCompressedSize, 31'500);
    EXPECT_EQ(plan.estimatedSavings, 38'500);
    EXPECT_DOUBLE_EQ(plan.estimatedDuration, 3.5);
}

TEST_F(CompressionPlanTest, EmptyPlanAndItsConsoleLines)
{
    ConsoleCapture console;
    const auto plan = m_service.analyzeForCompression({recordOf(path(u"clip.mov"_s), 5'000)}, {});
    EXPECT_TRUE(plan.files.isEmpty());
    EXPECT_EQ(plan.totalOriginalSize, 0);
    EXPECT_EQ(plan.estimatedSavings, 0);
    EXPECT_EQ(plan.estimatedDuration, 0);
    // (The store's own start-up lines may come in between.)
    const QStringList lines = console.lines().filter(QRegularExpression(u"COMPRESS|^   → "_s));
    EXPECT_EQ(lines, (QStringList{u"📊 COMPRESS: Analyzing 1 screenshots..."_s, u"✅ COMPRESS: Analysis complete"_s,
                                  u"   → Files to compress: 0"_s, u"   → Original size: Zero KB"_s,
                                  u"   → Estimated size: Zero KB"_s, u"   → Estimated savings: Zero KB (0.0%)"_s}));

    console.clear();
    m_service.analyzeForCompression({recordOf(path(u"x.png"_s), 2'000'000)}, {0.9, 4});
    EXPECT_TRUE(console.contains(u"   → Estimated savings: 1.1 MB (55.0%)"_s))
        << console.lines().join(u'\n').toStdString();
}

// A file that does not decode or is empty would fail to encode, and one
// failure rolls back the whole run: the library's knowledge keeps them out of
// the plan. A photo whose analysis ran out of time decodes like any other, and
// large photos are the ones that save the most.
TEST_F(CompressionPlanTest, OnlyUndecodableAndEmptyFilesAreLeftOut)
{
    const QString good = addImage(u"good.png"_s, blank(800, 600));
    Screenshot unreadable = recordOf(addBytes(u"truncated.png"_s, images::randomBytes(300)), 300);
    unreadable.analysisFailure = AnalysisFailure::unreadable;
    Screenshot givenUp = recordOf(addImage(u"camera.jpg"_s, blank(4032, 3024), "JPG"), 2'000'000);
    givenUp.analysisFailure = AnalysisFailure::givenUp;
    const Screenshot empty = recordOf(addBytes(u"empty.png"_s, {}), 0);
    // Emptied since it was listed: the disk tells, not the store.
    const Screenshot emptied = recordOf(addImage(u"emptied.png"_s, blank(640, 480)), 5'000);
    ASSERT_TRUE(QFile::resize(emptied.filePath, 0));
    ConsoleCapture console;

    const auto plan =
        m_service.analyzeForCompression({recordOf(good, 1'000), unreadable, givenUp, empty, emptied}, {0.95, 4});

    ASSERT_EQ(plan.files.size(), 2);
    EXPECT_EQ(plan.files[0].originalPath, good);
    EXPECT_EQ(plan.files[1].originalPath, givenUp.filePath);
    EXPECT_EQ(plan.files[1].type, Type::photo);
    EXPECT_EQ(plan.totalOriginalSize, 2'001'000);
    EXPECT_TRUE(console.contains(u"   → Left out 3 that could not be read or are empty"_s))
        << console.lines().join(u'\n').toStdString();
}

TEST(CompressionNames, RenditionsTakeTheNameWithoutItsLastExtension)
{
    EXPECT_EQ(CompressionService::renditionPath(u"/d/Shot 1.png"_s, u"temp.heic"_s), u"/d/Shot 1.temp.heic"_s);
    EXPECT_EQ(CompressionService::renditionPath(u"/d/a.b.png"_s, u"heic"_s), u"/d/a.b.heic"_s);
    EXPECT_EQ(CompressionService::renditionPath(u"/d.x/Shot.PNG"_s, u"heic"_s), u"/d.x/Shot.heic"_s);
    EXPECT_EQ(CompressionService::renditionPath(u"/d.x/.hidden"_s, u"heic"_s), u"/d.x/.hidden.heic"_s);
}
