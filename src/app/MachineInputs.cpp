#include "app/MachineInputs.h"

#include "settings/Settings.h"

#include <algorithm>
#include <cmath>

namespace {

int Percent(std::optional<double> value)
{
    return value ? int(std::lround(std::clamp(*value, 0.0, 100.0)))
                 : SkinRenderInputs::NoSensorValue;
}

QString UptimeText(std::int64_t seconds)
{
    const std::int64_t days = seconds / 86400, hours = seconds / 3600 % 24;
    const QString minutes = QStringLiteral("%1").arg(seconds / 60 % 60, 2, 10, QChar(u'0'));
    if (days == 0)
        return QStringLiteral("%1:%2").arg(hours).arg(minutes);
    return QStringLiteral("%1 d %2:%3").arg(days).arg(hours, 2, 10, QChar(u'0')).arg(minutes);
}

} // namespace

void FillGpuAndFanInputs(const SensorReadings& sensors, const TSettings& settings,
                         SkinRenderInputs& in)
{
    constexpr int None = SkinRenderInputs::NoSensorValue;
    in.GpuLoad = in.GpuMemoryLoad = in.GpuTemperature = in.GpuTempPos = None;
    if (sensors.Gpu && !sensors.Gpu->Asleep) {
        const GpuReading& gpu = *sensors.Gpu;
        in.GpuLoad = Percent(gpu.LoadPercent);
        if (gpu.MemoryUsedBytes && gpu.MemoryTotalBytes && *gpu.MemoryTotalBytes > 0)
            in.GpuMemoryLoad = Percent(*gpu.MemoryUsedBytes * 100 / *gpu.MemoryTotalBytes);
        if (gpu.Celsius) {
            in.GpuTemperature = std::max(int(std::lround(*gpu.Celsius)), 0);
            in.GpuTempPos =
                TemperaturePosition(*gpu.Celsius, settings.TempRangeLow, settings.TempRangeHigh);
        }
    }
    in.FanRpm = in.FanPos = None;
    if (sensors.Fan && sensors.Fan->Rpm) {
        in.FanRpm = int(std::lround(*sensors.Fan->Rpm));
        in.FanPos = FanPosition(*sensors.Fan, settings.FanMaxRpm);
    }
}

void FillTextValues(const TextValueSources& from, SkinRenderInputs& in)
{
    using V = SkinTextValue;
    auto& texts = in.Texts;
    const auto set = [&](V value, QString text) { texts[std::size_t(value)] = std::move(text); };
    set(V::Host, from.Host);
    set(V::Kernel, from.Kernel);
    set(V::Uptime, from.UptimeSeconds ? UptimeText(*from.UptimeSeconds) : QString());
    set(V::Time, from.Now.isValid() ? from.Now.toString(QStringLiteral("HH:mm")) : QString());
    set(V::NetAddress, from.NetAddress);
    const SensorReadings* sensors = from.Sensors;
    set(V::GpuName, sensors && sensors->Gpu ? sensors->Gpu->Model.isEmpty() ? sensors->Gpu->Id
                                                                              : sensors->Gpu->Model
                                            : QString());
    set(V::TempName, sensors && sensors->Temperature ? sensors->TemperatureSensor : QString());
    set(V::BatteryState, sensors && sensors->BatteryPercent ? sensors->BatteryState : QString());
    constexpr int Shown = 5;
    for (int i = 0; i < Shown; ++i) {
        const bool known = from.Processes && std::size_t(i) < from.Processes->size();
        const ProcessShare* share = known ? &(*from.Processes)[std::size_t(i)] : nullptr;
        set(V(int(V::Proc1Name) + i), share ? share->Name : QString());
        set(V(int(V::Proc1Share) + i),
            share ? from.Locale.toString(share->Percent, 'f', 1) + QStringLiteral(" %") : QString());
    }
}

void TTextValueFeed::Fill(const SensorReadings& sensors, const std::vector<ProcessShare>& processes,
                          bool showsAddress, SkinRenderInputs& in)
{
    if (!m_identity)
        m_identity = MachineIdentity::OfThisMachine();
    // An address changes seldom, and asking for every interface costs more than a frame.
    if (showsAddress && (!m_addressAge.isValid() || m_addressAge.hasExpired(AddressRefreshMs))) {
        m_address = PrimaryInterfaceAddress();
        m_addressAge.start();
    }
    FillTextValues({&sensors, &processes, m_identity->HostName, m_identity->KernelRelease,
                    showsAddress ? m_address : QString(), UptimeSeconds(), QTime::currentTime(),
                    QLocale()},
                   in);
}
