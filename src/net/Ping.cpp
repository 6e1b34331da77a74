#include "net/Ping.h"

TPing::TPing(const IcmpEchoFactory& openEcho) : m_icmp(std::make_unique<TICMP>(openEcho))
{
    m_icmp->OnDisplay = [this](TICMP* icmp, const QString& text) {
        if (OnDisplay)
            OnDisplay(this, icmp, text);
    };
    m_icmp->OnEchoRequest = [this](TICMP* icmp) {
        if (OnEchoRequest)
            OnEchoRequest(this, icmp);
    };
    m_icmp->OnEchoReply = [this](TICMP* icmp, int replies) {
        if (OnEchoReply)
            OnEchoReply(this, icmp, replies);
    };
}
