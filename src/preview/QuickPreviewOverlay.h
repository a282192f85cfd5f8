#pragma once

#include "core/Screenshot.h"

#include <QImage>
#include <QRectF>
#include <QThreadPool>
#include <QWidget>

class ActivitySpinner;
class QAbstractButton;
class QLabel;
class QuickVideoPlayer;

// The tray popup's quick look at one screenshot, over a dark backdrop: the
// image fitted into the popup, or the recording with its controls. A click on
// the backdrop or on the image, or the close button, asks to close; a click
// on the recording does not. The image (for a recording, a still of it) is
// decoded off the GUI thread, with a spinner meanwhile and a short message
// when the file cannot be read.
class QuickPreviewOverlay : public QWidget
{
    Q_OBJECT

public:
    enum class Content { loading, image, video, unreadable };

    QuickPreviewOverlay(const Screenshot& screenshot, QWidget* parent = nullptr);
    ~QuickPreviewOverlay() override;

    const Screenshot& screenshot() const { return m_screenshot; }
    Content content() const { return m_content; }
    QAbstractButton* closeButton() const { return m_closeButton; }
    QuickVideoPlayer* videoPlayer() const { return m_video; }
    // Where the image is drawn, in the overlay's coordinates (empty until loaded).
    QRectF imageRect() const;

signals:
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRectF mediaArea() const;
    void startLoading();
    void imageLoaded(const QImage& image);
    void layoutChildren();

    Screenshot m_screenshot;
    Content m_content = Content::loading;
    QImage m_image;
    QAbstractButton* m_closeButton = nullptr;
    ActivitySpinner* m_busy = nullptr;
    QLabel* m_message = nullptr;
    QuickVideoPlayer* m_video = nullptr;
    // The decoding thread; waited for when the overlay goes.
    QThreadPool m_decoder;
};
