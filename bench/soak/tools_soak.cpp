// The three tools under faults: a scratch library of a few hundred pictures
// (some of them copies of others), every row with a tag and a note, over
// which the program (a child process) runs one tool at a time in turn: the
// re-organizer's run, its undo, a space saver run and a duplicate finder
// deletion. Each run is either killed outright (at a random file step, or
// from outside at a random moment) or left to finish with a store that stops
// taking writes at a random step. After each,
// the program starts again (only what the application does before the
// library loads), and the folder and store are checked: every picture there
// exactly once (itself, or its rendition, or in the Trash), one row per file
// and no row without one, every tag and note on its file's row, and whatever
// the re-organizer moved brought back by an undo from its history.
//
// Every duplicate finder run deletes copies whose rows hold tags and notes:
// those words must be found on the copy that stayed.
//
// RESULT tools_soak runs=… kills=… lost_files=0 duplicate_rows=0 orphan_rows=0 lost_user_data=0 undoable_pct=100
//        tagged_copies_deleted=… user_data_carried=…
//
//   bench_soak --only tools_soak [--tool-runs <n>] [--verbose 1]   (40 runs by default)

#include "SoakHarness.h"

#include "core/DatabaseManager.h"
#include "core/ImageLoader.h"
#include "core/LogTimer.h"
#include "core/ToolJobs.h"
#include "duplicates/DuplicateFinderViewModel.h"
#include "ingest/ScreenshotMonitor.h"
#include "organize/OrganizeService.h"
#include "organize/ReOrganizerViewModel.h"
#include "spacesaver/CompressionService.h"
#include "support/BenchSupport.h"
#include "support/Fakes.h"
#include "support/ScratchTrash.h"
#include "support/StartedLibrary.h"
#include "support/SteppingFileOps.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int pictureCount = 200;
constexpr int copyCount = 40; // copies of the first pictures, for the duplicate finder
const QStringList tools{u"organize"_s, u"undo"_s, u"compress"_s, u"dedupe"_s};

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// The program over the scratch home, as the application puts itself
// together: what a tool cut short is settled before anything else.
struct Program : StartedLibrary
{
    // `settingsName`: a restart that only settles uses settings without the
    // folder's bookmark, so that its monitor does not load the library (a
    // load would make rows anew and hide what the recoveries left wrong).
    Program(const QString& home, const QString& settingsName)
        : StartedLibrary(home + u"/data/"_s + settingsName, home + u"/data/library.sqlite"_s)
        , organizer(store, monitor, fileOps, home + u"/data"_s)
        , compression(store, fileOps)
        , trash(fileOps, home + u"/Trash"_s)
    {
        compression.setJournalFolder(home + u"/data"_s);
        (void)organizer.recoverInterruptedRun();
        (void)compression.recoverInterruptedRun();
        (void)DuplicateFinderViewModel::recoverInterruptedDeletion(store);
    }
    ~Program()
    {
        // Runs outlive their screens; the services they use go after them.
        ToolJobs::waitForAll();
        monitor.shutDown();
        parts.workers.waitForAll(false);
    }

    SteppingFileOps fileOps;
    OrganizeService organizer;
    CompressionService compression;
    ScratchTrash trash;
};

bool startMonitoring(Program& program, const QString& folder)
{
    bool scanned = false;
    QObject::connect(&program.monitor, &ScreenshotMonitor::scanFinished, [&scanned] { scanned = true; });
    auto chooser = std::make_unique<FakeFolderChooser>();
    chooser->answer = folder;
    program.monitor.setFolderChooser(std::move(chooser));
    program.monitor.requestFolderAccess();
    return waitFor([&] { return scanned && program.monitor.isPolling(); }, 120'000);
}

// The fault of this run, laid at the step `fraction` of the way through
// `expectedSteps` file steps.
void armFault(Program& program, const QString& fault, double fraction, int expectedSteps)
{
    if ((fault != u"kill"_s && fault != u"readOnly"_s) || expectedSteps <= 0)
        return; // none, or a kill from outside
    const int at = std::max(1, int(fraction * expectedSteps));
    auto steps = std::make_shared<int>(0);
    program.fileOps.watcher = [&program, fault, at, steps](SteppingFileOps::Step, int, const QString& path) {
        if (++*steps != at)
            return;
        if (fault == u"kill"_s) {
            std::printf("KILLED at step %d (%s)\n", at, qPrintable(path));
            std::fflush(stdout);
            ::kill(::getpid(), SIGKILL);
        }
        program.store.simulateFault(DatabaseManager::Fault::readOnly);
        std::printf("STORE READ-ONLY at step %d\n", at);
        std::fflush(stdout);
    };
}

bool organize(Program& program, const QString& fault, double fraction)
{
    ReOrganizerViewModel model(program.organizer, program.monitor);
    model.loadOnAppear();
    if (!model.analyze() || !waitFor([&] { return !model.isBusy(); }, 120'000) || !model.plan())
        return false;
    // A move, its checkpoints and folders now and then.
    armFault(program, fault, fraction, int(model.plan()->filesToMove.size()) + 4);
    return model.organize() && waitFor([&] { return !model.isBusy(); }, 300'000);
}

// Undoes the oldest entry of the history, and with it every newer one.
bool undo(Program& program, const QString& fault, double fraction)
{
    ReOrganizerViewModel model(program.organizer, program.monitor);
    model.loadOnAppear();
    const auto& entries = model.history().operations;
    if (entries.isEmpty())
        return true;
    int moves = 0;
    for (const auto& entry : entries)
        moves += int(entry.undoData.operations.size());
    armFault(program, fault, fraction, moves);
    return model.undo(entries.last().id) && waitFor([&] { return !model.isBusy(); }, 300'000);
}

// A space saver run over a random share of the pictures still to replace.
bool compress(Program& program, const QString& fault, double fraction, quint32 seed)
{
    std::mt19937 random(seed);
    QList<Screenshot> chosen;
    for (const Screenshot& screenshot : program.monitor.screenshots())
        if (random() % 4 == 0)
            chosen.append(screenshot);
    const CompressionService::CompressionOptions options{0.5, 2};
    const auto plan = program.compression.analyzeForCompression(chosen, options);
    // The journal, the rendition's write and move, and the image's removal.
    armFault(program, fault, fraction, 4 * int(plan.files.size()));
    bool done = false;
    program.compression.compressInBackground(
        program.monitor, plan.files, options, [](int, int) {},
        [&done](const CompressionService::CompressionResult& result) {
            say(u"COMPRESSED %1 FAILED %2"_s.arg(result.compressedFiles.size()).arg(result.failedFiles.size()));
            done = true;
        });
    return waitFor([&] { return done; }, 300'000);
}

// Every copy but the newest of each set of duplicates to the Trash.
bool dedupe(Program& program, const QString& fault, double fraction)
{
    DuplicateFinderViewModel model(program.monitor, program.store, program.trash,
                                   program.parts.workers.duplicateReads());
    bool analysed = false;
    int finished = 0;
    QObject::connect(&model, &DuplicateFinderViewModel::resultChanged, [&analysed] { analysed = true; });
    QObject::connect(&model, &DuplicateFinderViewModel::deletionFinished, [&finished](int) { ++finished; });
    model.analyze();
    if (!waitFor([&] { return analysed && !model.isAnalyzing(); }, 120'000) || !model.result())
        return false;
    int victims = 0;
    for (const auto& group : model.result()->groups)
        victims += int(group.screenshots.size()) - 1;
    armFault(program, fault, fraction, victims);
    model.autoDeleteKeepingNewest();
    return victims == 0 || waitFor([&] { return finished > 0; }, 300'000);
}

// A run of the program: it starts (settling what an earlier one left), then
// runs one tool unless asked for nothing, and quits in order.
int child(const QStringList& arguments)
{
    const QString home = Soak::argument(arguments, u"--home"_s);
    const QString tool = Soak::argument(arguments, u"--tool"_s, u"none"_s);
    const QString fault = Soak::argument(arguments, u"--fault"_s, u"none"_s);
    const double fraction = Soak::argument(arguments, u"--at"_s, u"0.5"_s).toDouble();
    const quint32 seed = Soak::argument(arguments, u"--seed"_s, u"1"_s).toUInt();

    Program program(home, tool == u"none"_s ? u"restart.conf"_s : u"settings.conf"_s);
    if (tool == u"none"_s) {
        say(u"DONE"_s);
        return 0;
    }
    if (!startMonitoring(program, home + u"/Shots"_s)) {
        say(u"NOT MONITORING"_s);
        return 3;
    }
    say(u"TOOL STARTED"_s);
    bool ended = false;
    if (tool == u"organize"_s)
        ended = organize(program, fault, fraction);
    else if (tool == u"undo"_s)
        ended = undo(program, fault, fraction);
    else if (tool == u"compress"_s)
        ended = compress(program, fault, fraction, seed);
    else if (tool == u"dedupe"_s)
        ended = dedupe(program, fault, fraction);
    say(ended ? u"DONE"_s : u"TIMED OUT"_s);
    return ended ? 0 : 3;
}

// What the soak gave each picture: its bytes and the user's words.
struct Picture
{
    QByteArray checksum;
    QStringList tags;
    QString note;
};

QByteArray checksumOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

// Noise, so that a rendition is always smaller than the picture.
bool writeNoise(const QString& path, std::mt19937& random)
{
    QImage image(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(int(random() % 256), int(random() % 256), int(random() % 256));
    }
    return image.save(path, "PNG");
}

QHash<QString, Picture> makeLibrary(const QString& folder, const QString& dbPath, std::mt19937& random)
{
    QDir().mkpath(folder);
    QHash<QString, Picture> pictures;
    QList<Screenshot> rows;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < pictureCount + copyCount; ++i) {
        const bool copy = i >= pictureCount;
        const QString stem =
            copy ? u"copy-%1"_s.arg(i - pictureCount, 4, 10, QChar(u'0')) : u"shot-%1"_s.arg(i, 4, 10, QChar(u'0'));
        const QString path = folder + u'/' + stem + u".png"_s;
        if (copy)
            QFile::copy(folder + u"/shot-%1.png"_s.arg(i - pictureCount, 4, 10, QChar(u'0')), path);
        else
            writeNoise(path, random);
        Screenshot row(path, QUuid::createUuid());
        row.dateCreated = now.addSecs(-i * 60);
        rows.append(row);
        pictures.insert(stem, {checksumOf(path), {u"tag of "_s + stem}, u"note on "_s + stem});
    }
    DatabaseManager store(dbPath);
    store.upsertMany(rows);
    for (const Screenshot& row : std::as_const(rows)) {
        const QString stem = QFileInfo(row.filePath).completeBaseName();
        store.saveUserData(row.id, pictures[stem].tags, pictures[stem].note);
    }
    return pictures;
}

// Problems seen at any check, each counted once for its picture or path.
struct Findings
{
    QSet<QString> lostFiles;           // pictures not there exactly once
    QSet<QString> duplicateRows;       // paths with more than one row
    QSet<QString> orphanRows;          // rows without their file, files without a row
    QSet<QString> lostUserData;        // pictures whose tags or note are on no row
    QSet<QString> strays;              // files that are none of the pictures (leftovers)
    QSet<QString> taggedCopiesDeleted; // pictures in the Trash (each had tags and a note)
    QSet<QString> userDataCarried;     // of those, the ones whose words are on a row in the folder
};

QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

class Checker
{
public:
    Checker(QString home, QHash<QString, Picture> pictures)
        : m_home(std::move(home))
        , m_pictures(std::move(pictures))
    {}

    void check(Findings& findings)
    {
        QHash<QString, int> seen; // by picture
        QSet<QString> inFolder;
        QSet<QString> trashed;
        for (const QString& path : filesBelow(m_home + u"/Shots"_s)) {
            if (const QString stem = pictureAt(path, findings); !stem.isEmpty()) {
                ++seen[stem];
                inFolder.insert(path);
            }
        }
        for (const QString& path : filesBelow(m_home + u"/Trash"_s)) {
            if (const QString stem = pictureAt(path, findings); !stem.isEmpty()) {
                ++seen[stem];
                trashed.insert(stem);
            }
        }
        for (auto it = m_pictures.cbegin(); it != m_pictures.cend(); ++it)
            if (seen.value(it.key()) != 1)
                findings.lostFiles.insert(it.key());

        DatabaseManager store(m_home + u"/data/library.sqlite"_s);
        LogTimer timer(u"soak"_s);
        QSet<QString> withRow;
        QSet<QString> tags;
        QStringList notes;
        for (const Screenshot& row : store.fetchPage(std::nullopt, 100'000, 0, true, timer)) {
            if (withRow.contains(row.filePath))
                findings.duplicateRows.insert(row.filePath);
            withRow.insert(row.filePath);
            if (!inFolder.contains(row.filePath)) {
                findings.orphanRows.insert(row.filePath);
                continue;
            }
            // Its own words first, then those of copies trashed for it.
            const Picture& picture = m_pictures[QFileInfo(row.filePath).completeBaseName()];
            const QString note = row.userNotes.value_or(QString());
            if (row.customTags.mid(0, picture.tags.size()) != picture.tags || !note.startsWith(picture.note))
                findings.lostUserData.insert(QFileInfo(row.filePath).completeBaseName());
            tags.unite(QSet<QString>(row.customTags.cbegin(), row.customTags.cend()));
            notes += note.split(u"\n\n"_s);
        }
        for (const QString& stem : std::as_const(trashed)) {
            const Picture& picture = m_pictures[stem];
            findings.taggedCopiesDeleted.insert(stem);
            const bool carried = std::all_of(picture.tags.cbegin(), picture.tags.cend(),
                                             [&tags](const QString& tag) { return tags.contains(tag); }) &&
                                 notes.contains(picture.note);
            if (carried)
                findings.userDataCarried.insert(stem);
            else
                findings.lostUserData.insert(stem);
        }
        for (const QString& path : std::as_const(inFolder)) {
            if (!withRow.contains(path)) {
                findings.orphanRows.insert(path);
                findings.lostUserData.insert(QFileInfo(path).completeBaseName());
            }
        }
    }

    // New copies of `count` pictures in the folder (as they are now, the
    // original or its rendition), each with its row, tag and note, so that
    // every deletion run has duplicates to remove.
    void plantCopies(int count, std::mt19937& random)
    {
        QStringList present;
        for (const QString& path : filesBelow(m_home + u"/Shots"_s))
            present.append(path);
        std::sort(present.begin(), present.end());
        DatabaseManager store(m_home + u"/data/library.sqlite"_s);
        for (int i = 0; i < count && !present.isEmpty(); ++i) {
            const QString from = present[qsizetype(random() % quint32(present.size()))];
            const QString stem = u"copy-%1"_s.arg(m_copies++, 4, 10, QChar(u'0'));
            const QString to = m_home + u"/Shots/"_s + stem + u'.' + QFileInfo(from).suffix();
            if (!QFile::copy(from, to))
                continue;
            Screenshot row(to, QUuid::createUuid());
            row.dateCreated = QDateTime::currentDateTimeUtc();
            const Picture picture{checksumOf(to), {u"tag of "_s + stem}, u"note on "_s + stem};
            if (store.upsert(row) && store.saveUserData(row.id, picture.tags, picture.note))
                m_pictures.insert(stem, picture);
        }
    }

    // Files the re-organizer holds moved.
    int organized() const { return int(filesBelow(m_home + u"/Shots/"_s + OrganizeService::targetFolderName).size()); }

private:
    // The picture a file is (its bytes, or a rendition of it that decodes),
    // or nothing for a leftover.
    QString pictureAt(const QString& path, Findings& findings)
    {
        const QFileInfo info(path);
        const QString stem = info.completeBaseName();
        const auto picture = m_pictures.constFind(stem);
        bool sound = false;
        if (picture != m_pictures.cend() && info.suffix() == u"png"_s) {
            sound = checksumOf(path) == picture->checksum;
        } else if (picture != m_pictures.cend() && info.suffix() == u"heic"_s) {
            const QString key = path + u'@' + QString::number(info.size());
            sound = m_renditions.contains(key) || ImageLoader::load(path).size() == QSize(160, 120);
            if (sound)
                m_renditions.insert(key);
        }
        if (!sound) {
            findings.strays.insert(path);
            return {};
        }
        return stem;
    }

    QString m_home;
    QHash<QString, Picture> m_pictures;
    QSet<QString> m_renditions; // already decoded
    int m_copies = copyCount;
};

int run(quint32 seed)
{
    QElapsedTimer clock;
    clock.start();
    const int runs = Soak::argument(QCoreApplication::arguments(), u"--tool-runs"_s, u"40"_s).toInt();
    std::mt19937 random(seed);
    QTemporaryDir scratch;
    const QString home = scratch.path();
    QDir().mkpath(home + u"/data"_s);
    QDir().mkpath(home + u"/Trash"_s);
    Checker checker(home, makeLibrary(home + u"/Shots"_s, home + u"/data/library.sqlite"_s, random));

    Findings findings;
    int kills = 0, storeFaults = 0, moved = 0, stuck = 0, timedOut = 0;
    // A fault "kill" is a SIGKILL at a file step; "killLater" one from here,
    // `at` × 0.8 seconds after the tool started, wherever it is then.
    const auto start = [&](const QString& tool, const QString& fault, double at) {
        Soak::Child child(u"tools_soak"_s, {u"--home"_s, home, u"--tool"_s, tool, u"--fault"_s, fault, u"--at"_s,
                                            QString::number(at), u"--seed"_s, QString::number(random())});
        bool killedHere = false;
        if (fault == u"killLater"_s && child.waitForLine(u"TOOL STARTED"_s, 120'000)) {
            waitFor([] { return false; }, int(at * 800));
            killedHere = child.isRunning();
            if (killedHere)
                child.kill();
        }
        const bool ended = killedHere || child.waitForExit(600'000);
        if (Soak::argument(QCoreApplication::arguments(), u"--verbose"_s) == u"1"_s)
            for (const QString& line : child.lines())
                say(u"   ["_s + tool + u"] "_s + line);
        kills += child.linesContaining(u"KILLED at step"_s) + (killedHere ? 1 : 0);
        storeFaults += child.linesContaining(u"STORE READ-ONLY"_s);
        // A child that never said anything did not start (its program replaced meanwhile, say).
        if ((!ended || child.lines().isEmpty()) && child.linesContaining(u"KILLED at step"_s) == 0) {
            ++timedOut;
            say(u"tools_soak: %1 did not end: %2"_s.arg(tool,
                                                        child.lines().mid(child.lines().size() - 5).join(u" | "_s)));
        }
    };
    const auto restartAndCheck = [&] {
        start(u"none"_s, u"none"_s, 0);
        checker.check(findings);
    };

    for (int index = 0; index < runs; ++index) {
        const QString tool = tools[index % tools.size()];
        if (tool == u"dedupe"_s && index >= tools.size())
            checker.plantCopies(10, random);
        const QStringList faults{u"kill"_s, u"kill"_s, u"killLater"_s, u"readOnly"_s, u"readOnly"_s};
        const QString fault = faults[qsizetype(random() % quint32(faults.size()))];
        start(tool, fault, double(random() % 1000) / 1000.0);
        restartAndCheck();
        if (tool == u"organize"_s) {
            moved += checker.organized();
        } else if (tool == u"undo"_s) {
            // Whatever the undo cut short is undone again from the history.
            start(u"undo"_s, u"none"_s, 0);
            restartAndCheck();
            if (const int left = checker.organized(); left > 0) {
                stuck += left;
                say(u"tools_soak: run %1: %2 file(s) still moved after the undo"_s.arg(index).arg(left));
            }
        }
    }

    const int undoablePct = moved == 0 ? 100 : int(100 * qint64(moved - stuck) / moved);
    ResultLine(u"tools_soak"_s)
        .add(u"runs"_s, runs, 0)
        .add(u"kills"_s, kills, 0)
        .add(u"lost_files"_s, int(findings.lostFiles.size()), 0)
        .add(u"duplicate_rows"_s, int(findings.duplicateRows.size()), 0)
        .add(u"orphan_rows"_s, int(findings.orphanRows.size()), 0)
        .add(u"lost_user_data"_s, int(findings.lostUserData.size()), 0)
        .add(u"undoable_pct"_s, undoablePct, 0)
        .add(u"tagged_copies_deleted"_s, int(findings.taggedCopiesDeleted.size()), 0)
        .add(u"user_data_carried"_s, int(findings.userDataCarried.size()), 0)
        .print();
    say(u"tools_soak: store faults %1, files organized %2, left moved after undo %3, leftovers %4, "_s
        u"runs that did not end %5, %6 s"_s.arg(storeFaults)
            .arg(moved)
            .arg(stuck)
            .arg(findings.strays.size())
            .arg(timedOut)
            .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1));
    for (const QSet<QString>* set :
         {&findings.lostFiles, &findings.duplicateRows, &findings.orphanRows, &findings.lostUserData, &findings.strays})
        for (const QString& item : *set)
            say(u"   ! "_s + item);
    const bool sound = findings.lostFiles.isEmpty() && findings.duplicateRows.isEmpty() &&
                       findings.orphanRows.isEmpty() && findings.lostUserData.isEmpty() && findings.strays.isEmpty() &&
                       stuck == 0 && timedOut == 0 && findings.taggedCopiesDeleted.size() >= 5 &&
                       findings.userDataCarried == findings.taggedCopiesDeleted;
    return sound ? 0 : 1;
}

const bool registered = Soak::add({u"tools_soak"_s, run, child});
} // namespace
