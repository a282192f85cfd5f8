// The library under faults: a folder filled over a dozen runs of the program
// (a child process), each run met by one fault at random: killed outright
// at a random moment, the disk holding the store full for a while, the store
// read-only for a while, or nothing; files renamed and moved under it while
// it runs; the user's tags and notes written between runs, and tagged files
// renamed and moved between runs, while the program is not running. At the
// end every file must have exactly one row, every analysis must be stored
// (the text read from the file), and every tag and note must still be there;
// each file renamed while the program was not running must have kept its
// row (found under the new name by the next start). Last, the folder is put
// back as a copy with its dates (a restore from a backup): the start on it
// must analyse no file again. Then other pictures are given the names, sizes
// and dates of tagged ones (a restore that keeps dates, an editor that puts
// the old date back), while the program is closed and while it runs: put in
// their place, put where they were deleted, or written over them in place.
// Each must be read anew, keeping none of the tags, note or text of the file
// that was there. Then another folder is read by a crowded run and a normal
// start (StarvedSoak.h): every file must have its whole text.
//
// RESULT soak files=… rows=… duplicates=0 lost_user_data=0 unanalysed=0 …
//        renames_closed=… renames_closed_followed=… restored_copy_reanalysed=0
//        same_path_other_files=6 same_path_other_file_inherited=0
//        starved_cut_short=… starved_lost_text=0

#include "SoakHarness.h"
#include "StarvedSoak.h"

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "core/Uuid.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/FolderChooser.h"
#include "platform/SafeFile.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"
#include "support/OneFolderChooser.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
constexpr int totalFiles = 300;
constexpr int firstFiles = 120;
constexpr int runs = 14;

// Reads the caption a picture carries, as the real analyses read its text:
// opened without blocking, decoded, and left unanalysed when it cannot be.
// Takes a little time per file, so that faults and kills meet work in flight.
class CaptionAnalyzer : public FileAnalyzer
{
public:
    std::optional<QString> recognizeText(const QString& path) override { return look(path, {}, {}).text; }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString& text) override
    {
        const QByteArray digest = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
        QList<double> vector;
        for (int i = 0; i < 8; ++i)
            vector.append(double(uchar(digest[i])) / 255.0);
        return vector;
    }
    Sight look(const QString& path, std::stop_token, const TimeBudget&) override
    {
        ++m_looks;
        Sight sight;
        std::optional<SafeFile::OpenedFile> opened = SafeFile::openRegular(path);
        QFile device;
        if (!opened || !device.open(opened->handle.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
            sight.unreadable = true;
            return sight;
        }
        QImageReader reader(&device);
        const QImage image = reader.read();
        if (image.isNull()) {
            sight.unreadable = true;
            return sight;
        }
        QThread::msleep(40);
        sight.text = image.text(u"Caption"_s);
        return sight;
    }

    // Files looked at so far.
    int looks() const { return m_looks; }

private:
    std::atomic<int> m_looks = 0;
};

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

bool allAnalysed(const ScreenshotMonitor& monitor)
{
    return std::all_of(monitor.screenshots().cbegin(), monitor.screenshots().cend(),
                       [](const Screenshot& screenshot) { return screenshot.ocrText && screenshot.embedding; });
}

// One run of the program over the folder: monitoring as the application
// does, a fault laid on the store for a while when asked, and an ordered
// quit once everything is analysed and stored (unless killed first).
int child(const QStringList& arguments)
{
    const QString folder = Soak::argument(arguments, u"--folder"_s);
    const QString data = Soak::argument(arguments, u"--data"_s);
    const QString faultName = Soak::argument(arguments, u"--fault"_s, u"none"_s);
    const int faultAfterMs = Soak::argument(arguments, u"--fault-after-ms"_s, u"0"_s).toInt();
    const int faultForMs = Soak::argument(arguments, u"--fault-for-ms"_s, u"0"_s).toInt();
    const int maxMs = Soak::argument(arguments, u"--max-ms"_s, u"120000"_s).toInt();

    Settings settings(data + u"/settings.conf"_s);
    MemoryMonitor memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1));
    DatabaseManager store(data + u"/library.sqlite"_s);
    MonitorServices parts;
    const auto analyzer = std::make_shared<CaptionAnalyzer>();
    ScreenshotMonitor monitor(parts.with(settings, memory, store, analyzer));
    monitor.setPollingInterval(100);
    // The fault comes once the library is loaded, while the parent adds and
    // renames files, so that it meets analyses and renames to write.
    bool faultOver = faultName == u"none"_s;
    bool faultStarted = false;
    QObject::connect(&monitor, &ScreenshotMonitor::scanFinished, [&] {
        if (!faultOver && !std::exchange(faultStarted, true)) {
            const auto fault = faultName == u"full"_s ? DatabaseManager::Fault::full : DatabaseManager::Fault::readOnly;
            QTimer::singleShot(faultAfterMs, [&store, fault] {
                store.simulateFault(fault);
                say("FAULT");
            });
            QTimer::singleShot(faultAfterMs + faultForMs, [&store, &faultOver] {
                store.simulateFault(DatabaseManager::Fault::none);
                faultOver = true;
                say("FAULT LIFTED");
            });
        }
        say("SCANNED");
    });
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    monitor.requestFolderAccess();

    // Done once nothing is left to analyse or write, and it stays so for a
    // few polls (a walk may still find what was renamed or added).
    QElapsedTimer quiet;
    const bool finished = waitFor(
        [&] {
            const bool idle = faultOver && monitor.isPolling() && !monitor.isProcessing() && allAnalysed(monitor) &&
                              store.health().canWrite();
            if (!idle)
                quiet.invalidate();
            else if (!quiet.isValid())
                quiet.start();
            return idle && quiet.elapsed() > 600;
        },
        maxMs);
    monitor.shutDown();
    parts.workers.waitForAll(false);
    std::printf("ANALYSED %d\n", analyzer->looks());
    say(finished ? "DONE" : "TIMED OUT");
    return finished ? 0 : 3;
}

struct Figures
{
    int kills = 0;
    int faults = 0;
    int renames = 0;
    int renamesFollowed = 0;
    int renamesClosed = 0;         // while the program was not running
    int renamesClosedFollowed = 0; // rows found under the new name by the next start
    int userDataWrites = 0;
    int restarts = 0;
    int killsMidRun = 0;     // kills that left files unanalysed (work was in flight)
    int wrongAfterKills = 0; // rows right after a kill with a second row for a path or results not their file's
    int refusedWrites = 0;   // result writes the store refused (tried again later)
};

// Renames `from` to `stem` and a random number, moving it into `subfolder`
// of `folder` half the time. The new path, or nothing when it failed.
QString moveUnderNewName(const QString& from, const QString& folder, const QString& subfolder, const QString& stem,
                         std::mt19937& random)
{
    const QString target = folder + (random() % 2 ? subfolder : QString());
    QDir().mkpath(target);
    const QString to = target + u"/%1-%2.png"_s.arg(stem).arg(random() % 100000);
    return QFile::rename(from, to) ? to : QString();
}

// Renames or moves a few files that have rows while `running` runs, and
// waits until the store follows each (or the child ended).
void renameSome(const QString& folder, const QString& dbPath, std::mt19937& random, Soak::Child& running,
                Figures& figures)
{
    QStringList files = FolderWalker::walk(folder, {u"png"_s}).files;
    const int count = int(random() % 4);
    QList<std::pair<QString, QString>> moved; // id, new path
    for (int i = 0; i < count && !files.isEmpty(); ++i) {
        const QString from = files.takeAt(qsizetype(random() % quint32(files.size())));
        const QString id = Soak::idAtPath(dbPath, from);
        if (id.isEmpty())
            continue;
        const QString to = moveUnderNewName(from, folder, u"/Moved"_s, u"renamed-%1"_s.arg(figures.renames), random);
        if (to.isEmpty())
            continue;
        ++figures.renames;
        moved.append({id, to});
    }
    for (const auto& [id, to] : moved) {
        if (waitFor([&] { return Soak::pathOfId(dbPath, id) == to || !running.isRunning(); }, 60000) &&
            Soak::pathOfId(dbPath, id) == to)
            ++figures.renamesFollowed;
    }
}

// Between two runs: renames or moves one or two files whose rows hold the
// user's words. Their ids and new paths, for the next start to follow.
QList<std::pair<QString, QString>> renameWhileClosed(const QString& folder, const QString& dbPath,
                                                     const Soak::UserDataLedger& ledger, std::mt19937& random,
                                                     Figures& figures)
{
    QList<std::pair<QString, QString>> renamed;
    QStringList ids = ledger.ids();
    const int count = 1 + int(random() % 2);
    for (int i = 0; i < count && !ids.isEmpty(); ++i) {
        const QString id = ids.takeAt(qsizetype(random() % quint32(ids.size())));
        const QString from = Soak::pathOfId(dbPath, id);
        if (from.isEmpty() || !QFileInfo::exists(from))
            continue;
        const QString to = moveUnderNewName(from, folder, u"/Closed/%1"_s.arg(random() % 3),
                                            u"closed-%1"_s.arg(figures.renamesClosed), random);
        if (to.isEmpty())
            continue;
        ++figures.renamesClosed;
        renamed.append({id, to});
    }
    return renamed;
}

// The folder put back as a copy with its dates (`cp -a`, a restore from a
// backup): the same names, sizes and dates, every file a new inode. The files
// the next run analyses, or -1 when the copy or the run failed.
int analysedAfterRestoredCopy(const QString& folder, const QString& data)
{
    const QString copy = folder + u".copy"_s;
    if (QProcess::execute(u"cp"_s, {u"-a"_s, folder, copy}) != 0 || !QDir(folder).removeRecursively() ||
        !QDir().rename(copy, folder))
        return -1;
    Soak::Child run(u"soak"_s, {u"--folder"_s, folder, u"--data"_s, data});
    run.waitForExit(180000);
    const QString prefix = u"ANALYSED "_s;
    for (const QString& line : run.lines()) {
        if (line.startsWith(prefix))
            return line.sliced(prefix.size()).toInt();
    }
    return -1;
}

// Another picture of exactly `size` bytes showing `caption`: drawn as the
// soak draws pictures, then filled up after its end, where readers stop.
// Empty when no drawing came out small enough.
QByteArray pictureOfSize(const QString& caption, qint64 size, std::mt19937& random)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(u"picture.png"_s);
    for (int attempt = 0; attempt < 20; ++attempt) {
        QFile file(path);
        if (!Soak::writePicture(path, caption, random) || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        if (bytes.size() <= size)
            return bytes + QByteArray(size - bytes.size(), '\0');
    }
    return {};
}

// `bytes` put at `path` at once (through a hidden file renamed over it),
// with the modification time `date`.
bool putKeepingDate(const QString& path, const QByteArray& bytes, const QDateTime& date)
{
    const QString part = QFileInfo(path).path() + u"/."_s + QFileInfo(path).fileName() + u".part"_s;
    QFile file(part);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.setFileTime(date, QFileDevice::FileModificationTime))
        return false;
    file.close();
    return ::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) == 0;
}

// The file at `path` written over with `bytes` of its size, its date put back.
bool rewriteKeepingDate(const QString& path, const QByteArray& bytes)
{
    const QDateTime date = QFileInfo(path).lastModified();
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.write(bytes) == bytes.size() && file.flush() &&
           file.setFileTime(date, QFileDevice::FileModificationTime);
}

struct SamePath
{
    int replaced = 0;
    int inherited = 0; // rows that kept the tags, note or text of the file that was there
};

// See the file's comment. Six pictures the store has read, outside the
// ledger's (what they lose is no loss of the user's words).
SamePath samePathOtherFiles(const QString& folder, const QString& data, const Soak::UserDataLedger& ledger,
                            std::mt19937& random)
{
    const QString dbPath = data + u"/library.sqlite"_s;
    struct Target
    {
        QString path;
        QString oldText;
        QString caption;
        QByteArray bytes;
        QDateTime date;
    };
    QList<Target> targets;
    {
        DatabaseManager store(dbPath);
        const QStringList ledgerIds = ledger.ids();
        for (const QString& path : FolderWalker::walk(folder, {u"png"_s}).files) {
            const std::optional<Screenshot> row = store.fetchByPath(path);
            if (targets.size() == 6)
                break;
            if (!row || !row->ocrText || ledgerIds.contains(uuidText(row->id)))
                continue;
            const QString caption = u"another picture %1"_s.arg(targets.size());
            const QByteArray bytes = pictureOfSize(caption, QFileInfo(path).size(), random);
            if (!bytes.isEmpty() && store.saveUserData(row->id, {u"replaced-%1"_s.arg(targets.size())},
                                                       u"a note on the picture that was there"_s))
                targets.append({path, *row->ocrText, caption, bytes, QFileInfo(path).lastModified()});
        }
    }
    if (targets.size() < 6)
        return {int(targets.size()), -1};

    // Closed: put in its place, put where it was deleted, rewritten in place.
    bool written = putKeepingDate(targets[0].path, targets[0].bytes, targets[0].date) &&
                   QFile::remove(targets[1].path) &&
                   putKeepingDate(targets[1].path, targets[1].bytes, targets[1].date) &&
                   rewriteKeepingDate(targets[2].path, targets[2].bytes);
    Soak::Child(u"soak"_s, {u"--folder"_s, folder, u"--data"_s, data}).waitForExit(180000);

    // The same while it runs; a deleted one is put back once the deletion was seen.
    Soak::Child running(u"soak"_s, {u"--folder"_s, folder, u"--data"_s, data});
    if (running.waitForLine(u"SCANNED"_s, 60000)) {
        written = written && putKeepingDate(targets[3].path, targets[3].bytes, targets[3].date) &&
                  rewriteKeepingDate(targets[4].path, targets[4].bytes) && QFile::remove(targets[5].path);
        running.waitForLine(u"🗑️ Detected"_s, 10000);
        written = written && putKeepingDate(targets[5].path, targets[5].bytes, targets[5].date);
        waitFor(
            [&] {
                return !running.isRunning() || std::all_of(targets.cbegin() + 3, targets.cend(), [&](const Target& t) {
                    return Soak::textAtPath(dbPath, t.path) == t.caption;
                });
            },
            60000);
    }
    running.waitForExit(180000);
    if (!written)
        return {int(targets.size()), -1};

    SamePath figures{int(targets.size()), 0};
    DatabaseManager store(dbPath);
    for (const Target& target : std::as_const(targets)) {
        const std::optional<Screenshot> row = store.fetchByPath(target.path);
        const bool kept =
            !row || !row->customTags.isEmpty() || row->userNotes.has_value() || row->ocrText == target.oldText;
        figures.inherited += kept ? 1 : 0;
    }
    return figures;
}

void addFiles(const QString& folder, int count, int& written, std::mt19937& random)
{
    for (int i = 0; i < count && written < totalFiles; ++i, ++written) {
        const QString subfolder = written % 5 == 4 ? folder + u"/Archive"_s : folder;
        QDir().mkpath(subfolder);
        Soak::writePicture(subfolder + u"/Screenshot %1.png"_s.arg(written, 4, 10, QChar(u'0')),
                           u"caption of picture %1 seed %2"_s.arg(written).arg(random() % 1000000), random);
    }
}

int run(quint32 seed)
{
    QElapsedTimer clock;
    clock.start();
    std::mt19937 random(seed);
    QTemporaryDir home;
    const QString folder = home.filePath(u"Shots"_s);
    const QString data = home.filePath(u"data"_s);
    const QString dbPath = data + u"/library.sqlite"_s;
    QDir().mkpath(folder);
    QDir().mkpath(data);

    Figures figures;
    Soak::UserDataLedger ledger;
    int written = 0;
    addFiles(folder, firstFiles, written, random);
    const int perRun = (totalFiles - firstFiles + runs - 2) / (runs - 1);

    for (int round = 0; round < runs; ++round) {
        QList<std::pair<QString, QString>> renamedWhileClosed;
        if (round > 0) {
            figures.userDataWrites += ledger.write(dbPath, 6, random);
            renamedWhileClosed = renameWhileClosed(folder, dbPath, ledger, random, figures);
        }
        const int kind = int(random() % 10); // 0-3 kill, 4-5 full, 6-7 read-only, 8-9 nothing
        QStringList arguments{u"--folder"_s, folder, u"--data"_s, data};
        if (kind >= 4 && kind <= 7) {
            arguments << u"--fault"_s << (kind <= 5 ? u"full"_s : u"readOnly"_s) << u"--fault-after-ms"_s
                      << QString::number(random() % 100) << u"--fault-for-ms"_s
                      << QString::number(1000 + random() % 3000);
            ++figures.faults;
        }
        Soak::Child child(u"soak"_s, arguments);
        ++figures.restarts;
        // New files arrive while it runs (found by its polls), and some are
        // renamed or moved.
        if (child.waitForLine(u"SCANNED"_s, 60000)) {
            // The load is over: the rows of files renamed meanwhile follow them.
            for (const auto& [id, to] : std::as_const(renamedWhileClosed))
                figures.renamesClosedFollowed += Soak::pathOfId(dbPath, id) == to ? 1 : 0;
            if (round > 0)
                addFiles(folder, perRun, written, random);
            renameSome(folder, dbPath, random, child, figures);
        }
        if (kind <= 3) {
            waitFor([] { return false; }, int(random() % 600));
            child.kill();
            ++figures.kills;
            // What a kill leaves must already be sound: never a file marked
            // analysed with results that are not its own.
            const Soak::LibraryCheck afterKill = Soak::LibraryCheck::of(folder, dbPath);
            figures.killsMidRun += afterKill.unanalysed > 0 ? 1 : 0;
            figures.wrongAfterKills += afterKill.wrongText + afterKill.duplicates;
        } else if (!child.waitForExit(180000)) {
            std::printf("run %d did not end by itself\n", round);
        }
        figures.refusedWrites += child.linesContaining(u"Results could not be saved"_s);
    }
    // A last run, undisturbed, as the next launch would be.
    Soak::Child last(u"soak"_s, {u"--folder"_s, folder, u"--data"_s, data});
    ++figures.restarts;
    last.waitForExit(180000);
    const int restoredCopyReanalysed = analysedAfterRestoredCopy(folder, data);
    ++figures.restarts;
    const SamePath samePath = samePathOtherFiles(folder, data, ledger, random);
    figures.restarts += 2;

    const Soak::LibraryCheck check = Soak::LibraryCheck::of(folder, dbPath);
    const int lost = ledger.lost(dbPath);
    const Soak::StarvedRun starved = Soak::starvedRun(seed);
    ResultLine(u"soak"_s)
        .add(u"files"_s, check.files, 0)
        .add(u"rows"_s, check.rows, 0)
        .add(u"duplicates"_s, check.duplicates, 0)
        .add(u"lost_user_data"_s, lost, 0)
        .add(u"unanalysed"_s, check.unanalysed, 0)
        .add(u"stale_rows"_s, check.staleRows, 0)
        .add(u"missing_rows"_s, check.missingRows, 0)
        .add(u"wrong_text"_s, check.wrongText, 0)
        .add(u"user_data_rows"_s, ledger.size(), 0)
        .add(u"kills"_s, figures.kills, 0)
        .add(u"kills_mid_run"_s, figures.killsMidRun, 0)
        .add(u"wrong_after_kills"_s, figures.wrongAfterKills, 0)
        .add(u"refused_writes"_s, figures.refusedWrites, 0)
        .add(u"store_faults"_s, figures.faults, 0)
        .add(u"renames"_s, figures.renames, 0)
        .add(u"renames_followed"_s, figures.renamesFollowed, 0)
        .add(u"renames_closed"_s, figures.renamesClosed, 0)
        .add(u"renames_closed_followed"_s, figures.renamesClosedFollowed, 0)
        .add(u"restored_copy_reanalysed"_s, restoredCopyReanalysed, 0)
        .add(u"same_path_other_files"_s, samePath.replaced, 0)
        .add(u"same_path_other_file_inherited"_s, samePath.inherited, 0)
        .add(u"starved_cut_short"_s, starved.cutShort, 0)
        .add(u"starved_lost_text"_s, starved.lostText, 0)
        .add(u"restarts"_s, figures.restarts, 0)
        .add(u"seconds"_s, double(clock.elapsed()) / 1000.0, 1)
        .print();
    const bool sound = check.isSound() && lost == 0 && check.files == totalFiles && check.rows == totalFiles &&
                       figures.renamesFollowed == figures.renames && figures.wrongAfterKills == 0 &&
                       figures.renamesClosed >= 10 && figures.renamesClosedFollowed == figures.renamesClosed &&
                       restoredCopyReanalysed == 0 && samePath.replaced == 6 && samePath.inherited == 0 &&
                       starved.lostText == 0;
    return sound ? 0 : 1;
}

const bool registered = Soak::add({u"soak"_s, run, child});
} // namespace
