#include "ui/VideoBackend.h"

#include "core/Console.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibrary>
#include <QMediaPlayer>
#include <QPluginLoader>
#include <QVideoFrame>
#include <QVideoSink>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {
class MultimediaPlayback : public VideoBackend::Playback
{
public:
    MultimediaPlayback(const QUrl& url, VideoBackend::FrameHandler onFrame, VideoBackend::EndHandler onEnd)
        : m_onFrame(std::move(onFrame))
    {
        m_player.setAudioOutput(&m_audio);
        m_player.setVideoSink(&m_sink);
        // The sink may announce frames on a thread of the backend; the
        // connection's context (the sink) brings them to the GUI thread, and
        // only the newest waiting frame is converted.
        QObject::connect(&m_sink, &QVideoSink::videoFrameChanged, &m_sink, [this](const QVideoFrame& frame) {
            m_latest = frame;
            if (!std::exchange(m_deliveryQueued, true))
                QMetaObject::invokeMethod(
                    &m_sink, [this] { deliverLatest(); }, Qt::QueuedConnection);
        });
        QObject::connect(&m_player, &QMediaPlayer::mediaStatusChanged, &m_player,
                         [onEnd = std::move(onEnd)](QMediaPlayer::MediaStatus status) {
                             if (status == QMediaPlayer::EndOfMedia && onEnd)
                                 onEnd();
                         });
        QObject::connect(&m_player, &QMediaPlayer::errorOccurred, &m_player,
                         [url](QMediaPlayer::Error, const QString& message) {
                             Console::printLine(u"❌ Failed to play "_s + url.fileName() + u": "_s + message);
                         });
        m_player.setSource(url);
    }

    ~MultimediaPlayback() override { m_player.stop(); }

    void play() override { m_player.play(); }
    void pause() override { m_player.pause(); }
    qint64 positionMs() const override { return m_player.position(); }

private:
    void deliverLatest()
    {
        m_deliveryQueued = false;
        const QVideoFrame frame = std::exchange(m_latest, QVideoFrame());
        if (m_onFrame && frame.isValid())
            m_onFrame(frame.toImage());
    }

    VideoBackend::FrameHandler m_onFrame;
    QVideoFrame m_latest;
    bool m_deliveryQueued = false;
    // Destroyed in reverse order: the player lets go of sink and output first.
    QAudioOutput m_audio;
    QVideoSink m_sink;
    QMediaPlayer m_player;
};

// Plays nothing: what a player gets when this machine cannot play video.
class SilentPlayback : public VideoBackend::Playback
{
public:
    void play() override {}
    void pause() override {}
    qint64 positionMs() const override { return 0; }
};

// The backends installed as Qt Multimedia plugins, read from the plugins'
// metadata without loading them.
QStringList installedBackends()
{
    QStringList keys;
    for (const QString& path : QCoreApplication::libraryPaths()) {
        const QDir folder(path + u"/multimedia"_s);
        for (const QFileInfo& file : folder.entryInfoList(QDir::Files)) {
            if (!QLibrary::isLibrary(file.fileName()))
                continue;
            const QJsonObject meta = QPluginLoader(file.absoluteFilePath()).metaData();
            if (meta.value(u"IID"_s).toString() != u"org.qt-project.Qt.QPlatformMediaPlugin"_s)
                continue;
            for (const QJsonValue key : meta.value(u"MetaData"_s).toObject().value(u"Keys"_s).toArray())
                keys.append(key.toString());
        }
    }
    return keys;
}
} // namespace

// Qt Multimedia aborts the process at its first player when it finds no
// backend (or not the one QT_MEDIA_BACKEND names), so that is ruled out
// before any player is made.
bool MultimediaVideoBackend::isAvailable()
{
    const QStringList backends = installedBackends();
    const QString chosen = qEnvironmentVariable("QT_MEDIA_BACKEND");
    if (chosen.isEmpty() ? backends.isEmpty() : !backends.contains(chosen))
        return false;
    QMediaPlayer probe;
    return probe.isAvailable();
}

std::unique_ptr<VideoBackend::Playback> MultimediaVideoBackend::open(const QUrl& url, FrameHandler onFrame,
                                                                     EndHandler onEnd)
{
    static const bool available = isAvailable();
    if (!available) {
        static std::atomic_flag told;
        if (!told.test_and_set())
            Console::printLine(u"⚠️ Video playback is unavailable: Qt Multimedia found no backend "
                               "(install the GStreamer plugins or Qt's FFmpeg backend)"_s);
        return std::make_unique<SilentPlayback>();
    }
    return std::make_unique<MultimediaPlayback>(url, std::move(onFrame), std::move(onEnd));
}
