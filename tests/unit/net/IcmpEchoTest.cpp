#include "net/Icmp.h"
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

Echo EchoOnce(IcmpEcho& echo, const char* data, std::uint32_t timeoutMs)
{
    Echo result;
    result.TimeoutMs = timeoutMs;
    const auto size = static_cast<std::uint16_t>(std::strlen(data));
    std::uint8_t buffer[sizeof(IcmpEchoReply) + sizeof result.Data] = {};
    result.Replies = echo.SendEcho(Loopback, data, size, nullptr, buffer,
                                   sizeof(IcmpEchoReply) + size, timeoutMs);
    result.LastError = echo.LastError();
    std::memcpy(&result.Reply, buffer, sizeof result.Reply);
    std::memcpy(result.Data, buffer + sizeof(IcmpEchoReply), size);
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
}

void ExpectNoReply(const Echo& echo, std::uint32_t error)
{
    EXPECT_EQ(echo.Replies, 0u);
    EXPECT_EQ(echo.LastError, error);
    EXPECT_EQ(echo.Reply.Status, error);
    EXPECT_EQ(echo.Reply.DataSize, 0u);
}

std::unique_ptr<IcmpEcho> Open(IcmpSocketKind kind, std::string& whyNot)
{
    try {
        return OpenIcmpEcho(kind);
    } catch (const IcmpOpenError& e) {
        whyNot = e.what();
        return nullptr;
    }
}

// Each case runs inside a namespace, where the datagram kind can be allowed for us.
class BothSocketKinds : public ::testing::TestWithParam<IcmpSocketKind>
{
protected:
    std::optional<Echo> Isolated(IsolatedNetwork& network, const char* data,
                                 std::uint32_t timeoutMs)
    {
        const IcmpSocketKind kind = GetParam();
        return network.Run<Echo>(
            [=] { return EchoOnce(*SocketIcmpEcho::Open(kind), data, timeoutMs); });
    }
};

} // namespace

TEST(IcmpEchoHost, RefusesWhatItCannotSendAndStaysUsable)
{
    std::string whyNot;
    auto echo = Open(IcmpSocketKind::Any, whyNot);
    if (!echo)
        GTEST_SKIP() << "no ICMP socket here: " << whyNot;
    std::uint8_t buffer[sizeof(IcmpEchoReply) + 8] = {};
    const char data[] = "12345678";
    EXPECT_EQ(echo->SendEcho(Loopback, data, 8, nullptr, buffer, sizeof buffer - 1, 100), 0u);
    EXPECT_EQ(echo->LastError(), IpBufTooSmall);
    EXPECT_EQ(echo->SendEcho(0xFFFFFFFF, data, 8, nullptr, buffer, sizeof buffer, 100), 0u);
    EXPECT_EQ(echo->LastError(), IpBadDestination);
    const IpOptionInformation withIpOptions{64, 0, 0, 4, 0};
    EXPECT_EQ(echo->SendEcho(Loopback, data, 8, &withIpOptions, buffer, sizeof buffer, 100), 0u);
    EXPECT_EQ(echo->LastError(), IpBadOption);

    ExpectEchoed(EchoOnce(*echo, "after refusals", 2000), "after refusals");
}

TEST(IcmpEchoHost, RawHandlesOfOneProcessKeepTheirOwnReplies)
{
    std::string whyNot;
    auto first = Open(IcmpSocketKind::Raw, whyNot);
    auto second = Open(IcmpSocketKind::Raw, whyNot);
    if (!first || !second)
        GTEST_SKIP() << "no raw ICMP socket here: " << whyNot;
    // Both sockets see both replies; each must take only its own, of its latest echo.
    ExpectNoReply(EchoOnce(*first, "first handle", 0), IpReqTimedOut);
    ExpectEchoed(EchoOnce(*second, "second handle", 2000), "second handle");
    ExpectEchoed(EchoOnce(*first, "first again", 2000), "first again");
}

TEST_P(BothSocketKinds, StaleReplyOfAnEarlierEchoIsNotTaken)
{
    const IcmpSocketKind kind = GetParam();
    IsolatedNetwork network;
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

TEST_P(BothSocketKinds, NoReplyWhenEchoesAreIgnoredOrTheLoopbackIsDown)
{
    IsolatedNetwork silent;
    silent.IgnoreEchoes = true;
    IsolatedNetwork down;
    down.LoopbackUp = false;
    const auto timedOut = Isolated(silent, "nobody answers", 50);
    const auto unreachable = Isolated(down, "nowhere to go", 50);
    if (!timedOut || !unreachable)
        GTEST_SKIP() << silent.WhyNot << down.WhyNot;
    ExpectNoReply(*timedOut, IpReqTimedOut);
    ExpectNoReply(*unreachable, IpDestNetUnreachable);
}

INSTANTIATE_TEST_SUITE_P(IcmpEcho, BothSocketKinds,
                         ::testing::Values(IcmpSocketKind::Raw, IcmpSocketKind::Datagram),
                         [](const auto& info) {
                             return info.param == IcmpSocketKind::Raw ? "Raw" : "Datagram";
                         });

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
    const std::string text = outcome->Text;
    EXPECT_EQ(text.rfind("Unable to get ping handle: no ICMP datagram socket", 0), 0u) << text;
    EXPECT_NE(text.find("ping_group_range"), std::string::npos);
}
