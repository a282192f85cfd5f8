#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Lasting access to a folder the user chose. The desktop needs no grant to
// read a user's own folder, so a bookmark is simply the folder's absolute path
// in UTF-8, and "starting access" checks that the folder can be read.
namespace FolderAccess {
struct Error
{
    QString type;        // a short name of the kind of failure
    QString description; // what went wrong, for the console
};

struct Resolved
{
    QString path;
    bool isStale = false; // a path bookmark never goes stale
};

// Fails when the path is not an existing folder.
std::optional<QByteArray> createBookmark(const QString& folderPath, Error* error = nullptr);
// Fails when the data is not a path bookmark or the folder is gone.
std::optional<Resolved> resolveBookmark(const QByteArray& bookmark, Error* error = nullptr);
// True when the folder can be read now.
bool startAccessing(const QString& folderPath);
void stopAccessing(const QString& folderPath);

struct Permissions
{
    bool readable = false;
    bool writable = false;
    bool deletable = false; // the entry can be removed from its folder
};
Permissions permissionsOf(const QString& path);
} // namespace FolderAccess

// Access to one folder, held from a successful start until the object goes
// (or is replaced): whoever lets go of it, access ends exactly once.
class GrantedFolder
{
public:
    // Nothing when the folder cannot be accessed now.
    static std::optional<GrantedFolder> start(const QString& folderPath);

    GrantedFolder(GrantedFolder&& other) noexcept;
    GrantedFolder& operator=(GrantedFolder&& other) noexcept;
    GrantedFolder(const GrantedFolder&) = delete;
    GrantedFolder& operator=(const GrantedFolder&) = delete;
    ~GrantedFolder();

    const QString& path() const { return m_path; }

private:
    explicit GrantedFolder(QString path);
    void release();

    QString m_path; // empty once moved from
};
