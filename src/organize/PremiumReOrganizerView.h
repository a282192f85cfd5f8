#pragma once

#include <QWidget>

class ActionButtonsSection;
class ConfigurationSection;
class HistoryTimelineSection;
class OrganizeService;
class PreviewSection;
class ProgressOverlay;
class QLabel;
class ReOrganizerViewModel;
class ScreenshotMonitor;
class StatsCardView;
class SuccessCelebration;

// The re-organizer screen: in one scrolling column a title, the library's
// counts, the history of runs, the layout switches, the preview of a plan and
// the actions; the progress and success overlays above everything. It owns
// its view model.
class PremiumReOrganizerView : public QWidget
{
    Q_OBJECT

public:
    PremiumReOrganizerView(ScreenshotMonitor& monitor, OrganizeService& service, QWidget* parent = nullptr);

    ScreenshotMonitor& monitor() const { return m_monitor; }
    ReOrganizerViewModel& viewModel() const { return *m_viewModel; }
    StatsCardView* stats() const { return m_stats; }
    HistoryTimelineSection* history() const { return m_history; }
    ConfigurationSection* configuration() const { return m_configuration; }
    PreviewSection* preview() const { return m_preview; }
    ActionButtonsSection* actions() const { return m_actions; }
    ProgressOverlay* progressOverlay() const { return m_progress; }
    SuccessCelebration* successOverlay() const { return m_success; }
    // The warning shown when organizing would sweep up a whole home folder.
    QLabel* folderWarning() const { return m_folderWarning; }

    // Whether a monitored folder is too broad to organize without a warning.
    static bool isSweepingFolder(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* contentStack();
    void refresh();
    void updateFolderWarning();

    ScreenshotMonitor& m_monitor;
    ReOrganizerViewModel* m_viewModel;
    StatsCardView* m_stats = nullptr;
    HistoryTimelineSection* m_history = nullptr;
    ConfigurationSection* m_configuration = nullptr;
    PreviewSection* m_preview = nullptr;
    ActionButtonsSection* m_actions = nullptr;
    QLabel* m_folderWarning = nullptr;
    QLabel* m_runProblem = nullptr;
    ProgressOverlay* m_progress = nullptr;
    SuccessCelebration* m_success = nullptr;
};
