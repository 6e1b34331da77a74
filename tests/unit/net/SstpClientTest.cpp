#include "net/FastSstp.h"
#include "platform/CopyDataMessenger.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/SstpTestHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QByteArray Ok = "SSTP/1.4 200 OK\r\nCharset: Shift_JIS\r\n\r\n";

SstpHostReply Answer(const QByteArray& bytes, bool close = true)
{
    SstpHostReply reply;
    reply.Bytes = bytes;
    reply.Close = close;
    return reply;
}

class SstpClient : public ::testing::Test
{
protected:
    SstpClient()
    {
        sstp.SstpSender = "Pulsmir II";
        sstp.TimeOut = 1000;
        sstp.ReplyTimeOut = 600;
        sstp.Log = log.Writer();
    }

    void Use(SstpTestHost& host)
    {
        ASSERT_TRUE(host.Listening());
        sstp.Port = host.Port();
    }

    void RunFor(int milliseconds)
    {
        RunUntil([] { return false; }, milliseconds);
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    LogCapture log;
    TFastSstp sstp;
};

} // namespace

TEST_F(SstpClient, RequestsGoOutByteForByteAndTheStatusLineGivesTheResult)
{
    SstpTestHost host([](const QByteArray& request) {
        if (request.startsWith("EXECUTE"))
            return Answer("SSTP/1.1 204 No Content\r\n\r\n");
        return Answer(Ok);
    });
    Use(host);

    EXPECT_EQ(sstp.SendScriptNow("\\0one\r\n\\1two\r\nthree\\e", SstpOption::NoDescript),
              TSstpResult::sr200);
    EXPECT_EQ(sstp.LastStatusCode(), 200);
    EXPECT_EQ(sstp.SentLines().size(), 8);
    EXPECT_EQ(sstp.ReplyLines(), QStringList({"SSTP/1.4 200 OK", "Charset: Shift_JIS", ""}));
    EXPECT_EQ(sstp.SstpExQuiet(true), TSstpResult::sr204);
    EXPECT_FALSE(sstp.Busy());

    ASSERT_TRUE(host.WaitForRequests(2));
    const auto requests = host.Requests();
    EXPECT_EQ(requests[0],
              QByteArray("SEND SSTP/1.0\r\nSender: Pulsmir II\r\nCharSet: Shift_JIS\r\n"
                         "Script: \\0one\r\nEntry: \\1two\r\nEntry: three\\e\r\n"
                         "Option: nodescript\r\n\r\n\r\n"));
    EXPECT_EQ(requests[1], QByteArray("EXECUTE SSTP/1.1\r\nSender: Pulsmir II\r\nCommand: Quiet\r\n"
                                      "CharSet: Shift_JIS\r\n\r\n"));
}

TEST_F(SstpClient, EveryStatusMapsAndUnreadableOrMissingRepliesAreUnknown)
{
    QByteArray next;
    SstpTestHost host([&next](const QByteArray&) { return Answer(next); });
    Use(host);
    const std::pair<QByteArray, TSstpResult> cases[] = {
        {"SSTP/1.4 204 No Content\r\n\r\n", TSstpResult::sr204},
        {"SSTP/1.4 409 Conflict\r\n\r\n", TSstpResult::sr409},
        {"SSTP/1.4 503 Service Unavailable\r\n\r\n", TSstpResult::sr503},
        {"SSTP/1.4 404 Not Found\r\n\r\n", TSstpResult::srUnknown},
        {"garbage\r\n\r\n", TSstpResult::srUnknown},
        {"", TSstpResult::srUnknown},
    };
    for (const auto& [reply, expected] : cases) {
        next = reply;
        EXPECT_EQ(sstp.SendScriptNow("x", 2), expected) << reply.constData();
        EXPECT_FALSE(sstp.Busy());
    }
    next = "garbage\r\n\r\n";
    sstp.SendScriptNow("x", 2);
    EXPECT_EQ(sstp.LastStatusCode(), UnreadableStatusCode);
    next = "";
    sstp.SendScriptNow("x", 2);
    EXPECT_EQ(sstp.LastStatusCode(), NoStatusCode);
}

TEST_F(SstpClient, HostsThatKeepTheConnectionOpenAreDoneOnceTheReplyIsWhole)
{
    SstpTestHost host([](const QByteArray& request) {
        if (request.contains("getname"))
            return Answer("SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\nEmily\r\n\r\n", false);
        return Answer(Ok, false);
    });
    Use(host);
    sstp.ReplyTimeOut = 5000;
    EXPECT_EQ(sstp.SendScriptNow("x", 2), TSstpResult::sr200);
    EXPECT_EQ(sstp.SstpExGetName(), "Emily");
    // Neither waited for the bound, and the host saw the client close both connections.
    EXPECT_FALSE(log.Lines().join('\n').contains("Timed out"));
    ASSERT_TRUE(host.WaitForRequests(2));
    EXPECT_TRUE(host.Requests()[0].endsWith("\r\n\r\n\r\n"));
}

TEST_F(SstpClient, AKeepOpenHostsBodilessAnswersAreWholeAtTheirEmptyLine)
{
    SstpTestHost host(SstpTestHost::KeepOpenHost());
    Use(host);
    sstp.ReplyTimeOut = 5000;
    // Quiet and Restore return nothing: "SSTP/1.0 200 OK" and the empty line are all there is.
    EXPECT_EQ(sstp.SstpExQuiet(true), TSstpResult::sr200);
    EXPECT_EQ(sstp.SstpExQuiet(false), TSstpResult::sr200);
    EXPECT_EQ(sstp.SendScriptNow("x", 2), TSstpResult::sr200);
    EXPECT_EQ(sstp.SstpExGetName(), "Emily");
    EXPECT_EQ(sstp.SstpExGetVersion(), "2.6.1");
    EXPECT_FALSE(log.Lines().join('\n').contains("Timed out"))
        << log.Lines().join('\n').toStdString();
    ASSERT_TRUE(host.WaitForRequests(6));
    EXPECT_TRUE(
        host.Requests()[1].startsWith("EXECUTE SSTP/1.0\r\nSender: Pulsmir II\r\nCommand: Quiet"));
}

TEST_F(SstpClient, AValuesBodyInALaterPacketIsWaitedForBriefly)
{
    SstpTestHost host([](const QByteArray& request) {
        SstpHostReply reply = Answer("SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\n", false);
        if (request.contains("getname")) {
            reply.Later = "Emily\r\n";
            reply.LaterDelayMs = 200;
        }
        return reply;
    });
    Use(host);
    // Generous here, so that a loaded machine does not cut the wait short.
    sstp.ReplySettleTime = 3000;
    sstp.ReplyTimeOut = 20000;
    EXPECT_EQ(sstp.SstpExGetName(), "Emily");
    EXPECT_EQ(sstp.LastResult(), TSstpResult::sr200);
    // No body at all: the value is empty once the settle has passed, well before the bound.
    sstp.ReplySettleTime = 100;
    EXPECT_EQ(sstp.SstpExGetVersion(), "");
    EXPECT_EQ(sstp.LastResult(), TSstpResult::sr200);
    EXPECT_FALSE(log.Lines().join('\n').contains("Timed out"));
}

TEST_F(SstpClient, AHostThatPoursIsCutAtTheReplyLimitAndTheClientGoesOn)
{
    const QByteArray head = "SSTP/1.4 200 OK\r\nCharset: UTF-8\r\n";
    int calls = 0;
    SstpTestHost host([&](const QByteArray&) {
        SstpHostReply reply = Answer(head, calls == 0);
        // 100 MB and a close, then filler without end on a connection kept open.
        reply.Filler = calls++ == 0 ? qint64(100) << 20 : -1;
        return reply;
    });
    Use(host);
    sstp.ReplyTimeOut = 20000;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(sstp.SendScriptNow("x", 2), TSstpResult::sr200);
        EXPECT_EQ(sstp.ReplyLines().first(), "SSTP/1.4 200 OK");
        EXPECT_LE(sstp.ReplyLines().join("\r\n").size(), TPowersock::MaxReplyBytes);
    }
    EXPECT_EQ(log.Lines().count(".:.:. SSTP Reply cut at 8192 bytes"), 2);
    // Cut as the bytes came: the host never got far, and no wait ran to its bound.
    EXPECT_LT(host.FillerSent(), qint64(48) << 20);
    EXPECT_FALSE(log.Lines().join('\n').contains("Timed out"));

    // A name without end is cut the same way.
    SstpTestHost names([](const QByteArray&) {
        SstpHostReply reply = Answer("SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\n", false);
        reply.Filler = -1;
        return reply;
    });
    Use(names);
    const QString name = sstp.SstpExGetName();
    EXPECT_GT(name.size(), 1000);
    EXPECT_LE(name.size(), TPowersock::MaxReplyBytes);
    EXPECT_EQ(sstp.SendScriptNow("x", 2), TSstpResult::sr200);
}

TEST_F(SstpClient, StalledAndSilentHostsEndAtTheBoundAndTheClientStaysUsable)
{
    int calls = 0;
    SstpTestHost host([&calls](const QByteArray&) {
        SstpHostReply reply;
        switch (calls++) {
        case 0: // a whole status line, then nothing more
            reply = Answer("SSTP/1.4 409 Conflict\r\nCharset: UTF-8\r\n", false);
            break;
        case 1: // half a status line
            reply = Answer("SSTP/1.4 20", false);
            break;
        case 2: // accepts and never answers
            reply.Answer = false;
            break;
        default:
            reply = Answer(Ok);
        }
        return reply;
    });
    Use(host);
    sstp.ReplyTimeOut = 300;

    EXPECT_EQ(sstp.SendScriptNow("x", 2), TSstpResult::sr409);
    EXPECT_EQ(sstp.SendScriptNow("x", 2), TSstpResult::srUnknown);
    EXPECT_EQ(sstp.LastStatusCode(), NoStatusCode);
    EXPECT_EQ(sstp.SstpExQuiet(true), TSstpResult::srUnknown);
    EXPECT_EQ(sstp.LastStatusCode(), NoStatusCode);
    EXPECT_FALSE(sstp.Busy());
    EXPECT_EQ(log.Lines().count(".:.:. SSTP Reply Timed out (300 ms)"), 3);
    EXPECT_EQ(sstp.SendScriptNow("x", 2), TSstpResult::sr200);
}

TEST_F(SstpClient, NoHostGivesNoStatusAtOnce)
{
    sstp.Port = SstpTestHost::UnusedPort();
    EXPECT_EQ(sstp.SendScriptNow("x", 2), TSstpResult::srUnknown);
    EXPECT_EQ(sstp.LastStatusCode(), NoStatusCode);
    EXPECT_TRUE(sstp.ReplyLines().isEmpty());
    EXPECT_FALSE(sstp.Busy());
    EXPECT_FALSE(log.Lines().join('\n').contains("Timed out"));

    sstp.Host = "no-such-host.invalid";
    EXPECT_EQ(sstp.SstpExQuiet(true), TSstpResult::srUnknown);
    EXPECT_EQ(sstp.LastStatusCode(), NoStatusCode);
}

TEST_F(SstpClient, ReportLevelLogsTheSocketsSteps)
{
    sstp.Port = SstpTestHost::UnusedPort();
    sstp.ReportLevel = 1;
    sstp.SendScriptNow("x", 2);
    EXPECT_TRUE(log.Lines().contains(".:.:. SSTP Socket : Connection Failed"));
}

TEST_F(SstpClient, NamesAreDecodedByTheirCharsetAndScriptsGoOutAsShiftJis)
{
    const QByteArray sjisName("\x83\x73\x83\x4A\x83\x60\x83\x85\x83\x45"); // ピカチュウ
    QByteArray next;
    SstpTestHost host([&next](const QByteArray&) { return Answer(next); });
    Use(host);

    next = "SSTP/1.1 200 OK\r\nCharset: Shift_JIS\r\n\r\n" + sjisName + "\r\n\r\n";
    EXPECT_EQ(sstp.SstpExGetName(), QString::fromUtf8("ピカチュウ"));
    next = "SSTP/1.1 200 OK\r\n" + sjisName + "\r\n"; // no header: Shift_JIS
    EXPECT_EQ(sstp.SstpExGetName(), QString::fromUtf8("ピカチュウ"));
    next = "SSTP/1.1 200 OK\r\nCharset: UTF-8\r\n\r\n" + QString::fromUtf8("ピカ").toUtf8() +
           "\r\n\r\n";
    EXPECT_EQ(sstp.SstpExGetName(), QString::fromUtf8("ピカ"));
    next = "SSTP/1.1 200 OK\r\n";
    EXPECT_EQ(sstp.SstpExGetVersion(), "");

    next = Ok;
    sstp.SendScriptNow(QString::fromUtf8("\\0ピカチュウ\\e"), 2);
    sstp.SendScriptNow(QString::fromUtf8("a\U0001F600\r\nb\U0001F600"), 2);
    ASSERT_TRUE(host.WaitForRequests(6));
    EXPECT_TRUE(host.Requests()[4].contains("Script: \\0" + sjisName + "\\e\r\n"));
    EXPECT_TRUE(host.Requests()[5].contains("Script: a?\r\nEntry: b?\r\n"));
    // One line for the script, however many characters were replaced.
    EXPECT_EQ(log.Lines().filter("SSTP CharSet").size(), 1);
}

TEST_F(SstpClient, HostsThatRefuseExecute11AreAskedIn10ForTheRestOfTheRun)
{
    SstpTestHost old([](const QByteArray& request) {
        if (request.startsWith("EXECUTE SSTP/1.1"))
            return Answer("SSTP/1.1 501 Not Implemented\r\n\r\n");
        return Answer("SSTP/1.0 200 OK\r\n\r\nOldHost\r\n\r\n");
    });
    Use(old);
    EXPECT_EQ(sstp.SstpExGetName(), "OldHost");
    EXPECT_EQ(sstp.LastResult(), TSstpResult::sr200);
    EXPECT_EQ(sstp.SstpExQuiet(true), TSstpResult::sr200);
    ASSERT_TRUE(old.WaitForRequests(3));
    const auto requests = old.Requests();
    EXPECT_TRUE(requests[0].startsWith("EXECUTE SSTP/1.1\r\n"));
    EXPECT_TRUE(requests[1].startsWith("EXECUTE SSTP/1.0\r\n"));
    EXPECT_TRUE(requests[2].startsWith("EXECUTE SSTP/1.0\r\nSender: Pulsmir II\r\nCommand: Quiet"));
    EXPECT_EQ(log.Lines().filter("refuses EXECUTE SSTP/1.1").size(), 1);

    // Another host is asked in 1.1 as before.
    SstpTestHost modern([](const QByteArray&) { return Answer(Ok); });
    Use(modern);
    sstp.SstpExQuiet(false);
    ASSERT_TRUE(modern.WaitForRequests(1));
    EXPECT_TRUE(modern.Requests()[0].startsWith("EXECUTE SSTP/1.1\r\n"));
    EXPECT_EQ(modern.Connections(), 1);
}

TEST_F(SstpClient, AnExchangeStartedDuringTheWaitIsRefusedAndTheFirstGoesOn)
{
    SstpTestHost host([](const QByteArray&) {
        SstpHostReply reply = Answer(Ok);
        reply.DelayMs = 300;
        return reply;
    });
    Use(host);
    TSstpResult nested = TSstpResult::sr200;
    int nestedTimerFired = 0;
    QTimer::singleShot(50, &app, [&] {
        ++nestedTimerFired;
        EXPECT_TRUE(sstp.Busy());
        nested = sstp.SendScriptNow("second", 2);
    });
    EXPECT_EQ(sstp.SendScriptNow("first", 2), TSstpResult::sr200);
    EXPECT_EQ(nestedTimerFired, 1);
    EXPECT_EQ(nested, TSstpResult::srUnknown);
    EXPECT_EQ(sstp.SentLines()[3], "Script: first");
    EXPECT_EQ(sstp.LastStatusCode(), 200);
    EXPECT_FALSE(sstp.Busy());
    EXPECT_EQ(host.Connections(), 1);
}

TEST_F(SstpClient, TheQueueResendsRetriesAndDropsFinalAnswers)
{
    QList<QByteArray> replies = {"SSTP/1.4 409 Conflict\r\n\r\n", Ok, Ok};
    SstpTestHost host([&replies](const QByteArray&) {
        return Answer(replies.isEmpty() ? Ok : replies.takeFirst());
    });
    Use(host);
    QStringList events;
    sstp.OnResendTrying = [&](QObject*, std::int32_t id, const QString&) {
        events << QString("try %1").arg(id);
    };
    sstp.OnResendResend = [&](QObject*, std::int32_t id, const QString&) {
        events << QString("again %1").arg(id);
    };
    sstp.OnResendEnd = [&](QObject*, std::int32_t id, const QString&) {
        events << QString("end %1").arg(id);
    };
    int countChanges = 0;
    sstp.OnResendCountChange = [&](QObject*) {
        ++countChanges;
    };
    sstp.SetInterval(40);
    sstp.Loaded();
    EXPECT_EQ(countChanges, 1);

    EXPECT_EQ(sstp.EnqueueScript("one", false, 2), 1);
    EXPECT_EQ(sstp.EnqueueScript("two", false, 2), 2);
    EXPECT_EQ(sstp.QueueCount(), 2);
    // Nothing goes out before the timer.
    EXPECT_EQ(host.Connections(), 0);
    ASSERT_TRUE(RunUntil([&] { return events.size() >= 2; }));
    // 409: "one" stays at the head and holds back "two".
    EXPECT_EQ(events, QStringList({"try 1", "again 1"}));
    EXPECT_EQ(sstp.QueueCount(), 2);
    ASSERT_TRUE(RunUntil([&] { return sstp.QueueCount() == 0; }));
    EXPECT_EQ(events, QStringList({"try 1", "again 1", "try 1", "end 1", "try 2", "end 2"}));
    EXPECT_EQ(sstp.QueueCount(), 0);
    EXPECT_EQ(countChanges, 5);

    // An immediate script goes out at once, ahead of the queue.
    sstp.SetSleep(true);
    sstp.EnqueueScript("queued", false, 2);
    events.clear();
    EXPECT_EQ(sstp.EnqueueScript("now", true, 2), 4);
    EXPECT_EQ(events, QStringList()); // asleep: not even an immediate one is tried
    sstp.SetSleep(false);
    EXPECT_EQ(events, QStringList()); // resumes on the next tick, not at once
    ASSERT_TRUE(RunUntil([&] { return sstp.QueueCount() == 0; }));
    EXPECT_EQ(events, QStringList({"try 4", "end 4", "try 3", "end 3"}));
    ASSERT_TRUE(host.WaitForRequests(5));
    EXPECT_TRUE(host.Requests()[3].contains("Script: now\r\n"));
    EXPECT_TRUE(host.Requests()[4].contains("Script: queued\r\n"));
}

TEST_F(SstpClient, WithoutAHostAQueuedScriptIsTriedOnceAndDropped)
{
    sstp.Port = SstpTestHost::UnusedPort();
    sstp.SetInterval(20);
    sstp.Loaded();
    int tries = 0;
    sstp.OnResendTrying = [&](QObject*, std::int32_t, const QString&) {
        ++tries;
    };
    sstp.EnqueueScript("lost", false, 2);
    ASSERT_TRUE(RunUntil([&] { return sstp.QueueCount() == 0; }));
    RunFor(100);
    EXPECT_EQ(tries, 1);
    EXPECT_EQ(sstp.QueueCount(), 0);
    EXPECT_EQ(sstp.LastStatusCode(), NoStatusCode);

    sstp.EnqueueScript("a", false, 2);
    sstp.ClearQueue();
    RunFor(100);
    EXPECT_EQ(tries, 1);
}

namespace {

class RecordingMessenger : public CopyDataMessenger
{
public:
    std::uintptr_t ReplyWindow() const override { return 31337; }
    QByteArray Send(std::uintptr_t target, std::uintptr_t replyWindow, std::uint32_t tag,
                    const QByteArray& data) override
    {
        sent.push_back({target, replyWindow, tag, data});
        return reply;
    }
    struct Message
    {
        std::uintptr_t target, replyWindow;
        std::uint32_t tag;
        QByteArray data;
    };
    std::vector<Message> sent;
    QByteArray reply = QByteArray("SSTP/1.4 200 OK\r\n\r\n\0junk", 24);
};

} // namespace

TEST_F(SstpClient, DirectModeSendsOneCopyDataMessageAndNeedsATarget)
{
    RecordingMessenger messenger;
    sstp.SstpMethod = TSstpMethod::smDirectSstp;
    sstp.DirectChannel = &messenger;
    EXPECT_EQ(sstp.SendScriptNow("hi", 2), TSstpResult::srUnknown); // no target window yet
    EXPECT_FALSE(sstp.Busy());
    EXPECT_TRUE(messenger.sent.empty());

    sstp.TargetHWnd = 500;
    EXPECT_EQ(sstp.SendScriptNow("hi", 2), TSstpResult::sr200);
    EXPECT_EQ(sstp.SstpExQuiet(true), TSstpResult::sr200);
    ASSERT_EQ(messenger.sent.size(), 2u);
    EXPECT_EQ(messenger.sent[0].target, 500u);
    EXPECT_EQ(messenger.sent[0].replyWindow, 31337u);
    EXPECT_EQ(messenger.sent[0].tag, 9801u);
    EXPECT_EQ(
        messenger.sent[0].data,
        QByteArray("SEND SSTP/1.0\r\nSender: Pulsmir II\r\nCharSet: Shift_JIS\r\nScript: hi\r\n"
                   "Option: nodescript\r\nHWnd: 31337\r\n\r\n"));
    EXPECT_EQ(messenger.sent[1].data,
              QByteArray("EXECUTE SSTP/1.1\r\nSender: Pulsmir II\r\nCommand: Quiet\r\n"
                         "CharSet: Shift_JIS\r\nHWnd: 31337\r\n"));
    EXPECT_EQ(sstp.ReplyLines(), QStringList({"SSTP/1.4 200 OK", ""}));
}
