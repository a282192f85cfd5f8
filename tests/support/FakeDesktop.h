#pragma once

#include "platform/DesktopIntegration.h"

#include <QList>
#include <QStringList>

// Records what would have been handed to the desktop.
class FakeDesktop : public DesktopIntegration
{
public:
    QStringList opened;
    QStringList shown;
    QList<QStringList> shownTogether;
    QList<QStringList> copied;
    QList<QStringList> mailed;
    bool openSucceeds = true;
    bool mailSucceeds = true;

    bool openFile(const QString& path) override
    {
        opened.append(path);
        return openSucceeds;
    }
    void showInFileManager(const QString& path) override { shown.append(path); }
    void showFilesInFileManager(const QStringList& paths) override { shownTogether.append(paths); }
    void copyFilesToClipboard(const QStringList& paths) override { copied.append(paths); }
    bool mailFiles(const QStringList& paths) override
    {
        mailed.append(paths);
        return mailSucceeds;
    }
};
