#pragma once

#include "platform/IcmpEcho.h"

#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>

// One ping run on its own thread: resolve the host, ping it twice and publish the time of the
// second reply on the main thread. Created by the main thread, started once; it frees itself
// when it has ended.
class TNetworkPinger : public QThread
{
    Q_OBJECT

public:
    static constexpr std::int32_t NoReply = 888888;

    // Runs on the main thread with the result and, when the run failed, the reason.
    using TPublish = std::function<void(std::int32_t result, const QString& failure)>;

    TNetworkPinger(IcmpEchoFactory openEcho, TPublish publish);
    ~TNetworkPinger() override;

    // Written before the thread starts.
    QString Host;
    // The first echo only wakes the path (ARP, routes); the second is measured.
    std::uint32_t FirstTimeoutMs = 10;
    std::uint32_t SecondTimeoutMs = 29990;

    // The round-trip time in ms, or NoReply.
    std::int32_t Result = 0;

    // Runs not yet freed, for shutdown and tests.
    static int LiveCount() { return s_liveCount.load(); }

    // The measurement of one run, on the calling thread. Throws what creating the echo engine
    // throws.
    static std::int32_t Measure(const QString& host, const IcmpEchoFactory& openEcho,
                                std::uint32_t firstTimeoutMs, std::uint32_t secondTimeoutMs);

protected:
    void run() override;

private:
    IcmpEchoFactory m_openEcho;
    TPublish m_publish;
    static std::atomic<int> s_liveCount;
};
