// Soak runs: the program restarted again and again under faults, then its
// store checked against its folder. Each registered run prints its RESULT
// line; the exit status is 0 only when every run's figures are sound.
//
//   bench_soak [--only <name>] [--seed <n>]
//   bench_soak --child <name> ...   (what a run starts; not for people)

#include "SoakHarness.h"

#include "core/Console.h"

#include <QGuiApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString childName = Soak::argument(arguments, u"--child"_s);
    const QString only = Soak::argument(arguments, u"--only"_s);
    const quint32 seed = Soak::argument(arguments, u"--seed"_s, u"22"_s).toUInt();

    int status = 0;
    for (const Soak::Entry& entry : Soak::entries()) {
        if (!childName.isEmpty()) {
            if (entry.name == childName)
                return entry.child(arguments);
            continue;
        }
        if (entry.run && (only.isEmpty() || only == entry.name))
            status |= entry.run(seed);
    }
    if (!childName.isEmpty()) {
        Console::printLine(u"No soak run is called "_s + childName);
        return 2;
    }
    return status;
}
