#include "platform/SingleInstance.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QByteArray encode(const QStringList& arguments)
{
    const QByteArray body = QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact);
    QByteArray message;
    QDataStream(&message, QIODevice::WriteOnly) << quint32(body.size());
    return message + body;
}

std::optional<QStringList> decode(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isArray())
        return std::nullopt;
    QStringList arguments;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        arguments.append(value.toString());
    }
    return arguments;
}
} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent)
    , m_name(name)
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName()
{
    return u"org.brindlework.Glimmerdeck-%1"_s.arg(::getuid());
}

SingleInstance::Claim SingleInstance::claim(const QStringList& arguments)
{
    if (forward(arguments))
        return Claim::forwarded;
    // Nobody answered: a socket file left by a crashed instance would block listen().
    QLocalServer::removeServer(m_name);
    return listen() ? Claim::primary : Claim::unavailable;
}

bool SingleInstance::forward(const QStringList& arguments)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encode(arguments));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        m_server.reset();
        return false;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            client->setParent(this);
            connect(client, &QLocalSocket::readyRead, this, [this, client] { readClient(client); });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            // A client that never finishes its message is dropped.
            QTimer::singleShot(timeoutMs, client, [client] { client->abort(); });
        }
    });
    return true;
}

void SingleInstance::readClient(QLocalSocket* client)
{
    if (client->bytesAvailable() < qint64(sizeof(quint32)))
        return;
    quint32 length = 0;
    {
        QDataStream header(client->peek(sizeof(quint32)));
        header >> length;
    }
    if (length > maxMessageBytes) {
        client->abort();
        return;
    }
    if (client->bytesAvailable() < qint64(sizeof(quint32) + length))
        return;
    client->read(sizeof(quint32));
    const auto arguments = decode(client->read(length));
    client->disconnectFromServer();
    if (arguments)
        Q_EMIT argumentsReceived(*arguments);
}
