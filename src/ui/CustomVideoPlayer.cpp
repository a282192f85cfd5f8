#include "ui/CustomVideoPlayer.h"

#include "ui/FloatingSymbolButton.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPointer>

using namespace Qt::StringLiterals;

CustomVideoPlayer::CustomVideoPlayer(const QUrl& url, VideoBackend& backend, QWidget* parent)
    : QWidget(parent)
    , m_url(url)
    , m_backend(backend)
    , m_button(new FloatingSymbolButton(u"play.fill"_s, 40, 30, this))
{
    setObjectName(u"videoPlayer"_s);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_button->setObjectName(u"playPause"_s);
    connect(m_button, &QAbstractButton::clicked, this, &CustomVideoPlayer::togglePlayback);
    syncButton();
}

CustomVideoPlayer::~CustomVideoPlayer() = default;

CustomVideoPlayer* CustomVideoPlayer::showFor(CustomVideoPlayer* existing, const QUrl& url, VideoBackend& backend,
                                              QWidget* parent)
{
    CustomVideoPlayer* player = existing;
    if (player) {
        player->setUrl(url);
    } else {
        player = new CustomVideoPlayer(url, backend, parent);
        player->lower();
    }
    player->show();
    return player;
}

void CustomVideoPlayer::setUrl(const QUrl& url)
{
    if (url == m_url)
        return;
    m_url = url;
    if (!m_playback)
        return;
    releasePlayback();
    startPlayback();
}

bool CustomVideoPlayer::isButtonShown() const
{
    return m_button->isShown();
}

QAbstractButton* CustomVideoPlayer::playPauseButton() const
{
    return m_button;
}

QString CustomVideoPlayer::buttonSymbol() const
{
    return m_button->symbolName();
}

void CustomVideoPlayer::togglePlayback()
{
    if (!m_playback)
        return;
    if (m_isPlaying)
        m_playback->pause();
    else
        m_playback->play();
    m_isPlaying = !m_isPlaying;
    syncButton();
}

// A window minimised or restored is not the view leaving or entering the
// screen: only the view's own showing and hiding count.
void CustomVideoPlayer::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous() && !m_playback)
        startPlayback();
}

void CustomVideoPlayer::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        releasePlayback();
}

void CustomVideoPlayer::startPlayback()
{
    QPointer<CustomVideoPlayer> self(this);
    m_playback = m_backend.open(
        m_url,
        [self](const QImage& frame) {
            if (!self)
                return;
            self->m_frame = frame;
            self->update();
        },
        [self] {
            if (self)
                self->reachedEnd();
        });
    m_playback->play();
    m_isPlaying = true;
    syncButton();
}

// A recording played to its end shows the play button, and one click plays
// it again from the beginning.
void CustomVideoPlayer::reachedEnd()
{
    m_isPlaying = false;
    syncButton();
}

// isPlaying keeps its value: a player that was playing shows no button
// while it is away, as before.
void CustomVideoPlayer::releasePlayback()
{
    if (!m_playback)
        return;
    m_playback->pause();
    m_playback.reset();
    m_frame = QImage();
    update();
}

void CustomVideoPlayer::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setShowControls(true);
}

void CustomVideoPlayer::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setShowControls(false);
}

// Only the pointer's coming and going eases the button in and out; play and
// pause change it at once.
void CustomVideoPlayer::setShowControls(bool show)
{
    m_showControls = show;
    syncButton(buttonFadeMs);
}

void CustomVideoPlayer::syncButton(int durationMs)
{
    m_button->setSymbolName(m_isPlaying ? u"pause.fill"_s : u"play.fill"_s);
    m_button->setShown(m_showControls || !m_isPlaying, durationMs);
}

void CustomVideoPlayer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize size = m_button->sizeHint();
    m_button->setGeometry(QRect(QPoint(0, 0), size).translated(rect().center() - QRect(QPoint(0, 0), size).center()));
}

void CustomVideoPlayer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_frame.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QRectF target(QPointF(0, 0), QSizeF(m_frame.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio));
    target.moveCenter(QRectF(rect()).center());
    painter.drawImage(target, m_frame);
}
