#pragma once

#include "duplicates/DuplicateFinderViewModel.h"
#include "duplicates/DuplicatePreviewView.h"

#include <QPointer>
#include <QWidget>

#include <array>

class DatabaseManager;
class DuplicateGroupList;
class MemberThumbnails;
class PlainButton;
class QLabel;
class QStackedWidget;
class ScreenshotMonitor;
class Trash;
class Workers;

// The duplicate finder screen: a fixed header with the summary and the
// actions, and below it the idle state, the empty state or the list of
// groups. Clicking a member opens its group's preview as a sheet.
class DuplicateFinderView : public QWidget
{
    Q_OBJECT

public:
    enum class Content {
        Idle,
        Empty,
        Groups,
    };

    // Renditions of the members are made on the workers' thumbnail pool.
    DuplicateFinderView(ScreenshotMonitor& monitor, DatabaseManager& database, Trash& trash, Workers& workers,
                        QWidget* parent = nullptr);
    ~DuplicateFinderView() override;

    DuplicateFinderViewModel& viewModel() const { return *m_viewModel; }
    Content content() const;
    DuplicateGroupList* groupList() const { return m_list; }
    DuplicatePreviewView* preview() const { return m_preview; }
    QLabel* subtitle() const { return m_subtitle; }
    PlainButton* analyzeButton() const { return m_analyze; }
    PlainButton* autoDeleteButton() const { return m_autoDelete; }
    PlainButton* startScanButton() const { return m_startScan; }
    QWidget* progressBlock() const { return m_progressBlock; }
    QLabel* progressText() const { return m_progressText; }
    // What the last deletion did, under the header; none before the first.
    QLabel* deletionLine() const { return m_deletionLine; }

    // The line's text: how many went to the Trash, and which did not and why.
    static QString deletionText(const DuplicateFinderViewModel::DeletionReport& report);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeIdleState();
    QWidget* makeEmptyState() const;
    void showResult();
    void showProgress();
    void showPreview();
    void showDeletion();

    Workers& m_workers;
    DuplicateFinderViewModel* m_viewModel;
    MemberThumbnails* m_thumbnails;
    QLabel* m_subtitle = nullptr;
    PlainButton* m_autoDelete = nullptr;
    PlainButton* m_analyze = nullptr;
    PlainButton* m_startScan = nullptr;
    QWidget* m_progressBlock = nullptr;
    QLabel* m_progressText = nullptr;
    std::array<QLabel*, 2> m_deletionLines{}; // done, and done in part
    QLabel* m_deletionLine = nullptr;         // the one on show
    QStackedWidget* m_content = nullptr;
    DuplicateGroupList* m_list = nullptr;
    QPointer<DuplicatePreviewView> m_preview;
};
