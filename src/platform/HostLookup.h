#pragma once

#include <cstdint>
#include <string>

// The Winsock name functions the echo engine needs, over the C library's resolver.
namespace HostLookup {

inline constexpr std::uint32_t AddressNone = 0xFFFFFFFF; // INADDR_NONE

// WSAGetLastError codes of a failed lookup.
inline constexpr int HostNotFound = 11001;
inline constexpr int TryAgain = 11002;
inline constexpr int NoRecovery = 11003;
inline constexpr int NoData = 11004;

// inet_addr: dotted text (also the short forms "127.1" and hexadecimal parts) to a network-order
// address, or AddressNone.
std::uint32_t InetAddr(const std::string& text);
// inet_ntoa: network-order address to dotted text.
std::string InetNtoa(std::uint32_t address);

struct Host
{
    std::uint32_t Address = AddressNone; // network order, the first address
    std::string OfficialName;
    int Error = 0; // one of the codes above, 0 when found
};

// gethostbyname for IPv4, safe to call from any thread. Blocks while the resolver works.
Host GetHostByName(const std::string& name);

} // namespace HostLookup
