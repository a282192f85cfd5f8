#pragma once

#include "core/Screenshot.h"
#include "ui/PinchTracker.h"
#include "ui/PreviewMedia.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class ActivitySpinner;
class CustomVideoPlayer;
class DatabaseManager;
class DesktopIntegration;
class FullImageLoader;
class MetadataInspectorView;
class PlainButton;
class QAbstractButton;
class QLabel;
class QMessageBox;
class QSlider;
class ScreenshotMonitor;
class SymbolLabel;
class VideoBackend;
class Workers;

// The full-window preview laid over the whole gallery: one screenshot at
// full resolution (a recording in the video player) below the top bar,
// stepped through the gallery's list with the arrows or the arrow keys,
// zoomed with buttons, a slider, a pinch or Ctrl and the wheel, moved about
// when zoomed by dragging or scrolling, shown in the file manager, deleted
// after a question,
// with the metadata inspector in a side panel ("i"). The screenshot shown,
// the list and the preview's own presence belong to the caller, told
// through the callbacks; deleting is the caller's work too.
class ImagePreviewView : public QWidget
{
    Q_OBJECT
    // The zoom as painted, easing towards scale().
    Q_PROPERTY(double shownScale READ shownScale WRITE setShownScale)
    // How far the inspector panel has come in, 0 to 1.
    Q_PROPERTY(double inspectorReveal READ inspectorReveal WRITE setInspectorReveal)

public:
    struct Services
    {
        DatabaseManager& database;
        ScreenshotMonitor& monitor;
        DesktopIntegration& desktop;
        VideoBackend& video;
        Workers& workers;
    };

    struct Callbacks
    {
        // The preview stepped to another screenshot.
        std::function<void(const Screenshot&)> onNavigate;
        // The preview wants to go (close button, Esc, the backdrop, deletion).
        std::function<void()> onClose;
        std::function<void(const Screenshot&)> onDelete;
        // An edit saved in the inspector, for the caller's list.
        std::function<void(const Screenshot&)> onScreenshotUpdated;
    };

    static constexpr int inspectorWidth = 320;
    static constexpr double zoomStep = 0.5;
    static constexpr double minZoom = 0.1;
    static constexpr double maxZoom = 5.0;

    ImagePreviewView(std::optional<Screenshot> screenshot, QList<Screenshot> allScreenshots, Services services,
                     Callbacks callbacks, QWidget* parent = nullptr);
    ~ImagePreviewView() override;

    const std::optional<Screenshot>& screenshot() const { return m_media->screenshot(); }
    // The caller's current screenshot: another id (or none) reloads and
    // goes back to 100 %; the same one updated only replaces the record.
    void setScreenshot(const std::optional<Screenshot>& screenshot);
    void setAllScreenshots(QList<Screenshot> screenshots);

    bool hasPrevious() const;
    bool hasNext() const;
    void showPrevious();
    void showNext();

    double scale() const { return m_scale; }
    // The slider's and a pinch's way in: at once, without easing.
    void setScale(double scale);
    void zoomIn();
    void zoomOut();
    // A pinch in progress: the zoom becomes its magnification, unbounded.
    void applyMagnification(double magnification);

    bool isInspectorVisible() const { return m_isInspectorVisible; }
    void setInspectorVisible(bool visible);
    bool isInspectorEditing() const { return m_isInspectorEditing; }
    MetadataInspectorView& inspector() const { return *m_inspector; }

    // "Loading high-res..." with the spinner is shown.
    bool isLoading() const;
    // The file gave no picture: the still placeholder shows in its place.
    bool isUnreadable() const;
    // Where the picture is drawn now, and the area it is drawn in: below the
    // top bar, beside the inspector.
    QRectF pictureRect() const;
    QRect imageArea() const;
    const QImage& image() const { return m_media->picture().image(); }
    CustomVideoPlayer* videoPlayer() const { return m_media->videoPlayer(); }
    FullImageLoader& imageLoader() const { return m_media->imageLoader(); }

    void askToDelete();
    QMessageBox* deleteConfirmation() const;
    void revealInFileManager();

    double shownScale() const { return m_shownScale; }
    void setShownScale(double scale);
    double inspectorReveal() const { return m_inspectorReveal; }
    void setInspectorReveal(double reveal);

    QAbstractButton* previousButton() const;
    QAbstractButton* nextButton() const;
    QAbstractButton* closeButton() const;
    QAbstractButton* revealButton() const;
    QAbstractButton* inspectorButton() const;
    QAbstractButton* deleteButton() const;
    QSlider* zoomSlider() const { return m_slider; }
    QWidget* infoBar() const { return m_infoBar; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* makeTopBar();
    QWidget* makeZoomControl();
    QWidget* makeInfoBar();
    void showScreenshot();
    void pictureArrived();
    void pictureUnreadable();
    void step(const std::optional<Screenshot>& target);
    void syncInspectorButton();
    void syncInfoBar();
    void syncChrome();
    void changeScale(double scale, bool animated);
    // The picture's centre moved from the area's by `offset` pixels at the
    // zoom shown, as far as it may go.
    void moveTo(QPointF offset);
    QPointF shownOffset() const;
    void syncPanCursor();
    void layoutChildren();
    FittedPicture& picture() const { return m_media->picture(); }

    Services m_services;
    Callbacks m_callbacks;
    PreviewMedia* m_media;
    double m_scale = 1.0;
    double m_shownScale = 1.0;
    double m_inspectorReveal = 0.0;
    bool m_isInspectorVisible = false;
    bool m_isInspectorEditing = false;
    PinchTracker m_pinch;
    // Where the zoomed picture has been moved to, in parts of its own size,
    // so a change of zoom keeps the same spot in the middle.
    QPointF m_pan;
    bool m_pressedOnBackdrop = false;
    std::optional<QPointF> m_dragFrom;
    bool m_dragged = false;

    QWidget* m_loading;
    QWidget* m_unreadable;
    ActivitySpinner* m_spinner;
    MetadataInspectorView* m_inspector;
    PlainButton* m_previous;
    PlainButton* m_next;
    QWidget* m_topBar = nullptr;
    QWidget* m_fileButtons;
    PlainButton* m_reveal = nullptr;
    PlainButton* m_inspectorToggle = nullptr;
    SymbolLabel* m_inspectorSymbol = nullptr;
    PlainButton* m_delete = nullptr;
    QSlider* m_slider = nullptr;
    PlainButton* m_close = nullptr;
    QWidget* m_infoBar;
    QLabel* m_infoName = nullptr;
    QLabel* m_infoFacts = nullptr;
    QWidget* m_sourceBadge = nullptr;
    QLabel* m_sourceName = nullptr;
    QPointer<QMessageBox> m_deleteConfirmation;
};
