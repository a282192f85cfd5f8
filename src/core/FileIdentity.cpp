#include "core/FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

std::optional<FileIdentity> FileIdentity::of(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat own
    {};
    if (::lstat(native.constData(), &own) != 0)
        return std::nullopt;
    struct stat content = own;
    if (S_ISLNK(own.st_mode) && ::stat(native.constData(), &content) != 0)
        return std::nullopt;
    if (!S_ISREG(content.st_mode))
        return std::nullopt;
    return FileIdentity{quint64(own.st_dev), quint64(own.st_ino), qint64(content.st_size),
                        qint64(content.st_mtim.tv_sec) * 1000 + content.st_mtim.tv_nsec / 1'000'000};
}
