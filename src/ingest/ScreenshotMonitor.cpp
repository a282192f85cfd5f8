#include "ingest/ScreenshotMonitor.h"

#include "core/AppEvents.h"
#include "core/Clock.h"
#include "core/Console.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "platform/FolderAccess.h"
#include "platform/FolderChooser.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// Assigns and announces only real changes; callers that must announce every
// assignment do so themselves.
template <typename T, typename Signal>
void assign(ScreenshotMonitor* monitor, T& field, const T& value, Signal signal)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(monitor->*signal)(value);
}

QString defaultFolder()
{
    return QDir::homePath() + u"/Desktop"_s;
}
} // namespace

const QStringList& ScreenshotMonitor::supportedExtensions()
{
    static const QStringList extensions{u"png"_s, u"jpg"_s, u"jpeg"_s, u"heic"_s, u"webp"_s, u"mp4"_s, u"mov"_s};
    return extensions;
}

ScreenshotMonitor::ScreenshotMonitor(Settings& settings, MemoryMonitor& memoryMonitor, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_memoryMonitor(memoryMonitor)
    , m_monitorQueue(u"org.brindlework.Glimmerdeck.filemonitor"_s)
    , m_lastScanDate(Clock::now())
{
    m_timer.setInterval(pollingIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ScreenshotMonitor::checkForChanges);

    const QString stored = m_settings.value(monitoredPathKey).toString();
    m_monitoredPath = stored.isEmpty() ? defaultFolder() : stored;

    const bool restored = restoreFolderAccess();
    Console::printLine(restored ? u"✅ Restored secure access to: "_s + m_monitoredPath
                                : u"ℹ️ Using standard path: "_s + m_monitoredPath);
    Console::printLine(u"📁 ScreenshotMonitor initialized"_s);
    Console::printLine(u"📂 Monitoring: "_s + m_monitoredPath);
}

ScreenshotMonitor::~ScreenshotMonitor()
{
    if (!m_monitoredURL.isEmpty())
        FolderAccess::stopAccessing(m_monitoredURL);
}

ScreenshotMonitor& ScreenshotMonitor::shared()
{
    static ScreenshotMonitor* instance = new ScreenshotMonitor(Settings::shared(), MemoryMonitor::shared());
    return *instance;
}

void ScreenshotMonitor::setFolderChooser(std::unique_ptr<FolderChooser> chooser)
{
    m_folderChooser = std::move(chooser);
}

void ScreenshotMonitor::setMonitoredPath(const QString& path)
{
    assignMonitoredPath(path);
    m_settings.setValue(monitoredPathKey, m_monitoredPath);
    restartMonitoring();
}

void ScreenshotMonitor::assignMonitoredPath(const QString& path)
{
    assign(this, m_monitoredPath, path, &ScreenshotMonitor::monitoredPathChanged);
}

void ScreenshotMonitor::setIsProcessing(bool value)
{
    assign(this, m_isProcessing, value, &ScreenshotMonitor::isProcessingChanged);
    Q_EMIT AppEvents::shared().processingStateChanged(m_isProcessing);
}

void ScreenshotMonitor::setHasIncompleteFiles(bool value)
{
    assign(this, m_hasIncompleteFiles, value, &ScreenshotMonitor::hasIncompleteFilesChanged);
    // Announced under the processing key, as observers expect.
    Q_EMIT AppEvents::shared().processingStateChanged(m_hasIncompleteFiles);
}

void ScreenshotMonitor::setScreenshots(QList<Screenshot> screenshots)
{
    m_screenshots = std::move(screenshots);
    Q_EMIT screenshotsChanged();
}

void ScreenshotMonitor::setHasFileAccess(bool value)
{
    assign(this, m_hasFileAccess, value, &ScreenshotMonitor::hasFileAccessChanged);
}

void ScreenshotMonitor::setIsProcessingBlocking(bool value)
{
    assign(this, m_isProcessingBlocking, value, &ScreenshotMonitor::isProcessingBlockingChanged);
}

void ScreenshotMonitor::setProcessingProgressValue(double value)
{
    // A share of the run: never NaN or outside 0..1, whatever the counts were.
    const double clamped = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
    assign(this, m_processingProgressValue, clamped, &ScreenshotMonitor::processingProgressValueChanged);
}

void ScreenshotMonitor::setProcessedCount(int value)
{
    assign(this, m_processedCount, value, &ScreenshotMonitor::processedCountChanged);
}

void ScreenshotMonitor::setProcessingProgress(int value)
{
    assign(this, m_processingProgress, value, &ScreenshotMonitor::processingProgressChanged);
}

void ScreenshotMonitor::setTotalToProcess(int value)
{
    assign(this, m_totalToProcess, value, &ScreenshotMonitor::totalToProcessChanged);
}

void ScreenshotMonitor::setCurrentBatchNumber(int value)
{
    assign(this, m_currentBatchNumber, value, &ScreenshotMonitor::currentBatchNumberChanged);
}

void ScreenshotMonitor::setTotalBatches(int value)
{
    assign(this, m_totalBatches, value, &ScreenshotMonitor::totalBatchesChanged);
}

void ScreenshotMonitor::setIsUnderMemoryPressure(bool value)
{
    assign(this, m_isUnderMemoryPressure, value, &ScreenshotMonitor::isUnderMemoryPressureChanged);
}

bool ScreenshotMonitor::isCurrent(const QString& folder, quint64 generation) const
{
    return m_monitoredPath == folder && m_generation == generation;
}

void ScreenshotMonitor::startMonitoring()
{
    if (m_isMonitoringActive) {
        Console::printLine(u"✅ Monitor already active, skipping start"_s);
        return;
    }
    // A start still queued when the folder is given up or changed again must not run.
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation.load()] {
            if (generation == m_generation)
                startMonitoringAsync(false);
        },
        Qt::QueuedConnection);
}

void ScreenshotMonitor::startMonitoringAsync(bool force)
{
    m_isCancelled = false;
    if (m_isMonitoringActive && !force) {
        Console::printLine(u"reshing monitoring skipped (already active)"_s);
        return;
    }
    if (force) {
        Console::printLine(u"🔄 FORCE Reloading monitoring data..."_s);
        m_timer.stop();
    }
    m_isMonitoringActive = true;
    Console::printLine(u"🔍 Starting file monitoring (Force: %1)..."_s.arg(force ? u"true"_s : u"false"_s));

    const QFileInfo folder(m_monitoredPath);
    if (!folder.isDir() || !folder.isReadable()) {
        Console::printLine(u"⚠️ No file access needed for: "_s + m_monitoredPath);
        setHasFileAccess(false);
        return;
    }
    setHasFileAccess(true);
    loadScreenshotLibrary();
    Console::printLine(u"✅ Monitoring started"_s);
}

void ScreenshotMonitor::stopMonitoring()
{
    Console::printLine(u"🛑 Stopping file monitoring..."_s);
    m_isMonitoringActive = false;
    m_timer.stop();
}

void ScreenshotMonitor::restartMonitoring()
{
    stopMonitoring();
    ++m_generation;
    setScreenshots({});
    m_knownFiles.clear();
    m_lastScanDate = Clock::now();
    startMonitoring();
}

void ScreenshotMonitor::cancelProcessing()
{
    Console::printLine(u"🛑 CANCEL: User requested cancellation"_s);
    m_isCancelled = true;
    stopProcessingRun();
    setIsProcessing(false);
    setIsProcessingBlocking(false);
    setScreenshots({});
    Console::printLine(u"   ✅ Processing cancelled, state reset"_s);
}

void ScreenshotMonitor::updateScreenshot(const Screenshot& screenshot)
{
    const qsizetype index = m_screenshots.indexOf(screenshot);
    if (index < 0)
        return;
    m_screenshots[index] = screenshot;
    Q_EMIT screenshotsChanged();
}

void ScreenshotMonitor::startPollingTimer()
{
    Console::printLine(u"⏰ Starting polling timer..."_s);
    if (m_pollingPauses == 0)
        m_timer.start();
}

void ScreenshotMonitor::resetProgressState()
{
    setHasIncompleteFiles(false);
    setTotalToProcess(0);
    setProcessingProgress(0);
    setProcessedCount(0);
    setProcessingProgressValue(0.0);
    setIsProcessing(false);
    setIsProcessingBlocking(false);
}

void ScreenshotMonitor::forgetFolder()
{
    cancelProcessing();
    stopMonitoring();
    ++m_generation;
    if (!m_monitoredURL.isEmpty())
        FolderAccess::stopAccessing(m_monitoredURL);
    m_monitoredURL.clear();
    setHasFileAccess(false);
    m_knownFiles.clear();
    resetProgressState();
}
