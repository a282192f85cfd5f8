#include "CollectionScreensSupport.h"

#include "gallery/CollectionCard.h"
#include "gallery/CollectionListRow.h"
#include "gallery/CollectionsGridView.h"
#include "gallery/SymbolSwitch.h"
#include "gallery/TileSections.h"
#include "support/Wait.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/StyledSymbol.h"

#include <QAbstractButton>
#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace CollectionScreensSupport;
using Mode = CollectionsGridView::ViewMode;

namespace {
QList<SmartCollection> library()
{
    return {collection(u"Work"_s, CollectionType::folder, SystemColor::yellow),
            collection(u"Videos"_s, CollectionType::smart, SystemColor::cyan),
            collection(u"Receipts"_s, CollectionType::userTag, SystemColor::orange),
            collection(u"Today"_s, CollectionType::recap, SystemColor::orange),
            collection(u"Group"_s, CollectionType::smartGroup),
            collection(u"Design"_s, CollectionType::folder),
            collection(u"Last 7 Days"_s, CollectionType::recap, SystemColor::purple)};
}

class CollectionsScreen : public ::testing::Test
{
protected:
    std::unique_ptr<CollectionsGridView> makeScreen(QList<SmartCollection> collections)
    {
        auto screen = std::make_unique<CollectionsGridView>(
            std::move(collections), [this](const SmartCollection& c) { m_selected.append(c.name); });
        screen->resize(1000, 700);
        screen->show();
        QCoreApplication::processEvents();
        return screen;
    }

    InstantMotionScope m_instant;
    QStringList m_selected;
};
} // namespace

TEST(CollectionSections, FixedOrderWhateverTheInputAndOnlyTheThreeKinds)
{
    struct Case
    {
        const char* what;
        QList<SmartCollection> input;
        QList<std::pair<QString, QStringList>> sections;
    };
    const QList<Case> cases = {
        {"every kind, shuffled",
         library(),
         {{u"Review"_s, {u"Today"_s, u"Last 7 Days"_s}},
          {u"User Collections"_s, {u"Receipts"_s}},
          {u"Folders"_s, {u"Work"_s, u"Design"_s}}}},
        {"folders before tags before recaps",
         {collection(u"B"_s, CollectionType::folder), collection(u"T"_s, CollectionType::userTag),
          collection(u"A"_s, CollectionType::folder), collection(u"R"_s, CollectionType::recap)},
         {{u"Review"_s, {u"R"_s}}, {u"User Collections"_s, {u"T"_s}}, {u"Folders"_s, {u"B"_s, u"A"_s}}}},
        {"no tags",
         {collection(u"F"_s), collection(u"R"_s, CollectionType::recap)},
         {{u"Review"_s, {u"R"_s}}, {u"Folders"_s, {u"F"_s}}}},
        {"only smart and smartGroup",
         {collection(u"Videos"_s, CollectionType::smart), collection(u"G"_s, CollectionType::smartGroup)},
         {}},
        {"links are not library collections", {collection(u"github.com"_s, CollectionType::link)}, {}},
        {"nothing", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto sections = CollectionsGridView::groupedSections(c.input);
        ASSERT_EQ(sections.size(), c.sections.size());
        for (qsizetype i = 0; i < sections.size(); ++i) {
            EXPECT_EQ(sections.at(i).title, c.sections.at(i).first);
            EXPECT_EQ(names(sections.at(i).collections), c.sections.at(i).second);
        }
    }
}

TEST_F(CollectionsScreen, ShowsTheSectionsInBothModesAndStartsAsAGrid)
{
    auto screen = makeScreen(library());
    EXPECT_EQ(screen->viewMode(), Mode::grid);
    const QStringList expected = {u"Review"_s, u"User Collections"_s, u"Folders"_s};
    EXPECT_EQ(titles(*screen->tiles()), expected);

    screen->modeSwitch()->button(1)->click();
    EXPECT_EQ(screen->viewMode(), Mode::list);
    EXPECT_EQ(titles(*screen->tiles()), expected);
    // The current mode's button again changes nothing.
    screen->modeSwitch()->button(1)->click();
    EXPECT_EQ(screen->viewMode(), Mode::list);
    screen->modeSwitch()->button(0)->click();
    EXPECT_EQ(screen->viewMode(), Mode::grid);
    EXPECT_EQ(titles(*screen->tiles()), expected);
    EXPECT_EQ(screen->modeSwitch()->symbol(0)->symbolName(), u"square.grid.2x2"_s);
    EXPECT_EQ(screen->modeSwitch()->symbol(1)->symbolName(), u"list.bullet"_s);

    screen->setViewMode(Mode::list);
    screen.reset();
    EXPECT_EQ(makeScreen(library())->viewMode(), Mode::grid) << "the mode is never stored";

    // Only kinds without a section: the header and nothing below.
    auto bare = makeScreen({collection(u"Videos"_s, CollectionType::smart)});
    EXPECT_TRUE(bare->tiles()->sections().isEmpty());
}

TEST_F(CollectionsScreen, OneSelectionPerClickAnywhereOnACardOrRow)
{
    auto screen = makeScreen(library());
    TileSections* tiles = screen->tiles();
    for (const Mode mode : {Mode::grid, Mode::list}) {
        screen->setViewMode(mode);
        for (const QString& name : {u"Today"_s, u"Receipts"_s, u"Design"_s}) {
            SCOPED_TRACE(name.toStdString() + (mode == Mode::grid ? " in the grid" : " in the list"));
            SmartCollection target;
            for (const SmartCollection& c : screen->collections())
                if (c.name == name)
                    target = c;
            const QRect rect = screen->entryRect(target.id);
            ASSERT_TRUE(rect.isValid());
            // Corners, the centre, and the name's line (or the row's gap
            // before the chevron).
            const QList<QPoint> points = {rect.topLeft(), rect.bottomRight(), rect.center(),
                                          QPoint(rect.left() + 4, rect.bottom() - 4),
                                          QPoint(rect.right() - 40, rect.center().y())};
            for (const QPoint& point : points) {
                m_selected.clear();
                click(tiles, point);
                EXPECT_EQ(m_selected, QStringList{name}) << point.x() << "," << point.y();
            }
        }
    }
    // Between two cards, and a press on one card released on another.
    screen->setViewMode(Mode::grid);
    m_selected.clear();
    const QRect first = tiles->tileRect({0, 0});
    const QRect second = tiles->tileRect({0, 1});
    click(tiles, QPoint((first.right() + second.left()) / 2, first.center().y()));
    QTest::mousePress(tiles, Qt::LeftButton, {}, first.center());
    QTest::mouseRelease(tiles, Qt::LeftButton, {}, second.center());
    EXPECT_TRUE(m_selected.isEmpty());
}

TEST_F(CollectionsScreen, ANewListKeepsTheScrollPositionAndTheMode)
{
    QList<SmartCollection> folders;
    for (int i = 0; i < 500; ++i)
        folders.append(collection(u"Folder %1"_s.arg(i)));
    auto screen = makeScreen(folders);
    for (const Mode mode : {Mode::grid, Mode::list}) {
        screen->setViewMode(mode);
        QScrollBar* bar = screen->scrollArea()->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 5000);
        bar->setValue(4000);

        for (SmartCollection& c : folders)
            c.itemCount += 1;
        folders.prepend(collection(u"Today"_s, CollectionType::recap));
        screen->setCollections(folders);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->value(), 4000);
        EXPECT_EQ(screen->viewMode(), mode);
        EXPECT_EQ(titles(*screen->tiles()), QStringList({u"Review"_s, u"Folders"_s}));
        folders.removeFirst();
    }
}

TEST_F(CollectionsScreen, LongNamesStayOnOneLineOnCardsAndWrapInRows)
{
    const QString longName = u"Quarterly planning documents for the design review with the whole team "_s
                             u"and everyone else who might be interested in them"_s;
    auto screen = makeScreen({collection(u"Short"_s), collection(longName)});
    screen->resize(600, 700);
    TileSections* tiles = screen->tiles();
    EXPECT_EQ(tiles->tileRect({0, 1}).height(), tiles->tileRect({0, 0}).height());
    EXPECT_EQ(tiles->tileRect({0, 0}).height(), CollectionCard::height());

    screen->setViewMode(Mode::list);
    const int shortRow = tiles->tileRect({0, 0}).height();
    EXPECT_EQ(shortRow, CollectionListRow::tileSize + 2 * CollectionListRow::verticalMargin);
    EXPECT_GT(tiles->tileRect({0, 1}).height(), shortRow);
    EXPECT_EQ(tiles->tileRect({0, 1}).top(), tiles->tileRect({0, 0}).bottom() + 1 + 8) << "rows 8 apart";
}

TEST_F(CollectionsScreen, HoveredCardGrowsOnTheSpringAndRowLightsUpAtOnce)
{
    InstantMotionScope animated(false);
    auto screen = makeScreen({collection(u"Work"_s, CollectionType::folder, SystemColor::red)});
    TileSections* tiles = screen->tiles();
    const QRect card = tiles->tileRect({0, 0});
    // The leftmost reddish pixel along the tile's middle.
    auto leftEdge = [&] {
        const QImage image = painted(tiles);
        const int y = card.top() + CollectionCard::tileHeight / 2;
        for (int x = card.left() - 10; x < card.center().x(); ++x)
            if (qRed(image.pixel(x, y)) > 20)
                return x;
        return -1;
    };
    const int atRest = leftEdge();
    EXPECT_NEAR(atRest, card.left(), 1);

    hover(tiles, card.center());
    EXPECT_LT(tiles->hoverProgress({0, 0}), 1.0) << "not there at once";
    ASSERT_TRUE(waitUntil([&] { return tiles->hoverProgress({0, 0}) == 1.0; }));
    const qreal grown = card.width() * (CollectionCard::hoveredScale - 1) / 2;
    EXPECT_NEAR(leftEdge(), card.left() - grown, 1);

    leave(tiles);
    ASSERT_TRUE(waitUntil([&] { return tiles->hoverProgress({0, 0}) == 0.0; }));
    EXPECT_EQ(leftEdge(), atRest);

    screen->setViewMode(Mode::list);
    const QRect row = tiles->tileRect({0, 0});
    const QPoint gap(row.right() - 60, row.center().y());
    auto backdrop = [&] { return qAlpha(painted(tiles).pixel(gap)); };
    EXPECT_EQ(backdrop(), 0);
    hover(tiles, gap);
    EXPECT_EQ(tiles->hoverProgress({0, 0}), 1.0);
    EXPECT_NEAR(backdrop(), 0.08 * 255, 2);
    leave(tiles);
    EXPECT_EQ(backdrop(), 0);
}

TEST_F(CollectionsScreen, PaintsNoBackgroundOfItsOwn)
{
    // The main view's backdrop lies behind the screen: where no card, row or
    // heading is, nothing may cover it.
    for (const Mode mode : {Mode::grid, Mode::list}) {
        SCOPED_TRACE(int(mode));
        auto screen = makeScreen(library());
        screen->setViewMode(mode);
        QCoreApplication::processEvents();
        const QImage image = painted(screen.get());
        EXPECT_EQ(qAlpha(image.pixel(screen->width() / 2, screen->height() - 5)), 0);
        EXPECT_EQ(qAlpha(image.pixel(screen->width() / 2, 4)), 0);
    }
}

TEST(CollectionTiles, ColourTintsTheTileOrFallsBackToGrayAndWhite)
{
    const QSize size(200, CollectionCard::height());
    // The tile near its top-leading corner, inside the outline.
    const QPoint fill(12, 12);
    struct Case
    {
        std::optional<SystemColor> color;
        bool neutral;
    };
    for (const Case& c : {Case{SystemColor::red, false}, Case{std::nullopt, true}}) {
        SCOPED_TRACE(c.neutral ? "no colour" : "red");
        const SmartCollection work = collection(u"Work"_s, CollectionType::folder, c.color);
        const QImage card =
            rendered(size, [&](QPainter& p) { CollectionCard::paint(p, QRect(QPoint(), size), work, 0); });
        const QColor tile = card.pixelColor(fill);
        if (c.neutral) {
            EXPECT_NEAR(tile.red(), tile.green(), 3);
            EXPECT_GT(tile.value(), 20);
        } else {
            EXPECT_GT(tile.red(), 2 * tile.green());
        }
        // The symbol's stroke: the brightest pixel of the tile's middle.
        QColor symbol;
        const int y = CollectionCard::tileHeight / 2;
        for (int x = 0; x < size.width(); ++x)
            if (card.pixelColor(x, y).value() > symbol.value())
                symbol = card.pixelColor(x, y);
        if (c.neutral)
            EXPECT_GT(symbol.lightness(), 200) << "white";
        else
            EXPECT_GT(symbol.red(), 2 * symbol.blue());
    }
}
