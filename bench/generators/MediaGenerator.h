#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <random>

// Deterministic pictures and recordings for decoding benchmarks: the same
// seed draws the same picture on every run. Drawing text needs a
// QGuiApplication.
class MediaGenerator
{
public:
    explicit MediaGenerator(quint32 seed);

    // A camera-like picture: soft gradients, blurred shapes and sensor grain,
    // which gives JPEG the entropy of a real photo.
    QImage photo(const QSize& size);
    // A harsh close-up texture in the manner of fabric or gravel: short dark
    // strokes of letter size in loose rows over grain. Layout engines find
    // "lines" all over it, and recognition reads them as thousands of words.
    QImage noisyPhoto(const QSize& size);
    // A screen-like picture: flat window panels, lines of text, a few icons.
    QImage screenshot(const QSize& size);

    // Desktop wallpapers as they are rendered: flat overlapping shapes, soft
    // gradients, or fine regular patterns (graph paper, dots, hatching).
    // Unlike photographs they are made of flat areas, so they pass for
    // screens; the patterns give the layout of text thousands of letter-sized
    // marks in rows.
    enum class Wallpaper { flatShapes, gradient, gridPattern, dotPattern, hatchPattern };
    QImage wallpaper(const QSize& size, Wallpaper kind);

    // HEIC through libheif's HEVC encoder at `quality` (0–100).
    // The three photographs that once held the analysis up, for the
    // pipeline's worst-file figures: a noisy 12 MP texture (PNG), a noisy
    // 48 MP texture (JPEG) and a camera-like 12 MP JPEG, written into
    // `folder` with the names returned.
    static QStringList writeLargePhotos(const QString& folder, quint32 seed);
    // One 4096 x 4096 PNG of each kind of wallpaper, written into `folder`
    // with the names returned.
    static QStringList writeWallpapers(const QString& folder, quint32 seed);

    static bool writeHeic(const QString& path, const QImage& image, int quality = 80);
    // An H.264 screen recording made by the ffmpeg command: a moving test
    // pattern with a clock, key frames as the encoder picks them.
    static bool writeRecording(const QString& path, const QSize& size, double seconds, int framesPerSecond = 30);

private:
    QColor color();
    int between(int low, int high);

    std::mt19937 m_random;
};
