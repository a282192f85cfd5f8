#include "GalleryTestSupport.h"

#include "platform/SpellChecker.h"

#include <QSignalSpy>

#include <condition_variable>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {
// Holds every search inside its spelling correction until released, so a
// test can change things while a search is known to be running.
class GateSpellChecker : public SpellChecker
{
public:
    std::optional<QString> correction(const QString&, const std::atomic<bool>&) override
    {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        return std::nullopt;
    }

    void waitForSearches(int count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_waiting >= count; });
    }

    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_waiting = 0;
    bool m_open = false;
};

class GallerySearchOrchestrationTest : public GalleryTest
{
protected:
    std::shared_ptr<GallerySearch> searchWith(std::shared_ptr<SpellChecker> spellChecker)
    {
        return std::make_shared<GallerySearch>(
            std::move(spellChecker), [](const QString&) { return std::optional<QList<double>>(); },
            m_workers.search().threads());
    }

    static Screenshot withText(Screenshot screenshot, const QString& text)
    {
        screenshot.ocrText = text;
        return screenshot;
    }
};

TEST_F(GallerySearchOrchestrationTest, OnlyTheLastOfManyQuickChangesIsApplied)
{
    GalleryViewModel model(services(searchWith(std::make_shared<NullSpellChecker>())));
    QList<Screenshot> library;
    for (int i = 0; i < 3000; ++i)
        library.append(withText(shot(u"shot %1.png"_s.arg(i), at(3, 1)), u"invoice number %1 paid"_s.arg(i)));
    publish(model, library);

    QStringList shown;
    QObject::connect(&model, &GalleryViewModel::sectionsChanged, [&] { shown.append(titles(model)); });
    const QString query = u"invoice number 1234 paid in full with thanks from us all at the shop"_s;
    for (qsizetype length = 1; length <= 50; ++length)
        model.setSearchText(query.left(length));
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }));
    settle();
    // The last text matches only through its words: "invoice", "number",
    // "paid" in every file; the whole text in none. Every file is a hit.
    EXPECT_EQ(shown, QStringList{u"Top Results (3000)"_s});
    // "1234" makes one file the best.
    EXPECT_EQ(model.visibleScreenshots().first().filename, u"shot 1234.png"_s);
}

TEST_F(GallerySearchOrchestrationTest, AClearedSearchNeverWritesItsResult)
{
    const auto gate = std::make_shared<GateSpellChecker>();
    GalleryViewModel model(services(searchWith(gate)));
    const QList<Screenshot> library{withText(shot(u"a.png"_s, at(3, 15)), u"invoice"_s), shot(u"b.png"_s, at(3, 14))};
    publish(model, library);

    model.setSearchText(u"invoice"_s);
    gate->waitForSearches(1);
    QSignalSpy sectionChanges(&model, &GalleryViewModel::sectionsChanged);
    model.setSearchText({});
    ASSERT_TRUE(waitUntil([&] { return sectionChanges.count() == 1; }));
    gate->open();
    settle();
    EXPECT_EQ(sectionChanges.count(), 1);
    EXPECT_EQ(titles(model), (QStringList{u"Today"_s, u"Yesterday"_s}));
    EXPECT_FALSE(m_console.contains(u"Search completed"_s));
}

TEST_F(GallerySearchOrchestrationTest, APublishDuringASearchRunsItAgainOnTheNewList)
{
    const auto gate = std::make_shared<GateSpellChecker>();
    GalleryViewModel model(services(searchWith(gate)));
    const Screenshot old = withText(shot(u"old.png"_s, at(3, 10)), u"receipt"_s);
    publish(model, {old});

    QStringList shown;
    QObject::connect(&model, &GalleryViewModel::sectionsChanged, [&] { shown.append(titles(model)); });
    model.setSearchText(u"receipt"_s);
    gate->waitForSearches(1);
    const Screenshot arrived = withText(shot(u"new.png"_s, at(3, 15)), u"Receipt for your order"_s);
    m_source.setScreenshots({arrived, old});
    ASSERT_TRUE(waitUntil([&] { return model.screenshots().size() == 2; }));
    gate->waitForSearches(2);
    gate->open();
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty(); }));
    settle();
    EXPECT_EQ(shown, QStringList{u"Top Results (2)"_s});
    // Both score 35; the newer one gets the larger recency bonus.
    EXPECT_EQ(names(model.visibleScreenshots()), (QStringList{u"new.png"_s, u"old.png"_s}));
}

TEST_F(GallerySearchOrchestrationTest, TheActiveCollectionLimitsTheCandidates)
{
    GalleryViewModel model(services(searchWith(std::make_shared<NullSpellChecker>())));
    const Screenshot video = withText(shot(u"report.mov"_s, at(3, 14)), u"quarterly report"_s);
    publish(model,
            {withText(shot(u"report.png"_s, at(3, 15)), u"quarterly report"_s), video, shot(u"clip.mp4"_s, at(3, 13))});

    SmartCollection videos;
    videos.name = u"Videos"_s;
    videos.predicate = [](const Screenshot& s) { return s.isVideo(); };
    model.setActiveCollection(videos);
    model.setSearchText(u"report"_s);
    ASSERT_TRUE(waitUntil([&] { return titles(model) == QStringList{u"Top Results (1)"_s}; }));
    EXPECT_EQ(model.visibleScreenshots(), QList<Screenshot>{video});

    // An edit of a member reaches the next search (the folded texts of the
    // edited file are not reused).
    Screenshot edited = model.screenshots().at(2);
    edited.customTags = {u"Report"_s};
    model.updateScreenshot(edited);
    ASSERT_TRUE(waitUntil([&] { return titles(model) == QStringList{u"Top Results (2)"_s}; }));
    EXPECT_EQ(model.visibleScreenshots().first().filename, u"clip.mp4"_s);
}
} // namespace
