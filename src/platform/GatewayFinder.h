#pragma once

#include <QString>

// The default gateway, as the TCP/IP settings in the registry give it.
class GatewayFinder
{
public:
    virtual ~GatewayFinder() = default;

    // Dotted text, or empty when there is no default route through a gateway.
    virtual QString DefaultGateway() = 0;
};
