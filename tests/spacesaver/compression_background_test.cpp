#include "SpaceSaverLibrary.h"

#include <future>

using namespace Qt::StringLiterals;

// The run the screen starts: on a worker, with the monitor's polling paused
// until it is over, and the gallery's list following the renditions after.
TEST_F(SpaceSaverLibrary, BackgroundRunPausesPollingAndTheLibraryFollows)
{
    const QString first = addImage(u"one.png"_s, images::photo(QSize(320, 200)));
    const QString second = addImage(u"two.png"_s, images::photo(QSize(330, 200)));
    startMonitoring();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const CompressionService::Encoder real = m_service.encoder();
    m_service.setEncoder([real, released](const QImage& image, int quality) {
        released.wait(); // held until the test has looked at the monitor
        return real(image, quality);
    });
    const auto plan = m_service.analyzeForCompression(m_monitor->screenshots(), {0.9, 2});

    std::optional<CompressionService::CompressionResult> result;
    QList<std::pair<int, int>> progress;
    QObject context;
    QFuture<void> run = m_service.compressInBackground(
        *m_monitor, plan.files, {0.9, 2},
        [&](int current, int total) {
            EXPECT_EQ(QThread::currentThread(), context.thread());
            progress.append({current, total});
        },
        [&](const CompressionService::CompressionResult& done) {
            EXPECT_FALSE(m_monitor->isPollingPaused());
            result = done;
        });
    EXPECT_TRUE(m_monitor->isPollingPaused());
    release.set_value();
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 30000));
    run.waitForFinished();

    EXPECT_TRUE(result->success);
    EXPECT_EQ(progress, (QList<std::pair<int, int>>{{1, 2}, {2, 2}}));
    const QStringList renditions{CompressionService::renditionPath(first, u"heic"_s),
                                 CompressionService::renditionPath(second, u"heic"_s)};
    // The next walk lists the renditions in place of the images, same rows.
    ASSERT_TRUE(waitUntil([&] { return lists(renditions); })) << listed().join(u' ').toStdString();
    for (const Screenshot& listed : m_monitor->screenshots())
        EXPECT_TRUE(listed.id == m_screenshots[0].id || listed.id == m_screenshots[1].id);
}
