#pragma once

#include "core/Screenshot.h"
#include "ingest/FolderWalker.h"

#include <QHash>
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
//
// The walk is held against what each row recorded of its file: a row whose
// file is gone takes the path of a new file that is surely the same
// (FileIdentity::isMovedTo: renamed or moved while the program was not
// running); a row whose file was saved again takes its new size and date and
// is read again; a row whose file has its size, date and bytes under another
// inode (copied or restored with its dates) records it without being read
// again, as does a row that recorded nothing yet, or not all of it; a row
// whose name holds other bytes with its size and date (another file written
// there, or the file rewritten with its date put back) is another file's
// from now on, read again without the user's words
// (FileIdentity::comparedAt).
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
        // Loaded rows whose path, size, date or analysis changed with the walk.
        QList<Screenshot> refreshed;
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
    // The folder's rows and their paths, as last published.
    struct StoredRows
    {
        QList<Screenshot> rows;
        QSet<QString> paths;
    };
    StoredRows loadStoredRows(const QString& folder, quint64 generation);
    // A page in between is left out while the GUI thread has not yet taken
    // the one before: each carries a copy of every row so far.
    void publishRows(const QString& folder, quint64 generation, const QList<Screenshot>& rows,
                     const QSet<QString>& paths, int total, bool isLast);
    // A loaded row whose file is not in the walk: its index into the loaded
    // rows and what it recorded of its file.
    struct GoneRow
    {
        qsizetype index = 0;
        FileIdentity recorded;
    };
    // By the device and inode the row recorded.
    using Gone = QHash<std::pair<quint64, quint64>, GoneRow>;

    // Brings `loaded` and `known` in line with the walk (see the class
    // comment); the records it changed.
    QList<Screenshot> followFilesOnDisk(const QString& folder, QList<Screenshot>& loaded,
                                        const FolderWalker::Result& walk, QSet<QString>& known);
    // Records what the walk found of each loaded row's file; rows whose file
    // is gone go to `gone`.
    QList<Screenshot> recordFileFacts(const QString& folder, QList<Screenshot>& loaded,
                                      const FolderWalker::Result& walk, Gone& gone);
    QList<Screenshot> followRenamesWhileClosed(const QString& folder, QList<Screenshot>& loaded,
                                               const FolderWalker::Result& walk, Gone& gone, QSet<QString>& known);
    // The walk's files that no loaded row covers, as stored; nothing when the
    // store could not take them.
    std::optional<QList<Screenshot>> importNewFiles(const QString& folder, quint64 generation,
                                                    const FolderWalker::Result& walk, QSet<QString>& known);

    Host& m_host;
    DatabaseManager& m_store;
    SerialQueue& m_fileQueue;
    std::atomic<bool> m_isShuttingDown{false};
    std::atomic<bool> m_isPublishPending{false};
};
