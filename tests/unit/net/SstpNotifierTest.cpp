#include "net/SstpNotifier.h"

#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/SstpTestHost.h"
#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

QByteArray Command(const QByteArray& request)
{
    const qsizetype at = request.indexOf("Command: ");
    if (at >= 0)
        return request.mid(at + 9, request.indexOf("\r\n", at) - at - 9);
    return request.startsWith("SEND") ? "SEND" : "?";
}

class SstpNotifierTest : public ::testing::Test
{
protected:
    SstpNotifierTest()
    {
        folder.Write("sstp.ini", "[ChangeSkin]\r\nType1=\\0Now %pmskin%, not %AsSkin%.\\e\r\n"
                                 "[NoSkinB]\r\nType1=%PMSKIN% gone, %ASSKIN% instead\r\n"
                                 "[UserExitA]\r\nType1=bye\r\n[Start]\r\nType1=hi\r\n");
        notifier.FSstp().Port = host.Port();
        notifier.LoadSstpScripts(folder.File("sstp.ini"));
    }

    QByteArrayList Commands() const
    {
        QByteArrayList commands;
        for (const QByteArray& request : host.Requests())
            commands << Command(request);
        return commands;
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    TempProgramFolder folder;
    LogCapture log;
    QByteArray nameReply = "SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\nEmily\r\n\r\n";
    SstpTestHost host{[this](const QByteArray& request) {
        SstpHostReply reply;
        if (request.contains("getname"))
            reply.Bytes = nameReply;
        else if (request.contains("getversion"))
            reply.Bytes = "SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\n2.6.1\r\n\r\n";
        else
            reply.Bytes = "SSTP/1.4 200 OK\r\n\r\n";
        return reply;
    }};
    bool sstpSwitch = true;
    TSstpNotifier notifier{sstpSwitch, log.Writer()};
};

} // namespace

TEST_F(SstpNotifierTest, AQueuedEventIsQuietRestoreThenTheScriptOnTheNextTick)
{
    notifier.SendSstpEvent("ChangeSkin", {QString("Blue"), QString("Red")});
    ASSERT_TRUE(host.WaitForRequests(2));
    EXPECT_EQ(Commands(), QByteArrayList({"Quiet", "Restore"}));
    ASSERT_TRUE(RunUntil([&] { return host.Requests().size() == 3; }));
    EXPECT_EQ(Commands(), QByteArrayList({"Quiet", "Restore", "SEND"}));
    EXPECT_TRUE(
        host.Requests()[2].contains("Script: \\0Now Blue, not Red.\\e\r\nOption: nodescript\r\n"));
    // The code is that of the most recent exchange: the Quiet, as the script waits.
    EXPECT_EQ(log.Lines(), QStringList({"SSTP File Load SUCCESSFUL",
                                        ".:.:. SSTP Sending :\\0Now Blue, not Red.\\e",
                                        ".:.:. SSTP Result Code :200"}));
}

TEST_F(SstpNotifierTest, AnImmediateEventGoesOutBetweenQuietAndRestore)
{
    notifier.SendSstpEvent("UserExitA", {}, true);
    ASSERT_TRUE(host.WaitForRequests(3));
    EXPECT_EQ(Commands(), QByteArrayList({"Quiet", "SEND", "Restore"}));
    EXPECT_EQ(notifier.FSstp().QueueCount(), 0);
}

TEST_F(SstpNotifierTest, OnlyTheGivenPlaceholdersAreFilled)
{
    EXPECT_EQ(TSstpNotifier::FillPlaceholders("%PmSkin%/%pmskin%/%ASSKIN%", {QString("A"), {}}),
              "A/A/%ASSKIN%");
    EXPECT_EQ(TSstpNotifier::FillPlaceholders("%PMSKIN% %ASSKIN%", {QString("P"), QString("S")}),
              "P S");
}

TEST_F(SstpNotifierTest, WithTheSwitchOffNothingIsLoggedOrSentButTheTest)
{
    sstpSwitch = false;
    const qsizetype before = log.Lines().size();
    notifier.SendSstpEvent("Start");
    notifier.SendSstpEvent("UserExitA", {}, true);
    EXPECT_FALSE(notifier.CheckSstpConnection());
    RunUntil([] { return false; }, 1200);
    EXPECT_EQ(host.Connections(), 0);
    EXPECT_EQ(log.Lines().size(), before);

    notifier.SendTestScript("test script");
    ASSERT_TRUE(RunUntil([&] { return host.Requests().size() == 3; }));
    EXPECT_EQ(Commands(), QByteArrayList({"Quiet", "Restore", "SEND"}));
    // The switch is off again afterwards.
    notifier.SendSstpEvent("Start");
    EXPECT_EQ(host.Connections(), 3);
}

TEST_F(SstpNotifierTest, TheStartUpCheckAsksForNameAndVersion)
{
    EXPECT_TRUE(notifier.CheckSstpConnection());
    EXPECT_EQ(notifier.SstpHostName, "Emily");
    EXPECT_EQ(notifier.SstpHostVersion, "2.6.1");
    EXPECT_EQ(log.Lines().mid(1),
              QStringList({".:.:. Checking SSTP Connection...", ".:.:. >> EXECUTE SstpExGetName",
                           ".:.:. >> Host Name :Emily", ".:.:. >> EXECUTE SstpExGetVersion",
                           ".:.:. >> Host Ver. :2.6.1"}));

    nameReply = "SSTP/1.1 400 Bad Request\r\n\r\n";
    EXPECT_FALSE(notifier.CheckSstpConnection());
    EXPECT_EQ(log.Lines().last(), ".:.:. >> SSTP Internal Error");
    EXPECT_EQ(notifier.SstpHostName, "");
    EXPECT_EQ(notifier.SstpHostVersion, "");

    notifier.FSstp().Port = SstpTestHost::UnusedPort();
    EXPECT_FALSE(notifier.CheckSstpConnection());
    EXPECT_EQ(log.Lines().last(), ".:.:. >> SSTP Connection Error");
}

TEST_F(SstpNotifierTest, AMissingScriptFileSendsNothing)
{
    EXPECT_FALSE(notifier.LoadSstpScripts(folder.File("none.ini")));
    EXPECT_EQ(log.Lines().last(), "SSTP File Load FAILED!");
    notifier.SendSstpEvent("Start");
    EXPECT_EQ(host.Connections(), 0);
}

TEST_F(SstpNotifierTest, ShutdownDropsWhatIsQueued)
{
    notifier.SendSstpEvent("Start");
    EXPECT_EQ(notifier.FSstp().QueueCount(), 1);
    notifier.Shutdown();
    EXPECT_EQ(notifier.FSstp().QueueCount(), 0);
    RunUntil([] { return false; }, 1200);
    ASSERT_TRUE(host.WaitForRequests(2));
    EXPECT_EQ(Commands(), QByteArrayList({"Quiet", "Restore"}));
}

TEST_F(SstpNotifierTest, AnExitAgainstAKeepOpenHostWaitsForNoBound)
{
    // The host as it runs on Linux; the notifier keeps its own reply bound, the default.
    SstpTestHost linuxHost(SstpTestHost::KeepOpenHost());
    notifier.FSstp().Port = linuxHost.Port();
    EXPECT_TRUE(notifier.CheckSstpConnection());
    EXPECT_EQ(notifier.SstpHostName, "Emily");
    notifier.SendSstpEvent("UserExitA", {}, true);
    ASSERT_TRUE(linuxHost.WaitForRequests(6));
    EXPECT_EQ(log.Lines().filter("Timed out"), QStringList());
    EXPECT_EQ(log.Lines().filter("SSTP Result Code"), QStringList(".:.:. SSTP Result Code :200"));
}
