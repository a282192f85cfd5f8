#include "platform/SingleInstance.h"
#include "support/Capture.h"
#include "support/Wait.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// In a folder of the test's own: the lock files beside the sockets stay.
QString uniqueName()
{
    static const QTemporaryDir sockets;
    return sockets.filePath(u"glimmerdeck-test-"_s + QUuid::createUuid().toString(QUuid::Id128));
}

// A copy of the program in a process of its own (see the probe).
class Copy
{
public:
    Copy(const QString& name, int shutdownMs, std::optional<int> quitWaitMs = std::nullopt)
    {
        QStringList arguments{name, QString::number(shutdownMs)};
        if (quitWaitMs)
            arguments.append(QString::number(*quitWaitMs));
        m_process.start(QStringLiteral(SINGLE_INSTANCE_PROBE), arguments);
    }
    ~Copy()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Whether it printed a line starting with `what` within `timeoutMs`.
    bool says(const QString& what, int timeoutMs = 15000)
    {
        return waitUntil([&] { return lineOf(what).has_value(); }, timeoutMs);
    }
    // When it printed `what` (real-time clock, ms).
    qint64 timeOf(const QString& what) { return lineOf(what).value_or(QString()).section(u"at="_s, 1).toLongLong(); }
    QString output()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }
    void quit() { m_process.write("quit\n"); }
    // Ends a copy that quits until told to end (a shutdown of -1 ms).
    void end() { m_process.write("end\n"); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    bool ends(int timeoutMs)
    {
        return waitUntil([&] { return !isRunning(); }, timeoutMs);
    }

private:
    std::optional<QString> lineOf(const QString& what)
    {
        for (const QString& line : output().split(u'\n'))
            if (line.startsWith(what))
                return line;
        return std::nullopt;
    }

    QProcess m_process;
    QString m_output;
};
} // namespace

TEST(SingleInstance, FirstClaimsLaterLaunchesForwardTheirArguments)
{
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_EQ(first.claim({u"glimmerdeck"_s}), SingleInstance::Claim::primary);

    QList<QStringList> received;
    QObject::connect(&first, &SingleInstance::argumentsReceived,
                     [&received](const QStringList& arguments) { received.append(arguments); });

    SingleInstance second(name);
    EXPECT_EQ(second.claim({u"glimmerdeck"_s, u"glimmerdeck://open?id=1"_s}), SingleInstance::Claim::forwarded);
    SingleInstance third(name);
    EXPECT_EQ(third.claim({u"glimmerdeck"_s}), SingleInstance::Claim::forwarded);

    ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0], (QStringList{u"glimmerdeck"_s, u"glimmerdeck://open?id=1"_s}));
    EXPECT_EQ(received[1], QStringList{u"glimmerdeck"_s});
}

TEST(SingleInstance, ALeftoverSocketOfACrashedInstanceDoesNotBlockTheNextStart)
{
    const QString name = uniqueName();
    {
        SingleInstance crashed(name);
        ASSERT_EQ(crashed.claim({}), SingleInstance::Claim::primary);
    } // the server closes; a crash would leave the socket file, which claim() removes
    SingleInstance next(name);
    EXPECT_EQ(next.claim({}), SingleInstance::Claim::primary);
}

TEST(SingleInstance, OversizedOrMalformedMessagesAreDropped)
{
    const QString name = uniqueName();
    SingleInstance running(name);
    ASSERT_EQ(running.claim({}), SingleInstance::Claim::primary);
    int received = 0;
    QObject::connect(&running, &SingleInstance::argumentsReceived, [&received] { ++received; });

    const auto send = [&name](const QByteArray& bytes) {
        QLocalSocket socket;
        socket.connectToServer(name);
        ASSERT_TRUE(socket.waitForConnected(1000));
        socket.write(bytes);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
    };
    QByteArray huge;
    QDataStream(&huge, QIODevice::WriteOnly) << quint32(SingleInstance::maxMessageBytes + 1);
    send(huge + QByteArray(100, 'x'));
    QByteArray notJson;
    QDataStream(&notJson, QIODevice::WriteOnly) << quint32(5);
    send(notJson + "hello");

    SingleInstance later(name);
    EXPECT_EQ(later.claim({u"ok"_s}), SingleInstance::Claim::forwarded);
    ASSERT_TRUE(waitUntil([&] { return received == 1; }));
    drainPostedEvents();
    EXPECT_EQ(received, 1);
}

TEST(SingleInstance, AMessageOverTheLimitIsSaidSoOnBothEndsAndNotClaimedAsDelivered)
{
    const QString name = uniqueName();
    SingleInstance running(name);
    ASSERT_EQ(running.claim({}), SingleInstance::Claim::primary);
    int received = 0;
    QObject::connect(&running, &SingleInstance::argumentsReceived, [&received] { ++received; });

    // The sender knows its own message is too large, and so does the running
    // copy when a message says it is.
    ConsoleCapture console;
    SingleInstance sender(name);
    EXPECT_EQ(sender.claim({QString(SingleInstance::maxMessageBytes, u'x')}), SingleInstance::Claim::refused);
    EXPECT_TRUE(console.contains(u"too large"_s));

    LogCapture log;
    QLocalSocket socket;
    socket.connectToServer(name);
    ASSERT_TRUE(socket.waitForConnected(1000));
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly) << quint32(SingleInstance::maxMessageBytes + 1);
    socket.write(header);
    ASSERT_TRUE(waitUntil([&] { return log.contains(u"Launch message over the size limit dropped"_s); }));
    EXPECT_EQ(received, 0);
    // The running copy is still there for the next launch.
    SingleInstance next(name);
    EXPECT_EQ(next.claim({u"ok"_s}), SingleInstance::Claim::forwarded);
}

TEST(SingleInstance, ASocketSquattedByAnotherUserIsNeitherToldNorTrusted)
{
    // Running as one user, "another user" is whoever the instance is told
    // its own user is not.
    const uid_t someoneElse = ::getuid() + 4242;
    const QString name = uniqueName();
    QLocalServer squatter;
    ASSERT_TRUE(squatter.listen(name));
    QByteArray heard;
    int calls = 0;
    int hungUp = 0;
    QObject::connect(&squatter, &QLocalServer::newConnection, [&] {
        QLocalSocket* client = squatter.nextPendingConnection();
        ++calls;
        QObject::connect(client, &QLocalSocket::readyRead, [client, &heard] {
            heard += client->readAll();
            client->write("\x06");
        });
        QObject::connect(client, &QLocalSocket::disconnected, [client, &heard, &hungUp] {
            heard += client->readAll();
            ++hungUp;
        });
    });

    ConsoleCapture console;
    SingleInstance launch(name, someoneElse);
    const SingleInstance::Claim claim = launch.claim({u"glimmerdeck"_s, u"glimmerdeck://open?id=1"_s});
    EXPECT_NE(claim, SingleInstance::Claim::forwarded) << "a launch must not end because a stranger answered";
    // Once the launch has hung up, nothing more can reach the stranger.
    ASSERT_TRUE(waitUntil([&] { return calls > 0 && hungUp == calls; }));
    EXPECT_TRUE(heard.isEmpty()) << "the link went to a stranger";
    EXPECT_TRUE(console.contains(u"Another user's program listens"_s));

    // And the running copy takes nothing from a stranger.
    const QString ownName = uniqueName();
    SingleInstance running(ownName, someoneElse);
    ASSERT_EQ(running.claim({}), SingleInstance::Claim::primary);
    int received = 0;
    QObject::connect(&running, &SingleInstance::argumentsReceived, [&received] { ++received; });
    LogCapture log;
    SingleInstance stranger(ownName);
    EXPECT_NE(stranger.claim({u"glimmerdeck"_s}), SingleInstance::Claim::forwarded);
    EXPECT_TRUE(log.contains(u"Ignored a launch message from another user"_s));
    EXPECT_EQ(received, 0);
}

TEST(SingleInstance, TheSocketLiesInAFolderOnlyItsUserCanEnter)
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0700), 0);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    EXPECT_TRUE(SingleInstance::defaultName().startsWith(runtime.path() + u'/'));

    // Open to others, it is not used; the folder made instead is closed to them.
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0777), 0);
    const QString name = SingleInstance::defaultName();
    EXPECT_FALSE(name.startsWith(runtime.path()));
    struct stat info
    {};
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(name).path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
    if (saved.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", saved);
}

TEST(SingleInstance, SaysSoWhenItCanNeitherForwardNorListen)
{
    SingleInstance nowhere(u"/nonexistent-folder/glimmerdeck-socket"_s);
    EXPECT_EQ(nowhere.claim({}), SingleInstance::Claim::unavailable);
}

// Quitting, the running copy stops taking launches at once but takes a while
// to end (its services shut down); a launch meanwhile must neither hand its
// arguments to nobody nor start beside it.
TEST(SingleInstanceWhileQuitting, ALaunchWaitsForTheQuittingCopyToEndAndThenRunsAsTheFirst)
{
    const QString name = uniqueName();
    Copy running(name, -1);
    ASSERT_TRUE(running.says(u"claim=primary"_s));

    running.quit();
    ASSERT_TRUE(running.says(u"quitting"_s));
    Copy launch(name, 0);
    ASSERT_TRUE(launch.says(u"⏳ Waiting for the running Glimmerdeck to finish quitting"_s))
        << launch.output().toStdString();
    running.end();
    ASSERT_TRUE(launch.says(u"claim="_s)) << launch.output().toStdString();
    EXPECT_TRUE(launch.says(u"claim=primary"_s, 0)) << launch.output().toStdString();
    EXPECT_FALSE(launch.output().contains(u"did not take"_s));
    ASSERT_TRUE(running.says(u"ended"_s));
    EXPECT_GE(launch.timeOf(u"claim=primary"_s), running.timeOf(u"ended"_s)) << "it started beside the quitting copy";

    // It is the running copy now: the next launch hands its arguments to it.
    Copy next(name, 0);
    EXPECT_TRUE(next.says(u"claim=forwarded"_s)) << next.output().toStdString();
}

// A launch whose call reaches the copy just as it stops taking launches is
// let in and then dropped without an answer: it must wait for that copy to
// end and start, not give up.
TEST(SingleInstanceWhileQuitting, ALaunchWhoseCallTheQuittingCopyDropsWaitsAndStarts)
{
    const QString name = uniqueName();
    auto quitting = std::make_unique<SingleInstance>(name);
    ASSERT_EQ(quitting->claim({}), SingleInstance::Claim::primary);
    quitting->stopTakingLaunches(); // it keeps its lock until it ends
    QLocalServer closing;           // what it still takes, as it stops
    ASSERT_TRUE(closing.listen(name));
    int dropped = 0;
    QObject::connect(&closing, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* call = closing.nextPendingConnection()) {
            call->abort();
            ++dropped;
        }
        closing.close();
    });
    QTimer::singleShot(500, &closing, [&quitting] { quitting.reset(); });

    ConsoleCapture console;
    SingleInstance launch(name);
    EXPECT_EQ(launch.claim({u"glimmerdeck"_s}), SingleInstance::Claim::primary);
    EXPECT_EQ(dropped, 1);
    EXPECT_FALSE(quitting) << "it did not wait for the quitting copy to end";
    EXPECT_TRUE(console.contains(u"⏳ Waiting for the running Glimmerdeck to finish quitting"_s));
    EXPECT_FALSE(console.contains(u"did not take"_s));
}

TEST(SingleInstanceWhileQuitting, ACopyThatDoesNotEndIsWaitedForOnlySoLong)
{
    const QString name = uniqueName();
    Copy running(name, 60000);
    ASSERT_TRUE(running.says(u"claim=primary"_s));
    running.quit();
    ASSERT_TRUE(running.says(u"quitting"_s));

    Copy launch(name, 0, 500);
    ASSERT_TRUE(launch.says(u"claim="_s, 5000)) << launch.output().toStdString();
    EXPECT_TRUE(launch.says(u"claim=refused"_s, 0)) << launch.output().toStdString();
    EXPECT_TRUE(launch.output().contains(u"❌ The running Glimmerdeck is still quitting"_s));
    EXPECT_TRUE(running.isRunning());
}

TEST(SingleInstanceWhileQuitting, ACopyThatEndedWithoutQuittingLeavesNothingToWaitFor)
{
    // Killed: neither its socket file nor its lock stands in the way.
    const QString name = uniqueName();
    {
        Copy crashed(name, 0);
        ASSERT_TRUE(crashed.says(u"claim=primary"_s));
    }
    ASSERT_TRUE(QFile::exists(name));
    Copy launch(name, 0);
    ASSERT_TRUE(launch.says(u"claim="_s, 5000));
    EXPECT_TRUE(launch.says(u"claim=primary"_s, 0)) << launch.output().toStdString();
    EXPECT_FALSE(launch.output().contains(u"Waiting"_s));
}
