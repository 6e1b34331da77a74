#pragma once

#include "settings/Settings.h"
#include "core/PerfCore.h"
#include "log/DebugLog.h"
#include "platform/GatewayFinder.h"
#include "platform/IcmpEcho.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// The measurement values the prober reads and writes.
struct TPingValues
{
    std::function<bool()> CoreStarted;
    std::int32_t& PingLevel;
    std::int32_t& PingTime;
};

inline TPingValues PingValuesOf(TPerfCore& core)
{
    return {[&core] { return core.Started(); }, core.PingLevel, core.PingTime};
}

// What the prober asks of the main window.
struct TPingHooks
{
    std::function<void(const QString& eventName)> SendSstpEvent;
    std::function<void()> PlayPingingSound;
    std::function<void(bool enabled)> SetPingMenuEnabled; // the `PingP1` menu item
};

// Where the echoes and the gateway come from; the defaults are the system's.
struct TPingPlatform
{
    IcmpEchoFactory OpenEcho;
    GatewayFinder* Gateway = nullptr;
    std::uint32_t FirstTimeoutMs = 10;
    std::uint32_t SecondTimeoutMs = 29990;
};

// The main window's side of pinging: the ping timer's handler, starting a run on a worker
// thread, and grading its result into the core's ping level and time. At most one run is
// under way; it may outlive the prober, whose results are then dropped.
class TPingProber : public QObject
{
    Q_OBJECT

public:
    TPingProber(TPingValues values, const TSettings& settings, TaggedLog log, TPingHooks hooks,
                TPingPlatform platform = {}, QObject* parent = nullptr);
    ~TPingProber() override;

    // The `PingTimer` tick and the `PingP1` menu item.
    void PingTimerTimer();
    void StartPing();
    // Runs on the main thread when a run ends; `failure` is set when the run could not ping.
    void ShowPingResult(std::int32_t result, const QString& failure = {});
    // Replaces `host` by the default gateway when there is one.
    bool FindDefaultGateway(QString& host);

    bool Pinging() const { return m_pinging; }
    // Why the last run could not ping at all (no ICMP socket and no ping tool); empty after a
    // run that could.
    const QString& Failure() const { return m_failure; }
    // The host of the current or last run; before the first run, the host a run would ping.
    QString PingTarget();

    // 3 up to `gate1`, 2 up to `gate2`, 1 up to `gate3`, else 0.
    static std::int32_t PingLevelFor(std::int32_t time, int gate1, int gate2, int gate3);

private:
    QString TargetHost();

    TPingValues m_values;
    const TSettings& m_settings;
    TaggedLog m_log;
    TPingHooks m_hooks;
    TPingPlatform m_platform;
    std::unique_ptr<GatewayFinder> m_ownGateway;
    // Shared with the runs; cleared when the prober goes, so a late result finds no one.
    std::shared_ptr<TPingProber*> m_self;
    bool m_pinging = false;
    bool m_ran = false;
    QString m_host;
    QString m_failure;
};
