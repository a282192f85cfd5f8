#include "core/ImageCache.h"
#include "core/Uuid.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
// An image whose width tells which key it was stored under.
QImage imageFor(int key)
{
    return QImage(key + 1, 1, QImage::Format_RGB32);
}
} // namespace

TEST(ImageCache, HoldsAtMostThreeHundredImagesKeyedByUpperCaseUuidText)
{
    ImageCache cache;
    const QUuid id = QUuid::createUuid();
    EXPECT_EQ(cache.image(id), std::nullopt);
    cache.insert(id, imageFor(41));
    ASSERT_TRUE(cache.image(uuidText(id)).has_value());
    EXPECT_EQ(cache.image(uuidText(id).toLower()), std::nullopt);

    for (int key = 0; key < 300; ++key)
        cache.insert(QString::number(key), imageFor(key));
    EXPECT_EQ(cache.count(), ImageCache::countLimit);
    EXPECT_EQ(cache.image(id), std::nullopt); // evicted: the caller decodes it again
    EXPECT_EQ(cache.image(u"299"_s)->width(), 300);
}

TEST(ImageCache, StaysConsistentUnderConcurrentUse)
{
    ImageCache cache;
    std::atomic<int> wrongImages{0};
    std::vector<std::unique_ptr<QThread>> workers;
    for (int worker = 0; worker < 8; ++worker) {
        workers.emplace_back(QThread::create([&cache, &wrongImages, worker] {
            std::mt19937 random(worker);
            std::uniform_int_distribution<int> keys(0, 999);
            for (int i = 0; i < 5000; ++i) {
                const int key = keys(random);
                if (i % 2 == 0) {
                    cache.insert(QString::number(key), imageFor(key));
                } else if (const auto image = cache.image(QString::number(key))) {
                    if (image->width() != key + 1)
                        ++wrongImages;
                }
            }
        }));
        workers.back()->start();
    }
    for (auto& worker : workers)
        worker->wait();
    EXPECT_EQ(wrongImages, 0);
    EXPECT_LE(cache.count(), ImageCache::countLimit);
}
