#pragma once

#include <QFileSystemWatcher>
#include <QStringList>

// Change notices for a folder tree (inotify through QFileSystemWatcher), so
// that the change check walks the tree only when something in it may have
// changed: a name created, removed or renamed in any watched folder. Folders
// are watched one by one, as the walks list them. Lives on the GUI thread.
class FolderTreeWatcher
{
public:
    FolderTreeWatcher();

    // Watches exactly these folders from now on. Returns whether all of them
    // are watched; when the system's watch limit is reached, callers cannot
    // rely on the notices and must walk on every check.
    bool watch(const QStringList& directories);
    void clear();

    // Whether every folder of the last watch() is watched.
    bool isComplete() const { return m_isComplete; }
    // Whether anything may have changed since the last call; clears the mark.
    bool takeChange();

    // Whether the file system holding `folder` reports changes to this
    // machine. Network and user-space file systems (NFS, SMB, FUSE and the
    // like) do not report what other machines or processes change there, so
    // their trees must be walked on every check.
    static bool hasReliableNotices(const QString& folder);

private:
    QFileSystemWatcher m_watcher;
    bool m_isComplete = false;
    bool m_changed = true;
};
