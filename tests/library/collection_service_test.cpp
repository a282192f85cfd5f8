#include "core/Clock.h"
#include "core/Uuid.h"
#include "library/CollectionService.h"

#include <QFuture>
#include <QtConcurrent>

#include <gtest/gtest.h>

#include <ctime>

using namespace Qt::StringLiterals;

namespace {
const QString kDesktop = u"/home/user/Desktop"_s;
const QTimeZone kBerlin("Europe/Berlin");

Screenshot shot(const QString& path, const QDateTime& created = QDateTime::currentDateTime())
{
    Screenshot screenshot;
    screenshot.id = QUuid::createUuid();
    screenshot.filePath = path;
    screenshot.filename = path.section(u'/', -1);
    screenshot.dateCreated = created;
    return screenshot;
}

Screenshot linking(const QStringList& urls)
{
    Screenshot screenshot = shot(kDesktop + u"/link.png"_s);
    QList<QUrl> parsed;
    for (const QString& url : urls)
        parsed.append(QUrl(url));
    screenshot.detectedUrls = parsed;
    return screenshot;
}

Screenshot tagged(const QStringList& tags)
{
    Screenshot screenshot = shot(kDesktop + u"/tagged.png"_s);
    screenshot.customTags = tags;
    return screenshot;
}

QDateTime berlin(int year, int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), kBerlin);
}

QStringList names(const QList<SmartCollection>& collections)
{
    QStringList result;
    for (const SmartCollection& collection : collections)
        result.append(collection.name);
    return result;
}

QList<qint64> counts(const QList<SmartCollection>& collections)
{
    QList<qint64> result;
    for (const SmartCollection& collection : collections)
        result.append(collection.itemCount);
    return result;
}

const CollectionService& service()
{
    static const CollectionService instance;
    return instance;
}

// Pins the clock and makes Berlin the system's zone, so dates kept in local
// time (as files and rows give them) are tested as well as zoned ones.
class CollectionServiceAt : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedZone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void TearDown() override
    {
        Clock::setSource({});
        if (m_savedZone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_savedZone);
        tzset();
    }
    void setClock(const QDateTime& now)
    {
        Clock::setSource([now] { return now; });
    }

private:
    QByteArray m_savedZone;
};
} // namespace

TEST(CollectionService, EmptyLibraryHasOnlyTheTwoWindows)
{
    const QList<SmartCollection> collections = service().generateCollections({}, kDesktop);
    ASSERT_EQ(names(collections), (QStringList{u"Last 7 Days"_s, u"Last 30 Days"_s}));
    EXPECT_EQ(collections[0].type, CollectionType::recap);
    EXPECT_EQ(collections[0].icon, u"calendar"_s);
    EXPECT_EQ(collections[0].color, SystemColor::purple);
    EXPECT_EQ(collections[1].icon, u"calendar.badge.clock"_s);
    EXPECT_EQ(collections[1].color, SystemColor::pink);
    EXPECT_EQ(counts(collections), (QList<qint64>{0, 0}));
}

TEST_F(CollectionServiceAt, KindsComeInTheirOrderWithTheirLooks)
{
    setClock(berlin(2024, 7, 3, 15));
    Screenshot rich = shot(kDesktop + u"/Work/clip.MOV"_s, berlin(2024, 7, 3, 14));
    rich.detectedUrls = QList<QUrl>{QUrl(u"https://example.com/a"_s)};
    rich.customTags = {u"Receipts"_s};

    const QList<SmartCollection> collections = service().generateCollections({rich}, kDesktop);
    ASSERT_EQ(names(collections), (QStringList{u"Today"_s, u"Last 7 Days"_s, u"Last 30 Days"_s, u"Videos"_s,
                                               u"example.com"_s, u"Work"_s, u"Receipts"_s}));

    struct Look
    {
        CollectionType type;
        QString icon;
        SystemColor color;
    };
    const QList<Look> looks{{CollectionType::recap, u"sun.max.fill"_s, SystemColor::orange},
                            {CollectionType::recap, u"calendar"_s, SystemColor::purple},
                            {CollectionType::recap, u"calendar.badge.clock"_s, SystemColor::pink},
                            {CollectionType::smart, u"play.tv.fill"_s, SystemColor::cyan},
                            {CollectionType::link, u"link"_s, SystemColor::indigo},
                            {CollectionType::folder, u"folder.fill"_s, SystemColor::yellow},
                            {CollectionType::userTag, u"tag.fill"_s, SystemColor::orange}};
    for (qsizetype i = 0; i < looks.size(); ++i) {
        SCOPED_TRACE(collections[i].name.toStdString());
        EXPECT_EQ(collections[i].type, looks[i].type);
        EXPECT_EQ(collections[i].icon, looks[i].icon);
        EXPECT_EQ(collections[i].color, looks[i].color);
        EXPECT_TRUE(collections[i].contains(rich));
    }
    EXPECT_EQ(counts(collections), (QList<qint64>{0, 0, 0, 0, 1, 1, 1}));

    // Only tag ids are stable; the rest are new on every build.
    const QList<SmartCollection> again = service().generateCollections({rich}, kDesktop);
    EXPECT_NE(again[4].id, collections[4].id);
    EXPECT_EQ(again[6].id, collections[6].id);
}

TEST(CollectionService, VideosByExtensionInAnyCase)
{
    const Screenshot image = shot(kDesktop + u"/capture.png"_s);
    const std::optional<SmartCollection> videos = service().videosCollection({shot(kDesktop + u"/a.mp4"_s)});
    ASSERT_TRUE(videos);
    EXPECT_FALSE(videos->contains(image));
    EXPECT_FALSE(service().videosCollection({image}));
}

TEST(CollectionService, HostsAreNormalisedAndCountedPerScreenshot)
{
    const Screenshot upper = linking({u"http://WWW.Ex.com/a"_s});
    const Screenshot plain = linking({u"https://ex.com/b"_s});
    const Screenshot twice = linking({u"https://ex.com/c"_s, u"https://www.ex.com/d"_s});

    QList<SmartCollection> domains = service().domainCollections({upper, plain});
    ASSERT_EQ(names(domains), QStringList{u"ex.com"_s});
    EXPECT_EQ(domains[0].itemCount, 2);

    // The count is what opening the collection shows: distinct screenshots.
    domains = service().domainCollections({twice});
    ASSERT_EQ(names(domains), QStringList{u"ex.com"_s});
    EXPECT_EQ(domains[0].itemCount, 1);

    EXPECT_TRUE(domains[0].contains(upper));
    EXPECT_TRUE(domains[0].contains(linking({u"ftp://www.EX.COM/file"_s})));
    EXPECT_FALSE(domains[0].contains(linking({u"https://notex.com"_s, u"https://ex.com.evil.org"_s})));
    EXPECT_FALSE(domains[0].contains(shot(kDesktop + u"/none.png"_s)));
}

TEST(CollectionService, OnlyWebHostsGetADomain)
{
    const Screenshot odd = linking({u"http://localhost:8080/x"_s, u"http://a.b/"_s, u"http://192.168.1.10/admin"_s,
                                    u"http://[::1]/"_s, u"mailto:someone@example.org"_s, u"file:///tmp/x.png"_s,
                                    u"http://www.a.b/"_s, u"http://intranet_host.local/"_s});
    EXPECT_TRUE(service().domainCollections({odd}).isEmpty());
}

TEST(CollectionService, DomainsByScreenshotCountThenName)
{
    QList<Screenshot> library;
    for (int i = 0; i < 4; ++i)
        library.append(linking({u"https://big.com/"_s + QString::number(i)}));
    for (int i = 0; i < 3; ++i) {
        library.append(linking({u"https://b-three.com/"_s}));
        library.append(linking({u"https://a-three.com/"_s}));
    }
    // Three links in one screenshot rank like one.
    library.append(linking({u"https://zed.net/1"_s, u"https://zed.net/2"_s, u"https://zed.net/3"_s}));
    library.append(linking({u"https://one.org/"_s}));

    const QList<SmartCollection> domains = service().domainCollections(library);
    EXPECT_EQ(names(domains),
              (QStringList{u"big.com"_s, u"a-three.com"_s, u"b-three.com"_s, u"one.org"_s, u"zed.net"_s}));
    EXPECT_EQ(counts(domains), (QList<qint64>{4, 3, 3, 1, 1}));
}

TEST(CollectionService, SubFoldersRelativeToTheMonitoredFolder)
{
    const Screenshot deep = shot(kDesktop + u"/Work/2024/x.png"_s);
    const Screenshot work = shot(kDesktop + u"/Work/y.png"_s);
    const Screenshot work2 = shot(kDesktop + u"/Work/z.png"_s);
    const Screenshot top = shot(kDesktop + u"/top.png"_s);
    const Screenshot sibling = shot(u"/home/user/Desktop2/s.png"_s);
    const Screenshot outside = shot(u"/home/user/Pictures/Work/2024/x.png"_s);
    const QList<Screenshot> library{deep, work, top, sibling, outside, work2};

    for (const QString& monitored : {kDesktop, kDesktop + u"/"_s}) {
        SCOPED_TRACE(monitored.toStdString());
        const QList<SmartCollection> folders = service().folderCollections(library, monitored);
        ASSERT_EQ(names(folders), (QStringList{u"Work"_s, u"Work \u203A 2024"_s}));
        EXPECT_EQ(counts(folders), (QList<qint64>{2, 1}));

        // Each level holds only its own files.
        EXPECT_TRUE(folders[0].contains(work));
        EXPECT_FALSE(folders[0].contains(deep));
        EXPECT_TRUE(folders[1].contains(deep));
        for (const SmartCollection& folder : folders) {
            EXPECT_FALSE(folder.contains(top));
            EXPECT_FALSE(folder.contains(sibling));
            EXPECT_FALSE(folder.contains(outside));
        }
    }

    // A sibling folder that merely shares the name's beginning is not a sub-folder.
    EXPECT_TRUE(service().folderCollections({sibling, top}, kDesktop).isEmpty());
    EXPECT_TRUE(service().folderCollections(library, QString()).isEmpty());
}

TEST(CollectionService, TagsAreTrimmedCaseSensitiveAndStable)
{
    const Screenshot both = tagged({u"Work"_s, u" Work "_s, u"\n\t"_s, QString()});
    const Screenshot lower = tagged({u"work"_s});
    const Screenshot other = tagged({u"Work\n"_s});

    const QList<SmartCollection> tags = service().userTagCollections({both, lower});
    ASSERT_EQ(names(tags), (QStringList{u"Work"_s, u"work"_s}));
    EXPECT_EQ(counts(tags), (QList<qint64>{1, 1}));
    EXPECT_TRUE(tags[0].contains(both));
    EXPECT_FALSE(tags[0].contains(lower));
    EXPECT_TRUE(tags[1].contains(lower));

    EXPECT_EQ(service().userTagCollections({both, lower, other}).first().itemCount, 2);

    // djb2 of "WorkUserTag" is 0xC0396D2D4029A783; of "workUserTag" 0xC0E78BFDEBC04FA3.
    EXPECT_EQ(uuidText(tags[0].id), u"4029A783-C039-6D2D-1A73-FDD9659CC888"_s);
    EXPECT_EQ(uuidText(tags[1].id), u"EBC04FA3-C0E7-8BFD-B19A-15F965422E58"_s);
}

TEST(CollectionService, StableUuidSpreadsTheHashOverSixteenBytes)
{
    const QByteArray empty = CollectionService::makeStableUUID({}, {}).toRfc4122();
    EXPECT_EQ(empty.toHex(' '), QByteArray("00 00 15 05 00 00 00 00 5a 5a 4f 5f a5 a5 a5 a5"));
    // Hashed over UTF-8: "é" is two bytes.
    EXPECT_EQ(CollectionService::makeStableUUID(u"Café"_s, u"UserTag"_s).toRfc4122().toHex(' '),
              QByteArray("a1 a5 5e b6 b9 12 23 0a fb ff 04 ec 1c b7 86 af"));
}

TEST_F(CollectionServiceAt, WindowsCountCalendarDaysAcrossDaylightSaving)
{
    struct Case
    {
        const char* what;
        QDateTime now;
        QDateTime created;
        int window; // 0: last 7 days, 1: last 30 days
        bool inside;
    };
    const QList<Case> cases{
        {"exactly 7 days", berlin(2024, 5, 8, 9), berlin(2024, 5, 1, 9), 0, true},
        {"exactly 8 days", berlin(2024, 5, 9, 9), berlin(2024, 5, 1, 9), 0, false},
        // Spring forward on 31 March: 8 calendar days are only 191 hours.
        {"8 days over spring", berlin(2024, 4, 1, 12), berlin(2024, 3, 24, 12), 0, false},
        {"7 days 23 h over spring", berlin(2024, 4, 1, 12), berlin(2024, 3, 24, 12, 30), 0, true},
        // Fall back on 27 October: 7 days 23.5 h of clock time are 192.5 hours.
        {"7 days 23.5 h over autumn", berlin(2024, 10, 28, 11, 30), berlin(2024, 10, 20, 12), 0, true},
        {"8 days over autumn", berlin(2024, 10, 28, 11, 30), berlin(2024, 10, 20, 11, 30), 0, false},
        {"exactly 30 days", berlin(2024, 6, 30, 8), berlin(2024, 5, 31, 8), 1, true},
        {"31 days over spring", berlin(2024, 4, 10, 12), berlin(2024, 3, 10, 12), 1, false},
        {"30 days 23 h over spring", berlin(2024, 4, 10, 12), berlin(2024, 3, 10, 12, 1), 1, true},
        {"30 days 23.5 h over autumn", berlin(2024, 11, 10, 11, 30), berlin(2024, 10, 10, 12), 1, true},
        {"in the future", berlin(2024, 5, 1, 9), berlin(2025, 1, 1, 0), 0, true},
        {"in the future", berlin(2024, 5, 1, 9), berlin(2025, 1, 1, 0), 1, true},
        {"no date", berlin(2024, 5, 1, 9), QDateTime(), 0, false},
        {"no date", berlin(2024, 5, 1, 9), QDateTime(), 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setClock(c.now);
        const QList<SmartCollection> zoned = service().recapCollections({}, c.now, kBerlin);
        const QList<SmartCollection> local = service().recapCollections({}, c.now.toLocalTime(), QTimeZone());
        for (const SmartCollection& window : {zoned[c.window], local[c.window]}) {
            ASSERT_EQ(window.name, c.window == 0 ? u"Last 7 Days"_s : u"Last 30 Days"_s);
            // The same instant kept in the zone, in UTC or in local time is the same file.
            EXPECT_EQ(window.contains(shot(kDesktop + u"/a.png"_s, c.created)), c.inside);
            EXPECT_EQ(window.contains(shot(kDesktop + u"/a.png"_s, c.created.toUTC())), c.inside);
            EXPECT_EQ(window.contains(shot(kDesktop + u"/a.png"_s, c.created.toLocalTime())), c.inside);
        }
    }
}

TEST_F(CollectionServiceAt, TodayAndYesterdayFollowTheClock)
{
    // 31 March 2024 has only 23 hours in Berlin.
    const QDateTime now = berlin(2024, 3, 31, 12);
    setClock(now);
    const Screenshot earlyToday = shot(kDesktop + u"/a.png"_s, berlin(2024, 3, 31, 0, 30));
    const Screenshot lateToday = shot(kDesktop + u"/b.png"_s, berlin(2024, 3, 31, 23, 59));
    const Screenshot lateYesterday = shot(kDesktop + u"/c.png"_s, berlin(2024, 3, 30, 23, 59));
    const Screenshot before = shot(kDesktop + u"/d.png"_s, berlin(2024, 3, 29, 23, 59));

    const CollectionService::BuildContext context{kDesktop, now, kBerlin};
    EXPECT_EQ(names(service().generateCollections({before}, context)),
              (QStringList{u"Last 7 Days"_s, u"Last 30 Days"_s}));
    // The clock and the system's zone when the caller gives neither.
    EXPECT_EQ(names(service().generateCollections({before}, kDesktop)),
              (QStringList{u"Last 7 Days"_s, u"Last 30 Days"_s}));
    EXPECT_EQ(names(service().generateCollections({lateYesterday}, context)),
              (QStringList{u"Yesterday"_s, u"Last 7 Days"_s, u"Last 30 Days"_s}));

    const QList<SmartCollection> recaps =
        service().generateCollections({before, lateYesterday, earlyToday, lateToday}, context);
    ASSERT_EQ(names(recaps), (QStringList{u"Today"_s, u"Yesterday"_s, u"Last 7 Days"_s, u"Last 30 Days"_s}));
    const SmartCollection& today = recaps[0];
    const SmartCollection& yesterday = recaps[1];
    EXPECT_TRUE(today.contains(earlyToday));
    EXPECT_TRUE(today.contains(lateToday));
    EXPECT_FALSE(today.contains(lateYesterday));
    EXPECT_FALSE(today.contains(shot(kDesktop + u"/c.png"_s, lateYesterday.dateCreated.toLocalTime())));
    EXPECT_FALSE(today.contains(shot(kDesktop + u"/c.png"_s, lateYesterday.dateCreated.toUTC())));
    EXPECT_TRUE(today.contains(shot(kDesktop + u"/b.png"_s, lateToday.dateCreated.toLocalTime())));
    EXPECT_TRUE(yesterday.contains(lateYesterday));
    EXPECT_FALSE(yesterday.contains(before));
    EXPECT_FALSE(yesterday.contains(earlyToday));

    // A list kept overnight: the day collections move on, the windows do not.
    setClock(berlin(2024, 4, 1, 0, 5));
    EXPECT_FALSE(today.contains(lateToday));
    EXPECT_TRUE(yesterday.contains(earlyToday));
    EXPECT_TRUE(yesterday.contains(lateToday));
    EXPECT_FALSE(yesterday.contains(lateYesterday));
    setClock(berlin(2024, 5, 1, 0));
    EXPECT_TRUE(recaps[2].contains(before));
}

TEST(CollectionService, BuildsConcurrentlyOnWorkerThreads)
{
    QList<Screenshot> library;
    for (int i = 0; i < 400; ++i) {
        Screenshot s = shot(kDesktop + u"/F%1/s%2.png"_s.arg(i % 7).arg(i));
        s.detectedUrls = QList<QUrl>{QUrl(u"https://host%1.com/p"_s.arg(i % 13))};
        s.customTags = {u"tag%1"_s.arg(i % 5)};
        library.append(s);
    }
    const QList<SmartCollection> expected = service().generateCollections(library, kDesktop);

    QList<QFuture<QList<SmartCollection>>> builds;
    for (int i = 0; i < 6; ++i)
        builds.append(QtConcurrent::run([&library] {
            QList<SmartCollection> built = service().generateCollections(library, kDesktop);
            for (const SmartCollection& collection : built)
                for (const Screenshot& s : library)
                    collection.contains(s);
            return built;
        }));
    for (QFuture<QList<SmartCollection>>& build : builds) {
        const QList<SmartCollection> built = build.result();
        EXPECT_EQ(names(built), names(expected));
        EXPECT_EQ(counts(built), counts(expected));
    }
}
