// A copy of a program that keeps one running instance, as the application
// does: it claims the instance at <socket> and prints how that went. The
// first copy runs until a line arrives on its standard input, then quits as
// the application does (later launches are turned away from the moment the
// quit begins) and takes <shutdown ms> more to end, as the application's
// services do while they shut down, or with -1 until a second line arrives.
// Times are printed in milliseconds of the real-time clock, so that two
// copies can be put in order.
//
// single_instance_probe <socket> <shutdown ms | -1> [<quit wait ms>]
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {
void say(const char* what)
{
    std::printf("%s at=%lld\n", what, QDateTime::currentMSecsSinceEpoch());
    std::fflush(stdout);
}

const char* nameOf(SingleInstance::Claim claim)
{
    switch (claim) {
    case SingleInstance::Claim::primary:
        return "claim=primary";
    case SingleInstance::Claim::forwarded:
        return "claim=forwarded";
    case SingleInstance::Claim::refused:
        return "claim=refused";
    case SingleInstance::Claim::unavailable:
        return "claim=unavailable";
    }
    return "claim=?";
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3)
        return 2;
    QCoreApplication application(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (argc > 3)
        instance.setQuitWait(std::chrono::milliseconds(std::atol(argv[3])));
    const SingleInstance::Claim claim = instance.claim(QCoreApplication::arguments());
    say(nameOf(claim));
    if (claim != SingleInstance::Claim::primary)
        return 0;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [] {
        char line[64];
        (void)::read(STDIN_FILENO, line, sizeof line);
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    say("quitting");
    if (const long shutdownMs = std::atol(argv[2]); shutdownMs >= 0) {
        QThread::msleep(shutdownMs);
    } else {
        char line[64];
        (void)::read(STDIN_FILENO, line, sizeof line);
    }
    say("ended");
    return 0;
}
