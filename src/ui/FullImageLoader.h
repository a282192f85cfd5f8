#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class Workers;

// Whole images for the previews, decoded off the GUI thread one at a time on
// the workers' thumbnail pool. Only the newest request matters: one made
// while another decodes waits for it (taking the place of any request still
// waiting), and a result is announced only when it answers the newest
// request, so an older file finishing late never replaces the newer one.
class FullImageLoader : public QObject
{
    Q_OBJECT

public:
    // Runs on a worker thread; a null image means unreadable.
    using Decoder = std::function<QImage(const QString& path)>;

    explicit FullImageLoader(Workers& workers, QObject* parent = nullptr);
    ~FullImageLoader() override;

    // ImageLoader::load unless replaced.
    void setDecoder(Decoder decoder);

    // Forgets earlier requests and decodes `path`.
    void request(const QString& path);
    // Forgets every request: nothing more is announced until the next one.
    void cancel();
    // A request is waiting for its result.
    bool isLoading() const { return m_wanted.has_value(); }

signals:
    // The newest request's image; null when the file cannot be decoded.
    void loaded(const QString& path, const QImage& image);

private:
    void startWaiting();
    void finished(quint64 request, const QString& path, const QImage& image);

    Workers& m_workers;
    Decoder m_decoder;
    quint64 m_request = 0;
    std::optional<QString> m_wanted;
    bool m_isDecoding = false;
    bool m_hasWaiting = false;
};
