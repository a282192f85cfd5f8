#include "library/CollectionService.h"

#include "core/Clock.h"
#include "core/PathUtils.h"

#include <QCoreApplication>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr QStringView kWwwPrefix = u"www.";
const QString kFolderLevelSeparator = u" \u203A "_s;

// Calendar days are counted on the zone's wall clock, as the user's calendar
// shows them, so a 23- or 25-hour day around a daylight-saving change is still
// one day. Dates kept in local time are read as they stand when the zone is
// the system's: converting each file's date to an instant costs more than all
// the rest of a build.
class WallClock
{
public:
    explicit WallClock(const QTimeZone& zone)
        : m_zone(zone.isValid() ? zone : QTimeZone::systemTimeZone())
        , m_isSystemZone(m_zone == QTimeZone::systemTimeZone())
    {}

    const QTimeZone& zone() const { return m_zone; }

    QDate dateOf(const QDateTime& date) const
    {
        if (!date.isValid())
            return {};
        return isLocal(date) ? date.date() : date.toTimeZone(m_zone).date();
    }

    // Milliseconds on a continuous wall-clock scale: equal calendar dates and
    // times give equal positions, whatever the offset from UTC.
    std::optional<qint64> positionOf(const QDateTime& date) const
    {
        if (!date.isValid())
            return std::nullopt;
        if (isLocal(date))
            return position(date.date(), date.time());
        const QDateTime there = date.toTimeZone(m_zone);
        return position(there.date(), there.time());
    }

    static qint64 position(const QDate& date, const QTime& time)
    {
        return date.toJulianDay() * kMsPerDay + time.msecsSinceStartOfDay();
    }

private:
    static constexpr qint64 kMsPerDay = 86'400'000;

    bool isLocal(const QDateTime& date) const { return m_isSystemZone && date.timeSpec() == Qt::LocalTime; }

    QTimeZone m_zone;
    bool m_isSystemZone = false;
};

// "Today" and "Yesterday" answer for the day the clock shows when they are
// tested, not for the build's day. A gallery tests every file in a row, so the
// day is kept until the clock leaves it.
class CurrentDay
{
public:
    explicit CurrentDay(WallClock clock)
        : m_clock(std::move(clock))
    {}

    QDate today() const
    {
        const qint64 nowMs = Clock::nowMSecsSinceEpoch();
        std::lock_guard lock(m_mutex);
        if (!m_today.isValid() || nowMs < m_startMs || nowMs >= m_endMs) {
            m_today = QDateTime::fromMSecsSinceEpoch(nowMs, m_clock.zone()).date();
            m_startMs = m_today.startOfDay(m_clock.zone()).toMSecsSinceEpoch();
            m_endMs = m_today.addDays(1).startOfDay(m_clock.zone()).toMSecsSinceEpoch();
        }
        return m_today;
    }

    bool isDaysAgo(const QDateTime& date, int days) const
    {
        const QDate day = m_clock.dateOf(date);
        return day.isValid() && day == today().addDays(-days);
    }

private:
    WallClock m_clock;
    mutable std::mutex m_mutex;
    mutable QDate m_today;
    mutable qint64 m_startMs = 0;
    mutable qint64 m_endMs = 0;
};

SmartCollection makeCollection(QString name, CollectionType type, const char16_t* icon, SystemColor color,
                               qint64 itemCount, SmartCollection::Predicate predicate)
{
    return SmartCollection{.id = QUuid::createUuid(),
                           .name = std::move(name),
                           .type = type,
                           .icon = QString::fromUtf16(icon),
                           .color = color,
                           .itemCount = itemCount,
                           .predicate = std::move(predicate)};
}

// Whole calendar days from a file's date to the build time stay below `bound`
// exactly when the file is later than the same wall-clock time `bound` days
// before the build, so one comparison per file replaces a calendar difference.
SmartCollection recentWindow(const QString& name, const char16_t* icon, SystemColor color, const WallClock& clock,
                             const QDateTime& now, int bound)
{
    const QDateTime there = now.toTimeZone(clock.zone());
    const qint64 cutoff = WallClock::position(there.date().addDays(-bound), there.time());
    return makeCollection(name, CollectionType::recap, icon, color, 0, [clock, cutoff](const Screenshot& s) {
        const std::optional<qint64> position = clock.positionOf(s.dateCreated);
        return position && *position > cutoff;
    });
}

const QRegularExpression& hostPattern()
{
    static const QRegularExpression pattern(u"^[a-zA-Z0-9.-]+\\.[a-zA-Z]{2,}$"_s);
    return pattern;
}

bool isWebHost(const QString& host)
{
    return host.size() >= 4 && host.contains(u'.') && hostPattern().match(host).hasMatch();
}

bool linksToHost(const Screenshot& screenshot, const QString& host)
{
    if (!screenshot.detectedUrls)
        return false;
    return std::any_of(screenshot.detectedUrls->cbegin(), screenshot.detectedUrls->cend(),
                       [&host](const QUrl& url) { return CollectionService::normalizedHost(url) == host; });
}

// The distinct web hosts a screenshot links to; the same host twice in one
// screenshot still makes it one member of that host's collection.
QStringList webHostsOf(const Screenshot& screenshot, QHash<QString, bool>& verdicts)
{
    QStringList hosts;
    for (const QUrl& url : *screenshot.detectedUrls) {
        const QString host = CollectionService::normalizedHost(url);
        if (host.isEmpty() || hosts.contains(host))
            continue;
        auto verdict = verdicts.find(host);
        if (verdict == verdicts.end())
            verdict = verdicts.insert(host, isWebHost(host));
        if (*verdict)
            hosts.append(host);
    }
    return hosts;
}

QStringView trimmedSlashes(QStringView text)
{
    while (text.startsWith(u'/'))
        text = text.mid(1);
    while (text.endsWith(u'/'))
        text.chop(1);
    return text;
}

// The folder of a file relative to the monitored folder ("Work/2024"); empty
// for a file directly inside it or anywhere outside it.
QStringView relativeFolder(QStringView filePath, QStringView monitoredFolder)
{
    if (!isInside(filePath, monitoredFolder))
        return {};
    const QStringView rest = filePath.mid(monitoredFolder.size());
    const qsizetype lastSlash = rest.lastIndexOf(u'/');
    if (lastSlash < 0)
        return {};
    return trimmedSlashes(rest.left(lastSlash));
}

SmartCollection folderCollection(const QString& folder, qint64 count, const QString& monitoredFolder)
{
    QString name = folder;
    name.replace(u'/', kFolderLevelSeparator);
    return makeCollection(std::move(name), CollectionType::folder, u"folder.fill", SystemColor::yellow, count,
                          [folder, monitoredFolder](const Screenshot& s) {
                              return relativeFolder(s.filePath, monitoredFolder) == folder;
                          });
}

void appendBigEndian(QByteArray& bytes, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xFF));
}
} // namespace

QList<SmartCollection> CollectionService::generateCollections(const QList<Screenshot>& screenshots,
                                                              const QString& monitoredPath) const
{
    return generateCollections(screenshots, BuildContext{monitoredPath, Clock::now()});
}

QList<SmartCollection> CollectionService::generateCollections(const QList<Screenshot>& screenshots,
                                                              const BuildContext& context) const
{
    QList<SmartCollection> collections = recapCollections(screenshots, context.now, context.timeZone);
    if (std::optional<SmartCollection> videos = videosCollection(screenshots))
        collections.append(std::move(*videos));
    collections.append(domainCollections(screenshots));
    collections.append(folderCollections(screenshots, context.monitoredPath));
    collections.append(userTagCollections(screenshots));
    return collections;
}

QList<SmartCollection> CollectionService::recapCollections(const QList<Screenshot>& screenshots, const QDateTime& now,
                                                           const QTimeZone& timeZone) const
{
    const WallClock clock(timeZone);
    const QDateTime buildTime = now.isValid() ? now : Clock::now();
    const QDate today = buildTime.toTimeZone(clock.zone()).date();
    const QDate yesterday = today.addDays(-1);
    bool hasToday = false;
    bool hasYesterday = false;
    for (const Screenshot& screenshot : screenshots) {
        const QDate day = clock.dateOf(screenshot.dateCreated);
        hasToday = hasToday || day == today;
        hasYesterday = hasYesterday || day == yesterday;
        if (hasToday && hasYesterday)
            break;
    }

    QList<SmartCollection> collections;
    const auto currentDay = std::make_shared<const CurrentDay>(clock);
    if (hasToday)
        collections.append(
            makeCollection(u"Today"_s, CollectionType::recap, u"sun.max.fill", SystemColor::orange, 0,
                           [currentDay](const Screenshot& s) { return currentDay->isDaysAgo(s.dateCreated, 0); }));
    if (hasYesterday)
        collections.append(
            makeCollection(u"Yesterday"_s, CollectionType::recap, u"clock.arrow.circlepath", SystemColor::blue, 0,
                           [currentDay](const Screenshot& s) { return currentDay->isDaysAgo(s.dateCreated, 1); }));
    // A file exactly 7 (or 30) whole days old still counts: the bounds are 8 and 31.
    collections.append(recentWindow(u"Last 7 Days"_s, u"calendar", SystemColor::purple, clock, buildTime, 8));
    collections.append(
        recentWindow(u"Last 30 Days"_s, u"calendar.badge.clock", SystemColor::pink, clock, buildTime, 31));
    return collections;
}

std::optional<SmartCollection> CollectionService::videosCollection(const QList<Screenshot>& screenshots) const
{
    if (std::none_of(screenshots.cbegin(), screenshots.cend(), [](const Screenshot& s) { return s.isVideo(); }))
        return std::nullopt;
    return makeCollection(u"Videos"_s, CollectionType::smart, u"play.tv.fill", SystemColor::cyan, 0,
                          [](const Screenshot& s) { return s.isVideo(); });
}

QList<SmartCollection> CollectionService::domainCollections(const QList<Screenshot>& screenshots) const
{
    if (!hostPattern().isValid())
        return {};

    // Hosts repeat across thousands of files; each is judged once per build.
    QHash<QString, bool> verdicts;
    QHash<QString, qint64> counts;
    for (const Screenshot& screenshot : screenshots) {
        if (!screenshot.detectedUrls)
            continue;
        for (const QString& host : webHostsOf(screenshot, verdicts))
            ++counts[host];
    }

    std::vector<std::pair<QString, qint64>> ranked;
    ranked.reserve(size_t(counts.size()));
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        ranked.emplace_back(it.key(), it.value());
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });

    QList<SmartCollection> collections;
    collections.reserve(qsizetype(ranked.size()));
    for (const auto& [host, count] : ranked)
        collections.append(makeCollection(host, CollectionType::link, u"link", SystemColor::indigo, count,
                                          [host](const Screenshot& s) { return linksToHost(s, host); }));
    return collections;
}

QList<SmartCollection> CollectionService::folderCollections(const QList<Screenshot>& screenshots,
                                                            const QString& monitoredPath) const
{
    const QString monitoredFolder = withoutTrailingSlashes(monitoredPath).toString();
    if (monitoredFolder.isEmpty())
        return {};

    QHash<QString, qint64> counts;
    for (const Screenshot& screenshot : screenshots) {
        const QStringView folder = relativeFolder(screenshot.filePath, monitoredFolder);
        if (!folder.isEmpty())
            ++counts[folder.toString()];
    }

    QStringList folders = counts.keys();
    std::sort(folders.begin(), folders.end());
    QList<SmartCollection> collections;
    collections.reserve(folders.size());
    for (const QString& folder : folders)
        collections.append(folderCollection(folder, counts.value(folder), monitoredFolder));
    return collections;
}

QList<SmartCollection> CollectionService::userTagCollections(const QList<Screenshot>& screenshots) const
{
    QMap<QString, QSet<QUuid>> membersByTag;
    for (const Screenshot& screenshot : screenshots) {
        for (const QString& tag : screenshot.customTags) {
            const QString trimmed = tag.trimmed();
            if (!trimmed.isEmpty())
                membersByTag[trimmed].insert(screenshot.id);
        }
    }

    QList<SmartCollection> collections;
    collections.reserve(membersByTag.size());
    for (auto it = membersByTag.cbegin(); it != membersByTag.cend(); ++it) {
        const QSet<QUuid> members = it.value();
        SmartCollection collection =
            makeCollection(it.key(), CollectionType::userTag, u"tag.fill", SystemColor::orange, members.size(),
                           [members](const Screenshot& s) { return members.contains(s.id); });
        // Stable, so a tag the user has open stays open across rebuilds.
        collection.id = makeStableUUID(it.key(), u"UserTag"_s);
        collections.append(std::move(collection));
    }
    return collections;
}

QUuid CollectionService::makeStableUUID(const QString& text, const QString& salt)
{
    quint64 hash = 5381;
    for (const char byte : (text + salt).toUtf8())
        hash = hash * 33 + quint8(byte);

    const auto low = quint32(hash);
    const auto high = quint32(hash >> 32);
    QByteArray bytes;
    bytes.reserve(16);
    appendBigEndian(bytes, low);
    appendBigEndian(bytes, high);
    appendBigEndian(bytes, low ^ 0x5A5A5A5Au);
    appendBigEndian(bytes, high ^ 0xA5A5A5A5u);
    return QUuid::fromRfc4122(bytes);
}

QString CollectionService::normalizedHost(const QUrl& url)
{
    QString host = url.host().toLower();
    if (host.startsWith(kWwwPrefix))
        host.remove(0, kWwwPrefix.size());
    return host;
}
