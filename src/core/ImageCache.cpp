#include "core/ImageCache.h"

#include "core/Uuid.h"

ImageCache::ImageCache()
    : m_cache(countLimit)
{}

std::optional<QImage> ImageCache::image(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    const QImage* cached = m_cache.object(key);
    return cached ? std::optional(*cached) : std::nullopt;
}

std::optional<QImage> ImageCache::image(const QUuid& id) const
{
    return image(uuidText(id));
}

void ImageCache::insert(const QString& key, const QImage& image)
{
    QMutexLocker lock(&m_mutex);
    m_cache.insert(key, new QImage(image)); // the cache owns and deletes it
}

void ImageCache::insert(const QUuid& id, const QImage& image)
{
    insert(uuidText(id), image);
}

int ImageCache::count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_cache.count());
}
