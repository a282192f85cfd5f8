// Day sections: the library grouped by the local calendar day of each file,
// with one formatted title per day. Local dates and comparisons of local
// times are cheap; converting each file's time to an instant is not (every
// conversion asks the system's time zone), so none is made per file.

#include "library/GalleryViewModel.h"

#include <QLocale>

#include <algorithm>
#include <unordered_map>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
struct Group
{
    qint64 julianDay = 0;
    std::vector<qsizetype> members; // indexes into the candidates
};

// "Today", then "Yesterday", then every other day newest first: a day after
// today (a clock set wrong) lands right behind them.
bool comesBefore(const Group& a, const Group& b, qint64 today)
{
    const auto rank = [today](qint64 day) { return day == today ? 0 : day == today - 1 ? 1 : 2; };
    const int rankA = rank(a.julianDay);
    const int rankB = rank(b.julianDay);
    if (rankA != rankB)
        return rankA < rankB;
    return a.julianDay > b.julianDay;
}

QString titleOf(qint64 julianDay, qint64 today, const QLocale& locale)
{
    if (julianDay == today)
        return u"Today"_s;
    if (julianDay == today - 1)
        return u"Yesterday"_s;
    return locale.toString(QDate::fromJulianDay(julianDay), u"MMMM d, yyyy"_s);
}

// Files arrive newest first, so most belong to the day of the file before.
std::vector<Group> groupIndexesByDay(const std::vector<QDateTime>& localTimes)
{
    std::vector<Group> groups;
    std::unordered_map<qint64, std::size_t> groupOfDay;
    std::size_t last = 0;
    for (std::size_t i = 0; i < localTimes.size(); ++i) {
        const qint64 day = localTimes[i].date().toJulianDay();
        if (groups.empty() || groups[last].julianDay != day) {
            const auto [found, isNew] = groupOfDay.try_emplace(day, groups.size());
            if (isNew)
                groups.push_back({day, {}});
            last = found->second;
        }
        groups[last].members.push_back(qsizetype(i));
    }
    return groups;
}
} // namespace

QList<GalleryViewModel::GallerySection> GalleryViewModel::groupByDay(const QList<Screenshot>& candidates,
                                                                     const QDate& today)
{
    // Times kept in another zone (records decoded from JSON are in UTC) are
    // shown on the day they fall in here.
    std::vector<QDateTime> localTimes;
    localTimes.reserve(std::size_t(candidates.size()));
    for (const Screenshot& screenshot : candidates) {
        const QDateTime& created = screenshot.dateCreated;
        localTimes.push_back(created.timeSpec() == Qt::LocalTime ? created : created.toLocalTime());
    }
    std::vector<Group> groups = groupIndexesByDay(localTimes);

    const qint64 todayKey = today.toJulianDay();
    std::sort(groups.begin(), groups.end(),
              [todayKey](const Group& a, const Group& b) { return comesBefore(a, b, todayKey); });

    const QLocale locale;
    const auto newer = [&localTimes](qsizetype a, qsizetype b) { return localTimes[a] > localTimes[b]; };
    QList<GallerySection> sections;
    sections.reserve(qsizetype(groups.size()));
    for (Group& group : groups) {
        // Newest first; files of the same time keep their list order.
        if (!std::is_sorted(group.members.begin(), group.members.end(), newer))
            std::stable_sort(group.members.begin(), group.members.end(), newer);
        GallerySection section{titleOf(group.julianDay, todayKey, locale), {}};
        section.screenshots.reserve(qsizetype(group.members.size()));
        for (const qsizetype index : group.members)
            section.screenshots.append(candidates.at(index));
        sections.append(std::move(section));
    }
    return sections;
}
