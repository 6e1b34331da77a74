// The event-loop TCP layer against Qt's own sockets as the other end.
#include "platform/TcpSocket.h"
#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>

namespace {

const std::uint32_t Loopback = htonl(INADDR_LOOPBACK);

class TcpSocket : public ::testing::Test
{
protected:
    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
};

// A port nobody listens on: one that was just free.
quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

TEST_F(TcpSocket, AConnectionCarriesBothWaysAndReportsThePeersClose)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TcpConnection client;
    int connected = 0, disconnected = 0, failed = 0;
    QByteArray received;
    QObject::connect(&client, &TcpConnection::Connected, [&] { ++connected; });
    QObject::connect(&client, &TcpConnection::ReadyRead, [&] { received += client.ReadAll(); });
    QObject::connect(&client, &TcpConnection::Disconnected, [&] { ++disconnected; });
    QObject::connect(&client, &TcpConnection::Failed, [&] { ++failed; });

    ASSERT_TRUE(client.ConnectTo(Loopback, server.serverPort()));
    EXPECT_FALSE(client.ConnectTo(Loopback, server.serverPort())); // one at a time
    EXPECT_EQ(client.GetState(), TcpConnection::State::Connecting);
    ASSERT_TRUE(RunUntil([&] { return connected == 1 && server.hasPendingConnections(); }));
    EXPECT_EQ(client.GetState(), TcpConnection::State::Connected);
    EXPECT_EQ(DottedAddress(client.PeerAddress()), "127.0.0.1");
    EXPECT_EQ(client.PeerPort(), server.serverPort());
    QTcpSocket* peer = server.nextPendingConnection();
    EXPECT_EQ(client.LocalPort(), peer->peerPort());

    // More than one send takes, so the rest goes out as the socket drains.
    const QByteArray big(4 << 20, 'x');
    client.Write(big);
    QByteArray atPeer;
    ASSERT_TRUE(RunUntil([&] {
        peer->waitForReadyRead(5);
        atPeer += peer->readAll();
        return atPeer.size() >= big.size();
    }, 20000));
    EXPECT_EQ(atPeer, big);

    peer->write("200 OK\r\n");
    peer->flush();
    peer->disconnectFromHost();
    ASSERT_TRUE(RunUntil([&] { return disconnected == 1; }));
    EXPECT_EQ(received, "200 OK\r\n");
    EXPECT_EQ(client.GetState(), TcpConnection::State::Unconnected);
    EXPECT_EQ(failed, 0);
    client.Write("dropped"); // not connected: nothing happens
}

TEST_F(TcpSocket, ARefusedConnectIsAFailureAndCloseIsSilent)
{
    TcpConnection client;
    int failed = 0, error = 0, others = 0;
    QObject::connect(&client, &TcpConnection::Failed, [&](int e) { ++failed, error = e; });
    QObject::connect(&client, &TcpConnection::Connected, [&] { ++others; });
    QObject::connect(&client, &TcpConnection::Disconnected, [&] { ++others; });
    ASSERT_TRUE(client.ConnectTo(Loopback, ClosedPort()));
    ASSERT_TRUE(RunUntil([&] { return failed == 1; }));
    EXPECT_EQ(error, ECONNREFUSED);
    EXPECT_EQ(client.GetState(), TcpConnection::State::Unconnected);

    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(client.ConnectTo(Loopback, server.serverPort()));
    client.Close();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(others, 0);
    EXPECT_EQ(failed, 1);
}

TEST_F(TcpSocket, TheListenerHandsOutEveryClientAndAHandlerMayDeleteItsConnection)
{
    TcpListener listener;
    ASSERT_TRUE(listener.Listen(0));
    EXPECT_FALSE(listener.Listen(0));
    TcpListener second;
    EXPECT_FALSE(second.Listen(listener.Port())); // in use
    EXPECT_FALSE(second.Listening());

    QStringList messages;
    int gone = 0;
    QObject::connect(&listener, &TcpListener::NewConnection, [&] {
        while (TcpConnection* connection = listener.NextPendingConnection()) {
            EXPECT_EQ(DottedAddress(connection->LocalAddress()), "127.0.0.1");
            QObject::connect(connection, &TcpConnection::ReadyRead, [&, connection] {
                messages << QString::fromLatin1(connection->ReadAll());
            });
            // Deleted inside its own signal, as a server that is done with a client does.
            QObject::connect(connection, &TcpConnection::Disconnected, [&, connection] {
                ++gone;
                delete connection;
            });
        }
    });
    for (const char* text : {"first", "second", "third"})
        ASSERT_TRUE(SendToLocalPort(listener.Port(), text, 1000));
    ASSERT_TRUE(RunUntil([&] { return gone == 3; }));
    messages.sort();
    EXPECT_EQ(messages, QStringList({"first", "second", "third"}));
    EXPECT_TRUE(listener.findChildren<TcpConnection*>().isEmpty());

    EXPECT_FALSE(SendToLocalPort(ClosedPort(), "nobody", 1000));
}
