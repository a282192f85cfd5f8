#include "ui/PreviewMedia.h"

#include "core/LargeBlocks.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/FullImageLoader.h"

#include <QUrl>

PreviewMedia::PreviewMedia(QWidget& host, VideoBackend& video, Workers& workers)
    : QObject(&host)
    , m_host(host)
    , m_videoBackend(video)
    , m_loader(new FullImageLoader(workers, this))
{
    connect(m_loader, &FullImageLoader::loaded, this, &PreviewMedia::imageLoaded);
}

// The picture goes with the preview; what decoding it left with the
// allocator goes once browsing pauses.
PreviewMedia::~PreviewMedia()
{
    returnFreePagesWhenQuiet();
}

bool PreviewMedia::setScreenshot(const std::optional<Screenshot>& screenshot)
{
    const bool another = screenshot.has_value() != m_screenshot.has_value() ||
                         (screenshot && m_screenshot && screenshot->id != m_screenshot->id);
    m_screenshot = screenshot;
    if (another)
        load();
    return another;
}

void PreviewMedia::setAllScreenshots(QList<Screenshot> screenshots)
{
    m_allScreenshots = std::move(screenshots);
}

std::optional<qsizetype> PreviewMedia::position() const
{
    if (!m_screenshot)
        return std::nullopt;
    const qsizetype index = m_allScreenshots.indexOf(*m_screenshot); // by id
    return index < 0 ? std::nullopt : std::optional(index);
}

std::optional<Screenshot> PreviewMedia::previous() const
{
    const auto index = position();
    if (!index || *index == 0)
        return std::nullopt;
    return m_allScreenshots.at(*index - 1);
}

std::optional<Screenshot> PreviewMedia::next() const
{
    const auto index = position();
    if (!index || *index + 1 >= m_allScreenshots.size())
        return std::nullopt;
    return m_allScreenshots.at(*index + 1);
}

// A recording plays in the player at once; a picture is decoded anew each
// time, the previous one gone meanwhile.
void PreviewMedia::load()
{
    m_picture.setImage(QImage());
    m_unreadable = false;
    if (isVideo()) {
        m_loader->cancel();
        m_video =
            CustomVideoPlayer::showFor(m_video, QUrl::fromLocalFile(m_screenshot->filePath), m_videoBackend, &m_host);
        return;
    }
    if (m_video)
        m_video->hide();
    if (m_screenshot)
        m_loader->request(m_screenshot->filePath);
    else
        m_loader->cancel();
}

// A result for another file changes nothing.
void PreviewMedia::imageLoaded(const QString& path, const QImage& image)
{
    if (!m_screenshot || path != m_screenshot->filePath)
        return;
    if (image.isNull()) {
        m_unreadable = true;
        Q_EMIT pictureUnreadable();
        return;
    }
    m_picture.setImage(image);
    Q_EMIT pictureArrived();
}
