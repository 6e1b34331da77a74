#include "core/SensorSampler.h"

#include "platform/Gpus.h"
#include "platform/Sensors.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

QString PowerState(const PowerSupplies& power, bool anyCharging)
{
    if (anyCharging)
        return QStringLiteral("charging");
    return power.OnMains ? QStringLiteral("on mains") : QStringLiteral("discharging");
}

// One read in flight on a thread of its own: a statvfs, or the graphics cards.
template <typename Result> struct PendingRead
{
    QString Key; // what is read (the disk-space path); another key starts another read
    Clock::time_point Started;
    bool Done = false; // under the sampler's lock, like Value
    Result Value;
};

} // namespace

SensorReadings ReadSensors(SensorSource& source, const SensorChoice& choice,
                           std::optional<std::vector<TemperatureSensorInfo>>& sensors)
{
    SensorReadings readings;
    if (!sensors)
        sensors = source.TemperatureSensors();
    if (const auto sensor = ChosenTemperatureSensor(*sensors, choice.TemperatureId)) {
        readings.TemperatureSensor = sensor->Label();
        const std::optional<double> value = source.ReadTemperature(sensor->Id);
        readings.Temperature = PlausibleCelsius(value);
        readings.TemperatureAbsence = readings.Temperature ? SensorAbsence::None
                                      : value               ? SensorAbsence::Impossible
                                                            : SensorAbsence::NoValue;
    } else if (!choice.TemperatureId.isEmpty()) {
        readings.TemperatureSensor = choice.TemperatureId;
        readings.TemperatureAbsence = SensorAbsence::NotFound;
    } else {
        readings.TemperatureAbsence = SensorAbsence::NoDriver;
    }

    const PowerSupplies power = source.ReadPowerSupplies();
    readings.BatteryPercent = CombinedBatteryPercent(power.Batteries);
    if (readings.BatteryPercent) {
        bool charging = false;
        for (const BatteryCell& cell : power.Batteries)
            charging = charging || cell.Charging;
        readings.BatteryCharging = charging || power.OnMains;
        readings.BatteryState = PowerState(power, charging);
        readings.BatteryAbsence = SensorAbsence::None;
    } else {
        readings.BatteryAbsence =
            power.Batteries.empty() ? SensorAbsence::NoBattery : SensorAbsence::NoValue;
    }
    if (choice.ReadFans)
        TakeFans(readings, source.ReadFans(), choice.FanId);
    return readings;
}

void TakeDiskSpace(SensorReadings& readings, const QString& path,
                   const std::optional<DiskSpaceReading>& space)
{
    readings.DiskPath = path;
    readings.DiskUsedPercent.reset();
    if (!space) {
        readings.DiskAbsence = SensorAbsence::NotAnswering;
        return;
    }
    if (space->Space)
        readings.DiskUsedPercent = UsedPercent(*space->Space);
    readings.DiskAbsence = readings.DiskUsedPercent ? SensorAbsence::None
                           : space->PathFound       ? SensorAbsence::NoValue
                                                    : SensorAbsence::NotFound;
}

struct TSensorSampler::Shared
{
    std::shared_ptr<SensorSource> Source;
    std::shared_ptr<GpuSource> Gpus;
    std::mutex Lock;
    std::condition_variable Wake;
    // Under Lock from here on.
    QObject* Owner = nullptr; // the sampler; none once it is gone, and the thread ends
    bool Running = false;
    bool ReadNow = false;
    SensorChoice Choice;
    std::optional<QString> SurveyPath;
    SensorReadings Latest;
    std::uint64_t Readings = 0;
    std::condition_variable Read;
    std::shared_ptr<PendingRead<DiskSpaceReading>> Disk;         // the latest disk-space read
    std::shared_ptr<PendingRead<std::vector<GpuReading>>> Cards; // the latest cards' read
    std::condition_variable ReadDone;

    // What read(key) gives on a thread of its own, or nothing when it does not come within
    // deadlineMs. A read that is stuck is not started again for the same key; its thread ends
    // when it returns.
    template <typename Result, typename Read>
    std::optional<Result> ReadWithDeadline(const std::shared_ptr<Shared>& self,
                                           std::shared_ptr<PendingRead<Result>>& latest,
                                           const QString& key, int deadlineMs, Read read)
    {
        std::unique_lock lock(Lock);
        if (!latest || latest->Done || latest->Key != key) {
            auto pending = std::make_shared<PendingRead<Result>>();
            pending->Key = key;
            pending->Started = Clock::now();
            try {
                std::thread([self, pending, read] {
                    Result value = read(*self, pending->Key);
                    std::scoped_lock done(self->Lock);
                    pending->Value = std::move(value);
                    pending->Done = true;
                    self->ReadDone.notify_all();
                }).detach();
            } catch (const std::system_error&) {
                return Result{}; // no thread to spare: no value this time
            }
            latest = pending;
        }
        const auto pending = latest;
        ReadDone.wait_until(lock, pending->Started + std::chrono::milliseconds(deadlineMs),
                            [&] { return pending->Done || !Owner; });
        if (!pending->Done)
            return std::nullopt;
        return pending->Value;
    }

    // statvfs on a network file system that stopped answering may never return.
    std::optional<DiskSpaceReading> ReadDiskSpace(const std::shared_ptr<Shared>& self,
                                                  const QString& path)
    {
        return ReadWithDeadline(
            self, Disk, path, DiskDeadlineMs,
            [](Shared& s, const QString& key) { return s.Source->ReadDiskSpace(key); });
    }

    // A vendor's library may hang with its driver.
    std::optional<std::vector<GpuReading>> ReadGpus(const std::shared_ptr<Shared>& self)
    {
        if (!Gpus)
            return std::vector<GpuReading>();
        return ReadWithDeadline(self, Cards, {}, GpuDeadlineMs,
                                [](Shared& s, const QString&) { return s.Gpus->ReadGpus(); });
    }
};

TSensorSampler::TSensorSampler(std::unique_ptr<SensorSource> source, TaggedLog log,
                               std::unique_ptr<GpuSource> gpus)
    : m_shared(std::make_shared<Shared>()), m_log(std::move(log))
{
    m_shared->Source = std::move(source);
    m_shared->Gpus = std::move(gpus);
    m_shared->Owner = this;
}

TSensorSampler::~TSensorSampler()
{
    {
        std::scoped_lock lock(m_shared->Lock);
        m_shared->Owner = nullptr;
    }
    m_shared->Wake.notify_all();
    m_shared->ReadDone.notify_all();
}

void TSensorSampler::SetChoice(const SensorChoice& choice)
{
    {
        std::scoped_lock lock(m_shared->Lock);
        if (m_shared->Choice == choice)
            return;
        m_shared->Choice = choice;
        m_shared->ReadNow = true;
    }
    m_shared->Wake.notify_all();
}

void TSensorSampler::Start()
{
    if (m_running)
        return;
    {
        std::scoped_lock lock(m_shared->Lock);
        m_shared->Running = true;
        m_shared->ReadNow = true;
    }
    m_running = true;
    m_shared->Wake.notify_all();
    StartThread();
}

void TSensorSampler::StartThread()
{
    // Made with the first reading or survey, it lives as long as the sampler.
    if (m_threadStarted)
        return;
    try {
        std::thread(&TSensorSampler::Run, m_shared).detach();
        m_threadStarted = true;
    } catch (const std::system_error& e) {
        m_log(QStringLiteral("<WARNING>Sensors not read : ") + QString::fromLocal8Bit(e.what()));
    }
}

void TSensorSampler::Stop()
{
    std::scoped_lock lock(m_shared->Lock);
    m_shared->Running = false;
    m_running = false;
}

SensorReadings TSensorSampler::WaitForReading(int timeoutMs)
{
    Shared& s = *m_shared;
    std::unique_lock lock(s.Lock);
    if (!m_waited)
        s.Read.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return s.Readings > 0; });
    m_waited = true; // once: a sensor that never answers costs the run one timeout in all
    if (s.Readings > 0)
        return s.Latest;
    SensorReadings none;
    none.TemperatureAbsence = SensorAbsence::NotAnswering;
    none.BatteryAbsence = SensorAbsence::NotAnswering;
    if (!s.Choice.DiskPath.isEmpty()) {
        none.DiskPath = s.Choice.DiskPath;
        none.DiskAbsence = SensorAbsence::NotAnswering;
    }
    if (s.Choice.ReadGpus)
        none.GpuAbsence = SensorAbsence::NotAnswering;
    if (s.Choice.ReadFans)
        none.FanAbsence = SensorAbsence::NotAnswering;
    return none;
}

void TSensorSampler::RequestSurvey(const QString& diskPath)
{
    {
        std::scoped_lock lock(m_shared->Lock);
        m_shared->SurveyPath = diskPath;
    }
    m_shared->Wake.notify_all();
    StartThread();
}

void TSensorSampler::Run(std::shared_ptr<Shared> shared)
{
    Shared& s = *shared;
    std::optional<std::vector<TemperatureSensorInfo>> sensors;
    int misses = 0;
    std::unique_lock lock(s.Lock);
    while (s.Owner) {
        if (s.SurveyPath) {
            const QString path = *std::exchange(s.SurveyPath, std::nullopt);
            lock.unlock();
            SensorSurvey survey;
            sensors = s.Source->TemperatureSensors();
            for (const TemperatureSensorInfo& info : *sensors)
                survey.Sensors.push_back({info, PlausibleCelsius(s.Source->ReadTemperature(info.Id))});
            SensorReadings machine;
            TakeGpus(machine, s.ReadGpus(shared).value_or(std::vector<GpuReading>()), {});
            TakeFans(machine, s.Source->ReadFans(), {});
            survey.Gpus = std::move(machine.Gpus);
            survey.Fans = std::move(machine.Fans);
            survey.Done = true;
            SensorReadings disk;
            TakeDiskSpace(disk, path, s.ReadDiskSpace(shared, path));
            survey.DiskPath = path;
            survey.DiskAbsence = disk.DiskAbsence;
            lock.lock();
            if (s.Owner) {
                auto* owner = static_cast<TSensorSampler*>(s.Owner);
                QMetaObject::invokeMethod(
                    owner, [owner, survey] {
                        owner->m_survey = survey;
                        if (owner->OnSurvey)
                            owner->OnSurvey(owner->m_survey);
                    },
                    Qt::QueuedConnection);
            }
            continue;
        }
        if (s.Running) {
            const SensorChoice choice = s.Choice;
            s.ReadNow = false;
            lock.unlock();

            SensorReadings readings = ReadSensors(*s.Source, choice, sensors);
            if (choice.ReadGpus) {
                if (const auto gpus = s.ReadGpus(shared))
                    TakeGpus(readings, *gpus, choice.GpuId);
                else
                    readings.GpuAbsence = SensorAbsence::NotAnswering;
            }
            if (!choice.DiskPath.isEmpty())
                TakeDiskSpace(readings, choice.DiskPath, s.ReadDiskSpace(shared, choice.DiskPath));
            // A sensor that is not there (yet, or again) may come with a driver or a disk:
            // look again now and then, not at every reading.
            if (readings.Temperature)
                misses = 0;
            else if (++misses >= RescanAfterReads) {
                sensors.reset();
                misses = 0;
            }

            lock.lock();
            s.Latest = readings;
            ++s.Readings;
            s.Read.notify_all();
            if (s.Owner) {
                auto* owner = static_cast<TSensorSampler*>(s.Owner);
                QMetaObject::invokeMethod(
                    owner, [owner, readings] { owner->Publish(readings); },
                    Qt::QueuedConnection);
            }
            s.Wake.wait_for(lock, std::chrono::milliseconds(IntervalMs),
                            [&] { return !s.Owner || s.ReadNow || s.SurveyPath; });
        } else {
            s.Wake.wait(lock, [&] { return !s.Owner || s.Running || s.SurveyPath; });
        }
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
        // A card that falls asleep is not gone.
        if (m_latest.Gpu)
            gone(m_latest.Gpu->LoadPercent.has_value(),
                 readings.Gpu && (readings.Gpu->LoadPercent || readings.Gpu->Asleep),
                 QStringLiteral("graphics card (") + m_latest.Gpu->Label() + u')');
        if (m_latest.Fan)
            gone(m_latest.Fan->Rpm.has_value(), readings.Fan && readings.Fan->Rpm,
                 QStringLiteral("fan (") + m_latest.Fan->Label + u')');
    }
    m_latest = readings;
    ++m_generation;
    if (OnReading)
        OnReading();
}
