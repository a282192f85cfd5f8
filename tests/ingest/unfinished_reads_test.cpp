// A file that real time alone stopped (a crowded machine left its analysis
// without a core) is not at fault: it is kept unfinished, with what was read,
// and read again at the next start, until that happened a few times in a row.
// A file that spent its processor time is kept as read, or given up when
// nothing was, and left alone until it changes.

#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/LookCount.h"
#include "support/MonitorTestAccess.h"
#include "support/StartedLibrary.h"
#include "support/Wait.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
constexpr int generousMs = 30000;
const QString firstLines = u"the first lines"_s;

// Reads "text of <name>", except by name: while `starved` holds, "napping"
// and "dozing" files sleep, off the processor, until real time runs out
// (having read by then what `readBeforeStopped` holds for them: some lines
// of the first, nothing of the second); "spending" files spend processor
// time until it runs out, before a word is read.
class StarvedAnalyzer : public NothingAnalyzer
{
public:
    std::atomic<bool> starved{true};
    // Changed only between starts.
    QHash<QString, QString> readBeforeStopped{{u"napping.png"_s, firstLines}};

    Sight look(const QString& path, std::stop_token stop, const TimeBudget& budget) override
    {
        const QString name = m_looks.add(path);
        Sight sight;
        if (starved && (name.startsWith(u"napping"_s) || name.startsWith(u"dozing"_s))) {
            while (!budget.isPastDeadline() && !stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            sight.reachedDeadline = true;
            if (const QString read = readBeforeStopped.value(name); !read.isEmpty())
                sight.text = read;
        } else if (name.startsWith(u"spending"_s)) {
            volatile unsigned sink = 0;
            while (!budget.isProcessorTimeSpent() && !stop.stop_requested())
                sink = sink + 1;
            sight.reachedDeadline = true;
        } else {
            sight.text = u"text of "_s + name;
        }
        return sight;
    }

    int looks(const QString& name) const { return m_looks.of(name); }

private:
    LookCount m_looks;
};

class UnfinishedReads : public ::testing::Test
{
protected:
    UnfinishedReads()
    {
        m_folder = m_dir.filePath(u"Shots"_s);
        QDir().mkpath(m_folder);
        for (const QString& name : {u"good.png"_s, u"napping.png"_s, u"dozing.png"_s, u"spending.png"_s}) {
            QFile file(path(name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("pixels");
        }
    }

    QString path(const QString& name) const { return m_folder + u'/' + name; }

    // A start over the same settings and store, whose run is over once this
    // returns. Real time runs out long before processor time would for the
    // sleepers, and long after it does for the spender; no engine here needs
    // the grace.
    std::unique_ptr<StartedLibrary> start()
    {
        auto library = std::make_unique<StartedLibrary>(m_dir.filePath(u"settings.conf"_s),
                                                        m_dir.filePath(u"store.sqlite"_s), m_analyzer);
        using std::chrono::milliseconds;
        ScreenshotMonitorTestAccess::pipeline(library->monitor)
            .setTimeBudget({milliseconds(20), milliseconds(500), std::chrono::seconds(20)});
        if (std::exchange(m_isFirstStart, false)) {
            // The user grants the folder; later starts watch it by themselves.
            auto chooser = std::make_unique<FakeFolderChooser>();
            chooser->answer = m_folder;
            library->monitor.setFolderChooser(std::move(chooser));
            library->monitor.requestFolderAccess();
        }
        EXPECT_TRUE(waitUntil(
            [&] {
                if (!library->monitor.isPolling() || library->monitor.isProcessing())
                    return false;
                library->parts.workers.storeWrites().waitForDone();
                return true;
            },
            generousMs));
        return library;
    }

    std::optional<Screenshot> row(StartedLibrary& library, const QString& name)
    {
        return library.store.fetchByPath(path(name));
    }

    QTemporaryDir m_dir;
    QString m_folder;
    bool m_isFirstStart = true;
    std::shared_ptr<StarvedAnalyzer> m_analyzer = std::make_shared<StarvedAnalyzer>();
    LogCapture m_log;
    ConsoleCapture m_console;
};
} // namespace

TEST_F(UnfinishedReads, AFileStoppedByRealTimeIsReadAgainAtTheNextStartAndOneThatSpentItsProcessorTimeIsNot)
{
    {
        std::unique_ptr<StartedLibrary> library = start();
        const std::optional<Screenshot> napping = row(*library, u"napping.png"_s);
        EXPECT_EQ(napping->ocrText, firstLines);
        EXPECT_EQ(napping->unfinishedReads, 1);
        EXPECT_EQ(napping->analysisFailure, AnalysisFailure::none);
        const std::optional<Screenshot> dozing = row(*library, u"dozing.png"_s);
        EXPECT_EQ(dozing->unfinishedReads, 1);
        EXPECT_EQ(dozing->analysisFailure, AnalysisFailure::none) << "given up though its processor time was left";
        const std::optional<Screenshot> spending = row(*library, u"spending.png"_s);
        EXPECT_EQ(spending->analysisFailure, AnalysisFailure::givenUp);
        EXPECT_EQ(spending->unfinishedReads, 0);
        // The live list says the same.
        for (const Screenshot& shown : library->monitor.screenshots())
            EXPECT_EQ(shown.unfinishedReads, shown.filename == u"napping.png"_s || shown.filename == u"dozing.png"_s)
                << shown.filename.toStdString();
    }

    // The machine has cores to spare again.
    m_analyzer->starved = false;
    m_log.clear();
    std::unique_ptr<StartedLibrary> library = start();
    EXPECT_TRUE(m_log.contains(u"Scan complete | total=4, needProcessing=2, alreadyProcessed=2"_s));
    for (const QString& name : {u"napping.png"_s, u"dozing.png"_s}) {
        SCOPED_TRACE(name.toStdString());
        const std::optional<Screenshot> read = row(*library, name);
        EXPECT_EQ(read->ocrText, u"text of "_s + name);
        EXPECT_EQ(read->unfinishedReads, 0);
        EXPECT_EQ(read->analysisFailure, AnalysisFailure::none);
        EXPECT_EQ(m_analyzer->looks(name), 2);
    }
    EXPECT_EQ(m_analyzer->looks(u"spending.png"_s), 1);
    EXPECT_EQ(m_analyzer->looks(u"good.png"_s), 1);
}

TEST_F(UnfinishedReads, AreReadAgainOnlyAFewTimesInARowUntilTheFileChanges)
{
    for (int starts = 1; starts <= unfinishedReadLimit; ++starts) {
        SCOPED_TRACE(starts);
        std::unique_ptr<StartedLibrary> library = start();
        EXPECT_EQ(m_analyzer->looks(u"napping.png"_s), starts);
        EXPECT_EQ(m_analyzer->looks(u"dozing.png"_s), starts);
        EXPECT_EQ(row(*library, u"napping.png"_s)->unfinishedReads, starts);
    }
    {
        m_log.clear();
        std::unique_ptr<StartedLibrary> library = start();
        EXPECT_TRUE(m_log.contains(u"Scan complete | total=4, needProcessing=0, alreadyProcessed=4"_s));
        EXPECT_EQ(m_analyzer->looks(u"napping.png"_s), unfinishedReadLimit);
        // What was read stays, marked as not the whole; a file of which
        // nothing was read is given up.
        const std::optional<Screenshot> napping = row(*library, u"napping.png"_s);
        EXPECT_EQ(napping->ocrText, firstLines);
        EXPECT_EQ(napping->unfinishedReads, unfinishedReadLimit);
        EXPECT_EQ(napping->analysisFailure, AnalysisFailure::none);
        EXPECT_EQ(row(*library, u"dozing.png"_s)->analysisFailure, AnalysisFailure::givenUp);
    }

    // Saved again while the program was closed: read afresh, with a count of its own.
    QFile napping(path(u"napping.png"_s));
    ASSERT_TRUE(napping.open(QIODevice::ReadWrite));
    ASSERT_TRUE(napping.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    napping.close();
    std::unique_ptr<StartedLibrary> library = start();
    EXPECT_EQ(m_analyzer->looks(u"napping.png"_s), unfinishedReadLimit + 1);
    EXPECT_EQ(row(*library, u"napping.png"_s)->unfinishedReads, 1);
    EXPECT_EQ(m_analyzer->looks(u"dozing.png"_s), unfinishedReadLimit);
}

// How far a stopped reading gets depends on the load of the machine: the
// longer of two unfinished texts stays, wherever it came, and a reading that
// ends replaces it whatever its length.
TEST_F(UnfinishedReads, TheLongerOfTwoUnfinishedTextsStaysUntilAFinishedReadingReplacesIt)
{
    const QString longer = u"the first lines of a long page"_s;
    m_analyzer->readBeforeStopped = {{u"napping.png"_s, longer}};
    start();

    // The next start reads less of one file, more of the other.
    m_analyzer->readBeforeStopped = {{u"napping.png"_s, u"the"_s}, {u"dozing.png"_s, firstLines}};
    {
        std::unique_ptr<StartedLibrary> library = start();
        const std::optional<Screenshot> napping = row(*library, u"napping.png"_s);
        EXPECT_EQ(napping->ocrText, longer);
        EXPECT_EQ(napping->unfinishedReads, 2);
        EXPECT_EQ(napping->analysisFailure, AnalysisFailure::none);
        const std::optional<Screenshot> dozing = row(*library, u"dozing.png"_s);
        EXPECT_EQ(dozing->ocrText, firstLines);
        EXPECT_EQ(dozing->unfinishedReads, 2);
        // The live list says the same.
        for (const Screenshot& shown : library->monitor.screenshots()) {
            if (shown.filename == u"napping.png"_s) {
                EXPECT_EQ(shown.ocrText, longer);
            } else if (shown.filename == u"dozing.png"_s) {
                EXPECT_EQ(shown.ocrText, firstLines);
            }
        }
    }

    m_analyzer->starved = false;
    std::unique_ptr<StartedLibrary> library = start();
    const std::optional<Screenshot> napping = row(*library, u"napping.png"_s);
    ASSERT_LT(u"text of napping.png"_s.size(), longer.size());
    EXPECT_EQ(napping->ocrText, u"text of napping.png"_s);
    EXPECT_EQ(napping->unfinishedReads, 0);
}

// A file saved again while the program runs is read from the start: the
// real-time stops of its earlier bytes do not count against it, so a stop of
// the new reading leaves it to be read again at the next start.
TEST_F(UnfinishedReads, AFileSavedAgainWhileRunningCountsItsStopsAfresh)
{
    start().reset();
    std::unique_ptr<StartedLibrary> library = start();
    ASSERT_EQ(row(*library, u"napping.png"_s)->unfinishedReads, 2);

    QFile napping(path(u"napping.png"_s));
    ASSERT_TRUE(napping.open(QIODevice::Append));
    napping.write(" and a few more");
    napping.close();
    library->monitor.forceChangeCheck();
    ASSERT_TRUE(waitUntil(
        [&] {
            if (m_analyzer->looks(u"napping.png"_s) < 3 || library->monitor.isProcessing())
                return false;
            library->parts.workers.storeWrites().waitForDone();
            return row(*library, u"napping.png"_s)->ocrText.has_value();
        },
        generousMs));
    EXPECT_EQ(row(*library, u"napping.png"_s)->unfinishedReads, 1);
    for (const Screenshot& shown : library->monitor.screenshots()) {
        if (shown.filename == u"napping.png"_s) {
            EXPECT_EQ(shown.unfinishedReads, 1);
        }
    }

    library.reset();
    library = start();
    EXPECT_EQ(m_analyzer->looks(u"napping.png"_s), 4) << "read again at the next start";
}
