#include "net/Icmp.h"
#include "net/NetworkPinger.h"
#include "platform/linux/SocketIcmpEcho.h"
#include "unit/net/IsolatedNetwork.h"

#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>

using namespace IcmpLayout;

namespace {

const std::uint32_t Loopback = htonl(INADDR_LOOPBACK);

struct Echo
{
    std::uint32_t Replies = 0;
    std::uint32_t LastError = 0;
    IcmpEchoReply Reply{};
    char Data[64] = {};
    std::uint32_t TimeoutMs = 0;
};

Echo EchoOnce(IcmpEcho& echo, const char* data, std::uint32_t timeoutMs,
              std::uint32_t destination = Loopback)
{
    Echo result;
    result.TimeoutMs = timeoutMs;
    const std::uint16_t size = static_cast<std::uint16_t>(std::strlen(data));
    std::uint8_t buffer[sizeof(IcmpEchoReply) + sizeof result.Data] = {};
    result.Replies = echo.SendEcho(destination, data, size, nullptr, buffer,
                                   sizeof(IcmpEchoReply) + size, timeoutMs);
    result.LastError = echo.LastError();
    std::memcpy(&result.Reply, buffer, sizeof result.Reply);
    std::memcpy(result.Data, buffer + sizeof(IcmpEchoReply),
                std::min<std::size_t>(result.Reply.DataSize, sizeof result.Data - 1));
    return result;
}

void ExpectEchoed(const Echo& echo, const char* data)
{
    EXPECT_EQ(echo.Replies, 1u);
    EXPECT_EQ(echo.LastError, IpSuccess);
    EXPECT_EQ(echo.Reply.Status, IpSuccess);
    EXPECT_EQ(echo.Reply.Address, Loopback);
    EXPECT_EQ(echo.Reply.DataSize, std::strlen(data));
    EXPECT_EQ(echo.Reply.Data, sizeof(IcmpEchoReply));
    EXPECT_STREQ(echo.Data, data);
    EXPECT_LE(echo.Reply.RoundTripTime, echo.TimeoutMs); // a later reply is no reply
    EXPECT_GT(echo.Reply.Options.Ttl, 0);
}

void ExpectNoReply(const Echo& echo, std::uint32_t error)
{
    EXPECT_EQ(echo.Replies, 0u);
    EXPECT_EQ(echo.LastError, error);
    EXPECT_EQ(echo.Reply.Status, error);
    EXPECT_EQ(echo.Reply.DataSize, 0u);
}

std::unique_ptr<IcmpEcho> OpenOrSkipReason(IcmpSocketKind kind, std::string& whyNot)
{
    try {
        return OpenIcmpEcho(kind);
    } catch (const IcmpOpenError& e) {
        whyNot = e.what();
        return nullptr;
    }
}

// Both socket kinds run inside a namespace, where the datagram kind can be allowed for us.
IsolatedNetwork Namespace()
{
    IsolatedNetwork network;
    network.PingGroups = "0 2147483647";
    return network;
}

class BothSocketKinds : public ::testing::TestWithParam<IcmpSocketKind>
{
};

std::string KindName(const ::testing::TestParamInfo<IcmpSocketKind>& info)
{
    return info.param == IcmpSocketKind::Raw ? "Raw" : "Datagram";
}

} // namespace

TEST(IcmpEchoHost, RefusesWhatItCannotSend)
{
    std::string whyNot;
    auto echo = OpenOrSkipReason(IcmpSocketKind::Any, whyNot);
    if (!echo)
        GTEST_SKIP() << "no ICMP socket here: " << whyNot;
    std::uint8_t buffer[sizeof(IcmpEchoReply) + 8] = {};
    const char data[] = "12345678";

    EXPECT_EQ(echo->SendEcho(Loopback, data, 8, nullptr, buffer, sizeof(IcmpEchoReply) + 7, 100),
              0u);
    EXPECT_EQ(echo->LastError(), IpBufTooSmall);

    EXPECT_EQ(echo->SendEcho(0xFFFFFFFF, data, 8, nullptr, buffer, sizeof buffer, 100), 0u);
    EXPECT_EQ(echo->LastError(), IpBadDestination);
    EXPECT_EQ(echo->SendEcho(0, data, 8, nullptr, buffer, sizeof buffer, 100), 0u);
    EXPECT_EQ(echo->LastError(), IpBadDestination);

    const IpOptionInformation withOptions{64, 0, 0, 4, 0};
    EXPECT_EQ(echo->SendEcho(Loopback, data, 8, &withOptions, buffer, sizeof buffer, 100), 0u);
    EXPECT_EQ(echo->LastError(), IpBadOption);

    // Still usable afterwards.
    ExpectEchoed(EchoOnce(*echo, "after refusals", 2000), "after refusals");
}

TEST_P(BothSocketKinds, StaleReplyOfAnEarlierEchoIsNotTaken)
{
    const IcmpSocketKind kind = GetParam();
    IsolatedNetwork network = Namespace();
    struct Pair
    {
        Echo First, Second;
    };
    const auto pair = network.Run<Pair>([kind] {
        auto socket = SocketIcmpEcho::Open(kind);
        Pair result;
        // No time to wait: its reply arrives while nobody listens and stays queued.
        result.First = EchoOnce(*socket, "first echo", 0);
        result.Second = EchoOnce(*socket, "second echo", 2000);
        return result;
    });
    if (!pair)
        GTEST_SKIP() << network.WhyNot;
    ExpectNoReply(pair->First, IpReqTimedOut);
    ExpectEchoed(pair->Second, "second echo");
}

TEST_P(BothSocketKinds, NoReplyWhenEchoesAreIgnored)
{
    const IcmpSocketKind kind = GetParam();
    IsolatedNetwork network = Namespace();
    network.IgnoreEchoes = true;
    const auto echo = network.Run<Echo>([kind] {
        auto socket = SocketIcmpEcho::Open(kind);
        return EchoOnce(*socket, "nobody answers", 50);
    });
    if (!echo)
        GTEST_SKIP() << network.WhyNot;
    ExpectNoReply(*echo, IpReqTimedOut);
}

TEST_P(BothSocketKinds, NoRouteWhenTheLoopbackIsDown)
{
    const IcmpSocketKind kind = GetParam();
    IsolatedNetwork network = Namespace();
    network.LoopbackUp = false;
    const auto echo = network.Run<Echo>([kind] {
        auto socket = SocketIcmpEcho::Open(kind);
        return EchoOnce(*socket, "nowhere to go", 50);
    });
    if (!echo)
        GTEST_SKIP() << network.WhyNot;
    ExpectNoReply(*echo, IpDestNetUnreachable);
}

INSTANTIATE_TEST_SUITE_P(IcmpEcho, BothSocketKinds,
                         ::testing::Values(IcmpSocketKind::Raw, IcmpSocketKind::Datagram),
                         KindName);

TEST(IcmpEchoOpen, RawHandlesOfOneProcessKeepTheirOwnReplies)
{
    std::string whyNot;
    auto first = OpenOrSkipReason(IcmpSocketKind::Raw, whyNot);
    auto second = OpenOrSkipReason(IcmpSocketKind::Raw, whyNot);
    if (!first || !second)
        GTEST_SKIP() << "no raw ICMP socket here: " << whyNot;
    // Both sockets see both replies; each must take only its own.
    ExpectNoReply(EchoOnce(*first, "echo of the first handle", 0), IpReqTimedOut);
    ExpectEchoed(EchoOnce(*second, "echo of the second handle", 2000), "echo of the second handle");
    ExpectEchoed(EchoOnce(*first, "first again", 2000), "first again");
}

TEST(IcmpEchoOpen, DatagramKindRefusedByPingGroupRangeSaysWhy)
{
    IsolatedNetwork network;
    network.PingGroups = "1 0"; // nobody
    struct Outcome
    {
        bool Opened;
        char Text[256];
    };
    const auto outcome = network.Run<Outcome>([] {
        Outcome result{};
        try {
            TICMP icmp([] { return OpenIcmpEcho(IcmpSocketKind::Datagram); });
            result.Opened = true;
        } catch (const TICMPException& e) {
            std::strncpy(result.Text, e.what(), sizeof result.Text - 1);
        }
        return result;
    });
    if (!outcome)
        GTEST_SKIP() << network.WhyNot;
    EXPECT_FALSE(outcome->Opened);
    EXPECT_EQ(
        std::string(outcome->Text).rfind("Unable to get ping handle: no ICMP datagram socket", 0),
        0u)
        << outcome->Text;
    EXPECT_NE(std::string(outcome->Text).find("ping_group_range"), std::string::npos);
}
