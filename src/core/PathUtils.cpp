#include "core/PathUtils.h"

QStringView withoutTrailingSlashes(QStringView folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

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

QStringView lastPathComponent(QStringView path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

QStringView parentFolder(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringView(u"/") : path.first(slash);
}
