#include "net/NetworkPinger.h"
#include "net/Ping.h"
#include "unit/net/IsolatedNetwork.h"

#include <QStringList>
#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>

using namespace IcmpLayout;

namespace {

// The engine on this machine's ICMP socket, or the reason there is none.
std::unique_ptr<TPing> MakePing(std::string& whyNot)
{
    try {
        return std::make_unique<TPing>();
    } catch (const TICMPException& e) {
        whyNot = e.what();
        return nullptr;
    }
}

struct EventLog
{
    QStringList Events;

    void Attach(TPing& ping)
    {
        ping.OnDisplay = [this, &ping](TPing* sender, TICMP* icmp, const QString& text) {
            EXPECT_EQ(sender, &ping);
            EXPECT_NE(icmp, nullptr);
            Events << "display " + text;
        };
        ping.OnEchoRequest = [this](TPing*, TICMP* icmp) {
            Events << "request " + icmp->HostIP();
        };
        ping.OnEchoReply = [this](TPing*, TICMP*, int replies) {
            Events << QStringLiteral("reply %1").arg(replies);
        };
    }
};

} // namespace

TEST(PingEngine, PingsLoopbackByAddressWithTheDefaultSize)
{
    std::string whyNot;
    auto ping = MakePing(whyNot);
    if (!ping)
        GTEST_SKIP() << whyNot;
    EXPECT_EQ(ping->Size(), 56);
    EXPECT_EQ(ping->Timeout(), 4000u);
    EXPECT_EQ(ping->TTL(), 64);
    EXPECT_EQ(ping->Flags(), 0);
    EventLog log;
    log.Attach(*ping);

    ping->SetAddress("127.0.0.1");
    EXPECT_EQ(ping->Ping(), 1);
    EXPECT_EQ(log.Events, QStringList({"request 127.0.0.1", "reply 1"}));
    EXPECT_EQ(ping->HostName(), "127.0.0.1");
    EXPECT_EQ(ping->HostIP(), "127.0.0.1");
    EXPECT_EQ(ping->LastError(), 0u);
    const IcmpEchoReply reply = ping->Reply();
    EXPECT_EQ(reply.Status, IpSuccess);
    EXPECT_EQ(reply.DataSize, 56);
    EXPECT_EQ(reply.Address, htonl(INADDR_LOOPBACK));
    EXPECT_LE(reply.RoundTripTime, 4000u);

    ping->SetSize(10); // shorter than the banner, which is cut
    EXPECT_EQ(ping->Ping(), 1);
    EXPECT_EQ(ping->Reply().DataSize, 10);
    ping->SetSize(0);
    EXPECT_EQ(ping->Ping(), 1);
    EXPECT_EQ(ping->Reply().DataSize, 0);
}

TEST(PingEngine, ResolvesNamesOnceUntilTheAddressChanges)
{
    std::string whyNot;
    auto ping = MakePing(whyNot);
    if (!ping)
        GTEST_SKIP() << whyNot;
    ping->SetAddress("localhost");
    EXPECT_EQ(ping->Ping(), 1);
    EXPECT_EQ(ping->HostIP(), "127.0.0.1");
    EXPECT_FALSE(ping->HostName().isEmpty());

    ping->SetAddress("127.0.0.2");
    EXPECT_EQ(ping->Ping(), 1);
    EXPECT_EQ(ping->HostIP(), "127.0.0.2");
    EXPECT_EQ(ping->HostName(), "127.0.0.2");
    EXPECT_EQ(ping->Reply().Address, htonl(0x7F000002));
}

TEST(PingEngine, EmptyAddressIsInvalidAndSendsNothing)
{
    std::string whyNot;
    auto ping = MakePing(whyNot);
    if (!ping)
        GTEST_SKIP() << whyNot;
    EventLog log;
    log.Attach(*ping);
    EXPECT_EQ(ping->Ping(), 0);
    EXPECT_EQ(ping->LastError(), TICMP::IpBadDestination);
    EXPECT_EQ(log.Events,
              QStringList({"display Unable to resolve ", "display Invalid host address"}));
    // Resolved once, so a second ping only reports the bad address.
    log.Events.clear();
    EXPECT_EQ(ping->Ping(), 0);
    EXPECT_EQ(log.Events, QStringList({"display Invalid host address"}));
    EXPECT_EQ(ping->Reply().DataSize, 0);
}

TEST(PingEngine, UnresolvableNameGivesNoReply)
{
    // In a namespace without routes a lookup fails at once and no query leaves the machine.
    IsolatedNetwork network;
    network.PingGroups = "0 2147483647";
    struct Outcome
    {
        int Replies;
        std::uint32_t LastError;
        char Events[256];
        std::int32_t Measured;
    };
    const auto outcome = network.Run<Outcome>([] {
        Outcome result{};
        TPing ping;
        EventLog log;
        log.Attach(ping);
        ping.SetAddress("nonexistent.invalid");
        result.Replies = ping.Ping();
        result.LastError = ping.LastError();
        std::strncpy(result.Events, log.Events.join('|').toStdString().c_str(),
                     sizeof result.Events - 1);
        result.Measured = TNetworkPinger::Measure("nonexistent.invalid", {}, 10, 100);
        return result;
    });
    if (!outcome)
        GTEST_SKIP() << network.WhyNot;
    EXPECT_EQ(outcome->Replies, 0);
    EXPECT_EQ(outcome->LastError, TICMP::IpBadDestination);
    EXPECT_STREQ(outcome->Events,
                 "display Unable to resolve nonexistent.invalid|display Invalid host address");
    EXPECT_EQ(outcome->Measured, TNetworkPinger::NoReply);
}

TEST(PingRun, OnlyTheSecondEchoCountsAndNoReplyIsTheMarker)
{
    std::string whyNot;
    if (!MakePing(whyNot))
        GTEST_SKIP() << whyNot;
    // Zero time for the first echo: only the second, measured one can answer.
    const std::int32_t time = TNetworkPinger::Measure("127.0.0.1", {}, 0, 2000);
    EXPECT_GE(time, 0);
    EXPECT_LE(time, 2000);
    EXPECT_EQ(TNetworkPinger::Measure("", {}, 10, 2000), TNetworkPinger::NoReply);

    IsolatedNetwork network;
    network.PingGroups = "0 2147483647";
    network.IgnoreEchoes = true;
    const auto silent =
        network.Run<std::int32_t>([] { return TNetworkPinger::Measure("127.0.0.1", {}, 10, 50); });
    if (!silent)
        GTEST_SKIP() << network.WhyNot;
    EXPECT_EQ(*silent, TNetworkPinger::NoReply);
}
