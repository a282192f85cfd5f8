// Who analyses: threads at the lower priority, and helpers that stop when
// a run is cancelled in the middle of a file.

#include "ServicePipeline.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <map>

#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// A tall page of `lines` numbered sentences.
QImage longPage(QSize size, int lines)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(u"Inter"_s);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(QColor(0x1d, 0x1d, 0x1f));
    for (int i = 0; i < lines; ++i)
        painter.drawText(60, 60 + i * 38, u"Line %1 of the quarterly report lists invoices and payments"_s.arg(i));
    return image;
}
} // namespace

TEST_F(PipelineWithServices, CancellingMidFileStopsItsHelpersAndLeavesTheFileUnanalysed)
{
    QDir().mkpath(m_folder);
    const QString path = m_folder + u"/long page.png"_s;
    ASSERT_TRUE(longPage({1600, 6000}, 150).save(path));
    const QList<Screenshot> files{Screenshot(path, QUuid::createUuid())};
    m_store.upsertMany(files);
    ScreenshotMonitorTestAccess::setScreenshots(m_monitor, files);
    m_monitor.startBatchProcessing(files);

    // Helpers read its lines.
    const SharedWork& work = m_analyzer->sharedWork();
    ASSERT_TRUE(waitUntil([&] { return work.helpedParts(SharedWork::Order::inTurn) > 15; }, 60000));
    m_monitor.cancelProcessing();
    Workers::Pool& pool = m_parts.workers.analysis();
    ASSERT_TRUE(waitUntil([&] { return pool.threads().activeThreadCount() == 0; }, 30000));
    EXPECT_GT(work.droppedParts(), 0) << "lines not yet begun were still read";

    const std::optional<Screenshot> row = m_store.fetchByPath(path);
    ASSERT_TRUE(row);
    EXPECT_FALSE(row->ocrText.has_value()) << "a file cut short must be analysed again at the next run";
}

namespace {
// CPU ticks spent so far and niceness, of each thread of this process.
std::map<int, std::pair<long, int>> threadTimes()
{
    std::map<int, std::pair<long, int>> times;
    for (const QFileInfo& task : QDir(u"/proc/self/task"_s).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(task.filePath() + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // After the name in parentheses: field 3 (state) at index 0, so utime
        // (14), stime (15) and nice (19) at 11, 12 and 16.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 16)
            times[task.fileName().toInt()] = {fields[11].toLong() + fields[12].toLong(), fields[16].toInt()};
    }
    return times;
}
} // namespace

TEST_F(PipelineWithServices, EveryThreadThatAnalysesRunsAtTheLowerPriority)
{
    const QList<Screenshot> files = writeSamples(4, 31, u"shots"_s);
    const auto before = threadTimes();
    ASSERT_TRUE(analyse(files));
    const auto after = threadTimes();

    const int self = int(syscall(SYS_gettid));
    int busy = 0;
    for (const auto& [thread, figures] : after) {
        const auto earlier = before.find(thread);
        const long spent = figures.first - (earlier == before.end() ? 0 : earlier->second.first);
        // This test's own thread, and threads that barely ran (the store's).
        if (thread == self || spent < 5)
            continue;
        ++busy;
        EXPECT_GE(figures.second, 10) << "thread " << thread << " spent " << spent << " ticks at niceness "
                                      << figures.second;
    }
    EXPECT_GE(busy, 2);
}

TEST_F(PipelineWithServices, APictureStoppedWhileDecodingIsLeftForTheNextRunNotCalledUnreadable)
{
    QDir().mkpath(m_folder);
    const QString path = m_folder + u"/page.png"_s;
    ASSERT_TRUE(longPage({1600, 3000}, 60).save(path));
    std::stop_source stop;
    stop.request_stop();
    // The file refuses to be read once stopped, so the decoder sees a
    // broken picture; that must not count against the file.
    const FileAnalyzer::Sight sight = m_analyzer->look(path, stop.get_token(), TimeBudget());
    EXPECT_TRUE(sight.stopped);
    EXPECT_FALSE(sight.unreadable);
    EXPECT_FALSE(sight.text.has_value());
}
