#include "GalleryTestSupport.h"

#include "core/LargeBlocks.h"
#include "support/ManualScheduler.h"

#include <QSignalSpy>

#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
using GalleryViewModelTest = GalleryTest;

// Corrects nothing, and counts how often it was told to let go of what it keeps.
class DroppingSpellChecker : public NullSpellChecker
{
public:
    void dropCaches() override { ++drops; }
    std::atomic<int> drops{0};
};
} // namespace

struct GalleryViewModelTestAccess
{
    static SearchIndex::Cache& searchIndex(GalleryViewModel& model) { return *model.m_searchIndex; }
};

TEST_F(GalleryViewModelTest, DaySectionsRunTodayYesterdayThenNewestDateFirst)
{
    GalleryViewModel model(services());
    const QList<Screenshot> library{
        shot(u"older.png"_s, at(3, 10, 9)),
        shot(u"today-early.png"_s, at(3, 15, 8)),
        shot(u"january.png"_s, at(1, 2)),
        shot(u"future.png"_s, at(3, 20)),
        shot(u"same-time-1.png"_s, at(3, 14, 7)),
        shot(u"today-late.png"_s, at(3, 15, 11, 30)),
        shot(u"same-time-2.png"_s, at(3, 14, 7)),
        shot(u"yesterday-late.png"_s, at(3, 14, 23)),
        shot(u"last-year.png"_s, at(12, 31, 12, 0, 2023)),
    };
    publish(model, library);

    EXPECT_EQ(titles(model), (QStringList{u"Today"_s, u"Yesterday"_s, u"March 20, 2024"_s, u"March 10, 2024"_s,
                                          u"January 2, 2024"_s, u"December 31, 2023"_s}));
    // Newest first inside a day; files of the same time keep the list's order.
    EXPECT_EQ(
        names(model.visibleScreenshots()),
        (QStringList{u"today-late.png"_s, u"today-early.png"_s, u"yesterday-late.png"_s, u"same-time-1.png"_s,
                     u"same-time-2.png"_s, u"future.png"_s, u"older.png"_s, u"january.png"_s, u"last-year.png"_s}));
    EXPECT_TRUE(m_console.contains(u"📸 GalleryViewModel: Screenshots updated to 9"_s));

    publish(model, {});
    EXPECT_TRUE(model.sections().isEmpty());
}

TEST_F(GalleryViewModelTest, DatesOrderByDayNotByTheirTitleInAnyLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    GalleryViewModel model(services());
    publish(model, {shot(u"october.png"_s, at(10, 5, 12, 0, 2023)), shot(u"february.png"_s, at(2, 1)),
                    shot(u"march.png"_s, at(3, 1))});
    // Alphabetically "Oktober" would come first and "Februar" last.
    EXPECT_EQ(titles(model), (QStringList{u"März 1, 2024"_s, u"Februar 1, 2024"_s, u"Oktober 5, 2023"_s}));
}

TEST_F(GalleryViewModelTest, TodayBecomesYesterdayAtMidnight)
{
    pinClock(QDateTime(QDate(2024, 3, 15), QTime(23, 59, 59, 800)));
    GalleryViewModel model(services());
    publish(model, {shot(u"late.png"_s, at(3, 15, 23)), shot(u"before.png"_s, at(3, 14, 23))});
    ASSERT_EQ(titles(model), (QStringList{u"Today"_s, u"Yesterday"_s}));

    pinClock(QDateTime(QDate(2024, 3, 16), QTime(0, 0, 1)));
    EXPECT_TRUE(waitUntil(
        [&] {
            return titles(model) == QStringList{u"Yesterday"_s, u"March 14, 2024"_s};
        },
        3000))
        << titles(model).join(u" | "_s).toStdString();
}

TEST_F(GalleryViewModelTest, ABlankSearchesAndOnlyAnEmptyTextShowsTheDays)
{
    GalleryViewModel model(services());
    const QList<Screenshot> library{shot(u"Screenshot one.png"_s, at(3, 15)), shot(u"receipt.png"_s, at(3, 1))};
    publish(model, library);

    model.setSearchText(u" "_s);
    ASSERT_TRUE(waitUntil([&] { return titles(model) == QStringList{u"Top Results (1)"_s}; }));
    EXPECT_EQ(names(model.visibleScreenshots()), QStringList{u"Screenshot one.png"_s});
    EXPECT_TRUE(m_console.contains(u"🔍 Searching for:  "_s));

    model.setSearchText(u"nothing like it"_s);
    ASSERT_TRUE(waitUntil([&] { return titles(model) == QStringList{u"Top Results (0)"_s}; }));
    ASSERT_EQ(model.sections().size(), 1);
    EXPECT_TRUE(model.sections().first().screenshots.isEmpty());

    // Clearing the search is the user's own action: the days are back before
    // control returns to the event loop.
    model.setSearchText({});
    EXPECT_TRUE(isShowing(model, library));
    EXPECT_EQ(titles(model), (QStringList{u"Today"_s, u"March 1, 2024"_s}));
}

TEST_F(GalleryViewModelTest, AReplacedSearchIsNeverShown)
{
    GalleryViewModel model(services());
    const QList<Screenshot> library{shot(u"a.png"_s, at(3, 15)), shot(u"b.png"_s, at(3, 14))};
    publish(model, library);

    QStringList shownTitles;
    QObject::connect(&model, &GalleryViewModel::sectionsChanged, [&] { shownTitles.append(titles(model)); });
    model.setSearchText(u"a"_s);
    model.setSearchText(u"ab"_s);
    model.setSearchText({});
    settle();
    EXPECT_EQ(shownTitles, (QStringList{u"Today"_s, u"Yesterday"_s}));
}

TEST_F(GalleryViewModelTest, ActiveCollectionFiltersAndLogsItsCounts)
{
    GalleryViewModel model(services());
    const Screenshot video = shot(u"clip.mov"_s, at(3, 15));
    publish(model, {shot(u"a.png"_s, at(3, 15)), video, shot(u"b.png"_s, at(3, 13))});

    SmartCollection videos;
    videos.name = u"Videos"_s;
    videos.predicate = [](const Screenshot& s) { return s.isVideo(); };
    model.setActiveCollection(videos); // shown at once
    ASSERT_EQ(model.visibleScreenshots(), QList<Screenshot>{video});
    EXPECT_TRUE(m_console.contains(u"📊 Collection 'Videos': Filtered 3 -> 1 screenshots"_s));

    SmartCollection none;
    none.name = u"Nothing"_s;
    none.predicate = [](const Screenshot&) { return false; };
    model.setActiveCollection(none);
    EXPECT_TRUE(model.sections().isEmpty());
    EXPECT_TRUE(m_console.contains(u"📊 Collection 'Nothing': Filtered 3 -> 0 screenshots"_s));

    // A search looks only among the members.
    model.setActiveCollection(videos);
    model.setSearchText(u".png"_s);
    EXPECT_TRUE(waitUntil([&] { return titles(model) == QStringList{u"Top Results (0)"_s}; }));
}

TEST_F(GalleryViewModelTest, LeavingSelectionModeEmptiesTheSelection)
{
    GalleryViewModel model(services());
    QSignalSpy selectionChanges(&model, &GalleryViewModel::selectedIdsChanged);
    const QSet<QUuid> selected{QUuid::createUuid(), QUuid::createUuid()};

    model.setIsSelectionMode(true);
    model.setSelectedIds(selected);
    model.setIsSelectionMode(true);
    EXPECT_EQ(model.selectedIds(), selected);

    model.setIsSelectionMode(false);
    EXPECT_TRUE(model.selectedIds().isEmpty());
    EXPECT_FALSE(model.isSelectionMode());
    EXPECT_EQ(selectionChanges.count(), 2);
}

TEST_F(GalleryViewModelTest, LocalEditsHoldOnlyUntilTheMonitorPublishesThemBack)
{
    GalleryViewModel model(services());
    Screenshot tagged = shot(u"tagged.png"_s, at(3, 15));
    tagged.customTags = {u"invoice"_s};
    publish(model, {tagged});

    // No local edit: the monitor's values hold, so a tag removed elsewhere
    // (in the tray popup, say) does not come back from this model's copy.
    Screenshot untagged = tagged;
    untagged.customTags.clear();
    publish(model, {untagged});
    EXPECT_TRUE(model.screenshots().first().customTags.isEmpty());

    // The user tags it here; a publish from before the save does not undo it,
    // while the monitor's other fields still arrive.
    Screenshot edited = untagged;
    edited.customTags = {u"work"_s};
    edited.userNotes = u"call back"_s;
    model.updateScreenshot(edited);
    Screenshot analysed = untagged;
    analysed.ocrText = u"Total 42"_s;
    publish(model, {analysed});
    ASSERT_TRUE(waitUntil([&] { return model.screenshots().first().ocrText == u"Total 42"_s; }));
    EXPECT_EQ(model.screenshots().first().customTags, QStringList{u"work"_s});
    EXPECT_EQ(model.screenshots().first().userNotes, u"call back"_s);

    // Once the edit is back, later changes of the monitor hold again.
    Screenshot saved = analysed;
    saved.customTags = edited.customTags;
    saved.userNotes = edited.userNotes;
    publish(model, {saved});
    publish(model, {analysed});
    EXPECT_TRUE(waitUntil([&] { return model.screenshots().first().customTags.isEmpty(); }));
    EXPECT_EQ(model.screenshots().first().userNotes, std::nullopt);
}

TEST_F(GalleryViewModelTest, RemovingTheLastTagIsNotUndoneByAStalePublish)
{
    GalleryViewModel popup(services());
    GalleryViewModel model(services());
    Screenshot tagged = shot(u"tagged.png"_s, at(3, 15));
    tagged.customTags = {u"receipt"_s};
    tagged.userNotes = u""_s;
    publish(model, {tagged});

    Screenshot removed = tagged;
    removed.customTags.clear();
    removed.userNotes = std::nullopt; // the store keeps empty notes as none
    model.updateScreenshot(removed);
    publish(model, {tagged}); // published before the monitor had the edit
    EXPECT_TRUE(model.screenshots().first().customTags.isEmpty());

    m_source.setScreenshots({removed}); // the monitor has the edit now
    EXPECT_TRUE(
        waitUntil([&] { return popup.screenshots().size() == 1 && popup.screenshots().first().customTags.isEmpty(); }));
    EXPECT_TRUE(model.screenshots().first().customTags.isEmpty());
}

TEST_F(GalleryViewModelTest, UpdatingAnUnknownScreenshotDoesNothing)
{
    GalleryViewModel model(services());
    const Screenshot known = shot(u"known.png"_s, at(3, 15));
    publish(model, {known});
    m_console.clear();
    QSignalSpy listChanges(&model, &GalleryViewModel::screenshotsChanged);
    QSignalSpy sectionChanges(&model, &GalleryViewModel::sectionsChanged);

    model.updateScreenshot(shot(u"stranger.png"_s, at(3, 15)));
    settle();
    EXPECT_EQ(listChanges.count(), 0);
    EXPECT_EQ(sectionChanges.count(), 0);
    EXPECT_TRUE(m_console.lines().isEmpty()) << m_console.lines().join(u'\n').toStdString();

    Screenshot renamed = known;
    renamed.filename = u"renamed.png"_s;
    model.updateScreenshot(renamed);
    EXPECT_EQ(listChanges.count(), 1);
    EXPECT_EQ(model.screenshots().first().filename, u"renamed.png"_s);
    EXPECT_TRUE(waitUntil([&] { return names(model.visibleScreenshots()) == QStringList{u"renamed.png"_s}; }));
}

TEST_F(GalleryViewModelTest, TwoModelsShareTheMonitorAndNothingElse)
{
    GalleryViewModel gallery(services());
    GalleryViewModel popup(services());
    const QList<Screenshot> library{shot(u"a.png"_s, at(3, 15)), shot(u"b.png"_s, at(3, 14))};
    m_source.setScreenshots(library);
    ASSERT_TRUE(waitUntil([&] { return isShowing(gallery, library) && isShowing(popup, library); }));
    EXPECT_EQ(m_console.matching(u"📸 GalleryViewModel: Screenshots updated to 2"_s).size(), 2);

    gallery.setSearchText(u"a"_s);
    gallery.setIsSelectionMode(true);
    gallery.setSelectedIds({library.first().id});
    ASSERT_TRUE(waitUntil([&] { return titles(gallery) == QStringList{u"Top Results (1)"_s}; }));
    settle();
    EXPECT_EQ(titles(popup), (QStringList{u"Today"_s, u"Yesterday"_s}));
    EXPECT_TRUE(popup.searchText().isEmpty());
    EXPECT_TRUE(popup.selectedIds().isEmpty());
    EXPECT_FALSE(popup.isSelectionMode());

    // Every publish reaches both, each rebuilding its own view of it.
    const QList<Screenshot> grown = QList<Screenshot>{shot(u"a2.png"_s, at(3, 15, 13))} + library;
    m_source.setScreenshots(grown);
    EXPECT_TRUE(waitUntil([&] { return isShowing(popup, grown); }));
    EXPECT_TRUE(waitUntil([&] { return titles(gallery) == QStringList{u"Top Results (2)"_s}; }));
}

TEST_F(GalleryViewModelTest, MirrorsTheMonitorsFolderStateOnALaterTurn)
{
    auto model = std::make_unique<GalleryViewModel>(services());
    EXPECT_TRUE(m_console.contains(u"📸 GalleryViewModel: Init"_s));
    // Nothing is delivered while the constructor runs.
    EXPECT_TRUE(model->monitoredPath().isEmpty());
    EXPECT_FALSE(model->needsPermission());

    ASSERT_TRUE(waitUntil([&] { return model->monitoredPath() == m_source.monitoredPath(); }));
    EXPECT_TRUE(model->needsPermission());
    m_source.setHasFileAccess(true);
    EXPECT_TRUE(model->needsPermission());
    EXPECT_TRUE(waitUntil([&] { return !model->needsPermission(); }));

    // A model that is gone by the time a publish arrives receives nothing.
    m_source.setScreenshots({shot(u"late.png"_s, at(3, 15))});
    model.reset();
    settle();
    EXPECT_EQ(m_console.matching(u"Screenshots updated to 1"_s).size(), 0);
}

TEST_F(GalleryViewModelTest, TheLibrarysGalleryHasItsSearchIndexReadyBeforeTheFirstSearch)
{
    GalleryViewModel model(services());
    model.setPreparesSearch(true);
    SearchIndex::Cache& cache = GalleryViewModelTestAccess::searchIndex(model);
    publish(model, {shot(u"Screenshot one.png"_s, at(3, 15)), shot(u"receipt.png"_s, at(3, 1))});
    ASSERT_TRUE(waitUntil([&] { return cache.current() != nullptr; }, 15000));
    const std::shared_ptr<const SearchIndex> prepared = cache.current();
    EXPECT_EQ(prepared->size(), 2);

    // The first search finds it ready rather than folding the library again.
    model.setSearchText(u"receipt"_s);
    ASSERT_TRUE(waitUntil([&] { return titles(model) == QStringList{u"Top Results (1)"_s}; }));
    EXPECT_EQ(cache.current(), prepared);

    // A changed library gets its index once it rests again, searched or not.
    model.setSearchText(QString());
    publish(model, {shot(u"receipt.png"_s, at(3, 1))});
    ASSERT_TRUE(waitUntil([&] { return cache.current() != prepared; }, 15000));
    EXPECT_EQ(cache.current()->size(), 1);
}

TEST_F(GalleryViewModelTest, SearchesThatMeetMakeTheIndexOfALibraryOnce)
{
    SearchIndex::Cache cache;
    QList<Screenshot> library;
    for (int i = 0; i < 3000; ++i)
        library.append(shot(u"shot %1.png"_s.arg(i), at(3, 1)));
    const std::atomic<bool> running{false};
    std::vector<std::shared_ptr<const SearchIndex>> made(4);
    std::vector<std::thread> searches;
    for (size_t t = 0; t < made.size(); ++t)
        searches.emplace_back([&, t] { made[t] = cache.indexFor(library, 7, m_workers.search().threads(), running); });
    for (std::thread& search : searches)
        search.join();
    for (const auto& index : made)
        EXPECT_EQ(index, made.front());
}

// What a search keeps for the next keystroke goes once typing has paused,
// never between keystrokes: the index stays the same while typing goes on.
// The library's own gallery keeps its index, made ready for the first
// keystroke; another gallery makes its own again at its next search.
TEST_F(GalleryViewModelTest, APausedSearchLetsGoOfWhatItKeptForTheNextKeystroke)
{
    using namespace std::chrono_literals;
    const auto spelling = std::make_shared<DroppingSpellChecker>();
    ManualScheduler scheduler;
    GalleryViewModel::Services parts = services(std::make_shared<GallerySearch>(
        spelling, [](const QString&) { return std::nullopt; }, m_workers.search().threads()));
    parts.scheduler = &scheduler;
    for (const bool isLibrarysGallery : {false, true}) {
        SCOPED_TRACE(isLibrarysGallery ? "the library's gallery" : "a collection's gallery");
        GalleryViewModel model(parts);
        model.setPreparesSearch(isLibrarysGallery);
        SearchIndex::Cache& cache = GalleryViewModelTestAccess::searchIndex(model);
        publish(model, {shot(u"receipt.png"_s, at(3, 15)), shot(u"recipe.png"_s, at(3, 1))});
        const int dropsBefore = spelling->drops;

        model.setSearchText(u"rec"_s);
        ASSERT_TRUE(waitUntil([&] { return titles(model) == QStringList{u"Top Results (2)"_s}; }));
        const std::shared_ptr<const SearchIndex> index = cache.current();
        ASSERT_NE(index, nullptr);
        scheduler.advance(GalleryViewModel::browsingPause - 1s);
        model.setSearchText(u"receipt"_s);
        ASSERT_TRUE(waitUntil([&] { return titles(model) == QStringList{u"Top Results (1)"_s}; }));
        scheduler.advance(GalleryViewModel::browsingPause - 1s);
        EXPECT_EQ(spelling->drops, dropsBefore) << "typing went on";
        EXPECT_EQ(cache.current(), index) << "made once for every keystroke";

        const int returnsBefore = quietFreePagesReturns();
        scheduler.advance(2s);
        EXPECT_EQ(spelling->drops, dropsBefore + 1);
        EXPECT_EQ(cache.current() != nullptr, isLibrarysGallery);
        scheduler.advance(freePagesQuietPeriod);
        EXPECT_EQ(quietFreePagesReturns(), returnsBefore + 1) << "the pages freed are given back";
        // The results stay shown.
        EXPECT_EQ(titles(model), QStringList{u"Top Results (1)"_s});
        settle();
    }
}
