// Files replaced under the real analyses: a FIFO swapped in for a listed
// picture mid-run is refused at once instead of holding an analysis thread
// for ever and stays unanalysed for the next run, a file that does not
// decode is remembered as unreadable (a large one after its head alone is
// read), and the sound files are read.

#include "ServicePipeline.h"
#include "core/ImageLoader.h"
#include "support/ReadCost.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

TEST_F(PipelineWithServices, AFifoSwappedInMidRunOrABrokenPictureStaysUnanalysedAndHoldsNothingUp)
{
    QList<Screenshot> files = writeSamples(6, 47, u"swaps"_s);
    const QString broken = m_folder + u"/swaps/broken.png"_s;
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(500, 'z'));
    }
    files.append(Screenshot(broken, QUuid::createUuid()));
    m_store.upsertMany(files);
    ScreenshotMonitorTestAccess::setScreenshots(m_monitor, files);
    m_monitor.startBatchProcessing(files);

    // The sixth file (second batch) becomes a FIFO nobody writes to.
    const QString swapped = files[5].filePath;
    ASSERT_TRUE(QFile::remove(swapped));
    ASSERT_EQ(::mkfifo(QFile::encodeName(swapped).constData(), 0644), 0);

    // Far below the time budget: nothing waits for a writer.
    ASSERT_TRUE(waitUntil([&] { return !m_monitor.isProcessing(); }, 120000));
    // The FIFO is no file to remember; the broken picture is remembered as
    // unreadable, and left alone until it changes.
    EXPECT_FALSE(m_store.fetchByPath(swapped)->ocrText.has_value());
    EXPECT_TRUE(
        m_log.contains(u"File could not be read - left for the next run | file="_s + swapped.section(u'/', -1)));
    m_parts.workers.storeWrites().waitForDone();
    EXPECT_EQ(m_store.fetchByPath(broken)->ocrText, QString());
    EXPECT_EQ(m_store.fetchByPath(broken)->analysisFailure, AnalysisFailure::unreadable);
    EXPECT_TRUE(m_log.contains(u"File could not be read - left alone until it changes | file=broken.png"_s));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(m_store.fetchByPath(files[i].filePath)->ocrText.has_value()) << i;
    EXPECT_FALSE(m_log.contains(u"Analysis given up at its time budget"_s));
}

TEST_F(PipelineWithServices, AFileOfAFewGigabytesThatIsNoPictureIsRememberedUnreadableAfterItsHeadIsReadOnce)
{
    constexpr qint64 fewGigabytes = 3LL * 1024 * 1024 * 1024;
    QDir().mkpath(m_folder);
    // A disk image with a name that lies, and a JPEG whose segments never
    // end, which a decoder reads up to the header's bound.
    QByteArray randomHead(64 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < randomHead.size(); ++i)
        randomHead[i] = char((i * 2654435761u) >> 13);
    const QList<Screenshot> files{Screenshot(m_folder + u"/disk.png"_s, QUuid::createUuid()),
                                  Screenshot(m_folder + u"/endless.png"_s, QUuid::createUuid())};
    ASSERT_TRUE(writeSparse(files[0].filePath, randomHead, fewGigabytes));
    ASSERT_TRUE(writeSparse(files[1].filePath, QByteArray::fromHex("ffd8ffe00010"), fewGigabytes));

    const ReadCost cost = readCostOf([&] { ASSERT_TRUE(analyse(files)); });
    m_parts.workers.storeWrites().waitForDone();
    for (const Screenshot& file : files)
        EXPECT_EQ(m_store.fetchByPath(file.filePath)->analysisFailure, AnalysisFailure::unreadable)
            << file.filename.toStdString();
    // Up to the header's bound for the endless one, once: a header that told
    // no size is not handed to the decoder again.
    EXPECT_LT(cost.readMB, ImageLoader::headerLimitMB + 2.0);
    EXPECT_LT(cost.peakOverStartMB, 8.0);
}
