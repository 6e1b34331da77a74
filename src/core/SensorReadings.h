#pragma once

#include "platform/Gpus.h"
#include "platform/Sensors.h"

#include <QString>
#include <optional>
#include <vector>

// Why a measurement has no value; the user is told, so that an empty meter is not a puzzle.
enum class SensorAbsence
{
    None,         // it has a value
    NotRead,      // not read at all (no skin shows the sensors)
    NoDriver,     // no temperature sensor: no hardware-monitor driver or thermal zone for it
    NotFound,     // the chosen sensor, or the disk-space path, is not there
    NoBattery,    // the machine has no battery
    NoValue,      // there, but it gives no value
    Impossible,   // its value is outside what the hardware can read
    NotAnswering, // its read did not end in time
};

// The latest values of the sensors, as the window shows them, and why each absent one is absent.
struct SensorReadings
{
    std::optional<double> Temperature; // °C
    QString TemperatureSensor;         // the label of the sensor read, or the id of one not found
    SensorAbsence TemperatureAbsence = SensorAbsence::NotRead;
    std::optional<int> BatteryPercent;
    bool BatteryCharging = false; // charging, or running on mains
    QString BatteryState;         // "charging", "on mains", "discharging"
    SensorAbsence BatteryAbsence = SensorAbsence::NotRead;
    std::optional<int> DiskUsedPercent;
    QString DiskPath;
    SensorAbsence DiskAbsence = SensorAbsence::NotRead;
    // Every graphics card and fan with its values, and the chosen ones: the settings' card (or
    // the busiest awake one) and fan (or the processor's). A card asleep has no absence: it
    // shows as asleep.
    std::vector<GpuReading> Gpus;
    std::optional<GpuReading> Gpu;
    SensorAbsence GpuAbsence = SensorAbsence::NotRead;
    std::vector<FanReading> Fans;
    std::optional<FanReading> Fan;
    SensorAbsence FanAbsence = SensorAbsence::NotRead;
};

// What the sensors page shows beside its choices: every temperature sensor with its value, and
// whether the disk-space path is there.
struct SensorSurvey
{
    struct Sensor
    {
        TemperatureSensorInfo Info;
        std::optional<double> Celsius;
    };
    std::vector<Sensor> Sensors;
    std::vector<GpuReading> Gpus;
    std::vector<FanReading> Fans;
    bool Done = false; // false until the first look through the system has ended
    QString DiskPath;
    SensorAbsence DiskAbsence = SensorAbsence::NotRead;
};

// The values the hardware can really read; anything outside is a broken driver or a forged file.
constexpr double MinCelsius = -60;
constexpr double MaxCelsius = 150;
constexpr double MaxBatteryMicrowattHours = 1e10; // 10 kWh: more than any battery a computer has
constexpr double MaxFanRpm = 30000;               // a stalled tachometer reads 65535 on many chips
constexpr double MaxGpuWatts = 2000;
constexpr double MaxGpuMemoryBytes = 1e15;
// The range a fan's meter spans when neither the driver nor the settings give its top speed.
constexpr int DefaultFanMaxRpm = 5000;

// A temperature inside the range, or nothing.
std::optional<double> PlausibleCelsius(std::optional<double> celsius);

// The temperature input that best stands for the processor: the package or die sensor of a
// known processor driver, then any processor driver's first input, then a processor thermal
// zone; nothing when the system has none of them.
std::optional<TemperatureSensorInfo>
AutomaticTemperatureSensor(const std::vector<TemperatureSensorInfo>& sensors);

// The sensor the settings name (its id), or the automatic one when the name is empty; nothing
// when the one named is not there now, so that it shows as missing rather than as another.
std::optional<TemperatureSensorInfo>
ChosenTemperatureSensor(const std::vector<TemperatureSensorInfo>& sensors, const QString& id);

// All batteries together: their stored energy over their full energy, so a small second
// battery weighs less than the main one. Batteries that give only a percentage count with the
// mean full energy of the others (or equally, when none gives one). Figures out of any battery's
// range count as not given.
std::optional<int> CombinedBatteryPercent(const std::vector<BatteryCell>& batteries);

// Used space in percent, rounded up as df does; nothing for an empty file system.
std::optional<int> UsedPercent(const DiskSpace& space);

// A temperature as a 0..100 position between low and high.
int TemperaturePosition(double celsius, int low, int high);

// The card's values the hardware can read; the others are dropped.
GpuReading PlausibleGpu(GpuReading gpu);

// The card the settings name (its id), or the busiest awake card when the name is empty (the
// first card when all sleep); nothing when the one named is not there now.
std::optional<GpuReading> ChosenGpu(const std::vector<GpuReading>& gpus, const QString& id);

// The fan that best stands for the processor's: the first whose label says so, else the first.
std::optional<FanReading> AutomaticFan(const std::vector<FanReading>& fans);
std::optional<FanReading> ChosenFan(const std::vector<FanReading>& fans, const QString& id);

// The cards and fans part of the readings, made plausible, with the chosen ones.
void TakeGpus(SensorReadings& readings, std::vector<GpuReading> gpus, const QString& id);
void TakeFans(SensorReadings& readings, std::vector<FanReading> fans, const QString& id);

// A fan's speed as a 0..100 position up to maxRpm, or the driver's top speed when maxRpm is 0.
int FanPosition(const FanReading& fan, int maxRpm);
