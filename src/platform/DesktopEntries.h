#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The installed applications' desktop entries (applications/*.desktop under
// $XDG_DATA_HOME and $XDG_DATA_DIRS), read to give a window the name the
// desktop shows for its application. The folders are read again when one of
// them changes (an application installed or removed).
class DesktopEntries
{
public:
    // The localized Name of the entry a window of this WM_CLASS belongs to:
    // the entry whose StartupWMClass is the class or the instance name, else
    // the one whose desktop file id is either (ignoring case). None when no
    // entry matches.
    std::optional<QString> nameForWindowClass(const QString& instanceName, const QString& className);

private:
    struct Entry
    {
        QString id; // the desktop file id, without ".desktop"
        QString name;
        QString startupWMClass;
    };
    struct FolderState
    {
        QString path;
        qint64 modifiedNs = -1; // -1: missing
        bool operator==(const FolderState&) const = default;
    };

    static QList<FolderState> folderStates();
    void reload(const QList<FolderState>& folders);
    std::optional<QString> lookUp(const QString& instanceName, const QString& className) const;

    QList<FolderState> m_folders;
    bool m_isLoaded = false;
    QList<Entry> m_entries;                           // in precedence order, one per desktop file id
    QHash<QString, std::optional<QString>> m_answers; // by "instance\nclass"
};
