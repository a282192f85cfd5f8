#pragma once

#include "core/Screenshot.h"
#include "core/Workers.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSizeF>
#include <QUuid>

#include <functional>
#include <optional>

// Renditions of duplicate members at one size, made off the GUI thread by the
// screenshot's own thumbnail generator and kept for the screen's life (the
// most recent `keep` of them). Whoever asked listens to ready() for its id.
// Going away never waits: a rendition still being made is dropped when done.
class MemberThumbnails : public QObject
{
    Q_OBJECT

public:
    // Runs on a worker thread; a null image is a failure.
    using Generator = std::function<QImage(const Screenshot&, QSizeF)>;

    // Renditions are made on `pool`, which outlives this.
    MemberThumbnails(QSizeF targetSize, int keep, Workers::Pool& pool, QObject* parent = nullptr);
    ~MemberThumbnails() override;

    // Screenshot::generateThumbnail unless replaced.
    void setGenerator(Generator generator);

    // The rendition when it is ready; otherwise starts making it (once at a
    // time per id) and returns nothing.
    std::optional<QImage> request(const Screenshot& screenshot);
    // Forgets a rendition, so that the next request makes it again.
    void forget(const QUuid& id);

signals:
    void ready(const QUuid& id, const QImage& image);
    // The file gave no image.
    void failed(const QUuid& id);

private:
    void finished(const QUuid& id, const QImage& image);

    QSizeF m_targetSize;
    Workers::Pool& m_pool;
    Generator m_generator;
    QCache<QUuid, QImage> m_images;
    QSet<QUuid> m_running;
};
