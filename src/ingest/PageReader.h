#pragma once

#include "core/LeasePool.h"
#include "core/SharedWork.h"
#include "ingest/TextRecognizer.h"

#include <QImage>

#include <stop_token>
#include <vector>

// Reads the text lines of a picture in reading order. The picture is made
// dark ink on white; marks too large to be letters are cleared, and the page
// is laid out in tiles whose layout is cheap (a screen is usually one tile;
// a wallpaper's fine pattern or a photograph's texture, many). The lines
// found are put in reading order (ReadingOrder) and recognised one by one,
// shared out over idle engines of the analysis pool when work is shared.
// The layout of a tile cannot be interrupted, but no tile takes long, and
// no tile or line begins once the budget is spent; the recognition of a
// line ends between two words. Every part of the work charges the processor
// time of the budget's account.
class PageReader
{
public:
    using Engines = LeasePool<TextRecognizer>;

    PageReader(Engines& engines, SharedWork& work);

    using Limits = TextRecognizer::Limits;

    // The lines of `image`, which is let go as soon as it is made grey.
    // Failure::stopped when a stop was requested meanwhile: what was read so
    // far does not count. Past the deadline no layout or line begins, and
    // what was read until then is the result.
    TextRecognizer::Result read(QImage image, const Limits& limits = {});
    TextRecognizer::Result read(QImage image, std::stop_token stop) { return read(std::move(image), Limits{stop, {}}); }

    // `image` as grey ink on white, whatever the colours around the text:
    // light and dark themes, coloured bubbles and terminals inside a light
    // window all read alike, and filled shapes vanish instead of being taken
    // for pictures by the layout. Null when the picture is too large to hold.
    static QImage inkOnWhite(const QImage& image);
    // The same, made in bands of rows shared as parts of the work, which
    // charge the budget's account; null when stopped or past the deadline.
    QImage ink(const QImage& image, const Limits& limits = {});

    // Clears the marks of `ink` that are too large in both directions to be
    // letters (outlines of shapes, the grid of a table, the stripes of a
    // pattern): the layout spends seconds on each, finds no text in them and
    // loses the lines around them. So are frames round text (the border of
    // a button or a field), which the layout takes with their text for a
    // picture. Returns how many of the marks left begin on each row.
    static std::vector<int> clearMarksOtherThanText(QImage& ink);
    // Marks larger than this both ways are not letters.
    static constexpr int largestLetter = 256;

    // Rows where the tiles of `ink` begin, the first 0: tiles within
    // layoutTilePixels and layoutTileMarks (the layout's time follows both)
    // unless smallestTile rows hold more, cut along blank rows where there
    // are any.
    static std::vector<int> tileTops(const QImage& ink, const std::vector<int>& marksPerRow);
    // A tile this size lays out in about a tenth of a second at most.
    static constexpr qint64 layoutTilePixels = 4'000'000;
    static constexpr int layoutTileMarks = 1500;
    static constexpr int smallestTile = 64;
    // Tiles laid out at once, at most.
    static constexpr size_t layoutsAtOnce = 4;

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

    // The line boxes `laidOut` found in `ink`, cut where a gap as wide as a
    // gutter splits one (the layout at times runs a sidebar's item into the
    // line beside it), joined and put in reading order (ReadingOrder); the
    // cells of one row that come one after the other in that order are one
    // line again.
    static std::vector<QRect> linesInReadingOrder(const QImage& ink, const std::vector<QRect>& laidOut,
                                                  const std::vector<QRect>& panelEdges = {});
    // The sides of panels that run down a screen: long straight edges
    // between two flat areas of different grey (a sidebar beside the
    // content, however faint), one pixel wide. Not the lines of a grid,
    // which have the same grey on both sides, nor the sides of a bubble,
    // which are short.
    static std::vector<QRect> panelEdges(const QImage& image);
    // Edges this share of the screen's height long at least.
    static constexpr int panelEdgeShare = 4; // a quarter
    // Lines are read in parts no longer than this many times their height,
    // or twice as long where that would cut a word.
    static constexpr int longestLine = 40;
    // A line that holds a web address read with doubt is read again
    // softened: enlarged a whole number of times to this height at least
    // when it is lower, else slightly blurred.
    static constexpr int smallLine = 24;
    // Whether the first reading of a line holds an address, or the start of
    // one, read less surely than surelyReadAddress, or mended.
    static bool needsSofterReading(const TextRecognizer::Result& first);
    static constexpr float surelyReadAddress = 85;
    // Which of two readings of a line is kept. The softened one only when
    // it holds as many addresses as the first, at least one, none of them
    // only the start of one the first holds whole, and either the
    // first read them as written and the softened one does too, by
    // clearlySurerAddress more surely; or the first did not (it holds none,
    // or mended one) and the softened one reads them as written, or more
    // surely. The first is marked unfinished when the softened one was not
    // read to its end.
    static TextRecognizer::Result keptReading(TextRecognizer::Result first, TextRecognizer::Result softened);
    static constexpr float clearlySurerAddress = 30;
    // A page with more than this many doubtful lines (see TextRecognizer)
    // for each line read surely is a texture or a photograph: only its lines
    // read with certainty are kept.
    static constexpr int mostlyScraps = 4;

private:
    struct Tile;
    void layOut(const QImage& ink, Tile& tile, const Limits& limits);
    TextRecognizer::Result readLines(const QImage& ink, const std::vector<QRect>& lines, const Limits& limits);
    // `line` of `ink`, read by `engine`.
    static TextRecognizer::Result readLine(TextRecognizer& engine, const QImage& ink, const QRect& line,
                                           const Limits& limits);

    Engines& m_engines;
    SharedWork& m_work;
};
