#include "organize/OrganizeService.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "core/PathUtils.h"
#include "core/Uuid.h"
#include "platform/SafeFile.h"

#include <QHash>
#include <QLocale>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <span>

using namespace Qt::StringLiterals;

namespace {
constexpr double secondsPerFile = 0.01;

QString boolText(bool value)
{
    return value ? u"true"_s : u"false"_s;
}

QString joined(QStringView folder, QStringView name)
{
    QString path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    if (!folder.endsWith(u'/'))
        path.append(u'/');
    return path.append(name);
}

// The local calendar day of an instant. Asking the time zone for every file
// costs more than the rest of a plan; the offset is asked once per UTC day
// instead, and again only for a day in which it changes.
class LocalDays
{
public:
    QDate dayOf(qint64 msecsSinceEpoch)
    {
        const qint64 seconds = msecsSinceEpoch / 1000; // as QDateTime counts whole seconds
        const qint64 utcDay = floorDiv(seconds, secondsPerDay);
        auto known = m_offsets.constFind(utcDay);
        if (known == m_offsets.cend()) {
            const int atStart = offsetAt(utcDay * secondsPerDay);
            const int atEnd = offsetAt(utcDay * secondsPerDay + secondsPerDay - 1);
            known = m_offsets.insert(utcDay, atStart == atEnd ? std::optional<int>(atStart) : std::nullopt);
        }
        if (!known->has_value())
            return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).date();
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

// The target folder of each day, made once per month: asking the locale
// and joining paths for every file costs more than the rest of a plan.
class TargetFolders
{
public:
    TargetFolders(QString targetBase, bool byYear, bool byMonth)
        : m_base(std::move(targetBase))
        , m_byYear(byYear)
        , m_byMonth(byMonth)
    {}

    const QString& folderFor(const QDate& day)
    {
        if (!m_byYear)
            return m_base;
        const int key = day.year() * 100 + (m_byMonth ? day.month() : 0);
        auto known = m_folders.constFind(key);
        if (known == m_folders.cend())
            known = m_folders.insert(key, make(day));
        return *known;
    }

private:
    QString make(const QDate& day) const
    {
        const QString year = joined(m_base, QString::number(day.year()));
        if (!m_byMonth)
            return year;
        return joined(year, QString::asprintf("%02d-", day.month()) + m_locale.monthName(day.month()));
    }

    const QString m_base;
    const bool m_byYear;
    const bool m_byMonth;
    const QLocale m_locale;
    QHash<int, QString> m_folders;
};

struct PlanContext
{
    const OrganizeService& service;
    const OrganizeService::OrganizationOptions& options;
    const QString& base;
    qsizetype prefixLength; // of base and its separator
    const QString& targetBase;
    SafeFile::FolderLookup files;
};

struct PlanPart
{
    QList<OrganizeService::FileMoveOperation> moves;
    int missing = 0;
    int inPlace = 0;
    QHash<QString, qint64> filesByFolder;
};

// Counts the moves into each folder. Rows come by date, so a folder's moves
// follow one another: a run is counted by the identity of the folder's text
// (made once per month) and added up when the folder changes.
class FolderCounter
{
public:
    void add(const QString& folder)
    {
        if (folder.constData() != m_folder.constData()) {
            flushInto();
            m_folder = folder;
        }
        ++m_run;
    }
    QHash<QString, qint64> counts()
    {
        flushInto();
        return m_counts;
    }

private:
    void flushInto()
    {
        if (m_run > 0)
            m_counts[m_folder] += m_run;
        m_run = 0;
    }

    QHash<QString, qint64> m_counts;
    QString m_folder;
    qint64 m_run = 0;
};

PlanPart planRows(std::span<const DatabaseManager::FilePlace> rows, const PlanContext& context)
{
    const OrganizeService::OrganizationOptions& options = context.options;
    PlanPart part;
    part.moves.reserve(rows.size());
    // Nothing can be in the way inside a folder that does not exist yet (the
    // usual case on a first run): its files need no test each.
    QHash<QString, bool> folderExists;
    LocalDays days;
    TargetFolders folders(context.targetBase, options.groupByYear, options.groupByMonth);
    FolderCounter counter;
    for (const DatabaseManager::FilePlace& row : rows) {
        if (!isInside(row.filePath, context.base) ||
            (!options.includeSubfolders && parentFolder(row.filePath) != context.base))
            continue;
        const QStringView relativePath =
            QStringView(row.filePath).sliced(std::min(context.prefixLength, row.filePath.size()));
        // A symlink (even to a file), a folder or nothing at all is not a
        // file the organizer may move.
        if (!context.files.isRegularFile(relativePath)) {
            ++part.missing;
            continue;
        }
        const QString& folder = folders.folderFor(options.groupByYear ? days.dayOf(row.createdMs) : QDate());
        const QString planned = joined(folder, lastPathComponent(row.filePath));
        // A file already where it belongs stays (it would otherwise take on
        // its folder's name as a prefix at every run).
        if (planned == row.filePath) {
            ++part.inPlace;
            continue;
        }
        auto known = folderExists.constFind(folder);
        if (known == folderExists.cend())
            known = folderExists.insert(folder, SafeFile::isTaken(folder));
        counter.add(folder);
        const QUrl source = QUrl::fromLocalFile(row.filePath);
        const QUrl target = QUrl::fromLocalFile(planned);
        part.moves.append({uuidText(row.id), source,
                           *known ? context.service.resolveTargetConflict(target, source) : target,
                           relativePath.toString()});
    }
    part.filesByFolder = counter.counts();
    return part;
}

// A plan of a large library is made in parts on several threads: checking
// and naming a hundred thousand files costs about a second on one.
PlanPart planInParts(const QList<DatabaseManager::FilePlace>& rows, const PlanContext& context)
{
    constexpr qsizetype rowsPerPart = 20'000;
    const qsizetype parts = std::clamp<qsizetype>((rows.size() + rowsPerPart - 1) / rowsPerPart, 1,
                                                  std::max(1, QThread::idealThreadCount()));
    if (parts == 1)
        return planRows(rows, context);
    QList<std::span<const DatabaseManager::FilePlace>> slices;
    const qsizetype perPart = (rows.size() + parts - 1) / parts;
    for (qsizetype first = 0; first < rows.size(); first += perPart)
        slices.append(std::span(rows).subspan(first, std::min(perPart, rows.size() - first)));
    QThreadPool planners;
    planners.setMaxThreadCount(int(slices.size()));
    const QList<PlanPart> planned = QtConcurrent::blockingMapped<QList<PlanPart>>(
        &planners, slices, [&](std::span<const DatabaseManager::FilePlace> slice) { return planRows(slice, context); });
    PlanPart all;
    all.moves.reserve(rows.size());
    for (const PlanPart& part : planned) {
        all.moves.append(part.moves);
        all.missing += part.missing;
        all.inPlace += part.inPlace;
        for (auto it = part.filesByFolder.cbegin(); it != part.filesByFolder.cend(); ++it)
            all.filesByFolder[it.key()] += it.value();
    }
    return all;
}

// Newest first: year folders are numbers and month folders start with
// their two-digit number, so the names sort as the dates do.
QList<OrganizeService::OrganizationPlan::TargetFolder> targetFoldersOf(const QHash<QString, qint64>& filesByFolder,
                                                                       const QString& targetBase)
{
    QList<OrganizeService::OrganizationPlan::TargetFolder> folders;
    for (auto it = filesByFolder.cbegin(); it != filesByFolder.cend(); ++it)
        folders.append({it.key().sliced(std::min(targetBase.size() + 1, it.key().size())), it.value()});
    std::sort(folders.begin(), folders.end(),
              [](const auto& a, const auto& b) { return a.relativePath > b.relativePath; });
    return folders;
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
    return parentFolder(screenshot.filePath) == withoutTrailingSlashes(folder.toLocalFile());
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
    QString name = lastPathComponent(parentFolder(sourcePath)).toString();
    name += u'_';
    name += lastPathComponent(sourcePath);
    return QUrl::fromLocalFile(joined(parentFolder(targetPath), name));
}

OrganizeService::OrganizationPlan OrganizeService::analyze(const OrganizationOptions& options) const
{
    Console::printLine(u"📊 ORGANIZE: Analyzing folder..."_s);
    const QString base = withoutTrailingSlashes(options.baseURL.toLocalFile()).toString();
    Console::printLine(u"   → Base: "_s + base);
    Console::printLine(u"   → Group by Year: "_s + boolText(options.groupByYear));
    Console::printLine(u"   → Group by Month: "_s + boolText(options.groupByMonth));
    Console::printLine(u"   → Include subfolders: "_s + boolText(options.includeSubfolders));

    const QString targetBase = joined(base, targetFolderName);
    OrganizationPlan plan{options.baseURL, QUrl::fromLocalFile(targetBase), {}, 0, 0, {}};
    const QList<DatabaseManager::FilePlace> rows = [&] {
        LogTimer timer(u"db_query_screenshots"_s);
        return m_store.fetchPlaces(base, timer);
    }();
    if (rows.isEmpty()) {
        Console::printLine(u"   → No screenshots found"_s);
        return plan;
    }
    Console::printLine(u"   → Found "_s + QString::number(rows.size()) + u" screenshots"_s);

    const PlanContext context{
        *this, options, base, joined(base, QString()).size(), targetBase, SafeFile::FolderLookup(base)};
    const PlanPart all = planInParts(rows, context);
    if (all.missing > 0)
        Console::printLine(u"   → Skipped "_s + QString::number(all.missing) + u" missing or non-regular files"_s);
    Console::printLine(u"   → Organizing "_s + QString::number(all.moves.size() + all.inPlace) + u" files"_s);
    if (all.inPlace > 0)
        Console::printLine(u"   → Already in place: "_s + QString::number(all.inPlace));
    plan.filesToMove = all.moves;
    plan.totalFiles = plan.filesToMove.size();
    plan.targetFolders = targetFoldersOf(all.filesByFolder, targetBase);
    plan.estimatedDuration = double(plan.totalFiles) * secondsPerFile;
    Console::printLine(u"✅ ORGANIZE: Analysis complete"_s);
    Console::printLine(u"   → Files to move: "_s + QString::number(plan.totalFiles));
    Console::printLine(u"   → Estimated time: "_s + QString::asprintf("%.1f", plan.estimatedDuration) + u"s"_s);
    return plan;
}
