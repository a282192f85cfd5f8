#include "core/Settings.h"

#include "core/GuiThread.h"
#include "core/Logger.h"

#include <QStandardPaths>

using namespace Qt::StringLiterals;

Settings::Settings(const QString& filePath, QObject* parent)
    : QObject(parent)
    , m_settings(filePath, QSettings::IniFormat)
{}

QString Settings::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/Brindlework/Glimmerdeck.conf"_s;
}

QVariant Settings::value(const QString& key, const QVariant& defaultValue) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings.value(key, defaultValue);
}

bool Settings::contains(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings.contains(key);
}

void Settings::setValue(const QString& key, const QVariant& value)
{
    {
        QMutexLocker lock(&m_mutex);
        m_settings.setValue(key, value);
        save();
    }
    emit keyChanged(key);
}

void Settings::remove(const QString& key)
{
    {
        QMutexLocker lock(&m_mutex);
        if (!m_settings.contains(key))
            return;
        m_settings.remove(key);
        save();
    }
    emit keyChanged(key);
}

std::optional<bool> Settings::boolValue(const QString& key) const
{
    const QVariant stored = value(key);
    if (stored.typeId() == QMetaType::Bool)
        return stored.toBool();
    // The file keeps bools as text, so a value read back from disk is a string.
    if (stored.typeId() == QMetaType::QString) {
        const QString text = stored.toString();
        if (text == u"true"_s)
            return true;
        if (text == u"false"_s)
            return false;
    }
    return std::nullopt;
}

bool Settings::boolValue(const QString& key, bool defaultValue) const
{
    return boolValue(key).value_or(defaultValue);
}

void Settings::save()
{
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError)
        Logger::log(LogLevel::error, u"General"_s, u"Failed to save settings"_s, {{u"file"_s, m_settings.fileName()}});
}
