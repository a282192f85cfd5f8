#pragma once

#include <QList>
#include <QString>
#include <QUuid>

class DatabaseManager;

// The duplicates a deletion is about to move to the Trash, written down
// first: a file that went to the Trash while its row stayed (the process was
// killed in between, or the store would not take the removal) loses its row
// at the next start, so that the library never lists a file that is gone.
// Its tags and notes go to the row of the copy that stays, as the deletion
// itself would have handed them over.
class DeletionJournal
{
public:
    static inline const QString fileName = QStringLiteral("duplicate_deletions.json");

    struct Entry
    {
        QUuid id;
        QString path;
        QUuid keeperId; // the copy that takes its user data; null: none known
        bool operator==(const Entry&) const = default;
    };

    // Kept beside the store's file (the application's data folder).
    explicit DeletionJournal(const DatabaseManager& store);

    // Replaces what the file says (an empty list removes it); false when it
    // could not be written.
    bool write(const QList<Entry>& entries) const;
    QList<Entry> load() const;

    // Removes the row of every entry whose file is no longer at its path,
    // and forgets the entries so settled. The paths whose rows went.
    QStringList recover(DatabaseManager& store) const;

private:
    QString m_path;
};
