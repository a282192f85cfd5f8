#pragma once

#include <QString>
#include <QVariant>

#include <initializer_list>
#include <utility>
#include <vector>

enum class LogLevel { debug = 0, info = 1, warning = 2, error = 3 };

// Key/value pairs that follow a log message, kept in the order they were set.
class LogMetadata
{
public:
    using Entry = std::pair<QString, QVariant>;

    LogMetadata() = default;
    LogMetadata(std::initializer_list<Entry> entries);

    // Replaces the value of an existing key in place, else appends.
    void set(const QString& key, QVariant value);
    bool isEmpty() const { return m_entries.empty(); }
    const std::vector<Entry>& entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

// The structured log: one line per event, one Qt logging category per area
// ("org.brindlework.Glimmerdeck.OCR", ...). Thread-safe.
//   [14:03:07.412] [Memory] [INFO] Memory pressure relieved | availableMB=812, appUsageMB=402.7
class Logger
{
public:
    Logger() = delete;

    static void log(LogLevel level, const QString& category, const QString& message, const LogMetadata& metadata = {});

    // The line as written, without the level's prefix ("⚠️ ", "❌ ").
    static QString formatLine(LogLevel level, const QString& category, const QString& message,
                              const LogMetadata& metadata = {});
    // "" or " | key=value, key=value".
    static QString formatMetadata(const LogMetadata& metadata);
    // Text as it stands, integers in decimal, Booleans as true/false, doubles
    // in their shortest exact form with one decimal kept for whole numbers.
    static QString formatValue(const QVariant& value);
    static QString levelName(LogLevel level);
};
