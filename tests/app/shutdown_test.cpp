#include "app/AppServices.h"
#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "ingest/FolderAccessController.h"
#include "platform/FolderAccess.h"
#include "platform/SpellChecker.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/Wait.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {
// Text for every file after a short while; counts the analyses that start
// after `closed` was raised.
class CountingAnalyzer : public FileAnalyzer
{
public:
    std::atomic<bool> closed{false};
    std::atomic<int> startedAfterClose{0};

    std::optional<QString> recognizeText(const QString& path) override
    {
        if (closed)
            ++startedAfterClose;
        QThread::msleep(15);
        return u"text of "_s + path.section(u'/', -1);
    }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>{0.5}; }
};

class Shutdown : public ::testing::Test
{
protected:
    Shutdown()
    {
        m_folder = m_dir.filePath(u"Screenshots"_s);
        QDir().mkpath(m_folder);
        for (int i = 0; i < 60; ++i) {
            QFile file(m_folder + u"/shot%1.png"_s.arg(i));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("pixels");
        }
    }

    std::unique_ptr<AppServices> launch()
    {
        auto services =
            std::make_unique<AppServices>(AppServices::Options{.settingsPath = m_dir.filePath(u"settings.conf"_s),
                                                               .databasePath = storePath(),
                                                               .memorySource = std::make_unique<PlentyOfMemory>(),
                                                               .analyzer = m_analyzer,
                                                               .spellChecker = std::make_shared<NullSpellChecker>()});
        return services;
    }

    QString storePath() const { return m_dir.filePath(u"store.sqlite"_s); }

    int analysedRows()
    {
        DatabaseManager store(storePath());
        LogTimer timer(u"db_query_screenshots"_s);
        int analysed = 0;
        for (const Screenshot& row : store.fetchPage(m_folder, 1000, 0, true, timer))
            analysed += row.ocrText.has_value();
        return analysed;
    }

    QTemporaryDir m_dir;
    ConsoleCapture m_console;
    QString m_folder;
    std::shared_ptr<CountingAnalyzer> m_analyzer = std::make_shared<CountingAnalyzer>();
};
} // namespace

TEST_F(Shutdown, QuittingMidRunWritesEveryFinishedResultAndNothingRunsAfterTheStoreCloses)
{
    int finished = 0;
    {
        auto services = launch();
        services->settings().setValue(FolderAccessController::folderBookmarkKey,
                                      FolderAccess::createBookmark(m_folder).value());
        services->monitor().changeMonitoredFolder(m_folder);
        ScreenshotMonitor& monitor = services->monitor();
        // A few batches are done, their results still waiting for the
        // flush at 100 (or at the last batch).
        ASSERT_TRUE(waitUntil([&] { return monitor.processedCount() >= 12; }, 20000));
        ASSERT_LT(monitor.processedCount(), 60);

        services->shutDown(); // what the application's aboutToQuit runs
        finished = monitor.processedCount();
        m_analyzer->closed = true;
        EXPECT_FALSE(services->monitor().isPolling());
    }
    EXPECT_EQ(m_analyzer->startedAfterClose, 0);
    // Every file whose analysis had finished is in the store: the ones the
    // run had counted, and those of the batch that was under way.
    const int analysed = analysedRows();
    EXPECT_GE(analysed, finished);
    EXPECT_LT(analysed, 60);

    // The next launch analyses only what is left.
    auto again = launch();
    ASSERT_TRUE(waitUntil([&] { return again->monitor().totalToProcess() > 0 || analysedRows() == 60; }, 20000));
    EXPECT_EQ(again->monitor().totalToProcess(), 60 - analysed);
}
