#include "core/Logger.h"

#include "core/Clock.h"

#include <QLocale>
#include <QLoggingCategory>

#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// Debug lines are kept out of the default output, as a system log would keep
// them; QT_LOGGING_RULES ("org.brindlework.Glimmerdeck.*.debug=true") shows them.
#define BRINDLE_LOG_CATEGORY(function, name)                                                                           \
    const QLoggingCategory& function()                                                                                 \
    {                                                                                                                  \
        static const QLoggingCategory category("org.brindlework.Glimmerdeck." name, QtInfoMsg);                        \
        return category;                                                                                               \
    }
BRINDLE_LOG_CATEGORY(ocrCategory, "OCR")
BRINDLE_LOG_CATEGORY(visionCategory, "Vision")
BRINDLE_LOG_CATEGORY(embeddingCategory, "Embedding")
BRINDLE_LOG_CATEGORY(databaseCategory, "Database")
BRINDLE_LOG_CATEGORY(processingCategory, "Processing")
BRINDLE_LOG_CATEGORY(spotlightCategory, "Spotlight")
BRINDLE_LOG_CATEGORY(memoryCategory, "Memory")
BRINDLE_LOG_CATEGORY(generalCategory, "General")
#undef BRINDLE_LOG_CATEGORY

// Any other name ("Performance", "Scan") is written through "General".
const QLoggingCategory& categoryFor(const QString& name)
{
    using Getter = const QLoggingCategory& (*)();
    static const std::array<std::pair<QStringView, Getter>, 8> table{{
        {u"OCR", ocrCategory},
        {u"Vision", visionCategory},
        {u"Embedding", embeddingCategory},
        {u"Database", databaseCategory},
        {u"Processing", processingCategory},
        {u"Spotlight", spotlightCategory},
        {u"Memory", memoryCategory},
        {u"General", generalCategory},
    }};
    for (const auto& [categoryName, getter] : table) {
        if (categoryName == name)
            return getter();
    }
    return generalCategory();
}

// The shortest decimal that reads back as the same number, never with an
// exponent (a reader of the log compares 100000.0 with 99999.5, not with
// "1e+05"), and with ".0" on whole numbers.
QString formatDouble(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    if (!text.contains(u'.'))
        text += u".0"_s;
    return text;
}
} // namespace

LogMetadata::LogMetadata(std::initializer_list<Entry> entries)
{
    for (const Entry& entry : entries)
        set(entry.first, entry.second);
}

void LogMetadata::set(const QString& key, QVariant value)
{
    for (Entry& entry : m_entries) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    m_entries.emplace_back(key, std::move(value));
}

QString Logger::levelName(LogLevel level)
{
    switch (level) {
    case LogLevel::debug:
        return u"DEBUG"_s;
    case LogLevel::info:
        return u"INFO"_s;
    case LogLevel::warning:
        return u"WARNING"_s;
    case LogLevel::error:
        return u"ERROR"_s;
    }
    return u"INFO"_s;
}

QString Logger::formatValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? u"true"_s : u"false"_s;
    case QMetaType::Double:
        return formatDouble(value.toDouble());
    case QMetaType::Float:
        return formatDouble(double(value.toFloat()));
    default:
        return value.toString();
    }
}

QString Logger::formatMetadata(const LogMetadata& metadata)
{
    if (metadata.isEmpty())
        return {};
    QStringList entries;
    for (const auto& [key, value] : metadata.entries())
        entries.append(key + u'=' + formatValue(value));
    return u" | "_s + entries.join(u", "_s);
}

QString Logger::formatLine(LogLevel level, const QString& category, const QString& message, const LogMetadata& metadata)
{
    const QString time = Clock::now().toString(u"HH:mm:ss.zzz"_s);
    return u'[' + time + u"] ["_s + category + u"] ["_s + levelName(level) + u"] "_s + message +
           formatMetadata(metadata);
}

void Logger::log(LogLevel level, const QString& category, const QString& message, const LogMetadata& metadata)
{
    const QString line = formatLine(level, category, message, metadata);
    const QLoggingCategory& target = categoryFor(category);
    switch (level) {
    case LogLevel::debug:
        qCDebug(target).noquote() << line;
        break;
    case LogLevel::info:
        qCInfo(target).noquote() << line;
        break;
    case LogLevel::warning:
        qCWarning(target).noquote() << u"⚠️ "_s + line;
        break;
    case LogLevel::error:
        qCCritical(target).noquote() << u"❌ "_s + line;
        break;
    }
}
