#include "gallery/GalleryGridLayout.h"

#include <algorithm>
#include <cmath>

GalleryGridLayout::GalleryGridLayout(Metrics metrics)
    : m_metrics(metrics)
{}

int GalleryGridLayout::columnsFor(double width, double scale, const Metrics& metrics)
{
    const double minCell = metrics.minCell * std::clamp(scale, minScale, maxScale);
    return std::max(1, int(std::floor((width + metrics.spacing) / (minCell + metrics.spacing))));
}

void GalleryGridLayout::rebuild(const std::vector<int>& sectionCounts, double viewportWidth, double scale)
{
    scale = std::clamp(scale, minScale, maxScale);
    const double width = std::max(0.0, viewportWidth - 2 * m_metrics.sideInset);
    const double spacing = m_metrics.spacing;
    m_columns = columnsFor(width, scale, m_metrics);
    const double fitted = (width - (m_columns - 1) * spacing) / m_columns;
    m_cell = std::max(1.0, std::min(fitted, m_metrics.maxCell * scale));
    m_left = m_metrics.sideInset + std::max(0.0, (width - (m_columns * m_cell + (m_columns - 1) * spacing)) / 2);

    m_counts = sectionCounts;
    m_tops.assign(m_counts.size() + 1, 0);
    m_flatStart.assign(m_counts.size() + 1, 0);
    double y = m_metrics.topInset;
    for (size_t s = 0; s < m_counts.size(); ++s) {
        m_tops[s] = y;
        m_flatStart[s + 1] = m_flatStart[s] + m_counts[s];
        const int rowCount = rows(int(s));
        y += m_metrics.headerHeight + rowCount * m_cell + std::max(0, rowCount - 1) * spacing + spacing;
    }
    m_tops.back() = y;
}

double GalleryGridLayout::contentHeight() const
{
    const double sectionsEnd = m_counts.empty() ? m_metrics.topInset : m_tops.back() - m_metrics.spacing;
    return sectionsEnd + m_metrics.bottomInset;
}

int GalleryGridLayout::rows(int section) const
{
    return (m_counts[size_t(section)] + m_columns - 1) / m_columns;
}

double GalleryGridLayout::sectionBottom(int section) const
{
    return m_tops[size_t(section) + 1] - m_metrics.spacing;
}

QRectF GalleryGridLayout::cellRect(Index index) const
{
    const double pitch = m_cell + m_metrics.spacing;
    const int row = index.item / m_columns;
    const int column = index.item % m_columns;
    return {m_left + column * pitch, sectionTop(index.section) + m_metrics.headerHeight + row * pitch, m_cell, m_cell};
}

QRectF GalleryGridLayout::headerRect(int section) const
{
    return {0, sectionTop(section), m_left * 2 + m_columns * m_cell + (m_columns - 1) * m_metrics.spacing,
            m_metrics.headerHeight};
}

int GalleryGridLayout::flatIndex(Index index) const
{
    return m_flatStart[size_t(index.section)] + index.item;
}

std::optional<GalleryGridLayout::Index> GalleryGridLayout::fromFlat(int flat) const
{
    if (flat < 0 || flat >= totalItems())
        return std::nullopt;
    const auto next = std::upper_bound(m_flatStart.begin(), m_flatStart.end(), flat);
    const int section = int(next - m_flatStart.begin()) - 1;
    return Index{section, flat - m_flatStart[size_t(section)]};
}

// The section whose band [top, next top) holds y; -1 above the first.
int GalleryGridLayout::sectionAt(double y) const
{
    if (m_counts.empty())
        return -1;
    const auto after = std::upper_bound(m_tops.begin(), m_tops.end() - 1, y);
    return int(after - m_tops.begin()) - 1;
}

std::optional<GalleryGridLayout::Index> GalleryGridLayout::hitTest(QPointF point) const
{
    const int section = sectionAt(point.y());
    if (section < 0 || point.y() >= sectionBottom(section))
        return std::nullopt;
    const double pitch = m_cell + m_metrics.spacing;
    const double dy = point.y() - sectionTop(section) - m_metrics.headerHeight;
    const double dx = point.x() - m_left;
    if (dy < 0 || dx < 0)
        return std::nullopt;
    const int row = int(dy / pitch);
    const int column = int(dx / pitch);
    if (column >= m_columns || dy - row * pitch >= m_cell || dx - column * pitch >= m_cell)
        return std::nullopt;
    const int item = row * m_columns + column;
    if (item >= m_counts[size_t(section)])
        return std::nullopt;
    return Index{section, item};
}

std::vector<GalleryGridLayout::SectionSpan> GalleryGridLayout::visibleItems(double top, double height) const
{
    std::vector<SectionSpan> spans;
    const double bottom = top + height;
    const double pitch = m_cell + m_metrics.spacing;
    for (int s = std::max(0, sectionAt(top)); s < sectionCount() && sectionTop(s) < bottom; ++s) {
        const double itemsTop = sectionTop(s) + m_metrics.headerHeight;
        const int firstRow = std::max(0, int(std::floor((top - itemsTop + m_metrics.spacing) / pitch)));
        const int endRow = std::min(rows(s), int(std::ceil((bottom - itemsTop) / pitch)));
        if (endRow <= firstRow)
            continue;
        spans.push_back({s, firstRow * m_columns, std::min(itemCount(s), endRow * m_columns)});
    }
    return spans;
}

std::vector<GalleryGridLayout::Header> GalleryGridLayout::visibleHeaders(double scrollTop, double height) const
{
    std::vector<Header> headers;
    const double bottom = scrollTop + height;
    const int underTop = sectionAt(scrollTop);
    for (int s = std::max(0, underTop); s < sectionCount() && sectionTop(s) < bottom; ++s) {
        const double natural = sectionTop(s) - scrollTop;
        if (s != underTop || natural >= 0) {
            headers.push_back({s, natural, false});
            continue;
        }
        // Held at the top, until the next header pushes it out.
        const double pushed = sectionTop(s + 1) - scrollTop - m_metrics.headerHeight;
        headers.push_back({s, std::min(0.0, pushed), true});
    }
    return headers;
}
