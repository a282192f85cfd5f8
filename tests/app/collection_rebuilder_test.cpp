#include "app/CollectionRebuilder.h"
#include "core/Workers.h"
#include "support/Capture.h"
#include "support/Wait.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {
QList<Screenshot> analysedList(int count)
{
    QList<Screenshot> screenshots(count);
    for (Screenshot& s : screenshots) {
        s.id = QUuid::createUuid();
        s.embedding = QList<double>{1.0};
    }
    return screenshots;
}

// `count` screenshots of which the first `unanalysed` lack an embedding.
QList<Screenshot> thinList(int count, int unanalysed)
{
    QList<Screenshot> screenshots = analysedList(count);
    for (int i = 0; i < unanalysed; ++i)
        screenshots[i].embedding.reset();
    return screenshots;
}

SmartCollection named(const QString& name)
{
    SmartCollection c;
    c.id = QUuid::createUuid();
    c.name = name;
    return c;
}

// A build that names its result after the list's length, records every
// length it was given and, while `hold` is set, waits to be released.
struct RecordingBuild
{
    struct State
    {
        std::mutex mutex;
        QList<qsizetype> built;
        QSemaphore release;
        std::atomic<bool> hold{false};
        std::atomic<int> finished{0};
    };
    std::shared_ptr<State> state = std::make_shared<State>();

    CollectionRebuilder::BuildFunction function() const
    {
        return [state = state](const QList<Screenshot>& screenshots, const QString&) {
            {
                std::lock_guard lock(state->mutex);
                state->built.append(screenshots.size());
            }
            if (state->hold)
                state->release.acquire();
            ++state->finished;
            return QList<SmartCollection>{named(u"n=%1"_s.arg(screenshots.size()))};
        };
    }
    QList<qsizetype> built() const
    {
        std::lock_guard lock(state->mutex);
        return state->built;
    }
};

class Rebuilder : public ::testing::Test
{
protected:
    Rebuilder() { m_rebuilder.setApplyDelayMs(0); }
    ~Rebuilder() override
    {
        m_build.state->hold = false;
        m_build.state->release.release(100);
        m_workers.collections().threads().waitForDone();
    }

    static QString lastName(const QSignalSpy& spy)
    {
        return spy.last().at(0).value<QList<SmartCollection>>().value(0).name;
    }

    ConsoleCapture m_console;
    Workers m_workers;
    RecordingBuild m_build;
    CollectionRebuilder m_rebuilder{m_workers, m_build.function()};
};
} // namespace

TEST_F(Rebuilder, WhileOneBuildRunsOnlyTheLatestListWaits)
{
    QSignalSpy ready(&m_rebuilder, &CollectionRebuilder::collectionsReady);
    m_build.state->hold = true;
    int mostInFlight = 0;
    for (int length : {1, 2, 3, 4}) {
        ASSERT_TRUE(m_rebuilder.screenshotsChanged(analysedList(length), u"/f"_s));
        mostInFlight = std::max(mostInFlight, m_rebuilder.buildsInFlight());
    }
    EXPECT_EQ(mostInFlight, 2);
    m_build.state->hold = false;
    m_build.state->release.release();

    ASSERT_TRUE(waitUntil([this] { return !m_rebuilder.isBuilding(); }));
    EXPECT_EQ(m_build.built(), QList<qsizetype>({1, 4})) << "lists 2 and 3 were replaced before they started";
    EXPECT_EQ(lastName(ready), u"n=4"_s);
    EXPECT_FALSE(m_rebuilder.isAnalyzing());
    EXPECT_EQ(m_console.matching(u"📊 Generated 1 collections. (Links: 0)"_s).size(), 2);
}

TEST_F(Rebuilder, APendingListsBuildCountsAsAnalysingUntilItIsApplied)
{
    QSignalSpy ready(&m_rebuilder, &CollectionRebuilder::collectionsReady);
    m_build.state->hold = true;
    ASSERT_TRUE(m_rebuilder.screenshotsChanged(analysedList(1), {}));
    ASSERT_TRUE(m_rebuilder.screenshotsChanged(analysedList(2), {}));

    // The first result is applied and the pending list's build begins at once.
    m_build.state->release.release();
    ASSERT_TRUE(waitUntil([&] { return ready.size() == 1 && m_build.built().size() == 2; }));
    EXPECT_TRUE(m_rebuilder.isBuilding());
    EXPECT_TRUE(m_rebuilder.isAnalyzing());
    // A thin list is held back meanwhile, as during any build.
    EXPECT_FALSE(m_rebuilder.screenshotsChanged(thinList(4, 3), {}));

    m_build.state->hold = false;
    m_build.state->release.release();
    ASSERT_TRUE(waitUntil([&] { return ready.size() == 2 && !m_rebuilder.isBuilding(); }));
    EXPECT_FALSE(m_rebuilder.isAnalyzing());
}

TEST_F(Rebuilder, WhileAnalysingAThinListNeitherStartsNorReplacesThePendingOne)
{
    m_build.state->hold = true;
    ASSERT_TRUE(m_rebuilder.screenshotsChanged(analysedList(2), {}));
    ASSERT_TRUE(m_rebuilder.screenshotsChanged(analysedList(5), {}));
    const QList<Screenshot> thin = thinList(10, 6);
    EXPECT_FALSE(m_rebuilder.screenshotsChanged(thin, {}));
    m_build.state->hold = false;
    m_build.state->release.release();
    ASSERT_TRUE(waitUntil([this] { return !m_rebuilder.isBuilding(); }));
    EXPECT_EQ(m_build.built(), QList<qsizetype>({2, 5}));

    // Once applied, the same thin list is built.
    EXPECT_TRUE(m_rebuilder.screenshotsChanged(thin, {}));
    ASSERT_TRUE(waitUntil([this] { return !m_rebuilder.isBuilding(); }));
    EXPECT_EQ(m_build.built().last(), 10);
}

TEST_F(Rebuilder, AnOlderResultArrivingLastIsDropped)
{
    QSignalSpy ready(&m_rebuilder, &CollectionRebuilder::collectionsReady);
    m_rebuilder.buildFinished(2, {named(u"newer"_s)});
    m_rebuilder.buildFinished(1, {named(u"older"_s)});
    ASSERT_TRUE(waitUntil([&ready] { return ready.count() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(lastName(ready), u"newer"_s);
}

TEST_F(Rebuilder, TheSettlingDelayHoldsNoPoolThread)
{
    QSignalSpy ready(&m_rebuilder, &CollectionRebuilder::collectionsReady);
    m_rebuilder.setApplyDelayMs(1500);
    ASSERT_TRUE(m_rebuilder.screenshotsChanged(analysedList(3), {}));
    ASSERT_TRUE(waitUntil([this] { return m_build.state->finished == 1; }));
    ASSERT_TRUE(waitUntil([this] { return m_workers.collections().threads().activeThreadCount() == 0; }));
    EXPECT_EQ(ready.count(), 0) << "still settling";
    EXPECT_TRUE(m_rebuilder.isBuilding());
    EXPECT_TRUE(waitUntil([&ready] { return ready.count() == 1; }));
}

TEST_F(Rebuilder, ARebuilderGoneBeforeItsBuildEndsReceivesNothing)
{
    auto rebuilder = std::make_unique<CollectionRebuilder>(m_workers, m_build.function());
    m_build.state->hold = true;
    ASSERT_TRUE(rebuilder->screenshotsChanged(analysedList(1), {}));
    rebuilder.reset();
    m_build.state->hold = false;
    m_build.state->release.release();
    m_workers.collections().threads().waitForDone();
    QCoreApplication::processEvents(); // the result's delivery finds no receiver
    EXPECT_EQ(m_build.state->finished, 1);
}

TEST(RebuildGate, HalfTheListMustCarryAnEmbeddingWhileAnalysing)
{
    auto list = [](int count, int withEmbedding) {
        QList<Screenshot> screenshots(count);
        for (int i = 0; i < withEmbedding; ++i)
            screenshots[i].embedding = QList<double>{};
        return screenshots;
    };
    EXPECT_FALSE(CollectionRebuilder::passesGate(true, list(10, 4)));
    EXPECT_TRUE(CollectionRebuilder::passesGate(true, list(10, 5)));
    EXPECT_TRUE(CollectionRebuilder::passesGate(true, list(7, 3)));
    EXPECT_FALSE(CollectionRebuilder::passesGate(true, list(7, 2)));
    EXPECT_TRUE(CollectionRebuilder::passesGate(true, list(0, 0)));
    EXPECT_TRUE(CollectionRebuilder::passesGate(false, list(10, 0)));
}
