#pragma once

#include "core/LibrarySource.h"

#include <utility>

// A library that tests publish by hand: each setter stores and announces, as
// the folder monitor does on the GUI thread.
class FakeLibrary : public LibrarySource
{
public:
    const QList<Screenshot>& screenshots() const override { return m_screenshots; }
    const QString& monitoredPath() const override { return m_monitoredPath; }
    bool hasFileAccess() const override { return m_hasFileAccess; }
    QString grantedFolder() const override { return m_grantedFolder; }

    void setScreenshots(QList<Screenshot> screenshots)
    {
        m_screenshots = std::move(screenshots);
        Q_EMIT screenshotsChanged();
    }
    void setMonitoredPath(const QString& path)
    {
        m_monitoredPath = path;
        Q_EMIT monitoredPathChanged(path);
    }
    void setHasFileAccess(bool value)
    {
        m_hasFileAccess = value;
        Q_EMIT hasFileAccessChanged(value);
    }
    void setGrantedFolder(const QString& folder) { m_grantedFolder = folder; }

private:
    QList<Screenshot> m_screenshots;
    QString m_monitoredPath;
    bool m_hasFileAccess = false;
    QString m_grantedFolder;
};
