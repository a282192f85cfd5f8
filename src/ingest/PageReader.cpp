#include "ingest/PageReader.h"

#include "core/ImageLoader.h"
#include "ingest/ReadingOrder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {
// Wider than the strokes and gaps of screen text up to large headings, so the
// median of a window is the colour behind the text, while edges of flat
// areas (bubbles, bars, panels) stay where they are.
constexpr int backgroundWindow = 31;
// Differences from the background are stretched so that dim text (grey on
// dark grey) still binarises as ink.
constexpr double inkGain = 2.0;
// Rows of ink made by one part of the work.
constexpr int inkRowsPerPart = 256;
// Qt hands conversions of more pixels than this to threads of its own, which
// run at normal priority; smaller slices are converted on the calling thread.
constexpr qint64 convertedOnCallingThread = (qint64(1) << 17) - 1;
// A row is blank when no pixel is darker than this.
constexpr uchar blankAbove = 160;
// Ink fainter than this is paper: gradients and the fringes of soft shapes
// leave faint speckles everywhere, which the layout's own thresholding would
// otherwise take for thousands of marks.
constexpr uchar faintInkAbove = 224;
// A pixel whose square of this side is all one grey lies inside a flat area
// (a bubble, a bar, a panel): no stroke of screen text is that thick.
constexpr int flatSide = 9;
// Pixels of that same grey within this many pixels of a flat area belong to
// it: the rounded ends of bubbles and buttons, where the window's median is
// the colour outside and the inside would show as a crescent of ink.
constexpr int flatReach = 6;
// Ink is made only outside flat areas, and its background found pixel by
// pixel there where no more than one pixel in this many lies outside them
// (a screen); elsewhere (a photograph, a texture) it is found for every
// pixel at once, which costs about a quarter as much a pixel.
constexpr int slidToOneIn = 4;
// A frame round text is at least this high and wide, and holds a letter
// at least this high (not the dot of an "i" inside letters joined up).
constexpr int minimumFrameSide = 12;
constexpr int smallestFramedLetter = 6;

int windowFor(const QImage& image)
{
    return std::min({backgroundWindow, (image.width() - 1) | 1, (image.height() - 1) | 1});
}

// Rows [top, top + count) of `image`, sharing its pixels.
QImage rowsOf(const QImage& image, int top, int count)
{
    QImage rows(image.constScanLine(top), image.width(), count, image.bytesPerLine(), image.format());
    rows.setColorTable(image.colorTable());
    return rows;
}

// Rows of `image` as grey on white, converted a slice at a time.
QImage greyRows(const QImage& image, int top, int count)
{
    QImage grey(image.width(), count, QImage::Format_Grayscale8);
    if (grey.isNull())
        return grey;
    const int step = int(std::max<qint64>(1, convertedOnCallingThread / image.width()));
    for (int y = 0; y < count; y += step) {
        const int rows = std::min(step, count - y);
        const QImage slice = ImageLoader::flattenedOnWhite(rowsOf(image, top + y, rows), QImage::Format_Grayscale8);
        if (slice.isNull())
            return {};
        for (int r = 0; r < rows; ++r)
            std::memcpy(grey.scanLine(y + r), slice.constScanLine(r), size_t(image.width()));
    }
    return grey;
}

// The same, but the rows of a grey picture are its own: valid only while
// `image` is.
QImage greyView(const QImage& image, int top, int count)
{
    return image.format() == QImage::Format_Grayscale8 ? rowsOf(image, top, count) : greyRows(image, top, count);
}

cv::Mat matOver(uchar* bits, int width, int rows, qsizetype bytesPerLine)
{
    return cv::Mat(rows, width, CV_8UC1, bits, size_t(bytesPerLine));
}

// Where `grey` has the grey of a flat area within flatReach pixels: of the
// lightest or the darkest flat area there, which is every one that meets
// another.
cv::Mat partOfFlatAreas(const cv::Mat& grey)
{
    const cv::Mat square = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(flatSide, flatSide));
    cv::Mat lowest, highest;
    cv::erode(grey, lowest, square);
    cv::dilate(grey, highest, square);
    const cv::Mat flat = lowest == highest;
    const cv::Mat reach = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * flatReach + 1, 2 * flatReach + 1));
    cv::Mat flatGrey(grey.size(), CV_8U, cv::Scalar(255));
    grey.copyTo(flatGrey, flat);
    cv::Mat darkestNear;
    cv::erode(flatGrey, darkestNear, reach);
    flatGrey.setTo(0);
    grey.copyTo(flatGrey, flat);
    cv::Mat lightestNear;
    cv::dilate(flatGrey, lightestNear, reach);
    cv::Mat nearFlat;
    cv::dilate(flat, nearFlat, reach);
    return nearFlat & ((grey == darkestNear) | (grey == lightestNear));
}

// The median grey of the square `window` pixels wide around a pixel of
// `grey`, its edge rows and columns repeated beyond it (as cv::medianBlur
// has it), asked for along rows from left to right: a histogram of the
// square slides along a row to the next pixel asked for, or is counted anew
// where that is far. A screen is mostly flat areas, whose ink needs no
// background, so the median is wanted for a few hundredths of its pixels.
class WindowMedian
{
public:
    WindowMedian(const cv::Mat& grey, int window)
        : m_grey(grey)
        , m_radius(window / 2)
        , m_rank(window * window / 2)
        , m_rows(size_t(window))
    {}

    uchar at(int x, int y)
    {
        if (y != m_y || x < m_x || x - m_x > m_radius)
            countAt(x, y);
        for (; m_x < x; ++m_x) {
            addColumn(m_x - m_radius, -1);
            addColumn(m_x + m_radius + 1, 1);
        }
        while (m_below > m_rank)
            m_below -= m_counts[size_t(--m_median)];
        while (m_below + m_counts[size_t(m_median)] <= m_rank)
            m_below += m_counts[size_t(m_median++)];
        return uchar(m_median);
    }

private:
    void countAt(int x, int y)
    {
        m_counts.fill(0);
        m_below = 0;
        m_y = y;
        for (int dy = -m_radius; dy <= m_radius; ++dy)
            m_rows[size_t(dy + m_radius)] = m_grey.ptr(std::clamp(y + dy, 0, m_grey.rows - 1));
        for (int dx = -m_radius; dx <= m_radius; ++dx)
            addColumn(x + dx, 1);
        m_x = x;
    }

    void addColumn(int x, int sign)
    {
        const int column = std::clamp(x, 0, m_grey.cols - 1);
        for (const uchar* row : m_rows) {
            const uchar value = row[column];
            m_counts[value] += sign;
            m_below += value < m_median ? sign : 0;
        }
    }

    const cv::Mat& m_grey;
    const int m_radius;
    const int m_rank;
    std::vector<const uchar*> m_rows;
    std::array<int, 256> m_counts = {};
    int m_x = -1;
    int m_y = -1;
    int m_median = 0;
    int m_below = 0; // of the counted values, below m_median
};

// A pixel's ink: its difference from the background, stretched, and paper
// where faint.
uchar inkOf(uchar grey, uchar background)
{
    const uchar ink = cv::saturate_cast<uchar>(255 - inkGain * std::abs(int(grey) - int(background)));
    return ink > faintInkAbove ? 255 : ink;
}

// Writes rows [top, top + count) of the ink of `image` to `inkBits`, a grey
// picture of the same size. Each row's background is the median of the
// window around it, so rows are read from `window / 2` above and below (at
// least as far as a flat area's reach): the result is the same whichever
// rows are made together.
bool makeInkRows(const QImage& image, int top, int count, int window, uchar* inkBits, qsizetype inkBytesPerLine)
{
    const int margin = std::max(window / 2, flatSide / 2 + flatReach);
    const int from = std::max(0, top - margin);
    const int to = std::min(image.height(), top + count + margin);
    const QImage grey = greyView(image, from, to - from);
    if (grey.isNull())
        return false;
    const cv::Mat pixels =
        matOver(const_cast<uchar*>(grey.constBits()), grey.width(), grey.height(), grey.bytesPerLine());
    const cv::Mat flat = partOfFlatAreas(pixels);
    const cv::Range rows(top - from, top - from + count);
    cv::Mat medians; // of every pixel, where few lie in flat areas
    if (qint64(cv::countNonZero(flat.rowRange(rows))) * slidToOneIn < qint64(count) * pixels.cols * (slidToOneIn - 1))
        cv::medianBlur(pixels, medians, window);
    WindowMedian background(pixels, window);
    for (int y = rows.start; y < rows.end; ++y) {
        const uchar* row = pixels.ptr(y);
        const uchar* isFlat = flat.ptr(y);
        const uchar* median = medians.empty() ? nullptr : medians.ptr(y);
        uchar* ink = inkBits + qsizetype(from + y) * inkBytesPerLine;
        for (int x = 0; x < pixels.cols; ++x)
            ink[x] = isFlat[x] ? 255 : inkOf(row[x], median ? median[x] : background.at(x, y));
    }
    return true;
}

// Parts of about inkRowsPerPart rows, none shorter than the window.
std::vector<std::pair<int, int>> inkParts(int height, int window)
{
    std::vector<std::pair<int, int>> parts;
    for (int top = 0; top < height; top += inkRowsPerPart)
        parts.emplace_back(top, std::min(inkRowsPerPart, height - top));
    if (parts.size() > 1 && parts.back().second < window) {
        parts[parts.size() - 2].second += parts.back().second;
        parts.pop_back();
    }
    return parts;
}

bool isBlankRow(const QImage& ink, int y)
{
    const uchar* row = ink.constScanLine(y);
    return std::all_of(row, row + ink.width(), [](uchar value) { return value > blankAbove; });
}

bool isBlankColumn(const QImage& ink, int x, int top, int bottom)
{
    for (int y = top; y <= bottom; ++y) {
        if (ink.constScanLine(y)[x] <= blankAbove)
            return false;
    }
    return true;
}

// The smallest box around the ink within `box`; empty when there is none.
QRect inkBounds(const QImage& ink, const QRect& box)
{
    int top = box.bottom() + 1, bottom = box.top() - 1;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const uchar* row = ink.constScanLine(y);
        if (std::any_of(row + box.left(), row + box.right() + 1, [](uchar value) { return value <= blankAbove; })) {
            top = std::min(top, y);
            bottom = y;
        }
    }
    if (top > bottom)
        return {};
    int left = box.left();
    while (isBlankColumn(ink, left, top, bottom))
        ++left;
    int right = box.right();
    while (isBlankColumn(ink, right, top, bottom))
        --right;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The runs of positions from `first` to `last` that are not blank, apart by
// `gap` blank positions at least, as first and last position.
std::vector<std::pair<int, int>> inkRuns(int first, int last, int gap, const std::function<bool(int)>& isBlank)
{
    std::vector<std::pair<int, int>> runs;
    int start = -1, end = -1, blankRun = 0;
    for (int at = first; at <= last + 1; ++at) {
        if (at <= last && !isBlank(at)) {
            if (start < 0)
                start = at;
            end = at;
            blankRun = 0;
            continue;
        }
        ++blankRun;
        if (start >= 0 && (blankRun >= gap || at > last)) {
            runs.emplace_back(start, end);
            start = -1;
        }
    }
    return runs;
}

// The rows of text in `box`, a line of the layout: itself, unless it is much
// taller than the page's lines and blank rows cut it into several (the
// layout at times takes a few close lines of a terminal for one). A box that
// no blank row cuts, as an icon beside lines of text makes it, is first cut
// where a gap a line wide runs down it, and each part is cut in rows.
std::vector<QRect> rowsOfLine(const QImage& ink, const QRect& box, int lineHeight, int textHeight, bool cutDown = true)
{
    if (box.isEmpty() || box.height() * 5 <= lineHeight * 8)
        return {box};
    const auto isBlankRowIn = [&](int y) {
        const uchar* row = ink.constScanLine(y);
        return std::all_of(row + box.left(), row + box.right() + 1, [](uchar value) { return value > blankAbove; });
    };
    std::vector<QRect> rows;
    for (const auto& [top, bottom] : inkRuns(box.top(), box.bottom(), std::max(2, lineHeight / 6), isBlankRowIn)) {
        // Dots and accents alone are no row of their own, nor, in a part of
        // a box beside an icon, the feet of the line above.
        if ((bottom - top + 1) * (cutDown ? 4 : 2) >= lineHeight)
            rows.push_back(QRect(QPoint(box.left(), top), QPoint(box.right(), bottom)));
    }
    if (rows.empty())
        rows.push_back(box);
    const auto isBlank = [&](int x) { return isBlankColumn(ink, x, box.top(), box.bottom()); };
    const auto parts = rows.size() == 1 && cutDown ? inkRuns(box.left(), box.right(), std::max(2, textHeight), isBlank)
                                                   : std::vector<std::pair<int, int>>();
    if (parts.size() < 2)
        return rows;
    rows.clear();
    for (const auto& [left, right] : parts) {
        const QRect part = inkBounds(ink, QRect(QPoint(left, box.top()), QPoint(right, box.bottom())));
        for (const QRect& row : rowsOfLine(ink, part, lineHeight, textHeight, false))
            rows.push_back(row);
    }
    return rows;
}

// The last column with ink of `row` from `from` on, by `step`, before a
// blank run wider than `gap` or the edge of `ink`.
int lastInkColumn(const QImage& ink, const QRect& row, int from, int step, int gap)
{
    int last = from;
    for (int x = from + step, blank = 0; x >= 0 && x < ink.width() && blank <= gap; x += step) {
        blank = isBlankColumn(ink, x, row.top(), row.bottom()) ? blank + 1 : 0;
        if (blank == 0)
            last = x;
    }
    return last;
}

// `row` widened to the ink that carries on beside it, no further apart than
// letters and words are: the layout at times leaves the start of a line
// beside an icon out of it ("Iforge" for "Pixelforge"). A row lower than
// half `textHeight` is a speck, or the top of a line's letters, and stays.
// One column of ink against an edge, with none beyond it, is the soft edge
// of the letter there, which the layout's threshold left out and ours takes
// in: nothing was left out, and the edge stays (with that grey column a
// small bold grey label was read "Carvatho" for "Carvalho").
QRect withInkBeside(const QImage& ink, const QRect& row, int textHeight)
{
    if (row.isEmpty() || row.height() * 2 < textHeight)
        return row;
    const int gap = std::max(2, row.height() / 2);
    const auto widened = [&](int edge, int step) {
        const int last = lastInkColumn(ink, row, edge, step, gap);
        return std::abs(last - edge) > 1 ? last : edge;
    };
    return QRect(QPoint(widened(row.left(), -1), row.top()), QPoint(widened(row.right(), 1), row.bottom()));
}

// Cuts `box`, one row of a line of the layout, where a gap as wide as a
// gutter splits it, and adds the pieces.
void cutAtGutters(const QImage& ink, const QRect& box, std::vector<QRect>& pieces)
{
    if (box.isEmpty())
        return;
    const int gutter = int(std::ceil(ReadingOrder::gutterLines * box.height()));
    const auto isBlank = [&](int x) { return isBlankColumn(ink, x, box.top(), box.bottom()); };
    for (const auto& [left, right] : inkRuns(box.left(), box.right(), gutter, isBlank)) {
        const QRect piece = inkBounds(ink, QRect(QPoint(left, box.top()), QPoint(right, box.bottom())));
        // A speck the line's box caught from a neighbour (the tail of a
        // letter above) is no line of its own.
        const bool isSpeck = piece.height() * 5 < box.height() * 2 && piece.width() < box.height();
        if (!piece.isEmpty() && !isSpeck)
            pieces.push_back(piece);
    }
}

// Where to end a part of `line` begun at `left`: at the widest blank gap
// towards its end, longestLine heights at most. A word (a long link above
// all) is cut only when it cannot be helped: where no gap as wide as a space
// lies towards the end, the part runs on to the next space, up to twice as
// long; the rest of a line within that length is not cut at all.
int partEnd(const QImage& ink, const QRect& line, int left)
{
    const int longest = std::max(1, PageReader::longestLine * line.height());
    const int space = std::max(2, line.height() / 3);
    const auto isBlank = [&](int x) { return isBlankColumn(ink, x, line.top(), line.bottom()); };
    int cut = left + longest;
    int bestRun = 0;
    for (int x = left + longest / 2, run = 0; x < left + longest; ++x) {
        run = isBlank(x) ? run + 1 : 0;
        if (run > bestRun) {
            bestRun = run;
            cut = x - run / 2;
        }
    }
    if (bestRun >= space)
        return cut;
    if (line.right() - left + 1 <= 2 * longest)
        return line.right() + 1;
    const auto words = inkRuns(left + longest / 2, left + 2 * longest - 1, space, isBlank);
    return words.size() >= 2 ? (words[0].second + words[1].first + 1) / 2 : cut;
}

// Adds `line` in parts no longer than longestLine heights, but for long
// words (see partEnd): the recognition of a line ends only between its
// words, and a pattern read as one endless word would hold its engine for a
// second and more.
void cutToLength(const QImage& ink, const QRect& line, std::vector<QRect>& parts)
{
    const int longest = std::max(1, PageReader::longestLine * line.height());
    int left = line.left();
    while (line.right() - left + 1 > longest) {
        const int cut = partEnd(ink, line, left);
        if (cut > line.right())
            break;
        parts.push_back(QRect(QPoint(left, line.top()), QPoint(cut - 1, line.bottom())));
        left = cut;
    }
    parts.push_back(QRect(QPoint(left, line.top()), line.bottomRight()));
}

// The middle of the longest run of blank rows in [from, to), or -1.
int blankestRow(const QImage& ink, int from, int to)
{
    int bestStart = -1, bestLength = 0, runStart = -1;
    for (int y = from; y <= to; ++y) {
        const bool blank = y < to && isBlankRow(ink, y);
        if (blank && runStart < 0)
            runStart = y;
        if (!blank && runStart >= 0) {
            if (y - runStart > bestLength) {
                bestStart = runStart;
                bestLength = y - runStart;
            }
            runStart = -1;
        }
    }
    return bestStart < 0 ? -1 : bestStart + bestLength / 2;
}

// `line` of `ink` alone on white, with a margin of about a third of its
// height: the engine reads a line best with white around it, and the margin
// holds no piece of the lines above and below.
QImage onWhite(const QImage& ink, const QRect& line)
{
    const QRect box = line.intersected(ink.rect());
    const int margin = std::max(2, box.height() * 5 / 16);
    QImage image(box.width() + 2 * margin, box.height() + 2 * margin, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < box.height(); ++y)
        std::memcpy(image.scanLine(margin + y) + margin, ink.constScanLine(box.top() + y) + box.left(),
                    size_t(box.width()));
    return image;
}

// `image`, a line `height` rows high on white, with the soft edges the
// engine reads letters best with: a small line enlarged a whole number of
// times to smallLine rows at least (which smooths it), a larger one blurred
// by a 25th of its height.
QImage softened(const QImage& image, int height)
{
    const cv::Mat pixels =
        matOver(const_cast<uchar*>(image.constBits()), image.width(), image.height(), image.bytesPerLine());
    const int scale = height < PageReader::smallLine ? (PageReader::smallLine + height - 1) / std::max(1, height) : 1;
    QImage soft(image.width() * scale, image.height() * scale, QImage::Format_Grayscale8);
    if (soft.isNull())
        return soft;
    cv::Mat to = matOver(soft.bits(), soft.width(), soft.height(), soft.bytesPerLine());
    if (scale > 1)
        cv::resize(pixels, to, to.size(), 0, 0, cv::INTER_LINEAR);
    else
        cv::GaussianBlur(pixels, to, cv::Size(), height / 25.0);
    return soft;
}

} // namespace

// One tile of a page: where it is, and after its layout the boxes of its
// lines on the page, or why it has none.
struct PageReader::Tile
{
    int top = 0;
    int rows = 0;
    std::vector<QRect> lines = {};
    TextRecognizer::Result failure = {};
    bool isFailed = false;
    bool reachedDeadline = false;
};

PageReader::PageReader(Engines& engines, SharedWork& work)
    : m_engines(engines)
    , m_work(work)
{}

QImage PageReader::inkOnWhite(const QImage& image)
{
    if (image.isNull())
        return {};
    if (image.width() < 3 || image.height() < 3)
        return greyRows(image, 0, image.height());
    QImage ink(image.size(), QImage::Format_Grayscale8);
    if (ink.isNull() || !makeInkRows(image, 0, image.height(), windowFor(image), ink.bits(), ink.bytesPerLine()))
        return {};
    return ink;
}

QImage PageReader::ink(const QImage& image, const Limits& limits)
{
    if (image.width() < 3 || image.height() < 3)
        return inkOnWhite(image);
    QImage ink(image.size(), QImage::Format_Grayscale8);
    if (ink.isNull())
        return {};
    // Taken once: the parts write to their own rows of one buffer.
    uchar* const bits = ink.bits();
    const qsizetype bytesPerLine = ink.bytesPerLine();
    const int window = windowFor(image);
    std::atomic<bool> failed{false};
    // In parts even on one thread: the budget is looked at between them.
    SharedWork::Group parts(m_work, limits.stop, SharedWork::Order::ahead);
    for (const auto& [top, count] : inkParts(image.height(), window)) {
        parts.post([&, top = top, count = count] {
            const CpuAccount::Charge charge(limits.budget.cpuAccount());
            if (failed || limits.isPastDeadline() || !makeInkRows(image, top, count, window, bits, bytesPerLine))
                failed = true;
        });
    }
    parts.wait();
    return failed || limits.stop.stop_requested() ? QImage() : ink;
}

namespace {
QRect boxOf(const cv::Mat& stats, int mark)
{
    const int* box = stats.ptr<int>(mark);
    return {box[cv::CC_STAT_LEFT], box[cv::CC_STAT_TOP], box[cv::CC_STAT_WIDTH], box[cv::CC_STAT_HEIGHT]};
}

// Which marks are frames drawn around text, as the border of a button, a
// text field or a cell: an outline, far wider than a letter it holds, half
// as high again and at most four times as high. The layout takes a frame
// and what it holds for a picture, and reads none of it; a ring round a
// letter ("©") is no frame.
std::vector<bool> framesAroundText(const cv::Mat& stats)
{
    const int count = stats.rows;
    std::vector<bool> frames(size_t(count), false);
    for (int mark = 1; mark < count; ++mark) {
        const QRect frame = boxOf(stats, mark);
        const qint64 inked = stats.ptr<int>(mark)[cv::CC_STAT_AREA];
        if (frame.width() < minimumFrameSide || frame.height() < minimumFrameSide ||
            inked * 5 > qint64(frame.width()) * frame.height())
            continue;
        const QRect inside = frame.adjusted(1, 1, -1, -1);
        for (int other = 1; other < count && !frames[size_t(mark)]; ++other) {
            const QRect held = boxOf(stats, other);
            frames[size_t(mark)] = other != mark && inside.contains(held) && held.height() >= smallestFramedLetter &&
                                   4 * held.height() >= frame.height() && 2 * frame.height() >= 3 * held.height() &&
                                   frame.width() >= 3 * held.height();
        }
    }
    return frames;
}
} // namespace

std::vector<int> PageReader::clearMarksOtherThanText(QImage& ink)
{
    std::vector<int> marksPerRow(size_t(std::max(0, ink.height())), 0);
    // In bands of rows, so that the labels of the marks take little memory
    // beside the page. Each band is looked at with a letter's height more
    // above and below it: a mark too large for a letter that reaches into
    // the band is seen too large there.
    constexpr int bandRows = 4 * largestLetter;
    constexpr int margin = largestLetter + 1;
    // What to clear in a band, done once the next band has looked above it.
    struct Clearing
    {
        cv::Mat pixels;
        cv::Mat marks;
        cv::Range band;
        void apply() { pixels.rowRange(band).setTo(255, marks.rowRange(band)); }
    };
    std::optional<Clearing> previous;
    for (int top = 0; top < ink.height(); top += bandRows) {
        const int from = std::max(0, top - margin);
        const int to = std::min(ink.height(), top + bandRows + margin);
        const cv::Range band(top - from, std::min(ink.height(), top + bandRows) - from);
        cv::Mat pixels = matOver(ink.scanLine(from), ink.width(), to - from, ink.bytesPerLine());
        // Faint marks count too: the light grid of a table is a mark as
        // large as the table, while its own text stands apart from it.
        const cv::Mat marked = pixels <= faintInkAbove;
        cv::Mat labels, stats, centres;
        const int count = cv::connectedComponentsWithStats(marked, labels, stats, centres, 8, CV_32S);
        if (previous)
            std::exchange(previous, std::nullopt)->apply();
        std::vector<uchar> isLetterSized(size_t(count), 1);
        const std::vector<bool> frames = framesAroundText(stats);
        bool anyCleared = false;
        for (int mark = 1; mark < count; ++mark) {
            const int* box = stats.ptr<int>(mark);
            if ((box[cv::CC_STAT_WIDTH] > largestLetter && box[cv::CC_STAT_HEIGHT] > largestLetter) ||
                frames[size_t(mark)]) {
                isLetterSized[size_t(mark)] = 0;
                anyCleared = true;
            } else if (const int markTop = from + box[cv::CC_STAT_TOP]; markTop >= top && markTop < top + bandRows) {
                ++marksPerRow[size_t(markTop)];
            }
        }
        if (!anyCleared)
            continue;
        // Each mark's faint fringe goes with it: what is left of a cleared
        // mark must not make marks of its own.
        cv::Mat cleared(labels.size(), CV_8U);
        for (int y = 0; y < labels.rows; ++y) {
            const int* label = labels.ptr<int>(y);
            uchar* row = cleared.ptr<uchar>(y);
            for (int x = 0; x < labels.cols; ++x)
                row[x] = isLetterSized[size_t(label[x])] ? 0 : 255;
        }
        cv::dilate(cleared, cleared, cv::Mat());
        previous = Clearing{pixels, cleared, band};
    }
    if (previous)
        previous->apply();
    return marksPerRow;
}

std::vector<int> PageReader::tileTops(const QImage& ink, const std::vector<int>& marksPerRow)
{
    std::vector<int> tops{0};
    const int height = ink.height();
    const int rowsByPixels = int(std::max<qint64>(smallestTile, layoutTilePixels / std::max(1, ink.width())));
    for (int top = 0;;) {
        int end = top;
        int marks = 0;
        while (end < height && end - top < rowsByPixels && marks + marksPerRow[size_t(end)] <= layoutTileMarks)
            marks += marksPerRow[size_t(end++)];
        end = std::max(end, top + smallestTile);
        if (end >= height)
            return tops;
        // A cut along blank rows splits no line of text.
        const int blank = blankestRow(ink, top + (end - top) / 2, end);
        top = blank > top ? blank : end;
        tops.push_back(top);
    }
}

void PageReader::layOut(const QImage& ink, Tile& tile, const Limits& limits)
{
    const CpuAccount::Charge charge(limits.budget.cpuAccount());
    // The layout itself cannot be interrupted: a tile past its time or
    // stopped is not laid out at all, also after waiting for an engine.
    const auto isToSkip = [&] {
        if (limits.stop.stop_requested())
            return true;
        tile.reachedDeadline = limits.isPastDeadline();
        return tile.reachedDeadline;
    };
    if (isToSkip())
        return;
    Engines::Lease engine = m_engines.acquire();
    if (isToSkip())
        return;
    const TextRecognizer::Layout layout = engine->layOut(rowsOf(ink, tile.top, tile.rows));
    if (!layout.lines) {
        tile.failure = {std::nullopt, TextRecognizer::Result::Failure::engine, layout.error};
        tile.isFailed = true;
        return;
    }
    for (const QRect& line : *layout.lines)
        tile.lines.push_back(line.translated(0, tile.top));
}

std::vector<QRect> PageReader::panelEdges(const QImage& image)
{
    std::vector<QRect> edges;
    if (image.width() < 4 || image.height() < 4)
        return edges;
    const QImage grey = greyView(image, 0, image.height());
    if (grey.isNull())
        return edges;
    const int longest = std::max(1, grey.height() / panelEdgeShare);
    // Where the run of edge pixels down each column began, -1 when none.
    std::vector<int> runTop(size_t(grey.width()), -1);
    const auto endRun = [&](int x, int y) {
        if (runTop[size_t(x)] >= 0 && y - runTop[size_t(x)] >= longest)
            edges.emplace_back(x, runTop[size_t(x)], 1, y - runTop[size_t(x)]);
        runTop[size_t(x)] = -1;
    };
    const int width = grey.width();
    for (int y = 0; y <= grey.height(); ++y) {
        const uchar* row = y < grey.height() ? grey.constScanLine(y) : nullptr;
        for (int x = 2; x + 1 < width; ++x) {
            // A step between two flat sides.
            const bool edge = row && std::abs(row[x] - row[x - 1]) >= 3 && std::abs(row[x - 1] - row[x - 2]) <= 1 &&
                              std::abs(row[x + 1] - row[x]) <= 1;
            if (edge && runTop[size_t(x)] < 0)
                runTop[size_t(x)] = y;
            else if (!edge)
                endRun(x, y);
        }
    }
    return edges;
}

std::vector<QRect> PageReader::linesInReadingOrder(const QImage& ink, const std::vector<QRect>& laidOut,
                                                   const std::vector<QRect>& panelEdges)
{
    std::vector<QRect> pieces;
    const int lineHeight = ReadingOrder::lineHeight(laidOut);
    const int textHeight = ReadingOrder::textLineHeight(laidOut);
    for (const QRect& line : laidOut) {
        for (const QRect& row : rowsOfLine(ink, line.intersected(ink.rect()), lineHeight, textHeight))
            cutAtGutters(ink, withInkBeside(ink, row, textHeight), pieces);
    }
    // Pieces on one row that come one after the other in reading order (the
    // cells of a table's row) are read as one line: a code or a number read
    // alone is read less surely than in its row. Columns are read one after
    // the other, so a sidebar's item does not join the line beside it; nor
    // does a piece whose box with the line would take in another line (an
    // icon beside a title and the line below it).
    const std::vector<QRect> ordered = ReadingOrder::order(ReadingOrder::join(std::move(pieces)), panelEdges);
    std::vector<QRect> lines;
    size_t first = 0; // of the pieces in the last line
    for (size_t i = 0; i < ordered.size(); ++i) {
        const QRect& box = ordered[i];
        const bool onSameRow = !lines.empty() && std::min(lines.back().bottom(), box.bottom()) -
                                                         std::max(lines.back().top(), box.top()) + 1 >=
                                                     std::min(lines.back().height(), box.height()) / 2;
        const auto isPart = [first, i](size_t other) { return other >= first && other <= i; };
        if (onSameRow && ReadingOrder::mayBeOneLine(lines.back(), box, textHeight) &&
            !ReadingOrder::takesInAnother(lines.back().united(box), ordered, textHeight, isPart)) {
            lines.back() = lines.back().united(box);
        } else {
            lines.push_back(box);
            first = i;
        }
    }
    std::vector<QRect> parts;
    for (const QRect& line : lines)
        cutToLength(ink, line, parts);
    return parts;
}

namespace {
// Whether the addresses of `reading` were read whole, each as one word with
// its scheme as written.
bool readsAddressesAsWritten(const TextRecognizer::Result& reading)
{
    return reading.addresses > 0 && !reading.addressMended && reading.addressConfidence > 0;
}

QStringList addressesIn(const TextRecognizer::Result& reading)
{
    QStringList addresses;
    for (const QString& line : reading.lines.value_or(QStringList())) {
        for (const QString& word : line.split(u' ', Qt::SkipEmptyParts)) {
            if (TextRecognizer::looksLikeAddress(word))
                addresses.append(word);
        }
    }
    return addresses;
}

// Whether `other` holds only the start of an address `reading` holds whole
// (broken off at a sign it read as a space), not just without a sign at its
// end.
bool breaksAnAddressOf(const TextRecognizer::Result& other, const TextRecognizer::Result& reading)
{
    const QStringList whole = addressesIn(reading);
    const QStringList starts = addressesIn(other);
    return std::any_of(starts.begin(), starts.end(), [&whole](const QString& start) {
        return std::any_of(whole.begin(), whole.end(), [&start](const QString& address) {
            const QStringView rest = QStringView(address).sliced(std::min(start.size(), address.size()));
            return address.startsWith(start) &&
                   std::any_of(rest.begin(), rest.end(), [](QChar c) { return c.isLetterOrNumber(); });
        });
    });
}
// Whether `softened` reads the same addresses as `first` but for letters or
// digits where `first` read signs ("pxelinux.0" for "pxelinux.@"): the
// engine takes a letter for a sign far more often than a sign for a letter.
bool readsLettersForSigns(const TextRecognizer::Result& softened, const TextRecognizer::Result& first)
{
    const QStringList ours = addressesIn(softened);
    const QStringList theirs = addressesIn(first);
    if (ours.size() != theirs.size() || ours == theirs)
        return false;
    for (qsizetype a = 0; a < ours.size(); ++a) {
        if (ours[a].size() != theirs[a].size())
            return false;
        for (qsizetype i = 0; i < ours[a].size(); ++i) {
            if (ours[a][i] != theirs[a][i] && (!ours[a][i].isLetterOrNumber() || theirs[a][i].isLetterOrNumber()))
                return false;
        }
    }
    return true;
}
} // namespace

bool PageReader::needsSofterReading(const TextRecognizer::Result& first)
{
    return first.addressMended || first.addressConfidence < surelyReadAddress;
}

TextRecognizer::Result PageReader::keptReading(TextRecognizer::Result first, TextRecognizer::Result softened)
{
    // Not read to its end, the softened line says nothing; the first is
    // read again at the next start, when there is time for both.
    if (softened.reachedDeadline) {
        first.reachedDeadline = true;
        return first;
    }
    if (!softened.lines || softened.addresses == 0 || softened.addresses < first.addresses ||
        breaksAnAddressOf(softened, first))
        return first;
    // Softened, the engine reads a misread scheme right far more often than
    // not, but other letters no better: an address the first reading read
    // as written is only given up for one read far more surely.
    const bool isBetter = readsAddressesAsWritten(first)
                              ? readsAddressesAsWritten(softened) &&
                                    (softened.addressConfidence >= first.addressConfidence + clearlySurerAddress ||
                                     readsLettersForSigns(softened, first))
                              : first.addresses == 0 || readsAddressesAsWritten(softened) ||
                                    softened.addressConfidence > first.addressConfidence;
    return isBetter ? std::move(softened) : std::move(first);
}

TextRecognizer::Result PageReader::readLine(TextRecognizer& engine, const QImage& ink, const QRect& line,
                                            const Limits& limits)
{
    const QImage image = onWhite(ink, line);
    TextRecognizer::Result first = engine.readLine(image, limits);
    // The engine misreads the scheme and slashes of an address ("hitps:/"
    // for a grey "https://") far less often in a softened line, but other
    // text it reads no better so, at times worse (a space in "json.load" of
    // small code enlarged), and a second reading costs as much as the first:
    // only an address read with doubt, or the start of one not read as one,
    // is read again.
    if (first.reachedDeadline || !needsSofterReading(first))
        return first;
    // Not begun once the time is up, as if cut short.
    TextRecognizer::Result again{std::nullopt, TextRecognizer::Result::Failure::none, {}, true};
    if (!limits.isPastDeadline()) {
        const QImage soft = softened(image, line.intersected(ink.rect()).height());
        if (soft.isNull())
            return first;
        again = engine.readLine(soft, limits);
    }
    return keptReading(std::move(first), std::move(again));
}

TextRecognizer::Result PageReader::readLines(const QImage& ink, const std::vector<QRect>& lines, const Limits& limits)
{
    std::vector<TextRecognizer::Result> read(lines.size());
    const auto readOne = [&](size_t index) {
        const CpuAccount::Charge charge(limits.budget.cpuAccount());
        if (limits.isPastDeadline()) {
            read[index] = {QStringList(), TextRecognizer::Result::Failure::none, {}, true};
            return;
        }
        Engines::Lease engine = m_engines.acquire();
        read[index] = readLine(*engine, ink, lines[index], limits);
    };
    SharedWork::Group parts(m_work, limits.stop);
    // Longest first: a long line begun last would hold the batch's end while
    // every other engine waits. A line is scaled to a fixed height before it
    // is read, so its cost follows its length in heights.
    std::vector<size_t> byCost(lines.size());
    std::iota(byCost.begin(), byCost.end(), size_t(0));
    const auto cost = [&lines](size_t index) {
        return double(lines[index].width()) / std::max(1, lines[index].height());
    };
    std::stable_sort(byCost.begin(), byCost.end(), [&cost](size_t a, size_t b) { return cost(a) > cost(b); });
    for (const size_t index : byCost)
        parts.post([&readOne, index] { readOne(index); });
    parts.wait();

    if (limits.stop.stop_requested())
        return {std::nullopt, TextRecognizer::Result::Failure::stopped, {}};
    TextRecognizer::Result page{QStringList(), TextRecognizer::Result::Failure::none, {}};
    page.page = ink.size();
    using Certainty = TextRecognizer::Certainty;
    int sureLines = 0;
    int doubtfulLines = 0;
    for (const TextRecognizer::Result& line : read) {
        if (line.failure != TextRecognizer::Result::Failure::none)
            return line;
        sureLines += int(std::count_if(line.certainty.begin(), line.certainty.end(),
                                       [](Certainty certainty) { return certainty != Certainty::doubtful; }));
        doubtfulLines +=
            int(std::count(line.certainty.begin(), line.certainty.end(), Certainty::doubtful)) + line.scraps;
    }
    // A texture or a photograph read as text gives lines of scraps, and a
    // few read fairly well by chance: there, only lines holding two words
    // read surely are text.
    const bool onlyCertain = doubtfulLines > sureLines * mostlyScraps;
    for (size_t index = 0; index < read.size(); ++index) {
        const TextRecognizer::Result& line = read[index];
        // A line left unread when the group was stopped has no result at all.
        const QStringList texts = line.lines.value_or(QStringList());
        for (qsizetype l = 0; l < texts.size(); ++l) {
            const Certainty certainty =
                size_t(l) < line.certainty.size() ? line.certainty[size_t(l)] : Certainty::doubtful;
            if (onlyCertain && certainty != Certainty::certain)
                continue;
            page.lines->append(texts[l]);
            page.certainty.push_back(certainty);
            page.boxes.push_back(lines[index]);
        }
        page.reachedDeadline |= line.reachedDeadline;
    }
    return page;
}

double PageReader::identicalNeighbourShare(const QImage& image)
{
    if (image.width() < 2 || image.height() < 1)
        return 1.0;
    // About 64 thousand pairs from rows spread over the picture.
    constexpr int sampledRows = 256;
    const int rowStep = std::max(1, image.height() / sampledRows);
    const int pairsPerRow = std::min(image.width() - 1, 256);
    const int columnStep = std::max(1, (image.width() - 1) / pairsPerRow);
    qint64 pairs = 0, identical = 0;
    for (int y = rowStep / 2; y < image.height(); y += rowStep) {
        for (int x = 0; x + 1 < image.width(); x += columnStep) {
            ++pairs;
            identical += image.pixel(x, y) == image.pixel(x + 1, y);
        }
    }
    return pairs ? double(identical) / double(pairs) : 1.0;
}

bool PageReader::isPhotograph(const QImage& image)
{
    return identicalNeighbourShare(image) < photographBelowShare;
}

QImage PageReader::photographAtReadingSize(QImage photograph)
{
    const qint64 pixels = qint64(photograph.width()) * photograph.height();
    if (pixels <= photographPixels)
        return photograph;
    const double scale = std::sqrt(double(photographPixels) / double(pixels));
    return photograph.scaled(std::max(1, int(photograph.width() * scale)),
                             std::max(1, int(photograph.height() * scale)), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
}

QImage PageReader::readingSize(QImage image)
{
    return isPhotograph(image) ? photographAtReadingSize(std::move(image)) : image;
}

TextRecognizer::Result PageReader::read(QImage image, const Limits& limits)
{
    const bool photograph = isPhotograph(image);
    if (photograph)
        image = photographAtReadingSize(std::move(image));
    std::vector<QRect> edges;
    {
        // Made grey once, for the panels' edges and the ink alike: the
        // colours are not needed again.
        const CpuAccount::Charge charge(limits.budget.cpuAccount());
        if (image.format() != QImage::Format_Grayscale8)
            image = greyRows(image, 0, image.height());
        if (!photograph)
            edges = panelEdges(image);
    }
    QImage ink = this->ink(image, limits);
    image = QImage();
    const TextRecognizer::Result nothingRead{QStringList(), TextRecognizer::Result::Failure::none, {}, true};
    if (limits.stop.stop_requested())
        return {std::nullopt, TextRecognizer::Result::Failure::stopped, {}};
    if (limits.isPastDeadline())
        return nothingRead;
    if (ink.isNull())
        return {std::nullopt, TextRecognizer::Result::Failure::recognition,
                u"The image is too large to prepare for recognition"_s};

    std::vector<int> marksPerRow;
    {
        const CpuAccount::Charge charge(limits.budget.cpuAccount());
        marksPerRow = clearMarksOtherThanText(ink);
    }
    std::vector<Tile> tiles;
    const std::vector<int> tops = tileTops(ink, marksPerRow);
    for (size_t t = 0; t < tops.size(); ++t)
        tiles.push_back({tops[t], (t + 1 < tops.size() ? tops[t + 1] : ink.height()) - tops[t]});
    // A few tiles at a time: a tile's layout cannot be interrupted, so the
    // tiles under way when the budget runs out are what it is overrun by.
    for (size_t first = 0; first < tiles.size(); first += layoutsAtOnce) {
        SharedWork::Group layouts(m_work, limits.stop, SharedWork::Order::ahead);
        for (size_t t = first; t < std::min(tiles.size(), first + layoutsAtOnce); ++t)
            layouts.post([this, &ink, &tile = tiles[t], &limits] { layOut(ink, tile, limits); });
        layouts.wait();
    }
    if (limits.stop.stop_requested())
        return {std::nullopt, TextRecognizer::Result::Failure::stopped, {}};
    std::vector<QRect> laidOut;
    bool reachedDeadline = false;
    for (const Tile& tile : tiles) {
        if (tile.isFailed)
            return tile.failure;
        laidOut.insert(laidOut.end(), tile.lines.begin(), tile.lines.end());
        reachedDeadline |= tile.reachedDeadline;
    }
    TextRecognizer::Result page = readLines(ink, linesInReadingOrder(ink, laidOut, edges), limits);
    page.reachedDeadline |= reachedDeadline;
    return page;
}
