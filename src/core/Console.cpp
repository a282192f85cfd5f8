#include "core/Console.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex& consoleMutex()
{
    static std::mutex mutex;
    return mutex;
}

Console::Sink& currentSink()
{
    static Console::Sink sink;
    return sink;
}
} // namespace

void Console::printLine(const QString& line)
{
    std::lock_guard lock(consoleMutex());
    if (const Sink& sink = currentSink()) {
        sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void Console::setSink(Sink sink)
{
    std::lock_guard lock(consoleMutex());
    currentSink() = std::move(sink);
}
