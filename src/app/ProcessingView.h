#pragma once

#include <QTimer>
#include <QWidget>

class GlowProgressBar;
class QLabel;
class QPushButton;
class ScreenshotMonitor;
class Settings;

// The blocking screen of a folder's first processing run: progress bar,
// counts, batch, memory-pressure notice and percentage, all following the
// monitor, and one action, Cancel, which gives the folder up and returns to
// the welcome screen.
class ProcessingView : public QWidget
{
    Q_OBJECT
    // The background glows' pulse, 0.8 to 1.0.
    Q_PROPERTY(qreal glowScale READ glowScale WRITE setGlowScale)

public:
    static constexpr QSize cardSize{500, 500};
    static constexpr int pulseMs = 4000;

    ProcessingView(ScreenshotMonitor& monitor, Settings& settings, QWidget* parent = nullptr);

    // Stops the run, forgets the folder and its stored bookmark and path, and
    // clears the onboarding flag, so the welcome screen can choose anew.
    void cancelProcessing();

    // The whole percent of a fraction, truncated: 0.999 is "99%". Anything
    // not finite reads "0%".
    static QString percentText(double fraction);

    qreal glowScale() const { return m_glowScale; }
    void setGlowScale(qreal scale);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildCardContent();
    QWidget* buildStatusLines();
    void refresh();

    ScreenshotMonitor& m_monitor;
    Settings& m_settings;
    GlowProgressBar* m_progressBar = nullptr;
    QLabel* m_processed = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_batch = nullptr;
    QWidget* m_memoryNotice = nullptr;
    QLabel* m_percentage = nullptr;
    QPushButton* m_cancel = nullptr;
    qreal m_glowScale = 0.8;
    QTimer m_backdropRepaint;
    bool m_isAnimating = false;
};
