#pragma once

#include "core/ImageCache.h"
#include "core/Scheduler.h"
#include "core/Screenshot.h"
#include "library/SearchIndex.h"
#include "preview/MiniScreenshotItem.h"

#include <QList>
#include <QPointer>
#include <QThreadPool>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class CustomSearchBar;
class GalleryViewModel;
class MiniGalleryGrid;
class QAbstractButton;
class QGraphicsOpacityEffect;
class QLabel;
class QStackedLayout;
class QuickPreviewOverlay;
class ThumbnailLoader;

// The tray popup's gallery over a view model of its own: every screenshot of
// the library, newest first, with a search over file names, recognised text,
// labels, custom tags and notes. A click on a cell copies the file; its hover
// buttons copy the file or the text, or open a quick preview inside the
// popup. The footer confirms a copy, leads to the dashboard, and quits.
//
// Searching a large library runs on a worker over a snapshot of the list;
// a newer keystroke cancels the older search, and a result is shown only if
// nothing newer has started.
class MiniGalleryView : public QWidget
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds copiedMarkerDuration{1500};
    // Up to this many screenshots are filtered at once on the GUI thread.
    static constexpr qsizetype synchronousFilterLimit = 2000;
    static inline const QString placeholder = QStringLiteral("Search screenshots...");
    static constexpr QSizeF thumbnailSize{160, 160};

    MiniGalleryView(GalleryViewModel& viewModel, std::function<void()> onOpenDashboard, std::function<void()> onQuit,
                    QWidget* parent = nullptr);
    ~MiniGalleryView() override;

    GalleryViewModel& viewModel() const { return m_viewModel; }
    // The delays (the copy confirmation's end); for tests.
    void setScheduler(Scheduler& scheduler) { m_scheduler = &scheduler; }

    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    // What the grid shows: the view model's list, filtered by the search.
    const QList<Screenshot>& filteredScreenshots() const { return m_shown; }
    // A search still running on the worker.
    bool isFiltering() const { return m_filterRunning; }
    const std::optional<QUuid>& copiedId() const { return m_copiedId; }
    // No thumbnail is being made or waiting to be.
    bool isThumbnailLoadingIdle() const;
    std::optional<Screenshot> previewScreenshot() const;

    // No picture can be made of the file (an empty or cut-off image), as its
    // thumbnail found; a recording without a still may still play.
    bool isUnreadable(const Screenshot& screenshot) const;
    // Copies the file's link, or, for an image that cannot be opened, says
    // so in the footer and leaves the clipboard alone.
    void copyImage(const Screenshot& screenshot);
    void copyText(const Screenshot& screenshot);
    void openQuickPreview(const Screenshot& screenshot);
    void closeQuickPreview();

    // Parts of the view.
    CustomSearchBar* searchBar() const { return m_searchBar; }
    MiniGalleryGrid* grid() const { return m_grid; }
    ThumbnailLoader& thumbnails() const { return *m_thumbnails; }
    QuickPreviewOverlay* quickPreview() const;
    QAbstractButton* headerDashboardButton() const { return m_headerDashboardButton; }
    QAbstractButton* openDashboardButton() const { return m_openDashboardButton; }
    QAbstractButton* quitButton() const { return m_quitButton; }
    bool showsCopiedConfirmation() const;
    // The footer says that the image asked for cannot be opened.
    bool showsUnreadableNotice() const;
    // The empty state's text, or nothing while the grid shows screenshots.
    std::optional<QString> emptyStateText() const;

signals:
    // The grid shows a new list (a search's result, or the library changed).
    void filteredScreenshotsChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeHeaderRow();
    QWidget* makeSearchRow();
    QWidget* makeContent();
    QWidget* makeEmptyState();
    QWidget* makeFooterRow();

    void libraryChanged();
    void refilter();
    QThreadPool& searchThreads() const;
    void showFiltered(const QList<Screenshot>& screenshots);
    void cancelFilter();
    void prepareSearch();
    void releaseOffGuiThread(QList<Screenshot>&& list);
    void cellAction(MiniScreenshotItem::Action action, const Screenshot& screenshot);
    void markCopied(const Screenshot& screenshot);
    void clearCopiedMarker(const QUuid& id);
    void tellUnreadable(const Screenshot& screenshot);
    void clearUnreadableNotice(const QUuid& id);
    // Fades the footer's note in with `text`, or out.
    void showFooterNote(bool show, const QString& text = {}, const QColor& color = {});
    void showCopiedConfirmation(bool show);

    GalleryViewModel& m_viewModel;
    std::function<void()> m_onOpenDashboard;
    std::function<void()> m_onQuit;
    Scheduler* m_scheduler;

    QString m_searchText;
    QList<Screenshot> m_shown;
    std::optional<QUuid> m_copiedId;
    std::optional<QUuid> m_unreadableNoticeId;
    bool m_needsFilter = true;

    // The folded texts of the library, built for a search and dropped when
    // the popup closes; `m_libraryGeneration` names the list they are of.
    std::shared_ptr<SearchIndex::Cache> m_searchIndex;
    quint64 m_libraryGeneration = 1;
    quint64 m_filterRun = 0;
    bool m_filterRunning = false;
    std::shared_ptr<std::atomic<bool>> m_filterCancelled;
    std::shared_ptr<std::atomic<bool>> m_preparationCancelled;

    // The popup's own small thumbnails, apart from the gallery cards' cache.
    ImageCache m_thumbnailCache;
    ThumbnailLoader* m_thumbnails = nullptr;

    CustomSearchBar* m_searchBar = nullptr;
    MiniGalleryGrid* m_grid = nullptr;
    QStackedLayout* m_content = nullptr;
    QWidget* m_emptyState = nullptr;
    QLabel* m_emptyText = nullptr;
    QLabel* m_copiedLabel = nullptr;
    QGraphicsOpacityEffect* m_copiedOpacity = nullptr;
    QAbstractButton* m_headerDashboardButton = nullptr;
    QAbstractButton* m_openDashboardButton = nullptr;
    QAbstractButton* m_quitButton = nullptr;
    QPointer<QuickPreviewOverlay> m_preview;
};
