// OpenCV's loops shared with idle analysis threads: a loop covers its range
// once whichever threads run it, and the label network reads alike.

#include "core/CpuAccount.h"
#include "core/SharedWork.h"
#include "core/Workers.h"
#include "ingest/ObjectClassifier.h"
#include "ingest/SharedCvLoops.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {
// Which indices of a loop ran, how often, and on which threads.
struct LoopRecord
{
    explicit LoopRecord(int size)
        : runs(size)
    {}
    std::vector<std::atomic<int>> runs;
    std::mutex mutex;
    std::set<std::thread::id> threads;
    int calls = 0;

    void run(const cv::Range& range, std::chrono::microseconds spinPerIndex = {})
    {
        {
            std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
            ++calls;
        }
        for (int i = range.start; i < range.end; ++i) {
            ++runs[size_t(i)];
            const auto until = std::chrono::steady_clock::now() + spinPerIndex;
            while (std::chrono::steady_clock::now() < until) {
            }
        }
    }
    bool eachRanOnce() const
    {
        for (const std::atomic<int>& count : runs)
            if (count != 1)
                return false;
        return true;
    }
};

QImage textScreen()
{
    QImage image(1440, 900, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, 1440, 48, QColor(0x2b, 0x2b, 0x30));
    for (int line = 0; line < 30; ++line)
        painter.drawText(60, 100 + line * 25, QStringLiteral("Line %1 of a window full of text").arg(line));
    return image;
}
} // namespace

class SharedCvLoopsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { SharedCvLoops::install(); }

    Workers::Pool m_pool{QStringLiteral("analysis"), 4, true};
    SharedWork m_work{&m_pool};
};

TEST_F(SharedCvLoopsTest, ALoopWhereNothingIsLentRunsWholeOnItsCaller)
{
    LoopRecord record(1000);
    cv::parallel_for_(
        cv::Range(0, 1000), [&](const cv::Range& range) { record.run(range); }, 8);
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_TRUE(record.eachRanOnce());
    EXPECT_EQ(cv::getNumThreads(), 1);
    EXPECT_EQ(m_work.helpedParts(), 0);
}

TEST_F(SharedCvLoopsTest, ALentLoopIsSharedWithIdleThreadsAndEachIndexRunsOnce)
{
    CpuAccount account;
    LoopRecord record(64);
    {
        const SharedCvLoops::Lend lend(m_work, 4, &account);
        EXPECT_EQ(cv::getNumThreads(), 4);
        // Stripes long enough for the idle threads to join in.
        cv::parallel_for_(
            cv::Range(0, 64), [&](const cv::Range& range) { record.run(range, 500us); }, 16);
    }
    EXPECT_TRUE(record.eachRanOnce());
    EXPECT_GT(record.threads.size(), 1u);
    EXPECT_GT(m_work.helpedParts(), 0);
    EXPECT_GT(account.spent(), 0ns) << "the helpers' time counts for the work they helped";
    EXPECT_EQ(cv::getNumThreads(), 1) << "the lend ends with its scope";
}

TEST_F(SharedCvLoopsTest, TheLabelNetworkReadsAlikeWithHelpersAndAlone)
{
    ObjectClassifier classifier(ObjectClassifier::defaultModelPath(), ObjectClassifier::defaultLabelsPath(), 1);
    const QImage input = ObjectClassifier::networkInput(textScreen());
    const ObjectClassifier::Result alone = classifier.classify(input);
    ObjectClassifier::Result helped;
    {
        const SharedCvLoops::Lend lend(m_work, 4, nullptr);
        helped = classifier.classify(input);
    }
    ASSERT_TRUE(alone.observations && helped.observations) << alone.error.toStdString();
    ASSERT_EQ(alone.observations->size(), helped.observations->size());
    for (size_t i = 0; i < alone.observations->size(); ++i) {
        EXPECT_EQ((*helped.observations)[i].identifier, (*alone.observations)[i].identifier);
        EXPECT_EQ((*helped.observations)[i].confidence, (*alone.observations)[i].confidence)
            << (*alone.observations)[i].identifier.toStdString();
    }
    EXPECT_GT(m_work.helpedParts(), 0);
}
