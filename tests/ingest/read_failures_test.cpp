// Files that cannot be read (empty, damaged) and files given up at their time
// budget are remembered with the size and time they had: later starts, the
// link rescan's reload and the change checks leave them alone, they count as
// analysed (no processing screen, nothing left to process), and they are read
// again as soon as they change, whether the program was running or not.

#include "core/ImageLoader.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/LookCount.h"
#include "support/MonitorTestAccess.h"
#include "support/StartedLibrary.h"
#include "support/Wait.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr int generousMs = 30000;

// The real decoder tells what cannot be read; "spinning" files keep an
// engine busy, heedless of the budget, until the pipeline stops them;
// "late" files spend their processor time before a word is read, "partly"
// files after some. Counts the looks at each file.
class CountingAnalyzer : public NothingAnalyzer
{
public:
    Sight look(const QString& path, std::stop_token stop, const TimeBudget& budget) override
    {
        const QString name = m_looks.add(path);
        Sight sight;
        if (name.startsWith(u"spinning"_s)) {
            volatile unsigned sink = 0;
            while (!stop.stop_requested())
                sink = sink + 1;
            sight.stopped = true;
        } else if (name.startsWith(u"locked"_s)) {
            sight.unopened = true;
        } else if (name.startsWith(u"late"_s)) {
            spend(budget);
            sight.reachedDeadline = true;
        } else if (name.startsWith(u"partly"_s)) {
            spend(budget);
            sight.text = u"the first lines"_s;
            sight.reachedDeadline = true;
        } else if (ImageLoader::load(path).isNull()) {
            sight.unreadable = true;
        } else {
            sight.text = u"text of "_s + name;
        }
        return sight;
    }

    int looks(const QString& name) const { return m_looks.of(name); }
    int allLooks() const { return m_looks.total(); }

private:
    static void spend(const TimeBudget& budget)
    {
        volatile unsigned sink = 0;
        while (!budget.isProcessorTimeSpent())
            sink = sink + 1;
    }

    LookCount m_looks;
};

void writePicture(const QString& path)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(path, "PNG"));
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class ReadFailures : public ::testing::Test
{
protected:
    static constexpr int emptyFiles = 11; // more than the processing screen allows

    ReadFailures()
    {
        m_folder = m_dir.filePath(u"Shots"_s);
        QDir().mkpath(m_folder);
        writePicture(path(u"good.png"_s));
        writePicture(path(u"spinning.png"_s));
        writePicture(path(u"late.png"_s));
        writePicture(path(u"partly.png"_s));
        writeBytes(path(u"corrupt.png"_s), QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(300, 'z'));
        for (int i = 0; i < emptyFiles; ++i)
            writeBytes(path(emptyName(i)), {});
    }

    static QString emptyName(int i) { return u"empty %1.png"_s.arg(i); }
    QString path(const QString& name) const { return m_folder + u'/' + name; }
    int fileCount() const { return 5 + emptyFiles; }

    // A start of the program over the same settings and store.
    std::unique_ptr<StartedLibrary> launch()
    {
        auto library = std::make_unique<StartedLibrary>(m_dir.filePath(u"settings.conf"_s),
                                                        m_dir.filePath(u"store.sqlite"_s), m_analyzer);
        using std::chrono::milliseconds;
        ScreenshotMonitorTestAccess::pipeline(library->monitor)
            .setTimeBudget({milliseconds(40), std::chrono::minutes(10), milliseconds(40)});
        return library;
    }

    // The first start: the user grants the folder.
    std::unique_ptr<StartedLibrary> firstLaunch()
    {
        std::unique_ptr<StartedLibrary> library = launch();
        auto chooser = std::make_unique<FakeFolderChooser>();
        chooser->answer = m_folder;
        library->monitor.setFolderChooser(std::move(chooser));
        library->monitor.requestFolderAccess();
        return library;
    }

    std::optional<Screenshot> row(StartedLibrary& library, const QString& name)
    {
        return library.store.fetchByPath(path(name));
    }

    // The load is done and the run it started is over.
    bool isSettled(StartedLibrary& library)
    {
        if (!library.monitor.isPolling() || library.monitor.isProcessing())
            return false;
        library.parts.workers.storeWrites().waitForDone();
        return true;
    }

    // The files whose rows lack an analysis.
    QStringList unanalysed(StartedLibrary& library)
    {
        QStringList names;
        for (const QString& name : QDir(m_folder).entryList(QDir::Files)) {
            const std::optional<Screenshot> stored = row(library, name);
            if (!stored || !stored->ocrText)
                names.append(name);
        }
        return names;
    }

    QTemporaryDir m_dir;
    QString m_folder;
    std::shared_ptr<CountingAnalyzer> m_analyzer = std::make_shared<CountingAnalyzer>();
    LogCapture m_log;
    ConsoleCapture m_console;
};
} // namespace

TEST_F(ReadFailures, AreRememberedAcrossStartsAndTheRescanAndCountAsAnalysed)
{
    {
        std::unique_ptr<StartedLibrary> library = firstLaunch();
        ASSERT_TRUE(waitUntil([&] { return isSettled(*library); }, generousMs));
        EXPECT_EQ(unanalysed(*library).join(u", "_s).toStdString(), "");
        EXPECT_EQ(m_analyzer->allLooks(), fileCount());
        EXPECT_EQ(row(*library, u"good.png"_s)->analysisFailure, AnalysisFailure::none);
        EXPECT_EQ(row(*library, u"good.png"_s)->ocrText, u"text of good.png"_s);
        EXPECT_EQ(row(*library, u"spinning.png"_s)->analysisFailure, AnalysisFailure::givenUp);
        EXPECT_EQ(row(*library, u"late.png"_s)->analysisFailure, AnalysisFailure::givenUp);
        EXPECT_EQ(row(*library, u"partly.png"_s)->analysisFailure, AnalysisFailure::none);
        EXPECT_EQ(row(*library, u"partly.png"_s)->ocrText, u"the first lines"_s);
        for (const QString& name : {u"corrupt.png"_s, emptyName(0), emptyName(emptyFiles - 1)}) {
            SCOPED_TRACE(name.toStdString());
            const std::optional<Screenshot> stored = row(*library, name);
            EXPECT_EQ(stored->analysisFailure, AnalysisFailure::unreadable);
            EXPECT_EQ(stored->ocrText, QString()) << "present and empty: analysed, without text";
        }
        // The live list shows the same, with no file left waiting.
        for (const Screenshot& shown : library->monitor.screenshots())
            EXPECT_EQ(shown.couldNotBeRead(), shown.filename != u"good.png"_s && shown.filename != u"partly.png"_s)
                << shown.filename.toStdString();
        EXPECT_EQ(m_log.matching(u"File could not be read - left alone until it changes"_s).size(), emptyFiles + 1);
        EXPECT_EQ(m_log.matching(u"Analysis given up at its time budget"_s).size(), 1);
    }

    for (int start = 2; start <= 3; ++start) {
        SCOPED_TRACE(start);
        m_log.clear();
        std::unique_ptr<StartedLibrary> library = launch();
        ScreenshotMonitor& monitor = library->monitor;
        QSignalSpy blocking(&monitor, &ScreenshotMonitor::isProcessingBlockingChanged);
        QSignalSpy processing(&monitor, &ScreenshotMonitor::isProcessingChanged);
        QSignalSpy scans(&monitor, &ScreenshotMonitor::scanFinished);
        ASSERT_TRUE(waitUntil([&] { return monitor.isPolling() && scans.count() == 1; }, generousMs));

        EXPECT_TRUE(
            m_log.contains(u"Scan complete | total=%1, needProcessing=0, alreadyProcessed=%1"_s.arg(fileCount())));
        EXPECT_EQ(monitor.totalToProcess(), 0);
        EXPECT_FALSE(monitor.hasIncompleteFiles());
        EXPECT_EQ(blocking.count(), 0) << "the processing screen came up";

        // "Rescan Quick Links": the links are derived again and the library reloaded.
        library->store.rescanForLinks(true);
        monitor.startMonitoringAsync(true);
        ASSERT_TRUE(waitUntil([&] { return scans.count() == 2 && monitor.isPolling(); }, generousMs));
        drainPostedEvents();
        EXPECT_EQ(processing.count(), 0) << "a run started";
        EXPECT_EQ(m_analyzer->allLooks(), fileCount()) << "a file was read again";
    }
}

// A file that cannot be opened now (no permission, no descriptor left) may be
// opened later without changing its size or date: nothing is remembered.
TEST_F(ReadFailures, AFileThatCouldNotBeOpenedIsTriedAgainAtTheNextStart)
{
    writePicture(path(u"locked.png"_s));
    {
        std::unique_ptr<StartedLibrary> library = firstLaunch();
        ASSERT_TRUE(waitUntil([&] { return isSettled(*library); }, generousMs));
        EXPECT_EQ(row(*library, u"locked.png"_s)->analysisFailure, AnalysisFailure::none);
        EXPECT_EQ(unanalysed(*library), QStringList{u"locked.png"_s});
        EXPECT_TRUE(m_log.contains(u"File could not be read - left for the next run | file=locked.png"_s));
    }
    std::unique_ptr<StartedLibrary> library = launch();
    ASSERT_TRUE(waitUntil([&] { return m_analyzer->looks(u"locked.png"_s) == 2; }, generousMs));
}

TEST_F(ReadFailures, AreReadAgainOnceTheyChangeWhileTheProgramRunsOrNot)
{
    {
        std::unique_ptr<StartedLibrary> library = firstLaunch();
        ASSERT_TRUE(waitUntil([&] { return isSettled(*library); }, generousMs));
        ASSERT_EQ(unanalysed(*library).join(u", "_s).toStdString(), "");

        // Repaired while the program runs: the next change check reads it.
        writePicture(path(u"corrupt.png"_s));
        library->monitor.forceChangeCheck();
        ASSERT_TRUE(waitUntil([&] { return row(*library, u"corrupt.png"_s)->ocrText == u"text of corrupt.png"_s; },
                              generousMs));
        EXPECT_EQ(row(*library, u"corrupt.png"_s)->analysisFailure, AnalysisFailure::none);
        EXPECT_EQ(m_analyzer->looks(u"corrupt.png"_s), 2);
        ASSERT_TRUE(waitUntil([&] { return isSettled(*library); }, generousMs));
        const auto shown = std::find_if(library->monitor.screenshots().cbegin(), library->monitor.screenshots().cend(),
                                        [](const Screenshot& s) { return s.filename == u"corrupt.png"_s; });
        ASSERT_NE(shown, library->monitor.screenshots().cend());
        EXPECT_FALSE(shown->couldNotBeRead());
    }

    // While it was closed: one empty file got its picture (a new size), the
    // given-up one a new modification time only.
    writePicture(path(emptyName(3)));
    QFile spinning(path(u"spinning.png"_s));
    ASSERT_TRUE(spinning.open(QIODevice::ReadWrite));
    ASSERT_TRUE(spinning.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    spinning.close();

    std::unique_ptr<StartedLibrary> library = launch();
    ASSERT_TRUE(
        waitUntil([&] { return m_analyzer->looks(u"spinning.png"_s) == 2 && isSettled(*library); }, generousMs));
    EXPECT_EQ(row(*library, emptyName(3))->ocrText, u"text of "_s + emptyName(3));
    EXPECT_EQ(row(*library, emptyName(3))->analysisFailure, AnalysisFailure::none);
    EXPECT_EQ(row(*library, u"spinning.png"_s)->analysisFailure, AnalysisFailure::givenUp);
    EXPECT_EQ(m_analyzer->looks(emptyName(3)), 2);
    // Only those two.
    EXPECT_EQ(m_analyzer->allLooks(), fileCount() + 3);
    EXPECT_EQ(library->monitor.totalToProcess(), 2);
}
