#pragma once

#include <QMutex>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

// Keeps three memory figures current: whether the machine is short of memory,
// how many MB it can still hand out, and how many MB this process occupies.
// Samples every 5 seconds on the GUI thread and whenever checkMemory() is
// called (from any thread). Crossing the 500 MB threshold is logged once per
// crossing under "Memory".
class MemoryMonitor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isUnderPressure READ isUnderPressure NOTIFY isUnderPressureChanged)
    Q_PROPERTY(qint64 availableMemoryMB READ availableMemoryMB NOTIFY availableMemoryMBChanged)
    Q_PROPERTY(double appMemoryUsageMB READ appMemoryUsageMB NOTIFY appMemoryUsageMBChanged)

public:
    // Where the figures come from; tests substitute their own. Called from
    // whichever thread samples.
    class Source
    {
    public:
        virtual ~Source() = default;
        // Resident memory of this process in MB; 0 when it cannot be read.
        virtual double residentMB() = 0;
        // Memory the machine can still hand out, in bytes; none when unknown.
        virtual std::optional<qint64> availableBytes() = 0;
        virtual qint64 physicalBytes() = 0;
    };

    static constexpr qint64 pressureThresholdMB = 500;
    static constexpr std::chrono::milliseconds checkInterval{5000};

    // Samples once at once, then every `interval`, on the GUI thread.
    explicit MemoryMonitor(std::unique_ptr<Source> source, std::chrono::milliseconds interval = checkInterval,
                           QObject* parent = nullptr);
    ~MemoryMonitor() override;

    bool isUnderPressure() const;
    qint64 availableMemoryMB() const;
    double appMemoryUsageMB() const;

    void checkMemory();

    // Available MB when the machine's figure is unknown: physical minus this
    // process minus a 1000 MB margin, never below 0.
    static qint64 estimatedAvailableMB(qint64 physicalMB, double appUsageMB);

signals:
    void isUnderPressureChanged(bool isUnderPressure);
    void availableMemoryMBChanged(qint64 availableMemoryMB);
    void appMemoryUsageMBChanged(double appMemoryUsageMB);

private:
    void startMonitoring();
    qint64 availableMB(double appUsageMB);
    void logTransition(bool underPressure, qint64 availableMB, double appUsageMB);
    void publish(bool underPressure, qint64 availableMB, double appUsageMB);

    std::unique_ptr<Source> m_source;
    QTimer m_timer;
    mutable QMutex m_mutex;
    bool m_isUnderPressure = false;
    qint64 m_availableMemoryMB = 0;
    double m_appMemoryUsageMB = 0;
};
