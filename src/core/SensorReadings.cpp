#include "core/SensorReadings.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Processor drivers by preference, each with the inputs that stand for the whole package.
struct ProcessorChip
{
    const char* Chip;
    std::initializer_list<const char*> PackageInputs;
};

const ProcessorChip ProcessorChips[] = {
    {"k10temp", {"Tdie", "Tctl"}},
    {"zenpower", {"Tdie", "Tctl"}},
    {"coretemp", {"Package id 0", "Physical id 0"}},
    {"cpu_thermal", {}},
    {"cpu-thermal", {}},
    {"soc_thermal", {}},
    {"k8temp", {}},
    {"via_cputemp", {}},
};

const char* const ProcessorZones[] = {"x86_pkg_temp", "cpu-thermal",  "cpu_thermal",
                                      "soc_thermal",  "cpu0-thermal", "acpitz"};

} // namespace

std::optional<TemperatureSensorInfo>
AutomaticTemperatureSensor(const std::vector<TemperatureSensorInfo>& sensors)
{
    for (const ProcessorChip& chip : ProcessorChips) {
        for (const char* input : chip.PackageInputs)
            for (const TemperatureSensorInfo& s : sensors)
                if (!s.ThermalZone && s.Chip == QLatin1String(chip.Chip) &&
                    s.Input == QLatin1String(input))
                    return s;
        for (const TemperatureSensorInfo& s : sensors)
            if (!s.ThermalZone && s.Chip == QLatin1String(chip.Chip))
                return s;
    }
    for (const char* zone : ProcessorZones)
        for (const TemperatureSensorInfo& s : sensors)
            if (s.ThermalZone && s.Input == QLatin1String(zone))
                return s;
    return std::nullopt;
}

std::optional<TemperatureSensorInfo>
ChosenTemperatureSensor(const std::vector<TemperatureSensorInfo>& sensors, const QString& id)
{
    if (id.isEmpty())
        return AutomaticTemperatureSensor(sensors);
    for (const TemperatureSensorInfo& s : sensors)
        if (s.Id == id)
            return s;
    return std::nullopt;
}

std::optional<double> PlausibleCelsius(std::optional<double> celsius)
{
    if (celsius && *celsius >= MinCelsius && *celsius <= MaxCelsius)
        return celsius;
    return std::nullopt;
}

namespace {

bool HasEnergy(const BatteryCell& b)
{
    const auto plausible = [](const std::optional<double>& value) {
        return value && *value >= 0 && *value <= MaxBatteryMicrowattHours;
    };
    return plausible(b.EnergyNow) && plausible(b.EnergyFull) && *b.EnergyFull > 0;
}

bool HasCapacity(const BatteryCell& b)
{
    return b.Capacity && *b.Capacity >= 0 && *b.Capacity <= 100;
}

} // namespace

std::optional<int> CombinedBatteryPercent(const std::vector<BatteryCell>& batteries)
{
    if (batteries.empty())
        return std::nullopt;
    double fullSum = 0;
    int withEnergy = 0;
    for (const BatteryCell& b : batteries)
        if (HasEnergy(b)) {
            fullSum += *b.EnergyFull;
            ++withEnergy;
        }
    const double usualFull = withEnergy > 0 ? fullSum / withEnergy : 1.0;
    double stored = 0, full = 0;
    for (const BatteryCell& b : batteries) {
        if (HasEnergy(b)) {
            stored += std::clamp(*b.EnergyNow, 0.0, *b.EnergyFull);
            full += *b.EnergyFull;
        } else if (HasCapacity(b)) {
            stored += usualFull * *b.Capacity / 100.0;
            full += usualFull;
        }
    }
    if (full <= 0)
        return std::nullopt;
    return int(std::lround(std::clamp(stored * 100.0 / full, 0.0, 100.0)));
}

std::optional<int> UsedPercent(const DiskSpace& space)
{
    const unsigned __int128 total =
        static_cast<unsigned __int128>(space.UsedBytes) + space.AvailableBytes;
    if (total == 0)
        return std::nullopt;
    const unsigned __int128 scaled = static_cast<unsigned __int128>(space.UsedBytes) * 100;
    return int((scaled + total - 1) / total);
}

int TemperaturePosition(double celsius, int low, int high)
{
    if (high <= low)
        return celsius >= high ? 100 : 0;
    const double position = (celsius - low) * 100.0 / (high - low);
    return int(std::lround(std::clamp(position, 0.0, 100.0)));
}

namespace {

std::optional<double> InRange(std::optional<double> value, double high)
{
    return value && *value >= 0 && *value <= high ? value : std::nullopt;
}

} // namespace

GpuReading PlausibleGpu(GpuReading gpu)
{
    gpu.LoadPercent = InRange(gpu.LoadPercent, 100);
    if (!InRange(gpu.MemoryTotalBytes, MaxGpuMemoryBytes) || *gpu.MemoryTotalBytes <= 0 ||
        !InRange(gpu.MemoryUsedBytes, *gpu.MemoryTotalBytes)) {
        gpu.MemoryUsedBytes.reset();
        gpu.MemoryTotalBytes.reset();
    }
    gpu.Celsius = PlausibleCelsius(gpu.Celsius);
    gpu.FanRpm = InRange(gpu.FanRpm, MaxFanRpm);
    gpu.PowerWatts = InRange(gpu.PowerWatts, MaxGpuWatts);
    return gpu;
}

std::optional<GpuReading> ChosenGpu(const std::vector<GpuReading>& gpus, const QString& id)
{
    const GpuReading* chosen = nullptr;
    for (const GpuReading& gpu : gpus) {
        if (!id.isEmpty()) {
            if (gpu.Id == id)
                return gpu;
        } else if (!chosen || (chosen->Asleep && !gpu.Asleep) ||
                   (!gpu.Asleep &&
                    gpu.LoadPercent.value_or(-1) > chosen->LoadPercent.value_or(-1))) {
            chosen = &gpu;
        }
    }
    return chosen ? std::optional<GpuReading>(*chosen) : std::nullopt;
}

std::optional<FanReading> AutomaticFan(const std::vector<FanReading>& fans)
{
    for (const FanReading& fan : fans) {
        const QString label = fan.Id.section(u'/', 1);
        if (label.contains(u"cpu", Qt::CaseInsensitive) ||
            label.contains(u"processor", Qt::CaseInsensitive))
            return fan;
    }
    return fans.empty() ? std::nullopt : std::optional<FanReading>(fans.front());
}

std::optional<FanReading> ChosenFan(const std::vector<FanReading>& fans, const QString& id)
{
    if (id.isEmpty())
        return AutomaticFan(fans);
    for (const FanReading& fan : fans)
        if (fan.Id == id)
            return fan;
    return std::nullopt;
}

void TakeGpus(SensorReadings& readings, std::vector<GpuReading> gpus, const QString& id)
{
    readings.Gpus.clear();
    for (const GpuReading& gpu : gpus)
        readings.Gpus.push_back(PlausibleGpu(gpu));
    readings.Gpu = ChosenGpu(readings.Gpus, id);
    if (!readings.Gpu) {
        readings.GpuAbsence = id.isEmpty() ? SensorAbsence::NoDriver : SensorAbsence::NotFound;
        return;
    }
    const bool hadLoad = std::find_if(gpus.begin(), gpus.end(), [&](const GpuReading& g) {
                             return g.Id == readings.Gpu->Id && g.LoadPercent;
                         }) != gpus.end();
    readings.GpuAbsence = readings.Gpu->Asleep || readings.Gpu->LoadPercent ? SensorAbsence::None
                          : hadLoad ? SensorAbsence::Impossible
                                    : SensorAbsence::NoValue;
}

void TakeFans(SensorReadings& readings, std::vector<FanReading> fans, const QString& id)
{
    readings.Fans = fans;
    for (FanReading& fan : readings.Fans) {
        fan.Rpm = InRange(fan.Rpm, MaxFanRpm);
        fan.MaxRpm = InRange(fan.MaxRpm, MaxFanRpm);
    }
    readings.Fan = ChosenFan(readings.Fans, id);
    if (!readings.Fan) {
        readings.FanAbsence = id.isEmpty() ? SensorAbsence::NoDriver : SensorAbsence::NotFound;
        return;
    }
    const bool hadValue = std::find_if(fans.begin(), fans.end(), [&](const FanReading& f) {
                              return f.Id == readings.Fan->Id && f.Rpm;
                          }) != fans.end();
    readings.FanAbsence = readings.Fan->Rpm ? SensorAbsence::None
                          : hadValue        ? SensorAbsence::Impossible
                                            : SensorAbsence::NoValue;
}

int FanPosition(const FanReading& fan, int maxRpm)
{
    const double top = maxRpm > 0 ? maxRpm : fan.MaxRpm.value_or(DefaultFanMaxRpm);
    if (!fan.Rpm || top <= 0)
        return 0;
    return int(std::lround(std::clamp(*fan.Rpm * 100.0 / top, 0.0, 100.0)));
}
