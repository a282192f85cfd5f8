#pragma once

// Quitting while a tool changes the folder, in a process of its own: the
// child runs the application's services over a prepared folder, starts one
// tool with its file steps slowed, and quits as main() does once the run is
// under way; the parent times how long the child takes to be gone, then
// starts over on what it left, as the next launch does. Shared by the tests
// and the pipeline benchmark.
//
// Tools: "organize" (a run), "undo" (of a whole run), "deletion" (of
// duplicates, keeping the newest) and "spacesaver" (a run, whose fourth
// encoding and those after it never end); "stubborn" is a run whose step
// under way when the quit begins takes `stubbornHold` longer, ignoring the
// stop meanwhile.

#include "app/AppServices.h"
#include "core/DatabaseManager.h"
#include "core/HeicWriter.h"
#include "core/LogTimer.h"
#include "core/ToolJobs.h"
#include "duplicates/DuplicateFinderViewModel.h"
#include "organize/ReOrganizerViewModel.h"
#include "platform/SpellChecker.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/ScratchTrash.h"
#include "support/SteppingFileOps.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <random>
#include <thread>

namespace QuitDuringTool {
using namespace Qt::StringLiterals;

inline const QStringList tools{u"organize"_s, u"undo"_s, u"deletion"_s, u"spacesaver"_s};
// Enough that the rest of a run, at its slowed pace, would take far longer
// than the quit is allowed.
inline constexpr int fileCount = 120;
inline constexpr auto stepDelay = std::chrono::milliseconds(250);
// Steps done before the child quits.
inline constexpr int stepsBeforeQuit = 3;
inline constexpr auto stubbornHold = std::chrono::milliseconds(3000);
inline constexpr const char* quittingLine = "quitting\n";
// Said by a child whose quit returned while a tool's job still ran: the
// services then go from under it.
inline constexpr const char* strandedLine = "a tool still runs after the quit\n";

inline QString shots(const QString& home)
{
    return home + u"/Shots"_s;
}
inline QString trash(const QString& home)
{
    return home + u"/Trash"_s;
}
inline QString data(const QString& home)
{
    return home + u"/data"_s;
}

inline AppServices::Options options(const QString& home, std::unique_ptr<FileOps> fileOps = {},
                                    std::unique_ptr<Trash> trashCan = {})
{
    return {.settingsPath = home + u"/settings.conf"_s,
            .databasePath = data(home) + u"/Brindlework.sqlite"_s,
            .memorySource = std::make_unique<PlentyOfMemory>(),
            .analyzer = std::make_shared<NothingAnalyzer>(),
            .spellChecker = std::make_shared<NullSpellChecker>(),
            .trash = std::move(trashCan),
            .fileOps = std::move(fileOps),
            .dataFolder = data(home)};
}

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 60'000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

inline QString tagOf(const QString& stem)
{
    return u"tag of "_s + stem;
}
inline QString noteOn(const QString& stem)
{
    return u"note on "_s + stem;
}

// Noise pictures (a rendition is always smaller), each with a row, a tag and
// a note, a day apart; for "deletion" every second one a copy of the one
// before. The names of the files.
inline QStringList prepare(const QString& home, const QString& tool)
{
    QDir().mkpath(shots(home));
    QDir().mkpath(data(home));
    DatabaseManager store(options(home).databasePath);
    QList<Screenshot> rows;
    QStringList names;
    std::mt19937 random(7);
    QImage picture(96, 64, QImage::Format_RGB32);
    for (int i = 0; i < fileCount; ++i) {
        const QString stem = u"shot-%1"_s.arg(i, 3, 10, QChar(u'0'));
        const QString path = shots(home) + u'/' + stem + u".png"_s;
        if (tool != u"deletion"_s || i % 2 == 0)
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    picture.setPixel(x, y, qRgb(int(random() % 256), int(random() % 256), int(random() % 256)));
        picture.save(path, "PNG");
        Screenshot row(path, QUuid::createUuid());
        row.fileSize = QFileInfo(path).size();
        row.dateCreated = QDateTime::currentDateTimeUtc().addDays(-i);
        rows.append(row);
        names.append(stem + u".png"_s);
    }
    store.upsertMany(rows);
    for (const Screenshot& row : std::as_const(rows)) {
        const QString stem = QFileInfo(row.filePath).completeBaseName();
        store.saveUserData(row.id, {tagOf(stem)}, noteOn(stem));
    }
    return names;
}

// The moves of the child's file steps: counted, and slowed once `slow` is
// set. A stubborn step waits for the quit, then holds on past it.
struct Steps
{
    std::atomic<bool> slow{false};
    std::atomic<bool> stubborn{false};
    std::atomic<bool> quitting{false};
    std::atomic<int> moves{0};

    void watch(SteppingFileOps& fileOps)
    {
        fileOps.watcher = [this](SteppingFileOps::Step kind, int, const QString&) {
            if (kind != SteppingFileOps::Step::moved || !slow)
                return;
            if (++moves < stepsBeforeQuit || !stubborn) {
                std::this_thread::sleep_for(stepDelay);
                return;
            }
            while (!quitting)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(stubbornHold);
        };
    }
};

// Runs `tool` in this process over `home` until it is under way, then quits
// as main() does after its event loop. Returns only when the quit did not
// end the process; the exit code then.
inline int runChild(const QString& home, const QString& tool)
{
    // Declared before the services, which use them until they go.
    Steps steps;
    SteppingFileOps trashOps;
    steps.watch(trashOps);
    auto fileOps = std::make_unique<SteppingFileOps>();
    steps.watch(*fileOps);
    AppServices services(options(home, std::move(fileOps), std::make_unique<ScratchTrash>(trashOps, trash(home))));
    auto chooser = std::make_unique<FakeFolderChooser>();
    chooser->answer = shots(home);
    services.monitor().setFolderChooser(std::move(chooser));
    services.monitor().requestFolderAccess();
    if (!waitFor([&] { return services.monitor().screenshots().size() == fileCount; }))
        return 3;

    std::unique_ptr<QObject> screen;
    steps.stubborn = tool == u"stubborn"_s;
    if (tool == u"organize"_s || tool == u"undo"_s || tool == u"stubborn"_s) {
        auto* organizer = new ReOrganizerViewModel(services.organizer(), services.monitor());
        screen.reset(organizer);
        organizer->loadOnAppear();
        if (!organizer->analyze() || !waitFor([&] { return organizer->plan() && !organizer->isBusy(); }))
            return 4;
        if (tool == u"undo"_s) {
            if (!organizer->organize() ||
                !waitFor([&] { return !organizer->isBusy() && !organizer->history().operations.isEmpty(); }))
                return 5;
            steps.slow = true;
            organizer->undo(organizer->history().operations.first().id);
        } else {
            steps.slow = true;
            organizer->organize();
        }
    } else if (tool == u"deletion"_s) {
        auto* duplicates = new DuplicateFinderViewModel(services.monitor(), services.store(), services.trash(),
                                                        services.workers().duplicateReads());
        screen.reset(duplicates);
        duplicates->analyze();
        if (!waitFor([&] { return duplicates->result() && !duplicates->isAnalyzing(); }))
            return 4;
        steps.slow = true;
        duplicates->autoDeleteKeepingNewest();
    } else if (tool == u"spacesaver"_s) {
        // Three encodings end; the others never do, so that the quit finds
        // one under way whatever the pace of the machine.
        auto encoded = std::make_shared<std::atomic<int>>(0);
        services.compression().setEncoder([encoded](const QImage& image, int quality) {
            if (++*encoded > stepsBeforeQuit)
                std::promise<void>().get_future().wait();
            return HeicWriter::encode(image, quality);
        });
        auto* saver = new SpaceSaverViewModel(services.compression(), services.monitor(), services.notSmaller());
        screen.reset(saver);
        // One encoding at a time: the first three are those of the first three entries.
        saver->setSelectedQuality({saver->selectedQuality().quality, 1});
        saver->analyze();
        if (!waitFor([&] { return saver->compressibleFiles() == fileCount; }) || !saver->createPlan() ||
            !waitFor([&] { return saver->plan() && !saver->isAnalyzing(); }))
            return 4;
        steps.slow = true;
        saver->compress();
    } else {
        return 2;
    }
    // Each committed rendition is moved to its name once.
    if (!waitFor([&] { return steps.moves >= stepsBeforeQuit; }))
        return 6;
    steps.quitting = true;
    std::fputs(quittingLine, stdout);
    std::fflush(stdout);
    services.shutDown();
    services.endProcessIfStranded(0);
    // What main() does next is let the services go, which must never happen
    // under a job still running.
    if (ToolJobs::worker().activeThreadCount() > 0 || ToolJobs::encodingsLeft()) {
        std::fputs(strandedLine, stdout);
        std::fflush(stdout);
    }
    return 0;
}

// How the child ended after it said it was quitting.
struct Quit
{
    bool quitting = false; // the run was under way and the quit began
    bool gone = false;     // the process ended within the bound
    qint64 ms = -1;        // from the quit to the end of the process
    int exitCode = -1;
    QByteArray output;
};

// Starts `program` with `arguments`, waits for its quit, and times it.
inline Quit timeQuit(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                     int boundMs)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(program, arguments);
    Quit quit;
    if (!child.waitForStarted())
        return quit;
    while (!quit.output.contains(quittingLine) && child.state() == QProcess::Running && child.waitForReadyRead(120'000))
        quit.output += child.readAllStandardOutput();
    quit.quitting = quit.output.contains(quittingLine);
    if (!quit.quitting) {
        child.kill();
        child.waitForFinished();
        quit.output += child.readAll();
        return quit;
    }
    QElapsedTimer timer;
    timer.start();
    quit.gone = child.waitForFinished(boundMs);
    quit.ms = timer.elapsed();
    if (!quit.gone) {
        child.kill();
        child.waitForFinished();
    }
    quit.output += child.readAll();
    quit.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return quit;
}

// What the next start finds wrong with what the child left: every picture
// exactly once (in the folder, or in the Trash for a deleted copy), one row
// per file in the folder and no other, each keeping its own tag and note.
inline QStringList checkNextStart(const QString& home, const QStringList& names)
{
    QStringList problems;
    AppServices services(options(home));
    QMap<QString, int> found; // by name without its extension
    QStringList files;
    for (const QString& root : {shots(home), trash(home)}) {
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            ++found[QFileInfo(path).completeBaseName()];
            if (root == shots(home))
                files.append(path);
        }
    }
    for (const QString& name : names)
        if (const int count = found.take(QFileInfo(name).completeBaseName()); count != 1)
            problems.append(u"%1 is there %2 times"_s.arg(name).arg(count));
    for (auto it = found.cbegin(); it != found.cend(); ++it)
        problems.append(u"a stray file: "_s + it.key());

    LogTimer timer(u"db_query_screenshots"_s);
    const QList<Screenshot> rows = services.store().fetchPage(std::nullopt, 100'000, 0, true, timer);
    QStringList rowPaths;
    for (const Screenshot& row : rows) {
        rowPaths.append(row.filePath);
        const QString stem = QFileInfo(row.filePath).completeBaseName();
        if (!row.customTags.contains(tagOf(stem)) || !row.userNotes.value_or(QString()).contains(noteOn(stem)))
            problems.append(u"the row of %1 lost its tag or note"_s.arg(row.filePath));
    }
    rowPaths.sort();
    files.sort();
    if (rowPaths != files)
        problems.append(u"rows (%1) and files (%2) differ"_s.arg(rowPaths.size()).arg(files.size()));
    services.shutDown();
    return problems;
}
} // namespace QuitDuringTool
