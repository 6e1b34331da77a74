#include "platform/MachineIdentity.h"

#include <arpa/inet.h>
#include <ctime>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/utsname.h>

MachineIdentity MachineIdentity::OfThisMachine()
{
    utsname names{};
    if (::uname(&names) != 0)
        return {};
    return {QString::fromLocal8Bit(names.nodename), QString::fromLocal8Bit(names.release)};
}

std::optional<std::int64_t> UptimeSeconds()
{
    timespec now{};
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return std::nullopt;
    return std::int64_t(now.tv_sec);
}

QString PrimaryInterfaceAddress()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    const std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owned(list, &::freeifaddrs);
    QString v6;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || !(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        char text[INET6_ADDRSTRLEN] = {};
        if (entry->ifa_addr->sa_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
                return QString::fromLatin1(text);
        } else if (entry->ifa_addr->sa_family == AF_INET6 && v6.isEmpty()) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
            if (!IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr) &&
                ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text))
                v6 = QString::fromLatin1(text);
        }
    }
    return v6;
}
