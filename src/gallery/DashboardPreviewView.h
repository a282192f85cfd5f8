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
class DesktopIntegration;
class FullImageLoader;
class QAbstractButton;
class QLabel;
class QMessageBox;
class VideoBackend;
class Workers;

// The informative gallery's in-place preview, laid over the grid: the
// focused screenshot fitted to the space (a recording in the video player),
// zoom buttons with the percentage, previous and next arrows (no wrap), a
// close button (Esc), "Open" in the default application and a trash button
// that asks first. The whole image is decoded off the GUI thread with a
// spinner meanwhile; a file that gives no picture says so instead. What to show, where to step and what deletion means
// belong to the gallery, through the three callbacks.
class DashboardPreviewView : public QWidget
{
    Q_OBJECT
    // The zoom as painted, easing towards scale().
    Q_PROPERTY(double shownScale READ shownScale WRITE setShownScale)

public:
    struct Services
    {
        DesktopIntegration& desktop;
        VideoBackend& video;
        Workers& workers;
    };

    static constexpr double zoomStep = 0.25;
    static constexpr double minZoom = 0.5;
    static constexpr double maxZoom = 3.0;

    DashboardPreviewView(const Screenshot& screenshot, QList<Screenshot> allScreenshots, std::function<void()> onClose,
                         std::function<void(const Screenshot&)> onNavigate,
                         std::function<void(const Screenshot&)> onDelete, Services services, QWidget* parent = nullptr);
    ~DashboardPreviewView() override;

    const Screenshot& screenshot() const { return *m_media->screenshot(); }
    // Another screenshot reloads and goes back to 100 %; the same one
    // updated only replaces the record.
    void setScreenshot(const Screenshot& screenshot);
    void setAllScreenshots(QList<Screenshot> screenshots);

    std::optional<Screenshot> previous() const { return m_media->previous(); }
    std::optional<Screenshot> next() const { return m_media->next(); }

    double scale() const { return m_scale; }
    void zoomIn();
    void zoomOut();
    // A pinch in progress: the zoom becomes its magnification, unbounded.
    void applyMagnification(double magnification);
    // The zoom as a whole percentage, cut towards zero ("420%").
    QString zoomText() const;

    bool isLoading() const;
    // The file gave no picture: the still placeholder shows in its place.
    bool isUnreadable() const;
    // Where the picture is drawn now (zoomed, it may reach beyond the view).
    QRectF pictureRect() const;
    const QImage& image() const { return m_media->picture().image(); }
    CustomVideoPlayer* videoPlayer() const { return m_media->videoPlayer(); }
    FullImageLoader& imageLoader() const { return m_media->imageLoader(); }

    // The trash button's and the Delete key's question.
    void askToDelete();
    QMessageBox* deleteConfirmation() const;
    void openInDefaultApp();

    QAbstractButton* previousButton() const { return m_previousButton; }
    QAbstractButton* nextButton() const { return m_nextButton; }
    QAbstractButton* closeButton() const { return m_closeButton; }
    QAbstractButton* zoomInButton() const { return m_zoomInButton; }
    QAbstractButton* zoomOutButton() const { return m_zoomOutButton; }
    QAbstractButton* openButton() const { return m_openButton; }
    QAbstractButton* trashButton() const { return m_trashButton; }

    double shownScale() const { return m_shownScale; }
    void setShownScale(double scale);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* makeToolbar();
    void showMedia();
    void setScale(double scale, bool animated);
    void syncNavigation();
    QRect mediaArea() const;
    void layoutChildren();

    std::function<void()> m_onClose;
    std::function<void(const Screenshot&)> m_onNavigate;
    std::function<void(const Screenshot&)> m_onDelete;
    Services m_services;
    PreviewMedia* m_media;
    double m_scale = 1.0;
    double m_shownScale = 1.0;
    PinchTracker m_pinch;

    ActivitySpinner* m_spinner;
    QWidget* m_unreadable;
    QAbstractButton* m_previousButton;
    QAbstractButton* m_nextButton;
    QAbstractButton* m_closeButton;
    QWidget* m_toolbar;
    QAbstractButton* m_zoomOutButton = nullptr;
    QAbstractButton* m_zoomInButton = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QAbstractButton* m_openButton = nullptr;
    QAbstractButton* m_trashButton = nullptr;
    QPointer<QMessageBox> m_deleteConfirmation;
};
