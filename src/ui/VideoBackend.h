#pragma once

#include <QImage>
#include <QUrl>

#include <functional>
#include <memory>

// Plays video files for the players of the previews. The application uses
// Qt Multimedia (MultimediaVideoBackend); tests put a fake in its place.
class VideoBackend
{
public:
    // One opened file. It is paused until play(); destroying it stops the
    // playback and releases the file.
    class Playback
    {
    public:
        virtual ~Playback() = default;
        virtual void play() = 0;
        virtual void pause() = 0;
        virtual qint64 positionMs() const = 0;
    };

    // Receives each new picture, on the GUI thread, while the playback lives.
    using FrameHandler = std::function<void(const QImage&)>;
    // Told on the GUI thread when the playback has reached the end of the
    // file; play() then starts it again from the beginning.
    using EndHandler = std::function<void()>;

    virtual ~VideoBackend() = default;

    // A playback of `url`; a file that cannot be played still gives one,
    // which shows nothing.
    virtual std::unique_ptr<Playback> open(const QUrl& url, FrameHandler onFrame, EndHandler onEnd) = 0;
};

// QMediaPlayer with an audio output and a video sink whose frames are
// handed on as images. When Qt finds no multimedia backend, or a file fails
// to play, it says so on the console once and shows nothing.
class MultimediaVideoBackend : public VideoBackend
{
public:
    std::unique_ptr<Playback> open(const QUrl& url, FrameHandler onFrame, EndHandler onEnd) override;

    // Whether Qt Multimedia can play anything here.
    static bool isAvailable();
};
