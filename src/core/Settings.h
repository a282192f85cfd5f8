#pragma once

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <optional>

// The user defaults: one settings file through which every preference is read
// and written, so observers learn of each change from keyChanged().
// Safe to use from any thread; keyChanged() is emitted in the writer's thread.
class Settings : public QObject
{
    Q_OBJECT

public:
    explicit Settings(const QString& filePath, QObject* parent = nullptr);

    // $XDG_CONFIG_HOME/Brindlework/Glimmerdeck.conf
    static QString defaultFilePath();

    QVariant value(const QString& key, const QVariant& defaultValue = {}) const;
    bool contains(const QString& key) const;
    // Stores and saves at once.
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // A stored bool is a real bool or the text "true"/"false"; anything else
    // counts as absent.
    std::optional<bool> boolValue(const QString& key) const;
    bool boolValue(const QString& key, bool defaultValue) const;

    QString filePath() const { return m_settings.fileName(); }

signals:
    void keyChanged(const QString& key);

private:
    void save();

    mutable QMutex m_mutex;
    QSettings m_settings;
};
