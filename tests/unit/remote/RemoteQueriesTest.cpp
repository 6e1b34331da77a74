// A window's figures from a Prometheus server's query API on 127.0.0.1: one query per input,
// one request at a time, the user's own queries in place of the defaults, and the server's
// refusal shown as a lost connection with its reason.
#include "remote/RemoteMachine.h"
#include "support/EventLoop.h"
#include "support/SstpTestHost.h"

#include <QCoreApplication>
#include <QUrl>
#include <gtest/gtest.h>
#include <mutex>

namespace {

QByteArray Json(const QByteArray& body, const char* status = "200 OK")
{
    return "HTTP/1.1 " + QByteArray(status) + "\r\nContent-Type: application/json\r\n" +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The answer of a query that matched no series.
const QByteArray Empty = Json(R"({"status":"success","data":{"resultType":"vector","result":[]}})");

QByteArray Vector(const char* value)
{
    return Json(R"({"status":"success","data":{"resultType":"vector","result":[)"
                R"({"metric":{},"value":[1700000000.5,")" +
                QByteArray(value) + R"("]}]}})");
}

// The query a request asks, decoded.
QString QueryOf(const QByteArray& request)
{
    const QByteArray target = request.split(' ').value(1);
    return QUrl::fromPercentEncoding(target.mid(target.indexOf("query=") + 6));
}

class RemoteQueriesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"http_proxy", "all_proxy"})
            qunsetenv(name);
    }

    std::unique_ptr<RemoteMachine> Machine(const SstpTestHost& host, const QString& parameters)
    {
        return std::make_unique<RemoteMachine>(
            QStringLiteral("prometheus+http://127.0.0.1:%1/?%2").arg(host.Port()).arg(parameters),
            MakeHttpFetch({}), [this](const QString& line) { log << line; });
    }

    // The queries the server was asked, as they came (on the server's thread).
    QStringList Asked()
    {
        std::lock_guard lock(askedLock);
        return asked;
    }
    void Ask(const QByteArray& request)
    {
        std::lock_guard lock(askedLock);
        asked << QueryOf(request);
    }

    std::mutex askedLock;
    QStringList asked;
    QStringList log;
    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
};

TEST_F(RemoteQueriesTest, EachInputIsAskedAndTheAnswersReachTheCore)
{
    SstpTestHost host([this](const QByteArray& request) {
        Ask(request);
        SstpHostReply reply;
        const QString query = QueryOf(request);
        reply.Bytes = query.startsWith(u"fleet")        ? Vector("30")
                      : query.contains(u"MemAvailable") ? Vector("25")
                                                        : Vector("0");
        return reply;
    });
    const auto machine =
        Machine(host, QStringLiteral("job=node&instance=nas:9100&cpu=fleet%20cpu"));
    ASSERT_TRUE(machine->WaitForFigures(10000)) << machine->Failure().toStdString();
    EXPECT_EQ(machine->RemoteName(), u"nas");
    EXPECT_EQ(machine->System().GlobalMemoryStatus().MemoryLoad, 25u);

    const QStringList asked = Asked();
    ASSERT_GE(asked.size(), 2 * qsizetype(QueryInputCount));
    EXPECT_EQ(asked[0], u"fleet cpu"); // the user's own, in place of the default
    EXPECT_TRUE(asked[1].contains(u"job=\"node\",instance=\"nas:9100\"")) << asked[1].toStdString();
}

TEST_F(RemoteQueriesTest, TheServersRefusalIsALostConnectionWithItsReason)
{
    SstpTestHost host([this](const QByteArray& request) {
        Ask(request);
        SstpHostReply reply;
        reply.Bytes = Json(R"({"status":"error","errorType":"bad_data","error":"parse error"})",
                           "400 Bad Request");
        return reply;
    });
    const auto machine = Machine(host, QStringLiteral("cpu=1%2B"));
    EXPECT_FALSE(machine->WaitForFigures(10000));
    EXPECT_EQ(machine->Failure(), u"connection lost (parse error)");
    EXPECT_EQ(Asked().size(), 1); // the rest of that period is not asked
}

TEST_F(RemoteQueriesTest, AQueryThatMatchesNothingIsNamedAndNoneMatchingIsNoFigures)
{
    const auto answering = [](bool anyData) {
        return [anyData](const QByteArray& request) {
            SstpHostReply reply;
            reply.Bytes =
                anyData && !QueryOf(request).contains(u"MemAvailable") ? Vector("5") : Empty;
            return reply;
        };
    };
    SstpTestHost partly(answering(true));
    const auto machine = Machine(partly, QStringLiteral("job=node"));
    ASSERT_TRUE(machine->WaitForFigures(10000)) << machine->Failure().toStdString();
    EXPECT_EQ(machine->InputsWithoutData(), QStringList{QStringLiteral("memory")});
    EXPECT_FALSE(machine->NoInputHasData());
    EXPECT_EQ(machine->System().GlobalMemoryStatus().TotalPhys, 0u);
    EXPECT_TRUE(log.contains(QStringLiteral("127.0.0.1: no data for memory")))
        << log.join('|').toStdString();

    SstpTestHost none(answering(false));
    const auto nothing = Machine(none, QStringLiteral("job=nodes"));
    EXPECT_FALSE(nothing->WaitForFigures(10000));
    EXPECT_TRUE(nothing->NoInputHasData());
    EXPECT_TRUE(nothing->Failure().isEmpty()) << "it answers";
    EXPECT_EQ(nothing->Figures(), nullptr);
}

} // namespace
