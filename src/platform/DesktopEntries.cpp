#include "platform/DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QSet>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
// The base folders in precedence order: a user's own entry shadows the
// system's entry of the same id.
QStringList dataFolders()
{
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + u"/.local/share"_s;
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = u"/usr/local/share:/usr/share"_s;
    QStringList folders{home};
    for (const QString& folder : system.split(u':', Qt::SkipEmptyParts))
        if (!folders.contains(folder))
            folders.append(folder);
    return folders;
}

qint64 modifiedNs(const QString& path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// A value with the escapes of the desktop entry format resolved.
QString unescaped(QStringView value)
{
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            text.append(value[i]);
            continue;
        }
        switch (value[++i].unicode()) {
        case 's':
            text.append(u' ');
            break;
        case 'n':
            text.append(u'\n');
            break;
        case 't':
            text.append(u'\t');
            break;
        case 'r':
            text.append(u'\r');
            break;
        default:
            text.append(value[i]);
        }
    }
    return text;
}

// The keys of the [Desktop Entry] group that matter here.
struct EntryKeys
{
    QHash<QString, QString> values;
    bool hidden = false;
};

EntryKeys readEntry(const QString& path)
{
    EntryKeys keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            // The actions' groups have names of their own; only the entry's count.
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || line.startsWith(u'#') || equals < 1)
            continue;
        const QString key = line.first(equals).trimmed();
        if (!keys.values.contains(key))
            keys.values.insert(key, unescaped(QStringView(line).sliced(equals + 1).trimmed()));
    }
    keys.hidden = keys.values.value(u"Hidden"_s) == u"true";
    return keys;
}

// Name[ll_CC], then Name[ll], then Name, as the desktop's menus show it.
QString localizedName(const QHash<QString, QString>& values)
{
    const QString locale = QLocale().name();
    for (const QString& key : {u"Name[%1]"_s.arg(locale), u"Name[%1]"_s.arg(locale.section(u'_', 0, 0))})
        if (const QString name = values.value(key); !name.isEmpty())
            return name;
    return values.value(u"Name"_s);
}
} // namespace

QList<DesktopEntries::FolderState> DesktopEntries::folderStates()
{
    QList<FolderState> states;
    for (const QString& folder : dataFolders()) {
        const QString applications = folder + u"/applications"_s;
        states.append({applications, modifiedNs(applications)});
    }
    return states;
}

void DesktopEntries::reload(const QList<FolderState>& folders)
{
    m_folders = folders;
    m_isLoaded = true;
    m_entries.clear();
    m_answers.clear();
    QSet<QString> seen;
    for (const FolderState& folder : folders) {
        if (folder.modifiedNs < 0)
            continue;
        QDirIterator files(folder.path, {u"*.desktop"_s}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            // Entries in sub-folders are named by their path: kde/konsole → kde-konsole.
            QString id = path.sliced(folder.path.size() + 1);
            id.chop(int(qstrlen(".desktop")));
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            const EntryKeys keys = readEntry(path);
            const QString name = localizedName(keys.values);
            // A hidden entry stands for one that was deleted, shadowing it too.
            if (keys.hidden || name.isEmpty())
                continue;
            m_entries.append({id, name, keys.values.value(u"StartupWMClass"_s)});
        }
    }
}

std::optional<QString> DesktopEntries::lookUp(const QString& instanceName, const QString& className) const
{
    const QStringList classes{className, instanceName};
    for (const QString& windowClass : classes)
        for (const Entry& entry : m_entries)
            if (!windowClass.isEmpty() && entry.startupWMClass.compare(windowClass, Qt::CaseInsensitive) == 0)
                return entry.name;
    for (const QString& windowClass : classes)
        for (const Entry& entry : m_entries)
            if (!windowClass.isEmpty() && entry.id.compare(windowClass, Qt::CaseInsensitive) == 0)
                return entry.name;
    return std::nullopt;
}

std::optional<QString> DesktopEntries::nameForWindowClass(const QString& instanceName, const QString& className)
{
    const QList<FolderState> folders = folderStates();
    if (!m_isLoaded || folders != m_folders)
        reload(folders);
    const QString key = instanceName + u'\n' + className;
    auto known = m_answers.constFind(key);
    if (known == m_answers.cend())
        known = m_answers.insert(key, lookUp(instanceName, className));
    return *known;
}
