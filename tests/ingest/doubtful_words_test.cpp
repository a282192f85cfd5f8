// Which of the words the engine reads are text: a line of scraps with no
// word read surely keeps nothing, even its lucky short words; text keeps the
// words the engine doubts (a file name, a call in code), and a line holding
// a web address keeps it however doubted and long; and photographs and
// wallpapers, read as the application reads them, give no text at all.

#include "Reading.h"
#include "generators/MediaGenerator.h"
#include "ingest/PageReader.h"
#include "ingest/TextRecognizer.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
using Words = std::vector<TextRecognizer::Word>;

QString textOf(const TextRecognizer::Result& result)
{
    return result.lines.value_or(QStringList()).join(u' ');
}
} // namespace

TEST(DoubtfulWords, ScrapsAreLeftOutAndTextKeepsTheWordsTheEngineDoubts)
{
    // A texture read as text: scraps, and two short words read fairly surely.
    const TextRecognizer::KeptLine scraps = TextRecognizer::keptWords(Words{{u"Ee"_s, 20},
                                                                            {u"NS"_s, 15},
                                                                            {u"oer"_s, 30},
                                                                            {u"Mee"_s, 44},
                                                                            {u"sa"_s, 79.9f},
                                                                            {u"ad"_s, 71.9f},
                                                                            {u"OFEV"_s, 0}});
    EXPECT_EQ(scraps.text, QString());
    EXPECT_EQ(scraps.certainty, TextRecognizer::Certainty::doubtful);
    // A row of dots read as one word, alone on its line.
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"@eeeecee3ucsvcvc*ee7ecedeex4$s#rvceeess"_s, 0}}).text, QString());

    // Code: a sure word, and a call the engine doubts.
    const TextRecognizer::KeptLine code =
        TextRecognizer::keptWords(Words{{u"return"_s, 96}, {u"json."_s, 2}, {u"load(handle)"_s, 2}});
    EXPECT_EQ(code.text, u"return json. load(handle)"_s);
    EXPECT_EQ(code.certainty, TextRecognizer::Certainty::sure);
    // A call on a line of its own in small monospaced text, all of it doubted
    // (a compiler's quote of the line it stopped at); a scrap of that shape
    // is no call.
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"journal."_s, 23}, {u"append(entry)"_s, 23}, {u";"_s, 85}}).text,
              u"journal. append(entry) ;"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"ee."_s, 23}, {u"eeeeee(ee)"_s, 23}, {u"Ns"_s, 20}}).text, QString());
    // A line read well as a whole keeps a code it doubts.
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"Flight"_s, 90}, {u"LH1234"_s, 30}, {u"boards"_s, 88}}).text,
              u"Flight LH1234 boards"_s);
    // A file name alone, doubted: kept, but not read surely.
    const TextRecognizer::KeptLine label = TextRecognizer::keptWords(Words{{u"utils.js"_s, 38}});
    EXPECT_EQ(label.text, u"utils.js"_s);
    EXPECT_EQ(label.certainty, TextRecognizer::Certainty::doubtful);
}

TEST(DoubtfulWords, ALineHoldingAnAddressIsKeptHoweverDoubtedAndWhateverItsLength)
{
    // An address bar: the back and forward buttons and the padlock read as
    // scraps, then an address of 66 signs that the engine doubts.
    const QString address = u"https://support.lumenstudio.app/wiki/harbour-road-bike-lane-pilot"_s;
    const TextRecognizer::KeptLine bar = TextRecognizer::keptWords(Words{{u"€70"_s, 26}, {u"fa"_s, 47}, {address, 29}});
    EXPECT_TRUE(bar.text.endsWith(address)) << bar.text.toStdString();
    EXPECT_EQ(bar.certainty, TextRecognizer::Certainty::certain);
    // Misread at its start, glued to the padlock, or without a scheme.
    const std::pair<QString, QString> doubtedAddresses[] = {
        {u"hitps:/www.harbourgazette.com/wiki/tide-tables"_s, u"https://www.harbourgazette.com/wiki/tide-tables"_s},
        {u"/https://blog.saltmarshkitchen.com/2025/tide-tables"_s,
         u"/https://blog.saltmarshkitchen.com/2025/tide-tables"_s},
        {u"docs.python.org/3/library/json.html"_s, u"docs.python.org/3/library/json.html"_s}};
    for (const auto& [doubted, kept] : doubtedAddresses) {
        EXPECT_EQ(TextRecognizer::keptWords(Words{{u"@"_s, 12}, {doubted, 0}}).text.toStdString(), kept.toStdString());
        EXPECT_TRUE(TextRecognizer::looksLikeAddress(doubted)) << doubted.toStdString();
    }
    // Pieces of one address that the engine read apart are one word again.
    EXPECT_EQ(TextRecognizer::keptWords(
                  Words{{u"https://www.eastbaytransit.gov/2025/03/1"_s, 20}, {u"7/harbour-road-bike-lane-pilot"_s, 72}})
                  .text,
              u"https://www.eastbaytransit.gov/2025/03/17/harbour-road-bike-lane-pilot"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"https://en.wikiatlas.org/blog/2024/1"_s, 30},
                                              {u"1"_s, 80},
                                              {u"/printer-driver-not-found"_s, 40},
                                              {u"?id=18423"_s, 60}})
                  .text,
              u"https://en.wikiatlas.org/blog/2024/11/printer-driver-not-found?id=18423"_s);
    EXPECT_EQ(
        TextRecognizer::keptWords(Words{{u"https://recipes."_s, 30}, {u"hearthandhome.net/baking/bread"_s, 70}}).text,
        u"https://recipes.hearthandhome.net/baking/bread"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"https://foru"_s, 30}, {u"m.quillandink.de/t/1"_s, 70}}).text,
              u"https://forum.quillandink.de/t/1"_s);
    // but a number after one is not, nor is a word, nor another address.
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"https://example.com."_s, 60}, {u"docs.example.org"_s, 90}}).text,
              u"https://example.com. docs.example.org"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"http://localhost"_s, 60}, {u"example.org/x"_s, 90}}).text,
              u"http://localhost example.org/x"_s);
    EXPECT_EQ(
        TextRecognizer::keptWords(Words{{u"https://shop.example.com/item/42"_s, 90}, {u"24"_s, 95}, {u"hours"_s, 95}})
            .text,
        u"https://shop.example.com/item/42 24 hours"_s);
}

TEST(DoubtfulWords, APieceAfterAnAddressIsJoinedOnlyWithNoBlankBeforeIt)
{
    // Split by the engine where the screen shows no blank: one address.
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"https://shop.example.com/page"_s, 70}, {u"?id=2"_s, 60, false}}).text,
              u"https://shop.example.com/page?id=2"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"https://shop.example.com/a?b=1"_s, 70}, {u"&c=2"_s, 60, false}}).text,
              u"https://shop.example.com/a?b=1&c=2"_s);
    // A blank on the screen: words of their own.
    EXPECT_EQ(TextRecognizer::keptWords(
                  Words{{u"xdg-open"_s, 90}, {u"https://docs.example.org/setup"_s, 80, true}, {u"&"_s, 90, true}})
                  .text,
              u"xdg-open https://docs.example.org/setup &"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"git"_s, 95},
                                              {u"clone"_s, 95, true},
                                              {u"https://github.com/user/repo.git"_s, 80, true},
                                              {u"/home/user/repo"_s, 85, true}})
                  .text,
              u"git clone https://github.com/user/repo.git /home/user/repo"_s);
    // A monospaced font's gaps around a narrow sign, where the screen shows
    // no blank; with one, or not known to have none, the words stay apart.
    EXPECT_EQ(
        TextRecognizer::keptWords(Words{{u"SMTP_URL='smtps:"_s, 70}, {u"//mail.tidewatch.net:465'"_s, 70, false}}).text,
        u"SMTP_URL='smtps://mail.tidewatch.net:465'"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"https://github.com/harbourlabs/tidewatch."_s, 80},
                                              {u"git"_s, 90, false},
                                              {u"/home/mara"_s, 90, true}})
                  .text,
              u"https://github.com/harbourlabs/tidewatch.git /home/mara"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"Go"_s, 95},
                                              {u"to"_s, 95, true},
                                              {u"https://example.com."_s, 80, true},
                                              {u"Then"_s, 95, true},
                                              {u"sign"_s, 95, true}})
                  .text,
              u"Go to https://example.com. Then sign"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"broker:"_s, 90}, {u"mqtt://broker.tidewatch.net"_s, 80, false}}).text,
              u"broker: mqtt://broker.tidewatch.net"_s);
    EXPECT_EQ(TextRecognizer::keptWords(Words{{u"https://example.com/docs."_s, 80}, {u"Next"_s, 95}}).text,
              u"https://example.com/docs. Next"_s);
    // The pieces of an address the engine split at a digit or a host's dot
    // are joined as they were.
    EXPECT_EQ(
        TextRecognizer::keptWords(Words{{u"https://recipes."_s, 30}, {u"hearthandhome.net/bread"_s, 70, true}}).text,
        u"https://recipes.hearthandhome.net/bread"_s);
}

TEST(DoubtfulWords, AnAddressOnAScreenKeepsTheBlanksBesideIt)
{
    Reading reading;
    const QString lines[] = {u"$ xdg-open https://docs.harbourgazette.com/setup &"_s,
                             u"$ git clone https://github.com/harbourlabs/tidewatch.git /srv/mara/projects"_s,
                             u"Open https://shop.harbourgazette.com/cart?item=42 or #orders"_s};
    for (const QString& family : {u"DejaVu Sans Mono"_s, u"Inter"_s}) {
        for (const int pixels : {15, 30}) {
            QImage image(1400 * pixels / 15, 40 * pixels / 15 * int(std::size(lines)) + 40, QImage::Format_RGB32);
            image.fill(QColor(0x12, 0x12, 0x14));
            QPainter painter(&image);
            QFont font(family);
            font.setPixelSize(pixels);
            painter.setFont(font);
            painter.setPen(QColor(0xE5, 0xE5, 0xE5));
            for (size_t i = 0; i < std::size(lines); ++i)
                painter.drawText(QPoint(pixels, int(40 * pixels / 15 * (i + 1))), lines[i]);
            painter.end();
            const QString text = textOf(reading.reader.read(image));
            SCOPED_TRACE(u"%1 at %2 px"_s.arg(family).arg(pixels).toStdString());
            for (const QString& line : lines)
                EXPECT_TRUE(text.contains(line.sliced(2))) << text.toStdString();
        }
    }

    // Names with a dot are no address, nor are scraps that look like one.
    for (const QString& word :
         {u"utils.js"_s, u"json.load(handle)"_s, u"v3.pdf"_s, u"eeee.com/eeee"_s, u"ee.ee/eee"_s, u"Mr.Smith"_s})
        EXPECT_FALSE(TextRecognizer::looksLikeAddress(word)) << word.toStdString();
}

TEST(DoubtfulWords, TheSchemeOfAnAddressIsReadAsWrittenHoweverTheEngineMisreadIt)
{
    const QString rest = u"shop.copperkettle.com/products/enamel-kettle"_s;
    const std::pair<QString, QString> misread[] = {
        {u"hittps://"_s, u"https://"_s}, {u"Nhitps://"_s, u"https://"_s}, {u"hitps:/"_s, u"https://"_s},
        {u"(hitps:/"_s, u"(https://"_s}, {u"htps://"_s, u"https://"_s},   {u"hitp://"_s, u"http://"_s},
    };
    // The line of an address bar read wholly, the address too long for a
    // word and doubted, with its slashes misread.
    const QString bar = TextRecognizer::keptWords(Words{{u"<€"_s, 54},
                                                        {u"©"_s, 61},
                                                        {u"—"_s, 0},
                                                        {u"htps:i/piog.saltmarshkitchen.com/wikithow-to-export"_s, 14}})
                            .text;
    EXPECT_TRUE(bar.endsWith(u" https://piog.saltmarshkitchen.com/wikithow-to-export"_s)) << bar.toStdString();
    for (const auto& [scheme, written] : misread)
        EXPECT_EQ(TextRecognizer::keptWords(Words{{u"@"_s, 12}, {scheme + rest, 20}}).text.toStdString(),
                  (written + rest).toStdString());
    // Other schemes, a link defanged on purpose, and the signs before a
    // scheme stay as they are read.
    for (const QString& scheme :
         {u"ftp://"_s, u"hxxps://"_s, u"chrome://"_s, u"file:///"_s, u"tcp://"_s, u"rtmp://"_s, u"smtp://"_s,
          u"smtps://"_s, u"nntp://"_s, u"tftp://"_s, u"help:/"_s, u"(https://"_s, u"\"https://"_s, u"/https://"_s})
        EXPECT_EQ(TextRecognizer::keptWords(Words{{scheme + rest, 80}}).text.toStdString(),
                  (scheme + rest).toStdString());
}

TEST(DoubtfulWords, PhotographsAndWallpapersGiveNoText)
{
    Workers::Pool pool(u"analysis"_s, 4, true);
    Reading shared(&pool, 4);
    MediaGenerator generator(11);
    const QImage pictures[] = {generator.noisyPhoto({1200, 900}), generator.photo({800, 600}),
                               generator.wallpaper({1024, 1024}, MediaGenerator::Wallpaper::flatShapes),
                               generator.wallpaper({1024, 512}, MediaGenerator::Wallpaper::dotPattern),
                               generator.wallpaper({1024, 1024}, MediaGenerator::Wallpaper::gridPattern)};
    for (const QImage& picture : pictures) {
        SCOPED_TRACE(PageReader::isPhotograph(picture) ? "a photograph" : "read as a screen");
        const TextRecognizer::Result result = shared.reader.read(picture);
        EXPECT_EQ(result.failure, TextRecognizer::Result::Failure::none);
        EXPECT_EQ(textOf(result).toStdString(), "");
    }
    pool.waitForDone();
}
