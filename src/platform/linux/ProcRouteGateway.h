#pragma once

#include "platform/GatewayFinder.h"

#include <string_view>

// The gateway of the default route from /proc/net/route; of several default routes the one
// the kernel prefers, with the lowest metric (the first of equals).
class ProcRouteGateway : public GatewayFinder
{
public:
    explicit ProcRouteGateway(QString routePath = QStringLiteral("/proc/net/route"));

    QString DefaultGateway() override;

    static QString ParseDefaultGateway(std::string_view routeTable);

private:
    QString m_routePath;
};
