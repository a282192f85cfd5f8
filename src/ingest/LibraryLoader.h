#pragma once

#include "core/Screenshot.h"
#include "ingest/FolderWalker.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class DatabaseManager;
class SerialQueue;

// The library load, on the file queue: the folder's stored rows in pages (the
// first published at once), then the walk for files the store lacks, then the
// hand-over of every file that still lacks analysis. Its results reach the
// host on the GUI thread, and only while the folder and generation they were
// loaded for are current.
class LibraryLoader
{
public:
    // Files needing analysis above which the first-run processing screen shows.
    static constexpr int blockingProcessingThreshold = 10;

    // What the end of a load hands to the GUI thread.
    struct Outcome
    {
        QString folder;
        quint64 generation = 0;
        QList<Screenshot> found;
        QSet<QString> known;
        QList<Screenshot> needProcessing;
        bool raiseBlocking = false;
        FolderWalker::Result listing;
        // New files the store could not take; they are left for the change
        // check to find again.
        bool isStoreBehind = false;
    };

    class Host
    {
    public:
        virtual const QString& monitoredPath() const = 0;
        virtual quint64 generation() const = 0;
        virtual bool isCurrent(const QString& folder, quint64 generation) const = 0;
        virtual bool isCancelled() const = 0;
        virtual bool hasFileAccess() const = 0;
        virtual void requestFolderAccess() = 0;
        // The rows loaded so far, newest first, and their paths.
        virtual void publishLoadedRows(const QList<Screenshot>& rows, const QSet<QString>& paths) = 0;
        virtual void finishLibraryLoad(const Outcome& outcome) = 0;
        virtual QObject* context() = 0;

    protected:
        ~Host() = default;
    };

    LibraryLoader(Host& host, DatabaseManager& store, SerialQueue& fileQueue);
    ~LibraryLoader();

    // Queues a load of `folder` for `generation`; `ended` runs on the GUI
    // thread once the load has left the queue, whatever became of it.
    void start(const QString& folder, quint64 generation, std::function<void()> ended);
    // No load starts any more; one in flight gives up early.
    void shutDown();

private:
    bool isAbandoned(quint64 generation) const;
    void run(const QString& folder, quint64 generation);
    QList<Screenshot> loadStoredRows(const QString& folder, quint64 generation);
    void publishRows(const QString& folder, quint64 generation, const QList<Screenshot>& rows,
                     const QSet<QString>& paths, int total);
    // The walk's files that no loaded row covers, as stored; nothing when the
    // store could not take them.
    std::optional<QList<Screenshot>> importNewFiles(const QString& folder, quint64 generation, const QStringList& files,
                                                    QSet<QString>& known);

    Host& m_host;
    DatabaseManager& m_store;
    SerialQueue& m_fileQueue;
    std::atomic<bool> m_isShuttingDown{false};
};
