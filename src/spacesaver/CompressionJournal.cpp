#include "spacesaver/CompressionJournal.h"

#include "core/Console.h"
#include "core/DatabaseManager.h"
#include "core/Uuid.h"
#include "platform/FileOps.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {
QJsonObject encode(const CompressionJournal::Entry& entry)
{
    return {{u"screenshotId"_s, entry.screenshotId},
            {u"image"_s, entry.imagePath},
            {u"temporary"_s, entry.temporaryPath},
            {u"rendition"_s, entry.renditionPath},
            {u"device"_s, QString::number(entry.image.device)},
            {u"inode"_s, QString::number(entry.image.inode)},
            {u"size"_s, QString::number(entry.image.size)},
            {u"modifiedNs"_s, QString::number(entry.image.modifiedNs)}};
}

CompressionJournal::Entry decode(const QJsonObject& object)
{
    return {object.value(u"screenshotId"_s).toString(),
            object.value(u"image"_s).toString(),
            object.value(u"temporary"_s).toString(),
            object.value(u"rendition"_s).toString(),
            {object.value(u"device"_s).toString().toULongLong(), object.value(u"inode"_s).toString().toULongLong(),
             object.value(u"size"_s).toString().toLongLong(), object.value(u"modifiedNs"_s).toString().toLongLong()}};
}

bool rowPointsAt(DatabaseManager& store, const QString& path, const QString& id)
{
    const std::optional<Screenshot> row = store.fetchByPath(path);
    return row && uuidText(row->id) == id;
}

QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}
} // namespace

CompressionJournal::CompressionJournal(FileOps& fileOps, QString path)
    : m_fileOps(fileOps)
    , m_path(std::move(path))
{}

bool CompressionJournal::write(const QList<Entry>& entries, QString* error) const
{
    if (!isEnabled())
        return true;
    QJsonArray array;
    for (const Entry& entry : entries)
        array.append(encode(entry));
    const QByteArray bytes = QJsonDocument(QJsonObject{{u"entries"_s, array}}).toJson(QJsonDocument::Compact);
    SafeFile::Outcome written = m_fileOps.makeFolder(QFileInfo(m_path).path());
    if (written)
        written = m_fileOps.write(m_path, bytes, FileOps::Write::Replace);
    if (!written && error)
        *error = written.error;
    return written.ok();
}

std::optional<QList<CompressionJournal::Entry>> CompressionJournal::load() const
{
    if (!isEnabled() || !SafeFile::isTaken(m_path))
        return std::nullopt;
    const std::optional<QByteArray> bytes = SafeFile::readRegular(m_path);
    if (!bytes)
        return std::nullopt;
    QList<Entry> entries;
    const QJsonArray array = QJsonDocument::fromJson(*bytes).object().value(u"entries"_s).toArray();
    for (const QJsonValue& value : array) {
        const Entry entry = decode(value.toObject());
        if (!entry.imagePath.isEmpty() && !entry.renditionPath.isEmpty() && parseUuid(entry.screenshotId))
            entries.append(entry);
    }
    return entries;
}

void CompressionJournal::clear() const
{
    if (isEnabled() && SafeFile::isTaken(m_path))
        (void)m_fileOps.remove(m_path);
}

CompressionJournal::Recovery CompressionJournal::recover(DatabaseManager& store) const
{
    Recovery recovery;
    const std::optional<QList<Entry>> entries = load();
    if (!entries)
        return recovery;
    Console::printLine(u"🩹 COMPRESS: Settling %1 entries of an unfinished run"_s.arg(entries->size()));
    QList<Entry> unsettled;
    for (const Entry& entry : *entries)
        if (!settle(store, entry, recovery))
            unsettled.append(entry);
    recovery.unsettled = int(unsettled.size());
    if (unsettled.isEmpty()) {
        clear();
        Console::printLine(u"   ✅ Every image is one file with its library entry"_s);
    } else {
        (void)write(unsettled);
        Console::printLine(
            u"   ⚠️ %1 entries could not be settled; tried again at the next start"_s.arg(unsettled.size()));
    }
    return recovery;
}

bool CompressionJournal::settle(DatabaseManager& store, const Entry& entry, Recovery& recovery) const
{
    const QString& id = entry.screenshotId;
    if (SafeFile::stampOf(entry.temporaryPath))
        (void)m_fileOps.remove(entry.temporaryPath);
    const std::optional<SafeFile::FileStamp> image = SafeFile::stampOf(entry.imagePath);
    const bool rendition = SafeFile::stampOf(entry.renditionPath).has_value();
    const bool rowOnRendition = rendition && rowPointsAt(store, entry.renditionPath, id);

    if (rendition && !image) {
        // The image went at the end of the run: the rendition is the file now.
        // The path update also gives the row the rendition's size, where the
        // run was cut short before it did.
        if (!store.updateFilePath(entry.renditionPath, id))
            return false;
        if (!rowOnRendition)
            recovery.moved.append({entry.imagePath, entry.renditionPath});
        ++recovery.finished;
        return true;
    }
    if (!image)
        return true; // neither is there: nothing of the run is left to settle
    if (rendition && rowOnRendition && *image != entry.image) {
        // Changed by the person during the run: theirs stays beside it.
        recovery.kept.append(entry.imagePath);
        return true;
    }
    // Rolled back: the row goes back to the image before the rendition goes,
    // so that no row ever names a file that is not there; with the path it
    // takes back the image's size, which the run had replaced by the
    // rendition's.
    const bool rowOnImage = rowPointsAt(store, entry.imagePath, id);
    if (!store.updateFilePath(entry.imagePath, id)) {
        Console::printLine(u"   ⚠️ Kept %1 and %2: the library could not be pointed back at the image"_s.arg(
            nameOf(entry.imagePath), nameOf(entry.renditionPath)));
        return false;
    }
    if (!rowOnImage)
        recovery.moved.append({entry.renditionPath, entry.imagePath});
    ++recovery.undone;
    if (!rendition)
        return true;
    if (const SafeFile::Outcome removed = m_fileOps.remove(entry.renditionPath); !removed)
        return false;
    // A row the library made for the rendition meanwhile goes with it.
    if (const std::optional<Screenshot> other = store.fetchByPath(entry.renditionPath))
        (void)store.deleteScreenshot(other->id);
    recovery.removed.append(entry.renditionPath);
    return true;
}
