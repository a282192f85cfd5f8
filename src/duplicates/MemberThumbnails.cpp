#include "duplicates/MemberThumbnails.h"

#include <QThread>

#include <algorithm>

MemberThumbnails::MemberThumbnails(QSizeF targetSize, int keep, QObject* parent)
    : QObject(parent)
    , m_targetSize(targetSize)
    , m_images(keep)
{
    m_pool.setMaxThreadCount(std::clamp(QThread::idealThreadCount() / 2, 1, 4));
}

MemberThumbnails::~MemberThumbnails()
{
    m_pool.clear();
    m_pool.waitForDone();
}

std::optional<QImage> MemberThumbnails::request(const Screenshot& screenshot)
{
    if (const QImage* image = m_images.object(screenshot.id))
        return *image;
    if (m_running.contains(screenshot.id))
        return std::nullopt;
    m_running.insert(screenshot.id);
    m_pool.start([this, screenshot, size = m_targetSize] {
        const QImage image = screenshot.generateThumbnail(size);
        QMetaObject::invokeMethod(
            this, [this, id = screenshot.id, image] { finished(id, image); }, Qt::QueuedConnection);
    });
    return std::nullopt;
}

void MemberThumbnails::forget(const QUuid& id)
{
    m_images.remove(id);
}

void MemberThumbnails::finished(const QUuid& id, const QImage& image)
{
    m_running.remove(id);
    if (image.isNull()) {
        emit failed(id);
        return;
    }
    m_images.insert(id, new QImage(image));
    emit ready(id, image);
}
