#include "net/NetworkPinger.h"
#include "net/Ping.h"
#include "unit/net/IsolatedNetwork.h"

#include <QStringList>
#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// The events of one engine, in order.
struct TracedPing
{
    TracedPing()
    {
        Ping.OnDisplay = [this](TPing* sender, TICMP*, const QString& text) {
            Events << (sender == &Ping ? "display " : "stranger ") + text;
        };
        Ping.OnEchoRequest = [this](TPing*, TICMP* icmp) {
            Events << "request " + icmp->HostIP();
        };
        Ping.OnEchoReply = [this](TPing*, TICMP*, int n) {
            Events << QStringLiteral("reply %1").arg(n);
        };
    }
    TPing Ping;
    QStringList Events;
};

std::unique_ptr<TracedPing> MakePing(std::string& whyNot)
{
    try {
        return std::make_unique<TracedPing>();
    } catch (const TICMPException& e) {
        whyNot = e.what();
        return nullptr;
    }
}

} // namespace

TEST(PingEngine, PingsLoopbackWithItsDataSize)
{
    std::string whyNot;
    auto traced = MakePing(whyNot);
    if (!traced)
        GTEST_SKIP() << whyNot;
    TPing& ping = traced->Ping;
    EXPECT_EQ(ping.Size(), 56);
    EXPECT_EQ(ping.Timeout(), 4000u);
    EXPECT_EQ(ping.TTL(), 64);
    ping.SetAddress("127.0.0.1");
    EXPECT_EQ(ping.Ping(), 1);
    EXPECT_EQ(traced->Events, QStringList({"request 127.0.0.1", "reply 1"}));
    EXPECT_EQ(ping.HostName(), "127.0.0.1");
    EXPECT_EQ(ping.LastError(), 0u);
    EXPECT_EQ(ping.Reply().Status, IcmpLayout::IpSuccess);
    EXPECT_EQ(ping.Reply().DataSize, 56);
    EXPECT_EQ(ping.Reply().Address, htonl(INADDR_LOOPBACK));
    EXPECT_LE(ping.Reply().RoundTripTime, 4000u);

    ping.SetSize(10); // shorter than the banner, which is cut
    EXPECT_EQ(ping.Ping(), 1);
    EXPECT_EQ(ping.Reply().DataSize, 10);
}

TEST(PingEngine, ResolvesOnceUntilTheAddressChanges)
{
    std::string whyNot;
    auto traced = MakePing(whyNot);
    if (!traced)
        GTEST_SKIP() << whyNot;
    TPing& ping = traced->Ping;
    ping.SetAddress("localhost");
    EXPECT_EQ(ping.Ping(), 1);
    EXPECT_EQ(ping.HostIP(), "127.0.0.1");
    ping.SetAddress("127.0.0.2");
    EXPECT_EQ(ping.Ping(), 1);
    EXPECT_EQ(ping.HostIP(), "127.0.0.2");
    EXPECT_EQ(ping.Reply().Address, htonl(0x7F000002));

    // An empty address resolves to nothing, once; every ping then reports the bad address.
    traced->Events.clear();
    ping.SetAddress("");
    EXPECT_EQ(ping.Ping(), 0);
    EXPECT_EQ(ping.Ping(), 0);
    EXPECT_EQ(ping.LastError(), TICMP::IpBadDestination);
    EXPECT_EQ(traced->Events,
              QStringList({"display Unable to resolve ", "display Invalid host address",
                           "display Invalid host address"}));
}

TEST(PingEngine, UnresolvableNameGivesNoReply)
{
    // In a namespace without routes a lookup fails at once and no query leaves the machine.
    IsolatedNetwork network;
    struct Outcome
    {
        int Replies;
        std::uint32_t LastError;
        char Events[256];
        std::int32_t Measured;
    };
    const auto outcome = network.Run<Outcome>([] {
        Outcome result{};
        TracedPing traced;
        traced.Ping.SetAddress("nonexistent.invalid");
        result.Replies = traced.Ping.Ping();
        result.LastError = traced.Ping.LastError();
        std::strncpy(result.Events, traced.Events.join('|').toStdString().c_str(),
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
    network.IgnoreEchoes = true;
    const auto silent =
        network.Run<std::int32_t>([] { return TNetworkPinger::Measure("127.0.0.1", {}, 10, 50); });
    if (!silent)
        GTEST_SKIP() << network.WhyNot;
    EXPECT_EQ(*silent, TNetworkPinger::NoReply);
}
