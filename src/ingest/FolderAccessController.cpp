#include "ingest/FolderAccessController.h"

#include "core/Console.h"
#include "core/GuiThread.h"
#include "core/Settings.h"
#include "platform/FolderChooser.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {
QString flag(bool value)
{
    return value ? u"true"_s : u"false"_s;
}

QString permissionText(const FolderAccess::Permissions& permissions)
{
    return u"R=%1, W=%2, D=%3"_s.arg(flag(permissions.readable), flag(permissions.writable),
                                     flag(permissions.deletable));
}
} // namespace

FolderAccessController::FolderAccessController(Host& host, Settings& settings)
    : m_host(host)
    , m_settings(settings)
{}

FolderAccessController::~FolderAccessController() = default;

void FolderAccessController::setFolderChooser(std::unique_ptr<FolderChooser> chooser)
{
    m_chooser = std::move(chooser);
}

void FolderAccessController::release()
{
    m_granted.reset();
    m_settings.remove(folderBookmarkKey);
}

bool FolderAccessController::isGranted(const QString& folder) const
{
    if (folder.isEmpty())
        return false;
    const QString wanted = QDir::cleanPath(folder);
    if (m_granted && QDir::cleanPath(m_granted->path()) == wanted)
        return true;
    const QByteArray bookmark = m_settings.value(folderBookmarkKey).toByteArray();
    return !bookmark.isEmpty() && QDir::cleanPath(QString::fromUtf8(bookmark)) == wanted;
}

bool FolderAccessController::restore()
{
    Console::printLine(u"🔐 RESTORE: Attempting to restore folder access from bookmark"_s);
    const QByteArray bookmark = m_settings.value(folderBookmarkKey).toByteArray();
    if (bookmark.isEmpty()) {
        Console::printLine(u"⚠️ RESTORE: No bookmark found in the settings"_s);
        return false;
    }
    Console::printLine(u"✅ RESTORE: Bookmark data found (%1 bytes)"_s.arg(bookmark.size()));
    Console::printLine(u"🔍 RESTORE: Resolving bookmark data..."_s);

    FolderAccess::Error error;
    const auto resolved = FolderAccess::resolveBookmark(bookmark, &error);
    if (!resolved) {
        Console::printLine(u"❌ RESTORE: Failed to resolve bookmark: "_s + error.description);
        Console::printLine(u"   → Error type: "_s + error.type);
        Console::printLine(u"   → Error description: "_s + error.description);
        return false;
    }
    Console::printLine(u"✅ RESTORE: Bookmark resolved to: "_s + resolved->path);
    Console::printLine(u"   → Stale: "_s + flag(resolved->isStale));
    if (resolved->isStale) {
        Console::printLine(u"⚠️ RESTORE: Bookmark is stale, needs new permission"_s);
        return false;
    }

    Console::printLine(u"🔓 RESTORE: Attempting to start accessing security-scoped resource..."_s);
    std::optional<GrantedFolder> granted = GrantedFolder::start(resolved->path);
    Console::printLine(u"   → startAccessingSecurityScopedResource() returned: "_s + flag(granted.has_value()));
    if (!granted) {
        Console::printLine(u"❌ RESTORE: startAccessingSecurityScopedResource() returned FALSE"_s);
        return false;
    }

    m_granted = std::move(granted);
    m_host.setMonitoredPath(resolved->path);
    m_host.setHasFileAccess(true);
    Console::printLine(u"✅ RESTORE: Security-scoped access started successfully"_s);
    Console::printLine(u"   → monitoredURL set to: "_s + resolved->path);
    Console::printLine(u"🔍 RESTORE: Testing actual file system permissions..."_s);
    printPermissionDiagnostics(resolved->path, u"RESTORE"_s);
    return true;
}

void FolderAccessController::request()
{
    assertGuiThread();
    if (m_isRequesting || m_host.hasFileAccess() || !m_chooser)
        return;
    m_isRequesting = true;
    Console::printLine(u"🔓 Requesting folder access with READ-WRITE permissions..."_s);
    const std::optional<QString> chosen =
        m_chooser->chooseFolder({u"Grant access to monitor screenshots"_s, u"Grant Access"_s, m_host.monitoredPath()});
    m_isRequesting = false;
    if (!chosen || chosen->isEmpty())
        return;

    FolderAccess::Error error;
    const auto bookmark = FolderAccess::createBookmark(*chosen, &error);
    if (!bookmark) {
        Console::printLine(u"⚠️ Failed to create bookmark: "_s + error.description);
        return;
    }
    m_settings.setValue(folderBookmarkKey, *bookmark);
    const QString path = QString::fromUtf8(*bookmark);
    if (std::optional<GrantedFolder> granted = GrantedFolder::start(path)) {
        m_granted = std::move(granted);
        Console::printLine(u"✅ Started accessing security-scoped resource with READ-WRITE access"_s);
    }
    m_host.setMonitoredPath(path);
    m_host.setHasFileAccess(true);
    Console::printLine(u"✅ File access granted: "_s + path);
    Console::printLine(u"   → Access level: READ-WRITE (delete enabled)"_s);
    Console::printLine(u"🔍 REQUEST: Testing actual file system permissions..."_s);
    printPermissionDiagnostics(path, u"REQUEST"_s);
}

void FolderAccessController::changeFolder(const QString& path)
{
    assertGuiThread();
    if (!QFileInfo::exists(path)) {
        Console::printLine(u"⚠️ Path does not exist: "_s + path);
        return;
    }
    if (!QFileInfo(path).isDir()) {
        Console::printLine(u"⚠️ Not a folder: "_s + path);
        return;
    }
    m_host.prepareFolderChange();
    Console::printLine(u"📂 Changing monitored folder to: "_s + path);
    m_granted.reset();

    FolderAccess::Error error;
    const auto bookmark = FolderAccess::createBookmark(path, &error);
    const auto resolved = bookmark ? FolderAccess::resolveBookmark(*bookmark, &error) : std::nullopt;
    if (bookmark) {
        m_settings.setValue(folderBookmarkKey, *bookmark);
        Console::printLine(u"✅ Saved new folder bookmark with READ-WRITE access"_s);
    }
    if (resolved) {
        if (std::optional<GrantedFolder> granted = GrantedFolder::start(resolved->path)) {
            m_granted = std::move(granted);
            m_host.setHasFileAccess(true);
            Console::printLine(u"✅ Started accessing new security-scoped resource with READ-WRITE"_s);
        } else {
            Console::printLine(u"⚠️ Failed to start accessing new secure resource"_s);
        }
    } else {
        Console::printLine(u"⚠️ Failed to create/save bookmark for new path: "_s + error.description);
    }
    m_host.setMonitoredPath(path);
}

void FolderAccessController::printPermissionDiagnostics(const QString& folder, const QString& area)
{
    Console::printLine(u"   → Folder permissions: "_s + permissionText(FolderAccess::permissionsOf(folder)));
    const QDir directory(folder);
    if (!directory.isReadable()) {
        Console::printLine(u"⚠️ %1: Could not list directory contents: the folder cannot be read"_s.arg(area));
        return;
    }
    const QStringList entries =
        directory.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    if (entries.isEmpty())
        return;
    const FolderAccess::Permissions sample = FolderAccess::permissionsOf(directory.filePath(entries.first()));
    Console::printLine(u"   → Sample file '%1': %2"_s.arg(entries.first(), permissionText(sample)));
    const bool usable = sample.writable && sample.deletable;
    if (area == u"RESTORE"_s) {
        if (!usable)
            Console::printLine(
                u"⚠️ RESTORE: WARNING - Security-scoped access granted but files NOT writable/deletable!"_s);
        return;
    }
    Console::printLine(usable ? u"🎉 REQUEST: Write permissions successfully granted!"_s
                              : u"❌ REQUEST: CRITICAL - canCreateDirectories flag did NOT grant write access!"_s);
}
