#pragma once

#include "platform/FolderAccess.h"

#include <QString>

#include <memory>
#include <optional>

class FolderChooser;
class Settings;

// Access to the monitored folder: restored at launch from the bookmark in the
// settings, asked of the user through the folder chooser, moved to another
// folder, and given up. Holds the granted folder as an object that releases
// its access when replaced or dropped. GUI thread only.
class FolderAccessController
{
public:
    static inline const QString folderBookmarkKey = QStringLiteral("folderBookmark");

    // What the controller changes in the monitor that owns it.
    class Host
    {
    public:
        virtual const QString& monitoredPath() const = 0;
        // Saves the path and restarts monitoring.
        virtual void setMonitoredPath(const QString& path) = 0;
        virtual bool hasFileAccess() const = 0;
        virtual void setHasFileAccess(bool value) = 0;
        // A valid folder replaces the monitored one: whatever runs for the
        // old one stops and its progress is cleared.
        virtual void prepareFolderChange() = 0;

    protected:
        ~Host() = default;
    };

    FolderAccessController(Host& host, Settings& settings);
    ~FolderAccessController();

    void setFolderChooser(std::unique_ptr<FolderChooser> chooser);

    // From the stored bookmark; false (with the reason on the console) when
    // there is none or it no longer leads to a readable folder.
    bool restore();
    // Shows the chooser unless a request runs or access is held already.
    void request();
    void changeFolder(const QString& path);
    // Lets go of the folder's access and its stored bookmark: the folder
    // counts as never chosen.
    void release();

    QString grantedPath() const { return m_granted ? m_granted->path() : QString(); }
    // Whether the user chose `folder`: its access is held, or its bookmark is
    // stored (the chooser's answer and a change of folder store one before
    // monitoring starts; forgetting the folder removes it).
    bool isGranted(const QString& folder) const;
    bool isRequesting() const { return m_isRequesting; }

private:
    void printPermissionDiagnostics(const QString& folder, const QString& area);

    Host& m_host;
    Settings& m_settings;
    std::unique_ptr<FolderChooser> m_chooser;
    std::optional<GrantedFolder> m_granted;
    bool m_isRequesting = false;
};
