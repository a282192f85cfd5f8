#pragma once

#include <QObject>
#include <QVariantMap>

// Application-wide announcements that any object may observe; one instance,
// owned with the other services and handed to whoever posts or observes.
class AppEvents : public QObject
{
    Q_OBJECT

signals:
    // Whenever the monitor's processing or incomplete-files flag is assigned.
    void processingStateChanged(bool isProcessing);
    // Open one screenshot in the gallery: {"id": its UUID text}.
    void openScreenshot(const QVariantMap& userInfo);
};
