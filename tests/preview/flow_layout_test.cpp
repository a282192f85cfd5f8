#include "preview/FlowLayout.h"

#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>

namespace {
struct Placement
{
    int row;
    qreal x;
    qreal y;
};

struct RowCase
{
    const char* name;
    qreal width;
    QList<QSizeF> items;
    std::vector<Placement> placements; // one per item, in order
    QSizeF size;
};

void PrintTo(const RowCase& c, std::ostream* os)
{
    *os << c.name;
}

class FlowRows : public ::testing::TestWithParam<RowCase>
{};

TEST_P(FlowRows, PlaceEachItemAndReportTheLastRowsBottom)
{
    const RowCase& c = GetParam();
    const auto rows = FlowLayout::computeRows(c.width, c.items, 8);
    std::vector<Placement> placed;
    for (int r = 0; r < int(rows.size()); ++r) {
        EXPECT_FALSE(rows[r].elements.empty()) << "row " << r;
        for (const auto& element : rows[r].elements) {
            EXPECT_EQ(element.index, int(placed.size())) << "items stay in order";
            placed.push_back({r, element.x, element.y});
        }
    }
    ASSERT_EQ(placed.size(), c.placements.size());
    for (size_t i = 0; i < placed.size(); ++i) {
        EXPECT_EQ(placed[i].row, c.placements[i].row) << "item " << i;
        EXPECT_EQ(placed[i].x, c.placements[i].x) << "item " << i;
        EXPECT_EQ(placed[i].y, c.placements[i].y) << "item " << i;
    }
    // Compared by part: QSizeF's fuzzy equality does not hold for infinity.
    const QSizeF size = FlowLayout::sizeThatFits(c.width, c.items, 8);
    EXPECT_EQ(size.width(), c.size.width());
    EXPECT_EQ(size.height(), c.size.height());
}

const qreal infinite = FlowLayout::unlimitedWidth;

INSTANTIATE_TEST_SUITE_P(
    Cases, FlowRows,
    ::testing::Values(
        RowCase{"Empty", 200, {}, {}, QSizeF(0, 0)},
        // 136 + 60 = 196 still fits in 200.
        RowCase{"ThreeFitOneRow",
                200,
                {{60, 20}, {60, 20}, {60, 20}},
                {{0, 0, 0}, {0, 68, 0}, {0, 136, 0}},
                QSizeF(200, 20)},
        // 120 + 8 + 80 = 208 passes 200.
        RowCase{"SecondBreaks",
                200,
                {{120, 20}, {80, 20}, {50, 20}},
                {{0, 0, 0}, {1, 0, 28}, {1, 88, 28}},
                QSizeF(200, 48)},
        // Exactly the width fits: 96 + 8 + 96 = 200.
        RowCase{"EqualityFits", 200, {{96, 10}, {96, 10}}, {{0, 0, 0}, {0, 104, 0}}, QSizeF(200, 10)},
        RowCase{"OverWideFirstStandsAlone", 200, {{300, 20}, {50, 20}}, {{0, 0, 0}, {1, 0, 28}}, QSizeF(200, 48)},
        RowCase{"OverWideInTheMiddle",
                200,
                {{50, 20}, {300, 30}, {50, 20}},
                {{0, 0, 0}, {1, 0, 28}, {2, 0, 66}},
                QSizeF(200, 86)},
        // The row is as tall as its tallest item; the next starts 30 + 8 lower.
        RowCase{"TallestSetsTheRow",
                100,
                {{20, 20}, {20, 30}, {20, 10}, {90, 5}},
                {{0, 0, 0}, {0, 28, 0}, {0, 56, 0}, {1, 0, 38}},
                QSizeF(100, 43)},
        RowCase{"UnlimitedWidthIsOneRow",
                infinite,
                {{500, 20}, {500, 25}, {500, 20}},
                {{0, 0, 0}, {0, 508, 0}, {0, 1016, 0}},
                QSizeF(infinite, 25)}),
    [](const ::testing::TestParamInfo<RowCase>& info) { return std::string(info.param.name); });

QWidget* box(QSize size, QWidget* parent)
{
    auto* widget = new QWidget(parent);
    widget->setFixedSize(size);
    return widget;
}
} // namespace

TEST(FlowLayoutWidget, PlacesWidgetsFromTheLayoutsOriginAtTheirPreferredSize)
{
    QWidget holder;
    auto* flow = new FlowLayout(&holder, 8);
    flow->setContentsMargins(5, 7, 0, 0);
    QWidget* a = box({120, 20}, &holder);
    QWidget* b = box({80, 20}, &holder);
    QWidget* wide = box({300, 10}, &holder);
    for (QWidget* w : {a, b, wide})
        flow->addWidget(w);

    flow->setGeometry(QRect(10, 20, 205, 500)); // 200 wide inside the margins
    EXPECT_EQ(a->geometry(), QRect(15, 27, 120, 20));
    EXPECT_EQ(b->geometry(), QRect(15, 27 + 28, 80, 20));
    // Wider than the width: alone on its row, not shrunk.
    EXPECT_EQ(wide->geometry(), QRect(15, 27 + 56, 300, 10));
    EXPECT_EQ(flow->heightForWidth(205), 7 + 66);
    // Unlimited width in the hint: one row.
    EXPECT_EQ(flow->sizeHint(), QSize(5 + 120 + 8 + 80 + 8 + 300, 7 + 20));
}

TEST(FlowLayoutWidget, HiddenWidgetsTakeNoPlace)
{
    QWidget holder;
    auto* flow = new FlowLayout(&holder, 8);
    QWidget* a = box({60, 20}, &holder);
    QWidget* hidden = box({60, 20}, &holder);
    QWidget* c = box({60, 20}, &holder);
    for (QWidget* w : {a, hidden, c})
        flow->addWidget(w);
    hidden->hide();
    holder.show();
    flow->setGeometry(QRect(0, 0, 200, 100));
    EXPECT_EQ(c->pos(), QPoint(68, 0));
    EXPECT_EQ(flow->heightForWidth(130), 20); // 60 + 8 + 60 = 128 fits
    EXPECT_EQ(flow->heightForWidth(127), 48);
}

TEST(FlowLayoutWidget, AParentLayoutGivesItTheHeightItsWidthNeeds)
{
    QWidget window;
    window.setFixedWidth(150);
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* chips = new QWidget(&window);
    auto* flow = new FlowLayout(chips, 8);
    for (int i = 0; i < 5; ++i)
        flow->addWidget(box({60, 20}, chips)); // two per row at 150
    column->addWidget(chips);
    column->addStretch(1);
    window.resize(150, 400);
    window.show();
    EXPECT_EQ(chips->height(), 3 * 20 + 2 * 8);
}
