// The event-loop TCP layer against Qt's own sockets as the other end.
#include "platform/TcpSocket.h"

#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

namespace {

// A listener in a child process that has every descriptor its limit allows in use: what it did
// once the parent is through with it.
struct ShortageReport
{
    int Accepted = -1;
    int Failures = -1;
};

class ShortOfDescriptors
{
public:
    // With `spare`, the listener opens its port while a descriptor is still free for its
    // spare; without, the process is out of descriptors from the moment it listens.
    explicit ShortOfDescriptors(bool spare)
    {
        // A child that went early must fail the test, not kill it with SIGPIPE.
        ::signal(SIGPIPE, SIG_IGN);
        if (::pipe2(m_toChild, O_CLOEXEC) != 0 || ::pipe2(m_fromChild, O_CLOEXEC) != 0)
            return;
        m_child = ::fork();
        if (m_child == 0)
            ::_exit(Child(spare));
        ::close(m_toChild[0]);
        ::close(m_fromChild[1]);
        quint16 port = 0;
        if (::read(m_fromChild[0], &port, sizeof port) == sizeof port)
            m_port = port;
    }
    ~ShortOfDescriptors()
    {
        Tell('q');
        if (m_child > 0)
            ::waitpid(m_child, nullptr, 0);
        ::close(m_toChild[1]);
        ::close(m_fromChild[0]);
    }

    quint16 Port() const { return m_port; }
    // Lets the child have its descriptors back.
    void Release() { Tell('r'); }
    ShortageReport Finish()
    {
        Tell('q');
        ShortageReport report;
        if (::read(m_fromChild[0], &report, sizeof report) != sizeof report)
            return {};
        return report;
    }

private:
    void Tell(char what) { [[maybe_unused]] const auto written = ::write(m_toChild[1], &what, 1); }

    int Child(bool spare)
    {
        ::close(m_toChild[1]);
        ::close(m_fromChild[0]);
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = 64;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        int argc = 1;
        char name[8] = "child";
        char* argv[1] = {name};
        QCoreApplication app(argc, argv);
        std::vector<int> held;
        const auto holdAll = [&held, this] {
            for (int fd; (fd = ::dup(m_toChild[0])) >= 0;)
                held.push_back(fd);
        };
        TcpListener listener;
        if (!spare) {
            holdAll();
            ::close(held.back());
            held.pop_back();
        }
        if (!listener.Listen(0))
            return 1;
        if (spare)
            holdAll();
        ShortageReport report{0, 0};
        QObject::connect(&listener, &TcpListener::NewConnection, [&] {
            while (TcpConnection* connection = listener.NextPendingConnection()) {
                ++report.Accepted;
                delete connection;
            }
        });
        QObject::connect(&listener, &TcpListener::AcceptFailed, [&] { ++report.Failures; });
        QSocketNotifier told(m_toChild[0], QSocketNotifier::Read);
        QObject::connect(&told, &QSocketNotifier::activated, [&] {
            char what = 0;
            if (::read(m_toChild[0], &what, 1) != 1 || what == 'q') {
                app.quit();
                return;
            }
            for (int fd : held)
                ::close(fd);
            held.clear();
        });
        const quint16 port = listener.Port();
        if (::write(m_fromChild[1], &port, sizeof port) != sizeof port)
            return 1;
        app.exec();
        return ::write(m_fromChild[1], &report, sizeof report) == sizeof report ? 0 : 1;
    }

    int m_toChild[2] = {-1, -1};
    int m_fromChild[2] = {-1, -1};
    pid_t m_child = -1;
    quint16 m_port = 0;
};

// Connects `count` clients at once without waiting for the handshakes.
std::vector<int> ConnectClients(quint16 port, int count)
{
    std::vector<int> clients;
    const sockaddr_in address{AF_INET, htons(port), {Loopback}, {}};
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        clients.push_back(fd);
    }
    return clients;
}

// Waits until the server has closed every client (an end or a reset), at most `timeoutMs`;
// the clients are closed in any case. How many it closed.
int ClosedByServer(std::vector<int>& clients, int timeoutMs)
{
    std::vector<pollfd> watched;
    for (int fd : clients)
        watched.push_back({fd, POLLIN, 0});
    int closed = 0;
    QElapsedTimer clock;
    clock.start();
    while (closed < int(watched.size()) && clock.elapsed() < timeoutMs) {
        if (::poll(watched.data(), watched.size(), 100) <= 0)
            continue;
        for (pollfd& client : watched) {
            if (client.fd < 0 || client.revents == 0)
                continue;
            char byte;
            const ssize_t got = ::recv(client.fd, &byte, 1, MSG_DONTWAIT);
            if (got == 0 || (got < 0 && errno != EAGAIN)) {
                ++closed;
                client.fd = -1;
            }
        }
    }
    for (int fd : clients)
        ::close(fd);
    clients.clear();
    return closed;
}

} // namespace

TEST(TcpListenerShortOfDescriptors, ClientsAreTurnedAwayOnTheSpareDescriptor)
{
    ShortOfDescriptors child(true);
    ASSERT_NE(child.Port(), 0);
    // 3000 clients, 500 at a time: each is taken on the spare and closed at once.
    int closed = 0;
    for (int batch = 0; batch < 6 && closed == batch * 500; ++batch) {
        std::vector<int> clients = ConnectClients(child.Port(), 500);
        closed += ClosedByServer(clients, 30000);
    }
    EXPECT_EQ(closed, 3000);
    const ShortageReport report = child.Finish();
    EXPECT_EQ(report.Accepted, 0);
    EXPECT_GE(report.Failures, 1);
}

TEST(TcpListenerShortOfDescriptors, WithoutASpareTheListenerRestsAndThenTakesTheWaitingClients)
{
    ShortOfDescriptors child(false);
    ASSERT_NE(child.Port(), 0);
    std::vector<int> clients = ConnectClients(child.Port(), 20);
    // Nobody can be taken: over this while a listener that retried at once would fail
    // thousands of times; one that rests fails about once a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    child.Release();
    EXPECT_EQ(ClosedByServer(clients, 30000), 20);
    const ShortageReport report = child.Finish();
    EXPECT_EQ(report.Accepted, 20);
    EXPECT_GE(report.Failures, 1);
    EXPECT_LE(report.Failures, 8);
}
