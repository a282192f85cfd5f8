#include "ingest/FolderWalker.h"

#include "core/PathUtils.h"

#include <QFile>

#include <algorithm>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>

namespace {
struct DirectoryCloser
{
    void operator()(DIR* directory) const { closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

enum class EntryKind { directory, regularFile, other };

// A symbolic link counts as the regular file it leads to; a link to a folder
// is never followed (a link back up the tree would list files twice or never
// end).
EntryKind linkTargetKind(const QString& path)
{
    struct stat info
    {};
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return EntryKind::other;
    return S_ISREG(info.st_mode) ? EntryKind::regularFile : EntryKind::other;
}

// Most file systems report an entry's kind with its name; the others cost
// one lstat.
EntryKind kindOf(const dirent& entry, const QString& prefix, const QString& name)
{
    switch (entry.d_type) {
    case DT_DIR:
        return EntryKind::directory;
    case DT_REG:
        return EntryKind::regularFile;
    case DT_LNK:
        return linkTargetKind(prefix + name);
    case DT_UNKNOWN:
        break;
    default:
        return EntryKind::other;
    }
    struct stat info
    {};
    if (lstat(QFile::encodeName(prefix + name).constData(), &info) != 0)
        return EntryKind::other;
    if (S_ISDIR(info.st_mode))
        return EntryKind::directory;
    if (S_ISLNK(info.st_mode))
        return linkTargetKind(prefix + name);
    return S_ISREG(info.st_mode) ? EntryKind::regularFile : EntryKind::other;
}

QString withoutTrailingSlashes(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}
} // namespace

FolderWalker::Result FolderWalker::walk(const QString& folder, const QStringList& extensions)
{
    Result result;
    const QString root = withoutTrailingSlashes(folder);
    if (root.isEmpty())
        return result;

    // Depth first, each folder's files before its sub-folders' files.
    QStringList pending{root};
    while (!pending.isEmpty()) {
        const QString directory = pending.takeLast();
        const DirectoryHandle handle(opendir(QFile::encodeName(directory).constData()));
        if (!handle) {
            result.unreadable.append(directory);
            continue;
        }
        result.directories.append(directory);
        const QString prefix = directory == u"/" ? directory : directory + u'/';
        QStringList subdirectories;
        while (const dirent* entry = readdir(handle.get())) {
            if (entry->d_name[0] == '.') // hidden, and "." and ".."
                continue;
            const QString name = QFile::decodeName(entry->d_name);
            const EntryKind kind = kindOf(*entry, prefix, name);
            if (kind == EntryKind::directory)
                subdirectories.append(prefix + name);
            else if (kind == EntryKind::regularFile && extensions.contains(pathExtension(name).toLower()))
                result.files.append(prefix + name);
        }
        std::reverse(subdirectories.begin(), subdirectories.end());
        pending.append(subdirectories);
    }
    return result;
}
