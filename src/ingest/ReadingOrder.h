#pragma once

#include <QRect>

#include <functional>
#include <vector>

// Puts the text lines of a screen in the order a person reads them: block by
// block, each column whole from top to bottom, columns from left to right.
// A sidebar is read before the content beside it, a table row by row, a chat
// bubble by bubble, whatever the layout engine made of them.
//
// The page is cut recursively where no line crosses: first across at wide
// gaps between blocks (a title bar above the window's columns), then down a
// gutter along the side of a panel or where the lines on either side of it
// are not in step (a sidebar whose items fall between the lines of the
// content), then across at every gap, and last down at every gap (the cells
// of one row). Lines in step across a gutter are rows of a table or a form;
// lines that never meet across it are the bubbles of a chat: both are read
// across, row by row.
class ReadingOrder
{
public:
    ReadingOrder() = delete;

    // `lines` in reading order, after join(). `panelEdges` are the sides of
    // panels running down the page (see PageReader::panelEdges): a gutter
    // along one separates columns, however their lines stand.
    static std::vector<QRect> order(std::vector<QRect> lines, const std::vector<QRect>& panelEdges = {});

    // The lines with the pieces of one line put back together (pieces side
    // by side on one row, or one inside the other, read twice otherwise), and
    // without boxes that hold several lines, which are regions rather than
    // lines (a bubble taken whole would be read as one garbled line).
    static std::vector<QRect> join(std::vector<QRect> lines);

    // Whether `a` and `b` may be parts of one line, by their heights: a box
    // more than half as high again as a line of text beside it, and as far
    // from it as that line is high, is an icon and no part of it; nor is
    // one more than twice `lineHeight` high part of one less than half as
    // high.
    static bool mayBeOneLine(const QRect& a, const QRect& b, int lineHeight);

    // Whether `box`, around pieces of one line, holds a third or more of
    // a line of another row among `lines` (not in step with it, not one of
    // the pieces as `isPart` tells, and at least half `lineHeight` high:
    // not a dot or a bar of a sign): a line's box must not take in another
    // line.
    static bool takesInAnother(const QRect& box, const std::vector<QRect>& lines, int lineHeight,
                               const std::function<bool(size_t)>& isPart);

    // The height of a typical one of `lines` (their median), 0 for none.
    static int lineHeight(const std::vector<QRect>& lines);
    // The same of the lines of text: of those at least twice as wide as
    // high, leaving out specks, signs and icons; of all when none is.
    static int textLineHeight(const std::vector<QRect>& lines);

    // Blocks are this many times a line's height apart, at least, and half
    // as far again as the lines of the page are from one another.
    static constexpr double blockGapLines = 1.5;
    // A gutter between columns is at least this many line heights wide.
    static constexpr double gutterLines = 2.0;
    // Pieces of one line are at most this many line heights apart.
    static constexpr double pieceGapLines = 1.2;
};
