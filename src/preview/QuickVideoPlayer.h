#pragma once

#include <QImage>
#include <QUrl>
#include <QVideoFrame>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QMediaPlayer;
class QSlider;
class QVideoSink;
class SymbolLabel;

// A recording with its own controls (play and pause, position, time) under
// the picture, on a black ground with rounded corners. It never starts by
// itself: until it plays, a still of the recording (the poster) stands in
// for the picture. Clicks on it stay inside it.
class QuickVideoPlayer : public QWidget
{
    Q_OBJECT

public:
    static constexpr qreal cornerRadius = 12;

    explicit QuickVideoPlayer(const QUrl& source, QWidget* parent = nullptr);
    ~QuickVideoPlayer() override;

    // None where Qt Multimedia has no backend: the controls are disabled.
    QMediaPlayer* player() const { return m_player; }
    QAbstractButton* playButton() const { return m_playButton; }
    void setPoster(const QImage& poster);
    // What the picture area shows: the newest frame once playing has given
    // one, else the poster (null while there is neither).
    const QImage& picture() const;
    // Where the picture is drawn, in the player's coordinates.
    QRectF pictureRect() const;
    // The size that shows a picture of `picture`'s shape whole within
    // `available`, controls included.
    QSizeF fittingSize(const QSizeF& picture, const QSizeF& available) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showState();
    void showPosition();
    void showLatestFrame();

    QMediaPlayer* m_player = nullptr;
    QVideoSink* m_sink = nullptr;
    // Frames come faster than a slow paint at times: only the newest one
    // waiting is turned into a picture.
    QVideoFrame m_latest;
    bool m_frameQueued = false;
    QImage m_frame;
    QImage m_poster;
    QWidget* m_bar;
    QAbstractButton* m_playButton;
    SymbolLabel* m_playSymbol;
    QSlider* m_position;
    QLabel* m_time;
};
