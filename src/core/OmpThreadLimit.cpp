#include "core/OmpThreadLimit.h"

#include "core/Logger.h"

#include <QtGlobal>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

using namespace Qt::StringLiterals;

void ensureOmpThreadLimit(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("OMP_THREAD_LIMIT"))
        return;
    if (argc < 1 || argv == nullptr || argv[argc] != nullptr) {
        Logger::log(LogLevel::warning, u"General"_s, u"Cannot restart with one OpenMP thread per engine"_s,
                    {{u"error"_s, u"no argument list"_s}});
        return;
    }
    ::setenv("OMP_THREAD_LIMIT", "1", 1);
    // argv[0] may be a bare name found through PATH, or relative to a working
    // directory since changed: the kernel's link names this very program.
    ::execv("/proc/self/exe", argv);
    Logger::log(LogLevel::warning, u"General"_s, u"Cannot restart with one OpenMP thread per engine"_s,
                {{u"error"_s, QString::fromLocal8Bit(std::strerror(errno))}});
}
