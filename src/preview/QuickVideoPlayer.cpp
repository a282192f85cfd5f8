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
#include <QSlider>
#include <QVBoxLayout>
#include <QVideoWidget>

using namespace Qt::StringLiterals;

namespace {
QString clockText(qint64 ms)
{
    const qint64 seconds = std::max<qint64>(0, ms / 1000);
    return u"%1:%2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

// Qt Multimedia aborts at the first player or video widget it cannot give a
// backend, so neither is made where there is none: the picture stays black.
QuickVideoPlayer::QuickVideoPlayer(const QUrl& source, QWidget* parent)
    : QWidget(parent)
{
    static const bool canPlay = MultimediaVideoBackend::isAvailable();
    setObjectName(u"quickVideoPlayer"_s);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    QVideoWidget* video = canPlay ? new QVideoWidget(this) : nullptr;
    if (video) {
        video->setAspectRatioMode(Qt::KeepAspectRatio);
        column->addWidget(video, 1);
    } else {
        auto* black = new QWidget(this);
        black->setAutoFillBackground(true);
        QPalette dark = black->palette();
        dark.setColor(QPalette::Window, Qt::black);
        black->setPalette(dark);
        column->addWidget(black, 1);
    }

    auto* bar = new QWidget(this);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 0, 170));
    bar->setPalette(palette);
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

    if (!video) {
        bar->setEnabled(false);
        play->setToolTip(u"Video playback is unavailable"_s);
        return;
    }
    m_player = new QMediaPlayer(this);
    m_player->setAudioOutput(new QAudioOutput(this));
    m_player->setVideoOutput(video);
    m_player->setSource(source);

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
