#pragma once

#include "core/Screenshot.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSizeF>
#include <QUuid>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class ImageCache;
class Workers;

// Thumbnails for a view that shows many screenshots at once: a cache hit is
// answered at once; a miss queues one generation off the GUI thread. The
// newest request runs first, an id is generated at most once at a time, and
// requests the view no longer wants are dropped before they start. Results
// are stored in the cache on the GUI thread and announced by id.
//
// A failed id is not asked again while the view keeps wanting it (no retry
// on every repaint); once it is no longer wanted, the next request retries.
// Results that arrive after reset() or after the loader is gone are dropped.
class ThumbnailLoader : public QObject
{
    Q_OBJECT

public:
    // Runs on a worker thread; a null image is a failure.
    using Generator = std::function<QImage(const Screenshot&, QSizeF)>;

    // Generations run on the workers' thumbnail pool.
    ThumbnailLoader(ImageCache& cache, QSizeF targetSize, Workers& workers, QObject* parent = nullptr);
    ~ThumbnailLoader() override;

    // Screenshot::generateThumbnail unless replaced.
    void setGenerator(Generator generator);
    // Generations running at once; the thumbnail pool's threads by default.
    void setMaxRunning(int count);
    int maxRunning() const { return m_maxRunning; }
    QSizeF targetSize() const { return m_targetSize; }
    ImageCache& cache() const { return m_cache; }

    // The cached thumbnail; on a miss, queues its generation (unless it is
    // queued, running, or failed while wanted) and returns nothing.
    std::optional<QImage> request(const Screenshot& screenshot);
    // Only these ids are still wanted: queued requests for others are
    // dropped, and their failures forgotten.
    void retainOnly(const QSet<QUuid>& wanted);
    // Forgets every request and failure; running generations are ignored.
    void reset();

    int queuedCount() const { return int(m_queue.size()); }
    int runningCount() const { return int(m_running.size()); }
    bool hasFailed(const QUuid& id) const { return m_failed.contains(id); }
    bool isIdle() const { return m_queue.empty() && m_running.isEmpty(); }

signals:
    void thumbnailReady(const QUuid& id, const QImage& image);
    void thumbnailFailed(const QUuid& id);

private:
    struct Mailbox;

    void startQueued();
    void finished(quint64 generation, const QUuid& id, const QImage& image);

    ImageCache& m_cache;
    Workers& m_workers;
    QSizeF m_targetSize;
    Generator m_generator;
    int m_maxRunning;
    quint64 m_generation = 0;
    std::deque<Screenshot> m_queue; // newest at the front
    QSet<QUuid> m_queued;
    QSet<QUuid> m_running;
    QSet<QUuid> m_failed;
    std::shared_ptr<Mailbox> m_mailbox;
};
