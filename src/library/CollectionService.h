#pragma once

#include "core/Screenshot.h"
#include "core/SmartCollection.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimeZone>
#include <QUrl>
#include <QUuid>

#include <optional>

// Turns the library into the smart collections the dashboard shows: recent
// days, videos, web domains, sub-folders and user tags, each with its own
// membership test.
//
// The service keeps nothing between calls. A build is a pure function of the
// screenshots and the build context, so it may run on any thread and several
// builds may run at once; the collections it returns may be tested from any
// thread as well.
class CollectionService : public QObject
{
    Q_OBJECT

public:
    struct BuildContext
    {
        // The folder the monitor watches right now; empty gives no folder
        // collections.
        QString monitoredPath;
        // The build time that the "Last 7 Days" and "Last 30 Days" windows
        // count back from; invalid means Clock::now().
        QDateTime now;
        // Whose calendar days the recent-day collections count in; invalid
        // means the system's zone.
        QTimeZone timeZone = QTimeZone::systemTimeZone();
    };

    // Recent days, videos, domains, folders and tags, in that order. The first
    // form builds at Clock::now() in the system's time zone.
    QList<SmartCollection> generateCollections(const QList<Screenshot>& screenshots,
                                               const QString& monitoredPath) const;
    QList<SmartCollection> generateCollections(const QList<Screenshot>& screenshots, const BuildContext& context) const;

    // "Today" and "Yesterday" when they hold a screenshot, then always "Last 7
    // Days" and "Last 30 Days". The two windows count whole calendar days back
    // from `now`; "Today" and "Yesterday" follow the clock whenever tested.
    QList<SmartCollection> recapCollections(const QList<Screenshot>& screenshots, const QDateTime& now,
                                            const QTimeZone& timeZone) const;
    std::optional<SmartCollection> videosCollection(const QList<Screenshot>& screenshots) const;
    // One per web host, most screenshots first, then by name.
    QList<SmartCollection> domainCollections(const QList<Screenshot>& screenshots) const;
    // One per sub-folder level holding files, by name, "Work › 2024".
    QList<SmartCollection> folderCollections(const QList<Screenshot>& screenshots, const QString& monitoredPath) const;
    // One per trimmed tag, by name, with an id that never changes.
    QList<SmartCollection> userTagCollections(const QList<Screenshot>& screenshots) const;

    // The same 16 bytes for the same text and salt on every build and every
    // machine: djb2 over the UTF-8 of text + salt, spread over the id.
    static QUuid makeStableUUID(const QString& text, const QString& salt);
    // The URL's host in lower case without a leading "www."; empty when the
    // URL has no host.
    static QString normalizedHost(const QUrl& url);
};
