// Browsing holds whole pictures only while they are shown: a closed preview
// keeps none, and what decoding them (for a preview or for thumbnails) left
// with the allocator is given back once browsing pauses.

#include "core/ImageCache.h"
#include "core/LargeBlocks.h"
#include "core/Workers.h"
#include "support/FakeVideoBackend.h"
#include "support/Wait.h"
#include "ui/FullImageLoader.h"
#include "ui/PreviewMedia.h"
#include "ui/ThumbnailLoader.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace {
Screenshot shot(const QString& name)
{
    Screenshot s;
    s.id = QUuid::createUuid();
    s.filename = name;
    s.filePath = QStringLiteral("/photos/") + name;
    return s;
}

QImage photo()
{
    QImage image(1200, 900, QImage::Format_RGB32);
    image.fill(Qt::darkYellow);
    return image;
}

// Longer than the pause after which free pages are given back.
constexpr int kPauseMs = int(freePagesQuietPeriod.count()) + 5000;

class BrowsingMemoryTest : public ::testing::Test
{
protected:
    ~BrowsingMemoryTest() override { m_workers.thumbnails().waitForDone(); }

    Workers m_workers;
    FakeVideoBackend m_video;
};

TEST_F(BrowsingMemoryTest, AClosedPreviewHoldsNoPictureAndItsDecodingIsGivenBackOncePaused)
{
    const QImage decoded = photo();
    auto host = std::make_unique<QWidget>();
    auto* media = new PreviewMedia(*host, m_video, m_workers);
    media->imageLoader().setDecoder([decoded](const QString&) { return decoded; });
    media->setScreenshot(shot(QStringLiteral("IMG_1.jpg")));
    ASSERT_TRUE(waitUntil([&] { return !media->isLoading(); }));
    media->setScreenshot(shot(QStringLiteral("IMG_2.jpg")));
    ASSERT_TRUE(waitUntil([&] { return !media->isLoading(); }));
    EXPECT_FALSE(decoded.isDetached()) << "held while shown";

    const int returns = quietFreePagesReturns();
    host.reset();
    m_workers.thumbnails().waitForDone();
    drainPostedEvents();
    EXPECT_TRUE(decoded.isDetached()) << "nothing holds the closed preview's picture";
    EXPECT_TRUE(waitUntil([&] { return quietFreePagesReturns() > returns; }, kPauseMs));
}

TEST_F(BrowsingMemoryTest, PicturesDecodedForThumbnailsAreGivenBackOnceTheLoaderIsIdle)
{
    ImageCache cache;
    ThumbnailLoader loader(cache, {600, 600}, m_workers);
    loader.setGenerator([](const Screenshot&, QSizeF) { return photo().scaled(600, 450); });
    const int returns = quietFreePagesReturns();
    for (int i = 0; i < 3; ++i)
        loader.request(shot(QStringLiteral("IMG_%1.heic").arg(i)));
    ASSERT_TRUE(waitUntil([&] { return loader.isIdle(); }));
    EXPECT_EQ(cache.count(), 3) << "the thumbnails themselves stay";
    EXPECT_TRUE(waitUntil([&] { return quietFreePagesReturns() > returns; }, kPauseMs));
}
} // namespace
