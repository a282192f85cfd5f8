#pragma once

#include "platform/SafeFile.h"

#include <QList>
#include <QString>

#include <optional>

class DatabaseManager;
class FileOps;

// What a compression run is about to do, written down before it does it, so
// that a run cut short (a kill, a power cut) or a rollback that could not be
// finished is put right at the next start: every image ends as exactly one
// file with exactly one row, which keeps its tags and notes.
class CompressionJournal
{
public:
    static inline const QString fileName = QStringLiteral("compression_journal.json");

    struct Entry
    {
        QString screenshotId; // upper-case UUID text of the row
        QString imagePath;
        QString temporaryPath;
        QString renditionPath;
        SafeFile::FileStamp image; // the image as it was encoded

        bool operator==(const Entry&) const = default;
    };

    // What recovering did, for the monitor's list and the person.
    struct Recovery
    {
        QList<std::pair<QString, QString>> moved; // rows that moved from, to
        QStringList removed;                      // files removed, their rows gone with them
        QStringList kept;                         // images still beside their renditions
        int finished = 0;                         // images now their renditions
        int undone = 0;                           // images back as they were
        int unsettled = 0;                        // entries left for the next start

        bool isEmpty() const { return finished == 0 && undone == 0 && kept.isEmpty() && unsettled == 0; }
    };

    // An empty path keeps no journal (and recovers nothing).
    CompressionJournal(FileOps& fileOps, QString path);

    bool isEnabled() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }

    // Replaces what the file says; false when it could not be written.
    bool write(const QList<Entry>& entries, QString* error = nullptr) const;
    // The entries written, or nothing when there is no journal.
    std::optional<QList<Entry>> load() const;
    void clear() const;

    // Finishes or rolls back each entry of an unfinished run as the disk and
    // the store have it now; keeps in the file what could not be settled.
    // The row of each image settled describes the file that stays (its path,
    // size and identity), whatever the run had written into it.
    Recovery recover(DatabaseManager& store) const;

private:
    // True when the entry is settled (one file, its row on it).
    bool settle(DatabaseManager& store, const Entry& entry, Recovery& recovery) const;

    FileOps& m_fileOps;
    QString m_path;
};
