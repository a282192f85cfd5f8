#pragma once

#include "core/Screenshot.h"
#include "ingest/ScreenshotMonitor.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <optional>
#include <stop_token>
#include <variant>

class DatabaseManager;
class FileOps;
class QJsonObject;

// Moves the monitored folder's screenshots into one "GLIMMERDECK" folder,
// optionally by year and month, with every moved file's store row following
// it; keeps the undo data of the latest run and a history of runs on disk, and
// undoes runs from that history, newest first.
//
// Holds no state between calls. Any one thread may call it at a time; moves
// and undos run on a worker thread while the GUI thread stays free.
class OrganizeService
{
public:
    static inline const QString targetFolderName = QStringLiteral("GLIMMERDECK");
    static inline const QString historyFileName = QStringLiteral("organize_history.json");
    static inline const QString undoFileName = QStringLiteral("organize_undo.json");
    // What an undo under way is moving back, written before it starts.
    static inline const QString undoingFileName = QStringLiteral("organize_undoing.json");
    // The undo file is brought up to date after this many moves, so that a
    // run cut short leaves every moved file undoable.
    static constexpr int undoCheckpointInterval = 100;

    struct OrganizationOptions
    {
        QUrl baseURL; // the monitored folder
        bool groupByYear = false;
        bool groupByMonth = false; // only inside year folders
        bool includeSubfolders = false;
    };

    struct FileMoveOperation
    {
        QString screenshotId; // upper-case UUID text of the store row
        QUrl originalURL;
        QUrl targetURL;
        QString relativePath; // below the base folder
    };

    struct OrganizationPlan
    {
        // A folder the moves go into, and how many files go there.
        struct TargetFolder
        {
            QString relativePath; // below targetBaseURL: "", "2025" or "2025/03-March"
            qint64 files = 0;
            bool operator==(const TargetFolder&) const = default;
        };

        QUrl baseURL;
        QUrl targetBaseURL;
        QList<FileMoveOperation> filesToMove; // newest first
        qint64 totalFiles = 0;
        double estimatedDuration = 0;      // seconds
        QList<TargetFolder> targetFolders; // newest first
    };

    struct OrganizationResult
    {
        struct UndoData
        {
            struct UndoOperation
            {
                QString screenshotId;
                QString newPath;
                QString originalPath;
                bool operator==(const UndoOperation&) const = default;
            };
            QDateTime timestamp;
            QUrl baseURL;
            QList<UndoOperation> operations; // in the order of the moves
            bool operator==(const UndoData&) const = default;
        };
        struct FailedFile
        {
            FileMoveOperation operation;
            QString error;
        };

        bool success = true; // no file failed
        QList<FileMoveOperation> movedFiles;
        QList<FailedFile> failedFiles;
        std::optional<UndoData> undoData; // present when a file moved
        // Why the run stopped before its last file, when it did.
        QString stopReason;
    };
    using UndoData = OrganizationResult::UndoData;
    using UndoOperation = UndoData::UndoOperation;

    struct OrganizationHistory
    {
        struct HistoryOperation
        {
            struct HistoryOptions
            {
                bool groupByYear = false;
                bool groupByMonth = false;
                bool includeSubfolders = false;
                bool operator==(const HistoryOptions&) const = default;
            };
            QUuid id;
            QDateTime timestamp;
            QString description;
            qint64 moveCount = 0;
            HistoryOptions options;
            UndoData undoData;
            bool operator==(const HistoryOperation&) const = default;
        };

        QList<HistoryOperation> operations; // newest first
        qint64 maxOperations = 10;

        // Puts the entry first, then drops the last one if that makes the
        // history longer than maxOperations (one at most).
        void add(const HistoryOperation& operation);
        bool operator==(const OrganizationHistory&) const = default;
    };
    using HistoryOperation = OrganizationHistory::HistoryOperation;

    // (files done, total), after every file of a run.
    using Progress = std::function<void(int current, int total)>;

    // The history and undo files live directly in `dataFolder`.
    OrganizeService(DatabaseManager& store, ScreenshotMonitor& monitor, FileOps& fileOps, QString dataFolder);
    virtual ~OrganizeService() = default;
    OrganizeService(const OrganizeService&) = delete;
    OrganizeService& operator=(const OrganizeService&) = delete;

    // Every operation may be overridden (the view model's tests do).

    virtual OrganizationPlan analyze(const OrganizationOptions& options) const;
    // A `stop` (the application quitting) ends a run, an undo or a cascade
    // between two files: what was done stays recorded in the undo file, the
    // record of the undo under way and the history, and the next start takes
    // it from there as after a kill.
    virtual OrganizationResult organize(const OrganizationPlan& plan, const Progress& progress,
                                        std::stop_token stop = {});
    // Moves every file of `undoData` back; true when all came back. Files
    // restored are taken out of `remaining`, when given. Nothing moves when
    // the record of the undo under way cannot be written first.
    virtual bool undo(const UndoData& undoData, QList<UndoOperation>* remaining = nullptr, std::stop_token stop = {});
    // Undoes the entry and every newer one, newest first, for files inside
    // `monitoredFolder` (the folder the monitor held when the user asked).
    virtual bool undoOperation(const QUuid& id, const QString& monitoredFolder, std::stop_token stop = {});
    // `target`, or, when something is there already, the name made of the
    // source's folder name, "_" and the source's name, in the same folder.
    virtual QUrl resolveTargetConflict(const QUrl& target, const QUrl& source) const;
    static bool isDirectlyInFolder(const Screenshot& screenshot, const QUrl& folder);

    // A run that ended without its history entry (the process was killed,
    // or quit before the entry was written) left its undo file behind: the
    // files it shows moved, as the disk has them now, become a history entry
    // of their own, so that they can be undone. A file moved whose row had
    // no time to follow gets its row back (its id, tags and notes). Stray
    // copies of an interrupted move across file systems are removed. Called
    // at start, before the library loads, and before every run. The entry
    // made, if any. An undo cut short between a file's move back and its
    // row is settled first: the row (id, tags, notes) follows the file.
    virtual std::optional<HistoryOperation> recoverInterruptedRun();

    // False (and a console line) when the file could not be written.
    virtual bool saveUndoData(const UndoData& undoData);
    virtual std::optional<UndoData> loadUndoData() const;
    virtual void clearUndoData();
    virtual QString undoDataFileURL() const;
    virtual OrganizationHistory loadHistory() const;
    virtual void clearHistory();
    virtual void saveHistory(const OrganizationHistory& history);
    virtual QString historyFileURL() const;

    // The two files' JSON forms (exposed for tests and tools). A decode
    // failure is a description of what is wrong.
    static QByteArray encodeHistory(const OrganizationHistory& history);
    static QByteArray encodeUndoData(const UndoData& undoData);
    static std::variant<OrganizationHistory, QString> decodeHistory(const QByteArray& json);
    static std::variant<UndoData, QString> decodeUndoData(const QByteArray& json);
    static QString formatDate(const QDateTime& date);
    static std::optional<QDateTime> parseDate(const QString& text);

private:
    class PollingPause;
    struct MoveRun;

    // The conflict rule, counting `claimed` paths as taken too.
    QUrl resolveTargetConflict(const QUrl& target, const QUrl& source, const QSet<QString>& claimed) const;
    bool reserveTargets(MoveRun& run, int first);
    void moveOne(MoveRun& run, const FileMoveOperation& entry, int index);
    bool undoOne(const UndoOperation& operation, int position, int count, ScreenshotMonitor::FileChanges& changes);
    void removeEmptyLayoutFolders(const UndoData& undoData);
    void keepUndoFileInStep(const UndoData& entryBefore, const UndoData& entryNow);
    bool entriesLieInside(const QList<HistoryOperation>& entries, const QString& monitoredFolder) const;
    bool writeHistory(const OrganizationHistory& history);
    bool recordUndoUnderWay(const UndoData& undoData);
    std::optional<UndoData> loadUndoUnderWay() const;
    void clearUndoUnderWay();
    void settleInterruptedUndo();

    DatabaseManager& m_store;
    ScreenshotMonitor& m_monitor;
    FileOps& m_fileOps;
    QString m_dataFolder;
};
