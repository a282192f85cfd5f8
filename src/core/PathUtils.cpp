#include "core/PathUtils.h"

namespace {
QStringView withoutTrailingSlashes(QStringView folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}
} // namespace

bool isInside(QStringView path, QStringView folder)
{
    folder = withoutTrailingSlashes(folder);
    if (folder.isEmpty())
        return false;
    if (!path.startsWith(folder))
        return false;
    if (path.size() == folder.size() || folder == u"/")
        return true;
    return path.at(folder.size()) == u'/';
}

QString pathExtension(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return {};
    return name.mid(dot + 1).toString();
}
