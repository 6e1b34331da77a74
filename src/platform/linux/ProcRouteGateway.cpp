#include "platform/linux/ProcRouteGateway.h"

#include "platform/HostLookup.h"
#include "platform/linux/ProcStats.h"

#include <QStringList>
#include <cstdint>
#include <limits>

namespace {

constexpr unsigned RouteUp = 0x1;      // RTF_UP
constexpr unsigned RouteGateway = 0x2; // RTF_GATEWAY

bool ParseHex(const QString& text, std::uint32_t& value)
{
    bool ok = false;
    value = text.toUInt(&ok, 16);
    return ok;
}

} // namespace

ProcRouteGateway::ProcRouteGateway(QString routePath) : m_routePath(std::move(routePath))
{}

QString ProcRouteGateway::DefaultGateway()
{
    ProcFile file(m_routePath);
    if (!file.Read())
        return {};
    return ParseDefaultGateway(file.Text());
}

QString ProcRouteGateway::ParseDefaultGateway(std::string_view routeTable)
{
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask ...; addresses are the
    // kernel's network-order words printed in hexadecimal.
    const QStringList lines =
        QString::fromLatin1(routeTable.data(), static_cast<qsizetype>(routeTable.size()))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QString best;
    std::uint32_t bestMetric = std::numeric_limits<std::uint32_t>::max();
    bool found = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields =
            lines[i].simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 8)
            continue;
        std::uint32_t destination, gateway, flags, mask;
        bool metricOk = false;
        const std::uint32_t metric = fields[6].toUInt(&metricOk);
        if (!ParseHex(fields[1], destination) || !ParseHex(fields[2], gateway) ||
            !ParseHex(fields[3], flags) || !ParseHex(fields[7], mask) || !metricOk)
            continue;
        if (destination != 0 || mask != 0 || gateway == 0 || (flags & RouteUp) == 0 ||
            (flags & RouteGateway) == 0)
            continue;
        if (!found || metric < bestMetric) {
            found = true;
            bestMetric = metric;
            best = QString::fromStdString(HostLookup::InetNtoa(gateway));
        }
    }
    return best;
}
