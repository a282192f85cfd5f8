#pragma once

#include "core/Logger.h"
#include "core/MemoryInfo.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

// Measures one operation: logs "Timer started" when made and "Timer ended"
// with the duration and memory figures at each end(). Used by one thread at a time.
class LogTimer
{
public:
    explicit LogTimer(QString id);

    // Logs the end line (the timer's five entries replace any of the caller's
    // with the same key) and returns the seconds since construction. May be
    // called again; each call measures from the same start.
    double end(const LogMetadata& metadata = {});

    const QString& id() const { return m_id; }
    const QDateTime& startTime() const { return m_startTime; }
    const MemoryInfo& startMemory() const { return m_startMemory; }

    // The end line's metadata for a measured duration and memory figures.
    static LogMetadata endMetadata(LogMetadata metadata, const QString& id, double durationSeconds,
                                   double startMemoryMB, double endMemoryMB);

private:
    QString m_id;
    QDateTime m_startTime;
    QElapsedTimer m_elapsed;
    MemoryInfo m_startMemory;
};
