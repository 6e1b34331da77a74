#pragma once

#include "platform/Sensors.h"

#include <QString>
#include <optional>
#include <vector>

// The latest values of the sensors, as the window shows them. An absent value is a sensor the
// system does not have, or one that has gone.
struct SensorReadings
{
    std::optional<double> Temperature; // °C
    QString TemperatureSensor;         // the label of the sensor read
    std::optional<int> BatteryPercent;
    bool BatteryCharging = false; // charging, or running on mains
    QString BatteryState;         // "charging", "on mains", "discharging"
    std::optional<int> DiskUsedPercent;
    QString DiskPath;
};

// The temperature input that best stands for the processor: the package or die sensor of a
// known processor driver, then any processor driver's first input, then a processor thermal
// zone; nothing when the system has none of them.
std::optional<TemperatureSensorInfo>
AutomaticTemperatureSensor(const std::vector<TemperatureSensorInfo>& sensors);

// The sensor the settings name (its id), or the automatic one when the name is empty or gone.
std::optional<TemperatureSensorInfo>
ChosenTemperatureSensor(const std::vector<TemperatureSensorInfo>& sensors, const QString& id);

// All batteries together: their stored energy over their full energy, so a small second
// battery weighs less than the main one. Batteries that give only a percentage count with the
// mean full energy of the others (or equally, when none gives one).
std::optional<int> CombinedBatteryPercent(const std::vector<BatteryCell>& batteries);

// Used space in percent, rounded up as df does; nothing for an empty file system.
std::optional<int> UsedPercent(const DiskSpace& space);

// A temperature as a 0..100 position between low and high.
int TemperaturePosition(double celsius, int low, int high);
