#pragma once

#include "platform/IcmpEcho.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

class TICMPException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The echo engine: one ICMP handle, the target address and its resolution, and the last reply.
class TICMP
{
public:
    using TDisplayEvent = std::function<void(TICMP* sender, const QString& text)>;
    using TRequestEvent = std::function<void(TICMP* sender)>;
    using TReplyEvent = std::function<void(TICMP* sender, int replies)>;

    static constexpr std::uint32_t IpBadDestination = IcmpLayout::IpBadDestination;
    // The echo data: spaces with this text over the start.
    static constexpr char Banner[] = "Pulsmir latency probe: ICMP echo request data";
    static_assert(sizeof Banner - 1 == 45);

    // Throws TICMPException when no ICMP handle can be had; an empty factory opens the
    // system's echo socket.
    explicit TICMP(const IcmpEchoFactory& openEcho = {});
    ~TICMP();
    TICMP(const TICMP&) = delete;
    TICMP& operator=(const TICMP&) = delete;

    const QString& Address() const { return m_address; }
    // A different text is resolved again before the next ping.
    void SetAddress(const QString& address);
    const QString& HostName() const { return m_hostName; }
    const QString& HostIP() const { return m_hostIp; }
    std::uint32_t HostIPAddress() const { return m_ip; } // network order
    bool AddressResolved() const { return m_addressResolved; }

    // Sends one echo and answers the number of replies (0 or 1).
    int Ping();
    const IcmpLayout::IcmpEchoReply& Reply() const { return m_reply; }
    std::uint32_t LastError() const { return m_lastError; }

    std::uint16_t Size = 56;      // bytes of echo data
    std::uint32_t Timeout = 4000; // ms
    std::uint8_t TTL = 64;
    std::uint8_t Flags = 0;

    TDisplayEvent OnDisplay;
    TRequestEvent OnEchoRequest;
    TReplyEvent OnEchoReply;

private:
    void Resolve();
    void Display(const QString& text);

    std::unique_ptr<IcmpEcho> m_echo;
    IcmpLayout::IcmpEchoReply m_reply{};
    QString m_address;
    QString m_hostName;
    QString m_hostIp;
    std::uint32_t m_ip;
    std::uint32_t m_lastError = 0;
    bool m_addressResolved = false;
};
