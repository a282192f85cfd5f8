#include "ingest/PageReader.h"

#include "core/ImageLoader.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

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

cv::Mat matOver(uchar* bits, int width, int rows, qsizetype bytesPerLine)
{
    return cv::Mat(rows, width, CV_8UC1, bits, size_t(bytesPerLine));
}

// Writes rows [top, top + count) of the ink of `image` to `inkBits`, a grey
// picture of the same size. Each row's background is the median of the
// window around it, so rows are read from `window / 2` above and below: the
// result is the same whichever rows are made together.
bool makeInkRows(const QImage& image, int top, int count, int window, uchar* inkBits, qsizetype inkBytesPerLine)
{
    const int margin = window / 2;
    const int from = std::max(0, top - margin);
    const int to = std::min(image.height(), top + count + margin);
    QImage grey = greyRows(image, from, to - from);
    if (grey.isNull())
        return false;
    const cv::Mat pixels = matOver(grey.bits(), grey.width(), grey.height(), grey.bytesPerLine());
    cv::Mat background;
    cv::medianBlur(pixels, background, window);
    cv::Mat difference;
    cv::absdiff(pixels.rowRange(top - from, top - from + count), background.rowRange(top - from, top - from + count),
                difference);
    cv::Mat ink = matOver(inkBits + qsizetype(top) * inkBytesPerLine, image.width(), count, inkBytesPerLine);
    difference.convertTo(ink, CV_8U, -inkGain, 255);
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

// Each line's box grown by a quarter of its height (ascenders and descenders
// the layout clipped), within the page.
QRect padded(const QRect& box, const QRect& page)
{
    const int pad = std::max(2, box.height() / 4);
    return box.adjusted(-pad, -pad, pad, pad).intersected(page);
}

} // namespace

// One tile of a page: where it is, and after its layout either its lines, read
// whole by the engine that laid it out, or its bands, to be read as parts.
struct PageReader::Tile
{
    int top = 0;
    int rows = 0;
    TextRecognizer::Result whole;
    std::vector<std::vector<QRect>> bands;
    std::vector<TextRecognizer::Result> bandResults;
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

QImage PageReader::ink(const QImage& image, const std::stop_token& stop, CpuAccount* account)
{
    if (!m_work.isShared() || image.width() < 3 || image.height() < 3)
        return inkOnWhite(image);
    QImage ink(image.size(), QImage::Format_Grayscale8);
    if (ink.isNull())
        return {};
    // Taken once: the parts write to their own rows of one buffer.
    uchar* const bits = ink.bits();
    const qsizetype bytesPerLine = ink.bytesPerLine();
    const int window = windowFor(image);
    const std::vector<std::pair<int, int>> rows = inkParts(image.height(), window);
    if (rows.size() == 1)
        return inkOnWhite(image);
    std::atomic<bool> failed{false};
    SharedWork::Group parts(m_work, stop, SharedWork::Order::ahead);
    for (const auto& [top, count] : rows) {
        parts.post([&, top = top, count = count] {
            const CpuAccount::Charge charge(account);
            if (!makeInkRows(image, top, count, window, bits, bytesPerLine))
                failed = true;
        });
    }
    parts.wait();
    return failed || stop.stop_requested() ? QImage() : ink;
}

std::vector<int> PageReader::tileTops(const QImage& ink, qint64 abovePixels, qint64 pixels)
{
    std::vector<int> tops{0};
    if (qint64(ink.width()) * ink.height() <= abovePixels)
        return tops;
    const int rows = int(std::max<qint64>(64, pixels / ink.width()));
    for (int top = 0; ink.height() - top > rows * 3 / 2;) {
        // A cut along blank rows splits no line of text.
        const int blank = blankestRow(ink, top + rows / 2, top + rows);
        top = blank > 0 ? blank : top + rows;
        tops.push_back(top);
    }
    return tops;
}

void PageReader::layOut(const QImage& ink, Tile& tile, const Limits& limits)
{
    const CpuAccount::Charge charge(limits.budget.cpuAccount());
    // The layout itself cannot be interrupted: a tile past its time or
    // stopped is not laid out at all, also after waiting for an engine.
    const auto isToSkip = [&] {
        if (limits.stop.stop_requested())
            return true;
        if (limits.isPastDeadline()) {
            tile.whole = {QStringList(), TextRecognizer::Result::Failure::none, {}, true};
            return true;
        }
        return false;
    };
    if (isToSkip())
        return;
    Engines::Lease engine = m_engines.acquire();
    if (isToSkip())
        return;
    const TextRecognizer::Layout layout = engine->layOut(rowsOf(ink, tile.top, tile.rows));
    if (!layout.lines) {
        tile.whole = {std::nullopt, TextRecognizer::Result::Failure::engine, layout.error};
        return;
    }
    const QRect page = ink.rect();
    for (const QRect& line : *layout.lines) {
        if (tile.bands.empty() || tile.bands.back().size() == size_t(linesPerBand))
            tile.bands.emplace_back();
        tile.bands.back().push_back(padded(line.translated(0, tile.top), page));
    }
    // A single band gains nothing from sharing.
    if (!m_work.isShared() || tile.bands.size() <= 1) {
        tile.bands.clear();
        tile.whole = engine->readLaidOut(limits);
    }
}

TextRecognizer::Result PageReader::readBand(const QImage& ink, const std::vector<QRect>& lines, const Limits& limits)
{
    const CpuAccount::Charge charge(limits.budget.cpuAccount());
    TextRecognizer::Result band{QStringList(), TextRecognizer::Result::Failure::none, {}};
    if (limits.isPastDeadline()) {
        band.reachedDeadline = true;
        return band;
    }
    Engines::Lease engine = m_engines.acquire();
    for (const QRect& line : lines) {
        const TextRecognizer::Result read = engine->readLine(ink.copy(line), limits);
        if (read.failure != TextRecognizer::Result::Failure::none)
            return read;
        band.lines->append(*read.lines);
        if (read.reachedDeadline || limits.isPastDeadline()) {
            band.reachedDeadline = true;
            break;
        }
    }
    return band;
}

double PageReader::recognitionCost(const std::vector<QRect>& lines)
{
    // A line is scaled to a fixed height before it is read, so its cost
    // follows its length in heights.
    double cost = 0;
    for (const QRect& line : lines)
        cost += double(line.width()) / std::max(1, line.height());
    return cost;
}

TextRecognizer::Result PageReader::readBands(const QImage& ink, std::vector<Tile>& tiles, const Limits& limits)
{
    // Longest first: a long line begun last would hold the batch's end
    // while every other engine waits.
    struct Queued
    {
        Tile* tile;
        size_t band;
        double cost;
    };
    std::vector<Queued> queue;
    for (Tile& tile : tiles) {
        tile.bandResults.resize(tile.bands.size());
        for (size_t b = 0; b < tile.bands.size(); ++b)
            queue.push_back({&tile, b, recognitionCost(tile.bands[b])});
    }
    std::stable_sort(queue.begin(), queue.end(), [](const Queued& a, const Queued& b) { return a.cost > b.cost; });
    SharedWork::Group parts(m_work, limits.stop);
    for (const Queued& queued : queue) {
        parts.post(
            [&, &tile = *queued.tile, b = queued.band] { tile.bandResults[b] = readBand(ink, tile.bands[b], limits); });
    }
    parts.wait();

    TextRecognizer::Result page{QStringList(), TextRecognizer::Result::Failure::none, {}};
    const auto add = [&page](const TextRecognizer::Result& result) {
        if (result.lines)
            page.lines->append(*result.lines);
        page.reachedDeadline |= result.reachedDeadline;
        return result.failure == TextRecognizer::Result::Failure::none;
    };
    for (const Tile& tile : tiles) {
        if (!add(tile.whole))
            return tile.whole;
        for (const TextRecognizer::Result& band : tile.bandResults) {
            if (!add(band))
                return band;
        }
    }
    if (limits.stop.stop_requested())
        return {std::nullopt, TextRecognizer::Result::Failure::stopped, {}};
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
    const QImage ink = this->ink(image, limits.stop, limits.budget.cpuAccount());
    image = QImage();
    if (limits.stop.stop_requested())
        return {std::nullopt, TextRecognizer::Result::Failure::stopped, {}};
    if (ink.isNull())
        return {std::nullopt, TextRecognizer::Result::Failure::recognition,
                u"The image is too large to prepare for recognition"_s};

    std::vector<Tile> tiles;
    const std::vector<int> tops =
        photograph ? tileTops(ink, photographTilePixels, photographTilePixels) : tileTops(ink);
    for (size_t t = 0; t < tops.size(); ++t)
        tiles.push_back({tops[t], (t + 1 < tops.size() ? tops[t + 1] : ink.height()) - tops[t]});
    if (tiles.size() == 1) {
        layOut(ink, tiles.front(), limits);
    } else {
        SharedWork::Group layouts(m_work, limits.stop, SharedWork::Order::ahead);
        for (Tile& tile : tiles)
            layouts.post([this, &ink, &tile = tile, &limits] { layOut(ink, tile, limits); });
        layouts.wait();
    }
    return readBands(ink, tiles, limits);
}
