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

// How the lines on either side of a gutter at `at` stand to one another:
// the lines right of it to their nearest neighbours on the left on the rows
// they share, in step or not; and the lines that share no row with any line
// across the gutter though lines there run above and below them (a
// sidebar's item between two lines of the content).
struct Step
{
    int inStep = 0;
    int outOfStep = 0;
    int between = 0;
};

Step stepAcross(const Boxes& boxes, int at)
{
    Step step;
    const auto isLeft = [at](const QRect& box) { return box.right() < at; };
    for (const QRect& box : boxes) {
        bool above = false, below = false, beside = false;
        for (const QRect& other : boxes) {
            if (isLeft(other) == isLeft(box))
                continue;
            beside |= verticalOverlap(other, box) > 0;
            above |= other.bottom() < box.top();
            below |= other.top() > box.bottom();
        }
        step.between += !beside && above && below;
        if (isLeft(box))
            continue;
        const QRect* neighbour = nullptr;
        for (const QRect& left : boxes) {
            if (left.right() < box.left() && verticalOverlap(left, box) > 0 &&
                (!neighbour || left.right() > neighbour->right()))
                neighbour = &left;
        }
        if (!neighbour || !isLeft(*neighbour))
            continue;
        ++(inStep(*neighbour, box) ? step.inStep : step.outOfStep);
    }
    return step;
}

// Whether lines on either side of a gutter are in columns: rows of a table
// or a form are in step across it, bar a row or two; columns whose lines are
// spaced apart differently fall in and out of step, or between one another.
// Lines that never share a row across it are the bubbles of a chat.
int columnEvidence(const Step& step)
{
    return step.outOfStep + step.between;
}

bool areColumns(const Step& step)
{
    const int evidence = columnEvidence(step);
    return step.inStep + step.outOfStep > 0 && evidence >= 2 && evidence * 4 >= step.inStep + evidence;
}

// The gutter along the side of a panel that runs down beside the lines of
// `boxes` (give or take a quarter of their height), and that side: the
// lines on either side of it are in columns, however they stand.
std::optional<std::pair<Gap, QRect>> panelGutter(const Boxes& boxes, const std::vector<Gap>& down, double line,
                                                 const std::vector<QRect>& edges)
{
    int top = boxes.front().top(), bottom = boxes.front().bottom();
    for (const QRect& box : boxes) {
        top = std::min(top, box.top());
        bottom = std::max(bottom, box.bottom());
    }
    const int slack = (bottom - top) / 4;
    for (const Gap& gap : down) {
        if (gap.size < ReadingOrder::gutterLines * line)
            continue;
        for (const QRect& edge : edges) {
            if (edge.left() >= gap.at - gap.size && edge.left() < gap.at && edge.top() <= top + slack &&
                edge.bottom() >= bottom - slack)
                return std::pair(gap, edge);
        }
    }
    return std::nullopt;
}

// The gutter that separates columns by how their lines stand, if any: the
// one with the most evidence of columns across it (the widest among equals).
std::optional<Gap> columnGutter(const Boxes& boxes, const std::vector<Gap>& down, double line)
{
    std::optional<Gap> best;
    int bestEvidence = 0;
    for (const Gap& gap : down) {
        if (gap.size < ReadingOrder::gutterLines * line)
            continue;
        const Step step = stepAcross(boxes, gap.at);
        if (!areColumns(step))
            continue;
        const int evidence = columnEvidence(step);
        if (!best || evidence > bestEvidence || (evidence == bestEvidence && gap.size > best->size)) {
            best = gap;
            bestEvidence = evidence;
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
std::optional<Cuts> firstCuts(const Boxes& region, const std::vector<QRect>& edges)
{
    const double line = std::max(1, ReadingOrder::lineHeight(region));
    const std::vector<Gap> across = gaps(region, Axis::across);
    // Blocks stand further apart than the lines of a block do: a page whose
    // lines are set wide apart is not a pile of blocks of one line each.
    std::vector<int> sizes;
    for (const Gap& gap : across)
        sizes.push_back(gap.size);
    std::nth_element(sizes.begin(), sizes.begin() + std::ptrdiff_t(sizes.size() / 2), sizes.end());
    const double blockGap =
        std::max(ReadingOrder::blockGapLines * line, sizes.empty() ? 0.0 : 1.5 * sizes[sizes.size() / 2]);
    // Beside a panel, blocks are those above or below it (a title bar).
    const std::vector<Gap> down = gaps(region, Axis::down);
    const std::optional<std::pair<Gap, QRect>> panel = panelGutter(region, down, line, edges);
    std::vector<Gap> blocks;
    std::copy_if(across.begin(), across.end(), std::back_inserter(blocks), [&](const Gap& gap) {
        return gap.size >= blockGap &&
               (!panel || gap.at - gap.size <= panel->second.top() || gap.at >= panel->second.bottom());
    });
    if (!blocks.empty())
        return Cuts{blocks, Axis::across};
    if (panel)
        return Cuts{{panel->first}, Axis::down};
    if (const std::optional<Gap> gutter = columnGutter(region, down, line))
        return Cuts{{*gutter}, Axis::down};
    if (!across.empty())
        return Cuts{across, Axis::across};
    if (!down.empty())
        return Cuts{down, Axis::down};
    return std::nullopt;
}

void orderInto(const Boxes& region, const std::vector<QRect>& edges, Boxes& ordered)
{
    if (region.size() > 1) {
        if (const std::optional<Cuts> cuts = firstCuts(region, edges)) {
            for (const Boxes& part : splitAt(region, cuts->gaps, cuts->axis))
                orderInto(part, edges, ordered);
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

bool arePiecesOfOneLine(const QRect& a, const QRect& b, int lineHeight)
{
    if (isMostlyInside(a, b) || isMostlyInside(b, a))
        return true;
    if (!ReadingOrder::mayBeOneLine(a, b, lineHeight))
        return false;
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
// the box around it, unless that box would take in another line (an icon
// beside a title and the line below it is a piece of neither). Whether
// anything was joined.
bool joinPieces(Boxes& boxes)
{
    std::vector<int> parents(boxes.size());
    std::iota(parents.begin(), parents.end(), 0);
    Boxes groups = boxes; // the box around each group, at its root
    const int height = ReadingOrder::textLineHeight(boxes);
    bool joined = false;
    for (size_t a = 0; a < boxes.size(); ++a) {
        for (size_t b = a + 1; b < boxes.size(); ++b) {
            if (!arePiecesOfOneLine(boxes[a], boxes[b], height))
                continue;
            const int rootA = rootOf(parents, int(a));
            const int rootB = rootOf(parents, int(b));
            if (rootA == rootB)
                continue;
            const QRect group = groups[size_t(rootA)].united(groups[size_t(rootB)]);
            const bool takesIn = ReadingOrder::takesInAnother(group, boxes, height, [&](size_t other) {
                const int root = rootOf(parents, int(other));
                return root == rootA || root == rootB;
            });
            if (!takesIn) {
                parents[size_t(rootB)] = rootA;
                groups[size_t(rootA)] = group;
                joined = true;
            }
        }
    }
    if (!joined)
        return false;
    boxes.clear();
    for (size_t i = 0; i < groups.size(); ++i) {
        if (rootOf(parents, int(i)) == int(i))
            boxes.push_back(groups[i]);
    }
    return true;
}
} // namespace

std::vector<QRect> ReadingOrder::join(std::vector<QRect> lines)
{
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](const QRect& box) { return box.isEmpty(); }),
                lines.end());
    // Regions first: joined, a bubble taken whole would swallow its lines.
    // A region holds lines one below the other; a line found twice, once
    // with the tops of its letters alone, is none.
    std::vector<bool> isRegion(lines.size(), false);
    for (size_t outer = 0; outer < lines.size(); ++outer) {
        std::vector<QRect> inside;
        for (size_t inner = 0; inner < lines.size(); ++inner) {
            if (inner != outer && area(lines[inner]) < area(lines[outer]) && isMostlyInside(lines[inner], lines[outer]))
                inside.push_back(lines[inner]);
        }
        for (size_t a = 0; a < inside.size() && !isRegion[outer]; ++a) {
            for (size_t b = a + 1; b < inside.size() && !isRegion[outer]; ++b)
                isRegion[outer] = verticalOverlap(inside[a], inside[b]) <= 0;
        }
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

bool ReadingOrder::mayBeOneLine(const QRect& a, const QRect& b, int lineHeight)
{
    const int taller = std::max(a.height(), b.height());
    const int shorter = std::min(a.height(), b.height());
    const int apart = std::max(a.left(), b.left()) - std::min(a.right(), b.right()) - 1;
    const bool isText = shorter * 2 >= lineHeight;
    const bool isIconBeside = isText && taller * 2 > shorter * 3 && apart >= shorter;
    return !isIconBeside && (taller <= 2 * lineHeight || taller <= 2 * shorter);
}

bool ReadingOrder::takesInAnother(const QRect& box, const std::vector<QRect>& lines, int lineHeight,
                                  const std::function<bool(size_t)>& isPart)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const QRect common = box.intersected(lines[i]);
        if (!common.isEmpty() && lines[i].height() * 2 >= lineHeight && area(common) * 3 >= area(lines[i]) &&
            !inStep(box, lines[i]) && !isPart(i))
            return true;
    }
    return false;
}

std::vector<QRect> ReadingOrder::order(std::vector<QRect> lines, const std::vector<QRect>& panelEdges)
{
    std::vector<QRect> ordered;
    ordered.reserve(lines.size());
    orderInto(lines, panelEdges, ordered);
    return ordered;
}

namespace {
int medianHeight(std::vector<int> heights)
{
    if (heights.empty())
        return 0;
    const auto middle = heights.begin() + std::ptrdiff_t(heights.size() / 2);
    std::nth_element(heights.begin(), middle, heights.end());
    return *middle;
}
} // namespace

int ReadingOrder::lineHeight(const std::vector<QRect>& lines)
{
    std::vector<int> heights;
    heights.reserve(lines.size());
    for (const QRect& line : lines)
        heights.push_back(line.height());
    return medianHeight(std::move(heights));
}

int ReadingOrder::textLineHeight(const std::vector<QRect>& lines)
{
    std::vector<int> heights;
    for (const QRect& line : lines) {
        if (line.width() >= 2 * line.height())
            heights.push_back(line.height());
    }
    return heights.empty() ? lineHeight(lines) : medianHeight(std::move(heights));
}
