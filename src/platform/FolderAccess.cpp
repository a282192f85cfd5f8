#include "platform/FolderAccess.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
void setError(FolderAccess::Error* error, const QString& type, const QString& description)
{
    if (error)
        *error = {type, description};
}

bool canAccess(const QString& path, int mode)
{
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}
} // namespace

std::optional<QByteArray> FolderAccess::createBookmark(const QString& folderPath, Error* error)
{
    const QFileInfo info(folderPath);
    if (!info.isDir()) {
        setError(error, u"FolderNotFound"_s, u"The folder “%1” does not exist."_s.arg(folderPath));
        return std::nullopt;
    }
    return QDir::cleanPath(info.absoluteFilePath()).toUtf8();
}

std::optional<FolderAccess::Resolved> FolderAccess::resolveBookmark(const QByteArray& bookmark, Error* error)
{
    const QString path = QString::fromUtf8(bookmark);
    if (bookmark.isEmpty() || !path.startsWith(u'/') || path.toUtf8() != bookmark) {
        setError(error, u"InvalidBookmark"_s, u"The stored folder bookmark is not readable."_s);
        return std::nullopt;
    }
    if (!QFileInfo(path).isDir()) {
        setError(error, u"FolderNotFound"_s, u"The folder “%1” no longer exists."_s.arg(path));
        return std::nullopt;
    }
    return Resolved{path, false};
}

bool FolderAccess::startAccessing(const QString& folderPath)
{
    const QFileInfo info(folderPath);
    return info.isDir() && canAccess(folderPath, R_OK | X_OK);
}

void FolderAccess::stopAccessing(const QString&) {}

FolderAccess::Permissions FolderAccess::permissionsOf(const QString& path)
{
    Permissions permissions;
    if (!QFileInfo::exists(path))
        return permissions;
    permissions.readable = canAccess(path, R_OK);
    permissions.writable = canAccess(path, W_OK);
    // Removing an entry needs write and search permission on its folder.
    const QString parent = QFileInfo(path).absolutePath();
    permissions.deletable = canAccess(parent, W_OK | X_OK);
    return permissions;
}

std::optional<GrantedFolder> GrantedFolder::start(const QString& folderPath)
{
    if (!FolderAccess::startAccessing(folderPath))
        return std::nullopt;
    return GrantedFolder(folderPath);
}

GrantedFolder::GrantedFolder(QString path)
    : m_path(std::move(path))
{}

GrantedFolder::GrantedFolder(GrantedFolder&& other) noexcept
    : m_path(std::exchange(other.m_path, QString()))
{}

GrantedFolder& GrantedFolder::operator=(GrantedFolder&& other) noexcept
{
    if (this != &other) {
        release();
        m_path = std::exchange(other.m_path, QString());
    }
    return *this;
}

GrantedFolder::~GrantedFolder()
{
    release();
}

void GrantedFolder::release()
{
    if (!m_path.isEmpty())
        FolderAccess::stopAccessing(std::exchange(m_path, QString()));
}
