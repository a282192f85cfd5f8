#include "ingest/FolderWalker.h"

#include "core/PathUtils.h"

#include <QFile>

#include <algorithm>
#include <memory>
#include <optional>

#include <dirent.h>

using namespace Qt::StringLiterals;

namespace {
struct DirectoryCloser
{
    void operator()(DIR* directory) const { closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

// `prefix` and the name, when the name as text names the entry exactly:
// decoding must give back the same bytes. An ASCII name, the usual one, is
// copied straight into the path.
std::optional<QString> exactPath(const QString& prefix, const char* raw)
{
    const QByteArrayView bytes(raw);
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return prefix + QLatin1StringView(bytes);
    const QString name = QFile::decodeName(raw);
    if (QFile::encodeName(name) != bytes)
        return std::nullopt;
    return prefix + name;
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

// Whether the name's extension, lower-cased, is listed; an ASCII extension
// costs no copy.
bool hasListedExtension(QStringView name, const QStringList& extensions)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const QStringView extension = dot > 0 ? name.sliced(dot + 1) : QStringView();
    if (!isAscii(extension))
        return extensions.contains(extension.toString().toLower());
    return std::any_of(extensions.cbegin(), extensions.cend(), [extension](const QString& listed) {
        return listed.size() == extension.size() &&
               std::equal(listed.cbegin(), listed.cend(), extension.cbegin(),
                          [](QChar a, QChar b) { return a.unicode() == asciiLower(b.unicode()); });
    });
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

bool FolderWalker::Result::isInUnreadableFolder(const QString& path) const
{
    return std::any_of(unreadable.cbegin(), unreadable.cend(),
                       [&path](const QString& folder) { return isInside(path, folder); });
}

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
        const int descriptor = dirfd(handle.get());
        const QString prefix = directory == u"/" ? directory : directory + u'/';
        QStringList subdirectories;
        while (const dirent* entry = readdir(handle.get())) {
            if (entry->d_name[0] == '.') // hidden, and "." and ".."
                continue;
            std::optional<QString> path = exactPath(prefix, entry->d_name);
            if (!path) {
                result.skippedNames.append(prefix + readableName(entry->d_name));
                continue;
            }
            if (entry->d_type == DT_DIR) {
                subdirectories.append(std::move(*path));
                continue;
            }
            // Only what may be listed costs a stat (a name of unknown kind
            // may be a folder).
            const bool listable = hasListedExtension(QStringView(*path).sliced(prefix.size()), extensions);
            if (!listable && entry->d_type != DT_UNKNOWN)
                continue;
            const FileEntry found = FileEntry::at(descriptor, entry->d_name);
            if (found.kind == FileEntry::Kind::directory) {
                subdirectories.append(std::move(*path));
            } else if (found.kind == FileEntry::Kind::regularFile && listable) {
                result.files.append(std::move(*path));
                result.identities.append(found.identity);
            }
        }
        std::reverse(subdirectories.begin(), subdirectories.end());
        pending.append(subdirectories);
    }
    return result;
}
