#include "net/PingProber.h"

#include "net/NetworkPinger.h"
#include "platform/linux/ProcRouteGateway.h"

#include <QUrl>

TPingProber::TPingProber(TPingValues values, const TSettings& settings, TaggedLog log,
                         TPingHooks hooks, TPingPlatform platform, QObject* parent)
    : QObject(parent), m_values(std::move(values)), m_settings(settings), m_log(std::move(log)),
      m_hooks(std::move(hooks)), m_platform(std::move(platform)),
      m_self(std::make_shared<TPingProber*>(this))
{
    if (!m_platform.Gateway) {
        m_ownGateway = std::make_unique<ProcRouteGateway>();
        m_platform.Gateway = m_ownGateway.get();
    }
}

TPingProber::~TPingProber()
{
    *m_self = nullptr;
}

std::int32_t TPingProber::PingLevelFor(std::int32_t time, int gate1, int gate2, int gate3)
{
    std::int32_t level = 3;
    if (gate1 < time)
        level = 2;
    if (time > gate2)
        level = 1;
    if (time > gate3)
        level = 0;
    return level;
}

void TPingProber::PingTimerTimer()
{
    if (!m_values.CoreStarted() || !m_settings.PingEnable)
        return;
    if (m_settings.EventSound.Enable && m_hooks.PlayPingingSound)
        m_hooks.PlayPingingSound();
    StartPing();
}

bool TPingProber::FindDefaultGateway(QString& host)
{
    const QString gateway = m_platform.Gateway->DefaultGateway();
    if (gateway.isEmpty())
        return false;
    host = gateway;
    return true;
}

QString TPingProber::TargetHost()
{
    // A window that shows another machine pings that machine.
    if (!m_settings.Source.isEmpty())
        return QUrl(m_settings.Source).host();
    QString host = m_settings.PingHost;
    if (m_settings.UseDefaultGateway)
        FindDefaultGateway(host);
    return host;
}

QString TPingProber::PingTarget()
{
    return m_ran ? m_host : TargetHost();
}

void TPingProber::StartPing()
{
    if (m_pinging)
        return;
    m_log(QStringLiteral("Start Pinging..."));
    if (m_hooks.SetPingMenuEnabled)
        m_hooks.SetPingMenuEnabled(false);
    auto* pinger = new TNetworkPinger(m_platform.OpenEcho,
                                      [self = m_self](std::int32_t result, const QString& failure) {
                                          if (*self)
                                              (*self)->ShowPingResult(result, failure);
                                      });
    pinger->FirstTimeoutMs = m_platform.FirstTimeoutMs;
    pinger->SecondTimeoutMs = m_platform.SecondTimeoutMs;
    m_pinging = true;
    m_ran = true;
    m_host = TargetHost();
    pinger->Host = m_host;
    m_log(QStringLiteral(" Ping to ") + m_host);
    pinger->start();
}

void TPingProber::ShowPingResult(std::int32_t result, const QString& failure)
{
    if (!failure.isEmpty())
        m_log(QStringLiteral("[TRAP] Ping : ") + failure);
    m_failure = failure;
    if (m_values.CoreStarted()) {
        const std::int32_t level =
            PingLevelFor(result, m_settings.PingGT1, m_settings.PingGT2, m_settings.PingGT3);
        const std::int32_t previous = m_values.PingLevel;
        if (level != previous && m_hooks.SendSstpEvent) {
            if (previous >= 1 && level == 0)
                m_hooks.SendSstpEvent(QStringLiteral("PingResultA"));
            else if (previous == 0 && level >= 1)
                m_hooks.SendSstpEvent(QStringLiteral("PingResultB"));
        }
        m_values.PingLevel = level;
        m_values.PingTime = result;
        m_log(QStringLiteral(" Ping Result : %1 ms").arg(result));
    }
    m_pinging = false;
    if (m_hooks.SetPingMenuEnabled)
        m_hooks.SetPingMenuEnabled(true);
}
