#include "platform/linux/ProcRouteGateway.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Header =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QString GatewayOf(const QByteArray& rows)
{
    TempProgramFolder folder;
    folder.Write("route", Header + rows);
    return ProcRouteGateway(folder.File("route")).DefaultGateway();
}

} // namespace

TEST(DefaultGateway, LowestMetricWinsAndTheFirstOfEquals)
{
    const QString fixture = QStringLiteral(PULSMIR_FIXTURE_DIR "/proc/net_route");
    EXPECT_EQ(ProcRouteGateway(fixture).DefaultGateway(), "192.168.1.1");

    EXPECT_EQ(GatewayOf("eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                        "eth1\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"),
              "192.168.1.1");
}

TEST(DefaultGateway, OnlyUpDefaultRoutesThroughAGatewayCount)
{
    // A point-to-point default route has no gateway; a route that is down is not used; a
    // network route is no default route.
    EXPECT_EQ(GatewayOf("ppp0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n"
                        "eth0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"
                        "eth0\t0001A8C0\t0101A8C0\t0003\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"),
              "");
    EXPECT_EQ(GatewayOf("lo\t00000000\t0100007F\t0003\t0\t0\t5\t00000000\t0\t0\t0\n"), "127.0.0.1");
}

TEST(DefaultGateway, NoRouteTableOrAGarbledOneGivesNone)
{
    EXPECT_EQ(ProcRouteGateway(QStringLiteral(PULSMIR_FIXTURE_DIR "/proc/net_route_nodefault"))
                  .DefaultGateway(),
              "");
    EXPECT_EQ(ProcRouteGateway("/nonexistent/route").DefaultGateway(), "");
    EXPECT_EQ(GatewayOf(""), "");
    EXPECT_EQ(GatewayOf("eth0\t00000000\tZZZZZZZZ\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
                        "eth0\t00000000\n"),
              "");
}
