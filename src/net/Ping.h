#pragma once

#include "net/Icmp.h"

// The ping component: one echo engine with its settings and events, each event naming the
// component and the engine.
class TPing
{
public:
    using TPingDisplay = std::function<void(TPing* sender, TICMP* icmp, const QString& msg)>;
    using TPingRequest = std::function<void(TPing* sender, TICMP* icmp)>;
    using TPingReply = std::function<void(TPing* sender, TICMP* icmp, int error)>;

    // Throws TICMPException, as creating the engine does.
    explicit TPing(const IcmpEchoFactory& openEcho = {});
    TPing(const TPing&) = delete;
    TPing& operator=(const TPing&) = delete;

    QString Address() const { return m_icmp->Address(); }
    void SetAddress(const QString& address) { m_icmp->SetAddress(address); }
    std::uint16_t Size() const { return m_icmp->Size; }
    void SetSize(std::uint16_t size) { m_icmp->Size = size; }
    std::uint32_t Timeout() const { return m_icmp->Timeout; }
    void SetTimeout(std::uint32_t timeout) { m_icmp->Timeout = timeout; }
    std::uint8_t TTL() const { return m_icmp->TTL; }
    void SetTTL(std::uint8_t ttl) { m_icmp->TTL = ttl; }
    std::uint8_t Flags() const { return m_icmp->Flags; }
    void SetFlags(std::uint8_t flags) { m_icmp->Flags = flags; }
    QString HostName() const { return m_icmp->HostName(); }
    QString HostIP() const { return m_icmp->HostIP(); }
    std::uint32_t LastError() const { return m_icmp->LastError(); }

    int Ping() { return m_icmp->Ping(); }
    // A copy of the last reply header.
    IcmpLayout::IcmpEchoReply Reply() const { return m_icmp->Reply(); }

    TPingDisplay OnDisplay;
    TPingRequest OnEchoRequest;
    TPingReply OnEchoReply;

private:
    std::unique_ptr<TICMP> m_icmp;
};
