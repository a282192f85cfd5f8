#include "organize/OrganizeService.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "core/PathUtils.h"
#include "core/Uuid.h"
#include "platform/SafeFile.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace {
constexpr double secondsPerFile = 0.01;

QString boolText(bool value)
{
    return value ? u"true"_s : u"false"_s;
}

QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? u"/"_s : path.left(slash);
}

// The local calendar day of an instant. Asking the time zone for every file
// costs more than the rest of a plan; the offset is asked once per UTC day
// instead, and again only for a day in which it changes.
class LocalDays
{
public:
    QDate dayOf(const QDateTime& instant)
    {
        const qint64 seconds = instant.toSecsSinceEpoch();
        const qint64 utcDay = floorDiv(seconds, secondsPerDay);
        auto known = m_offsets.constFind(utcDay);
        if (known == m_offsets.cend()) {
            const int atStart = offsetAt(utcDay * secondsPerDay);
            const int atEnd = offsetAt(utcDay * secondsPerDay + secondsPerDay - 1);
            known = m_offsets.insert(utcDay, atStart == atEnd ? std::optional<int>(atStart) : std::nullopt);
        }
        if (!known->has_value())
            return instant.toLocalTime().date();
        return QDate(1970, 1, 1).addDays(floorDiv(seconds + **known, secondsPerDay));
    }

private:
    static constexpr qint64 secondsPerDay = 86'400;
    static qint64 floorDiv(qint64 value, qint64 divisor)
    {
        return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
    }
    static int offsetAt(qint64 seconds) { return QDateTime::fromSecsSinceEpoch(seconds).offsetFromUtc(); }

    QHash<qint64, std::optional<int>> m_offsets;
};

// A symlink (even to a file), a folder or nothing at all is not a file the
// organizer may move.
bool isRegularFile(const QString& path)
{
    return SafeFile::stampOf(path).has_value();
}
} // namespace

void OrganizeService::OrganizationHistory::add(const HistoryOperation& operation)
{
    operations.prepend(operation);
    if (operations.size() > maxOperations)
        operations.removeLast();
}

OrganizeService::OrganizeService(DatabaseManager& store, ScreenshotMonitor& monitor, FileOps& fileOps,
                                 QString dataFolder)
    : m_store(store)
    , m_monitor(monitor)
    , m_fileOps(fileOps)
    , m_dataFolder(std::move(dataFolder))
{}

bool OrganizeService::isDirectlyInFolder(const Screenshot& screenshot, const QUrl& folder)
{
    return parentOf(screenshot.filePath) == withoutTrailingSeparator(folder.toLocalFile());
}

QString OrganizeService::targetFolderFor(const QString& targetBase, const QDate& day,
                                         const OrganizationOptions& options) const
{
    if (!options.groupByYear)
        return targetBase;
    const QString year = joined(targetBase, QString::number(day.year()));
    if (!options.groupByMonth)
        return year;
    // The locale is asked once per month, not once per file.
    static thread_local QHash<int, QString> monthFolders;
    static thread_local QString monthLocale;
    const QLocale locale;
    if (monthLocale != locale.name()) {
        monthFolders.clear();
        monthLocale = locale.name();
    }
    QString& month = monthFolders[day.month()];
    if (month.isEmpty())
        month = QString::asprintf("%02d-", day.month()) + locale.monthName(day.month());
    return joined(year, month);
}

QUrl OrganizeService::resolveTargetConflict(const QUrl& target, const QUrl& source) const
{
    return resolveTargetConflict(target, source, {});
}

QUrl OrganizeService::resolveTargetConflict(const QUrl& target, const QUrl& source, const QSet<QString>& claimed) const
{
    const QString targetPath = target.toLocalFile();
    if (!claimed.contains(targetPath) && !SafeFile::isTaken(targetPath))
        return target;
    const QString sourcePath = source.toLocalFile();
    const QString name = lastComponent(parentOf(sourcePath)) + u'_' + lastComponent(sourcePath);
    return QUrl::fromLocalFile(joined(parentOf(targetPath), name));
}

OrganizeService::OrganizationPlan OrganizeService::analyze(const OrganizationOptions& options) const
{
    Console::printLine(u"📊 ORGANIZE: Analyzing folder..."_s);
    const QString base = withoutTrailingSeparator(options.baseURL.toLocalFile());
    Console::printLine(u"   → Base: "_s + base);
    Console::printLine(u"   → Group by Year: "_s + boolText(options.groupByYear));
    Console::printLine(u"   → Group by Month: "_s + boolText(options.groupByMonth));
    Console::printLine(u"   → Include subfolders: "_s + boolText(options.includeSubfolders));

    const QString targetBase = joined(base, targetFolderName);
    OrganizationPlan plan{options.baseURL, QUrl::fromLocalFile(targetBase), {}, 0, 0};
    // The count and its page must see one state of the store.
    const QList<Screenshot> rows = m_store.dbQueue().sync([&] {
        const int count = m_store.count(base);
        LogTimer timer(u"db_query_screenshots"_s);
        return m_store.fetchPage(base, count, 0, true, timer);
    });
    if (rows.isEmpty()) {
        Console::printLine(u"   → No screenshots found"_s);
        return plan;
    }
    Console::printLine(u"   → Found "_s + QString::number(rows.size()) + u" screenshots"_s);

    QList<const Screenshot*> kept;
    kept.reserve(rows.size());
    int missing = 0;
    for (const Screenshot& row : rows) {
        if (!isInside(row.filePath, base) || (!options.includeSubfolders && !isDirectlyInFolder(row, plan.baseURL)))
            continue;
        if (!isRegularFile(row.filePath)) {
            ++missing;
            continue;
        }
        kept.append(&row);
    }
    if (missing > 0)
        Console::printLine(u"   → Skipped "_s + QString::number(missing) + u" missing or non-regular files"_s);
    Console::printLine(u"   → Organizing "_s + QString::number(kept.size()) + u" files"_s);

    int inPlace = 0;
    plan.filesToMove.reserve(kept.size());
    // Nothing can be in the way inside a folder that does not exist yet (the
    // usual case on a first run): its files need no test each.
    QHash<QString, bool> folderExists;
    LocalDays days;
    for (const Screenshot* row : kept) {
        const QDate day = options.groupByYear ? days.dayOf(row->dateCreated) : QDate();
        const QString folder = targetFolderFor(targetBase, day, options);
        const QString planned = joined(folder, lastComponent(row->filePath));
        // A file already where it belongs stays (it would otherwise take on
        // its folder's name as a prefix at every run).
        if (planned == row->filePath) {
            ++inPlace;
            continue;
        }
        auto known = folderExists.constFind(folder);
        if (known == folderExists.cend())
            known = folderExists.insert(folder, SafeFile::isTaken(folder));
        const QUrl source = QUrl::fromLocalFile(row->filePath);
        const QUrl target = QUrl::fromLocalFile(planned);
        plan.filesToMove.append({uuidText(row->id), source, *known ? resolveTargetConflict(target, source) : target,
                                 row->filePath.mid(joined(base, QString()).size())});
    }
    if (inPlace > 0)
        Console::printLine(u"   → Already in place: "_s + QString::number(inPlace));
    plan.totalFiles = plan.filesToMove.size();
    plan.estimatedDuration = double(plan.totalFiles) * secondsPerFile;
    Console::printLine(u"✅ ORGANIZE: Analysis complete"_s);
    Console::printLine(u"   → Files to move: "_s + QString::number(plan.totalFiles));
    Console::printLine(u"   → Estimated time: "_s + QString::asprintf("%.1f", plan.estimatedDuration) + u"s"_s);
    return plan;
}
