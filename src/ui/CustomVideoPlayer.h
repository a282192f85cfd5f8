#pragma once

#include "ui/VideoBackend.h"

#include <QImage>
#include <QUrl>
#include <QWidget>

#include <memory>

class FloatingSymbolButton;
class QAbstractButton;

// One screen recording inside a preview: the picture, aspect-fitted on
// black, and a single round play/pause button in the middle, shown while the
// pointer is over the video or while it is paused. It plays by itself when
// shown, and pauses and lets go of its player when hidden (the next showing
// starts again from the beginning). Played to its end, it shows the play
// button, which plays it again. Giving it another file while shown stops the
// old one and plays the new one.
class CustomVideoPlayer : public QWidget
{
    Q_OBJECT

public:
    static constexpr int buttonFadeMs = 200;

    CustomVideoPlayer(const QUrl& url, VideoBackend& backend, QWidget* parent = nullptr);
    ~CustomVideoPlayer() override;

    // A preview's player shown for `url`: `existing` with the new file, or a
    // new one beneath the preview's other children.
    static CustomVideoPlayer* showFor(CustomVideoPlayer* existing, const QUrl& url, VideoBackend& backend,
                                      QWidget* parent);

    const QUrl& url() const { return m_url; }
    void setUrl(const QUrl& url);

    bool hasPlayer() const { return m_playback != nullptr; }
    // The last play or pause this view asked for, until the file's end.
    bool isPlaying() const { return m_isPlaying; }
    // The pointer is over the view.
    bool showsControls() const { return m_showControls; }
    bool isButtonShown() const;
    QAbstractButton* playPauseButton() const;
    QString buttonSymbol() const;
    const QImage& currentFrame() const { return m_frame; }
    // Where the current playback is; 0 without one.
    qint64 positionMs() const { return m_playback ? m_playback->positionMs() : 0; }

    // The button's action: pause while playing, play otherwise; nothing
    // without a player.
    void togglePlayback();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void startPlayback();
    void releasePlayback();
    void reachedEnd();
    void setShowControls(bool show);
    void syncButton(int durationMs = 0);

    QUrl m_url;
    VideoBackend& m_backend;
    std::unique_ptr<VideoBackend::Playback> m_playback;
    bool m_isPlaying = false;
    bool m_showControls = false;
    QImage m_frame;
    FloatingSymbolButton* m_button;
};
