#include "gallery/GalleryGridLayout.h"

#include <gtest/gtest.h>

namespace {
using Index = GalleryGridLayout::Index;

struct ColumnCase
{
    double width;
    double scale;
    int columns;
    double cell;
    double left;
};

class ColumnsTest : public ::testing::TestWithParam<ColumnCase>
{};

TEST_P(ColumnsTest, FitAsManySmallestCellsAsTheWidthHoldsAndCentreCappedOnes)
{
    const ColumnCase c = GetParam();
    GalleryGridLayout layout;
    layout.rebuild({5}, c.width, c.scale);
    EXPECT_EQ(layout.columns(), c.columns);
    EXPECT_NEAR(layout.cellSize(), c.cell, 0.01);
    EXPECT_NEAR(layout.leftInset(), c.left, 0.01);
}

INSTANTIATE_TEST_SUITE_P(WidthAndScale, ColumnsTest,
                         ::testing::Values(ColumnCase{1000, 1.0, 7, (1000 - 12) / 7.0, 0},
                                           ColumnCase{284, 1.0, 2, 141, 0}, // exactly two of 140 plus spacing
                                           ColumnCase{281, 1.0, 1, 200,
                                                      40.5}, // too narrow for two: one capped, centred cell
                                           ColumnCase{100, 1.0, 1, 100, 0},   // narrower than one cell
                                           ColumnCase{284, 0.5, 3, 93.33, 0}, // smaller cells at half scale
                                           ColumnCase{1000, 2.0, 3, 332, 0},  // 280-wide minimum at double scale
                                           ColumnCase{1000, 5.0, 3, 332, 0},  // the scale is clamped to 2
                                           ColumnCase{250, 0.1, 3, 82, 0}));  // and to 0.5

class LayoutTest : public ::testing::Test
{
protected:
    // Four columns of 100: the width is 4 * 100 + 3 * 2 and the smallest
    // cell at this scale is 84, so a fifth does not fit.
    LayoutTest() { m_layout.rebuild({3, 10, 1}, 406, 0.6); }

    GalleryGridLayout m_layout;
};

TEST_F(LayoutTest, SectionsFollowEachOtherByHeaderRowsAndSpacing)
{
    ASSERT_EQ(m_layout.columns(), 4);
    const double cell = m_layout.cellSize();
    ASSERT_NEAR(cell, 100, 0.01);
    EXPECT_DOUBLE_EQ(m_layout.sectionTop(0), 1);
    EXPECT_EQ(m_layout.rows(0), 1);
    EXPECT_EQ(m_layout.rows(1), 3);
    EXPECT_DOUBLE_EQ(m_layout.sectionTop(1), 1 + 52 + cell + 2);
    EXPECT_DOUBLE_EQ(m_layout.sectionTop(2), m_layout.sectionTop(1) + 52 + 3 * cell + 2 * 2 + 2);
    EXPECT_DOUBLE_EQ(m_layout.contentHeight(), m_layout.sectionTop(2) + 52 + cell + 80);
    EXPECT_EQ(m_layout.cellRect({1, 5}), QRectF(102, m_layout.sectionTop(1) + 52 + 102, 100, 100));
}

TEST_F(LayoutTest, FlatIndexRoundTrips)
{
    EXPECT_EQ(m_layout.totalItems(), 14);
    for (int flat = 0; flat < 14; ++flat)
        EXPECT_EQ(m_layout.flatIndex(*m_layout.fromFlat(flat)), flat);
    EXPECT_EQ(m_layout.fromFlat(3), (Index{1, 0}));
    EXPECT_EQ(m_layout.fromFlat(14), std::nullopt);
    EXPECT_EQ(m_layout.fromFlat(-1), std::nullopt);
}

TEST_F(LayoutTest, HitTestAtCellEdgesSpacingAndHeaders)
{
    const QRectF cell = m_layout.cellRect({1, 5});
    struct Case
    {
        QPointF point;
        std::optional<Index> expected;
    };
    const double headerMiddle = m_layout.sectionTop(1) + 26;
    const QRectF lastInRow = m_layout.cellRect({0, 2});
    const Case cases[] = {
        {cell.topLeft(), Index{1, 5}},
        {cell.bottomRight() - QPointF(0.01, 0.01), Index{1, 5}},
        {QPointF(cell.right() + 1, cell.center().y()), std::nullopt},  // the spacing to the right
        {QPointF(cell.center().x(), cell.bottom() + 1), std::nullopt}, // the spacing below
        {QPointF(cell.right() + 2, cell.top()), Index{1, 6}},          // the next cell's edge
        {QPointF(50, headerMiddle), std::nullopt},
        {QPointF(lastInRow.right() + 2 + 50, lastInRow.center().y()), std::nullopt}, // no fourth item
        {QPointF(50, 0.5), std::nullopt},                                            // the top anchor
        {QPointF(50, m_layout.contentHeight() - 10), std::nullopt},                  // bottom padding
    };
    for (const Case& c : cases)
        EXPECT_EQ(m_layout.hitTest(c.point), c.expected) << c.point.x() << "," << c.point.y();
}

TEST_F(LayoutTest, PinnedHeaderIsHeldAtTheTopUntilTheNextPushesItUp)
{
    const double next = m_layout.sectionTop(2);
    struct Case
    {
        double scrollTop;
        int firstSection;
        double firstY;
        bool pinned;
    };
    const Case cases[] = {
        {0, 0, 1, false},                          // in place
        {m_layout.sectionTop(1) + 10, 1, 0, true}, // held
        {next - 52, 1, 0, true},                   // touching the next one
        {next - 20, 1, -32, true},                 // pushed up by 32
        {next, 2, 0, false},                       // the next one takes over
    };
    for (const Case& c : cases) {
        const auto headers = m_layout.visibleHeaders(c.scrollTop, 300);
        ASSERT_FALSE(headers.empty());
        EXPECT_EQ(headers.front().section, c.firstSection) << c.scrollTop;
        EXPECT_DOUBLE_EQ(headers.front().y, c.firstY) << c.scrollTop;
        EXPECT_EQ(headers.front().pinned, c.pinned) << c.scrollTop;
    }
    const auto pushed = m_layout.visibleHeaders(next - 20, 300);
    ASSERT_GE(pushed.size(), 2u);
    EXPECT_EQ(pushed[1].section, 2);
    EXPECT_DOUBLE_EQ(pushed[1].y, 20);
}

TEST_F(LayoutTest, VisibleItemsAtTheEndOfTheList)
{
    const double height = 250;
    const auto spans = m_layout.visibleItems(m_layout.contentHeight() - height, height);
    ASSERT_FALSE(spans.empty());
    EXPECT_EQ(spans.back().section, 2);
    EXPECT_EQ(spans.back().firstItem, 0);
    EXPECT_EQ(spans.back().endItem, 1);
    // Only the last row of the middle section is still in view.
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].section, 1);
    EXPECT_EQ(spans[0].firstItem, 8);
    EXPECT_EQ(spans[0].endItem, 10);
}

TEST_F(LayoutTest, VisibleItemsSkipRowsAboveAndBelow)
{
    const QRectF secondRow = m_layout.cellRect({1, 4});
    // A band from inside the second row's spacing to just into the third row.
    const auto spans = m_layout.visibleItems(secondRow.bottom() + 1, 50);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].section, 1);
    EXPECT_EQ(spans[0].firstItem, 8);
    EXPECT_EQ(spans[0].endItem, 10);
}

// The side inset narrows the room for columns and shifts them; the header
// bands still span the whole width.
TEST(GridLayout, SideInsetsKeepCardsOffBothEdges)
{
    GalleryGridLayout layout(GalleryGridLayout::Metrics{.sideInset = 20});
    layout.rebuild({9}, 1000, 1.0);
    EXPECT_EQ(layout.columns(), 6); // 960 wide: six of at least 140
    EXPECT_DOUBLE_EQ(layout.leftInset(), 20);
    EXPECT_DOUBLE_EQ(layout.cellRect({0, 0}).left(), 20);
    EXPECT_NEAR(layout.cellRect({0, 5}).right(), 980, 1e-9);
    EXPECT_DOUBLE_EQ(layout.headerRect(0).width(), 1000);
    EXPECT_EQ(layout.hitTest({10, layout.cellRect({0, 0}).center().y()}), std::nullopt);

    layout.rebuild({9}, 321, 1.0); // room for one capped cell, centred
    EXPECT_EQ(layout.columns(), 1);
    EXPECT_DOUBLE_EQ(layout.cellSize(), 200);
    EXPECT_DOUBLE_EQ(layout.leftInset(), 20 + 40.5);
}

TEST(GridLayout, EmptyLibraryHasOnlyItsInsets)
{
    GalleryGridLayout layout;
    layout.rebuild({}, 800, 1.0);
    EXPECT_DOUBLE_EQ(layout.contentHeight(), 81);
    EXPECT_TRUE(layout.visibleItems(0, 600).empty());
    EXPECT_TRUE(layout.visibleHeaders(0, 600).empty());
    EXPECT_EQ(layout.hitTest({10, 10}), std::nullopt);
}
} // namespace
