#include "core/ImageCache.h"
#include "core/Workers.h"
#include "support/Wait.h"
#include "ui/ThumbnailLoader.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace {
Screenshot shot()
{
    Screenshot s;
    s.id = QUuid::createUuid();
    s.filename = QStringLiteral("a.png");
    return s;
}

QImage picture()
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

// Counts and records the generations asked of it; each may be held until
// the test lets it finish, and may fail.
struct FakeGenerator
{
    std::atomic<int> calls{0};
    std::atomic<bool> fail{false};
    std::atomic<bool> hold{false};
    QSemaphore released;
    std::mutex mutex;
    QList<QUuid> order;

    ThumbnailLoader::Generator function()
    {
        return [this](const Screenshot& s, QSizeF) {
            ++calls;
            {
                std::lock_guard lock(mutex);
                order.append(s.id);
            }
            if (hold)
                released.acquire();
            return fail ? QImage() : picture();
        };
    }
};

class ThumbnailLoaderTest : public ::testing::Test
{
protected:
    ThumbnailLoaderTest() { m_loader->setGenerator(m_generator->function()); }

    ~ThumbnailLoaderTest() override
    {
        m_generator->hold = false;
        m_generator->released.release(100);
        m_workers.thumbnails().waitForDone();
    }

    bool idle()
    {
        return waitUntil([&] { return m_loader->isIdle(); });
    }

    // Shared with the pool's workers, which may outlive a test's loader.
    std::shared_ptr<FakeGenerator> m_generator = std::make_shared<FakeGenerator>();
    Workers m_workers;
    ImageCache m_cache;
    std::unique_ptr<ThumbnailLoader> m_loader = std::make_unique<ThumbnailLoader>(m_cache, QSizeF(600, 600), m_workers);
};

TEST_F(ThumbnailLoaderTest, CacheHitStartsNoJob)
{
    const Screenshot s = shot();
    m_cache.insert(s.id, picture());
    EXPECT_TRUE(m_loader->request(s).has_value());
    EXPECT_EQ(m_loader->runningCount() + m_loader->queuedCount(), 0);
    m_workers.thumbnails().waitForDone();
    EXPECT_EQ(m_generator->calls, 0);
}

TEST_F(ThumbnailLoaderTest, MissStartsOneJobAndStoresUnderTheUpperCaseKey)
{
    const Screenshot s = shot();
    QSignalSpy ready(m_loader.get(), &ThumbnailLoader::thumbnailReady);
    for (int repaint = 0; repaint < 5; ++repaint)
        EXPECT_FALSE(m_loader->request(s).has_value());
    ASSERT_TRUE(idle());
    EXPECT_EQ(m_generator->calls, 1);
    ASSERT_EQ(ready.count(), 1);
    EXPECT_EQ(ready.at(0).at(0).value<QUuid>(), s.id);
    const QString key = s.id.toString(QUuid::WithoutBraces).toUpper();
    EXPECT_TRUE(m_cache.image(key).has_value());
    EXPECT_FALSE(m_cache.image(s.id.toString(QUuid::WithoutBraces)).has_value());
    EXPECT_TRUE(m_loader->request(s).has_value());
    EXPECT_EQ(m_generator->calls, 1);
}

TEST_F(ThumbnailLoaderTest, FailureIsAskedOnceWhileWantedAndRetriedWhenBack)
{
    m_generator->fail = true;
    const Screenshot s = shot();
    QSignalSpy failed(m_loader.get(), &ThumbnailLoader::thumbnailFailed);
    m_loader->request(s);
    ASSERT_TRUE(idle());
    for (int repaint = 0; repaint < 10; ++repaint) {
        m_loader->retainOnly({s.id});
        m_loader->request(s);
    }
    ASSERT_TRUE(idle());
    EXPECT_EQ(m_generator->calls, 1);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_TRUE(m_loader->hasFailed(s.id));

    m_loader->retainOnly({}); // scrolled away
    EXPECT_FALSE(m_loader->hasFailed(s.id));
    m_generator->fail = false;
    m_loader->request(s); // back in view
    ASSERT_TRUE(idle());
    EXPECT_EQ(m_generator->calls, 2);
    EXPECT_TRUE(m_cache.image(s.id).has_value());
}

TEST_F(ThumbnailLoaderTest, NewestRequestRunsFirstAndUnwantedOnesNeverStart)
{
    m_loader->setMaxRunning(1);
    m_generator->hold = true;
    const Screenshot first = shot(), older = shot(), dropped = shot(), newest = shot();
    for (const Screenshot* s : {&first, &older, &dropped, &newest})
        m_loader->request(*s);
    EXPECT_EQ(m_loader->runningCount(), 1);
    EXPECT_EQ(m_loader->queuedCount(), 3);
    m_loader->retainOnly({first.id, older.id, newest.id});
    EXPECT_EQ(m_loader->queuedCount(), 2);

    m_generator->hold = false;
    m_generator->released.release(10);
    ASSERT_TRUE(idle());
    std::lock_guard lock(m_generator->mutex);
    EXPECT_EQ(m_generator->order, (QList<QUuid>{first.id, newest.id, older.id}));
}

TEST_F(ThumbnailLoaderTest, ResultsAfterResetOrDestructionAreDropped)
{
    m_generator->hold = true;
    const Screenshot beforeReset = shot();
    m_loader->request(beforeReset);
    ASSERT_TRUE(waitUntil([&] { return m_generator->calls == 1; }));
    m_loader->reset();
    m_generator->released.release();
    m_workers.thumbnails().waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_cache.image(beforeReset.id).has_value()) << "a result of the old folder";

    const Screenshot inFlight = shot();
    m_loader->request(inFlight);
    ASSERT_TRUE(waitUntil([&] { return m_generator->calls == 2; }));
    m_loader.reset(); // the grid goes away mid-generation
    m_generator->released.release();
    m_workers.thumbnails().waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_cache.image(inFlight.id).has_value());
}
} // namespace
