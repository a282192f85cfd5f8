#include "core/Screenshot.h"

#include "core/Console.h"
#include "core/ImageLoader.h"
#include "core/PathUtils.h"
#include "core/Uuid.h"
#include "core/VideoFrameReader.h"

#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// Linux cannot set a birth time: a file that was copied, restored or
// recompressed is born today but keeps its modification time, which then
// holds the older and truer date.
QDateTime creationDateOf(const QFileInfo& info)
{
    const QDateTime birth = info.birthTime();
    const QDateTime modified = info.lastModified();
    if (birth.isValid() && modified.isValid())
        return std::min(birth, modified);
    if (birth.isValid())
        return birth;
    if (modified.isValid())
        return modified;
    return QDateTime::currentDateTime();
}

QJsonArray toJsonArray(const QStringList& list)
{
    return QJsonArray::fromStringList(list);
}

// The decoder: each read names the key it failed on and then stays failed.
class Reader
{
public:
    explicit Reader(const QJsonObject& json)
        : m_json(json)
    {}

    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    QJsonValue required(const QString& key)
    {
        const QJsonValue value = m_json.value(key);
        if (value.isUndefined() || value.isNull())
            fail(key, u"is missing");
        return value;
    }
    // Absent for a missing key or null, like a decoder's "if present".
    std::optional<QJsonValue> optional(const QString& key) const
    {
        const QJsonValue value = m_json.value(key);
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        return value;
    }

    QString text(const QJsonValue& value, const QString& key)
    {
        if (!value.isString())
            fail(key, u"is not text");
        return value.toString();
    }
    QStringList texts(const QJsonValue& value, const QString& key)
    {
        QStringList result;
        if (!value.isArray()) {
            fail(key, u"is not a list");
            return result;
        }
        for (const QJsonValue& element : value.toArray())
            result.append(text(element, key));
        return result;
    }
    QList<double> numbers(const QJsonValue& value, const QString& key)
    {
        QList<double> result;
        if (!value.isArray()) {
            fail(key, u"is not a list");
            return result;
        }
        for (const QJsonValue& element : value.toArray()) {
            if (!element.isDouble())
                fail(key, u"holds a non-number");
            result.append(element.toDouble());
        }
        return result;
    }
    void fail(const QString& key, QStringView why)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("\"%1\" %2").arg(key, why);
    }

private:
    const QJsonObject& m_json;
    QString m_error;
};

QImage videoThumbnail(const QString& filePath, const QString& filename)
{
    VideoFrameReader reader(filePath);
    QImage frame = reader.frameAt(1.0);
    if (frame.isNull())
        frame = reader.frameAt(0.0);
    if (frame.isNull())
        Console::printLine(u"❌ Failed to generate video thumbnail for "_s + filename + u": "_s + reader.errorString());
    return frame;
}

QImage imageThumbnail(const QString& filePath, const QSizeF& target)
{
    const QSize imageSize = ImageLoader::imageSize(filePath);
    if (!imageSize.isValid())
        return {};
    const auto geometry = Screenshot::previewGeometry(QSizeF(imageSize), target);
    // No fit exists for an empty target: the whole image is the best answer.
    // The bound never exceeds the image, which is never enlarged.
    const double longerSide = std::max(imageSize.width(), imageSize.height());
    const int maxPixelSize = geometry ? int(std::lround(std::clamp(geometry->maxPixelSize, 1.0, longerSide))) : 0;
    QImage preview = ImageLoader::load(filePath, maxPixelSize);
    if (preview.isNull() && maxPixelSize > 0)
        preview = ImageLoader::load(filePath);
    if (preview.isNull() || !geometry)
        return preview;
    // Declared size over pixel size, on the longer side where rounding weighs least.
    const QSizeF declared = geometry->declaredSize;
    const bool wide = declared.width() >= declared.height();
    preview.setDevicePixelRatio(wide ? preview.width() / declared.width() : preview.height() / declared.height());
    return preview;
}

std::optional<QDateTime> parseIsoDate(const QString& text)
{
    QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!date.isValid())
        date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date;
}
} // namespace

QDateTime fileCreationDate(const QString& filePath)
{
    return creationDateOf(QFileInfo(filePath));
}

Screenshot::Screenshot(const QString& path, const QUuid& recordId, std::optional<QString> source)
    : id(recordId)
    , filePath(path)
    , sourceApp(std::move(source))
{
    const QFileInfo info(path);
    filename = info.fileName();
    dateCreated = creationDateOf(info);
    fileSize = info.exists() ? info.size() : 0;
}

bool Screenshot::isVideo() const
{
    const QString extension = pathExtension(filePath).toLower();
    return extension == u"mp4" || extension == u"mov";
}

QImage Screenshot::generateThumbnail(QSizeF target) const
{
    return isVideo() ? videoThumbnail(filePath, filename) : imageThumbnail(filePath, target);
}

QJsonObject Screenshot::toJson() const
{
    QJsonObject json{
        {u"id"_s, uuidText(id)},
        {u"filePath"_s, filePath},
        {u"filename"_s, filename},
        {u"dateCreated"_s, dateCreated.toUTC().toString(Qt::ISODateWithMs)},
        {u"fileSize"_s, fileSize},
        {u"tags"_s, toJsonArray(tags)},
        {u"customTags"_s, toJsonArray(customTags)},
    };
    if (thumbnailData)
        json.insert(u"thumbnailData"_s, QString::fromLatin1(thumbnailData->toBase64()));
    if (ocrText)
        json.insert(u"ocrText"_s, *ocrText);
    if (embedding) {
        QJsonArray values;
        for (double value : *embedding)
            values.append(value);
        json.insert(u"embedding"_s, values);
    }
    if (sourceApp)
        json.insert(u"sourceApp"_s, *sourceApp);
    if (detectedUrls) {
        QJsonArray urls;
        for (const QUrl& url : *detectedUrls)
            urls.append(url.toString(QUrl::FullyEncoded));
        json.insert(u"detectedUrls"_s, urls);
    }
    if (userNotes)
        json.insert(u"userNotes"_s, *userNotes);
    return json;
}

std::optional<Screenshot> Screenshot::fromJson(const QJsonObject& json, QString* error)
{
    Reader in(json);
    Screenshot record;

    const QString idKey = u"id"_s;
    if (auto parsed = parseUuid(in.text(in.required(idKey), idKey)))
        record.id = *parsed;
    else
        in.fail(idKey, u"is not a UUID");

    record.filePath = in.text(in.required(u"filePath"_s), u"filePath"_s);
    record.filename = in.text(in.required(u"filename"_s), u"filename"_s);

    const QString dateKey = u"dateCreated"_s;
    if (auto date = parseIsoDate(in.text(in.required(dateKey), dateKey)))
        record.dateCreated = *date;
    else
        in.fail(dateKey, u"is not an ISO 8601 date");

    const QString sizeKey = u"fileSize"_s;
    const QJsonValue size = in.required(sizeKey);
    const double sizeNumber = size.toDouble();
    if (!size.isDouble() || std::trunc(sizeNumber) != sizeNumber)
        in.fail(sizeKey, u"is not a whole number");
    record.fileSize = size.toInteger();

    record.tags = in.texts(in.required(u"tags"_s), u"tags"_s);
    record.customTags = in.texts(in.required(u"customTags"_s), u"customTags"_s);

    if (auto value = in.optional(u"thumbnailData"_s)) {
        auto decoded = QByteArray::fromBase64Encoding(in.text(*value, u"thumbnailData"_s).toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            in.fail(u"thumbnailData"_s, u"is not base64");
        record.thumbnailData = *decoded;
    }
    if (auto value = in.optional(u"ocrText"_s))
        record.ocrText = in.text(*value, u"ocrText"_s);
    if (auto value = in.optional(u"embedding"_s))
        record.embedding = in.numbers(*value, u"embedding"_s);
    if (auto value = in.optional(u"sourceApp"_s))
        record.sourceApp = in.text(*value, u"sourceApp"_s);
    if (auto value = in.optional(u"detectedUrls"_s)) {
        QList<QUrl> urls;
        for (const QString& text : in.texts(*value, u"detectedUrls"_s)) {
            QUrl url(text, QUrl::StrictMode);
            if (!url.isValid())
                in.fail(u"detectedUrls"_s, u"holds an invalid URL");
            urls.append(url);
        }
        record.detectedUrls = urls;
    }
    if (auto value = in.optional(u"userNotes"_s))
        record.userNotes = in.text(*value, u"userNotes"_s);

    if (in.failed()) {
        if (error)
            *error = in.error();
        return std::nullopt;
    }
    return record;
}

std::optional<Screenshot::PreviewGeometry> Screenshot::previewGeometry(const QSizeF& imageSize, const QSizeF& target)
{
    // Written so that NaN fails too.
    const auto positive = [](double value) { return value > 0 && std::isfinite(value); };
    if (!positive(imageSize.width()) || !positive(imageSize.height()) || !positive(target.width()) ||
        !positive(target.height()))
        return std::nullopt;
    PreviewGeometry geometry;
    geometry.scale = std::min(target.width() / imageSize.width(), target.height() / imageSize.height());
    geometry.declaredSize = imageSize * geometry.scale;
    geometry.maxPixelSize = std::max(geometry.declaredSize.width(), geometry.declaredSize.height());
    return geometry;
}
