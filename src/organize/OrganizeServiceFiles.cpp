#include "organize/OrganizeService.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "core/PathUtils.h"
#include "core/Uuid.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 retentionSeconds = 2'592'000; // 30 days

// Decoding stops at the first problem, described for the console line.
struct DecodeError
{
    QString description;
};

QJsonValue required(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        throw DecodeError{u"The data couldn’t be read because it is missing (key \""_s + key + u"\")."_s};
    return value;
}

[[noreturn]] void wrongType(const QString& key, const char* expected)
{
    throw DecodeError{u"The data couldn’t be read because it isn’t in the correct format (\""_s + key +
                      u"\" is not "_s + QLatin1StringView(expected) + u")."_s};
}

QString stringAt(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = required(object, key);
    if (!value.isString())
        wrongType(key, "a string");
    return value.toString();
}

bool boolAt(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = required(object, key);
    if (!value.isBool())
        wrongType(key, "true or false");
    return value.toBool();
}

qint64 integerAt(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = required(object, key);
    const double number = value.toDouble();
    if (!value.isDouble() || number != std::trunc(number) || std::abs(number) > 9.0e15)
        wrongType(key, "a whole number");
    return qint64(number);
}

QJsonObject objectAt(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = required(object, key);
    if (!value.isObject())
        wrongType(key, "an object");
    return value.toObject();
}

QJsonArray arrayAt(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = required(object, key);
    if (!value.isArray())
        wrongType(key, "an array");
    return value.toArray();
}

QJsonObject element(const QJsonValue& value, const QString& key)
{
    if (!value.isObject())
        wrongType(key, "a list of objects");
    return value.toObject();
}

QDateTime dateAt(const QJsonObject& object, const QString& key)
{
    const std::optional<QDateTime> date = OrganizeService::parseDate(stringAt(object, key));
    if (!date)
        throw DecodeError{u"The data couldn’t be read because the date \""_s + object.value(key).toString() +
                          u"\" is not in the expected format."_s};
    return *date;
}

QUuid uuidAt(const QJsonObject& object, const QString& key)
{
    const std::optional<QUuid> id = parseUuid(stringAt(object, key));
    if (!id)
        throw DecodeError{u"The data couldn’t be read because \""_s + object.value(key).toString() +
                          u"\" is not a UUID."_s};
    return *id;
}

// Written with a trailing separator, as a folder's URL is.
QString folderUrlText(const QUrl& folder)
{
    QString text = folder.toString(QUrl::FullyEncoded);
    return text.endsWith(u'/') ? text : text + u'/';
}

QUrl folderUrlAt(const QJsonObject& object, const QString& key)
{
    const QUrl url(stringAt(object, key), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        throw DecodeError{u"The data couldn’t be read because \""_s + object.value(key).toString() +
                          u"\" is not an absolute URL."_s};
    return url.isLocalFile() ? QUrl::fromLocalFile(withoutTrailingSlashes(url.toLocalFile()).toString()) : url;
}

// Identifiers are kept in upper case whichever case another writer used.
QString idText(const QString& text)
{
    const std::optional<QUuid> id = parseUuid(text);
    return id ? uuidText(*id) : text;
}

QJsonObject encodeUndo(const OrganizeService::UndoData& undoData)
{
    QJsonArray operations;
    for (const OrganizeService::UndoOperation& operation : undoData.operations)
        operations.append(QJsonObject{{u"screenshotId"_s, idText(operation.screenshotId)},
                                      {u"newPath"_s, operation.newPath},
                                      {u"originalPath"_s, operation.originalPath}});
    return {{u"timestamp"_s, OrganizeService::formatDate(undoData.timestamp)},
            {u"baseURL"_s, folderUrlText(undoData.baseURL)},
            {u"operations"_s, operations}};
}

OrganizeService::UndoData decodeUndo(const QJsonObject& object)
{
    OrganizeService::UndoData undoData{dateAt(object, u"timestamp"_s), folderUrlAt(object, u"baseURL"_s), {}};
    for (const QJsonValue& value : arrayAt(object, u"operations"_s)) {
        const QJsonObject operation = element(value, u"operations"_s);
        undoData.operations.append({idText(stringAt(operation, u"screenshotId"_s)), stringAt(operation, u"newPath"_s),
                                    stringAt(operation, u"originalPath"_s)});
    }
    return undoData;
}

QJsonObject encodeEntry(const OrganizeService::HistoryOperation& entry)
{
    return {{u"id"_s, uuidText(entry.id)},
            {u"timestamp"_s, OrganizeService::formatDate(entry.timestamp)},
            {u"description"_s, entry.description},
            {u"moveCount"_s, entry.moveCount},
            {u"options"_s, QJsonObject{{u"groupByYear"_s, entry.options.groupByYear},
                                       {u"groupByMonth"_s, entry.options.groupByMonth},
                                       {u"includeSubfolders"_s, entry.options.includeSubfolders}}},
            {u"undoData"_s, encodeUndo(entry.undoData)}};
}

OrganizeService::HistoryOperation decodeEntry(const QJsonObject& object)
{
    const QJsonObject options = objectAt(object, u"options"_s);
    return {uuidAt(object, u"id"_s),
            dateAt(object, u"timestamp"_s),
            stringAt(object, u"description"_s),
            integerAt(object, u"moveCount"_s),
            {boolAt(options, u"groupByYear"_s), boolAt(options, u"groupByMonth"_s),
             boolAt(options, u"includeSubfolders"_s)},
            decodeUndo(objectAt(object, u"undoData"_s))};
}

QJsonObject parseObject(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodeError{u"The data couldn’t be read because it isn’t in the correct format ("_s +
                          error.errorString() + u" at offset "_s + QString::number(error.offset) + u")."_s};
    if (!document.isObject())
        throw DecodeError{u"The data couldn’t be read because it isn’t in the correct format (not an object)."_s};
    return document.object();
}

// The data folder is made on first use, by the store or by these files.
SafeFile::Outcome writeDataFile(FileOps& fileOps, const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return SafeFile::Outcome::failed(u"There is no data folder."_s);
    if (SafeFile::Outcome folder = fileOps.makeFolder(path.left(path.lastIndexOf(u'/'))); !folder)
        return folder;
    return fileOps.write(path, bytes, FileOps::Write::Replace);
}

template <typename Result, typename Decode>
std::variant<Result, QString> decodeWith(const QByteArray& json, Decode decode)
{
    try {
        return decode(parseObject(json));
    } catch (const DecodeError& error) {
        return error.description;
    }
}

// Nothing when there is no such file or it does not decode.
std::optional<OrganizeService::UndoData> readUndoFile(const QString& path)
{
    const std::optional<QByteArray> bytes = path.isEmpty() ? std::nullopt : SafeFile::readRegular(path);
    if (!bytes)
        return std::nullopt;
    auto decoded = OrganizeService::decodeUndoData(*bytes);
    if (OrganizeService::UndoData* undoData = std::get_if<OrganizeService::UndoData>(&decoded))
        return std::move(*undoData);
    return std::nullopt;
}

} // namespace

QString OrganizeService::formatDate(const QDateTime& date)
{
    return date.toUTC().toString(u"yyyy-MM-dd'T'HH:mm:ss'Z'"_s);
}

std::optional<QDateTime> OrganizeService::parseDate(const QString& text)
{
    static const QRegularExpression form(u"^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z$"_s);
    if (!form.match(text).hasMatch())
        return std::nullopt;
    QDateTime date = QDateTime::fromString(text.chopped(1), u"yyyy-MM-dd'T'HH:mm:ss"_s);
    if (!date.isValid())
        return std::nullopt;
    date.setTimeSpec(Qt::UTC);
    return date;
}

QByteArray OrganizeService::encodeHistory(const OrganizationHistory& history)
{
    QJsonArray operations;
    for (const HistoryOperation& entry : history.operations)
        operations.append(encodeEntry(entry));
    const QJsonObject object{{u"operations"_s, operations}, {u"maxOperations"_s, history.maxOperations}};
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray OrganizeService::encodeUndoData(const UndoData& undoData)
{
    return QJsonDocument(encodeUndo(undoData)).toJson(QJsonDocument::Compact);
}

std::variant<OrganizeService::OrganizationHistory, QString> OrganizeService::decodeHistory(const QByteArray& json)
{
    return decodeWith<OrganizationHistory>(json, [](const QJsonObject& object) {
        OrganizationHistory history;
        history.maxOperations = integerAt(object, u"maxOperations"_s);
        for (const QJsonValue& value : arrayAt(object, u"operations"_s))
            history.operations.append(decodeEntry(element(value, u"operations"_s)));
        return history;
    });
}

std::variant<OrganizeService::UndoData, QString> OrganizeService::decodeUndoData(const QByteArray& json)
{
    return decodeWith<UndoData>(json, decodeUndo);
}

QString OrganizeService::historyFileURL() const
{
    return m_dataFolder.isEmpty() ? QString() : m_dataFolder + u'/' + historyFileName;
}

QString OrganizeService::undoDataFileURL() const
{
    return m_dataFolder.isEmpty() ? QString() : m_dataFolder + u'/' + undoFileName;
}

OrganizeService::OrganizationHistory OrganizeService::loadHistory() const
{
    const QString path = historyFileURL();
    if (path.isEmpty() || !SafeFile::isTaken(path))
        return {};
    QString readError;
    const std::optional<QByteArray> bytes = SafeFile::readRegular(path, &readError);
    if (!bytes) {
        Console::printLine(u"❌ ORGANIZE: Failed to load history: "_s + readError);
        return {};
    }
    auto decoded = decodeHistory(*bytes);
    if (const QString* error = std::get_if<QString>(&decoded)) {
        Console::printLine(u"❌ ORGANIZE: Failed to load history: "_s + *error);
        return {};
    }
    OrganizationHistory history = std::get<OrganizationHistory>(std::move(decoded));
    const QDateTime cutoff = Clock::now().addSecs(-retentionSeconds);
    history.operations.removeIf([&cutoff](const HistoryOperation& entry) { return entry.timestamp < cutoff; });
    Console::printLine(u"📚 ORGANIZE: Loaded history with "_s + QString::number(history.operations.size()) +
                       u" operations"_s);
    return history;
}

void OrganizeService::saveHistory(const OrganizationHistory& history)
{
    (void)writeHistory(history);
}

bool OrganizeService::writeHistory(const OrganizationHistory& history)
{
    const SafeFile::Outcome written = writeDataFile(m_fileOps, historyFileURL(), encodeHistory(history));
    if (!written) {
        Console::printLine(u"❌ ORGANIZE: Failed to save history: "_s + written.error);
        return false;
    }
    Console::printLine(u"💾 ORGANIZE: History saved ("_s + QString::number(history.operations.size()) +
                       u" operations)"_s);
    return true;
}

void OrganizeService::clearHistory()
{
    // The latest run's undo file goes with the history that recorded it:
    // left alone, the next start would offer the run as interrupted.
    if (const std::optional<UndoData> journal = loadUndoData()) {
        const OrganizationHistory history = loadHistory();
        if (std::any_of(history.operations.cbegin(), history.operations.cend(),
                        [&](const HistoryOperation& entry) { return entry.undoData == *journal; }))
            clearUndoData();
    }
    if (!historyFileURL().isEmpty())
        (void)m_fileOps.remove(historyFileURL());
    Console::printLine(u"🗑️ ORGANIZE: History cleared"_s);
}

bool OrganizeService::saveUndoData(const UndoData& undoData)
{
    const SafeFile::Outcome written = writeDataFile(m_fileOps, undoDataFileURL(), encodeUndoData(undoData));
    if (!written) {
        Console::printLine(u"❌ ORGANIZE: Failed to save undo data: "_s + written.error);
        return false;
    }
    Console::printLine(u"💾 ORGANIZE: Undo data saved"_s);
    return true;
}

std::optional<OrganizeService::UndoData> OrganizeService::loadUndoData() const
{
    return readUndoFile(undoDataFileURL());
}

bool OrganizeService::recordUndoUnderWay(const UndoData& undoData)
{
    if (m_dataFolder.isEmpty())
        return true; // nowhere to keep it, as with the other files
    const SafeFile::Outcome written =
        writeDataFile(m_fileOps, m_dataFolder + u'/' + undoingFileName, encodeUndoData(undoData));
    if (!written)
        Console::printLine(u"❌ ORGANIZE: Failed to record the undo before it starts: "_s + written.error);
    return written.ok();
}

std::optional<OrganizeService::UndoData> OrganizeService::loadUndoUnderWay() const
{
    return readUndoFile(m_dataFolder.isEmpty() ? QString() : m_dataFolder + u'/' + undoingFileName);
}

void OrganizeService::clearUndoUnderWay()
{
    if (!m_dataFolder.isEmpty())
        (void)m_fileOps.remove(m_dataFolder + u'/' + undoingFileName);
}

void OrganizeService::clearUndoData()
{
    if (!undoDataFileURL().isEmpty())
        (void)m_fileOps.remove(undoDataFileURL());
    Console::printLine(u"🗑️ ORGANIZE: Undo data cleared"_s);
}
