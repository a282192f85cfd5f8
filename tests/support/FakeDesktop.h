#pragma once

#include "platform/DesktopIntegration.h"

#include <QStringList>

// Records what would have been handed to the desktop.
class FakeDesktop : public DesktopIntegration
{
public:
    QStringList opened;
    QStringList shown;
    bool openSucceeds = true;

    bool openFile(const QString& path) override
    {
        opened.append(path);
        return openSucceeds;
    }
    void showInFileManager(const QString& path) override { shown.append(path); }
};
