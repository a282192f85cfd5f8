#pragma once

#include "core/FileIdentity.h"

#include <QList>
#include <QString>
#include <QStringList>

// The one walk of the monitored folder, shared by the library load and the
// change check so that both always see the same files: regular files whose
// lower-cased extension is listed, in the folder and all its sub-folders.
// Hidden entries (names beginning with a dot) and everything below them are
// skipped; a symbolic link to a regular file is listed under its own name,
// a link to a folder is not followed. Folders that cannot be read are named
// in the result: what they hold is unknown, not gone. An entry whose name is
// not valid UTF-8 is skipped and named too: no text path could name it
// exactly, and two such names could come out as one.
class FolderWalker
{
public:
    struct Result
    {
        // The folder's text, "/", then the path below it: the form the store
        // and the monitor's known paths use.
        QStringList files;
        // Of each file, in the same order: what tells a renamed file from a
        // new one, and a file saved again from an unchanged one.
        QList<FileIdentity> identities;
        // The folder itself and every sub-folder entered, for change notices.
        QStringList directories;
        // Folders that could not be opened (the folder itself included):
        // an unmounted drive or a changed permission, for the moment.
        QStringList unreadable;
        // Entries left out for their names, as readable text (bytes that are
        // not UTF-8 written as \xNN).
        QStringList skippedNames;

        // Whether `path` lies in a folder that could not be read: what is
        // there is unknown, not gone.
        bool isInUnreadableFolder(const QString& path) const;
    };

    static Result walk(const QString& folder, const QStringList& extensions);
};
