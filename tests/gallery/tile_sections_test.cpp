#include "CollectionScreensSupport.h"

#include "gallery/ScreenScrollArea.h"
#include "gallery/TileSections.h"
#include "ui/Motion.h"

#include <QScrollBar>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace CollectionScreensSupport;
using Tile = TileSections::Tile;

namespace {
TileSections::Section grid(int count, int minWidth, int maxWidth = 0, int spacing = 16)
{
    TileSections::Section section;
    section.count = count;
    section.minColumnWidth = minWidth;
    section.maxColumnWidth = maxWidth;
    section.columnSpacing = spacing;
    section.rowSpacing = spacing;
    section.tileHeight = 100;
    section.insets = QMargins(24, 0, 24, 0);
    return section;
}

// Every tile painted white, with a count of the tiles painted.
struct WhiteTiles
{
    std::shared_ptr<int> painted = std::make_shared<int>(0);

    TileSections::TilePainter painter() const
    {
        return [painted = painted](QPainter& p, const QRect& rect, Tile, qreal) {
            ++*painted;
            p.fillRect(rect, Qt::white);
        };
    }
};
} // namespace

TEST(TileLayout, ColumnsFitTheWidthWithinTheirLimits)
{
    struct Case
    {
        const char* what;
        int width;
        TileSections::Section section;
        int columns;
        int columnWidth;
    };
    const QList<Case> cases = {
        {"five of at least 160", 1000, grid(20, 160), 5, 178},
        {"two of at least 160", 400, grid(20, 160), 2, 168},
        {"one, narrower than its minimum", 200, grid(20, 160), 1, 152},
        {"two capped at 240", 600, grid(20, 180, 240, 12), 2, 240},
        {"five of 180 to 240", 1000, grid(20, 180, 240, 12), 5, 181},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TileSections tiles(WhiteTiles().painter());
        tiles.setSections({c.section});
        tiles.resize(c.width, tiles.heightForWidth(c.width));
        const QRect first = tiles.tileRect({0, 0});
        EXPECT_EQ(first.left(), 24);
        EXPECT_NEAR(first.width(), c.columnWidth, 1);
        // The last tile of the first row, then the first of the second.
        EXPECT_EQ(tiles.tileRect({0, c.columns - 1}).top(), first.top());
        EXPECT_EQ(tiles.tileRect({0, c.columns}).left(), first.left());
        EXPECT_EQ(tiles.tileRect({0, c.columns}).top(), first.bottom() + 1 + c.section.rowSpacing);
    }

    TileSections tiles(WhiteTiles().painter());
    TileSections::Section three = grid(3, 0);
    three.fixedColumns = 3;
    tiles.setSections({three});
    tiles.resize(1000, 200);
    const int available = 1000 - 48 - 2 * 16;
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(tiles.tileRect({0, i}).width(), available / 3.0, 1);
}

TEST(TileLayout, EveryPointFindsTheTileDrawnThereAndGapsFindNone)
{
    TileSections tiles(WhiteTiles().painter());
    tiles.setHeadingStyle(QFont(), Qt::white);
    tiles.setSectionSpacing(24);
    TileSections::Section cards = grid(7, 160);
    cards.title = u"Cards"_s;
    cards.headingGap = 24;
    TileSections::Section rows;
    rows.title = u"Rows"_s;
    rows.count = 5;
    rows.rowSpacing = 8;
    rows.heightOf = [](int index, int) { return 40 + 10 * index; };
    tiles.setSections({cards, rows, TileSections::Section{}});
    tiles.resize(700, tiles.heightForWidth(700));

    EXPECT_EQ(titles(tiles), QStringList({u"Cards"_s, u"Rows"_s})) << "an empty untitled section is left out";
    EXPECT_LT(tiles.headingRect(0).bottom(), tiles.tileRect({0, 0}).top());
    EXPECT_LT(tiles.tileRect({0, 6}).bottom(), tiles.headingRect(1).top());
    EXPECT_EQ(tiles.tileRect({1, 3}).height(), 70);
    EXPECT_EQ(tiles.heightForWidth(700), tiles.tileRect({1, 4}).bottom() + 1);

    for (int section = 0; section < 2; ++section)
        for (int index = 0; index < tiles.sections().at(section).count; ++index) {
            const QRect rect = tiles.tileRect({section, index});
            for (const QPoint& point : {rect.topLeft(), rect.center(), rect.bottomRight()})
                EXPECT_EQ(tiles.tileAt(point), (Tile{section, index})) << section << "/" << index;
            EXPECT_FALSE(tiles.tileAt(rect.topRight() + QPoint(1, 0)) == (Tile{section, index}));
        }
    EXPECT_FALSE(tiles.tileAt(tiles.headingRect(1).center()));
    EXPECT_FALSE(tiles.tileAt(QPoint(10, tiles.tileRect({0, 0}).center().y()))) << "the inset";
    const QRect between = tiles.tileRect({1, 0});
    EXPECT_FALSE(tiles.tileAt(QPoint(between.center().x(), between.bottom() + 4))) << "between rows";
}

TEST(TileLayout, OnlyTilesInViewArePaintedEvenFarDownAHugeList)
{
    WhiteTiles white;
    auto* tiles = new TileSections(white.painter());
    TileSections::Section rows;
    rows.count = 2000;
    rows.fixedColumns = 1;
    rows.tileHeight = 60;
    rows.rowSpacing = 1;
    tiles->setSections({rows});
    ScreenScrollArea area(tiles);
    area.resize(800, 600);
    area.show();
    QCoreApplication::processEvents();
    QScrollBar* bar = area.verticalScrollBar();
    ASSERT_EQ(bar->maximum(), 2000 * 61 - 1 - 600);

    for (const int value : {0, 60'000, bar->maximum()}) {
        SCOPED_TRACE(value);
        bar->setValue(value);
        *white.painted = 0;
        const QImage shown = area.viewport()->grab().toImage();
        EXPECT_GT(*white.painted, 5);
        EXPECT_LT(*white.painted, 20);
        // The tiles land where the viewport shows them, far down too.
        const QRect last = tiles->tileRect({0, 1999});
        const int y = value == bar->maximum() ? last.center().y() - value : 30;
        EXPECT_EQ(shown.pixelColor(400, y), QColor(Qt::white));
    }
}

TEST(TileHoverState, FollowsThePointerAndForgetsTilesThatAreGone)
{
    InstantMotionScope instant;
    TileSections tiles(WhiteTiles().painter());
    TileSections::Section section = grid(10, 160);
    section.hoverMotion = Spring{};
    tiles.setSections({section});
    tiles.resize(1000, tiles.heightForWidth(1000));

    hover(&tiles, tiles.tileRect({0, 8}).center());
    EXPECT_EQ(tiles.hoveredTile(), (Tile{0, 8}));
    EXPECT_EQ(tiles.hoverProgress({0, 8}), 1.0);
    hover(&tiles, tiles.tileRect({0, 2}).center());
    EXPECT_EQ(tiles.hoveredTile(), (Tile{0, 2}));
    EXPECT_EQ(tiles.hoverProgress({0, 8}), 0.0);

    section.count = 2;
    tiles.setSections({section});
    EXPECT_FALSE(tiles.hoveredTile());
    EXPECT_EQ(tiles.hoverProgress({0, 2}), 0.0);
    hover(&tiles, tiles.tileRect({0, 1}).center());
    EXPECT_EQ(tiles.hoveredTile(), (Tile{0, 1}));
    leave(&tiles);
    EXPECT_FALSE(tiles.hoveredTile());
    EXPECT_EQ(tiles.hoverProgress({0, 1}), 0.0);
}
