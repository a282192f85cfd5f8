#include "ingest/ReadingOrder.h"

#include <algorithm>
#include <numeric>
#include <optional>

namespace {
using Boxes = std::vector<QRect>;

// Where one part of a page ends and the next begins, and how wide the space
// between them is.
struct Gap
{
    int at = 0; // the first row (or column) of the part after the gap
    int size = 0;
};

enum class Axis { across, down };

int start(const QRect& box, Axis axis)
{
    return axis == Axis::across ? box.top() : box.left();
}

int end(const QRect& box, Axis axis)
{
    return axis == Axis::across ? box.bottom() : box.right();
}

// The spaces that no box reaches into, across the page (rows) or down it
// (columns), in order.
std::vector<Gap> gaps(Boxes boxes, Axis axis)
{
    std::sort(boxes.begin(), boxes.end(),
              [axis](const QRect& a, const QRect& b) { return start(a, axis) < start(b, axis); });
    std::vector<Gap> found;
    int reach = end(boxes.front(), axis);
    for (const QRect& box : boxes) {
        if (start(box, axis) > reach + 1)
            found.push_back({start(box, axis), start(box, axis) - reach - 1});
        reach = std::max(reach, end(box, axis));
    }
    return found;
}

std::vector<Boxes> splitAt(const Boxes& boxes, const std::vector<Gap>& cuts, Axis axis)
{
    std::vector<Boxes> parts(cuts.size() + 1);
    for (const QRect& box : boxes) {
        const auto after = std::upper_bound(cuts.begin(), cuts.end(), start(box, axis),
                                            [](int position, const Gap& cut) { return position < cut.at; });
        parts[size_t(after - cuts.begin())].push_back(box);
    }
    return parts;
}

int verticalOverlap(const QRect& a, const QRect& b)
{
    return std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) + 1;
}

// On the same text row: their middles are within a quarter of a line.
bool inStep(const QRect& a, const QRect& b)
{
    const int twiceApart = std::abs((a.top() + a.bottom()) - (b.top() + b.bottom()));
    return twiceApart * 4 <= 2 * std::max(a.height(), b.height());
}

// How the lines right of a gutter at `at` stand to their nearest neighbours
// on the left of it, on the rows they share.
struct Step
{
    int inStep = 0;
    int outOfStep = 0;
};

Step stepAcross(const Boxes& boxes, int at)
{
    Step step;
    for (const QRect& right : boxes) {
        if (right.left() < at)
            continue;
        const QRect* neighbour = nullptr;
        for (const QRect& left : boxes) {
            if (left.right() < right.left() && verticalOverlap(left, right) > 0 &&
                (!neighbour || left.right() > neighbour->right()))
                neighbour = &left;
        }
        if (!neighbour || neighbour->left() >= at)
            continue;
        ++(inStep(*neighbour, right) ? step.inStep : step.outOfStep);
    }
    return step;
}

// Whether lines on either side of a gutter are in columns: rows of a table
// or a form are all in step across it, bar one or two; columns whose lines
// are spaced apart differently fall in and out of step.
bool areColumns(const Step& step)
{
    return step.outOfStep >= 2 && step.outOfStep * 4 >= step.inStep + step.outOfStep;
}

// The gutter that separates columns, if any: the one with the most lines
// out of step across it (the widest among equals).
std::optional<Gap> columnGutter(const Boxes& boxes, const std::vector<Gap>& down, double line)
{
    std::optional<Gap> best;
    int bestOutOfStep = 0;
    for (const Gap& gap : down) {
        if (gap.size < ReadingOrder::gutterLines * line)
            continue;
        const Step step = stepAcross(boxes, gap.at);
        if (!areColumns(step))
            continue;
        if (!best || step.outOfStep > bestOutOfStep || (step.outOfStep == bestOutOfStep && gap.size > best->size)) {
            best = gap;
            bestOutOfStep = step.outOfStep;
        }
    }
    return best;
}

// Where a region is cut first, and which way.
struct Cuts
{
    std::vector<Gap> gaps;
    Axis axis;
};

// Nothing when no gap runs through the region's lines either way.
std::optional<Cuts> firstCuts(const Boxes& region)
{
    const double line = std::max(1, ReadingOrder::lineHeight(region));
    const std::vector<Gap> across = gaps(region, Axis::across);
    std::vector<Gap> blocks;
    std::copy_if(across.begin(), across.end(), std::back_inserter(blocks),
                 [line](const Gap& gap) { return gap.size >= ReadingOrder::blockGapLines * line; });
    if (!blocks.empty())
        return Cuts{blocks, Axis::across};
    const std::vector<Gap> down = gaps(region, Axis::down);
    if (const std::optional<Gap> gutter = columnGutter(region, down, line))
        return Cuts{{*gutter}, Axis::down};
    if (!across.empty())
        return Cuts{across, Axis::across};
    if (!down.empty())
        return Cuts{down, Axis::down};
    return std::nullopt;
}

void orderInto(const Boxes& region, Boxes& ordered)
{
    if (region.size() > 1) {
        if (const std::optional<Cuts> cuts = firstCuts(region)) {
            for (const Boxes& part : splitAt(region, cuts->gaps, cuts->axis))
                orderInto(part, ordered);
            return;
        }
    }
    // One line, or lines that overlap every way: top to bottom, then left to
    // right.
    Boxes rest = region;
    std::sort(rest.begin(), rest.end(), [](const QRect& a, const QRect& b) {
        return std::pair(a.top(), a.left()) < std::pair(b.top(), b.left());
    });
    ordered.insert(ordered.end(), rest.begin(), rest.end());
}

qint64 area(const QRect& box)
{
    return qint64(box.width()) * box.height();
}

// Most of `inner` lies within `outer`.
bool isMostlyInside(const QRect& inner, const QRect& outer)
{
    return area(inner.intersected(outer)) * 5 >= area(inner) * 4;
}

bool arePiecesOfOneLine(const QRect& a, const QRect& b)
{
    if (isMostlyInside(a, b) || isMostlyInside(b, a))
        return true;
    const int height = std::max(a.height(), b.height());
    const int apart = std::max(a.left(), b.left()) - std::min(a.right(), b.right()) - 1;
    return verticalOverlap(a, b) * 2 >= std::min(a.height(), b.height()) &&
           apart <= ReadingOrder::pieceGapLines * height;
}

int rootOf(std::vector<int>& parents, int index)
{
    while (parents[size_t(index)] != index)
        index = parents[size_t(index)] = parents[size_t(parents[size_t(index)])];
    return index;
}

// One pass of joining: every group of boxes linked piece to piece becomes
// the box around it. Whether anything was joined.
bool joinPieces(Boxes& boxes)
{
    std::vector<int> parents(boxes.size());
    std::iota(parents.begin(), parents.end(), 0);
    bool joined = false;
    for (size_t a = 0; a < boxes.size(); ++a) {
        for (size_t b = a + 1; b < boxes.size(); ++b) {
            if (!arePiecesOfOneLine(boxes[a], boxes[b]))
                continue;
            const int rootA = rootOf(parents, int(a));
            const int rootB = rootOf(parents, int(b));
            if (rootA != rootB) {
                parents[size_t(rootB)] = rootA;
                joined = true;
            }
        }
    }
    if (!joined)
        return false;
    Boxes united(boxes.size());
    std::vector<bool> used(boxes.size(), false);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const size_t root = size_t(rootOf(parents, int(i)));
        united[root] = used[root] ? united[root].united(boxes[i]) : boxes[i];
        used[root] = true;
    }
    boxes.clear();
    for (size_t i = 0; i < united.size(); ++i) {
        if (used[i])
            boxes.push_back(united[i]);
    }
    return true;
}
} // namespace

std::vector<QRect> ReadingOrder::join(std::vector<QRect> lines)
{
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](const QRect& box) { return box.isEmpty(); }),
                lines.end());
    // Regions first: joined, a bubble taken whole would swallow its lines.
    std::vector<bool> isRegion(lines.size(), false);
    for (size_t outer = 0; outer < lines.size(); ++outer) {
        int inside = 0;
        for (size_t inner = 0; inner < lines.size(); ++inner)
            inside +=
                inner != outer && area(lines[inner]) < area(lines[outer]) && isMostlyInside(lines[inner], lines[outer]);
        isRegion[outer] = inside >= 2;
    }
    std::vector<QRect> kept;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!isRegion[i])
            kept.push_back(lines[i]);
    }
    while (joinPieces(kept)) {
    }
    return kept;
}

std::vector<QRect> ReadingOrder::order(std::vector<QRect> lines)
{
    std::vector<QRect> ordered;
    ordered.reserve(lines.size());
    orderInto(lines, ordered);
    return ordered;
}

int ReadingOrder::lineHeight(const std::vector<QRect>& lines)
{
    if (lines.empty())
        return 0;
    std::vector<int> heights;
    heights.reserve(lines.size());
    for (const QRect& line : lines)
        heights.push_back(line.height());
    const auto middle = heights.begin() + std::ptrdiff_t(heights.size() / 2);
    std::nth_element(heights.begin(), middle, heights.end());
    return *middle;
}
