#pragma once

#include "core/Screenshot.h"
#include "ingest/FolderTreeWatcher.h"
#include "ingest/FolderWalker.h"
#include "platform/FrontmostApplication.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <optional>

class DatabaseManager;
class SerialQueue;

// The change check of every polling tick: which files appeared in or vanished
// from the folder since it was last looked at. Change notices keep it cheap:
// a tree that reported no change is walked only now and then, as a safety
// net. One walk at a time, on the file queue; its changes are applied on the
// GUI thread by the host. Also counts the library loads, which list the
// folder themselves: a walk that a load overtook is dropped.
//
// A file that vanished under one name and appeared under another between two
// listings, surely the same file (FileIdentity::isMovedTo), was renamed or
// moved: its row takes the new path (keeping id, analysis, tags and notes)
// instead of the new name getting a row of its own. A known name whose file
// changed size or date between two listings (saved again, in place or over
// it) has its row take the new size and date, and is read again; one whose
// file kept them and its bytes under another inode (copied or restored with
// its dates) records it and is not read again; one whose name holds other
// bytes with the same size and date is another file's from now on, read
// again without the user's words (FileIdentity::comparedAt). New files get their rows during the
// walk; when the store cannot take them, they stay unknown and the next
// check walks again.
class ChangeScanner
{
public:
    static constexpr int pollingIntervalMs = 2000;
    // With change notices working, an unchanged tree is walked only on every
    // Nth check, as a safety net for notices the system may have dropped.
    static constexpr int safetyWalkEveryTicks = 30;

    struct Rename
    {
        QString from;
        QString to;
    };

    class Host
    {
    public:
        virtual bool hasFileAccess() const = 0;
        virtual bool isMonitoringActive() const = 0;
        virtual const QString& monitoredPath() const = 0;
        virtual const QSet<QString>& knownFiles() const = 0;
        virtual quint64 generation() const = 0;
        virtual bool isCurrent(const QString& folder, quint64 generation) const = 0;
        // The files that vanished and the new records (already in the store).
        virtual void applyScanChanges(const QSet<QString>& deleted, const QList<Screenshot>& added) = 0;
        // Files renamed or moved inside the folder; their rows have the new paths.
        virtual void applyRenames(const QList<Rename>& renames) = 0;
        // Files saved again under their names, as their rows now are (new
        // size and date, text to be read again).
        virtual void applyChangedFiles(const QList<Screenshot>& changed) = 0;
        // A walk's changes, if any, have been applied.
        virtual void walkFinished() {}
        virtual QObject* context() = 0;

    protected:
        ~Host() = default;
    };

    ChangeScanner(Host& host, DatabaseManager& store, SerialQueue& fileQueue);
    ~ChangeScanner();

    using Walk = std::function<FolderWalker::Result(const QString& folder, const QStringList& extensions)>;
    using NoticeCheck = std::function<bool(const QString& folder)>;

    void setFrontmostApplicationSource(std::function<std::optional<QString>()> source);
    void setPollingInterval(int milliseconds);
    // Seams for tests: how the folder is listed (FolderWalker::walk), and
    // whether its file system reports changes (FolderTreeWatcher).
    void setWalk(Walk walk) { m_walk = std::move(walk); }
    void setNoticeCheck(NoticeCheck check) { m_hasReliableNotices = std::move(check); }

    void startPolling();
    void stopPolling();
    bool isPolling() const { return m_timer.isActive(); }

    void check();
    void forceCheck();
    // Checks ended so far: at once when nothing was due, else once the walk
    // was handed back and applied.
    quint64 checksEnded() const { return m_checksEnded; }
    void pause();
    void resume();
    bool isPaused() const { return m_pauses > 0; }

    // A library load begins or ends: the load lists the folder afresh, so
    // notices of the old tree mean nothing and walks submitted before it are
    // dropped when they come back.
    void loadStarted();
    void loadEnded();
    quint64 loadsSubmitted() const { return m_loadsSubmitted; }
    // A load's listing of the folder: its folders are watched for change
    // notices, its files' identities kept for telling renames, its skipped
    // names reported. With `walkAgain`, the next check walks (the load could
    // not store some new files).
    void listingLoaded(const FolderWalker::Result& listing, bool walkAgain);

    // Files a tool moved or removed, the host's known paths already
    // following: the last listing follows too, so that a later rename of a
    // moved file is still told from a new file.
    void followFileChanges(const QHash<QString, QString>& newPaths, const QSet<QString>& removed);

    const QDateTime& lastScanDate() const { return m_lastScanDate; }
    void updateLastScanDate();

    // No walk starts any more; one in flight gives up early.
    void shutDown();

private:
    struct Changes
    {
        QSet<QString> deleted;
        QList<Screenshot> added;
        QList<Rename> renamed;
        QList<Screenshot> changed;
        // What the next walk compares identities with.
        FolderWalker::Result listing;
        // New files or renames the store did not take: tried again next tick.
        bool isStoreBehind = false;
    };

    // Starts a walk when one is due; false when none was started.
    bool walkIfDue();
    bool shouldWalkNow();
    std::optional<QString> frontmostApplicationName();
    // On the file queue.
    Changes walk(const QString& folder, const QSet<QString>& known, const FolderWalker::Result& previous,
                 const std::optional<QString>& sourceApp, quint64 generation);
    // Moves each renamed file's row to its new path, out of `fresh` and the deletions.
    void followRenames(Changes& changes, const FolderWalker::Result& previous, QList<qsizetype>& fresh);
    void addNewFiles(Changes& changes, const QList<qsizetype>& fresh, const std::optional<QString>& sourceApp);
    // Rows the store still held at paths of new files (`created` are the
    // records given to it) take what those files are now.
    void followReturningPaths(Changes& changes, const QList<Screenshot>& created,
                              const QList<FileIdentity>& identities);
    // Gives the rows of files saved again, copied or restored since
    // `previous` their new facts.
    void followChangedFiles(Changes& changes, const FolderWalker::Result& previous, const QSet<QString>& known);
    // The folders to take change notices from.
    void watch(const QStringList& directories);
    void reportSkipped(const QStringList& names);
    // Back on the GUI thread.
    void walkEnded(const QString& folder, quint64 generation, quint64 loadsBefore, quint64 epoch,
                   const Changes& changes);

    Host& m_host;
    DatabaseManager& m_store;
    SerialQueue& m_fileQueue;
    QTimer m_timer;
    QDateTime m_lastScanDate;
    FrontmostApplication m_frontmostApplication;
    std::function<std::optional<QString>()> m_frontmostApplicationSource;
    FolderTreeWatcher m_treeWatcher;
    Walk m_walk = FolderWalker::walk;
    NoticeCheck m_hasReliableNotices = FolderTreeWatcher::hasReliableNotices;
    bool m_noticesReliable = false; // of the tree last watched
    // The last listing applied; GUI thread (a walk takes a copy).
    FolderWalker::Result m_lastListing;
    QSet<QString> m_reportedSkips;
    int m_quietTicks = 0;
    quint64 m_checksEnded = 0;
    bool m_isWalkRequested = false;
    // Loads and walks submitted and not yet handed back: at most one walk is
    // in flight, so no two walks work from the same snapshot of known paths.
    int m_walksInFlight = 0;
    quint64 m_loadsSubmitted = 0;
    int m_pauses = 0;
    // Raised by every pause: a walk begun before it publishes nothing.
    quint64 m_walkEpoch = 0;
    std::atomic<bool> m_isShuttingDown{false};
};
