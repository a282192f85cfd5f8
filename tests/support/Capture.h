#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>
#include <mutex>

// Collects console lines while alive (from any thread) instead of printing them.
class ConsoleCapture
{
public:
    ConsoleCapture();
    ~ConsoleCapture();

    QStringList lines() const;
    // Lines that contain `part`.
    QStringList matching(const QString& part) const;
    bool contains(const QString& part) const { return !matching(part).isEmpty(); }
    void clear();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// Collects Qt log messages (the structured log writes through them) while
// alive, from any thread.
class LogCapture
{
public:
    struct Entry
    {
        QtMsgType type;
        QString category;
        QString message;
    };

    LogCapture();
    ~LogCapture();

    QList<Entry> entries() const;
    QStringList messages() const;
    QStringList matching(const QString& part) const;
    bool contains(const QString& part) const { return !matching(part).isEmpty(); }
    void clear();
};
