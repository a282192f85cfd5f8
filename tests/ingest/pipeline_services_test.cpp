// The pipeline with the real text recognition, link detection, classifier and
// embedding, over generated screenshots and a real store: what it stores, and
// the models it lets go between runs.

#include "ServicePipeline.h"
#include "ingest/VisualAnalysisService.h"

#include <QRegularExpression>

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

TEST_F(PipelineWithServices, EightScreenshotsEndUpFullyIndexedInTheStore)
{
    const QList<Screenshot> files = writeSamples(8, 9, u"first"_s);
    ASSERT_EQ(files.size(), 8);
    ASSERT_TRUE(analyse(files));
    EXPECT_TRUE(m_log.contains(u"All processing complete! | totalProcessed=8"_s));
    EXPECT_EQ(m_log.matching(u"[Vision] [DEBUG] Found classifications"_s).size(), 8);

    int rowsWithLinks = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].filename.toStdString());
        const std::optional<Screenshot> row = m_store.fetchByPath(files[i].filePath);
        ASSERT_TRUE(row);
        ASSERT_TRUE(row->ocrText);
        ASSERT_TRUE(row->detectedUrls);
        ASSERT_TRUE(row->embedding);
        rowsWithLinks += !row->detectedUrls->isEmpty();

        // What the services give for the file directly is what was stored.
        EXPECT_EQ(row->tags, m_analyzer->labels(files[i].filePath));
        const QString joined = *row->ocrText + u' ' + row->tags.join(u' ');
        if (joined.trimmed().isEmpty())
            EXPECT_TRUE(row->embedding->isEmpty());
        else
            expectSameVector(*row->embedding, m_embedding.generateEmbedding(joined).value());

        // The rows hold the drawn words and the links among them.
        EXPECT_GE(wordRecall(m_drawn[i], *row->ocrText), 0.5) << row->ocrText->toStdString();
        EXPECT_FALSE(row->embedding->isEmpty());
    }
    EXPECT_GT(rowsWithLinks, 0);
}

TEST_F(PipelineWithServices, ModelsAreReleasedAfterARunAndMadeAgainForTheNext)
{
    ASSERT_TRUE(analyse(writeSamples(2, 21, u"first"_s)));
    EXPECT_TRUE(modelsReleased());

    const QList<Screenshot> next = writeSamples(2, 22, u"second"_s);
    ASSERT_TRUE(analyse(next));
    for (const Screenshot& file : next) {
        const std::optional<Screenshot> row = m_store.fetchByPath(file.filePath);
        ASSERT_TRUE(row && row->ocrText);
        EXPECT_FALSE(row->ocrText->isEmpty());
    }
    EXPECT_TRUE(modelsReleased());
}
