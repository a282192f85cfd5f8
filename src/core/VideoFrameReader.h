#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// Still frames of one recording (mp4, mov), decoded with FFmpeg. Frames are
// exact, not the nearest key frame, and upright: the stream's display matrix
// (rotation, mirroring) is applied. One reader belongs to one thread at a
// time; separate readers may run in parallel.
class VideoFrameReader
{
public:
    explicit VideoFrameReader(const QString& path);
    ~VideoFrameReader();
    VideoFrameReader(const VideoFrameReader&) = delete;
    VideoFrameReader& operator=(const VideoFrameReader&) = delete;

    // Whether the file opened with a decodable video stream.
    bool isOpen() const;
    // Why opening or the last frameAt() failed; empty after a success.
    QString errorString() const;

    // Length of the video in seconds, when the container states it.
    std::optional<double> duration() const;
    // Pixel size of the upright frames.
    QSize frameSize() const;

    // The frame a player shows `seconds` after the start: the last frame that
    // begins at or before that time (the first frame for any time before it).
    // A null image with errorString() set when the time lies at or beyond the
    // end, or nothing can be decoded.
    QImage frameAt(double seconds);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
