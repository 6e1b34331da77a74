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
#include <gtest/gtest.h>

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
    // The line end is part of the name (and breaks the log line in two).
    EXPECT_EQ(Reply("SELECTSKIN:Foo.ini\r\n"),
              QStringList({"  Recognized Header : SELECTSKIN", "  Unknown Skin Name : \"Foo.ini"}));
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

TEST_F(LocalTalk, AFloodIsCutOffAndAPortInUseLeavesLocalTalkOff)
{
    ASSERT_TRUE(server.Open(0));
    QTcpSocket flood;
    flood.connectToHost(QHostAddress::LocalHost, server.Port());
    ASSERT_TRUE(flood.waitForConnected(2000));
    flood.write(QByteArray(64 * 1024, 'x'));
    ASSERT_TRUE(RunUntil([&] {
        flood.waitForReadyRead(10);
        return flood.state() == QAbstractSocket::UnconnectedState;
    }));
    EXPECT_FALSE(log.Lines().filter("without a break; connection closed").isEmpty());

    const qsizetype before = log.Lines().size();
    TLocalTalkServer second(Skins(), log.Writer());
    EXPECT_FALSE(second.Open(server.Port()));
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(log.Lines().size(), before);
}
