#include "core/OmpThreadLimit.h"

#include "core/Logger.h"

#include <QtGlobal>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <limits.h>
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
    // directory since changed: the kernel's link names this very program. The
    // path it points to is executed rather than the link, whose name the
    // kernel would give the process ("exe", so that pgrep and top would not
    // find it under its own); argv[0] stays as the caller gave it. A program
    // replaced on disk since it started is run through the link.
    std::array<char, PATH_MAX> path{};
    if (::readlink("/proc/self/exe", path.data(), path.size() - 1) > 0)
        ::execv(path.data(), argv);
    ::execv("/proc/self/exe", argv);
    Logger::log(LogLevel::warning, u"General"_s, u"Cannot restart with one OpenMP thread per engine"_s,
                {{u"error"_s, QString::fromLocal8Bit(std::strerror(errno))}});
}
