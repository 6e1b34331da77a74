#include "net/LocalTalk.h"

#include "skin/SkinCatalogue.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class LocalTalk : public ::testing::Test
{
protected:
    LocalTalk()
    {
        folder.Write("Skin/Foo.ini", "[Pulsmir2_Skin]\r\nSkinName=Foo\r\n");
        folder.Write("Skin/Bar.ini", "[Pulsmir2_Skin]\r\nSkinName=Bar\r\n");
        folder.Write("outside.ini", "[Pulsmir2_Skin]\r\nSkinName=Outside\r\n");
    }

    TLocalTalkSkins Skins()
    {
        return {{folder.File("Skin")}, &ReadSkinName, [this] { ++refreshes; },
                [this] { return menu; },
                [this](const QString& name) {
                    selected << name;
                    if (whileSelecting)
                        whileSelecting();
                }};
    }

    // The log lines after the last "Data Receive".
    QStringList Reply(const QString& message)
    {
        server.HandleMessage(message);
        const QStringList lines = log.Lines();
        return lines.mid(lines.lastIndexOf("Pulsmir Local Talk : Data Receive") + 2);
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    TempProgramFolder folder;
    LogCapture log;
    QStringList menu = {"Bar", "Foo"};
    QStringList selected;
    int refreshes = 0;
    std::function<void()> whileSelecting;
    TLocalTalkServer server{Skins(), log.Writer()};
};

} // namespace

TEST(LocalTalkMessages, HeaderBeforeTheFirstColonAndTheArgumentUnchanged)
{
    const TLocalTalkMessage select = ParseLocalTalkMessage("SELECTSKIN:a:b.ini \r\n");
    EXPECT_EQ(select.Type, TLocalTalkMessage::Kind::SelectSkin);
    EXPECT_EQ(select.Argument, "a:b.ini \r\n");
    EXPECT_EQ(ParseLocalTalkMessage("selectskin:Foo.ini").Type, TLocalTalkMessage::Kind::Unknown);
    EXPECT_EQ(ParseLocalTalkMessage(":Foo.ini").Type, TLocalTalkMessage::Kind::Illegal);
    EXPECT_EQ(ParseLocalTalkMessage("SELECTSKIN").Type, TLocalTalkMessage::Kind::Illegal);
}

TEST_F(LocalTalk, SelectSkinSwitchesByTheNameInTheFile)
{
    EXPECT_EQ(Reply("SELECTSKIN:Foo.ini"),
              QStringList({"  Recognized Header : SELECTSKIN", "  Skin Change to \"Foo\"",
                           "##Remote Control Start", "##Remote Control End"}));
    EXPECT_EQ(selected, QStringList({"Foo"}));
    EXPECT_EQ(refreshes, 1);

    // Read but not in the menu: the list is rebuilt, nothing else.
    menu = {"Bar"};
    EXPECT_EQ(Reply("SELECTSKIN:Foo.ini"),
              QStringList({"  Recognized Header : SELECTSKIN", "  Skin Change to \"Foo\""}));
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(selected.size(), 1);
}

TEST_F(LocalTalk, EveryOtherMessageIsOneLogLine)
{
    EXPECT_EQ(Reply("selectskin:Foo.ini"), QStringList({"  Unknown Header : \"selectskin\""}));
    EXPECT_EQ(Reply(":Foo.ini"), QStringList({"  Illegal Message : \":Foo.ini\""}));
    EXPECT_EQ(Reply("SELECTSKIN"), QStringList({"  Illegal Message : \"SELECTSKIN\""}));
    // The line end is part of the name, written out in the log.
    EXPECT_EQ(Reply("SELECTSKIN:Foo.ini\r\n"),
              QStringList(
                  {"  Recognized Header : SELECTSKIN", "  Unknown Skin Name : \"Foo.ini\\r\\n\""}));
    EXPECT_TRUE(log.Lines().contains("  Receive Data : selectskin:Foo.ini"));
    EXPECT_TRUE(selected.isEmpty());
    EXPECT_EQ(refreshes, 0);
}

TEST_F(LocalTalk, NamesThatLeadOutOfTheSkinFolderAreNotRead)
{
    ASSERT_TRUE(QFile::link(folder.File("outside.ini"), folder.File("Skin/Link.ini")));
    for (const QString& argument :
         {QString("../outside.ini"), QString("..\\outside.ini"), folder.File("outside.ini"),
          QString("Link.ini"), QString("sub/../../outside.ini")}) {
        EXPECT_EQ(Reply("SELECTSKIN:" + argument).last(),
                  "  Unknown Skin Name : \"" + argument + "\"")
            << argument.toStdString();
    }
    EXPECT_TRUE(selected.isEmpty());
    // A link that stays inside the folder is fine.
    ASSERT_TRUE(QFile::link(folder.File("Skin/Foo.ini"), folder.File("Skin/Alias.ini")));
    EXPECT_EQ(Reply("SELECTSKIN:Alias.ini")[1], "  Skin Change to \"Foo\"");
}

TEST_F(LocalTalk, OverRealSocketsLocalClientsAreHeardAndOthersDenied)
{
    ASSERT_TRUE(server.Open(0));
    EXPECT_TRUE(log.Lines().contains("Pulsmir Local Talk : Listening Started"));
    EXPECT_TRUE(log.Lines().contains(QString("  Open Port     : %1").arg(server.Port())));

    QTcpSocket local;
    local.connectToHost(QHostAddress::LocalHost, server.Port());
    ASSERT_TRUE(local.waitForConnected(2000));
    local.write("SELECTSKIN:Bar.ini");
    ASSERT_TRUE(RunUntil([&] { return !selected.isEmpty(); }));
    EXPECT_EQ(selected, QStringList({"Bar"}));
    EXPECT_EQ(local.bytesAvailable(), 0); // nothing is written back
    local.disconnectFromHost();
    ASSERT_TRUE(RunUntil([&] { return log.Lines().contains("Pulsmir Local Talk : Disconnected"); }));
    EXPECT_TRUE(log.Lines().contains("  Local Address  : 127.0.0.1"));
    EXPECT_TRUE(log.Lines().contains("  Remote Address : 127.0.0.1"));

    // From 127.0.0.2 to 127.0.0.1: another address, denied before anything is read.
    QTcpSocket other;
    ASSERT_TRUE(other.bind(QHostAddress("127.0.0.2"), 0));
    other.connectToHost(QHostAddress::LocalHost, server.Port());
    ASSERT_TRUE(other.waitForConnected(2000));
    other.write("SELECTSKIN:Foo.ini");
    ASSERT_TRUE(RunUntil([&] { return other.state() == QAbstractSocket::UnconnectedState ||
                                      log.Lines().contains("* Access is DENIED.                *"); }));
    ASSERT_TRUE(RunUntil([&] {
        other.waitForReadyRead(10);
        return other.state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_TRUE(log.Lines().contains("  Remote Address : 127.0.0.2"));
    EXPECT_TRUE(log.Lines().contains("* Remote Address is not LOCALHOST! *"));
    EXPECT_EQ(selected, QStringList({"Bar"}));
}

TEST_F(LocalTalk, AClientThatLeavesWhileTheSkinChangesLeavesTheServerWhole)
{
    // A skin change waits for SSTP exchanges in an event loop of its own; the client's
    // connection may end, and be cleaned up, inside it.
    whileSelecting = [] {
        QEventLoop exchange;
        QTimer::singleShot(300, &exchange, &QEventLoop::quit);
        exchange.exec();
    };
    ASSERT_TRUE(server.Open(0));
    for (const char* message : {"SELECTSKIN:Bar.ini", "SELECTSKIN:Foo.ini"}) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.Port());
        ASSERT_TRUE(client.waitForConnected(2000));
        client.write(message);
        ASSERT_TRUE(client.waitForBytesWritten(2000));
        client.disconnectFromHost();
        const qsizetype count = selected.size();
        ASSERT_TRUE(RunUntil([&] { return selected.size() > count; }));
        ASSERT_TRUE(RunUntil([&] {
            return log.Lines().count("Pulsmir Local Talk : Disconnected") == count + 1;
        }));
    }
    EXPECT_EQ(selected, QStringList({"Bar", "Foo"}));
    EXPECT_EQ(log.Lines().count("##Remote Control End"), 2);
}

// A client on a blocking socket of its own thread, as another program would be.
class RawClient
{
public:
    explicit RawClient(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient()
    {
        if (m_pour.joinable())
            m_pour.join();
        ::close(m_fd);
    }
    bool Connected() const { return m_connected; }

    bool Send(const QByteArray& data)
    {
        return ::send(m_fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL) == data.size();
    }

    // Sends up to `bytes` on a thread of its own until the server stops it.
    void Pour(qint64 bytes)
    {
        m_pour = std::thread([this, bytes] {
            const QByteArray chunk(64 * 1024, 'x');
            while (m_poured < bytes) {
                const ssize_t n =
                    ::send(m_fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                m_poured += n;
            }
            m_pourEnded = true;
        });
    }
    qint64 Poured() const { return m_poured; }
    bool PourEnded() const { return m_pourEnded; }

    // True once the server has closed the connection.
    bool ClosedByServer() const
    {
        pollfd watched{m_fd, POLLIN, 0};
        if (::poll(&watched, 1, 0) <= 0)
            return false;
        char byte;
        return ::recv(m_fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK) <= 0;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
    std::thread m_pour;
    std::atomic<qint64> m_poured{0};
    std::atomic<bool> m_pourEnded{false};
};

TEST_F(LocalTalk, AClientThatPoursIsCutOffAtItsLimitAsTheBytesArrive)
{
    ASSERT_TRUE(server.Open(0));
    RawClient flood(server.Port());
    ASSERT_TRUE(flood.Connected());
    const qint64 offered = qint64(256) << 20;
    flood.Pour(offered);
    ASSERT_TRUE(RunUntil([&] { return flood.PourEnded(); }, 60000));
    // Closed at the limit: what got through is what the kernel buffers, never the lot.
    EXPECT_LT(flood.Poured(), qint64(48) << 20);
    EXPECT_EQ(log.Lines().filter("more than 4096 bytes; connection closed").size(), 1);
    const qsizetype heard = log.Lines().filter("Receive Data").size();

    // The limit is the client's, not one read's: two messages of 3000 bytes are too many.
    RawClient chatty(server.Port());
    ASSERT_TRUE(chatty.Send("SELECTSKIN:" + QByteArray(2989, 'a')));
    ASSERT_TRUE(RunUntil([&] { return log.Lines().filter("Receive Data").size() == heard + 1; }));
    ASSERT_TRUE(chatty.Send("SELECTSKIN:" + QByteArray(2989, 'b')));
    ASSERT_TRUE(RunUntil([&] { return chatty.ClosedByServer(); }));
    EXPECT_EQ(log.Lines().filter("more than 4096 bytes; connection closed").size(), 2);
    EXPECT_EQ(log.Lines().filter("Receive Data").size(), heard + 1);
}

TEST_F(LocalTalk, OnlyAFewClientsAtOnceTheIdlestMakingRoomAndEachForAWhile)
{
    server.MaxClients = 4;
    server.ClientDeadlineMs = 3000;
    ASSERT_TRUE(server.Open(0));
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 4; ++i) {
        idle.push_back(std::make_unique<RawClient>(server.Port()));
        ASSERT_TRUE(
            RunUntil([&] { return log.Lines().count("Pulsmir Local Talk : Connected") == i + 1; }));
    }
    // The first one speaks (a message still on its way), so the second is the idlest.
    ASSERT_TRUE(idle[0]->Send("SELECT"));
    ASSERT_TRUE(RunUntil([&] { return log.Lines().filter("Data Receive").size() == 1; }));
    RawClient speaker(server.Port());
    ASSERT_TRUE(speaker.Send("SELECTSKIN:Bar.ini"));
    ASSERT_TRUE(RunUntil([&] { return selected == QStringList({"Bar"}); }, 2000));
    EXPECT_TRUE(idle[1]->ClosedByServer());
    for (int i : {0, 2, 3})
        EXPECT_FALSE(idle[i]->ClosedByServer()) << i;
    EXPECT_EQ(log.Lines().filter("4 clients at once; the idlest makes room").size(), 1);

    // Their time runs out.
    ASSERT_TRUE(RunUntil([&] {
        return idle[0]->ClosedByServer() && idle[2]->ClosedByServer() && idle[3]->ClosedByServer();
    }));
    EXPECT_EQ(log.Lines().filter("still connected after 3000 ms; connection closed").size(), 3);
}

TEST_F(LocalTalk, APortInUseLeavesLocalTalkOffAndTheLogSaysWhy)
{
    ASSERT_TRUE(server.Open(0));
    const qsizetype before = log.Lines().size();
    TLocalTalkServer second(Skins(), log.Writer());
    EXPECT_FALSE(second.Open(server.Port()));
    EXPECT_FALSE(second.Active());
    const QString why = QString::fromLocal8Bit(std::strerror(EADDRINUSE));
    EXPECT_EQ(log.Lines().mid(before),
              QStringList(QStringLiteral("Pulsmir Local Talk : Port %1 Unavailable (%2); Local "
                                         "Talk Off")
                              .arg(server.Port())
                              .arg(why)));
}
