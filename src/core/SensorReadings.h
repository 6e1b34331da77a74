#pragma once

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
    bool Done = false; // false until the first look through the system has ended
    QString DiskPath;
    SensorAbsence DiskAbsence = SensorAbsence::NotRead;
};

// The values the hardware can really read; anything outside is a broken driver or a forged file.
constexpr double MinCelsius = -60;
constexpr double MaxCelsius = 150;
constexpr double MaxBatteryMicrowattHours = 1e10; // 10 kWh: more than any battery a computer has

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
