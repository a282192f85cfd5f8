#pragma once

#include <QString>
#include <QStringList>

// The one walk of the monitored folder, shared by the library load and the
// change check so that both always see the same files: regular files whose
// lower-cased extension is listed, in the folder and all its sub-folders.
// Hidden entries (names beginning with a dot) and everything below them are
// skipped; symbolic links are not followed, neither to folders (a link back
// up the tree would list files twice or never end) nor to files. Entries that
// cannot be read are passed over.
class FolderWalker
{
public:
    struct Result
    {
        // The folder's text, "/", then the path below it: the form the store
        // and the monitor's known paths use.
        QStringList files;
        // The folder itself and every sub-folder entered, for change notices.
        QStringList directories;
    };

    static Result walk(const QString& folder, const QStringList& extensions);
};
