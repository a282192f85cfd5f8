#include "core/MemoryMonitor.h"

#include "core/GuiThread.h"
#include "core/Logger.h"
#include "core/ProcMemorySource.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

MemoryMonitor::MemoryMonitor(std::unique_ptr<Source> source, std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_timer(this)
{
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &MemoryMonitor::checkMemory);
    if (QCoreApplication::instance() && !isGuiThread())
        moveToThread(QCoreApplication::instance()->thread()); // the timer ticks on the GUI thread
    startMonitoring();
}

MemoryMonitor::~MemoryMonitor() = default;

void MemoryMonitor::startMonitoring()
{
    checkMemory();
    if (QThread::currentThread() == thread())
        m_timer.start();
    else
        runOnThreadOf(this, [this] { m_timer.start(); });
}

bool MemoryMonitor::isUnderPressure() const
{
    QMutexLocker lock(&m_mutex);
    return m_isUnderPressure;
}

qint64 MemoryMonitor::availableMemoryMB() const
{
    QMutexLocker lock(&m_mutex);
    return m_availableMemoryMB;
}

double MemoryMonitor::appMemoryUsageMB() const
{
    QMutexLocker lock(&m_mutex);
    return m_appMemoryUsageMB;
}

void MemoryMonitor::checkMemory()
{
    const double appUsage = m_source->residentMB();
    const qint64 available = availableMB(appUsage);
    const bool underPressure = available < pressureThresholdMB;
    {
        // Deciding the transition under the lock keeps two concurrent samples
        // from logging the same crossing twice.
        QMutexLocker lock(&m_mutex);
        const bool wasUnderPressure = m_isUnderPressure;
        m_appMemoryUsageMB = appUsage;
        m_availableMemoryMB = available;
        m_isUnderPressure = underPressure;
        if (underPressure != wasUnderPressure)
            logTransition(underPressure, available, appUsage);
    }
    publish(underPressure, available, appUsage);
}

qint64 MemoryMonitor::estimatedAvailableMB(qint64 physicalMB, double appUsageMB)
{
    return std::max<qint64>(0, physicalMB - qint64(appUsageMB) - 1000);
}

qint64 MemoryMonitor::availableMB(double appUsageMB)
{
    if (const std::optional<qint64> bytes = m_source->availableBytes())
        return *bytes / 1048576;
    return estimatedAvailableMB(m_source->physicalBytes() >> 20, appUsageMB);
}

void MemoryMonitor::logTransition(bool underPressure, qint64 availableMB, double appUsageMB)
{
    const QString appUsage = QString::asprintf("%.1f", appUsageMB);
    if (underPressure) {
        Logger::log(
            LogLevel::warning, u"Memory"_s, u"System under memory pressure"_s,
            {{u"availableMB"_s, availableMB}, {u"appUsageMB"_s, appUsage}, {u"thresholdMB"_s, pressureThresholdMB}});
    } else {
        Logger::log(LogLevel::info, u"Memory"_s, u"Memory pressure relieved"_s,
                    {{u"availableMB"_s, availableMB}, {u"appUsageMB"_s, appUsage}});
    }
}

void MemoryMonitor::publish(bool underPressure, qint64 availableMB, double appUsageMB)
{
    // Observers hear of every sample, changed or not, always on the monitor's thread.
    auto notify = [this, underPressure, availableMB, appUsageMB] {
        emit appMemoryUsageMBChanged(appUsageMB);
        emit availableMemoryMBChanged(availableMB);
        emit isUnderPressureChanged(underPressure);
    };
    if (QThread::currentThread() == thread())
        notify();
    else
        runOnThreadOf(this, notify);
}
