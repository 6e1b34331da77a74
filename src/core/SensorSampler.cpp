#include "core/SensorSampler.h"

#include "platform/Sensors.h"

#include <chrono>

namespace {

// A sensor that cannot be found is looked for again at most this often.
constexpr int RescanAfterReads = 30;

QString PowerState(const PowerSupplies& power, bool anyCharging)
{
    if (anyCharging)
        return QStringLiteral("charging");
    return power.OnMains ? QStringLiteral("on mains") : QStringLiteral("discharging");
}

} // namespace

SensorReadings ReadSensors(SensorSource& source, const SensorChoice& choice,
                           std::optional<std::vector<TemperatureSensorInfo>>& sensors)
{
    SensorReadings readings;
    if (!sensors)
        sensors = source.TemperatureSensors();
    if (const auto sensor = ChosenTemperatureSensor(*sensors, choice.TemperatureId)) {
        readings.TemperatureSensor = sensor->Label();
        readings.Temperature = source.ReadTemperature(sensor->Id);
    }
    const PowerSupplies power = source.ReadPowerSupplies();
    readings.BatteryPercent = CombinedBatteryPercent(power.Batteries);
    if (readings.BatteryPercent) {
        bool charging = false;
        for (const BatteryCell& cell : power.Batteries)
            charging = charging || cell.Charging;
        readings.BatteryCharging = charging || power.OnMains;
        readings.BatteryState = PowerState(power, charging);
    }
    if (!choice.DiskPath.isEmpty()) {
        readings.DiskPath = choice.DiskPath;
        if (const auto space = source.ReadDiskSpace(choice.DiskPath))
            readings.DiskUsedPercent = UsedPercent(*space);
    }
    return readings;
}

TSensorSampler::TSensorSampler(std::unique_ptr<SensorSource> source, TaggedLog log)
    : m_source(std::move(source)), m_log(std::move(log))
{}

TSensorSampler::~TSensorSampler()
{
    Stop();
}

void TSensorSampler::SetChoice(const SensorChoice& choice)
{
    {
        std::scoped_lock lock(m_lock);
        if (m_choice == choice)
            return;
        m_choice = choice;
        m_rechoose = true;
    }
    m_wake.notify_all();
}

void TSensorSampler::Start()
{
    if (!isRunning())
        start(QThread::LowPriority);
}

void TSensorSampler::Stop()
{
    {
        std::scoped_lock lock(m_lock);
        requestInterruption();
    }
    m_wake.notify_all();
    wait();
}

void TSensorSampler::run()
{
    std::optional<std::vector<TemperatureSensorInfo>> sensors;
    int misses = 0;
    std::unique_lock lock(m_lock);
    while (!isInterruptionRequested()) {
        const SensorChoice choice = m_choice;
        m_rechoose = false;
        lock.unlock();

        const SensorReadings readings = ReadSensors(*m_source, choice, sensors);
        // A sensor that is not there (yet) may come with a driver or a disk: look again now
        // and then, not at every reading.
        if (readings.Temperature)
            misses = 0;
        else if (++misses >= RescanAfterReads) {
            sensors.reset();
            misses = 0;
        }
        QMetaObject::invokeMethod(
            this, [this, readings] { Publish(readings); }, Qt::QueuedConnection);

        lock.lock();
        m_wake.wait_for(lock, std::chrono::milliseconds(IntervalMs),
                        [this] { return isInterruptionRequested() || m_rechoose; });
    }
}

void TSensorSampler::Publish(const SensorReadings& readings)
{
    const auto gone = [this](bool had, bool has, const QString& what) {
        if (had && !has)
            m_log(QStringLiteral("<WARNING>Sensor gone : ") + what);
    };
    if (m_generation > 0) {
        gone(m_latest.Temperature.has_value(), readings.Temperature.has_value(),
             QStringLiteral("temperature (") + m_latest.TemperatureSensor + u')');
        gone(m_latest.BatteryPercent.has_value(), readings.BatteryPercent.has_value(),
             QStringLiteral("battery"));
        gone(m_latest.DiskUsedPercent.has_value(), readings.DiskUsedPercent.has_value(),
             QStringLiteral("disk space (") + m_latest.DiskPath + u')');
    }
    m_latest = readings;
    ++m_generation;
    if (OnReading)
        OnReading();
}
