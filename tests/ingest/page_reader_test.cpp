// Pages read in parts on several engines: the same text in the same order as
// one engine reading the whole page, the same ink whichever rows are made
// together, very large pictures cut along blank rows, and a stop that ends
// the helpers' work.

#include "Reading.h"
#include "generators/SampleLibrary.h"
#include "ingest/PageReader.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <future>

using namespace Qt::StringLiterals;

namespace {
qsizetype editDistance(const QString& a, const QString& b)
{
    std::vector<qsizetype> previous(size_t(b.size() + 1)), current(size_t(b.size() + 1));
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[size_t(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j)
            current[size_t(j)] = std::min({previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1),
                                           previous[size_t(j)] + 1, current[size_t(j - 1)] + 1});
        std::swap(previous, current);
    }
    return previous[size_t(b.size())];
}

// The drawn lines found word for word in both texts, in the order of `text`.
QStringList orderIn(const QString& text, const QStringList& drawn, const QString& other)
{
    std::vector<std::pair<qsizetype, QString>> found;
    for (const QString& line : drawn) {
        const qsizetype at = text.indexOf(line);
        if (at >= 0 && other.contains(line))
            found.emplace_back(at, line);
    }
    std::sort(found.begin(), found.end());
    QStringList order;
    for (const auto& [at, line] : found)
        order.append(line);
    return order;
}

QString textOf(const TextRecognizer::Result& result)
{
    return result.lines.value_or(QStringList()).join(u' ');
}

// A page of `lines` numbered sentences, one below the other.
QImage longPage(QSize size, int lines, int pixelSize = 22)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(u"Inter"_s);
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(QColor(0x1d, 0x1d, 0x1f));
    const int spacing = (size.height() - 80) / lines;
    for (int i = 0; i < lines; ++i)
        painter.drawText(60, 60 + i * spacing, u"Line %1 of the quarterly report lists invoices and payments"_s.arg(i));
    return image;
}

class PageReaderTest : public ::testing::Test
{
protected:
    Workers::Pool m_pool{u"analysis"_s, 4, true};
};
} // namespace

TEST_F(PageReaderTest, SplitAcrossEnginesReadsWhatOneEngineReadsInTheSameOrder)
{
    Reading one;
    Reading shared(&m_pool, 4);
    const QSize sizes[] = {{1440, 900}, {1920, 1080}, {1280, 800}};
    qsizetype differences = 0;
    qsizetype characters = 0;
    for (int i = 0; i < 4; ++i) {
        const SampleLibrary::Drawing drawing = SampleLibrary::draw(
            7, i, sizes[i % 3], i % 2 ? SampleLibrary::Appearance::dark : SampleLibrary::Appearance::light);
        SCOPED_TRACE(i);
        const QString whole = textOf(one.reader.read(drawing.image));
        const QString split = textOf(shared.reader.read(drawing.image));
        ASSERT_FALSE(whole.isEmpty());
        // Lines read alike; stray marks around bubbles may read differently.
        const qsizetype distance = editDistance(whole, split);
        EXPECT_LE(distance, std::max<qsizetype>(4, whole.size() / 20))
            << "one engine: " << whole.toStdString() << "\nsplit: " << split.toStdString();
        differences += distance;
        characters += whole.size();
        const QStringList order = orderIn(whole, drawing.lines, split);
        EXPECT_GE(order.size(), drawing.lines.size() / 2);
        EXPECT_EQ(orderIn(split, drawing.lines, whole), order);
    }
    EXPECT_LE(differences * 50, characters) << "more than 2 % of the text differs";
    EXPECT_GT(shared.work.helpedParts(), 0) << "the pages were read by one thread alone";
    m_pool.waitForDone();
}

TEST_F(PageReaderTest, InkMadeInPartsIsTheInkMadeWhole)
{
    Reading shared(&m_pool, 2);
    QImage framed(1000, 256 * 3 + 7, QImage::Format_ARGB32); // a last part shorter than the window
    framed.fill(Qt::transparent);
    {
        QPainter painter(&framed);
        painter.fillRect(framed.rect().adjusted(30, 30, -30, -30), QColor(0x25, 0x63, 0xeb));
        painter.setPen(Qt::white);
        painter.drawText(80, 120, u"Dinner reservation on Saturday"_s);
    }
    const QImage cases[] = {longPage({1280, 800}, 20), framed,
                            SampleLibrary::draw(3, 1, {1440, 900}, SampleLibrary::Appearance::dark).image,
                            longPage({40, 20}, 1, 8)};
    for (const QImage& image : cases) {
        SCOPED_TRACE(testing::Message() << image.width() << "x" << image.height());
        const QImage whole = PageReader::inkOnWhite(image);
        ASSERT_FALSE(whole.isNull());
        EXPECT_EQ(shared.reader.ink(image), whole);
    }
    m_pool.waitForDone();
}

TEST(PageReaderTiles, VeryLargePicturesAreCutAlongBlankRowsIntoTilesOfAboutTheSameSize)
{
    QImage ink(6000, 6000, QImage::Format_Grayscale8);
    ink.fill(255);
    // Lines of ink 24 rows high, 37 rows apart.
    for (int top = 10; top + 24 < ink.height(); top += 61) {
        for (int y = top; y < top + 24; ++y)
            std::memset(ink.scanLine(y) + 100, 0, 5800);
    }
    const std::vector<int> tops = PageReader::tileTops(ink);
    const int rows = int(PageReader::tilePixels / ink.width());
    ASSERT_GT(tops.size(), 2u);
    EXPECT_EQ(tops.front(), 0);
    for (size_t t = 1; t < tops.size(); ++t) {
        SCOPED_TRACE(tops[t]);
        const uchar* row = ink.constScanLine(tops[t]);
        EXPECT_TRUE(std::all_of(row, row + ink.width(), [](uchar v) { return v == 255; })) << "a cut through a line";
        EXPECT_LE(tops[t] - tops[t - 1], rows);
        EXPECT_GE(tops[t] - tops[t - 1], rows / 2);
    }
    EXPECT_LE(ink.height() - tops.back(), rows * 3 / 2);

    QImage screen(2880, 1800, QImage::Format_Grayscale8);
    EXPECT_EQ(PageReader::tileTops(screen), std::vector<int>{0}) << "a screen is laid out whole";

    // A photograph at its reading size, with no blank row anywhere, is laid
    // out in many small tiles, none much above photographTilePixels.
    QImage photo(1632, 1224, QImage::Format_Grayscale8);
    photo.fill(90);
    const std::vector<int> photoTops =
        PageReader::tileTops(photo, PageReader::photographTilePixels, PageReader::photographTilePixels);
    EXPECT_GE(photoTops.size(), 8u);
    for (size_t t = 0; t < photoTops.size(); ++t) {
        const int bottom = t + 1 < photoTops.size() ? photoTops[t + 1] : photo.height();
        EXPECT_LE(qint64(bottom - photoTops[t]) * photo.width(), PageReader::photographTilePixels * 3 / 2);
    }
}

TEST_F(PageReaderTest, ATiledPictureReadsEveryLineInOrder)
{
    Reading shared(&m_pool, 4);
    const QImage tall = longPage({1000, 24200}, 8, 26); // just above the size that is tiled
    ASSERT_GT(PageReader::tileTops(PageReader::inkOnWhite(tall)).size(), 1u);
    const QString text = textOf(shared.reader.read(tall));
    qsizetype at = -1;
    for (int i = 0; i < 8; ++i) {
        const qsizetype next = text.indexOf(u"Line %1 of the quarterly"_s.arg(i));
        EXPECT_GT(next, at) << i << " in: " << text.toStdString();
        at = std::max(at, next);
    }
    m_pool.waitForDone();
}

TEST_F(PageReaderTest, AStopMidPageEndsItsPartsAndGivesNoText)
{
    Reading shared(&m_pool, 4);
    const QImage page = longPage({2400, 6000}, 150);
    std::stop_source stop;
    auto reading = std::async(std::launch::async, [&] { return shared.reader.read(page, stop.get_token()); });
    // Once helpers are at work on the bands, stop.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (shared.work.helpedParts() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(shared.work.helpedParts(), 0);
    stop.request_stop();
    const TextRecognizer::Result result = reading.get();
    EXPECT_EQ(result.failure, TextRecognizer::Result::Failure::stopped);
    EXPECT_FALSE(result.lines.has_value());
    EXPECT_GT(shared.work.droppedParts(), 0) << "bands not yet begun must not run";
    m_pool.waitForDone();
    EXPECT_EQ(m_pool.threads().activeThreadCount(), 0);
}
