#pragma once

#include <QCache>
#include <QImage>
#include <QMutex>
#include <QString>
#include <QUuid>

#include <optional>

// Decoded thumbnails shared by every gallery, keyed by the screenshot's id as
// upper-case UUID text. Holds at most 300 images and evicts the least recently
// used; a caller whose image was evicted decodes it again. Safe from any thread.
class ImageCache
{
public:
    static constexpr int countLimit = 300;

    ImageCache();

    std::optional<QImage> image(const QString& key) const;
    std::optional<QImage> image(const QUuid& id) const;
    void insert(const QString& key, const QImage& image);
    void insert(const QUuid& id, const QImage& image);
    int count() const;

private:
    mutable QMutex m_mutex;
    // Look-ups reorder the cache, hence mutable.
    mutable QCache<QString, QImage> m_cache;
};
