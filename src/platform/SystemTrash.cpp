#include "platform/Trash.h"

#include "core/Logger.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {
// Whether the record's Path value is `original` as it stands, unescaped
// (absolute in the home Trash, relative to its top folder in another).
bool isUnescapedFormOf(const QString& value, const QString& original)
{
    return value == original || (!value.startsWith(u'/') && original.endsWith(u'/' + value));
}

// The Trash format escapes the original path as in URLs ("/" kept), and file
// managers restore by unescaping it; Qt writes it unescaped, so a name holding
// "%" or a character no URL may hold would come back under another name, or
// not at all. The record is replaced whole, so that it is never seen half
// written.
SafeFile::Outcome escapeRecordedPath(const QString& trashedPath, const QString& originalPath)
{
    const QFileInfo trashed(trashedPath);
    const QString record =
        QDir::cleanPath(trashed.absolutePath() + u"/../info/"_s + trashed.fileName() + u".trashinfo"_s);
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly))
        return SafeFile::Outcome::failed(u"Cannot read "_s + record);
    QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    for (QByteArray& line : lines) {
        if (!line.startsWith("Path="))
            continue;
        const QString value = QString::fromUtf8(line.sliced(5));
        const QByteArray escaped = QUrl::toPercentEncoding(value, "/");
        // A Qt that escapes it already, or a path with nothing to escape.
        if (!isUnescapedFormOf(value, originalPath) || escaped == line.sliced(5))
            return SafeFile::Outcome::done();
        line = "Path=" + escaped;
        return SafeFile::writeAtomically(record, lines.join('\n'));
    }
    return SafeFile::Outcome::failed(u"No original path in "_s + record);
}
} // namespace

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
    // The file is in the Trash either way; only restoring a name that needs
    // escaping may go wrong.
    if (const SafeFile::Outcome escaped = escapeRecordedPath(trashed, info.absoluteFilePath()); !escaped)
        Logger::log(LogLevel::warning, u"General"_s, u"The Trash record keeps an unescaped path"_s,
                    {{u"file"_s, trashed}, {u"error"_s, escaped.error}});
    return {true, trashed, {}};
}
