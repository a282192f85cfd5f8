#pragma once

#include <QWidget>

class CompressionFailureView;
class CompressionOptionsSection;
class CompressionProgressOverlay;
class CompressionService;
class CompressionSuccessView;
class FileTypeBreakdown;
class NotSmallerMemory;
class QLabel;
class ScreenshotMonitor;
class SpaceAnalyticsDashboard;
class SpaceSaverActions;
class SpaceSaverViewModel;

// The space saver screen: in one scrolling column a title, the analytics
// card, the breakdown by file type, the quality choice while a plan exists
// and the actions; the progress, success and failure overlays above
// everything. It owns its view model and analyses the library each time it
// is shown.
class SpaceSaverView : public QWidget
{
    Q_OBJECT

public:
    SpaceSaverView(CompressionService& service, ScreenshotMonitor& monitor, NotSmallerMemory& notSmaller,
                   QWidget* parent = nullptr);

    SpaceSaverViewModel& viewModel() const { return *m_viewModel; }
    SpaceAnalyticsDashboard* dashboard() const { return m_dashboard; }
    FileTypeBreakdown* breakdown() const { return m_breakdown; }
    CompressionOptionsSection* options() const { return m_options; }
    SpaceSaverActions* actions() const { return m_actions; }
    CompressionProgressOverlay* progressOverlay() const { return m_progress; }
    CompressionSuccessView* successOverlay() const { return m_success; }
    CompressionFailureView* failureOverlay() const { return m_failure; }
    // The one-time line about a run the start settled, with its Dismiss.
    QWidget* settledRunNotice() const { return m_settledRun; }
    QString settledRunText() const;
    // The figures of the last count are drawn as they are: no count under
    // way, and the gauge and every bar at the end of their springs.
    bool figuresAtRest() const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* contentColumn();
    QWidget* settledRunNotice(QWidget* parent);
    void refresh();

    SpaceSaverViewModel* m_viewModel;
    SpaceAnalyticsDashboard* m_dashboard = nullptr;
    FileTypeBreakdown* m_breakdown = nullptr;
    CompressionOptionsSection* m_options = nullptr;
    SpaceSaverActions* m_actions = nullptr;
    CompressionProgressOverlay* m_progress = nullptr;
    CompressionSuccessView* m_success = nullptr;
    CompressionFailureView* m_failure = nullptr;
    QWidget* m_settledRun = nullptr;
    QLabel* m_settledRunText = nullptr;
};
