#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// The echo reply of icmp.dll with its documented 32-bit layout (ipexport.h). The reply header
// is 28 bytes; pointers of the original do not fit a 64-bit build, so `Data` holds the offset of
// the echoed data in the reply buffer and `Options.OptionsData` is always 0.
namespace IcmpLayout {

inline constexpr std::uint32_t IpSuccess = 0;
inline constexpr std::uint32_t IpStatusBase = 11000;
inline constexpr std::uint32_t IpBufTooSmall = IpStatusBase + 1;
inline constexpr std::uint32_t IpDestNetUnreachable = IpStatusBase + 2;
inline constexpr std::uint32_t IpDestHostUnreachable = IpStatusBase + 3;
inline constexpr std::uint32_t IpDestProtUnreachable = IpStatusBase + 4;
inline constexpr std::uint32_t IpDestPortUnreachable = IpStatusBase + 5;
inline constexpr std::uint32_t IpNoResources = IpStatusBase + 6;
inline constexpr std::uint32_t IpBadOption = IpStatusBase + 7;
inline constexpr std::uint32_t IpPacketTooBig = IpStatusBase + 9;
inline constexpr std::uint32_t IpReqTimedOut = IpStatusBase + 10;
inline constexpr std::uint32_t IpTtlExpiredTransit = IpStatusBase + 13;
inline constexpr std::uint32_t IpTtlExpiredReassem = IpStatusBase + 14;
inline constexpr std::uint32_t IpParamProblem = IpStatusBase + 15;
inline constexpr std::uint32_t IpSourceQuench = IpStatusBase + 16;
inline constexpr std::uint32_t IpBadDestination = IpStatusBase + 18;
inline constexpr std::uint32_t IpGeneralFailure = IpStatusBase + 50;

inline constexpr std::uint8_t IpFlagDf = 0x2; // don't fragment

struct IpOptionInformation
{
    std::uint8_t Ttl;
    std::uint8_t Tos;
    std::uint8_t Flags;
    std::uint8_t OptionsSize;
    std::uint32_t OptionsData;
};

struct IcmpEchoReply
{
    std::uint32_t Address; // network order
    std::uint32_t Status;
    std::uint32_t RoundTripTime; // ms
    std::uint16_t DataSize;
    std::uint16_t Reserved;
    std::uint32_t Data;
    IpOptionInformation Options;
};

static_assert(sizeof(IpOptionInformation) == 8);
static_assert(sizeof(IcmpEchoReply) == 28);
static_assert(offsetof(IcmpEchoReply, DataSize) == 12);

} // namespace IcmpLayout

// An open ICMP echo handle (IcmpCreateFile); destroying it is IcmpCloseHandle.
class IcmpEcho
{
public:
    virtual ~IcmpEcho() = default;

    // IcmpSendEcho: sends one echo request to `destination` (network order) and waits up to
    // `timeoutMs` for its reply. Answers the number of replies written to `replyBuffer` (0 or
    // 1): an echo reply carries the echoed data after the header; an ICMP error carries its
    // status and no data. With 0, LastError says why (IpReqTimedOut, IpBufTooSmall, ...).
    // `replySize` must hold the header and `requestSize` bytes of data.
    virtual std::uint32_t SendEcho(std::uint32_t destination, const void* requestData,
                                   std::uint16_t requestSize,
                                   const IcmpLayout::IpOptionInformation* options,
                                   void* replyBuffer, std::uint32_t replySize,
                                   std::uint32_t timeoutMs) = 0;
    virtual std::uint32_t LastError() const = 0;
};

// Which kind of socket carries the echoes: an unprivileged ICMP datagram socket (allowed by
// net.ipv4.ping_group_range), a raw socket (needs CAP_NET_RAW), or the first that opens.
enum class IcmpSocketKind
{
    Any,
    Datagram,
    Raw
};

// Opening failed; the text says what was tried and what the system needs.
class IcmpOpenError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// IcmpCreateFile. Throws IcmpOpenError when no socket of the asked kind can be opened; with Any
// the system's ping tool stands in where it exists.
std::unique_ptr<IcmpEcho> OpenIcmpEcho(IcmpSocketKind kind = IcmpSocketKind::Any);

// Opens a handle for each ping run; tests hand in their own.
using IcmpEchoFactory = std::function<std::unique_ptr<IcmpEcho>()>;
