#pragma once

#include "ui/VideoBackend.h"

#include <QStringList>

#include <memory>

// Records what players ask of their playbacks, one line per call in order:
// "open a.mp4", "play a.mp4", "pause a.mp4", "release a.mp4". A test may
// hand the newest playback a picture with showFrame(), or take it to the end
// of its file with reachEnd().
class FakeVideoBackend : public VideoBackend
{
public:
    QStringList calls;

    std::unique_ptr<Playback> open(const QUrl& url, FrameHandler onFrame, EndHandler onEnd) override
    {
        calls.append(QStringLiteral("open ") + url.fileName());
        m_onFrame = std::move(onFrame);
        m_onEnd = std::move(onEnd);
        return std::make_unique<FakePlayback>(*this, url.fileName());
    }

    void showFrame(const QImage& frame)
    {
        if (m_onFrame)
            m_onFrame(frame);
    }

    void reachEnd()
    {
        if (m_onEnd)
            m_onEnd();
    }

private:
    class FakePlayback : public Playback
    {
    public:
        FakePlayback(FakeVideoBackend& backend, QString name)
            : m_backend(backend)
            , m_name(std::move(name))
        {}
        ~FakePlayback() override { m_backend.calls.append(QStringLiteral("release ") + m_name); }
        void play() override { m_backend.calls.append(QStringLiteral("play ") + m_name); }
        void pause() override { m_backend.calls.append(QStringLiteral("pause ") + m_name); }
        qint64 positionMs() const override { return 0; }

    private:
        FakeVideoBackend& m_backend;
        QString m_name;
    };

    FrameHandler m_onFrame;
    EndHandler m_onEnd;
};
