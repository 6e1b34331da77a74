#pragma once

#include "platform/IcmpEcho.h"
#include "platform/linux/UniqueFd.h"

#include <vector>

// ICMP echo over a socket. A datagram ("ping") socket needs no privilege where the process's
// group lies in net.ipv4.ping_group_range; the kernel then owns the identifier (the socket's
// port) and hands us only our own replies. A raw socket sees every ICMP packet of the host, so
// replies are picked by identifier, sequence and the echoed data.
class SocketIcmpEcho : public IcmpEcho
{
public:
    // Throws IcmpOpenError.
    static std::unique_ptr<SocketIcmpEcho> Open(IcmpSocketKind kind);

    std::uint32_t SendEcho(std::uint32_t destination, const void* requestData,
                           std::uint16_t requestSize,
                           const IcmpLayout::IpOptionInformation* options, void* replyBuffer,
                           std::uint32_t replySize, std::uint32_t timeoutMs) override;
    std::uint32_t LastError() const override { return m_lastError; }

    // Datagram or Raw: the kind actually open.
    IcmpSocketKind Kind() const { return m_kind; }

private:
    SocketIcmpEcho(UniqueFd socket, IcmpSocketKind kind, std::uint16_t identifier);

    struct Match
    {
        bool Found = false;
        std::uint32_t Source = 0;
        std::uint32_t Status = 0;
        const std::uint8_t* Data = nullptr;
        std::size_t DataSize = 0;
    };

    bool ApplyOptions(const IcmpLayout::IpOptionInformation* options);
    Match ReadPacket(std::uint32_t destination, std::uint16_t sequence);
    Match ReadError(std::uint16_t sequence);
    std::uint32_t Fail(std::uint32_t error);

    UniqueFd m_socket;
    IcmpSocketKind m_kind;
    std::uint16_t m_identifier;
    std::uint16_t m_sequence = 0;
    std::uint32_t m_lastError = 0;
    std::uint8_t m_replyTtl = 0;
    std::vector<std::uint8_t> m_packet;
};
