#pragma once

#include "core/DatabaseManager.h"
#include "core/Workers.h"

#include <QList>
#include <QObject>

#include <atomic>
#include <memory>

class EmbeddingService;

// Makes again, from their stored text and labels, the vectors that another
// sentence model made: once a newer model is in use, every analysed row gets
// its vector once, without reading its file again. A pass runs on a worker,
// a page of rows at a time; a row analysed again meanwhile keeps the vector
// its analysis gave it. Lives on the GUI thread.
class EmbeddingRefresher : public QObject
{
    Q_OBJECT

public:
    EmbeddingRefresher(DatabaseManager& store, EmbeddingService& embedding, Workers::Pool& pool,
                       QObject* parent = nullptr);
    ~EmbeddingRefresher() override;

    // One pass over the store, unless one is under way or one already went
    // through every row (rows analysed later get the current model's vector).
    void start();
    // A pass under way ends after its page; no other starts.
    void stop();
    bool isRunning() const { return m_running; }

    static constexpr int pageSize = 100;

signals:
    // Vectors written by a pass, a page at a time (GUI thread).
    void refreshed(const QList<DatabaseManager::EmbeddingUpdate>& updates);
    // The pass ended: every row has a vector of the current model, or the
    // model could not be loaded, or the store refused the write.
    void finished(int rowsRefreshed);

private:
    DatabaseManager& m_store;
    EmbeddingService& m_embedding;
    Workers::Pool& m_pool;
    bool m_running = false;
    bool m_completed = false;
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
};
