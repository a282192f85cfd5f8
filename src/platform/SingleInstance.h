#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;

// Keeps one running copy of the program per user. The first copy listens on a
// local socket; a later launch hands its arguments to it and should exit.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // Messages are small lists of arguments; anything larger is dropped.
    static constexpr qint64 maxMessageBytes = 64 * 1024;
    static constexpr int timeoutMs = 2000;

    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Claim {
        primary,     // this process is now the running instance
        forwarded,   // another instance took `arguments`; this process should quit
        unavailable, // nobody answered and no socket could be opened
    };
    Claim claim(const QStringList& arguments);

    static QString defaultName();

Q_SIGNALS:
    // In the running instance, for each later launch.
    void argumentsReceived(const QStringList& arguments);

private:
    bool forward(const QStringList& arguments);
    bool listen();
    void readClient(QLocalSocket* client);

    QString m_name;
    std::unique_ptr<QLocalServer> m_server;
};
