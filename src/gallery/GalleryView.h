#pragma once

#include "core/Screenshot.h"
#include "core/SmartCollection.h"
#include "gallery/GalleryOverlays.h"
#include "gallery/GalleryViewMode.h"
#include "library/GalleryViewModel.h"

#include <QHash>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <optional>

class AppEvents;
class DashboardPreviewView;
class DatabaseManager;
class DesktopIntegration;
class ImagePreviewView;
class MetadataInspectorView;
class Trash;
class QAbstractButton;
class FolderChooser;
class GalleryGridView;
class GalleryHeader;
class ImageCache;
class QShortcut;
class QStackedLayout;
class ScreenshotMonitor;
class Settings;
class VideoBackend;
class Workers;

// The gallery screen: the whole library, or the members of one collection
// with a back control, as a zoomable grid with search, selection, deletion
// to the Trash and a choice of folder. Owns its view model for as long as it
// lives; every change of the library goes through it or the monitor.
class GalleryView : public QWidget
{
    Q_OBJECT
    // The caller's flag for the gallery's open full preview.
    Q_PROPERTY(bool isShowingPreview READ isShowingPreview WRITE setShowingPreview NOTIFY isShowingPreviewChanged)

public:
    // What the screen works with, owned by the application.
    struct Services
    {
        ScreenshotMonitor& monitor;
        Settings& settings;
        ImageCache& thumbnails;
        DesktopIntegration& desktop;
        FolderChooser& folderChooser;
        Trash& trash;
        DatabaseManager& database;
        Workers& workers;
        std::shared_ptr<const GallerySearch> search;
        // "OpenScreenshot" arrives here.
        AppEvents& events;
        VideoBackend& video;
    };

    static constexpr double zoomStep = 0.25;
    static constexpr int inspectorWidth = 320;

    GalleryView(std::optional<SmartCollection> activeCollection, std::function<void()> onBack, Services services,
                QWidget* parent = nullptr);
    ~GalleryView() override;

    const std::optional<SmartCollection>& activeCollection() const { return m_activeCollection; }
    // A new collection for a living screen: the view model refilters.
    void setActiveCollection(std::optional<SmartCollection> collection);
    GalleryViewModel& viewModel() const { return *m_viewModel; }
    GalleryGridView& grid() const { return *m_grid; }
    GalleryHeader& header() const { return *m_header; }
    // The collection's name, or "Gallery".
    QString title() const;
    // Present only with onBack; it calls onBack.
    QAbstractButton* backButton() const;

    bool isShowingPreview() const { return m_isShowingPreview; }
    void setShowingPreview(bool showing);
    // Read from and written to the stored "galleryViewMode".
    GalleryViewMode galleryMode() const;
    void setGalleryMode(GalleryViewMode mode);

    bool showFolderPicker() const { return m_folderPicker != nullptr; }
    FolderPickerView* folderPicker() const { return m_folderPicker; }
    const std::optional<Screenshot>& previewScreenshot() const { return m_previewScreenshot; }
    bool showDeleteConfirmation() const { return m_deleteConfirmation != nullptr; }
    QMessageBox* deleteConfirmation() const { return m_deleteConfirmation; }
    double gridScale() const { return m_gridScale; }
    void setGridScale(double scale);
    const std::optional<Screenshot>& focusedScreenshot() const { return m_focusedScreenshot; }
    bool isInspectorEditing() const { return m_isInspectorEditing; }
    bool isSelectionBarShown() const;
    bool isInspectorShown() const;
    MetadataInspectorView& inspector() const { return *m_inspector; }
    // The in-place preview of the focused screenshot (informative mode only).
    DashboardPreviewView* inPlacePreview() const;
    // The full-window preview while isShowingPreview.
    ImagePreviewView* fullPreview() const;

    void zoomIn();
    void zoomOut();
    // One report of a pinch in progress: its magnification since it began.
    void applyMagnification(double magnification);
    void handleSingleTap(const Screenshot& screenshot, Qt::KeyboardModifiers modifiers = {});
    void handleDoubleTap(const Screenshot& screenshot);
    void toggleSelection(const QUuid& id);
    // The card's menu: "Open", "Show in File Manager", "Select", "Delete".
    QMenu* contextMenu(const Screenshot& screenshot);
    // "Share" of the selection bar: the desktop's ways with the selected
    // files (clipboard, mail, file manager).
    QMenu* shareMenu();
    SelectionBar& selectionBar() const { return *m_selectionBar; }
    void deleteCommand();
    // A deletion asked for by a preview: only this screenshot, then the
    // selection is empty again; selection mode stays as it was.
    void deleteSingle(const Screenshot& screenshot);
    // "OpenScreenshot": {"id": UUID text}; acted on only while on screen.
    void handleSpotlightOpen(const QVariantMap& userInfo);

signals:
    void isShowingPreviewChanged(bool showing);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLayout(bool hasBack);
    void connectViewModel();
    void connectHeader();
    void connectGrid();
    void appear();
    void showLibraryArea();
    void syncInPlacePreview();
    void showInPlacePreview(bool shown);
    void closeInPlacePreviewForResults();
    QWidget* doubleClickPart(const QWidget* widget) const;
    void strayDoubleClick(QWidget* part, QWidget* firstPart);
    void syncDeleteShortcuts();
    void reportFailures(const GalleryViewModel::DeletionResult& result);
    void syncSelection();
    void syncMode();
    void forgetDeletedFocus();
    void openPreview(const Screenshot& screenshot);
    void presentFullPreview();
    void dismissFullPreview();
    void previewEdited(const Screenshot& edited);
    void listEdited(const Screenshot& edited);
    QList<Screenshot> previewList();
    void syncPreviewLists();
    void setFocused(std::optional<Screenshot> screenshot);
    void askToDelete();
    void confirmDeletion();
    void deletionFinished(const GalleryViewModel::DeletionResult& result);
    void openFolderPicker();
    void placeSelectionBar();
    QStringList selectedPaths() const;

    std::optional<SmartCollection> m_activeCollection;
    std::function<void()> m_onBack;
    Services m_services;
    GalleryViewModel* m_viewModel;
    GalleryHeader* m_header = nullptr;
    PermissionBanner* m_banner = nullptr;
    GalleryGridView* m_grid = nullptr;
    QStackedLayout* m_libraryArea = nullptr;
    QWidget* m_emptyState = nullptr;
    QWidget* m_inspectorPanel = nullptr;
    MetadataInspectorView* m_inspector = nullptr;
    SelectionBar* m_selectionBar = nullptr;
    QList<QShortcut*> m_deleteShortcuts;
    QPointer<FolderPickerView> m_folderPicker;
    QPointer<QMessageBox> m_deleteConfirmation;
    QPointer<QMenu> m_contextMenu;
    QPointer<QMenu> m_shareMenu;
    QPointer<DashboardPreviewView> m_inPlacePreview;
    QPointer<ImagePreviewView> m_fullPreview;
    // Edits the day sections may not show yet, by id.
    QHash<QUuid, Screenshot> m_recentEdits;
    bool m_isShowingPreview = false;
    std::optional<Screenshot> m_previewScreenshot;
    double m_gridScale = 1.0;
    std::optional<Screenshot> m_focusedScreenshot;
    bool m_isInspectorEditing = false;
    bool m_hasAppeared = false;
};
