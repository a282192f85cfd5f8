#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

Trash::Result SystemTrash::moveToTrash(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return {false, {}, u"Not a regular file: "_s + path};

    // Qt puts the Trash below the data folder and, when that folder does not
    // exist yet, may pick a relative path: the file would land in the working
    // directory instead of the Trash.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome) || !QDir().mkpath(dataHome))
        return {false, {}, u"No data folder to hold the Trash"_s};

    QFile file(path);
    if (!file.moveToTrash())
        return {false, {}, file.errorString().isEmpty() ? u"Could not move to the Trash"_s : file.errorString()};
    const QString trashed = file.fileName();
    if (!QDir::isAbsolutePath(trashed)) {
        // Put it back rather than leave it somewhere the user will not look.
        QFile::rename(trashed, path);
        return {false, {}, u"The Trash is not where it should be"_s};
    }
    return {true, trashed, {}};
}
