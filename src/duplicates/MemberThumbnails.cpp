#include "duplicates/MemberThumbnails.h"

#include "core/GuiThread.h"

#include <QPointer>

MemberThumbnails::MemberThumbnails(QSizeF targetSize, int keep, Workers::Pool& pool, QObject* parent)
    : QObject(parent)
    , m_targetSize(targetSize)
    , m_pool(pool)
    , m_generator([](const Screenshot& screenshot, QSizeF size) { return screenshot.generateThumbnail(size); })
    , m_images(keep)
{}

MemberThumbnails::~MemberThumbnails() = default;

void MemberThumbnails::setGenerator(Generator generator)
{
    m_generator = std::move(generator);
}

std::optional<QImage> MemberThumbnails::request(const Screenshot& screenshot)
{
    if (const QImage* image = m_images.object(screenshot.id))
        return *image;
    if (m_running.contains(screenshot.id))
        return std::nullopt;
    m_running.insert(screenshot.id);
    // The worker posts through a guarded pointer: renditions gone by then
    // receive nothing, and closing a preview never waits for a decode.
    m_pool.start([self = QPointer(this), screenshot, size = m_targetSize, generate = m_generator] {
        const QImage image = generate(screenshot, size);
        runOnGuiThread([self, id = screenshot.id, image] {
            if (self)
                self->finished(id, image);
        });
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
