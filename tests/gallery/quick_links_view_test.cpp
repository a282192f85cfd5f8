#include "CollectionScreensSupport.h"

#include "core/Settings.h"
#include "gallery/QuickLinkChip.h"
#include "gallery/QuickLinkHeroCard.h"
#include "gallery/QuickLinkRow.h"
#include "gallery/QuickLinkViewMode.h"
#include "gallery/QuickLinksView.h"
#include "gallery/SymbolSwitch.h"
#include "gallery/TileSections.h"
#include "support/Wait.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/StyledSymbol.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolTip>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace CollectionScreensSupport;
using Mode = QuickLinkViewMode;

namespace {
class QuickLinksScreen : public ::testing::Test
{
protected:
    std::unique_ptr<QuickLinksView> makeScreen(QList<SmartCollection> collections)
    {
        auto screen = std::make_unique<QuickLinksView>(
            std::move(collections), [this](const SmartCollection& c) { m_selected.append(c.name); }, m_settings);
        screen->resize(1000, 700);
        screen->show();
        QCoreApplication::processEvents();
        return screen;
    }

    static QList<int> counts(const TileSections& tiles)
    {
        QList<int> result;
        for (const TileSections::Section& section : tiles.sections())
            result.append(section.count);
        return result;
    }

    InstantMotionScope m_instant;
    QTemporaryDir m_dir;
    Settings m_settings{m_dir.filePath(u"settings.conf"_s)};
    QStringList m_selected;
};
} // namespace

TEST_F(QuickLinksScreen, CountLineAndNoMatchesFollowTheSearchAsTyped)
{
    auto screen = makeScreen({collection(u"github.com"_s, CollectionType::link),
                              collection(u"docs.github.com"_s, CollectionType::link),
                              collection(u"stackoverflow.com"_s, CollectionType::link)});
    struct Case
    {
        QString search;
        QStringList shown;
        QString count;
    };
    const QList<Case> cases = {
        {{}, {u"github.com"_s, u"docs.github.com"_s, u"stackoverflow.com"_s}, u"3 domains"_s},
        {u"GIT"_s, {u"github.com"_s, u"docs.github.com"_s}, u"2 domains"_s},
        {u"stack"_s, {u"stackoverflow.com"_s}, u"1 domains"_s},
        {u" "_s, {}, u"0 domains"_s},
        {u"github "_s, {}, u"0 domains"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search.toStdString());
        screen->searchField()->setText(c.search);
        EXPECT_EQ(names(screen->filteredCollections()), c.shown);
        EXPECT_EQ(screen->countLabel()->text(), c.count);
        EXPECT_EQ(screen->noMatchesLabel()->isVisible(), c.shown.isEmpty());
        EXPECT_EQ(screen->tiles()->isVisible(), !c.shown.isEmpty());
        EXPECT_EQ(screen->clearButton()->isVisible(), !c.search.isEmpty());
    }
    screen->searchField()->setText(u" "_s);
    EXPECT_EQ(screen->noMatchesLabel()->text(), u"No matches for ' '"_s);

    // Typing goes through the field; the clear button empties it and leaves.
    screen->searchField()->clear();
    QTest::keyClicks(screen->searchField(), u"OVER"_s);
    EXPECT_EQ(screen->countLabel()->text(), u"1 domains"_s);
    QTest::mouseClick(screen->clearButton(), Qt::LeftButton);
    EXPECT_EQ(screen->searchText(), QString());
    EXPECT_FALSE(screen->clearButton()->isVisible());
    EXPECT_EQ(screen->countLabel()->text(), u"3 domains"_s);
    EXPECT_EQ(screen->clearButton()->findChild<StyledSymbol*>()->symbolName(), u"xmark.circle.fill"_s);
}

TEST_F(QuickLinksScreen, FirstThreeAreCardsAndTheRestChipsInTheGridEveryOneARowInTheList)
{
    struct Case
    {
        int domains;
        QStringList titles;
        QList<int> counts;
    };
    const QList<Case> cases = {
        {1, {u"Most Frequent"_s}, {1}},
        {3, {u"Most Frequent"_s}, {3}},
        {4, {u"Most Frequent"_s, u"All Links"_s}, {3, 1}},
        {40, {u"Most Frequent"_s, u"All Links"_s}, {3, 37}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.domains);
        auto screen = makeScreen(domains(c.domains));
        EXPECT_EQ(titles(*screen->tiles()), c.titles);
        EXPECT_EQ(counts(*screen->tiles()), c.counts);
        EXPECT_EQ(screen->heroCollections().size(), std::min(c.domains, 3));
        // The cards share the row's width.
        const int heroes = std::min(c.domains, 3);
        const int width = screen->tiles()->tileRect({0, 0}).width();
        EXPECT_NEAR(width * heroes + 16 * (heroes - 1), screen->tiles()->width() - 48, heroes);

        screen->setViewMode(Mode::list);
        EXPECT_EQ(titles(*screen->tiles()), QStringList{QString()});
        EXPECT_EQ(counts(*screen->tiles()), QList<int>{c.domains});
        screen->setViewMode(Mode::grid);
    }
}

TEST_F(QuickLinksScreen, ModeIsStoredAndSurvivesTheScreenWhileTheSearchDoesNot)
{
    m_settings.setValue(quickLinkViewModeKey, u"Bogus"_s);
    auto screen = makeScreen(domains(5));
    EXPECT_EQ(screen->viewMode(), Mode::grid);
    EXPECT_EQ(screen->modeSwitch()->currentIndex(), 0);

    screen->searchField()->setText(u"site1"_s);
    screen->modeSwitch()->button(1)->click();
    EXPECT_EQ(m_settings.value(quickLinkViewModeKey).toString(), u"List"_s);
    EXPECT_EQ(screen->searchText(), u"site1"_s) << "switching keeps the search";
    EXPECT_EQ(names(screen->filteredCollections()), QStringList{u"site1.com"_s});

    screen.reset();
    screen = makeScreen(domains(5));
    EXPECT_EQ(screen->viewMode(), Mode::list);
    EXPECT_EQ(screen->modeSwitch()->currentIndex(), 1);
    EXPECT_EQ(screen->searchText(), QString());
    EXPECT_EQ(screen->countLabel()->text(), u"5 domains"_s);

    // A change made elsewhere is followed at once.
    storeQuickLinkViewMode(m_settings, Mode::grid);
    EXPECT_EQ(screen->viewMode(), Mode::grid);
    EXPECT_EQ(titles(*screen->tiles()), QStringList({u"Most Frequent"_s, u"All Links"_s}));
}

TEST_F(QuickLinksScreen, OneSelectionPerClickOnACardChipOrRow)
{
    auto screen = makeScreen(domains(8));
    TileSections* tiles = screen->tiles();
    for (const Mode mode : {Mode::grid, Mode::list}) {
        screen->setViewMode(mode);
        for (const int position : {0, 2, 3, 7}) {
            const SmartCollection& target = screen->collections().at(position);
            SCOPED_TRACE(target.name.toStdString() + (mode == Mode::grid ? " in the grid" : " in the list"));
            const QRect rect = screen->entryRect(target.id);
            ASSERT_TRUE(rect.isValid());
            for (const QPoint& point : {rect.topLeft(), rect.center(), rect.bottomRight(),
                                        QPoint(rect.center().x() + rect.width() / 4, rect.center().y())}) {
                m_selected.clear();
                click(tiles, point);
                EXPECT_EQ(m_selected, QStringList{target.name});
            }
        }
    }
    // The search's matches, not the whole list, are behind the tiles.
    screen->searchField()->setText(u"site7"_s);
    m_selected.clear();
    click(tiles, tiles->tileRect({0, 0}).center());
    EXPECT_EQ(m_selected, QStringList{u"site7.com"_s});
}

TEST_F(QuickLinksScreen, ANewListKeepsScrollPositionSearchAndMode)
{
    auto screen = makeScreen(domains(2000));
    for (const Mode mode : {Mode::list, Mode::grid}) {
        screen->setViewMode(mode);
        screen->searchField()->setText(u"site"_s);
        QCoreApplication::processEvents();
        QScrollBar* bar = screen->scrollArea()->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 20000);
        bar->setValue(15000);

        QList<SmartCollection> rebuilt = domains(2001);
        screen->setCollections(rebuilt);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->value(), 15000);
        EXPECT_EQ(screen->searchText(), u"site"_s);
        EXPECT_EQ(screen->viewMode(), mode);
        EXPECT_EQ(screen->countLabel()->text(), u"2001 domains"_s);
    }
}

TEST_F(QuickLinksScreen, TilesKeptFromEarlierFramesShowWhatANewListSays)
{
    auto screen = makeScreen(domains(5));
    for (const Mode mode : {Mode::grid, Mode::list}) {
        screen->setViewMode(mode);
        screen->setCollections(domains(5));
        const QImage before = painted(screen->tiles());
        screen->setCollections(domains(5));
        EXPECT_EQ(painted(screen->tiles()), before) << "the same list looks the same";

        QList<SmartCollection> recounted = domains(5);
        recounted[0].itemCount = 1234;
        screen->setCollections(recounted);
        const QRect first = screen->tiles()->tileRect({0, 0});
        EXPECT_NE(painted(screen->tiles()).copy(first), before.copy(first));
        EXPECT_EQ(painted(screen->tiles()).copy(screen->tiles()->tileRect({0, 1})),
                  before.copy(screen->tiles()->tileRect({0, 1})));
    }
}

TEST_F(QuickLinksScreen, PaintsNoBackgroundOfItsOwn)
{
    // The main view's backdrop shows wherever no card, chip or row is.
    auto screen = makeScreen(domains(8));
    const QImage image = painted(screen.get());
    EXPECT_EQ(qAlpha(image.pixel(screen->width() / 2, screen->height() - 5)), 0);
    EXPECT_EQ(qAlpha(image.pixel(screen->width() / 2, 4)), 0);
}

TEST_F(QuickLinksScreen, ADomainCutShortIsNamedInFullUnderThePointer)
{
    const QString longName = u"calendar.engineering.example-company.com"_s;
    QList<SmartCollection> links = domains(5);
    links.append(collection(longName, CollectionType::link, SystemColor::indigo, 1));
    links.append(collection(u"x.io"_s, CollectionType::link, SystemColor::indigo, 1));
    auto screen = makeScreen(links);
    TileSections* tiles = screen->tiles();
    const auto toolTipAt = [&](const SmartCollection& c) {
        QToolTip::hideText(); // it goes after a moment
        EXPECT_TRUE(waitUntil([] { return !QToolTip::isVisible(); }));
        const QPoint at = screen->entryRect(c.id).center();
        QHelpEvent help(QEvent::ToolTip, at, tiles->mapToGlobal(at));
        QCoreApplication::sendEvent(tiles, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    for (const Mode mode : {Mode::grid, Mode::list}) {
        SCOPED_TRACE(int(mode));
        screen->setViewMode(mode);
        // The chips are narrow in the grid; the list's rows are cut only
        // where the screen is narrow too.
        screen->resize(mode == Mode::grid ? 1000 : 420, 700);
        QCoreApplication::processEvents();
        EXPECT_EQ(toolTipAt(links[5]), longName);
        EXPECT_EQ(toolTipAt(links[6]), QString());
    }
    QToolTip::hideText();
}

TEST(QuickLinkTiles, CountsShowOnlyAboveZero)
{
    struct Case
    {
        const char* what;
        QSize size;
        std::function<void(QPainter&, const QRect&, const SmartCollection&)> paint;
        // Where the count is drawn, relative to the tile.
        std::function<QRect(const QRect&)> countArea;
    };
    const QList<Case> cases = {
        {"hero card", QSize(300, QuickLinkHeroCard::height),
         [](QPainter& p, const QRect& r, const SmartCollection& c) { QuickLinkHeroCard::paint(p, r, c, 0); },
         [](const QRect& r) { return QRect(r.left() + 26, r.bottom() - 28, 50, 12); }},
        {"chip", QSize(220, QuickLinkChip::height()),
         [](QPainter& p, const QRect& r, const SmartCollection& c) { QuickLinkChip::paint(p, r, c, 0); },
         [](const QRect& r) { return QRect(r.right() - 30, r.top() + 16, 16, 16); }},
        {"row", QSize(600, QuickLinkRow::height()),
         [](QPainter& p, const QRect& r, const SmartCollection& c) { QuickLinkRow::paint(p, r, c, false); },
         [](const QRect& r) { return QRect(r.right() - 80, r.top() + 20, 40, 20); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QRect tile(QPoint(), c.size);
        for (const qint64 count : {qint64(0), qint64(1), qint64(12)}) {
            // A one-letter name leaves the count's place free.
            const SmartCollection site = collection(u"i"_s, CollectionType::link, SystemColor::indigo, count);
            const QImage image = rendered(c.size, [&](QPainter& p) { c.paint(p, tile, site); });
            EXPECT_EQ(hasInk(image, c.countArea(tile)), count > 0) << count;
        }
    }
}

TEST(QuickLinkTiles, UncolouredDomainsFallBackToBlueAndGray)
{
    // The row's circle, beside the globe: blue, or the domain's own colour.
    const QSize size(600, QuickLinkRow::height());
    const QPoint circle(16 + 4, QuickLinkRow::height() / 2);
    for (const auto& [color, blueish] : {std::pair{std::optional<SystemColor>{}, true},
                                         std::pair{std::optional<SystemColor>{SystemColor::red}, false}}) {
        const SmartCollection site = collection(u"a.io"_s, CollectionType::link, color, 1);
        const QImage row =
            rendered(size, [&](QPainter& p) { QuickLinkRow::paint(p, QRect(QPoint(), size), site, false); });
        const QColor pixel = row.pixelColor(circle);
        EXPECT_EQ(pixel.blue() > pixel.red(), blueish) << pixel.name().toStdString();
    }
    // The chip's circle is gray without a colour.
    const QSize chipSize(220, QuickLinkChip::height());
    const SmartCollection plain = collection(u"a.io"_s, CollectionType::link, std::nullopt, 1);
    const QImage chip =
        rendered(chipSize, [&](QPainter& p) { QuickLinkChip::paint(p, QRect(QPoint(), chipSize), plain, 0); });
    const QColor fill = chip.pixelColor(12 + 3, QuickLinkChip::height() / 2);
    EXPECT_NEAR(fill.red(), fill.green(), 3);
    EXPECT_GT(fill.value(), 20);
}
