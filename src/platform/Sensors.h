#pragma once

#include <QString>
#include <optional>
#include <vector>

// A temperature input the system offers: one input of a hardware monitor chip, or a thermal
// zone. Id names it in the settings and stays the same across boots, unlike hwmonN.
struct TemperatureSensorInfo
{
    QString Id;   // "k10temp/Tctl", "nvme/Composite", "nvme#2/Composite", "thermal/acpitz"
    QString Chip; // the chip's name ("k10temp", "coretemp"), or "thermal" for a zone
    QString
        Input; // the input's label ("Tctl", "Package id 0"), "temp1" without one, or the zone type
    bool ThermalZone = false;

    QString Label() const { return Chip + u' ' + Input; }
};

// A fan of a hardware monitor chip. Id names it in the settings like a temperature sensor's
// ("thinkpad/fan1", "nct6798/CPU FAN"); Label is the chip's name and the fan's label.
struct FanReading
{
    QString Id;
    QString Label;
    std::optional<double> Rpm;
    std::optional<double> MaxRpm; // the driver's fan*_max, where it gives one
};

// One battery as the power-supply class reports it. Energies in µWh; a battery that reports
// charge (µAh) is converted with its design voltage, one that reports only a percentage has
// no energies.
struct BatteryCell
{
    QString Name;
    std::optional<double> EnergyNow;
    std::optional<double> EnergyFull;
    std::optional<int> Capacity; // percent
    bool Charging = false;
};

struct PowerSupplies
{
    std::vector<BatteryCell> Batteries;
    bool OnMains = false; // an external supply is online
};

struct DiskSpace
{
    std::uint64_t UsedBytes = 0;
    std::uint64_t AvailableBytes = 0; // to unprivileged users, as df counts it
};

// The space of the file system a path is on; nothing when the path is on no readable file system,
// and then whether that is because the path is not there.
struct DiskSpaceReading
{
    std::optional<DiskSpace> Space;
    bool PathFound = true;
};

// The hardware sensors besides the performance data: temperatures, fans, batteries and the space
// of a file system. Reads may be slow on some hardware (a battery's firmware, a sleeping
// disk), and the space of a network file system that stopped answering may never come, so
// callers keep them off the window's thread. ReadDiskSpace may run on a thread of its own beside
// the other reads.
class SensorSource
{
public:
    virtual ~SensorSource() = default;

    // Looks through the system again; the order is that of the kernel's numbering.
    virtual std::vector<TemperatureSensorInfo> TemperatureSensors() = 0;
    // °C; nothing when the sensor is gone or reads no value.
    virtual std::optional<double> ReadTemperature(const QString& id) = 0;
    virtual PowerSupplies ReadPowerSupplies() = 0;
    virtual DiskSpaceReading ReadDiskSpace(const QString& path) = 0;
    // Every fan in the kernel's order, each with its speed now.
    virtual std::vector<FanReading> ReadFans() = 0;
};
