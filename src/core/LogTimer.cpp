#include "core/LogTimer.h"

#include "core/Clock.h"

using namespace Qt::StringLiterals;

namespace {
QString fixed(double value, int decimals)
{
    return QString::asprintf("%.*f", decimals, value);
}
} // namespace

LogTimer::LogTimer(QString id)
    : m_id(std::move(id))
    , m_startTime(Clock::now())
    , m_startMemory(MemoryInfo::current())
{
    m_elapsed.start();
    Logger::log(LogLevel::debug, u"Performance"_s, u"Timer started"_s,
                {{u"id"_s, m_id}, {u"startMemoryMB"_s, fixed(m_startMemory.usedMB, 1)}});
}

double LogTimer::end(const LogMetadata& metadata)
{
    // Monotonic, so a clock step during the operation cannot give a negative duration.
    const double duration = double(m_elapsed.nsecsElapsed()) / 1e9;
    const MemoryInfo endMemory = MemoryInfo::current();
    Logger::log(LogLevel::info, u"Performance"_s, u"Timer ended"_s,
                endMetadata(metadata, m_id, duration, m_startMemory.usedMB, endMemory.usedMB));
    return duration;
}

LogMetadata LogTimer::endMetadata(LogMetadata metadata, const QString& id, double durationSeconds, double startMemoryMB,
                                  double endMemoryMB)
{
    metadata.set(u"id"_s, id);
    metadata.set(u"durationSeconds"_s, fixed(durationSeconds, 3));
    metadata.set(u"startMemoryMB"_s, fixed(startMemoryMB, 1));
    metadata.set(u"endMemoryMB"_s, fixed(endMemoryMB, 1));
    metadata.set(u"memoryDeltaMB"_s, fixed(endMemoryMB - startMemoryMB, 1));
    return metadata;
}
