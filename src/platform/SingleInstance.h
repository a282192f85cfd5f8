#pragma once

#include "platform/SafeFile.h"

#include <QObject>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

#include <sys/types.h>

class QLocalServer;
class QLocalSocket;

// Keeps one running copy of the program per user. The first copy listens on a
// local socket in the user's own runtime folder; a later launch hands its
// arguments to it and should exit. Both ends check who is at the other end by
// the socket's peer credentials: a program of another user listening or
// calling there gets nothing and is told nothing.
//
// The running copy also holds a lock on a file beside the socket until it
// ends. A copy that is quitting stops listening at once but may take a while
// to end (it finishes writing its store); a launch meanwhile finds the lock
// held, waits for it to be let go and then starts as the first copy.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // Messages are small lists of arguments; anything larger is refused
    // (and said so on both ends).
    static constexpr qint64 maxMessageBytes = 64 * 1024;
    static constexpr int timeoutMs = 2000;
    // How long a launch waits for a copy that is quitting to end.
    static constexpr std::chrono::milliseconds quitWait{10000};

    // `owner`: the user whose programs may be at the other end (this
    // process's user unless a test says otherwise).
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    SingleInstance(const QString& name, uid_t owner, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Claim {
        primary,     // this process is now the running instance
        forwarded,   // the running instance confirmed it took `arguments`; this process should quit
        refused,     // the running instance did not take `arguments` (too large, no answer, or still
                     // quitting after quitWait); this process should quit
        unavailable, // nobody of ours answered and no socket could be opened
    };
    Claim claim(const QStringList& arguments);

    // Quitting has begun (run on the application's aboutToQuit): later
    // launches no longer reach this copy but wait for it to end. The lock is
    // kept until this object is destroyed, so its owner decides how long
    // "running" lasts.
    void stopTakingLaunches();

    // Tests shorten the wait for a quitting copy.
    void setQuitWait(std::chrono::milliseconds wait) { m_quitWait = wait; }

    // The socket's path in the user's runtime folder ($XDG_RUNTIME_DIR when
    // it is the user's own and closed to others, else a folder of the
    // user's own made in the temporary folder).
    static QString defaultName();
    // The folder defaultName() lies in, made when missing; empty when no
    // folder closed to other users could be had.
    static QString privateFolder();

Q_SIGNALS:
    // In the running instance, for each later launch.
    void argumentsReceived(const QStringList& arguments);

private:
    enum class Forward {
        none,       // nobody listens
        delivered,  // the running instance confirmed it took the arguments
        tooLarge,   // not sent: over maxMessageBytes
        unanswered, // connected, but no answer within timeoutMs (a busy copy)
        dropped,    // the connection closed without an answer (a copy that stopped listening)
        foreign,    // another user's program listens there
    };
    Forward forward(const QStringList& arguments);
    enum class Lock { taken, heldElsewhere, unusable };
    Lock takeLock();
    QString lockPath() const;
    bool listen();
    void readClient(QLocalSocket* client);
    bool isOwnPeer(const QLocalSocket& socket) const;

    QString m_name;
    uid_t m_owner;
    std::chrono::milliseconds m_quitWait = quitWait;
    // Let go after the server is closed: the next copy listens only then.
    SafeFile::FileHandle m_lock;
    std::unique_ptr<QLocalServer> m_server;
};
