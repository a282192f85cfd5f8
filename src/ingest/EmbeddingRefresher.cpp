#include "ingest/EmbeddingRefresher.h"

#include "core/Console.h"
#include "core/GuiThread.h"
#include "ingest/EmbeddingService.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace {
// The vector of a row, made as its analysis makes it: from the text and
// the labels together. Empty for nothing to embed; absent without a model.
std::optional<QList<double>> vectorOf(const DatabaseManager::EmbeddingSource& row, EmbeddingService& embedding)
{
    const std::optional<QList<double>> vector = embedding.generateEmbedding(row.text + u' ' + row.tags.join(u' '));
    if (vector)
        return vector;
    if (!embedding.isModelLoaded())
        return std::nullopt;
    return QList<double>();
}
} // namespace

EmbeddingRefresher::EmbeddingRefresher(DatabaseManager& store, EmbeddingService& embedding, Workers::Pool& pool,
                                       QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_embedding(embedding)
    , m_pool(pool)
{}

EmbeddingRefresher::~EmbeddingRefresher()
{
    *m_stop = true;
}

void EmbeddingRefresher::stop()
{
    *m_stop = true;
}

void EmbeddingRefresher::start()
{
    if (m_running || m_completed || *m_stop)
        return;
    m_running = true;
    m_pool.start([self = QPointer(this), store = &m_store, embedding = &m_embedding, stop = m_stop] {
        int refreshed = 0;
        qint64 after = 0;
        bool completed = false;
        for (;;) {
            const QList<DatabaseManager::EmbeddingSource> rows = store->rowsEmbeddedByOtherModels(after, pageSize);
            if (*stop)
                break;
            if (rows.isEmpty()) {
                completed = true;
                break;
            }
            QList<DatabaseManager::EmbeddingUpdate> updates;
            bool modelMissing = false;
            for (const DatabaseManager::EmbeddingSource& row : rows) {
                std::optional<QList<double>> vector = vectorOf(row, *embedding);
                if (!vector) {
                    modelMissing = true;
                    break;
                }
                updates.append({row.id, std::move(*vector)});
            }
            after = rows.last().rowId;
            const std::optional<QList<QUuid>> written = store->replaceEmbeddings(updates);
            if (!written)
                break;
            QList<DatabaseManager::EmbeddingUpdate> kept;
            for (const DatabaseManager::EmbeddingUpdate& update : updates) {
                if (written->contains(update.id))
                    kept.append(update);
            }
            refreshed += int(kept.size());
            runOnGuiThread([self, kept = std::move(kept)] {
                if (self)
                    emit self->refreshed(kept);
            });
            if (modelMissing || *stop)
                break;
        }
        if (refreshed > 0)
            Console::printLine(u"🧠 Embeddings of %1 screenshots made again for the current model"_s.arg(refreshed));
        runOnGuiThread([self, refreshed, completed] {
            if (!self)
                return;
            self->m_running = false;
            self->m_completed = completed;
            emit self->finished(refreshed);
        });
    });
}
