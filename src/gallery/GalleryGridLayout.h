#pragma once

#include <QPointF>
#include <QRectF>

#include <optional>
#include <vector>

// Where every header and cell of the gallery grid lies, computed from the
// number of screenshots per section alone, so that a library of any size
// costs only what is on screen. Content coordinates: y grows down from the
// top of the scroll content, x from the viewport's left edge.
//
// A section is its header band followed by rows of square cells; sections
// follow one another with the grid spacing between them.
class GalleryGridLayout
{
public:
    struct Metrics
    {
        double minCell = 140; // at scale 1
        double maxCell = 200;
        double spacing = 2;
        double headerHeight = 52;
        double topInset = 1; // the scroll anchor above the first section
        double bottomInset = 80;
        double sideInset = 0; // kept clear at the left and the right
    };

    static constexpr double minScale = 0.5;
    static constexpr double maxScale = 2.0;

    struct Index
    {
        int section = 0;
        int item = 0;
        bool operator==(const Index&) const = default;
    };

    // The cells of one section that meet a band of the content.
    struct SectionSpan
    {
        int section = 0;
        int firstItem = 0;
        int endItem = 0; // one past the last
    };

    // The header drawn for `section`, `y` its top in viewport coordinates.
    struct Header
    {
        int section = 0;
        double y = 0;
        bool pinned = false;
    };

    GalleryGridLayout() = default;
    explicit GalleryGridLayout(Metrics metrics);

    void rebuild(const std::vector<int>& sectionCounts, double viewportWidth, double scale);

    const Metrics& metrics() const { return m_metrics; }
    int columns() const { return m_columns; }
    double cellSize() const { return m_cell; }
    // The left edge of the first column: the side inset, more when the grid
    // is centred because its cells have reached their largest size.
    double leftInset() const { return m_left; }
    double contentHeight() const;
    int sectionCount() const { return int(m_counts.size()); }
    int itemCount(int section) const { return m_counts[size_t(section)]; }
    int totalItems() const { return m_flatStart.empty() ? 0 : m_flatStart.back(); }
    int rows(int section) const;
    double sectionTop(int section) const { return m_tops[size_t(section)]; }

    QRectF cellRect(Index index) const;
    QRectF headerRect(int section) const;
    // The position of an item in the concatenation of all sections, and back.
    int flatIndex(Index index) const;
    std::optional<Index> fromFlat(int flat) const;
    // The cell under a point, spacing and header bands excluded.
    std::optional<Index> hitTest(QPointF contentPoint) const;
    // The cells meeting [top, top + height), section by section.
    std::vector<SectionSpan> visibleItems(double top, double height) const;
    // The headers to draw over the viewport scrolled to `scrollTop`: every
    // header in view where it lies, except the one of the section under the
    // top edge, held at the top until the next header pushes it up.
    std::vector<Header> visibleHeaders(double scrollTop, double height) const;

    // Columns for a width and zoom: as many of the smallest size as fit.
    static int columnsFor(double width, double scale, const Metrics& metrics);

private:
    int sectionAt(double y) const;
    double sectionBottom(int section) const;

    Metrics m_metrics;
    std::vector<int> m_counts;
    std::vector<double> m_tops;   // header top of each section, then the end of the last
    std::vector<int> m_flatStart; // items before each section, then the total
    int m_columns = 1;
    double m_cell = 0;
    double m_left = 0;
};
