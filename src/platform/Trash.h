#pragma once

#include <QString>

// Moves files to the desktop's Trash, where the user can get them back.
// Deletion never falls back to removing a file outright.
class Trash
{
public:
    struct Result
    {
        bool ok = false;
        QString trashedPath; // where the file went, when it worked
        QString error;       // why not, when it did not
    };

    virtual ~Trash() = default;
    virtual Result moveToTrash(const QString& path) = 0;
};

// The freedesktop.org Trash of the user's data folder (Trash/files plus a
// .trashinfo record), through Qt, with the checks Qt leaves out: only regular
// files, and the Trash must really be in the data folder.
class SystemTrash : public Trash
{
public:
    Result moveToTrash(const QString& path) override;
};
