#include "platform/HostLookup.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

namespace HostLookup {

std::uint32_t InetAddr(const std::string& text)
{
    in_addr address{};
    if (text.empty() || ::inet_aton(text.c_str(), &address) == 0)
        return AddressNone;
    return address.s_addr;
}

std::string InetNtoa(std::uint32_t address)
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr value{};
    value.s_addr = address;
    ::inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}

Host GetHostByName(const std::string& name)
{
    Host host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    const int result =
        name.empty() ? EAI_NONAME : ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0 || !found) {
        switch (result) {
        case EAI_AGAIN:
            host.Error = TryAgain;
            break;
        case EAI_NODATA:
        case EAI_ADDRFAMILY:
            host.Error = NoData;
            break;
        case EAI_NONAME:
            host.Error = HostNotFound;
            break;
        default:
            host.Error = NoRecovery;
        }
        return host;
    }
    sockaddr_in first;
    std::memcpy(&first, found->ai_addr, sizeof first);
    host.Address = first.sin_addr.s_addr;
    host.OfficialName = found->ai_canonname ? found->ai_canonname : name;
    ::freeaddrinfo(found);
    return host;
}

} // namespace HostLookup
