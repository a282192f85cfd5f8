// What keeps one page's reading short: a deadline past which no layout or
// line begins (what was read by then is the result), a budget of processor
// time that the helpers' work counts against too, and photographs, told
// from screens by their pixels, read at a size whose layout stays short.

#include "Reading.h"
#include "generators/MediaGenerator.h"
#include "generators/SampleLibrary.h"
#include "ingest/OCRService.h"
#include "ingest/PageReader.h"

#include <QBuffer>
#include <QPainter>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QImage numberedPage(QSize size, int lines)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int step = (size.height() - 40) / lines;
    for (int i = 0; i < lines; ++i)
        painter.drawText(30, 40 + i * step, u"Line %1 of the quarterly report on shipping"_s.arg(i));
    return image;
}
} // namespace

TEST(PageBounds, PastTheDeadlineWhatWasReadIsTheResult)
{
    Reading whole(nullptr, 1);
    const QImage page = numberedPage({1400, 4000}, 90);
    const auto now = TextRecognizer::Clock::now;

    const TextRecognizer::Result none = whole.reader.read(page, {{}, TimeBudget(now())});
    EXPECT_EQ(none.failure, TextRecognizer::Result::Failure::none);
    EXPECT_TRUE(none.reachedDeadline);
    EXPECT_EQ(none.lines, QStringList());

    const TextRecognizer::Result part =
        whole.reader.read(page, {{}, TimeBudget(now() + std::chrono::milliseconds(600))});
    EXPECT_EQ(part.failure, TextRecognizer::Result::Failure::none);
    EXPECT_TRUE(part.reachedDeadline);
    ASSERT_TRUE(part.lines.has_value());
    EXPECT_LT(part.lines->size(), 90);

    const TextRecognizer::Result all = whole.reader.read(page);
    EXPECT_FALSE(all.reachedDeadline);
    EXPECT_GE(all.lines.value_or(QStringList()).size(), 85);
}

TEST(PageBounds, TheProcessorTimeOfEveryEngineAtWorkOnAPageCountsAgainstItsBudget)
{
    using namespace std::chrono_literals;
    Workers::Pool pool(u"analysis"_s, 4, true);
    Reading shared(&pool, 4);
    const QImage page = numberedPage({1400, 4000}, 90);
    // Real time that the test never reaches.
    const TimeBudget budget = TimeBudget::startingNow(300ms, 10min);
    const auto before = CpuAccount::threadTime();
    TextRecognizer::Result result;
    {
        // As the file's own thread does.
        const CpuAccount::Charge charge(budget.cpuAccount());
        result = shared.reader.read(page, {{}, budget});
    }
    const auto ownTime = CpuAccount::threadTime() - before;
    EXPECT_EQ(result.failure, TextRecognizer::Result::Failure::none);
    EXPECT_TRUE(result.reachedDeadline);
    ASSERT_TRUE(result.lines.has_value());
    EXPECT_LT(result.lines->size(), 90);
    EXPECT_GE(budget.account->spent(), 300ms);
    EXPECT_GT(budget.account->spent(), ownTime) << "the helpers' processor time was not counted";
    pool.waitForDone();
}

TEST(PageBounds, WallpapersThatPassForScreensStopWithinASecondOfTheirBudget)
{
    using namespace std::chrono_literals;
    // Hatching, whose long strokes once held the layout of a page for a
    // minute, and dots, each one a letter-sized mark for the layout and for
    // the recognition of their rows.
    Workers::Pool pool(u"analysis"_s, 4, true);
    Reading shared(&pool, 4);
    MediaGenerator generator(11);
    for (const auto kind : {MediaGenerator::Wallpaper::hatchPattern, MediaGenerator::Wallpaper::dotPattern}) {
        const QImage wallpaper = generator.wallpaper({2048, 2048}, kind);
        ASSERT_FALSE(PageReader::isPhotograph(wallpaper));
        const TimeBudget budget = TimeBudget::startingNow(300ms, 10min);
        TextRecognizer::Result result;
        {
            const CpuAccount::Charge charge(budget.cpuAccount());
            result = shared.reader.read(wallpaper, {{}, budget});
        }
        EXPECT_EQ(result.failure, TextRecognizer::Result::Failure::none);
        EXPECT_LT(budget.account->spent(), 300ms + 1s) << "processor time after the budget was spent";
    }
    pool.waitForDone();
}

TEST(PageBounds, PhotographsAreToldFromScreensByTheirPixels)
{
    for (int index = 0; index < 6; ++index) {
        const auto appearance = index % 2 ? SampleLibrary::Appearance::dark : SampleLibrary::Appearance::light;
        const QImage screen = SampleLibrary::draw(7, index, {1440, 900}, appearance).image;
        EXPECT_FALSE(PageReader::isPhotograph(screen)) << index << ": " << PageReader::identicalNeighbourShare(screen);
        // Saved as a JPEG, a screen is still a screen.
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        screen.save(&buffer, "JPEG", 85);
        EXPECT_FALSE(PageReader::isPhotograph(QImage::fromData(jpeg, "JPEG"))) << index;
    }
    MediaGenerator generator(3);
    EXPECT_TRUE(PageReader::isPhotograph(generator.photo({800, 600})));
    EXPECT_TRUE(PageReader::isPhotograph(generator.noisyPhoto({800, 600})));

    const QImage bigPhoto = generator.photo({4000, 3000});
    const QImage reading = PageReader::readingSize(bigPhoto);
    EXPECT_LE(qint64(reading.width()) * reading.height(), PageReader::photographPixels);
    EXPECT_NEAR(double(reading.width()) / reading.height(), 4.0 / 3.0, 0.01);
    const QImage bigScreen = generator.screenshot({4000, 3000});
    EXPECT_EQ(PageReader::readingSize(bigScreen).size(), bigScreen.size()) << "screens keep every pixel";
}
