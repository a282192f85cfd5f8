#pragma once

#include "core/Screenshot.h"

#include <QList>
#include <QObject>
#include <QString>

// The live library as its readers see it: the screenshots of the monitored
// folder, newest first, the folder, and whether it can be read, each with its
// change signal (emitted on the GUI thread after the value is stored). The
// folder monitor is the one real source; view models read nothing else of it,
// and tests give them a source of their own.
class LibrarySource : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<Screenshot> screenshots READ screenshots NOTIFY screenshotsChanged)
    Q_PROPERTY(QString monitoredPath READ monitoredPath NOTIFY monitoredPathChanged)
    Q_PROPERTY(bool hasFileAccess READ hasFileAccess NOTIFY hasFileAccessChanged)

public:
    using QObject::QObject;

    virtual const QList<Screenshot>& screenshots() const = 0;
    virtual const QString& monitoredPath() const = 0;
    virtual bool hasFileAccess() const = 0;
    // The folder whose access is held, or empty.
    virtual QString grantedFolder() const = 0;

signals:
    void screenshotsChanged();
    void monitoredPathChanged(const QString& path);
    void hasFileAccessChanged(bool value);
};
