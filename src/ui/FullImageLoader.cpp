#include "ui/FullImageLoader.h"

#include "core/GuiThread.h"
#include "core/ImageLoader.h"
#include "core/Workers.h"

#include <QPointer>

FullImageLoader::FullImageLoader(Workers& workers, QObject* parent)
    : QObject(parent)
    , m_workers(workers)
    , m_decoder([](const QString& path) { return ImageLoader::load(path); })
{}

FullImageLoader::~FullImageLoader() = default;

void FullImageLoader::setDecoder(Decoder decoder)
{
    m_decoder = std::move(decoder);
}

void FullImageLoader::request(const QString& path)
{
    ++m_request;
    m_wanted = path;
    m_hasWaiting = true;
    startWaiting();
}

void FullImageLoader::cancel()
{
    ++m_request;
    m_wanted.reset();
    m_hasWaiting = false;
}

void FullImageLoader::startWaiting()
{
    if (m_isDecoding || !m_hasWaiting || !m_wanted)
        return;
    m_hasWaiting = false;
    m_isDecoding = true;
    // The worker posts through a guarded pointer: a loader gone by then
    // receives nothing.
    m_workers.thumbnails().start([self = QPointer(this), request = m_request, path = *m_wanted, decoder = m_decoder] {
        const QImage image = decoder(path);
        runOnGuiThread([self, request, path, image] {
            if (self)
                self->finished(request, path, image);
        });
    });
}

void FullImageLoader::finished(quint64 request, const QString& path, const QImage& image)
{
    m_isDecoding = false;
    if (request == m_request && m_wanted) {
        m_wanted.reset();
        Q_EMIT loaded(path, image);
    }
    startWaiting();
}
