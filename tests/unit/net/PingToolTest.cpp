#include "net/Icmp.h"
#include "platform/linux/ToolIcmpEcho.h"
#include "unit/net/IsolatedNetwork.h"

#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace IcmpLayout;

namespace {

std::uint32_t Loopback()
{
    return htonl(INADDR_LOOPBACK);
}

// Gives up the right to open raw sockets for the rest of the process, as an ordinary user
// lacks it; programs it starts may still hold it by their file capabilities.
bool DropRawSockets()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    data[0].effective &= ~(1u << CAP_NET_RAW);
    data[0].permitted &= ~(1u << CAP_NET_RAW);
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace

TEST(PingToolOutput, RepliesErrorsAndSilenceAreTold)
{
    const ToolPingReply reply =
        ParseToolPingOutput("PING 127.0.0.1 (127.0.0.1) 32(60) bytes of data.\n"
                            "40 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=1.62 ms\n\n"
                            "--- 127.0.0.1 ping statistics ---\n"
                            "1 packets transmitted, 1 received, 0% packet loss, time 0ms\n");
    EXPECT_TRUE(reply.Answered);
    EXPECT_EQ(reply.Status, IpSuccess);
    EXPECT_EQ(reply.Address, Loopback());
    EXPECT_EQ(reply.Ttl, 64);
    EXPECT_EQ(reply.RoundTripTime, 2u);

    const ToolPingReply unreachable = ParseToolPingOutput(
        "PING 10.9.9.9 (10.9.9.9) 32(60) bytes of data.\n"
        "From 10.0.0.1 icmp_seq=1 Destination Net Unreachable\n\n"
        "--- 10.9.9.9 ping statistics ---\n"
        "1 packets transmitted, 0 received, +1 errors, 100% packet loss, time 0ms\n");
    EXPECT_FALSE(unreachable.Answered);
    EXPECT_EQ(unreachable.Status, IpDestNetUnreachable);
    EXPECT_EQ(unreachable.Address, inet_addr("10.0.0.1"));
    EXPECT_EQ(ParseToolPingOutput("From 10.0.0.1 icmp_seq=1 Time to live exceeded\n").Status,
              IpTtlExpiredTransit);

    const ToolPingReply silence =
        ParseToolPingOutput("PING 10.9.9.9 (10.9.9.9) 32(60) bytes of data.\n\n"
                            "--- 10.9.9.9 ping statistics ---\n"
                            "1 packets transmitted, 0 received, 100% packet loss, time 0ms\n");
    EXPECT_FALSE(silence.Answered);
    EXPECT_EQ(silence.Status, IpReqTimedOut);
    EXPECT_FALSE(ParseToolPingOutput("ping: socket: Operation not permitted\n").Answered);
}

TEST(PingTool, EchoesLikeTheSocketDoes)
{
    const std::unique_ptr<ToolIcmpEcho> tool = ToolIcmpEcho::Find();
    if (!tool)
        GTEST_SKIP() << "no ping tool (scripts/install-deps.sh installs iputils-ping)";
    const char request[] = "Pulsmir echo....";
    std::vector<std::uint8_t> reply(sizeof(IcmpEchoReply) + 16);
    const IpOptionInformation options{128, 0, IpFlagDf, 0, 0};
    ASSERT_EQ(tool->SendEcho(Loopback(), request, 16, &options, reply.data(),
                             static_cast<std::uint32_t>(reply.size()), 3000),
              1u)
        << "last error " << tool->LastError();
    IcmpEchoReply header{};
    std::memcpy(&header, reply.data(), sizeof header);
    EXPECT_EQ(header.Status, IpSuccess);
    EXPECT_EQ(header.Address, Loopback());
    EXPECT_EQ(header.DataSize, 16);
    EXPECT_EQ(std::memcmp(reply.data() + header.Data, request, 16), 0);

    EXPECT_EQ(tool->SendEcho(Loopback(), request, 16, &options, reply.data(), 20, 3000), 0u);
    EXPECT_EQ(tool->LastError(), IpBufTooSmall);
}

TEST(PingTool, StandsInWhereNoIcmpSocketMayBeOpened)
{
    if (!ToolIcmpEcho::Find())
        GTEST_SKIP() << "no ping tool (scripts/install-deps.sh installs iputils-ping)";
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to give up raw sockets while the ping tool keeps them";
    IsolatedNetwork network;
    network.PingGroups = "1 0"; // no group may open an ICMP datagram socket
    struct Outcome
    {
        bool Dropped;
        int Replies;
        char Failure[256];
    };
    const auto outcome = network.Run<Outcome>([] {
        Outcome result{};
        result.Dropped = DropRawSockets();
        try {
            TICMP icmp;
            icmp.SetAddress(QStringLiteral("127.0.0.1"));
            icmp.Timeout = 3000;
            result.Replies = icmp.Ping();
        } catch (const std::exception& e) {
            std::strncpy(result.Failure, e.what(), sizeof result.Failure - 1);
        }
        return result;
    });
    if (!outcome)
        GTEST_SKIP() << network.WhyNot;
    ASSERT_TRUE(outcome->Dropped);
    EXPECT_STREQ(outcome->Failure, "");
    EXPECT_EQ(outcome->Replies, 1);
}
