#include "MainViewFixture.h"

#include "app/SettingsView.h"
#include "app/SidebarButton.h"
#include "duplicates/DuplicateFinderView.h"
#include "gallery/CollectionsGridView.h"
#include "gallery/GalleryView.h"
#include "gallery/GalleryViewMode.h"
#include "gallery/QuickLinkViewMode.h"
#include "gallery/QuickLinksView.h"
#include "gallery/TileSections.h"
#include "library/CollectionService.h"
#include "organize/PremiumReOrganizerView.h"
#include "spacesaver/CompressionProgressOverlay.h"
#include "spacesaver/SpaceSaverView.h"
#include "ui/CrossFadeOverlay.h"
#include "ui/SymbolLabel.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using Item = MainAppView::SidebarItem;

namespace {
class MainView : public MainViewFixture
{
protected:
    static void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Clicks the entry of `name` in a collection or quick-link screen.
    static void clickEntry(QWidget* screen, const QString& name)
    {
        auto click = [&name](auto* view) {
            for (const SmartCollection& c : view->collections())
                if (c.name == name)
                    QTest::mouseClick(view->tiles(), Qt::LeftButton, {}, view->entryRect(c.id).center());
        };
        if (auto* grid = qobject_cast<CollectionsGridView*>(screen))
            click(grid);
        else if (auto* links = qobject_cast<QuickLinksView*>(screen))
            click(links);
        else
            FAIL() << "not a collection screen";
    }

    static QStringList names(const QList<SmartCollection>& collections)
    {
        QStringList result;
        for (const SmartCollection& c : collections)
            result.append(c.name);
        return result;
    }

    static QString emptyText(QWidget* screen)
    {
        if (!screen || screen->objectName() != u"emptyState")
            return {};
        return screen->findChild<QLabel*>()->text();
    }

    // One collection of every type, links among them.
    static QList<SmartCollection> everyType()
    {
        return {collection(u"Today"_s, CollectionType::recap),     collection(u"Group"_s, CollectionType::smartGroup),
                collection(u"Work"_s, CollectionType::folder),     collection(u"Videos"_s, CollectionType::smart),
                collection(u"github.com"_s, CollectionType::link), collection(u"Receipts"_s, CollectionType::userTag)};
    }
};
} // namespace

TEST_F(MainView, EachSidebarRowShowsItsScreenAtOnce)
{
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitForRebuild(*view));
    view->applyCollections(everyType());

    const QList<std::pair<Item, const char*>> rows = {
        {Item::smartGroups, "CollectionsGridView"},     {Item::quickLinks, "QuickLinksView"},
        {Item::reorganizer, "PremiumReOrganizerView"},  {Item::spaceSaver, "SpaceSaverView"},
        {Item::duplicateFinder, "DuplicateFinderView"}, {Item::screenshots, "GalleryView"},
    };
    for (const auto& [item, screen] : rows) {
        SCOPED_TRACE(screen);
        click(view->sidebarButton(item));
        EXPECT_EQ(view->selectedItem(), item);
        ASSERT_NE(view->detailWidget(), nullptr);
        EXPECT_STREQ(view->detailWidget()->metaObject()->className(), screen);
        EXPECT_TRUE(view->detailWidget()->isVisible());
        for (Item other : {Item::screenshots, Item::smartGroups, Item::quickLinks, Item::reorganizer, Item::spaceSaver,
                           Item::duplicateFinder})
            EXPECT_EQ(view->sidebarButton(other)->isSelected(), other == item);
    }
    auto* gallery = qobject_cast<GalleryView*>(view->detailWidget());
    EXPECT_EQ(gallery->title(), u"Gallery"_s);
    EXPECT_EQ(gallery->backButton(), nullptr);
    EXPECT_EQ(view->sidebarButton(Item::smartGroups)->title(), u"Collections"_s);
    EXPECT_EQ(view->findChild<QWidget*>(u"sidebar"_s)->width(), MainAppView::sidebarWidth);
}

// "Do not close this window": while a tool runs, its overlay lies over the
// whole window, and the sidebar cannot take the screen away from the run.
TEST_F(MainView, AToolRunsOverlayCoversTheSidebarToo)
{
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitForRebuild(*view));
    click(view->sidebarButton(Item::spaceSaver));
    auto* screen = qobject_cast<SpaceSaverView*>(view->detailWidget());
    ASSERT_NE(screen, nullptr);
    QPointer<CompressionProgressOverlay> overlay = screen->progressOverlay();
    overlay->setVisible(true); // as the screen does while a run is under way

    EXPECT_EQ(overlay->geometry(), view->rect());
    QAbstractButton* gallery = view->sidebarButton(Item::screenshots);
    const QPoint onGallery = gallery->mapTo(view.get(), gallery->rect().center());
    QWidget* hit = view->childAt(onGallery);
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(overlay->isAncestorOf(hit)) << hit->metaObject()->className();
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(view.get(), onGallery));
    EXPECT_EQ(view->selectedItem(), Item::spaceSaver);
    EXPECT_EQ(view->detailWidget(), screen);

    overlay->setVisible(false); // the run ended
    hit = view->childAt(onGallery);
    EXPECT_TRUE(hit == gallery || gallery->isAncestorOf(hit));
    click(gallery);
    EXPECT_EQ(view->selectedItem(), Item::screenshots);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(overlay.isNull()) << "the overlay leaves with its screen";
}

TEST_F(MainView, ClosingACollectionReturnsToTheScreenItWasOpenedFrom)
{
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitForRebuild(*view));
    view->applyCollections(everyType());

    for (const auto& [item, name] :
         {std::pair{Item::quickLinks, u"github.com"_s}, std::pair{Item::smartGroups, u"Work"_s}}) {
        click(view->sidebarButton(item));
        QWidget* origin = view->detailWidget();
        clickEntry(origin, name);
        ASSERT_TRUE(view->selectedCollection());
        EXPECT_EQ(view->selectedCollection()->name, name);
        auto* gallery = qobject_cast<GalleryView*>(view->detailWidget());
        ASSERT_NE(gallery, nullptr);
        EXPECT_EQ(gallery->title(), name);
        ASSERT_NE(gallery->backButton(), nullptr);

        click(gallery->backButton());
        EXPECT_FALSE(view->selectedCollection());
        EXPECT_EQ(view->selectedItem(), item);
        EXPECT_STREQ(view->detailWidget()->metaObject()->className(), origin->metaObject()->className());
    }
}

TEST_F(MainView, ASidebarClickClosesAnOpenCollection)
{
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitForRebuild(*view));
    view->applyCollections(everyType());
    click(view->sidebarButton(Item::smartGroups));
    view->openCollection(everyType().first());

    // Even the row already selected: the collection closes, its screen shows.
    click(view->sidebarButton(Item::smartGroups));
    EXPECT_FALSE(view->selectedCollection());
    EXPECT_NE(qobject_cast<CollectionsGridView*>(view->detailWidget()), nullptr);

    view->openCollection(everyType().first());
    click(view->sidebarButton(Item::screenshots));
    EXPECT_FALSE(view->selectedCollection());
    auto* gallery = qobject_cast<GalleryView*>(view->detailWidget());
    ASSERT_NE(gallery, nullptr);
    EXPECT_FALSE(gallery->activeCollection());
}

TEST_F(MainView, EmptyStatesAndSmartGroupsShownNowhere)
{
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitForRebuild(*view));

    view->applyCollections(everyType());
    click(view->sidebarButton(Item::smartGroups));
    auto* grid = qobject_cast<CollectionsGridView*>(view->detailWidget());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(names(grid->collections()), QStringList({u"Today"_s, u"Work"_s, u"Videos"_s, u"Receipts"_s}));
    click(view->sidebarButton(Item::quickLinks));
    auto* links = qobject_cast<QuickLinksView*>(view->detailWidget());
    ASSERT_NE(links, nullptr);
    EXPECT_EQ(names(links->collections()), QStringList({u"github.com"_s}));

    // Only links: nothing for Collections.
    view->applyCollections(
        {collection(u"github.com"_s, CollectionType::link), collection(u"Group"_s, CollectionType::smartGroup)});
    click(view->sidebarButton(Item::smartGroups));
    EXPECT_EQ(emptyText(view->detailWidget()), u"No collections found"_s);
    EXPECT_EQ(view->detailWidget()->findChild<SymbolLabel*>()->symbolName(), u"folder"_s);

    // No links: nothing for Quick Links, and the screen follows the new list.
    click(view->sidebarButton(Item::quickLinks));
    EXPECT_NE(qobject_cast<QuickLinksView*>(view->detailWidget()), nullptr);
    view->applyCollections({collection(u"Work"_s, CollectionType::folder)});
    EXPECT_EQ(emptyText(view->detailWidget()), u"No links detected yet"_s);
    EXPECT_EQ(view->detailWidget()->findChild<SymbolLabel*>()->symbolName(), u"link"_s);
}

TEST_F(MainView, AppliedCollectionsUpdateTheShownScreenInPlace)
{
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitForRebuild(*view));
    view->applyCollections(everyType());
    click(view->sidebarButton(Item::smartGroups));
    auto* grid = qobject_cast<CollectionsGridView*>(view->detailWidget());
    grid->setViewMode(CollectionsGridView::ViewMode::list);

    view->applyCollections({collection(u"Elsewhere"_s, CollectionType::folder)});
    EXPECT_EQ(view->detailWidget(), grid) << "the screen keeps its own state";
    EXPECT_EQ(grid->viewMode(), CollectionsGridView::ViewMode::list);
    EXPECT_EQ(names(grid->collections()), QStringList({u"Elsewhere"_s}));

    // Entries rewritten in place still open the collection now at their row.
    view->applyCollections(
        {collection(u"Work"_s, CollectionType::folder), collection(u"Receipts"_s, CollectionType::userTag)});
    EXPECT_EQ(grid->tiles()->sections().size(), 2);
    clickEntry(grid, u"Receipts"_s);
    ASSERT_TRUE(view->selectedCollection());
    EXPECT_EQ(view->selectedCollection()->name, u"Receipts"_s);
}

TEST_F(MainView, FirstListsRebuildOnlyWhenHalfOfThemAreAnalysed)
{
    struct Case
    {
        int count;
        int withEmbedding;
        bool rebuilds;
    };
    for (const Case& c : {Case{10, 4, false}, Case{10, 5, true}, Case{7, 3, true}, Case{0, 0, true}}) {
        SCOPED_TRACE(testing::Message() << c.count << " with " << c.withEmbedding);
        ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, library(c.count, c.withEmbedding));
        auto view = makeView();
        QSignalSpy started(&view->rebuilder(), &CollectionRebuilder::buildStarted);
        // The current list is delivered as the view is made.
        EXPECT_EQ(view->rebuilder().isBuilding(), c.rebuilds);
        EXPECT_TRUE(view->isAnalyzing());
        if (c.rebuilds)
            EXPECT_TRUE(waitForRebuild(*view));
        else
            EXPECT_EQ(started.count(), 0);
    }
}

TEST_F(MainView, AfterTheFirstRebuildEveryListRebuilds)
{
    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, library(10, 4));
    auto view = makeView();
    EXPECT_FALSE(view->rebuilder().isBuilding());

    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, library(10, 5));
    ASSERT_TRUE(waitForRebuild(*view));
    QSignalSpy started(&view->rebuilder(), &CollectionRebuilder::buildStarted);
    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, library(10, 0));
    EXPECT_EQ(started.count(), 1);
    EXPECT_TRUE(view->isAnalyzing());
    EXPECT_TRUE(waitForRebuild(*view));
}

TEST_F(MainView, AnEmptyLibraryRebuildsWithWhatTheBuilderGivesAndSaysSo)
{
    auto view = makeView();
    QSignalSpy changed(view.get(), &MainAppView::collectionsChanged);
    ASSERT_TRUE(waitForRebuild(*view));
    EXPECT_EQ(changed.count(), 1);
    const QList<SmartCollection> expected =
        services().collections().generateCollections({}, m_monitor->monitoredPath());
    EXPECT_EQ(names(view->collections()), names(expected));
    EXPECT_EQ(m_console.matching(u"📊 Generated"_s),
              QStringList(u"📊 Generated %1 collections. (Links: 0)"_s.arg(expected.size())));
}

TEST_F(MainView, SettingsSheetOpensAndClosesWithoutTouchingTheSelection)
{
    auto view = makeView();
    view->show();
    click(view->sidebarButton(Item::spaceSaver));
    click(qobject_cast<QAbstractButton*>(view->settingsRow()));
    ASSERT_TRUE(view->isShowingSettings());
    QDialog* sheet = view->settingsSheet();
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    auto* settings = sheet->findChild<SettingsView*>();
    ASSERT_NE(settings, nullptr);

    click(settings->closeButton());
    EXPECT_TRUE(waitUntil([&view] { return !view->isShowingSettings(); }));
    EXPECT_EQ(view->selectedItem(), Item::spaceSaver);
    EXPECT_NE(qobject_cast<SpaceSaverView*>(view->detailWidget()), nullptr);
}

TEST_F(MainView, GalleryHandsItsPreviewFlagToTheView)
{
    auto view = makeView();
    auto* gallery = qobject_cast<GalleryView*>(view->detailWidget());
    ASSERT_NE(gallery, nullptr);
    gallery->setShowingPreview(true);
    EXPECT_TRUE(view->isPreviewActive());
    view->openCollection(collection(u"Work"_s, CollectionType::folder));
    EXPECT_TRUE(qobject_cast<GalleryView*>(view->detailWidget())->isShowingPreview());
}

TEST_F(MainView, OpenScreenshotReachesTheGalleryOnScreenOnly)
{
    auto view = makeView();
    view->show();
    const QList<Screenshot> shots = library(3);
    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, shots);
    auto* gallery = qobject_cast<GalleryView*>(view->detailWidget());
    ASSERT_NE(gallery, nullptr);
    ASSERT_TRUE(waitUntil([&] { return gallery->viewModel().screenshots().size() == 3; }));
    const QVariantMap open{{u"id"_s, shots[1].id.toString(QUuid::WithoutBraces).toUpper()}};

    view->select(Item::spaceSaver);
    Q_EMIT services().events().openScreenshot(open);
    EXPECT_FALSE(view->isPreviewActive());

    view->select(Item::screenshots);
    gallery = qobject_cast<GalleryView*>(view->detailWidget());
    ASSERT_TRUE(waitUntil([&] { return gallery->viewModel().screenshots().size() == 3; }));
    Q_EMIT services().events().openScreenshot(open);
    EXPECT_TRUE(view->isPreviewActive());
    EXPECT_EQ(gallery->previewScreenshot()->id, shots[1].id);
}

TEST_F(MainView, LeavingTheGalleryEndsItsPreviewSoTheNextGalleryOpensNoEmptyOne)
{
    auto view = makeView();
    view->show();
    const QList<Screenshot> shots = library(2);
    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, shots);
    auto* gallery = qobject_cast<GalleryView*>(view->detailWidget());
    ASSERT_TRUE(waitUntil([&] { return gallery->viewModel().screenshots().size() == 2; }));
    Q_EMIT services().events().openScreenshot({{u"id"_s, shots[0].id.toString()}});
    ASSERT_TRUE(view->isPreviewActive());
    // The window going to the tray is not the gallery leaving.
    view->hide();
    view->show();
    EXPECT_TRUE(view->isPreviewActive());

    view->select(Item::quickLinks);
    EXPECT_FALSE(view->isPreviewActive());
    view->select(Item::screenshots);
    gallery = qobject_cast<GalleryView*>(view->detailWidget());
    EXPECT_FALSE(gallery->isShowingPreview());
    EXPECT_EQ(gallery->fullPreview(), nullptr);
}

TEST_F(MainView, ViewModesAreStoredUnderTheirKeys)
{
    EXPECT_EQ(storedGalleryViewMode(settings()), GalleryViewMode::informative);
    EXPECT_EQ(storedQuickLinkViewMode(settings()), QuickLinkViewMode::grid);
    storeGalleryViewMode(settings(), GalleryViewMode::minimal);
    storeQuickLinkViewMode(settings(), QuickLinkViewMode::list);
    EXPECT_EQ(settings().value(u"galleryViewMode"_s).toString(), u"Minimal"_s);
    EXPECT_EQ(settings().value(u"quickLinkViewMode"_s).toString(), u"List"_s);
    EXPECT_EQ(storedGalleryViewMode(settings()), GalleryViewMode::minimal);

    // Anything else reads as the default; nothing is rewritten.
    settings().setValue(u"galleryViewMode"_s, u"minimal"_s);
    settings().setValue(u"quickLinkViewMode"_s, 3);
    EXPECT_EQ(storedGalleryViewMode(settings()), GalleryViewMode::informative);
    EXPECT_EQ(storedQuickLinkViewMode(settings()), QuickLinkViewMode::grid);

    // The quick-links screen follows the stored mode while it is shown.
    QuickLinksView links({}, {}, settings());
    links.setViewMode(QuickLinkViewMode::list);
    EXPECT_EQ(settings().value(u"quickLinkViewMode"_s).toString(), u"List"_s);
    EXPECT_EQ(links.viewMode(), QuickLinkViewMode::list);
    storeQuickLinkViewMode(settings(), QuickLinkViewMode::grid);
    EXPECT_EQ(links.viewMode(), QuickLinkViewMode::grid);
}

TEST(SidebarButtonLook, HoverGivesUnselectedRowsAFaintGrowingBackground)
{
    InstantMotionScope instant;
    SidebarButton button(u"Collections"_s, u"folder"_s);
    button.resize(button.sizeHint());
    auto enter = [&button] {
        QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(&button, &event);
    };
    auto leave = [&button] {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(&button, &event);
    };
    EXPECT_EQ(button.background(), SidebarButton::Background::none);
    enter();
    EXPECT_EQ(button.background(), SidebarButton::Background::faint);
    EXPECT_DOUBLE_EQ(button.hoverScale(), SidebarButton::hoveredScale);
    button.setSelected(true);
    EXPECT_EQ(button.background(), SidebarButton::Background::selected);
    leave();
    EXPECT_EQ(button.background(), SidebarButton::Background::selected);
    EXPECT_DOUBLE_EQ(button.hoverScale(), 1.0);
    button.setSelected(false);
    EXPECT_EQ(button.background(), SidebarButton::Background::none);
    EXPECT_EQ(button.property("symbolName").toString(), u"folder"_s);
}

TEST_F(MainView, AnimatedOpenAndCloseEndWithTheScreenInPlaceAndNoLeftovers)
{
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitForRebuild(*view));
    InstantMotionScope animated(false);
    view->applyCollections(everyType());
    click(view->sidebarButton(Item::smartGroups));
    QWidget* area = view->findChild<QWidget*>(u"detailArea"_s);
    auto visibleLayers = [area] {
        int visible = 0;
        for (QWidget* child : area->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            visible += child->isVisible();
        return visible;
    };

    view->openCollection(everyType().first());
    QWidget* gallery = view->detailWidget();
    EXPECT_GT(gallery->x(), 0) << "enters from the trailing edge";
    EXPECT_TRUE(waitUntil([&] { return gallery->pos() == QPoint(0, 0); }));

    view->closeCollection();
    EXPECT_NE(qobject_cast<CollectionsGridView*>(view->detailWidget()), nullptr);
    EXPECT_TRUE(waitUntil([&] { return visibleLayers() == 1; })) << "overlays of the transitions are gone";
    EXPECT_EQ(view->detailWidget()->geometry(), area->rect());
}

TEST_F(MainView, ASwitchAtOnceEndsAFadeUnderWay)
{
    auto view = makeView();
    view->show();
    ASSERT_TRUE(waitForRebuild(*view));
    view->applyCollections(everyType());
    click(view->sidebarButton(Item::smartGroups));
    QWidget* area = view->findChild<QWidget*>(u"detailArea"_s);
    const auto fades = [area] { return area->findChildren<CrossFadeOverlay*>().size(); };
    InstantMotionScope animated(false);

    view->applyCollections({}); // the collections fade into "No collections found"
    ASSERT_EQ(emptyText(view->detailWidget()), u"No collections found"_s);
    ASSERT_EQ(fades(), 1);
    click(view->sidebarButton(Item::quickLinks));
    EXPECT_EQ(emptyText(view->detailWidget()), u"No links detected yet"_s);
    EXPECT_EQ(fades(), 0) << "the outgoing screen's ghost stays over the new one";
}
