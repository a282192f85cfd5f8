#include "platform/SingleInstance.h"

#include "core/Console.h"
#include "core/Logger.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// Sent back by the running instance once it has taken a message.
constexpr char acknowledgement = '\x06';
const QString category = u"General"_s;
// How often a launch looks again whether a quitting copy has ended.
constexpr int quitPollMs = 50;

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

// A folder (not a link) that belongs to the user and that nobody else may
// enter or change.
bool isPrivateFolder(const QString& path)
{
    struct stat info
    {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// Handles events (a running instance in this very process may need them to
// end) while waiting a little.
void pauseBriefly()
{
    QElapsedTimer paused;
    paused.start();
    while (paused.elapsed() < quitPollMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
}

void sayNotTaken()
{
    Console::printLine(u"❌ The running Glimmerdeck did not take the launch arguments"_s);
}
} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : SingleInstance(name, ::getuid(), parent)
{}

SingleInstance::SingleInstance(const QString& name, uid_t owner, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_owner(owner)
{}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::privateFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        return runtime;
    // The temporary folder is shared: the folder is made closed to others,
    // and one made by somebody else under our name is not used.
    const QString own = QDir::tempPath() + u"/org.brindlework.Glimmerdeck-%1"_s.arg(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateFolder(own) ? own : QString();
}

QString SingleInstance::defaultName()
{
    const QString folder = privateFolder();
    // Without a private folder the peer checks alone keep others out.
    return folder.isEmpty() ? u"org.brindlework.Glimmerdeck-%1"_s.arg(::getuid())
                            : folder + u"/org.brindlework.Glimmerdeck.socket"_s;
}

SingleInstance::Claim SingleInstance::claim(const QStringList& arguments)
{
    QElapsedTimer waited;
    waited.start();
    bool saidWaiting = false;
    bool saidForeign = false;
    Forward previous = Forward::none;
    for (;;) {
        const Forward forwarded = forward(arguments);
        switch (forwarded) {
        case Forward::delivered:
            return Claim::forwarded;
        case Forward::tooLarge:
            return Claim::refused;
        case Forward::unanswered:
            sayNotTaken();
            return Claim::refused;
        case Forward::dropped:
            // Once is a copy that stopped listening as we called; twice, it
            // is still listening and turns us away.
            if (previous == Forward::dropped) {
                sayNotTaken();
                return Claim::refused;
            }
            break;
        case Forward::foreign:
            if (!std::exchange(saidForeign, true))
                Console::printLine(u"⚠️ Another user's program listens at "_s + m_name +
                                   u"; it was told nothing"_s);
            break;
        case Forward::none:
            break;
        }
        previous = forwarded;

        if (takeLock() != Lock::heldElsewhere) {
            // Nobody of ours runs: a socket file left by a crashed instance
            // (or put there by someone else) would block listen().
            QLocalServer::removeServer(m_name);
            if (listen())
                return Claim::primary;
            // Later launches will not find us either; they need not wait.
            m_lock = SafeFile::FileHandle();
            return Claim::unavailable;
        }
        // A copy of ours runs but takes no launches: it is quitting.
        if (waited.elapsed() >= m_quitWait.count()) {
            Console::printLine(u"❌ The running Glimmerdeck is still quitting; try again once it has ended"_s);
            return Claim::refused;
        }
        if (!std::exchange(saidWaiting, true))
            Console::printLine(u"⏳ Waiting for the running Glimmerdeck to finish quitting"_s);
        pauseBriefly();
    }
}

void SingleInstance::stopTakingLaunches()
{
    if (m_server)
        m_server->close(); // removes the socket file too
}

QString SingleInstance::lockPath() const
{
    // Where QLocalServer puts a socket given by a bare name.
    const QString socket = QDir::isAbsolutePath(m_name) ? m_name : QDir::tempPath() + u'/' + m_name;
    return socket + u".lock"_s;
}

SingleInstance::Lock SingleInstance::takeLock()
{
    // Never through a link, and only a file of our own: in a shared folder
    // somebody else could otherwise hold it and keep every launch waiting.
    SafeFile::FileHandle file(
        ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat info
    {};
    if (!file.isOpen() || ::fstat(file.descriptor(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid())
        return Lock::unusable;
    if (::flock(file.descriptor(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? Lock::heldElsewhere : Lock::unusable;
    m_lock = std::move(file);
    return Lock::taken;
}

bool SingleInstance::isOwnPeer(const QLocalSocket& socket) const
{
    struct ucred peer
    {};
    socklen_t length = sizeof(peer);
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           peer.uid == m_owner;
}

SingleInstance::Forward SingleInstance::forward(const QStringList& arguments)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return Forward::none;
    if (!isOwnPeer(socket))
        return Forward::foreign;
    const QByteArray message = encode(arguments);
    if (message.size() - qint64(sizeof(quint32)) > maxMessageBytes) {
        Console::printLine(u"❌ The launch arguments are too large to hand to the running Glimmerdeck"_s);
        return Forward::tooLarge;
    }
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return socket.state() == QLocalSocket::ConnectedState ? Forward::unanswered : Forward::dropped;
    // Only the running instance's word says the arguments arrived. Events
    // are handled meanwhile: before any window exists that costs nothing,
    // and a running instance in this very process (tests) can answer.
    QElapsedTimer waited;
    waited.start();
    while (socket.bytesAvailable() < 1 && socket.state() == QLocalSocket::ConnectedState &&
           waited.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        socket.waitForReadyRead(10);
    }
    char answer = 0;
    const bool taken = socket.read(&answer, 1) == 1 && answer == acknowledgement;
    const bool connected = socket.state() == QLocalSocket::ConnectedState;
    socket.disconnectFromServer();
    if (taken)
        return Forward::delivered;
    return connected ? Forward::unanswered : Forward::dropped;
}

bool SingleInstance::listen()
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        m_server.reset();
        return false;
    }
    // Before anything else connected to it: the services' shutdown, which
    // may take seconds, runs with later launches already told to wait.
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &SingleInstance::stopTakingLaunches);
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            client->setParent(this);
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            if (!isOwnPeer(*client)) {
                Logger::log(LogLevel::warning, category, u"Ignored a launch message from another user"_s);
                client->abort();
                continue;
            }
            connect(client, &QLocalSocket::readyRead, this, [this, client] { readClient(client); });
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
        Logger::log(LogLevel::warning, category, u"Launch message over the size limit dropped"_s,
                    {{u"bytes"_s, qint64(length)}, {u"limit"_s, maxMessageBytes}});
        client->abort();
        return;
    }
    if (client->bytesAvailable() < qint64(sizeof(quint32) + length))
        return;
    client->read(sizeof(quint32));
    const auto arguments = decode(client->read(length));
    if (!arguments) {
        Logger::log(LogLevel::warning, category, u"Malformed launch message dropped"_s);
        client->abort();
        return;
    }
    client->write(&acknowledgement, 1);
    client->flush();
    client->disconnectFromServer();
    Q_EMIT argumentsReceived(*arguments);
}
