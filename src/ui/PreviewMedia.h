#pragma once

#include "core/Screenshot.h"
#include "ui/FittedPicture.h"

#include <QList>
#include <QObject>

#include <optional>

class CustomVideoPlayer;
class FullImageLoader;
class QWidget;
class VideoBackend;
class Workers;

// What a preview shows of the screenshot it is on, and where its arrows
// step: the whole picture, decoded off the GUI thread (a file that gives no
// picture is said to be unreadable), or a recording in the video player, which
// needs no decoding; and the list it steps through, by id, without
// wrapping. The gallery's in-place preview and its full-window preview both
// show through one of these.
class PreviewMedia : public QObject
{
    Q_OBJECT

public:
    // The player, when one is needed, is made as a child of `host`, beneath
    // its other children; the host places it.
    PreviewMedia(QWidget& host, VideoBackend& video, Workers& workers);
    ~PreviewMedia() override;

    const std::optional<Screenshot>& screenshot() const { return m_screenshot; }
    // Another screenshot (another id, or none) clears the picture and loads
    // or plays the new one, and answers true; the same one updated only
    // replaces the record.
    bool setScreenshot(const std::optional<Screenshot>& screenshot);
    const QList<Screenshot>& allScreenshots() const { return m_allScreenshots; }
    void setAllScreenshots(QList<Screenshot> screenshots);

    // The neighbours of the screenshot shown; none past either end, nor for
    // a screenshot that is not in the list.
    std::optional<Screenshot> previous() const;
    std::optional<Screenshot> next() const;

    bool isVideo() const { return m_screenshot && m_screenshot->isVideo(); }
    // A picture is awaited: still decoding.
    bool isLoading() const { return m_screenshot && !isVideo() && m_picture.isNull() && !m_unreadable; }
    // The file gave no picture (empty, cut short, or no image): nothing more
    // will come for this screenshot.
    bool isUnreadable() const { return m_unreadable; }
    FittedPicture& picture() { return m_picture; }
    const FittedPicture& picture() const { return m_picture; }
    CustomVideoPlayer* videoPlayer() const { return m_video; }
    FullImageLoader& imageLoader() const { return *m_loader; }

signals:
    void pictureArrived();
    void pictureUnreadable();

private:
    void load();
    void imageLoaded(const QString& path, const QImage& image);
    std::optional<qsizetype> position() const;

    QWidget& m_host;
    VideoBackend& m_videoBackend;
    FullImageLoader* m_loader;
    std::optional<Screenshot> m_screenshot;
    QList<Screenshot> m_allScreenshots;
    FittedPicture m_picture;
    bool m_unreadable = false;
    CustomVideoPlayer* m_video = nullptr;
};
