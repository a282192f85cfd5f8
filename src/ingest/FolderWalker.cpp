#include "ingest/FolderWalker.h"

#include "core/PathUtils.h"

#include <QFile>

#include <algorithm>
#include <memory>
#include <optional>

#include <dirent.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
struct DirectoryCloser
{
    void operator()(DIR* directory) const { closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

enum class EntryKind { directory, regularFile, other };

struct Entry
{
    EntryKind kind = EntryKind::other;
    FolderWalker::FileIdentity identity;
};

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

// The entry's kind and identity. Most file systems report both with the
// name; the others cost one lstat.
Entry entryOf(const dirent& entry, quint64 device, const QString& path)
{
    const FolderWalker::FileIdentity identity{device, quint64(entry.d_ino)};
    switch (entry.d_type) {
    case DT_DIR:
        return {EntryKind::directory, identity};
    case DT_REG:
        return {EntryKind::regularFile, identity};
    case DT_LNK:
        return {linkTargetKind(path), identity};
    case DT_UNKNOWN:
        break;
    default:
        return {EntryKind::other, identity};
    }
    struct stat info
    {};
    if (lstat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const FolderWalker::FileIdentity stated{quint64(info.st_dev), quint64(info.st_ino)};
    if (S_ISDIR(info.st_mode))
        return {EntryKind::directory, stated};
    if (S_ISLNK(info.st_mode))
        return {linkTargetKind(path), stated};
    return {S_ISREG(info.st_mode) ? EntryKind::regularFile : EntryKind::other, stated};
}

// The name as text when it names the entry exactly: decoding must give back
// the same bytes.
std::optional<QString> exactName(const char* raw)
{
    const QByteArrayView bytes(raw);
    QString name = QFile::decodeName(raw);
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }) ||
        QFile::encodeName(name) == bytes)
        return name;
    return std::nullopt;
}

// Printable text for a name that is not UTF-8: valid parts as they are, every
// other byte as \xNN.
QString readableName(const char* raw)
{
    QString readable;
    QByteArrayView rest(raw);
    while (!rest.isEmpty()) {
        qsizetype valid = rest.size();
        while (valid > 0 && !rest.first(valid).isValidUtf8())
            --valid;
        readable += QString::fromUtf8(rest.first(valid));
        if (valid < rest.size())
            readable += u"\\x"_s + QString::number(uchar(rest[valid]), 16).toUpper().rightJustified(2, u'0');
        rest = rest.sliced(std::min(rest.size(), valid + 1));
    }
    return readable;
}
} // namespace

FolderWalker::Result FolderWalker::walk(const QString& folder, const QStringList& extensions)
{
    Result result;
    const QString root = withoutTrailingSlashes(folder).toString();
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
        struct stat folderInfo
        {};
        const quint64 device = fstat(dirfd(handle.get()), &folderInfo) == 0 ? quint64(folderInfo.st_dev) : 0;
        const QString prefix = directory == u"/" ? directory : directory + u'/';
        QStringList subdirectories;
        while (const dirent* entry = readdir(handle.get())) {
            if (entry->d_name[0] == '.') // hidden, and "." and ".."
                continue;
            const std::optional<QString> name = exactName(entry->d_name);
            if (!name) {
                result.skippedNames.append(prefix + readableName(entry->d_name));
                continue;
            }
            const Entry found = entryOf(*entry, device, prefix + *name);
            if (found.kind == EntryKind::directory) {
                subdirectories.append(prefix + *name);
            } else if (found.kind == EntryKind::regularFile && extensions.contains(pathExtension(*name).toLower())) {
                result.files.append(prefix + *name);
                result.identities.append(found.identity);
            }
        }
        std::reverse(subdirectories.begin(), subdirectories.end());
        pending.append(subdirectories);
    }
    return result;
}
