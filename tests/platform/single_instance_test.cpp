#include "platform/SingleInstance.h"
#include "support/Wait.h"

#include <QDataStream>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QUuid>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QString uniqueName()
{
    return u"glimmerdeck-test-"_s + QUuid::createUuid().toString(QUuid::Id128);
}
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
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(received, 1);
}

TEST(SingleInstance, SaysSoWhenItCanNeitherForwardNorListen)
{
    SingleInstance nowhere(u"/nonexistent-folder/glimmerdeck-socket"_s);
    EXPECT_EQ(nowhere.claim({}), SingleInstance::Claim::unavailable);
}
