#pragma once

#include "core/LeasePool.h"
#include "core/SharedWork.h"
#include "ingest/TextRecognizer.h"

#include <QImage>

#include <stop_token>
#include <vector>

// Reads the text lines of a picture in reading order. The picture is made
// dark ink on white and laid out once; then, when work is shared, each line
// the layout found is recognised on its own, a few lines to a part that idle
// engines of the analysis pool help with, and the lines are put back in
// reading order. Without sharing, the engine that laid the page out reads it
// as a whole.
// Very large pictures are laid out in horizontal tiles cut along blank rows,
// so that no engine holds the whole of one. Photographs are read at a
// reduced size and laid out in small tiles: the layout cannot be interrupted,
// and on a busy texture it takes seconds a megapixel, so small tiles are what
// let a stop or a spent budget end it soon. Every part of the work charges
// the processor time of the budget's account.
class PageReader
{
public:
    using Engines = LeasePool<TextRecognizer>;

    PageReader(Engines& engines, SharedWork& work);

    using Limits = TextRecognizer::Limits;

    // The lines of `image`, which is let go as soon as its ink is made.
    // Failure::stopped when a stop was requested meanwhile: what was read so
    // far does not count. Past the deadline no layout or line begins, and
    // what was read until then is the result.
    TextRecognizer::Result read(QImage image, const Limits& limits = {});
    TextRecognizer::Result read(QImage image, std::stop_token stop) { return read(std::move(image), Limits{stop}); }

    // `image` as grey ink on white, whatever the colours around the text:
    // light and dark themes, coloured bubbles and terminals inside a light
    // window all read alike, and filled shapes vanish instead of being taken
    // for pictures by the layout. Null when the picture is too large to hold.
    static QImage inkOnWhite(const QImage& image);
    // The same, made in bands of rows shared as parts of the work, which
    // charge `account`; null when stopped.
    QImage ink(const QImage& image, const std::stop_token& stop = {}, CpuAccount* account = nullptr);

    // Consecutive lines recognised as one part, each on its own. One: the
    // lines of the page laid out last are what a batch's end waits for, and
    // the finer they are shared, the sooner every engine is done with them.
    static constexpr int linesPerBand = 1;
    // Pictures above this many pixels are laid out in tiles of about tilePixels.
    static constexpr qint64 tileAbovePixels = 24'000'000;
    static constexpr qint64 tilePixels = 8'000'000;
    // Photographs are laid out in tiles of about this many pixels: a quarter
    // of a second of layout on the busiest texture.
    static constexpr qint64 photographTilePixels = 160'000;

    // Rows where the tiles of `ink` begin, the first 0: tiles of about
    // `pixels` once the picture holds more than `abovePixels`.
    static std::vector<int> tileTops(const QImage& ink, qint64 abovePixels = tileAbovePixels,
                                     qint64 pixels = tilePixels);

    // Whether `image` looks like a photograph rather than a screen: screens
    // are made of flat areas, so many neighbouring pixels are identical;
    // grain, texture and gradients leave almost none. Decided from a sample
    // of the pixels, whatever the file's name or format.
    static bool isPhotograph(const QImage& image);
    // The share of sampled neighbour pairs that are identical, 0 to 1.
    static double identicalNeighbourShare(const QImage& image);
    // Below this share a picture is a photograph.
    static constexpr double photographBelowShare = 0.25;
    // Photographs are read at no more than this many pixels: text large
    // enough to matter in a photo survives it.
    static constexpr qint64 photographPixels = 2'000'000;
    // `image` at the size its text is read at.
    static QImage readingSize(QImage image);
    // A photograph at no more than photographPixels.
    static QImage photographAtReadingSize(QImage photograph);

private:
    struct Tile;
    void layOut(const QImage& ink, Tile& tile, const Limits& limits);
    TextRecognizer::Result readBand(const QImage& ink, const std::vector<QRect>& lines, const Limits& limits);
    TextRecognizer::Result readBands(const QImage& ink, std::vector<Tile>& tiles, const Limits& limits);
    // How long `lines` take to recognise, relative to one another.
    static double recognitionCost(const std::vector<QRect>& lines);

    Engines& m_engines;
    SharedWork& m_work;
};
