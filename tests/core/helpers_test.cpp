#include "core/ByteCount.h"
#include "core/Console.h"
#include "core/DateText.h"
#include "core/FileIdentity.h"
#include "core/Graphemes.h"
#include "core/PathUtils.h"
#include "core/Uuid.h"
#include "support/Capture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include <sys/stat.h>
#include <vector>

using namespace Qt::StringLiterals;

TEST(Uuid, TextIsUpperCaseWithoutBracesAndParsesBack)
{
    const QUuid id = QUuid::fromString(u"{6ba7b810-9dad-11d1-80b4-00c04fd430c8}"_s);
    EXPECT_EQ(uuidText(id), u"6BA7B810-9DAD-11D1-80B4-00C04FD430C8"_s);
    EXPECT_EQ(parseUuid(uuidText(id)), id);
    EXPECT_EQ(parseUuid(u"6ba7b810-9dad-11d1-80b4-00c04fd430c8"_s), id);
    for (int i = 0; i < 1000; ++i) {
        const QUuid random = QUuid::createUuid();
        ASSERT_EQ(uuidText(random), random.toString(QUuid::WithoutBraces).toUpper());
    }
}

TEST(Uuid, RejectsAnythingButTheBareForm)
{
    EXPECT_FALSE(parseUuid(u""_s));
    EXPECT_FALSE(parseUuid(u"{6ba7b810-9dad-11d1-80b4-00c04fd430c8}"_s));
    EXPECT_FALSE(parseUuid(u" 6ba7b810-9dad-11d1-80b4-00c04fd430c"_s));
    EXPECT_FALSE(parseUuid(u"6ba7b810-9dad-11d1-80b4-00c04fd430cz"_s));
    EXPECT_FALSE(parseUuid(u"not a uuid at all, but 36 chars long"_s));
    EXPECT_EQ(parseUuid(u"00000000-0000-0000-0000-000000000000"_s), QUuid());
}

TEST(IsInside, FolderItselfAndDescendantsBelong)
{
    EXPECT_TRUE(isInside(u"/a/Desktop", u"/a/Desktop"));
    EXPECT_TRUE(isInside(u"/a/Desktop/x.png", u"/a/Desktop"));
    EXPECT_TRUE(isInside(u"/a/Desktop/sub/deeper/z.png", u"/a/Desktop"));
    EXPECT_TRUE(isInside(u"/a/Desktop/x.png", u"/a/Desktop/"));
    EXPECT_TRUE(isInside(u"/a/Desktop", u"/a/Desktop//"));
    EXPECT_TRUE(isInside(u"/anything/at/all", u"/"));
}

TEST(IsInside, SiblingsWithACommonPrefixAndOtherCasesDoNot)
{
    EXPECT_FALSE(isInside(u"/a/Desktop2/x.png", u"/a/Desktop"));
    EXPECT_FALSE(isInside(u"/a/Desktopx/y.png", u"/a/Desktop"));
    EXPECT_FALSE(isInside(u"/a/Desktop_x", u"/a/Desktop"));
    EXPECT_FALSE(isInside(u"/a/desktop/x.png", u"/a/Desktop"));
    EXPECT_FALSE(isInside(u"/a", u"/a/Desktop"));
    EXPECT_FALSE(isInside(u"/a/Desktop/x.png", u""));
}

TEST(PathParts, ParentAndLastComponentSplitAtTheLastSeparator)
{
    EXPECT_EQ(parentFolder(u"/a/b/shot.png"), u"/a/b");
    EXPECT_EQ(lastPathComponent(u"/a/b/shot.png"), u"shot.png");
    EXPECT_EQ(parentFolder(u"/shot.png"), u"/");
    EXPECT_EQ(parentFolder(u"shot.png"), u"/");
    EXPECT_EQ(lastPathComponent(u"shot.png"), u"shot.png");
    EXPECT_EQ(lastPathComponent(u"/a/b/"), u"");
    EXPECT_EQ(withoutTrailingSlashes(u"/a/b//"), u"/a/b");
    EXPECT_EQ(withoutTrailingSlashes(u"///"), u"/");
    EXPECT_EQ(withoutTrailingSlashes(u""), u"");
}

TEST(PathExtension, LastDotOfTheNameOnly)
{
    EXPECT_EQ(pathExtension(u"/a/b/shot.PNG"), u"PNG"_s);
    EXPECT_EQ(pathExtension(u"/a/b/archive.tar.gz"), u"gz"_s);
    EXPECT_EQ(pathExtension(u"/a/b.d/name"), QString());
    EXPECT_EQ(pathExtension(u"/a/b/.mov"), QString());
    EXPECT_EQ(pathExtension(u"/a/b/trailing."), QString());
}

TEST(ByteCount, FileStyleInDecimalUnits)
{
    const struct
    {
        qint64 bytes;
        const char* text;
    } cases[] = {
        {0, "Zero KB"},
        {1, "1 byte"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {1500, "2 KB"},
        {999'499, "999 KB"},
        {999'500, "1 MB"}, // never "1000 KB"
        {1'250'000, "1.3 MB"},
        {2'000'000, "2 MB"},
        {999'960'000, "1 GB"},
        {1'234'567'890, "1.23 GB"},
        {5'000'000'000'000, "5 TB"},
        {-2000, "-2 KB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatFileByteCount(c.bytes), QString::fromUtf8(c.text)) << c.bytes;
}

TEST(ByteCount, KilobytesToGigabytesOnly)
{
    const struct
    {
        qint64 bytes;
        const char* text;
    } cases[] = {
        {0, "Zero KB"},
        {1, "1 KB"}, // a file with bytes is never "0 KB"
        {400, "1 KB"},
        {999, "1 KB"},
        {1'500, "2 KB"},
        {999'500, "1 MB"},
        {1'234'567'890, "1.23 GB"},
        {5'000'000'000'000, "5,000 GB"},
        {-1'500'000, "-1.5 MB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatFileByteCount(c.bytes, ByteUnits::kilobytesToGigabytes), QString::fromUtf8(c.text)) << c.bytes;
}

TEST(DateText, ShortAndMediumStylesInTheLocale)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7));
    EXPECT_EQ(DateText::shortDateAndTime(when, english), u"3/5/24, 2:07 PM"_s);
    EXPECT_EQ(DateText::mediumDateAndTime(when, english), u"Mar 5, 2024 at 2:07 PM"_s);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(DateText::shortDateAndTime(when, german), u"05.03.24, 14:07"_s);
    EXPECT_EQ(DateText::mediumDateAndTime(when, german), u"5. M\u00e4rz 2024, 14:07"_s);
    EXPECT_EQ(DateText::mediumDateAndTime(when, QLocale(QLocale::English, QLocale::UnitedKingdom)),
              u"5 Mar 2024 at 14:07"_s);
}

// Screens show hours and minutes only, whatever the locale's short format
// holds: the C locale (what a bare LANG=C.UTF-8 session gets) writes seconds.
TEST(DateText, TimesNeverShowSeconds)
{
    const QDateTime when(QDate(2025, 8, 27), QTime(5, 15, 42, 250));
    const struct
    {
        QLocale locale;
        const char* time;
        const char* medium;
    } cases[] = {
        {QLocale::c(), "05:15", "27 Aug 2025, 05:15"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "5:15 AM", "Aug 27, 2025 at 5:15 AM"},
        {QLocale(QLocale::German, QLocale::Germany), "05:15", "27. Aug. 2025, 05:15"},
        {QLocale(QLocale::Finnish, QLocale::Finland), "5.15", "27. elok. 2025, 5.15"},
        {QLocale(QLocale::Japanese, QLocale::Japan), "5:15", "2025\u5e748\u670827\u65e5, 5:15"},
    };
    for (const auto& c : cases) {
        const QString name = c.locale.name();
        EXPECT_EQ(DateText::shortTime(when, c.locale), QString::fromUtf8(c.time)) << name.toStdString();
        EXPECT_EQ(DateText::mediumDateAndTime(when, c.locale), QString::fromUtf8(c.medium)) << name.toStdString();
        EXPECT_FALSE(DateText::shortDateAndTime(when, c.locale).contains(u"42"_s)) << name.toStdString();
    }
}

// The seconds go with the separator before them (after them when they come
// first); quoted text and the other fields stay as the locale wrote them.
TEST(DateText, SecondsLeaveTheFormatWithTheirSeparator)
{
    const struct
    {
        const char* format;
        const char* expected;
    } cases[] = {
        {"HH:mm:ss", "HH:mm"},        {"h:mm:ss AP", "h:mm AP"},
        {"AP h:mm:ss", "AP h:mm"},    {"HH.mm.ss", "HH.mm"},
        {"HH:mm:ss.zzz", "HH:mm"},    {"ss:mm", "mm"},
        {"HH:mm 'ss'", "HH:mm 'ss'"}, {"H:mm:ss t", "H:mm t"},
        {"HH:mm", "HH:mm"},           {"h 'o''clock' mm:s", "h 'o''clock' mm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateText::withoutSeconds(QString::fromUtf8(c.format)), QString::fromUtf8(c.expected)) << c.format;
}

TEST(Graphemes, CountsAndCutsUserPerceivedCharacters)
{
    const QString family = u"\U0001F468\u200D\U0001F469\u200D\U0001F467"_s; // one emoji, five code points
    const QString accented = u"e\u0301"_s;                                  // e + combining acute
    const QString text = u"ab"_s + family + accented + u"z"_s;
    EXPECT_EQ(graphemeLength(text), 5);
    EXPECT_EQ(graphemeLength(QString()), 0);
    EXPECT_EQ(graphemePrefix(text, 3), u"ab"_s + family);
    EXPECT_EQ(graphemePrefix(text, 4), u"ab"_s + family + accented);
    EXPECT_EQ(graphemePrefix(text, 99), text);
    EXPECT_EQ(graphemePrefix(text, 0), QString());
}

TEST(Console, LinesFromManyThreadsArriveWhole)
{
    ConsoleCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                Console::printLine(u"✅ thread %1 line %2"_s.arg(t).arg(i));
        });
    }
    for (auto& thread : threads)
        thread.join();
    const QStringList lines = capture.lines();
    ASSERT_EQ(lines.size(), 400);
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith(u"✅ thread "_s)) << line.toStdString();
}

// Two screenshots of one window and one size share their first bytes; the
// last ones (a clock, a status bar) tell them apart. A FIFO put in a file's
// place is no file to wait on.
TEST(FileIdentity, FingerprintTellsFilesOfOneSizeApartAndNeverWaitsForAFifo)
{
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    };
    const QByteArray window(200'000, 'w');
    const QString first = write(u"first.png"_s, window + "10:41");
    const QString second = write(u"second.png"_s, window + "10:42");
    const QString copy = write(u"copy.png"_s, window + "10:41");
    const QString small = write(u"small.png"_s, "10:41");

    const quint64 fingerprint = FileIdentity::fingerprintOf(first);
    EXPECT_NE(fingerprint, 0u);
    EXPECT_NE(FileIdentity::fingerprintOf(second), fingerprint);
    EXPECT_EQ(FileIdentity::fingerprintOf(copy), fingerprint);
    EXPECT_NE(FileIdentity::fingerprintOf(small), 0u);
    EXPECT_NE(FileIdentity::fingerprintOf(small), fingerprint);

    const QString fifo = dir.filePath(u"fifo.png"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    EXPECT_EQ(FileIdentity::fingerprintOf(fifo), 0u);
    EXPECT_EQ(FileIdentity::fingerprintOf(dir.filePath(u"missing.png"_s)), 0u);
}

// At one name, the same size and modification time are the same file unless
// its bytes say otherwise, and the bytes are read only where the inode, birth
// or change time disagree with the record: the check of a large library at
// each start costs a stat per file.
TEST(FileIdentity, AtOneNameOnlyTheBytesTellAnotherFileOfTheSameSizeAndDate)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"shot.png"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the shown bytes");
    file.close();
    const FileIdentity now = *FileIdentity::of(path);
    ASSERT_NE(now.changedNs, 0);
    const quint64 shown = FileIdentity::fingerprintOf(path);
    const quint64 other = shown + 1; // of bytes the file does not hold
    using Change = std::function<void(FileIdentity&)>;
    const auto compared = [&](quint64 fingerprint, const Change& change) {
        FileIdentity recorded = now;
        recorded.fingerprint = fingerprint;
        change(recorded);
        return recorded.comparedAt(path, now);
    };
    using Sameness = FileIdentity::Sameness;
    FileIdentity withShown = now;
    withShown.fingerprint = shown;

    EXPECT_EQ(compared(other, [](FileIdentity&) {}).sameness, Sameness::unchanged) << "the bytes were read";
    for (const Change& restamped :
         {Change([](FileIdentity& r) { ++r.inode; }), Change([](FileIdentity& r) { r.birthNs += 1000; }),
          Change([](FileIdentity& r) { r.changedNs -= 1000; })}) {
        const FileIdentity::Comparison copy = compared(shown, restamped);
        EXPECT_EQ(copy.sameness, Sameness::sameFile);
        EXPECT_EQ(copy.recorded, withShown);
        EXPECT_EQ(compared(other, restamped).sameness, Sameness::otherFile);
        // A row that recorded no fingerprint: the dates stand, and one is recorded now.
        EXPECT_EQ(compared(0, restamped).sameness, Sameness::sameFile);
        EXPECT_EQ(compared(0, restamped).recorded.fingerprint, shown);
    }
    // A row of an earlier version records the times it lacks, without reading.
    const FileIdentity::Comparison earlier = compared(other, [](FileIdentity& r) { r.birthNs = r.changedNs = 0; });
    EXPECT_EQ(earlier.sameness, Sameness::sameFile);
    EXPECT_EQ(earlier.recorded.fingerprint, other);
    // Another size or date: saved again, and the old bytes' fingerprint goes.
    const FileIdentity::Comparison saved = compared(shown, [](FileIdentity& r) { r.modifiedMs -= 1000; });
    EXPECT_EQ(saved.sameness, Sameness::savedAgain);
    EXPECT_EQ(saved.recorded.fingerprint, now.birthNs == 0 ? shown : 0u);
}
