#include "duplicates/DeletionJournal.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/Uuid.h"
#include "platform/SafeFile.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

DeletionJournal::DeletionJournal(const DatabaseManager& store)
    : m_path(QFileInfo(store.path()).absolutePath() + u'/' + fileName)
{}

bool DeletionJournal::write(const QList<Entry>& entries) const
{
    if (entries.isEmpty())
        return !SafeFile::isTaken(m_path) || SafeFile::removeRegular(m_path).ok();
    QJsonArray array;
    for (const Entry& entry : entries) {
        QJsonObject object{{u"id"_s, uuidText(entry.id)}, {u"path"_s, entry.path}};
        if (!entry.keeperId.isNull())
            object.insert(u"keeper"_s, uuidText(entry.keeperId));
        array.append(object);
    }
    const SafeFile::Outcome written = SafeFile::writeAtomically(
        m_path, QJsonDocument(QJsonObject{{u"entries"_s, array}}).toJson(QJsonDocument::Compact));
    if (!written)
        Console::printLine(u"❌ DUPLICATES: Cannot write the deletion journal: "_s + written.error);
    return written.ok();
}

QList<DeletionJournal::Entry> DeletionJournal::load() const
{
    QList<Entry> entries;
    if (!SafeFile::isTaken(m_path))
        return entries;
    const std::optional<QByteArray> bytes = SafeFile::readRegular(m_path);
    if (!bytes)
        return entries;
    for (const QJsonValue& value : QJsonDocument::fromJson(*bytes).object().value(u"entries"_s).toArray()) {
        const QJsonObject object = value.toObject();
        const std::optional<QUuid> id = parseUuid(object.value(u"id"_s).toString());
        const QString path = object.value(u"path"_s).toString();
        const std::optional<QUuid> keeper = parseUuid(object.value(u"keeper"_s).toString());
        if (id && !path.isEmpty())
            entries.append({*id, path, keeper.value_or(QUuid())});
    }
    return entries;
}

QStringList DeletionJournal::recover(DatabaseManager& store) const
{
    const QList<Entry> entries = load();
    if (entries.isEmpty())
        return {};
    QStringList removed;
    QList<Entry> unsettled;
    for (const Entry& entry : entries) {
        // Still there: it never went to the Trash, and its row is right.
        if (SafeFile::isTaken(entry.path))
            continue;
        const std::optional<Screenshot> row = store.fetchByPath(entry.path);
        if (!row || row->id != entry.id)
            continue;
        const bool deleted = entry.keeperId.isNull() ? store.deleteScreenshot(entry.id)
                                                     : store.deleteCarryingUserData(entry.id, entry.keeperId);
        if (deleted)
            removed.append(entry.path);
        else
            unsettled.append(entry);
    }
    if (!removed.isEmpty())
        Console::printLine(
            u"🩹 DUPLICATES: Removed %1 library entries of files already in the Trash"_s.arg(removed.size()));
    (void)write(unsettled);
    return removed;
}
