#include "ingest/FolderTreeWatcher.h"

#include <QFile>
#include <QSet>

#include <array>

#include <sys/vfs.h>

FolderTreeWatcher::FolderTreeWatcher()
{
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_watcher, [this] { m_changed = true; });
}

bool FolderTreeWatcher::watch(const QStringList& directories)
{
    const QStringList watchedList = m_watcher.directories();
    const QSet<QString> watched(watchedList.begin(), watchedList.end());
    const QSet<QString> wanted(directories.begin(), directories.end());

    QStringList gone;
    for (const QString& directory : watched) {
        if (!wanted.contains(directory))
            gone.append(directory);
    }
    QStringList added;
    for (const QString& directory : wanted) {
        if (!watched.contains(directory))
            added.append(directory);
    }
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);
    const QStringList failed = added.isEmpty() ? QStringList() : m_watcher.addPaths(added);
    // A folder's contents may have changed between the walk that listed it
    // and its watch starting; one more walk covers that gap.
    if (!added.isEmpty())
        m_changed = true;
    m_isComplete = failed.isEmpty() && !directories.isEmpty();
    return m_isComplete;
}

void FolderTreeWatcher::clear()
{
    const QStringList watched = m_watcher.directories();
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
    m_isComplete = false;
    m_changed = true;
}

bool FolderTreeWatcher::takeChange()
{
    return std::exchange(m_changed, false);
}

bool FolderTreeWatcher::hasReliableNotices(const QString& folder)
{
    // Magic numbers of statfs(2): NFS, SMB, CIFS, SMB2, FUSE, 9P, Ceph, AFS,
    // Coda, NCP.
    static constexpr std::array<unsigned long, 10> remoteKinds{
        0x6969, 0x517B, 0xFF534D42, 0xFE534D42, 0x65735546, 0x01021997, 0x00C36400, 0x5346414F, 0x73757245, 0x564C};
    struct statfs info
    {};
    if (statfs(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    const auto kind = static_cast<unsigned long>(info.f_type);
    return std::find(remoteKinds.begin(), remoteKinds.end(), kind) == remoteKinds.end();
}
