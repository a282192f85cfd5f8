// The pipeline with the real text recognition, link detection, classifier and
// embedding, over generated screenshots and a real store.

#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "generators/SampleLibrary.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ScreenshotMonitor.h"
#include "ingest/ServiceAnalyzer.h"
#include "ingest/VisualAnalysisService.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "support/Wait.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Share of the drawn words (four letters or more) found in the recognised text.
double wordRecall(const QStringList& drawnLines, const QString& recognised)
{
    const QStringList words =
        drawnLines.join(u' ').toLower().split(QRegularExpression(u"[^a-z]+"_s), Qt::SkipEmptyParts);
    int total = 0;
    int found = 0;
    for (const QString& word : words) {
        if (word.size() < 4)
            continue;
        ++total;
        found += recognised.toLower().contains(word);
    }
    return total == 0 ? 1.0 : double(found) / total;
}

void expectSameVector(const QList<double>& actual, const QList<double>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-9);
}
} // namespace

TEST(PipelineWithServices, EightScreenshotsEndUpFullyIndexedInTheStore)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1));
    DatabaseManager store(dir.filePath(u"store.sqlite"_s));
    ConsoleCapture console;
    LogCapture log;
    MonitorServices parts;
    EmbeddingService embedding;
    const auto analyzer = std::make_shared<ServiceAnalyzer>(embedding);
    ScreenshotMonitor monitor(parts.with(settings, memory, store, analyzer));
    const QString folder = monitor.monitoredPath();

    const SampleLibrary::Result samples = SampleLibrary::write(SampleLibrary::Options::screenshotsOnly(folder, 8, 9));
    ASSERT_TRUE(samples.errors.isEmpty()) << samples.errors.join(u'\n').toStdString();
    ASSERT_EQ(samples.entries.size(), 8);

    QList<Screenshot> files;
    for (const SampleLibrary::Entry& entry : samples.entries)
        files.append(Screenshot(folder + u'/' + entry.relativePath, QUuid::createUuid()));
    store.upsertMany(files);
    ScreenshotMonitorTestAccess::setScreenshots(monitor, files);

    monitor.startBatchProcessing(files);
    ASSERT_TRUE(waitUntil([&] { return !monitor.isProcessing(); }, 120000));
    EXPECT_TRUE(log.contains(u"All processing complete! | totalProcessed=8"_s));
    EXPECT_EQ(log.matching(u"[Vision] [DEBUG] Found classifications"_s).size(), 8);

    int rowsWithLinks = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].filename.toStdString());
        const std::optional<Screenshot> row = store.fetchByPath(files[i].filePath);
        ASSERT_TRUE(row);
        ASSERT_TRUE(row->ocrText);
        ASSERT_TRUE(row->detectedUrls);
        ASSERT_TRUE(row->embedding);
        rowsWithLinks += !row->detectedUrls->isEmpty();

        // What the services give for the file directly is what was stored.
        EXPECT_EQ(row->tags, analyzer->labels(files[i].filePath));
        const QString joined = *row->ocrText + u' ' + row->tags.join(u' ');
        if (joined.trimmed().isEmpty())
            EXPECT_TRUE(row->embedding->isEmpty());
        else
            expectSameVector(*row->embedding, embedding.generateEmbedding(joined).value());

        // The rows hold the drawn words and the links among them.
        EXPECT_GE(wordRecall(samples.entries[i].lines, *row->ocrText), 0.5) << row->ocrText->toStdString();
        EXPECT_FALSE(row->embedding->isEmpty());
    }
    EXPECT_GT(rowsWithLinks, 0);
}
