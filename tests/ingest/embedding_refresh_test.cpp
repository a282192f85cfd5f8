// Vectors of an older sentence model are made again from the stored text,
// once, and reach the records in memory; vectors of the current model are
// left alone.

#include "core/DatabaseManager.h"
#include "core/Workers.h"
#include "ingest/EmbeddingRefresher.h"
#include "ingest/EmbeddingService.h"
#include "ingest/SentenceEncoder.h"
#include "support/Capture.h"
#include "support/Wait.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
Screenshot row(const QString& name)
{
    Screenshot screenshot;
    screenshot.id = QUuid::createUuid();
    screenshot.filename = name;
    screenshot.filePath = u"/pictures/"_s + name;
    screenshot.dateCreated = QDateTime::currentDateTime();
    return screenshot;
}

ProcessedFileResult analysed(const Screenshot& screenshot, const QString& text, const QStringList& tags,
                             QList<double> embedding)
{
    return {screenshot.id, text, tags, std::move(embedding), {}, std::nullopt, false};
}

bool near(const QList<double>& a, const QList<double>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (std::abs(a[i] - b[i]) > 1e-9)
            return false;
    }
    return true;
}

class EmbeddingRefresh : public ::testing::Test
{
protected:
    // Runs one pass to its end; the vectors it handed out, by id.
    QHash<QUuid, QList<double>> refresh()
    {
        QHash<QUuid, QList<double>> handed;
        EmbeddingRefresher refresher(m_store, m_embedding, m_pool);
        QObject::connect(&refresher, &EmbeddingRefresher::refreshed, [&](const auto& updates) {
            for (const DatabaseManager::EmbeddingUpdate& update : updates)
                handed.insert(update.id, update.embedding);
        });
        bool finished = false;
        QObject::connect(&refresher, &EmbeddingRefresher::finished, [&] { finished = true; });
        refresher.start();
        EXPECT_TRUE(waitUntil([&] { return finished; }, 60000));
        return handed;
    }

    QList<double> stored(const Screenshot& screenshot)
    {
        return m_store.fetchByPath(screenshot.filePath).value().embedding.value_or(QList<double>());
    }

    QTemporaryDir m_dir;
    DatabaseManager m_store{m_dir.filePath(u"store.sqlite"_s)};
    EmbeddingService m_embedding;
    Workers::Pool m_pool{u"refresh"_s, 1};
    ConsoleCapture m_console;
};
} // namespace

TEST_F(EmbeddingRefresh, AnOlderModelsVectorIsMadeAgainOnceAndTheCurrentOnesAreKept)
{
    const Screenshot old = row(u"old.png"_s);
    const Screenshot blank = row(u"blank.png"_s);
    const Screenshot current = row(u"current.png"_s);
    const Screenshot unanalysed = row(u"new.png"_s);
    ASSERT_TRUE(m_store.upsertMany({old, blank, current, unanalysed}));
    // Written before versions were kept: no version.
    const QList<double> olderVector(100, 0.1);
    ASSERT_TRUE(
        m_store.updateMetadataBatch({analysed(old, u"boarding pass to Lisbon"_s, {u"travel booking"_s}, olderVector),
                                     analysed(blank, u""_s, {}, {})}));
    m_store.setEmbeddingModel(SentenceEncoder::modelVersion);
    const QList<double> currentVector(100, 0.2);
    ASSERT_TRUE(m_store.updateMetadataBatch({analysed(current, u"terminal"_s, {}, currentVector)}));

    const QHash<QUuid, QList<double>> first = refresh();
    const QList<double> expected = m_embedding.generateEmbedding(u"boarding pass to Lisbon travel booking"_s).value();
    EXPECT_TRUE(near(stored(old), expected));
    EXPECT_TRUE(near(first.value(old.id), expected));
    EXPECT_TRUE(first.contains(blank.id));
    EXPECT_TRUE(stored(blank).isEmpty());
    EXPECT_FALSE(first.contains(current.id));
    EXPECT_TRUE(near(stored(current), currentVector));
    EXPECT_FALSE(first.contains(unanalysed.id)); // the pipeline's to analyse
    EXPECT_EQ(first.size(), 2);

    // Once: a second pass finds nothing to do.
    EXPECT_TRUE(refresh().isEmpty());
    EXPECT_TRUE(near(stored(old), expected));
}

TEST_F(EmbeddingRefresh, APassAfterEveryRowIsCurrentDoesNotStartAgain)
{
    const Screenshot old = row(u"old.png"_s);
    ASSERT_TRUE(m_store.upsertMany({old}));
    ASSERT_TRUE(m_store.updateMetadataBatch({analysed(old, u"invoice"_s, {}, QList<double>(100, 0.1))}));
    m_store.setEmbeddingModel(SentenceEncoder::modelVersion);
    EmbeddingRefresher refresher(m_store, m_embedding, m_pool);
    int passes = 0;
    QObject::connect(&refresher, &EmbeddingRefresher::finished, [&] { ++passes; });
    refresher.start();
    ASSERT_TRUE(waitUntil([&] { return passes == 1; }, 60000));
    // A later look at the folder asks again: nothing is read or written.
    refresher.start();
    EXPECT_FALSE(refresher.isRunning());
    EXPECT_EQ(passes, 1);
}
