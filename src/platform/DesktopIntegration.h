#pragma once

#include <QString>
#include <QUrl>

// Hands a file to the desktop: open it in its default application, or show
// it selected in the file manager. The real one talks to the desktop; tests
// put a fake in its place.
class DesktopIntegration
{
public:
    virtual ~DesktopIntegration() = default;

    // Whether the desktop accepted the request.
    virtual bool openFile(const QString& path) = 0;
    // Selects the file in a file manager window; without a file manager that
    // can select, opens the folder that holds it.
    virtual void showInFileManager(const QString& path) = 0;

    // A path as a URL, every character kept ("#" and "%" included).
    static QUrl fileUrl(const QString& path) { return QUrl::fromLocalFile(path); }
};

// QDesktopServices for opening; the freedesktop FileManager1 "ShowItems" call
// on the session bus for showing, falling back to the parent folder when no
// file manager answers.
class SystemDesktopIntegration : public DesktopIntegration
{
public:
    bool openFile(const QString& path) override;
    void showInFileManager(const QString& path) override;
};
