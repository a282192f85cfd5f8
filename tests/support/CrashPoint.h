#pragma once

// Kills at chosen moments: a parent test runs one test of its own program in
// a child process, naming a point; the child's seams (file steps, the Trash)
// call reach() at their points, and the child dies there as under kill -9,
// with no destructor, flush or rollback run. The parent then starts over on
// what the child left, as the application does after a crash.

#include "support/SteppingFileOps.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QString>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace CrashPoint {
inline constexpr const char* pointVariable = "BRINDLE_CRASH_POINT";
inline constexpr const char* folderVariable = "BRINDLE_CRASH_FOLDER";

// The point this process is to die at; empty in a normal test run.
inline QString named()
{
    return qEnvironmentVariable(pointVariable);
}

// The folder the parent prepared for the child.
inline QString folder()
{
    return qEnvironmentVariable(folderVariable);
}

inline bool isChild()
{
    return !named().isEmpty();
}

// Dies here when `point` is the one named.
inline void reach(const QString& point)
{
    if (point != named())
        return;
    std::fprintf(stderr, "\nkilled at %s\n", qPrintable(point));
    std::fflush(stderr);
    ::kill(::getpid(), SIGKILL);
}

// Makes the tools' file steps points: "move-N" once the Nth move is done
// (nothing has followed it yet), "remove-N" before the Nth removal, and
// "journal-N" before the Nth write of a file named `journalName`.
inline void atFileSteps(SteppingFileOps& fileOps, const QString& journalName)
{
    fileOps.watcher = [journalName, journalWrites = 0](SteppingFileOps::Step step, int number,
                                                       const QString& path) mutable {
        switch (step) {
        case SteppingFileOps::Step::moved:
            reach(QStringLiteral("move-%1").arg(number));
            break;
        case SteppingFileOps::Step::removing:
            reach(QStringLiteral("remove-%1").arg(number));
            break;
        case SteppingFileOps::Step::writing:
            if (path.endsWith(QLatin1Char('/') + journalName))
                reach(QStringLiteral("journal-%1").arg(++journalWrites));
            break;
        }
    };
}

struct ChildEnd
{
    bool killed = false; // died at the point, not on its own
    QByteArray output;   // standard error, and output when asked
};

// Runs `test` (a gtest filter) of this program in a child dying at `point`,
// over `folder`; waits for its end, however long a loaded machine takes.
inline ChildEnd runChild(const QString& test, const QString& point, const QString& folder)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(pointVariable), point);
    environment.insert(QString::fromLatin1(folderVariable), folder);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + test});
    ChildEnd end;
    if (!child.waitForStarted())
        return end;
    child.waitForFinished(-1);
    end.output = child.readAll();
    end.killed =
        child.exitStatus() == QProcess::CrashExit && end.output.contains(QByteArray("killed at ") + point.toUtf8());
    return end;
}
} // namespace CrashPoint
