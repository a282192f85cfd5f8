#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Hands files to the desktop: open one in its default application, show
// files selected in the file manager, put them on the clipboard or attach
// them to a new mail. The real one talks to the desktop; tests put a fake in
// its place.
class DesktopIntegration
{
public:
    virtual ~DesktopIntegration() = default;

    // Whether the desktop accepted the request.
    virtual bool openFile(const QString& path) = 0;
    // Selects the file in a file manager window; without a file manager that
    // can select, opens the folder that holds it.
    virtual void showInFileManager(const QString& path) = 0;
    // All of them selected at once; without such a file manager, opens the
    // deepest folder that holds them all.
    virtual void showFilesInFileManager(const QStringList& paths) = 0;
    // As a file manager copies files: pasted into a folder they are copied
    // there, pasted as text they are their paths.
    virtual void copyFilesToClipboard(const QStringList& paths) = 0;
    // A new mail in the desktop's mail program with the files attached;
    // whether a mail program could be started.
    virtual bool mailFiles(const QStringList& paths) = 0;

    // A path as a URL, every character kept ("#" and "%" included).
    static QUrl fileUrl(const QString& path) { return QUrl::fromLocalFile(path); }
};

// QDesktopServices for opening; the freedesktop FileManager1 "ShowItems" call
// on the session bus for showing, falling back to the folder when no file
// manager answers; the clipboard as file managers fill it; xdg-email for mail.
class SystemDesktopIntegration : public DesktopIntegration
{
public:
    bool openFile(const QString& path) override;
    void showInFileManager(const QString& path) override;
    void showFilesInFileManager(const QStringList& paths) override;
    void copyFilesToClipboard(const QStringList& paths) override;
    bool mailFiles(const QStringList& paths) override;

    // The deepest folder holding every one of the paths (absolute paths).
    static QString commonFolder(const QStringList& paths);
};
