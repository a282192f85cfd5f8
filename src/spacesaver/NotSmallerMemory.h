#pragma once

#include "platform/SafeFile.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <future>

class QThreadPool;

// The images whose HEIC renditions came out no smaller, by encoder quality,
// kept in a small file of the data folder so that a restart does not promise
// their savings again. Each is remembered as it was then; once it changes it
// is worth another try. The file is only a memory: one that cannot be read
// is taken as empty, and one that cannot be written costs a retry later.
// Used on the GUI thread; the file is written on `writes`, which runs one
// task at a time, so writes land in the order they were made.
class NotSmallerMemory : public QObject
{
    Q_OBJECT

public:
    // Images found no smaller, by path, as they were then.
    using Files = QHash<QString, SafeFile::FileStamp>;

    static inline const QString fileName = QStringLiteral("space_saver_not_smaller.json");

    // An empty folder keeps the memory for this session only.
    NotSmallerMemory(const QString& dataFolder, QThreadPool& writes, QObject* parent = nullptr);
    // Waits for the last write.
    ~NotSmallerMemory() override;

    const QString& path() const { return m_path; }
    // By encoder quality (0 to 100).
    Files at(int quality) const { return m_byQuality.value(quality); }
    // Adds `files` at `quality` and writes the file when that changed it.
    void remember(int quality, const Files& files);

private:
    void load();
    void save();

    QString m_path;
    QHash<int, Files> m_byQuality;
    QThreadPool& m_writes;
    // Not a QFuture: waiting on one may run a queued write on the waiting
    // thread, ahead of the write still under way.
    std::shared_future<void> m_lastWrite;
};
