#include "net/NetworkPinger.h"

#include "net/Ping.h"

std::atomic<int> TNetworkPinger::s_liveCount{0};

TNetworkPinger::TNetworkPinger(IcmpEchoFactory openEcho, TPublish publish)
    : m_openEcho(std::move(openEcho)), m_publish(std::move(publish))
{
    ++s_liveCount;
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TNetworkPinger::~TNetworkPinger()
{
    --s_liveCount;
}

std::int32_t TNetworkPinger::Measure(const QString& host, const IcmpEchoFactory& openEcho,
                                     std::uint32_t firstTimeoutMs, std::uint32_t secondTimeoutMs)
{
    TPing ping(openEcho);
    if (host.isEmpty())
        return NoReply;
    ping.SetAddress(host);
    ping.SetTimeout(firstTimeoutMs);
    ping.Ping();
    ping.SetAddress(host);
    ping.SetTimeout(secondTimeoutMs);
    ping.Ping();
    const IcmpLayout::IcmpEchoReply reply = ping.Reply();
    return reply.DataSize > 0 ? static_cast<std::int32_t>(reply.RoundTripTime) : NoReply;
}

void TNetworkPinger::run()
{
    // A run whose engine cannot be made still reports "no reply", so the main thread clears
    // its pinging state and the next run can start.
    QString failure;
    try {
        Result = Measure(Host, m_openEcho, FirstTimeoutMs, SecondTimeoutMs);
    } catch (const std::exception& e) {
        Result = NoReply;
        failure = QString::fromStdString(e.what());
    }
    // This object lives on the main thread until its deferred deletion, so the call always
    // has a receiver.
    QMetaObject::invokeMethod(
        this,
        [this, &failure] {
            if (m_publish)
                m_publish(Result, failure);
        },
        Qt::BlockingQueuedConnection);
}
