#include "net/Icmp.h"

#include "platform/HostLookup.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace IcmpLayout;

TICMP::TICMP(const IcmpEchoFactory& openEcho) : m_ip(HostLookup::AddressNone)
{
    try {
        m_echo = openEcho ? openEcho() : OpenIcmpEcho();
    } catch (const IcmpOpenError& e) {
        throw TICMPException(std::string("Unable to get ping handle: ") + e.what());
    }
    if (!m_echo)
        throw TICMPException("Unable to get ping handle");
}

TICMP::~TICMP() = default;

void TICMP::SetAddress(const QString& address)
{
    if (address == m_address)
        return;
    m_address = address;
    m_addressResolved = false;
}

void TICMP::Display(const QString& text)
{
    if (OnDisplay)
        OnDisplay(this, text);
}

void TICMP::Resolve()
{
    const std::string address = m_address.toStdString();
    m_ip = HostLookup::InetAddr(address);
    if (m_ip == HostLookup::AddressNone) {
        const HostLookup::Host host = HostLookup::GetHostByName(address);
        if (host.Error != 0) {
            m_lastError = static_cast<std::uint32_t>(host.Error);
            Display(QStringLiteral("Unable to resolve ") + m_address);
        } else {
            m_ip = host.Address;
            m_hostName = QString::fromStdString(host.OfficialName);
        }
    } else {
        m_hostName = m_address;
    }
    m_hostIp = QString::fromStdString(HostLookup::InetNtoa(m_ip));
    m_addressResolved = true;
}

int TICMP::Ping()
{
    m_lastError = 0;
    if (!m_addressResolved)
        Resolve();
    if (m_ip == HostLookup::AddressNone) {
        m_lastError = IpBadDestination;
        Display(QStringLiteral("Invalid host address"));
        return 0;
    }

    std::vector<std::uint8_t> request(Size, 0x20);
    std::memcpy(request.data(), Banner, std::min<std::size_t>(Size, sizeof Banner - 1));
    std::vector<std::uint8_t> reply(Size + sizeof(IcmpEchoReply), 0);
    const IpOptionInformation options{TTL, 0, Flags, 0, 0};

    if (OnEchoRequest)
        OnEchoRequest(this);
    const int replies =
        static_cast<int>(m_echo->SendEcho(m_ip, request.data(), Size, &options, reply.data(),
                                          static_cast<std::uint32_t>(reply.size()), Timeout));
    m_lastError = m_echo->LastError();
    std::memcpy(&m_reply, reply.data(), sizeof m_reply);
    if (OnEchoReply)
        OnEchoReply(this, replies);
    return replies;
}
