#include "preview/QuickVideoPlayer.h"

#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"
#include "ui/VideoBackend.h"

#include <QAudioOutput>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>
#include <QVideoSink>

#include <utility>

using namespace Qt::StringLiterals;

namespace {
const QColor barGround(0, 0, 0, 170);

QString clockText(qint64 ms)
{
    const qint64 seconds = std::max<qint64>(0, ms / 1000);
    return u"%1:%2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

// Qt Multimedia aborts at the first player it cannot give a backend, so none
// is made where there is none: the still stays, with the controls off.
QuickVideoPlayer::QuickVideoPlayer(const QUrl& source, QWidget* parent)
    : QWidget(parent)
{
    static const bool canPlay = MultimediaVideoBackend::isAvailable();
    setObjectName(u"quickVideoPlayer"_s);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addStretch(1); // the picture, painted

    auto* bar = new QWidget(this);
    m_bar = bar;
    auto* controls = new QHBoxLayout(bar);
    controls->setContentsMargins(10, 6, 10, 6);
    controls->setSpacing(8);
    auto* play = new PlainButton(RoundedBackground{}, QMargins(2, 2, 2, 2), QBoxLayout::LeftToRight, bar);
    m_playSymbol = new SymbolLabel(u"play.fill"_s, 14, Qt::white, play);
    play->contentLayout()->addWidget(m_playSymbol);
    play->setToolTip(u"Play"_s);
    m_playButton = play;
    m_position = new QSlider(Qt::Horizontal, bar);
    m_position->setFocusPolicy(Qt::NoFocus);
    m_time = makeTextLabel(clockText(0), PremiumTheme::systemFont(11), QColor(255, 255, 255, 200), bar);
    controls->addWidget(play);
    controls->addWidget(m_position, 1);
    controls->addWidget(m_time);
    column->addWidget(bar);

    if (!canPlay) {
        bar->setEnabled(false);
        play->setToolTip(u"Video playback is unavailable"_s);
        return;
    }
    m_player = new QMediaPlayer(this);
    m_sink = new QVideoSink(this);
    m_player->setAudioOutput(new QAudioOutput(this));
    m_player->setVideoSink(m_sink);
    m_player->setSource(source);
    // The sink may speak from a thread of the backend; `this` brings the
    // frame to the GUI thread.
    connect(m_sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        m_latest = frame;
        if (!std::exchange(m_frameQueued, true))
            QMetaObject::invokeMethod(this, &QuickVideoPlayer::showLatestFrame, Qt::QueuedConnection);
    });

    connect(m_playButton, &QAbstractButton::clicked, this, [this] {
        if (m_player->playbackState() == QMediaPlayer::PlayingState)
            m_player->pause();
        else
            m_player->play();
    });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &QuickVideoPlayer::showState);
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        m_position->setRange(0, int(duration));
        showPosition();
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, &QuickVideoPlayer::showPosition);
    connect(m_position, &QSlider::sliderMoved, m_player, [this](int ms) { m_player->setPosition(ms); });
}

QuickVideoPlayer::~QuickVideoPlayer()
{
    if (m_player)
        m_player->stop();
}

void QuickVideoPlayer::setPoster(const QImage& poster)
{
    m_poster = poster;
    update();
}

const QImage& QuickVideoPlayer::picture() const
{
    return m_frame.isNull() ? m_poster : m_frame;
}

QRectF QuickVideoPlayer::pictureRect() const
{
    const QRectF area(0, 0, width(), height() - m_bar->height());
    const QSizeF size = picture().deviceIndependentSize();
    if (size.isEmpty() || area.isEmpty())
        return {};
    QRectF target(QPointF(0, 0), size.scaled(area.size(), Qt::KeepAspectRatio));
    target.moveCenter(area.center());
    return target;
}

QSizeF QuickVideoPlayer::fittingSize(const QSizeF& picture, const QSizeF& available) const
{
    const qreal controls = m_bar->sizeHint().height();
    const QSizeF room(available.width(), std::max<qreal>(0, available.height() - controls));
    if (picture.isEmpty() || room.isEmpty())
        return available;
    const QSizeF fitted = picture.scaled(room, Qt::KeepAspectRatio);
    return {fitted.width(), fitted.height() + controls};
}

void QuickVideoPlayer::showLatestFrame()
{
    m_frameQueued = false;
    const QVideoFrame frame = std::exchange(m_latest, QVideoFrame());
    if (!frame.isValid())
        return;
    m_frame = frame.toImage();
    update();
}

void QuickVideoPlayer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipPath(RoundedBackground::path(rect(), cornerRadius));
    painter.fillRect(rect(), Qt::black);
    if (const QRectF target = pictureRect(); !target.isEmpty())
        painter.drawImage(target, picture());
    painter.fillRect(m_bar->geometry(), barGround);
}

void QuickVideoPlayer::showState()
{
    const bool playing = m_player->playbackState() == QMediaPlayer::PlayingState;
    m_playSymbol->setSymbolName(playing ? u"pause.fill"_s : u"play.fill"_s);
    m_playButton->setToolTip(playing ? u"Pause"_s : u"Play"_s);
}

void QuickVideoPlayer::showPosition()
{
    if (!m_position->isSliderDown())
        m_position->setValue(int(m_player->position()));
    m_time->setText(clockText(m_player->position()) + u" / "_s + clockText(m_player->duration()));
}

void QuickVideoPlayer::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void QuickVideoPlayer::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}
