#include "spacesaver/NotSmallerMemory.h"

#include "core/Console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThreadPool>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {
// Stamp fields as decimal text: a nanosecond time or an inode does not fit a
// JSON number (a double) exactly.
QJsonObject encode(const QString& path, const SafeFile::FileStamp& stamp)
{
    return {{u"path"_s, path},
            {u"device"_s, QString::number(stamp.device)},
            {u"inode"_s, QString::number(stamp.inode)},
            {u"size"_s, QString::number(stamp.size)},
            {u"modifiedNs"_s, QString::number(stamp.modifiedNs)}};
}

std::optional<SafeFile::FileStamp> decodeStamp(const QJsonObject& object)
{
    bool ok[4] = {};
    const SafeFile::FileStamp stamp{object.value(u"device"_s).toString().toULongLong(&ok[0]),
                                    object.value(u"inode"_s).toString().toULongLong(&ok[1]),
                                    object.value(u"size"_s).toString().toLongLong(&ok[2]),
                                    object.value(u"modifiedNs"_s).toString().toLongLong(&ok[3])};
    if (!(ok[0] && ok[1] && ok[2] && ok[3]))
        return std::nullopt;
    return stamp;
}

// The entries of one quality whose files are still as they were; the rest
// would never match again.
NotSmallerMemory::Files stillUnchanged(const QJsonArray& entries)
{
    NotSmallerMemory::Files files;
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const QString path = entry.value(u"path"_s).toString();
        const std::optional<SafeFile::FileStamp> stamp = decodeStamp(entry);
        if (!path.isEmpty() && stamp && SafeFile::stampOf(path) == stamp)
            files.insert(path, *stamp);
    }
    return files;
}
} // namespace

NotSmallerMemory::NotSmallerMemory(const QString& dataFolder, QThreadPool& writes, QObject* parent)
    : QObject(parent)
    , m_path(dataFolder.isEmpty() ? QString() : dataFolder + u'/' + fileName)
    , m_writes(writes)
{
    load();
}

NotSmallerMemory::~NotSmallerMemory()
{
    if (m_lastWrite.valid())
        m_lastWrite.wait();
}

void NotSmallerMemory::load()
{
    if (m_path.isEmpty() || !SafeFile::isTaken(m_path))
        return;
    const auto ignored = [this](const QString& why) {
        Console::printLine(u"⚠️ COMPRESS: Ignoring what was found not smaller before (%1): %2"_s.arg(m_path, why));
    };
    QString readError;
    const std::optional<QByteArray> bytes = SafeFile::readRegular(m_path, &readError);
    if (!bytes)
        return ignored(readError);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return ignored(parseError.error != QJsonParseError::NoError ? parseError.errorString() : u"not an object"_s);
    const QJsonObject qualities = document.object().value(u"qualities"_s).toObject();
    for (auto it = qualities.begin(); it != qualities.end(); ++it) {
        bool isNumber = false;
        const int quality = it.key().toInt(&isNumber);
        if (!isNumber || quality < 0 || quality > 100)
            continue;
        if (Files files = stillUnchanged(it.value().toArray()); !files.isEmpty())
            m_byQuality.insert(quality, std::move(files));
    }
}

void NotSmallerMemory::remember(int quality, const Files& files)
{
    Files& known = m_byQuality[quality];
    bool changed = false;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const auto found = known.constFind(it.key());
        if (found == known.cend() || *found != it.value()) {
            known.insert(it.key(), it.value());
            changed = true;
        }
    }
    if (changed)
        save();
}

void NotSmallerMemory::save()
{
    if (m_path.isEmpty())
        return;
    QJsonObject qualities;
    for (auto quality = m_byQuality.cbegin(); quality != m_byQuality.cend(); ++quality) {
        QJsonArray entries;
        for (auto file = quality->cbegin(); file != quality->cend(); ++file)
            entries.append(encode(file.key(), file.value()));
        qualities.insert(QString::number(quality.key()), entries);
    }
    // Written away from the GUI thread: making the file durable may wait for
    // a disk still busy with the run that just ended.
    auto written = std::make_shared<std::promise<void>>();
    m_lastWrite = written->get_future().share();
    m_writes.start([written, path = m_path,
                    bytes = QJsonDocument(QJsonObject{{u"qualities"_s, qualities}}).toJson(QJsonDocument::Compact)] {
        SafeFile::Outcome outcome = SafeFile::makeFolder(path.left(path.lastIndexOf(u'/')));
        if (outcome)
            outcome = SafeFile::writeAtomically(path, bytes);
        if (!outcome)
            Console::printLine(u"⚠️ COMPRESS: Could not keep what was found not smaller: "_s + outcome.error);
        written->set_value();
    });
}
