// Pages read in parts on several engines: the same text in the same order as
// one engine reading the whole page, every line of a browser's address bar
// (its scheme's slashes as they are drawn) and of a dialog beside its icon,
// the same ink whichever rows are made together, its background the median
// around each pixel up to the picture's edges, very large pictures cut
// along blank rows, and a stop that ends the helpers' work; and which of two
// readings of a line is kept.

#include "Reading.h"
#include "generators/SampleLibrary.h"
#include "ingest/PageReader.h"

#include <QPainter>
#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <future>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {
// Fewest edits turning `a` into `b`, or, `withinB`, into some part of `b`.
qsizetype editDistance(const QString& a, const QString& b, bool withinB = false)
{
    std::vector<qsizetype> previous(size_t(b.size() + 1)), current(size_t(b.size() + 1));
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[size_t(j)] = withinB ? 0 : j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j)
            current[size_t(j)] = std::min({previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1),
                                           previous[size_t(j)] + 1, current[size_t(j - 1)] + 1});
        std::swap(previous, current);
    }
    return withinB ? *std::min_element(previous.begin(), previous.end()) : previous[size_t(b.size())];
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

// Typographic quotes as the engine reads them, spaces as one.
QString plain(QString text)
{
    text.replace(u'\u201C', u'"').replace(u'\u201D', u'"').replace(u'\u2019', u'\'');
    return text.simplified();
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

int darkPixelsIn(const QImage& ink, const QRect& area)
{
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            dark += ink.pixelColor(x, y).value() < 160;
    }
    return dark;
}

// One line as the engine would give it for `words`.
TextRecognizer::Result lineReadAs(const std::vector<TextRecognizer::Word>& words)
{
    const TextRecognizer::KeptLine kept = TextRecognizer::keptWords(words);
    TextRecognizer::Result result{QStringList{kept.text}};
    result.certainty = {kept.certainty};
    result.addresses = kept.addresses;
    result.addressConfidence = kept.addressConfidence;
    result.addressMended = kept.addressMended;
    return result;
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

TEST_F(PageReaderTest, ChatBubblesAreReadInTurnEachLineOnceWithoutScrapsOfTheirEnds)
{
    // Bubbles in a window with a sidebar, light and dark, at four sizes; the
    // ends of a bubble are round, where the window around it would show as
    // brackets beside its first and last letters.
    Reading shared(&m_pool, 4);
    for (const int index : {20, 24, 40, 49}) {
        const SampleLibrary::Drawing drawing = SampleLibrary::draw(1, index, false);
        ASSERT_EQ(drawing.kind, u"chat"_s);
        SCOPED_TRACE(index);
        const QString text = textOf(shared.reader.read(drawing.image));
        const QStringList bubbles = drawing.lines.mid(7); // after the title bar and the sidebar
        ASSERT_EQ(bubbles.size(), 5);
        qsizetype at = -1;
        for (const QString& bubble : bubbles) {
            EXPECT_EQ(text.count(bubble), drawing.lines.count(bubble))
                << bubble.toStdString() << "\nin: " << text.toStdString();
            const qsizetype next = text.indexOf(bubble, at + 1);
            EXPECT_GT(next, at) << "out of turn: " << bubble.toStdString() << "\nin: " << text.toStdString();
            at = std::max(at, next);
        }
        EXPECT_FALSE(text.contains(u'(') || text.contains(u')')) << text.toStdString();
    }
    m_pool.waitForDone();
}

TEST_F(PageReaderTest, ASidebarBesideANoteIsReadColumnByColumn)
{
    // Titles of notes every 31 rows beside a note (or code) every 27 (24):
    // each title falls between two lines of the note. And items every 30
    // rows beside lines every 28: in step with each other, as the rows of a
    // table are, but on a panel of their own.
    Reading shared(&m_pool, 4);
    const QSize sizes[] = {{1440, 900}, {1920, 1080}, {1280, 800}};
    std::vector<SampleLibrary::Drawing> drawings;
    for (int index = 0; index < 3; ++index) {
        drawings.push_back(SampleLibrary::drawColumns(
            5, index, sizes[index], index % 2 ? SampleLibrary::Appearance::dark : SampleLibrary::Appearance::light));
    }
    for (const int index : {3, 18})
        drawings.push_back(SampleLibrary::draw(1, index, false));
    for (const SampleLibrary::Drawing& drawing : drawings) {
        SCOPED_TRACE(drawing.lines.value(0).toStdString());
        const QString text = textOf(shared.reader.read(drawing.image));
        int found = 0;
        qsizetype at = -1;
        for (const QString& line : drawing.lines) {
            // Lines found once, word for word ("Drafts" is also in the title
            // "Drafts — Notes").
            const qsizetype position = text.indexOf(line.trimmed());
            if (line.trimmed().size() < 4 || position < 0 || text.count(line.trimmed()) > 1)
                continue;
            ++found;
            EXPECT_GT(position, at) << "out of order: " << line.toStdString() << "\nin: " << text.toStdString();
            at = std::max(at, position);
        }
        EXPECT_GE(found * 10, drawing.lines.size() * 8) << text.toStdString();
    }
    m_pool.waitForDone();
}

TEST_F(PageReaderTest, AnAddressBarIsReadWholeBesideItsButtonsAndPadlock)
{
    // A padlock, "https://" in grey, then a host and a long path in dark
    // text, after the back, forward and reload buttons: light and dark, at
    // a scale of 1 and 2; and bars all in one dark colour, with www. hosts
    // (8, 11, 14). The engine reads some with the start of the address
    // apart ("https:" "//www.…", 1/48 and 5/31), which is no address until
    // the line is read again.
    Reading shared(&m_pool, 4);
    for (const auto& [seed, index] :
         {std::pair(5, 0), {5, 1}, {5, 3}, {5, 6}, {5, 8}, {5, 11}, {5, 14}, {1, 48}, {5, 31}}) {
        const SampleLibrary::Marked browser = SampleLibrary::drawBrowser(quint32(seed), index);
        SCOPED_TRACE(testing::Message() << seed << "/" << index << ": " << browser.drawing.image.width() << " wide, "
                                        << browser.line.toStdString());
        ASSERT_GT(browser.line.size(), TextRecognizer::longestDoubtfulWord);
        const QString text = textOf(shared.reader.read(browser.drawing.image));
        EXPECT_TRUE(text.contains(browser.line)) << text.toStdString();
    }
    m_pool.waitForDone();
}

TEST(PageReaderReadings, TheSecondSlashOfASchemeIsNotReadAsALetter)
{
    // In a narrow font the second slash of "https://" comes so close to the
    // "w" after it that the engine reads it as an "A" ("https:/Awww"), and
    // does so softened too; the picture shows both slashes. The scheme is
    // drawn apart from the rest, as a browser that colours it draws it.
    const auto bar = [](const QString& address, bool dark) {
        QImage image(900, 60, QImage::Format_RGB32);
        image.fill(dark ? QColor(0x2B, 0x2A, 0x33) : QColor(0xF0, 0xF0, 0xF4));
        QPainter painter(&image);
        QFont font(u"DejaVu Sans Condensed"_s);
        font.setPixelSize(11);
        painter.setFont(font);
        painter.setPen(dark ? QColor(0xFB, 0xFB, 0xFE) : QColor(0x15, 0x14, 0x1A));
        const qsizetype schemeEnd = address.lastIndexOf(u'/', address.indexOf(u'.')) + 1;
        painter.drawText(40, 35, address.left(schemeEnd));
        painter.drawText(40 + QFontMetrics(font).horizontalAdvance(address.left(schemeEnd)), 35,
                         address.mid(schemeEnd));
        return image;
    };
    Reading one(nullptr, 1);
    const QString address = u"https://www.harbourgazette.com/local/2025/10/harbour-road-bike-lane-pilot"_s;
    const QString text = textOf(one.reader.read(bar(address, true)));
    EXPECT_TRUE(text.contains(address)) << text.toStdString();

    // A letter that is on the screen stays, after two slashes or one.
    const QString capital = u"https://Awww.example.org/local/2025/10/harbour-road"_s;
    EXPECT_TRUE(textOf(one.reader.read(bar(capital, true))).contains(capital));
    const QString small = u"https://awww.example.org/local/2025/10/harbour-road"_s;
    EXPECT_TRUE(textOf(one.reader.read(bar(small, false))).contains(small));
    EXPECT_TRUE(
        textOf(one.reader.read(bar(u"https:/awww.example.org/local/2025/10/harbour-road"_s, false))).contains(small));
}

TEST(PageReaderReadings, TheSoftenedReadingReplacesTheFirstOnlyWhereItReadsTheAddressBetter)
{
    const QString address = u"https://shop.example.com/wiki/Harbour_Road_Bridge?id=18423"_s;
    const TextRecognizer::Result asWritten = lineReadAs({{u"@"_s, 85}, {address, 48}});
    ASSERT_EQ(asWritten.addresses, 1);
    const auto kept = [](const TextRecognizer::Result& first, const TextRecognizer::Result& softened) {
        return PageReader::keptReading(first, softened).lines.value_or(QStringList()).join(u' ').toStdString();
    };

    // The softened reading lost the address the first held: broken at its
    // underscores, or its scheme and host lost altogether.
    EXPECT_EQ(kept(asWritten, lineReadAs({{u"@"_s, 91},
                                          {u"https://shop.example.com/wiki/Harbour"_s, 91},
                                          {u"Road"_s, 0},
                                          {u"Bridge?id=18423"_s, 0}})),
              "@ " + address.toStdString());
    EXPECT_EQ(kept(asWritten, lineReadAs({{u"€750"_s, 49}, {u"Harbour"_s, 91}, {u"Road"_s, 88}})),
              "@ " + address.toStdString());
    // An address read as written is given up only for one read far more
    // surely ("how" read "now" a little more surely is no better).
    EXPECT_EQ(kept(lineReadAs({{u"https://docs.example.io/wiki/how-to-export"_s, 20}}),
                   lineReadAs({{u"<7"_s, 40}, {u"https://docs.example.io/wiki/now-to-export"_s, 44}})),
              "https://docs.example.io/wiki/how-to-export");
    // But a sign the first read for a letter or digit is a misreading.
    const TextRecognizer::Result digit = lineReadAs({{u"curl"_s, 96}, {u"tftp://boot.example.net/pxelinux.0"_s, 79}});
    const TextRecognizer::Result sign = lineReadAs({{u"curl"_s, 96}, {u"tftp://boot.example.net/pxelinux.@"_s, 78}});
    EXPECT_EQ(kept(sign, digit), "curl tftp://boot.example.net/pxelinux.0");
    EXPECT_EQ(kept(digit, sign), "curl tftp://boot.example.net/pxelinux.0");
    EXPECT_EQ(kept(lineReadAs({{u"https://www.example.org/local/harbour-road_"_s, 12}}),
                   lineReadAs({{u"https://www.example.org/local/harbour-road"_s, 89}})),
              "https://www.example.org/local/harbour-road");

    // What it mends: a scheme misread, read in two pieces, or the start of
    // an address not read as one.
    for (const std::vector<TextRecognizer::Word>& misread : std::vector<std::vector<TextRecognizer::Word>>{
             {{u"@"_s, 80}, {u"hitps:/shop.example.com/wiki/Harbour_Road_Bridge?id=18423"_s, 80}},
             {{u"@"_s, 92}, {u"https:"_s, 64}, {u"//shop.example.com/wiki/Harbour_Road_Bridge?id=18423"_s, 64}},
             {{u"A)"_s, 53}, {u"https:shop.example.com/wiki/Harbour_Road_Bridge?id=18423"_s, 2}}}) {
        const TextRecognizer::Result first = lineReadAs(misread);
        SCOPED_TRACE(first.lines->join(u' ').toStdString());
        EXPECT_TRUE(PageReader::needsSofterReading(first));
        EXPECT_EQ(kept(first, lineReadAs({{u"@"_s, 61}, {address, 41}})), "@ " + address.toStdString());
    }

    // What it leaves alone: a line without an address, or with one read
    // surely as written, is not read again; a softened reading without an
    // address never replaces one without an address either.
    const TextRecognizer::Result plain = lineReadAs({{u"Council"_s, 96}, {u"approves"_s, 96}, {u"timetable"_s, 95}});
    EXPECT_FALSE(PageReader::needsSofterReading(plain));
    EXPECT_FALSE(PageReader::needsSofterReading(lineReadAs({{u"see"_s, 93}, {u"www.wikipedia.org"_s, 90}})));
    EXPECT_TRUE(PageReader::needsSofterReading(asWritten)) << "an address read with doubt";
    EXPECT_EQ(kept(plain, lineReadAs({{u"Council"_s, 60}, {u"appraves"_s, 96}})), "Council approves timetable");

    // A softened reading cut short by the deadline leaves the first, which
    // is then unfinished: it is read again when there is time for both.
    TextRecognizer::Result cutShort = lineReadAs({{address, 91}});
    cutShort.reachedDeadline = true;
    const TextRecognizer::Result unfinished = PageReader::keptReading(asWritten, cutShort);
    EXPECT_EQ(unfinished.lines, asWritten.lines);
    EXPECT_TRUE(unfinished.reachedDeadline);
    EXPECT_FALSE(PageReader::keptReading(asWritten, asWritten).reachedDeadline);
}

TEST_F(PageReaderTest, ADialogKeepsTheBoldTitleBesideItsIconAndTheLineBelow)
{
    // An icon beside a bold title and the first line of the body, on a dark
    // dialog (and a light one), at a scale of 1 and 2; among them dialogs
    // whose layout takes a piece of the icon into the body's line, or leaves
    // the line's first letters out.
    Reading shared(&m_pool, 4);
    for (const auto& [seed, index] : {std::pair(5, 0), {5, 1}, {5, 3}, {5, 4}, {5, 5}, {7, 16}, {7, 29}}) {
        const SampleLibrary::Marked dialog = SampleLibrary::drawDialog(quint32(seed), index);
        SCOPED_TRACE(testing::Message() << seed << "/" << index << ": " << dialog.drawing.image.width() << " wide, "
                                        << dialog.line.toStdString());
        const QString text = plain(textOf(shared.reader.read(dialog.drawing.image)));
        EXPECT_TRUE(text.contains(dialog.line)) << text.toStdString();
        // Its letters may be misread ("xlsx" as "xIsx"), not lost.
        const QString body = plain(dialog.next);
        EXPECT_LE(editDistance(body, text, true) * 10, body.size()) << text.toStdString();
    }
    m_pool.waitForDone();
}

TEST(PageReaderLines, ALineLaidOutWithoutItsFirstLettersIsReadFromItsStart)
{
    // The layout at times begins a line beside an icon a few letters in.
    QImage page(900, 120, QImage::Format_RGB32);
    page.fill(QColor(0x2C, 0x2C, 0x2E));
    {
        QPainter painter(&page);
        QFont font(u"Inter"_s);
        font.setPixelSize(14);
        painter.setFont(font);
        painter.setPen(QColor(0xF5, 0xF5, 0xF5));
        painter.drawText(120, 60, u"Pixelforge quit while exporting the site plan"_s);
    }
    const QImage ink = PageReader::inkOnWhite(page);
    const auto isInk = [&ink](int x) {
        for (int y = 0; y < ink.height(); ++y) {
            if (ink.pixelColor(x, y).value() < 160)
                return true;
        }
        return false;
    };
    int left = 0;
    while (!isInk(left))
        ++left;
    int right = ink.width() - 1;
    while (!isInk(right))
        --right;
    const QRect laidOut(left + 30, 46, right - left - 29, 18);
    const std::vector<QRect> lines = PageReader::linesInReadingOrder(ink, {laidOut});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].left(), left);
    EXPECT_EQ(lines[0].right(), right);
}

TEST(PageReaderLines, ASmallBoldGreyLabelIsReadWithoutTheSoftEdgeOfItsFirstLetter)
{
    // A chat's sender above its bubble, bold grey Inter at 11 px: the layout
    // leaves out the grey column beside its "I", which is no letter left
    // out. Taken into the line, the engine read the "l" of "Carvalho" as "t".
    Reading one(nullptr, 1);
    for (int left = 20; left < 23; ++left) {
        QImage page(600, 110, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            QFont font(u"Inter"_s);
            font.setPixelSize(11);
            font.setBold(true);
            painter.setFont(font);
            painter.setPen(QColor(0x6E, 0x6E, 0x73));
            painter.drawText(left, 40, u"Ines Carvalho"_s);
            painter.fillRect(left - 4, 48, 460, 42, QColor(0xE5, 0xE5, 0xEA));
            font.setBold(false);
            font.setPixelSize(15);
            painter.setFont(font);
            painter.setPen(QColor(0x1D, 0x1D, 0x1F));
            painter.drawText(left + 12, 74, u"looks like the webpack config lost the alias"_s);
        }
        const QString text = textOf(one.reader.read(page));
        EXPECT_EQ(text.toStdString(), "Ines Carvalho looks like the webpack config lost the alias") << left;
    }
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

TEST_F(PageReaderTest, InkIsTheDifferenceFromTheMedianAroundEachPixelUpToTheEdges)
{
    // A flat grey with patches of noise, at the edges and corners too, far
    // enough apart that the grey between them stays flat; narrow and wide
    // gaps between them along a row. Noise never takes the flat grey. A
    // picture lower than the window has a smaller one.
    Reading shared(&m_pool, 2);
    QRandomGenerator random(11);
    const auto patched = [&random](QSize size) {
        QImage picture(size, QImage::Format_Grayscale8);
        picture.fill(128);
        std::vector<int> tops{size.height() - 9};
        for (int top = -3; top + 12 + 10 < tops.front(); top += 40)
            tops.push_back(top);
        for (const int top : tops) {
            for (int left = -2, width = 3; left < size.width(); left += width + 10 + int(random.bounded(30))) {
                width = 3 + int(random.bounded(40));
                for (int y = std::max(0, top); y < std::min(size.height(), top + 12); ++y)
                    for (int x = std::max(0, left); x < std::min(size.width(), left + width); ++x)
                        picture.scanLine(y)[x] = uchar((129 + random.bounded(255)) % 256);
            }
        }
        return picture;
    };
    for (const QSize size : {QSize(700, 256 * 2 + 40), QSize(90, 25)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        const QImage picture = patched(size);
        const cv::Mat grey(picture.height(), picture.width(), CV_8UC1, const_cast<uchar*>(picture.constBits()),
                           size_t(picture.bytesPerLine()));
        cv::Mat median;
        cv::medianBlur(grey, median, std::min({31, (size.width() - 1) | 1, (size.height() - 1) | 1}));
        QImage expected(size, QImage::Format_Grayscale8);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const int value = grey.at<uchar>(y, x);
                const int ink = std::max(0, 255 - 2 * std::abs(value - median.at<uchar>(y, x)));
                expected.scanLine(y)[x] = uchar(value == 128 || ink > 224 ? 255 : ink);
            }
        }
        EXPECT_EQ(PageReader::inkOnWhite(picture), expected);
        EXPECT_EQ(shared.reader.ink(picture), expected);
    }
    m_pool.waitForDone();
}

TEST(PageReaderTiles, LargePicturesAreCutAlongBlankRowsIntoTilesOfBoundedSizeAndMarks)
{
    QImage ink(6000, 6000, QImage::Format_Grayscale8);
    ink.fill(255);
    // Lines of ink 24 rows high, 37 rows apart.
    for (int top = 10; top + 24 < ink.height(); top += 61) {
        for (int y = top; y < top + 24; ++y)
            std::memset(ink.scanLine(y) + 100, 0, 5800);
    }
    const std::vector<int> tops = PageReader::tileTops(ink, PageReader::clearMarksOtherThanText(ink));
    const int rows = int(PageReader::layoutTilePixels / ink.width());
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

    QImage screen(1920, 1200, QImage::Format_Grayscale8);
    screen.fill(255);
    EXPECT_EQ(PageReader::tileTops(screen, PageReader::clearMarksOtherThanText(screen)), std::vector<int>{0})
        << "a screen is laid out whole";

    // A fine pattern of letter-sized dots is laid out in many tiles, none
    // holding more marks than a tile may, unless it is as short as a tile
    // may be.
    QImage dots(4096, 2048, QImage::Format_Grayscale8);
    dots.fill(255);
    for (int y = 4; y + 8 < dots.height(); y += 18) {
        for (int x = 4; x + 8 < dots.width(); x += 18) {
            for (int r = 0; r < 8; ++r)
                std::memset(dots.scanLine(y + r) + x, 0, 8);
        }
    }
    const std::vector<int> marks = PageReader::clearMarksOtherThanText(dots);
    const std::vector<int> dotTops = PageReader::tileTops(dots, marks);
    EXPECT_GE(dotTops.size(), 8u);
    for (size_t t = 0; t < dotTops.size(); ++t) {
        const int bottom = t + 1 < dotTops.size() ? dotTops[t + 1] : dots.height();
        const int held = std::accumulate(marks.begin() + dotTops[t], marks.begin() + bottom, 0);
        EXPECT_TRUE(held <= PageReader::layoutTileMarks || bottom - dotTops[t] <= PageReader::smallestTile * 2)
            << dotTops[t] << ": " << held << " marks";
    }
}

TEST(PageReaderTiles, MarksTooLargeForLettersAreClearedAndLettersKept)
{
    // Letters under a hatching of long strokes and inside a faint grid.
    QImage page(1600, 1200, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        painter.setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 1));
        for (int x = 0; x < 1600; x += 200)
            painter.drawLine(x, 0, x, 599);
        for (int y = 0; y < 600; y += 40)
            painter.drawLine(0, y, 1599, y);
        painter.setPen(QPen(Qt::darkGray, 2));
        for (int at = -1200; at < 1600; at += 9)
            painter.drawLine(at, 700, at + 500, 1200);
        QFont font(u"Inter"_s);
        font.setPixelSize(22);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(20, 30, u"Invoice 2231"_s);
    }
    QImage ink = PageReader::inkOnWhite(page);
    PageReader::clearMarksOtherThanText(ink);
    const auto darkIn = [&ink](const QRect& area) { return darkPixelsIn(ink, area); };
    EXPECT_GT(darkIn(QRect(20, 10, 150, 25)), 100) << "the letters are gone";
    EXPECT_EQ(darkIn(QRect(300, 100, 1200, 450)), 0) << "the grid is left";
    EXPECT_EQ(darkIn(QRect(300, 720, 1000, 460)), 0) << "the hatching is left";
}

TEST(PageReaderTiles, TheFrameOfAButtonOrAFieldIsClearedAndWhatItHoldsKept)
{
    // The layout takes a frame and the label inside it for a picture and
    // reads neither ("Add to basket" on a shop's page).
    QImage page(900, 200, QImage::Format_RGB32);
    page.fill(QColor(0xfa, 0xfa, 0xfa));
    {
        QPainter painter(&page);
        QFont font(u"Inter"_s);
        font.setPixelSize(15);
        painter.setFont(font);
        painter.setPen(QColor(0x76, 0x76, 0x76));
        painter.drawRect(70, 40, 123, 38);
        painter.drawRect(260, 40, 300, 40);
        painter.setPen(QColor(0x11, 0x11, 0x11));
        painter.drawText(QRect(70, 40, 124, 39), Qt::AlignCenter, u"Add to basket"_s);
        painter.drawText(QRect(276, 40, 280, 41), Qt::AlignVCenter, u"Search recipes"_s);
        // A ring round a letter, and a word within a long rule's reach.
        font.setPixelSize(40);
        painter.setFont(font);
        painter.drawText(620, 80, u"\u00A9 Kettle"_s);
        painter.drawLine(70, 150, 800, 150);
    }
    QImage ink = PageReader::inkOnWhite(page);
    PageReader::clearMarksOtherThanText(ink);
    const auto darkIn = [&ink](const QRect& area) { return darkPixelsIn(ink, area); };
    EXPECT_EQ(darkIn(QRect(70, 40, 124, 2)) + darkIn(QRect(260, 40, 301, 2)), 0) << "a frame is left";
    EXPECT_GT(darkIn(QRect(80, 50, 100, 20)), 100) << "the button's label is gone";
    EXPECT_GT(darkIn(QRect(270, 50, 150, 20)), 100) << "the field's text is gone";
    EXPECT_GT(darkIn(QRect(620, 45, 40, 40)), 150) << "the ring round the letter is gone";
    EXPECT_GT(darkIn(QRect(70, 149, 730, 3)), 700) << "the rule is gone";
}

TEST_F(PageReaderTest, ATiledPictureReadsEveryLineInOrder)
{
    Reading shared(&m_pool, 4);
    const QImage tall = longPage({1000, 24200}, 8, 26);
    QImage ink = PageReader::inkOnWhite(tall);
    ASSERT_GT(PageReader::tileTops(ink, PageReader::clearMarksOtherThanText(ink)).size(), 1u);
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
