#pragma once

#include "core/Screenshot.h"
#include "core/Settings.h"
#include "core/SmartCollection.h"
#include "gallery/GalleryViewMode.h"
#include "ingest/ScreenshotMonitor.h"

#include <QWidget>

#include <functional>
#include <optional>

class GalleryViewModel;
class QAbstractButton;
class QLabel;

// The gallery screen: the whole library, or the members of one collection
// with a back control. Owns its view model for as long as it lives. So far it
// shows its title and how many screenshots it holds.
class GalleryView : public QWidget
{
    Q_OBJECT
    // The caller's flag for the gallery's open preview.
    Q_PROPERTY(bool isShowingPreview READ isShowingPreview WRITE setShowingPreview NOTIFY isShowingPreviewChanged)

public:
    GalleryView(std::optional<SmartCollection> activeCollection, std::function<void()> onBack,
                ScreenshotMonitor& monitor = ScreenshotMonitor::shared(), Settings& settings = Settings::shared(),
                QWidget* parent = nullptr);
    ~GalleryView() override;

    const std::optional<SmartCollection>& activeCollection() const { return m_activeCollection; }
    GalleryViewModel& viewModel() const { return *m_viewModel; }
    // The collection's name, or "Gallery".
    QString title() const;
    // Present only with a collection; it calls onBack.
    QAbstractButton* backButton() const { return m_backButton; }

    bool isShowingPreview() const { return m_isShowingPreview; }
    void setShowingPreview(bool showing);
    // Read from and written to the stored "galleryViewMode".
    GalleryViewMode galleryMode() const;
    void setGalleryMode(GalleryViewMode mode);

    bool showFolderPicker() const { return m_showFolderPicker; }
    const std::optional<Screenshot>& previewScreenshot() const { return m_previewScreenshot; }
    bool showDeleteConfirmation() const { return m_showDeleteConfirmation; }
    double gridScale() const { return m_gridScale; }
    const std::optional<Screenshot>& focusedScreenshot() const { return m_focusedScreenshot; }
    bool isInspectorEditing() const { return m_isInspectorEditing; }

signals:
    void isShowingPreviewChanged(bool showing);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void appear();
    void refreshCount();

    std::optional<SmartCollection> m_activeCollection;
    std::function<void()> m_onBack;
    ScreenshotMonitor& m_monitor;
    Settings& m_settings;
    GalleryViewModel* m_viewModel;
    bool m_isShowingPreview = false;
    bool m_showFolderPicker = false;
    std::optional<Screenshot> m_previewScreenshot;
    bool m_showDeleteConfirmation = false;
    double m_gridScale = 1.0;
    std::optional<Screenshot> m_focusedScreenshot;
    bool m_isInspectorEditing = false;
    bool m_hasAppeared = false;
    QAbstractButton* m_backButton = nullptr;
    QLabel* m_count = nullptr;
};
