#include "ui/ThumbnailLoader.h"

#include "core/Workers.h"

#include "core/ImageCache.h"
#include "core/LargeBlocks.h"
#include "core/Uuid.h"

#include <QMetaObject>
#include <QMutex>
#include <QThreadPool>

#include <algorithm>

// How a worker reaches a loader that may be destroyed meanwhile: the loader
// clears `loader` under the mutex before it dies, and a worker posts its
// result only while holding the mutex, so it never posts to a dead object.
struct ThumbnailLoader::Mailbox
{
    QMutex mutex;
    ThumbnailLoader* loader = nullptr;
};

ThumbnailLoader::ThumbnailLoader(ImageCache& cache, QSizeF targetSize, Workers& workers, QObject* parent)
    : QObject(parent)
    , m_cache(cache)
    , m_workers(workers)
    , m_targetSize(targetSize)
    , m_generator([](const Screenshot& s, QSizeF size) { return s.generateThumbnail(size); })
    , m_maxRunning(workers.thumbnails().maxThreadCount())
    , m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->loader = this;
}

ThumbnailLoader::~ThumbnailLoader()
{
    QMutexLocker lock(&m_mailbox->mutex);
    m_mailbox->loader = nullptr;
}

void ThumbnailLoader::setGenerator(Generator generator)
{
    m_generator = std::move(generator);
}

void ThumbnailLoader::setMaxRunning(int count)
{
    m_maxRunning = std::max(1, count);
    startQueued();
}

std::optional<QImage> ThumbnailLoader::request(const Screenshot& screenshot)
{
    if (auto cached = m_cache.image(screenshot.id))
        return cached;
    const QUuid& id = screenshot.id;
    if (m_running.contains(id) || m_failed.contains(id))
        return std::nullopt;
    if (m_queued.contains(id))
        return std::nullopt;
    m_queue.push_front(screenshot);
    m_queued.insert(id);
    startQueued();
    return std::nullopt;
}

void ThumbnailLoader::retainOnly(const QSet<QUuid>& wanted)
{
    std::erase_if(m_queue, [&](const Screenshot& s) {
        if (wanted.contains(s.id))
            return false;
        m_queued.remove(s.id);
        return true;
    });
    m_failed.removeIf([&](const QUuid& id) { return !wanted.contains(id); });
}

void ThumbnailLoader::reset()
{
    ++m_generation;
    m_queue.clear();
    m_queued.clear();
    m_running.clear();
    m_failed.clear();
}

void ThumbnailLoader::startQueued()
{
    while (!m_queue.empty() && m_running.size() < m_maxRunning) {
        Screenshot next = std::move(m_queue.front());
        m_queue.pop_front();
        m_queued.remove(next.id);
        m_running.insert(next.id);
        m_workers.thumbnails().start([mailbox = m_mailbox, generator = m_generator, size = m_targetSize,
                                      generation = m_generation, screenshot = std::move(next)] {
            const QImage image = generator(screenshot, size);
            QMutexLocker lock(&mailbox->mutex);
            if (ThumbnailLoader* loader = mailbox->loader) {
                QMetaObject::invokeMethod(
                    loader,
                    [loader, generation, id = screenshot.id, image] { loader->finished(generation, id, image); },
                    Qt::QueuedConnection);
            }
        });
    }
}

void ThumbnailLoader::finished(quint64 generation, const QUuid& id, const QImage& image)
{
    if (generation != m_generation)
        return;
    m_running.remove(id);
    if (image.isNull()) {
        m_failed.insert(id);
        Q_EMIT thumbnailFailed(id);
    } else {
        m_cache.insert(id, image);
        Q_EMIT thumbnailReady(id, image);
    }
    startQueued();
    // Each whole picture decoded for a thumbnail left pages on its thread.
    if (isIdle())
        returnFreePagesWhenQuiet();
}
