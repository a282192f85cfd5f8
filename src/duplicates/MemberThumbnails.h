#pragma once

#include "core/Screenshot.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSizeF>
#include <QThreadPool>
#include <QUuid>

#include <optional>

// Renditions of duplicate members at one size, made off the GUI thread by the
// screenshot's own thumbnail generator and kept for the screen's life (the
// most recent `keep` of them). Whoever asked listens to ready() for its id.
class MemberThumbnails : public QObject
{
    Q_OBJECT

public:
    MemberThumbnails(QSizeF targetSize, int keep, QObject* parent = nullptr);
    // Waits for renditions under way.
    ~MemberThumbnails() override;

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
    QCache<QUuid, QImage> m_images;
    QSet<QUuid> m_running;
    QThreadPool m_pool;
};
